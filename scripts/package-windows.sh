#!/usr/bin/env bash
# Builds the Windows packages of the programs into build-win/ (or $BUILD_DIR):
# the installer varnomiksal-<version>-win64.exe and the plain zip
# varnomiksal-<version>-win64.zip, then prints their paths. With "--arch x86"
# (or ARCH=x86) it builds the 32-bit ones, -win32.exe and -win32.zip, into
# build-win32/. On Windows, run the installer (silently:
# "varnomiksal-<version>-win64.exe /S"), or unpack the zip anywhere. Extra
# arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/windows-arch.sh"
build=${BUILD_DIR:-$win_build}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain "$toolchain" "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target package_files
# Stripping stamps each program with the time it gives (the PE header's time
# stamp): the last commit's, so that both packages hold the same programs and
# a rebuild of one commit makes the same ones.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
cd "$build"
cpack -G "NSIS;ZIP" >/dev/null
ls -t "$build"/varnomiksal-*-"$win_suffix".exe | head -n 1
ls -t "$build"/varnomiksal-*-"$win_suffix".zip | head -n 1
