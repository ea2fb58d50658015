#!/usr/bin/env bash
# Stations as processes against simulated devices, in two runs.
# 1. 32 slots, all seated at once: 4 devices whose contact bounces on
#    arrival and that are then written whole, 2 devices of another name
#    (--expect-device), 13 that fall silent at block 30 (the upload's
#    watchdog must tell), 13 that answer block 30 with a wrong CRC. Every
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
if [ "$mode" = wine ]; then
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
sims=()
start_sims() {
  "${run[@]}" "$sim" --ports "$1" --port-dir "$portdir" --day "$2" --leave-ms "$3" \
    --swap-ms 600 --report "$(report "sim-$1.jsonl")" "${@:4}" </dev/null \
    >"$work/sim-$1.out" 2>&1 &
  sims+=($!)
}
wait_for_ports() {
  for _ in $(seq 300); do
    [ "$(cat "$work"/sim-*.out 2>/dev/null | grep -c 'varnomiksal-sim: COM')" = "$1" ] && return
    sleep 0.1
  done
}
common=(--allow-placeholder --poll-ms 200 --record "$record")
start_sims 100-103 bounce 400
start_sims 104-105 "other=VARNOMIKSAL VMX-2 9.0" 8000
start_sims 106-118 silence-from=30 8000
start_sims 119-131 wrong-crc-at=30 8000
wait_for_ports 32
ports=()
for n in $(seq 100 131); do ports+=("COM$n"); done
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

start_sims 140-140 ok 400
# A slow upload, to be cut off; this device's day never ends, so it is stopped.
"${run[@]}" "$sim" --port 141 --port-dir "$portdir" --baud 57600 </dev/null \
  >"$work/sim-141.out" 2>&1 &
cut=$!
start_sims 142-142 silence-from=30 8000
wait_for_ports 35
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

python3 - "$work" "$code" "$counted_code" <<'EOF'
import json, sys, glob, collections
work, code, counted_code = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
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
check("totals: 4 passed, 26 failed, 2 wrong devices: %s" % totals,
      (totals.get("passed"), totals.get("failed"), totals.get("wrong_device")) == (4, 26, 2))
first = [r for r in records if int(r["slot"][3:]) < 140]
check("one record line per slot: %d" % len(first), len(first) == 32 and
      len({r["slot"] for r in first}) == 32)
by = {r["slot"]: r for r in first}
def want(n):
    if n < 104: return ("passed", None)
    if n < 106: return ("wrong-device", None)
    return ("failed", "silence" if n < 119 else "unexpected_reply")
for n in range(100, 132):
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
      len(arrived) == 32 and set(arrived.values()) == {1})

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
       report["wrong_device"]) == (34, 0, 5, 27, 2))
sys.exit(1 if fail else 0)
EOF
