#!/usr/bin/env bash
# Cross-builds the project for Windows (x86_64, mingw-w64) into build-win/
# (or $BUILD_DIR). Extra arguments go to the CMake configure step. The
# programs and tests run under wine; ctest in the build folder runs the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-win}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-2}"
