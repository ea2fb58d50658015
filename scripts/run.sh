#!/usr/bin/env bash
# Sets up the machine, builds the updater and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"
if [ ! -x "$build/app/varnomiksal" ]; then
  echo "run: the updater's window is not built yet" >&2
  exit 1
fi
exec "$build/app/varnomiksal" "$@"
