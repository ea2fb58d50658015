#!/usr/bin/env bash
# Starts the built program as a process on a virtual X display and checks how
# it behaves: "--help" and "--version" print their text and end at once;
# "/iq" shows only the information box and ends when it is closed; no argument (and "/IQ") shows the updater's window, and so do
# further arguments, which the window toolkit never reads ("-platform bogus").
# Usage: smoke.sh <program>
set -u
app=$1
if [ -z "${SMOKE_INNER:-}" ]; then
  export SMOKE_INNER=1
  # -noreset: without it the server resets when its last client leaves, and a
  # program that connects meanwhile is refused.
  exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
export VARNOMIKSAL_PORT_DIR=$(mktemp -d)
unset QT_QPA_PLATFORM
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
# The first visible window named $1, within 10 s. A search can fail when a
# window of an earlier run goes away under it (BadWindow), so it is repeated.
window() {
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$found" ] && { echo "$found"; return; }
    sleep 0.1
  done
}

out=$(timeout 10 "$app" --help); rc=$?
check "--help prints the usage and ends" '[ $rc = 0 ] && [[ $out == "Usage: varnomiksal "* ]]'
out=$(timeout 10 "$app" --version); rc=$?
check "--version names the carried image and ends" '[ $rc = 0 ] && [[ $out == "varnomiksal "*" carries "* ]]'
check "--help and --version show no window" '[ -z "$(xdotool search --name "^Varnomiksal bootloader$" 2>/dev/null)" ]'

"$app" /iq &
pid=$!
box=$(window '^Qe Info$')
check "/iq shows the information box" '[ -n "$box" ]'
check "/iq shows no updater window" '[ -z "$(xdotool search --onlyvisible --name "^Varnomiksal bootloader$" 2>/dev/null)" ]'
if [ -n "$box" ]; then
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key --window "$box" Return
fi
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
check "/iq ends once the box is closed" '! kill -0 $pid 2>/dev/null'
wait $pid
check "/iq exits with 0" '[ $? -eq 0 ]'
kill $pid 2>/dev/null

for arg in "" "/IQ" "x -platform bogus"; do
  "$app" $arg &
  pid=$!
  main=$(window '^Varnomiksal bootloader$')
  check "'$arg' shows the updater window" '[ -n "$main" ]'
  sleep 0.5
  check "'$arg' keeps running" 'kill -0 $pid 2>/dev/null'
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
done
rm -rf "$VARNOMIKSAL_PORT_DIR"
exit $fail
