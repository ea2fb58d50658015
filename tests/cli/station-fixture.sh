#!/usr/bin/env bash
# Stations as processes against simulated devices, in two runs.
# 1. 32 slots, all seated at once: 4 devices whose contact bounces on
#    arrival and that are then written whole, 2 devices of another name
#    (--expect-device), 13 that fall silent at block 30 (the upload's
#    watchdog must tell), 13 that answer block 30 with a wrong CRC (under
#    wine 8 slots: 2, 1, 3 and 2, since there every byte written costs a
#    round trip to wine's server, and 32 uploads take minutes). Every
#    upload, and its watchdog, runs at the same time. Once every device has
#    been taken away (a failed one stays seated well past the watchdog's
#    3 s), the station is stopped with Ctrl+C (SIGINT).
# 2. Two stations append to the same record file: one writes a device and
#    ends; the other records a failure and is killed (SIGKILL) in the middle
#    of its next upload. report then sums the file up.
# Totals, events, every record line and the report are checked against what
# the simulators saw.
# Usage: station-fixture.sh <varnomiksal-cli> <varnomiksal-sim> [wine]
# With "wine" the Windows programs run under wine ($VARNO_WINE) on the
# prefix's null-modem cables (COM100 and up); otherwise on ptys.
set -u
cli=$1 sim=$2 mode=${3:-}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
run=()
# The slots' numbers from 100 on: bounce, other name, silence, wrong CRC.
kinds=(4 2 13 13)
if [ "$mode" = wine ]; then
  kinds=(2 1 3 2)
  run=("${VARNO_WINE:-wine}")
  portdir='C:\'
  record='Z:'$(printf '%s' "$work/record.jsonl" | tr / '\\')
  report() { printf 'Z:%s' "$(printf '%s' "$work/$1" | tr / '\\')"; }
else
  export VARNOMIKSAL_PORT_DIR=$work/ports
  portdir=$VARNOMIKSAL_PORT_DIR
  record=$work/record.jsonl
  report() { printf '%s' "$work/$1"; }
fi

# One simulator per kind of device; each ends once its devices are removed.
sim_path() { report "$1"; }
source "$(dirname "$0")/station-sims.sh"
common=(--allow-placeholder --poll-ms 200 --record "$record")
other=$((100 + kinds[0])) silent=$((other + kinds[1])) wrong=$((silent + kinds[2]))
slots=$((wrong + kinds[3] - 100))
start_sims 100-$((other - 1)) bounce 400 600
start_sims $other-$((silent - 1)) "other=VARNOMIKSAL VMX-2 9.0" 8000 600
start_sims $silent-$((wrong - 1)) silence-from=30 8000 600
start_sims $wrong-$((99 + slots)) wrong-crc-at=30 8000 600
wait_for_ports $slots
ports=()
for n in $(seq 100 $((99 + slots))); do ports+=("COM$n"); done
"${run[@]}" "$cli" station "${ports[@]}" "${common[@]}" --json --expect-device VMX-1 \
  </dev/null >"$work/events.jsonl" 2>"$work/stderr.txt" &
station=$!
for pid in "${sims[@]}"; do wait "$pid"; done
sims=()
# Ctrl+C: under wine to the program itself, which wine's starter runs.
target=$station
[ "$mode" = wine ] && target=$(pgrep -f 'varnomiksal-cli.exe station COM100' | tail -1)
kill -INT "$target"
wait $station
code=$?

start_sims 140-140 ok 400 600
# A slow upload, to be cut off; this device's day never ends, so it is stopped.
"${run[@]}" "$sim" --port 141 --port-dir "$portdir" --baud 57600 </dev/null \
  >"$work/sim-141.out" 2>&1 &
cut=$!
start_sims 142-142 silence-from=30 8000 600
wait_for_ports $((slots + 3))
"${run[@]}" "$cli" station COM140 "${common[@]}" --count 1 </dev/null >"$work/counted.txt" 2>&1 &
counted=$!
"${run[@]}" "$cli" station COM141 COM142 "${common[@]}" --json </dev/null \
  >"$work/killed.jsonl" 2>&1 &
killed=$!
for _ in $(seq 1200); do
  grep -q '"event": "failed"' "$work/killed.jsonl" &&
    grep -q '"slot": "COM141".*"percent"' "$work/killed.jsonl" && break
  sleep 0.1
done
kill -9 $killed
wait $killed 2>/dev/null
kill $cut
wait $counted
counted_code=$?
"${run[@]}" "$cli" report "$record" --json </dev/null >"$work/report.json"
for pid in "${sims[@]}"; do wait "$pid"; done

python3 - "$work" "$code" "$counted_code" "${kinds[@]}" <<'EOF'
import json, sys, glob, collections
work, code, counted_code = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
bounce, other, silent, wrong = map(int, sys.argv[4:8])
slots = bounce + other + silent + wrong
fail = []
def check(what, ok):
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok: fail.append(what)
events = [json.loads(l) for l in open(work + "/events.jsonl")]
records = [json.loads(l) for l in open(work + "/record.jsonl")]
sims = {}
for f in glob.glob(work + "/sim-*.jsonl"):
    for l in open(f):
        r = json.loads(l); sims["COM%d" % r["port"]] = r
check("the station exits with 1 (attempts failed): %d" % code, code == 1)
totals = events[-1]
check("totals: %d passed, %d failed, %d wrong devices: %s" % (bounce, silent + wrong, other, totals),
      (totals.get("passed"), totals.get("failed"), totals.get("wrong_device")) ==
      (bounce, silent + wrong, other))
first = [r for r in records if int(r["slot"][3:]) < 140]
check("one record line per slot: %d" % len(first), len(first) == slots and
      len({r["slot"] for r in first}) == slots)
by = {r["slot"]: r for r in first}
def want(n):
    if n < 100 + bounce: return ("passed", None)
    if n < 100 + bounce + other: return ("wrong-device", None)
    return ("failed", "silence" if n < 100 + bounce + other + silent else "unexpected_reply")
for n in range(100, 100 + slots):
    slot = "COM%d" % n
    (result, failure), r, s = want(n), by.get(slot, {}), sims.get(slot, {})
    ok = r.get("result") == result and r.get("failure") == failure
    if result == "passed":
        ok = ok and s.get("matches") and s.get("pusk") and r.get("blocks") == 508
    elif result == "wrong-device":
        ok = ok and s.get("received") == 0 and r.get("device") == "VMX-2"
    else:
        # Block 30 arrived whole; the polls that followed, until the device
        # was taken off, add their "VERS" bytes.
        ok = ok and not s.get("pusk") and 31 * 256 <= s.get("received", 0) < 32 * 256 \
            and r.get("blocks") == 30
    if not ok: check("%s: record %s, device saw %s" % (slot, r, s), False)
check("every slot as its device saw it", not any(f.startswith("COM") for f in fail))
arrived = collections.Counter(e["slot"] for e in events if e.get("event") == "arrived")
check("one arrival per device, a bounce included",
      len(arrived) == slots and set(arrived.values()) == {1})

# The second run: the shared file holds whole lines only, from both
# stations, and none for the upload that the kill cut off.
later = [(r["slot"], r["result"]) for r in records if int(r["slot"][3:]) >= 140]
check("the ending station exits with 0: %d" % counted_code, counted_code == 0)
check("the two stations' lines: %s" % later,
      sorted(later) == [("COM140", "passed"), ("COM142", "failed")])
check("the written device saw the image", sims["COM140"]["matches"] and sims["COM140"]["pusk"])
report = json.loads(open(work + "/report.json").read())
check("report: %s" % {k: report.get(k) for k in
                      ("records", "unreadable_lines", "passed", "failed", "wrong_device")},
      (report["records"], report["unreadable_lines"], report["passed"], report["failed"],
       report["wrong_device"]) == (slots + 2, 0, bounce + 1, silent + wrong + 1, other))
sys.exit(1 if fail else 0)
EOF
