#!/usr/bin/env bash
# The upload through the Windows program's window under wine, against the
# simulator on a null-modem cable, driven as a user does (the program test
# tests/e2e/wine-program.sh): with an instant device, then with one paced at
# 38462 baud. Prints the wall time from "Записать" to the result display and
# the program's processor time over it. The simulator paces the line itself:
# under wine the pseudo-terminal stays at 38400 baud.
# Usage: bench/upload/wine-window.sh [windows build folder]
set -euo pipefail
# One X display for the whole run: wine's server keeps its X connection.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-win}
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/varnomiksal-wine-bench-XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d
export VARNO_NULLMODEM=$build/host/varnomiksal-nullmodem
trap '"$root/tests/wine-prefix.sh" cleanup >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
"$root/tests/wine-prefix.sh" setup >/dev/null

run() {
  VARNO_SIM_ARGS=$2 "$root/tests/e2e/wine-program.sh" "$build/app/varnomiksal.exe" \
    "$build/tools/simulator/varnomiksal-sim.exe" success >"$WINEPREFIX/run.log" 2>&1 || {
    cat "$WINEPREFIX/run.log" >&2
    echo "$1: the upload failed" >&2
    return 1
  }
  printf '%-28s %s\n' "$1:" "$(sed -n 's/^the upload ended after //p' "$WINEPREFIX/run.log")"
}
run "instant device" ""
run "device paced at 38462 baud" "--baud 38462"
