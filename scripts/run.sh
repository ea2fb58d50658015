#!/usr/bin/env bash
# Sets up the machine, builds the updater and starts it.
#
#   scripts/run.sh            start the updater; with no serial device on the
#                             machine, also start the device simulator as COM200
#   scripts/run.sh --demo     always start the simulator too
#   scripts/run.sh --demo -- <simulator options>   e.g. -- --baud 38462 --wrong-crc-at 5
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

demo=auto
sim_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=yes ;;
    --no-demo) demo=no ;;
    --) shift; sim_args=("$@"); break ;;
    *) echo "run: unknown option $1 (use --demo, --no-demo, -- <simulator options>)" >&2; exit 2 ;;
  esac
  shift
done

"$root/scripts/setup.sh"
BUILD_DIR=$build "$root/scripts/build.sh"
app=$build/app/varnomiksal
sim=$build/tools/simulator/varnomiksal-sim
if [ ! -x "$app" ]; then
  echo "run: the updater's window is not built yet" >&2
  exit 1
fi

has_serial_device() {
  local t
  for t in /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
    [ -e "$t" ] && return 0
  done
  for t in /sys/class/tty/ttyS*; do
    [ -r "$t/type" ] && [ "$(cat "$t/type")" != 0 ] && return 0
  done
  return 1
}

if [ "$demo" = auto ]; then
  if has_serial_device; then demo=no; else demo=yes; fi
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
  "$sim" --port 200 "${sim_args[@]}" &
  sim_pid=$!
  sleep 0.3
  echo "run: a simulated Varnomiksal device answers on COM200 (no hardware needed)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found; starting on a virtual X display (xvfb-run). Stop with Ctrl+C." >&2
  xvfb-run -a "$app"
else
  "$app"
fi
