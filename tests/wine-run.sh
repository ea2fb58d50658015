#!/bin/sh
# Runs a Windows program under wine for the test runner. The program's output
# goes to a file that is passed on once the program has ended: a process that
# wine starts for it (the desktop process, when the program makes the first
# window in the prefix) outlives it holding its output, and a runner reading
# that output through a pipe would wait for it until the time-out.
#
# Wine reports its own errors (its "err" class, and the loader's "wine: ..."
# lines) on the same stream as the program. They are kept apart and shown,
# with wine's exit status, only when the run fails or ends without a word: a
# test program always writes something, so silence means that wine never
# got it going, and then wine's account is what tells why.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
WINEDEBUG=-all,err+all "${VARNO_WINE:-wine}" "$@" >"$out" 2>&1
rc=$?
wine_lines='^([0-9a-f]{4,8}:){0,2}err:[a-z0-9_]*:|^wine( client error)?:'
grep -a -v -E "$wine_lines" "$out"
if [ $rc != 0 ] || ! grep -a -q -v -E "$wine_lines" "$out"; then
  if [ $rc = 0 ]; then
    how="wine ended with status 0, and the program wrote nothing"
  elif [ $rc -gt 128 ]; then
    how="wine ended with status $rc (signal $((rc - 128)) if it was killed)"
  else
    how="wine ended with status $rc"
  fi
  {
    echo "wine-run: ${VARNO_WINE:-wine} $*"
    echo "wine-run: $how"
    if grep -a -q -E "$wine_lines" "$out"; then
      echo "wine-run: wine reported:"
      grep -a -E "$wine_lines" "$out" | sed 's/^/  /'
    else
      echo "wine-run: wine reported nothing"
    fi
  } >&2
fi
rm -f "$out"
exit $rc
