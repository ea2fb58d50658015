#!/usr/bin/env bash
# Sets up what running needs, builds the programs and the simulator (no
# tests, no benchmarks) and starts the updater.
#
#   scripts/run.sh            start the updater; with no USB serial adapter
#                             plugged in, also start the device simulator as
#                             COM200 (built-in ports such as ttyS0 do not count)
#   scripts/run.sh --demo     always start the simulator too
#   scripts/run.sh --no-demo  never start it
#   scripts/run.sh --demo -- <simulator options>   e.g. -- --baud 38462 --wrong-crc-at 5
#   scripts/run.sh --web      build the page (scripts/build-web.sh) and serve it
#                             on localhost with a simulated device granted to
#                             it as COM1; prints the address to open
#   scripts/run.sh --web --port N -- <simulator options>   on port N (default 8080)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

demo=auto
web=no
web_port=8080
sim_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=yes ;;
    --no-demo) demo=no ;;
    --web) web=yes ;;
    --port) shift; web_port=${1:?--port needs a number} ;;
    --) shift; sim_args=("$@"); break ;;
    *) echo "run: unknown option $1 (use --demo, --no-demo, --web [--port N]," \
         "-- <simulator options>)" >&2; exit 2 ;;
  esac
  shift
done

"$root/scripts/setup.sh" --run
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNO_BUILD_TESTS=OFF >/dev/null
if [ "$web" = yes ]; then
  "$root/scripts/setup.sh" --web
  cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal-sim
  "$root/scripts/build-web.sh"
  exec node "$root/tools/webbridge/serve.mjs" --site "${WEB_SITE_DIR:-$root/build-web/site}" \
    --simulator "$build/tools/simulator/varnomiksal-sim" --port "$web_port" -- "${sim_args[@]}"
fi
cmake --build "$build" -j"${JOBS:-2}" --target varnomiksal varnomiksal-cli varnomiksal-sim
app=$build/app/varnomiksal
sim=$build/tools/simulator/varnomiksal-sim
if [ ! -x "$app" ]; then
  echo "run: the updater's window is not built yet" >&2
  exit 1
fi

# A built-in port (ttyS0, as most PCs and virtual machines have) seldom has
# a device on it; a USB serial adapter usually has.
has_usb_adapter() {
  local t
  for t in /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
    [ -e "$t" ] && return 0
  done
  return 1
}

if [ "$demo" = auto ]; then
  if has_usb_adapter; then demo=no; else demo=yes; fi
fi

sim_pid=
made_dir=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  wait 2>/dev/null || true
  [ -n "$made_dir" ] && rm -rf "$made_dir"
}
trap cleanup EXIT

if [ "$demo" = yes ]; then
  if [ -z "${VARNOMIKSAL_PORT_DIR:-}" ]; then
    made_dir=$(mktemp -d -t varnomiksal-ports.XXXXXX)
    export VARNOMIKSAL_PORT_DIR=$made_dir
  fi
  # After "PUSK" the device is back in its bootloader a moment later, as a
  # device that was reset: the demo can be run again.
  "$sim" --port 200 --restart-after-pusk-ms 1000 "${sim_args[@]}" &
  sim_pid=$!
  sleep 0.3
  echo "run: no USB serial adapter found, so a simulated Varnomiksal device answers on COM200:"
  echo "run: choose COM200 in the list. To leave it out: ./scripts/run.sh --no-demo"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found; starting on a virtual X display (xvfb-run). Stop with Ctrl+C." >&2
  xvfb-run -a "$app"
else
  "$app"
fi
