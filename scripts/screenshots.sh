#!/usr/bin/env bash
# Makes the README's pictures of the updater's window in its five states
# (choosing, ready, uploading, success, failure), each with the real window
# schema against the device simulator:
#   docs/screenshots/linux/    the Linux build (build/), Qt's offscreen platform
#   docs/screenshots/windows/  the Windows build (build-win/) under wine, on a
#                              virtual X display, with the device on a
#                              null-modem cable
#   docs/screenshots/web/      the page (build-web/) in headless Chromium, with
#                              the device behind the stand-in for Web Serial
# Usage: scripts/screenshots.sh [linux|windows|web]   (all when none is named)
# Builds only what the pictures need. The pictures are stored with the
# strongest compression, so that a run that changes nothing changes no file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/docs/screenshots
which=${1:-all}
case "$which" in linux | windows | web | all) ;; *)
  echo "usage: $0 [linux|windows|web]" >&2
  exit 2
  ;;
esac
"$root/scripts/setup.sh"

# Rewrites PNG files with their image data compressed at zlib's level 9 (the
# window toolkit's writer stores it uncompressed).
squash() {
  python3 - "$@" <<'EOF'
import struct, sys, zlib
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    chunks, at, idat = [], 8, b""
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        at += 12 + size
        if kind == b"IDAT":
            idat += body
            if chunks and chunks[-1][0] == b"IDAT":
                continue
        chunks.append([kind, body])
    out = data[:8]
    for kind, body in chunks:
        if kind == b"IDAT":
            body = zlib.compress(zlib.decompress(idat), 9)
        out += struct.pack(">I", len(body)) + kind + body
        out += struct.pack(">I", zlib.crc32(kind + body))
    open(path, "wb").write(out)
EOF
}

if [ "$which" = linux ] || [ "$which" = all ]; then
  build=${BUILD_DIR:-$root/build}
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"${JOBS:-2}" --target screenshots
  mkdir -p "$out/linux"
  QT_QPA_PLATFORM=offscreen "$build/tools/screenshots/screenshots" "$out/linux"
  squash "$out"/linux/*.png
fi

if [ "$which" = web ] || [ "$which" = all ]; then
  build=${BUILD_DIR:-$root/build}
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal-sim
  "$root/scripts/build-web.sh"
  BUILD_DIR=$build node "$root/tests/web/screenshots.mjs" "$out/web"
  squash "$out"/web/*.png
fi

if [ "$which" = windows ] || [ "$which" = all ]; then
  source "$root/scripts/windows-arch.sh"
  win_build=${WIN_BUILD_DIR:-$win_build}
  TARGETS="screenshots varno_nullmodem" BUILD_DIR=$win_build "$root/scripts/build-windows.sh"
  mkdir -p "$out/windows"
  # A prefix of its own, set up as for the tests; one X display for the run.
  prefix=$(mktemp -d /tmp/varnomiksal-wine-shots-XXXXXX)
  trap 'WINEPREFIX=$prefix "$root/tests/wine-prefix.sh" cleanup >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d \
    VARNO_NULLMODEM=$win_build/host/varnomiksal-nullmodem \
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" sh -c '
      "$1/tests/wine-prefix.sh" setup >/dev/null || exit 1
      rc=0
      wine "$2/tools/screenshots/screenshots.exe" "$(winepath -w "$3")" </dev/null 2>/dev/null || rc=$?
      "$1/tests/wine-prefix.sh" cleanup >/dev/null 2>&1
      exit $rc' \
    - "$root" "$win_build" "$out/windows"
  squash "$out"/windows/*.png
fi
