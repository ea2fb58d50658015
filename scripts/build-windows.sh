#!/usr/bin/env bash
# Cross-builds the project for Windows with mingw-w64: for x64 into
# build-win/, or with "--arch x86" (or ARCH=x86) for 32-bit Windows into
# build-win32/; $BUILD_DIR overrides the folder. $TARGETS names the targets to
# build (all by default). Extra arguments go to the CMake configure step. The
# programs and tests run under wine; ctest in the build folder runs the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/windows-arch.sh"
build=${BUILD_DIR:-$win_build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain "$toolchain" "$@" >/dev/null
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j"${JOBS:-2}" "${targets[@]}"
