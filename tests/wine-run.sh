#!/bin/sh
# Runs a Windows program under wine for the test runner. The program's output
# goes to a file that is passed on once the program has ended: a process that
# wine starts for it (the desktop process, when the program makes the first
# window in the prefix) outlives it holding its output, and a runner reading
# that output through a pipe would wait for it until the time-out.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
"${VARNO_WINE:-wine}" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
