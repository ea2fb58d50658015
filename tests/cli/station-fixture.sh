#!/usr/bin/env bash
# A station of 32 slots against simulated devices, all seated at once: 4 are
# written whole, 14 fall silent at block 30 (the upload's watchdog must tell),
# 14 answer block 30 with a wrong CRC. Every slot's upload, and its watchdog,
# runs at the same time. The station ends by itself after the 4 passes, and
# once the failed uploads have ended (a failed device stays seated well past
# the watchdog's 3 s); its totals, its JSON events and
# every record line are checked against what the simulators saw.
# Usage: station-fixture.sh <varnomiksal-cli> <varnomiksal-sim> [wine]
# With "wine" the Windows programs run under wine ($VARNO_WINE) on the
# prefix's null-modem cables COM100 to COM131; otherwise on ptys.
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
    --swap-ms 600 --report "$(report "sim-$1.jsonl")" </dev/null >"$work/sim-$1.out" 2>&1 &
  sims+=($!)
}
start_sims 100-103 ok 400
start_sims 104-117 silence-from=30 8000
start_sims 118-131 wrong-crc-at=30 8000
for _ in $(seq 300); do
  [ "$(cat "$work"/sim-*.out 2>/dev/null | grep -c 'varnomiksal-sim: COM')" = 32 ] && break
  sleep 0.1
done

ports=()
for n in $(seq 100 131); do ports+=("COM$n"); done
"${run[@]}" "$cli" station "${ports[@]}" --allow-placeholder --json --poll-ms 200 --count 4 \
  --record "$record" </dev/null >"$work/events.jsonl" 2>"$work/stderr.txt"
code=$?
for pid in "${sims[@]}"; do wait "$pid"; done

python3 - "$work" "$code" <<'EOF'
import json, sys, glob, collections
work, code = sys.argv[1], int(sys.argv[2])
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
check("totals: 4 passed, 28 failed: %s" % totals,
      totals.get("passed") == 4 and totals.get("failed") == 28)
check("one record line per slot: %d" % len(records), len(records) == 32 and
      len({r["slot"] for r in records}) == 32)
by = {r["slot"]: r for r in records}
want = {}
for n in range(100, 132):
    want["COM%d" % n] = ("passed", None) if n < 104 else \
        ("failed", "silence" if n < 118 else "unexpected_reply")
for slot, (result, failure) in sorted(want.items()):
    r, s = by.get(slot, {}), sims.get(slot, {})
    ok = r.get("result") == result and r.get("failure") == failure
    if result == "passed":
        ok = ok and s.get("matches") and s.get("pusk") and r.get("blocks") == 508
    else:
        # Block 30 arrived whole; the polls that followed, until the device
        # was taken off, add their "VERS" bytes.
        ok = ok and not s.get("pusk") and 31 * 256 <= s.get("received", 0) < 32 * 256 \
            and r.get("blocks") == 30
    if not ok: check("%s: record %s, device saw %s" % (slot, r, s), False)
check("every slot as its device saw it", not any(f.startswith("COM") for f in fail))
arrived = collections.Counter(e["slot"] for e in events if e.get("event") == "arrived")
check("one arrival per slot", len(arrived) == 32 and set(arrived.values()) == {1})
sys.exit(1 if fail else 0)
EOF
