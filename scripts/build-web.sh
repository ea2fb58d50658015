#!/usr/bin/env bash
# Builds the page: the window program compiled to WebAssembly with
# Emscripten, in build-web/ (or $WEB_BUILD_DIR), and the folder of static
# files that a web server (or scripts/run.sh --web) serves: build-web/site/
# (or $WEB_SITE_DIR). Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WEB_BUILD_DIR:-$root/build-web}
site=${WEB_SITE_DIR:-$build/site}
# Debian's Emscripten runs its JavaScript tools with the system's node, which
# finds Debian's node modules (acorn) only on this path.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
emcmake cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNO_BUILD_TESTS=OFF \
  "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal-web

rm -rf "$site"
mkdir -p "$site"
cp "$build/app/web/varnomiksal.js" "$build/app/web/varnomiksal.wasm" "$site/"
cp "$root"/app/web/site/* "$site/"
# The offline copy is renewed whenever any file of the page changes; it
# takes only the script and the wasm of this build (their SHA-256, begun).
version=$(cd "$site" && cat $(ls | grep -v '^sw\.js$' | sort) | sha256sum | cut -c1-16)
build_id=$(cat "$site/varnomiksal.js" "$site/varnomiksal.wasm" | sha256sum | cut -c1-16)
sed -i "s/@VERSION@/$version/; s/@BUILD@/$build_id/" "$site/sw.js"
echo "build-web: the page is in $site"
