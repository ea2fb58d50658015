#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Linux build,
# then the Windows build (build-win/, or $WIN_BUILD_DIR) with its suites under
# wine on a virtual X display. SKIP_WINDOWS=1 leaves the Windows part out. Extra arguments go to the
# Linux build's CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh" "$@"
cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"${JOBS:-2}" --timeout 300

[ "${SKIP_WINDOWS:-0}" = 1 ] && exit 0
win_build=${WIN_BUILD_DIR:-$root/build-win}
BUILD_DIR=$win_build "$root/scripts/build-windows.sh"
cd "$win_build"
# The windows under wine need an X display: one for the whole run (a display
# per test breaks wine's shared server's X connection). -noreset: a program
# that connects while the last one leaves is not refused.
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
  ctest --output-on-failure -j"${JOBS:-2}" --timeout 300
