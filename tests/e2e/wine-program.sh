#!/usr/bin/env bash
# Drives the real varnomiksal.exe under wine as a user does, with xdotool on
# the X display of the test run, against the simulator on a null-modem cable
# (COM100, whose far end the simulator holds): opens the port list and picks
# COM100, sees the device identified (the write button enabled), clicks
# "Записать", waits for the result display, checks it, clicks OK and checks
# that the program ended. After a success the simulator must have received
# the image byte for byte and "PUSK".
# Mode "info" runs "varnomiksal.exe /iq" instead: the information box shows,
# no updater window does, and the program ends with 0 once the box is closed
# (taskkill without /F sends the close message).
# Usage: wine-program.sh <varnomiksal.exe> <varnomiksal-sim.exe> success|failure|info
# The window is read through its pixels (tests/e2e/xpixels.py): the texts of
# a wine window are not visible to X. The transcript the window keeps of its
# last session (in %LOCALAPPDATA%\Varnomiksal) must tell the outcome.
set -u
app=$1 sim=$2 mode=$3
here=$(cd "$(dirname "$0")" && pwd)
wine=${VARNO_WINE:-wine} # the loader of the programs' width
[ -n "${DISPLAY:-}" ] || { echo "no X display: run the tests under xvfb-run"; exit 77; }

# The visible window with the title, waited for up to 30 s; empty if none
# shows. A search can fail while a window of wine's goes away under it
# (BadWindow): it is repeated. A freshly built program takes wine a while to
# start.
find_window() {
  local found=
  for _ in $(seq 300); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

if [ "$mode" = info ]; then
  "$wine" "$app" /iq </dev/null >/dev/null 2>&1 &
  apppid=$!
  box=$(find_window '^Qe Info$')
  fail=0
  [ -n "$box" ] && echo "ok: /iq shows the information box" || { echo "FAILED: /iq shows no information box"; fail=1; }
  if xdotool search --onlyvisible --name '^Varnomiksal bootloader$' >/dev/null 2>&1; then
    echo "FAILED: /iq shows the updater window"
    fail=1
  fi
  "$wine" taskkill /IM varnomiksal.exe </dev/null >/dev/null 2>&1
  if timeout 30 tail --pid="$apppid" -f /dev/null; then
    rc=0
    wait "$apppid" || rc=$?
    [ $rc = 0 ] && echo "ok: /iq ends with 0 once the box is closed" || { echo "FAILED: /iq ended with $rc"; fail=1; }
  else
    kill "$apppid" 2>/dev/null
    echo "FAILED: /iq did not end when its box was closed"
    fail=1
  fi
  exit $fail
fi

# The list holds COM1 (wine's console port, which must not be chosen) and
# the cable ports that simulators announced, in number order: COM100 is the
# second item.
port=100
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

simout=$(mktemp)
simargs=(--port "$port" --port-dir 'C:\' --once)
[ "$mode" = failure ] && simargs+=(--wrong-crc-at 5)
# More simulator options (e.g. "--baud 38462" for a paced device) from the
# environment, for the benchmark that times this upload.
read -r -a extra <<<"${VARNO_SIM_ARGS:-}"
simargs+=("${extra[@]}")
"$wine" "$sim" "${simargs[@]}" </dev/null >"$simout" 2>&1 &
simpid=$!
apppid=
cleanup() {
  [ -n "$apppid" ] && kill "$apppid" 2>/dev/null
  kill "$simpid" 2>/dev/null
  wait 2>/dev/null
  rm -f "$simout"
}
trap cleanup EXIT
for _ in $(seq 100); do grep -q "COM$port" "$simout" && break; sleep 0.1; done
check "the simulator serves COM$port" 'grep -q "COM$port" "$simout"'
[ $fail = 0 ] || exit 1

# The prefix's local application data, where the transcript goes.
local_data=$("$wine" winepath.exe -u "$("$wine" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)
transcript="$local_data/Varnomiksal/last-session.log"
rm -f "$transcript" "$transcript.1"

"$wine" "$app" </dev/null >/dev/null 2>&1 &
apppid=$!
win=$(find_window '^Varnomiksal bootloader$')
check "the window is shown" '[ -n "$win" ]'
[ $fail = 0 ] || exit 1
sleep 0.5

# Client coordinates of the window (497 x 137) to the X window's, which
# include the frame and caption that wine draws.
eval "$(xdotool getwindowgeometry --shell "$win")"
fx=$(((WIDTH - 497) / 2))
fy=$((HEIGHT - 137 - fx))
click() { xdotool mousemove --window "$win" $(($1 + fx)) $(($2 + fy)) click 1; }
# "dark N red N" of a client rectangle.
pixels() { python3 "$here/xpixels.py" "$win" $(($1 + fx)) $(($2 + fy)) "$3" "$4" 2>/dev/null; }
dark() { pixels "$@" | awk '{print $2}'; }
red() { pixels "$@" | awk '{print $4}'; }
# until <seconds> <condition>
until_true() {
  local n=$(($1 * 10))
  for _ in $(seq "$n"); do eval "$2" && return 0; sleep 0.1; done
  return 1
}

check "the write button starts disabled" '[ "$(dark 5 50 85 30)" = 0 ]'
click 88 12                   # the port field's arrow opens the list
sleep 0.5
click 45 53                   # its second item
until_true 10 '[ "$(dark 5 50 85 30)" -gt 0 ]'
check "the device is identified: the write button is enabled" '[ "$(dark 5 50 85 30)" -gt 0 ]'

# The program's processor time so far, in clock ticks (user and system).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$apppid/stat"; }
cpu0=$(cpu_ticks)
click 47 65                   # "Записать"
start=$(date +%s.%N)
# The result texts fill the top band, where nothing is drawn before.
until_true 180 '[ "$(dark 5 0 490 9)" -gt 0 ]'
awk -v s="$start" -v e="$(date +%s.%N)" -v c="$(($(cpu_ticks) - cpu0))" -v hz="$(getconf CLK_TCK)" \
  'BEGIN { printf "the upload ended after %.2f s (program cpu %.2f s)\n", e - s, c / hz }'

if [ "$mode" = success ]; then
  check "the success display is shown" '[ "$(dark 5 0 490 9)" -gt 0 ] && [ "$(red 80 3 15 14)" = 0 ]'
else
  check "the failure display is shown" '[ "$(red 80 3 15 14)" -gt 0 ]'
fi

click 247 75                  # OK
until_true 15 '! kill -0 $apppid 2>/dev/null'
check "OK ends the program" '! kill -0 $apppid 2>/dev/null'
wait "$apppid"
check "the program exits with 0" '[ $? -eq 0 ]'
apppid=

if [ "$mode" = success ]; then
  check "the transcript has every block and the success" \
    'grep -q "  block 508/508  crc " "$transcript" && grep -q "  outcome: success, 130048 bytes written" "$transcript"'
else
  check "the transcript names the failed block" \
    'grep -q "  failed at block 6: reply " "$transcript" && grep -q "  outcome: failure, 1536 bytes written" "$transcript"'
fi

if [ "$mode" = success ]; then
  until_true 15 '! kill -0 $simpid 2>/dev/null'
  cat "$simout"
  check "the device received the whole image" 'grep -q "received 130048 bytes (0 beyond the image)" "$simout"'
  check "the image is the embedded one, byte for byte" 'grep -q "image matches the embedded image" "$simout"'
  check "the device received PUSK" 'grep -q "PUSK received" "$simout"'
fi
exit $fail
