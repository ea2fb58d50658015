#!/usr/bin/env bash
# Builds the page (scripts/build-web.sh) and runs its tests in headless
# Chromium against the device simulator of the Linux build in build/ (or
# $BUILD_DIR), which must have been built first (scripts/test.sh does).
# NO_BUILD=1: the page is built already.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${BUILD_DIR:-$root/build}" && pwd) # the tests run from tests/web
[ "${NO_BUILD:-0}" = 1 ] || "$root/scripts/build-web.sh"
cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal-sim >/dev/null
cd "$root/tests/web"
BUILD_DIR=$build node --test --test-timeout=120000 bridge.test.mjs web.test.mjs
