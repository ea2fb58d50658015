#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the Linux build
# and its tests, the page's, and the Windows builds (made meanwhile) with
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
# lowest priority, so that the tests' own processes always come first. Each
# build's suites under wine start as soon as it is built and the Linux tests
# and the page's build are done: beside the page's browser tests, which
# mostly wait too. The x86 build runs what its width can change: the serial
# ports and the platform, the protocol over them, the programs and the
# installer. The window suites, and replies in odd shapes (label one_width),
# whose code is the same for both widths, run on x64 only.
win32_labels='^(test_platform|test_serial|test_serial_driver|test_integration|program|installer)$'
marks=$(mktemp -d)
windows_log=$build/windows-build.log
win_log=$win_build/Testing/test.log
win32_log=$win32_build/Testing/test.log
# The windows under wine need an X display: one for each run (a display per
# test breaks wine's shared server's X connection). -noreset: a program that
# connects while the last one leaves is not refused. The two runs, each with a
# prefix of its own, go side by side: they mostly wait for wine.
wine_suite() { # <build folder> <log> [ctest arguments]
  local dir=$1 log=$2
  shift 2
  mkdir -p "$(dirname "$log")"
  until [ -e "$marks/linux-done" ]; do sleep 1; done
  (cd "$dir" && xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --output-on-failure -j"${JOBS:-2}" --timeout 300 "$@") >"$log" 2>&1
}
# The Windows test builds carry no debug information: the same code (-O2),
# compiled a third faster and linked far faster, on the command's longest path.
no_debug=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")
if [ "${SKIP_WINDOWS:-0}" != 1 ]; then
  set -m # process groups of their own, to be stopped whole
  (BUILD_DIR=$win_build nice -n 19 "$root/scripts/build-windows.sh" "${no_debug[@]}" \
    >"$windows_log" 2>&1 &&
    touch "$marks/x64-built" && wine_suite "$win_build" "$win_log") &
  win_run=$!
  (until [ -e "$marks/x64-built" ]; do
    kill -0 $win_run 2>/dev/null || exit 1
    sleep 1
  done
  TARGETS="test_platform test_serial test_serial_driver test_integration varnomiksal
      varnomiksal-cli varnomiksal-sim package_files varno_nullmodem" \
    BUILD_DIR=$win32_build nice -n 19 "$root/scripts/build-windows.sh" --arch x86 \
    "${no_debug[@]}" >>"$windows_log" 2>&1 && touch "$marks/x86-built" &&
    wine_suite "$win32_build" "$win32_log" -L "$win32_labels" -LE '^one_width$') &
  win32_run=$!
  set +m
  trap 'kill -- -$win_run -$win32_run 2>/dev/null; rm -rf "$marks"' EXIT
fi

cd "$build"
export QT_QPA_PLATFORM=offscreen
linux_rc=0
ctest --output-on-failure -j"${JOBS:-2}" --timeout 300 || linux_rc=$?
unset QT_QPA_PLATFORM

# The page: built with Emscripten and tested in headless Chromium.
# SKIP_WEB=1 leaves it out.
web_rc=0
if [ "${SKIP_WEB:-0}" != 1 ]; then
  BUILD_DIR=$build "$root/scripts/build-web.sh"
  touch "$marks/linux-done"
  BUILD_DIR=$build NO_BUILD=1 "$root/scripts/test-web.sh" || web_rc=$?
fi
touch "$marks/linux-done"
[ "${SKIP_WINDOWS:-0}" = 1 ] && exit $((linux_rc || web_rc))

win_rc=0 win32_rc=0
wait $win_run || win_rc=$?
wait $win32_run || win32_rc=$?
trap 'rm -rf "$marks"' EXIT
if [ ! -e "$marks/x64-built" ] || [ ! -e "$marks/x86-built" ]; then
  cat "$windows_log"
  echo "test: the Windows builds failed" >&2
  exit 1
fi
echo "== the Windows build (x64) under wine"
cat "$win_log"
echo "== the 32-bit Windows build (x86) under 32-bit wine"
cat "$win32_log"
[ $linux_rc = 0 ] && [ $web_rc = 0 ] && [ $win_rc = 0 ] && [ $win32_rc = 0 ]
