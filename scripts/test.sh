#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Linux build
# and its tests, the page's, then the Windows builds (made meanwhile) with
# their suites under wine on a virtual X display:
# the x64 build (build-win/, or $WIN_BUILD_DIR) with all its suites, and the
# x86 build (build-win32/, or $WIN32_BUILD_DIR) in a 32-bit prefix with the
# suites below. SKIP_WINDOWS=1 leaves the Windows part out. Extra arguments go
# to the Linux build's CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh" -DVARNO_BUILD_TESTS=ON "$@"
win_build=${WIN_BUILD_DIR:-$root/build-win}
win32_build=${WIN32_BUILD_DIR:-$root/build-win32}
# The Windows builds take the CPU that the Linux and page tests leave idle
# (they mostly wait on lines and timers): they run alongside them at the
# lowest priority, so that the tests' own processes always come first. The
# x86 build runs what its width can change: the serial ports and the
# platform, the protocol over them, the programs and the installer. The
# window suites, and replies in odd shapes (label one_width), whose code is
# the same for both widths, run on x64 only.
win32_labels='^(test_platform|test_serial|test_serial_driver|test_integration|program|installer)$'
windows_log=$build/windows-build.log
if [ "${SKIP_WINDOWS:-0}" != 1 ]; then
  set -m # a process group of their own, to be stopped whole
  (BUILD_DIR=$win_build nice -n 19 "$root/scripts/build-windows.sh" &&
    TARGETS="test_platform test_serial test_serial_driver test_integration varnomiksal
      varnomiksal-cli varnomiksal-sim package_files varno_nullmodem" \
      BUILD_DIR=$win32_build nice -n 19 "$root/scripts/build-windows.sh" --arch x86) \
    >"$windows_log" 2>&1 &
  windows_builds=$!
  set +m
  trap 'kill -- -$windows_builds 2>/dev/null' EXIT
fi

cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"${JOBS:-2}" --timeout 300
unset QT_QPA_PLATFORM

# The page: built with Emscripten and tested in headless Chromium.
# SKIP_WEB=1 leaves it out.
[ "${SKIP_WEB:-0}" = 1 ] || BUILD_DIR=$build "$root/scripts/test-web.sh"

[ "${SKIP_WINDOWS:-0}" = 1 ] && exit 0
if ! wait $windows_builds; then
  cat "$windows_log"
  echo "test: the Windows builds failed" >&2
  exit 1
fi
trap - EXIT
tail -n 3 "$windows_log"
# The windows under wine need an X display: one for each run (a display per
# test breaks wine's shared server's X connection). -noreset: a program that
# connects while the last one leaves is not refused. The two runs, each with a
# prefix of its own, go side by side: they mostly wait for wine.
unset QT_QPA_PLATFORM
wine_ctest() {
  xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --output-on-failure -j"${JOBS:-2}" --timeout 300 "$@"
}
win32_log=$win32_build/Testing/test.log
mkdir -p "$(dirname "$win32_log")"
(cd "$win32_build" && wine_ctest -L "$win32_labels" -LE '^one_width$' >"$win32_log" 2>&1) &
win32_run=$!
rc=0
(cd "$win_build" && wine_ctest) || rc=$?
win32_rc=0
wait $win32_run || win32_rc=$?
echo "== the 32-bit Windows build (x86) under 32-bit wine"
cat "$win32_log"
[ $rc = 0 ] && [ $win32_rc = 0 ]
