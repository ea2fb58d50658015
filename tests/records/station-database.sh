#!/usr/bin/env bash
# Stations recording to a line's database: a PostgreSQL server of the
# test's own (tests/records/postgres.sh) through unixODBC and psqlODBC, and
# SQLite through its ODBC driver.
# 1. A wrong password: told before any device is taken, and never shown.
# 2. Two stations write at once; the server is stopped for 20 s in the
#    middle of their day and started again. Every attempt reaches the
#    database exactly once, and report gives the same figures over the
#    database as over the stations' spools.
# 3. A station killed (SIGKILL) while its attempt waits in the spool: the
#    next start sends it. A spool whose notes of what was sent are lost
#    sends everything again, and the database keeps one row of each.
# 4. SQLite as the line's database, and report over it.
# Under wine (x64, whose ODBC hands its calls to the host's 64-bit unixODBC)
# only 1, and one station that writes a device while the server is away.
# Usage: station-database.sh <varnomiksal-cli> <varnomiksal-sim> [wine]
# With "wine" the Windows programs run under wine ($VARNO_WINE) on the
# prefix's null-modem cables, and reach the server through wine's ODBC,
# which hands its calls to the host's unixODBC; otherwise on ptys.
set -u
here=$(cd "$(dirname "$0")" && pwd)
cli=$1 sim=$2 mode=${3:-}
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work"
chmod 755 "$work" # the server runs as another user
pg=$work/pg
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; "$here/postgres.sh" stop "$pg" 2>/dev/null;
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
run=()
if [ "$mode" = wine ]; then
  run=("${VARNO_WINE:-wine}")
  portdir='C:\'
  path() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
else
  export VARNOMIKSAL_PORT_DIR=$work/ports
  portdir=$VARNOMIKSAL_PORT_DIR
  path() { printf '%s' "$1"; }
fi
port=$("$here/postgres.sh" start "$pg") || exit 1
driver() { ls /usr/lib/*/odbc/"$1" | head -1; }
db="odbc:Driver=$(driver psqlodbcw.so);Server=127.0.0.1;Port=$port;Database=line;UID=station"
sqlite="odbc:Driver=$(driver libsqlite3odbc.so);Database=$work/line.sqlite"
export VARNOMIKSAL_DB_PASSWORD=line-secret
psql_rows() {
  PGPASSWORD=line-secret psql -h 127.0.0.1 -p "$port" -U station -d line -At -F' ' \
    -c 'SELECT id, slot, result FROM varnomiksal_attempts ORDER BY id'
}

sim_path() { path "$work/$1"; }
source "$(dirname "$0")/../cli/station-sims.sh"
station() { "${run[@]}" "$cli" station --allow-placeholder --poll-ms 200 --json "$@" </dev/null; }
report() { "${run[@]}" "$cli" report "$@" --json </dev/null; }

# 1. A wrong password.
start_sims 100-100 ok 300 3200
wait_for_ports 1
VARNOMIKSAL_DB_PASSWORD=not-the-secret station COM100 --record "$db" --spool "$(path "$work/w.spool")" \
  >"$work/wrong.jsonl" 2>"$work/wrong.err"
wrong_code=$?

# Under wine, where a whole image takes up to a minute on a loaded machine:
# one station writes one device while the server is away for 8 s from the
# end of its upload, and report reads the database; the rest runs on ptys.
if [ "$mode" = wine ]; then
  start_sims 101-101 ok 300 3200
  wait_for_ports 2
  station COM101 --record "$db" --spool "$(path "$work/a.spool")" --count 1 \
    >"$work/a.jsonl" 2>"$work/a.err" &
  a=$!
  for _ in $(seq 3000); do grep -q '"percent": 90' "$work/a.jsonl" && break; sleep 0.1; done
  "$here/postgres.sh" pause "$pg"
  sleep 8
  "$here/postgres.sh" resume "$pg"
  wait $a
  a_code=$?
  report "$db" >"$work/report-db.json"
  report "$(path "$work/a.spool")" >"$work/report-spools.json"
  psql_rows >"$work/rows-day.txt"
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
  python3 - "$work" "$wrong_code" "$a_code" <<'PY'
import json, sys
work, wrong_code, a_code = sys.argv[1], *map(int, sys.argv[2:])
def lines(name): return [json.loads(l) for l in open(f"{work}/{name}") if l.strip()]
events, spooled = lines("a.jsonl"), lines("a.spool")
rows = [l.split() for l in open(f"{work}/rows-day.txt")]
report = lambda n: {k: v for k, v in json.load(open(f"{work}/{n}")).items() if k != "message"}
checks = {
    "a wrong password: exit 4": wrong_code == 4,
    "the password is never shown": "not-the-secret" not in open(f"{work}/wrong.err").read(),
    "the station passes its device: %d" % a_code: a_code == 0,
    "the database is told lost and back": {"database-lost", "database-back"} <=
        {e["event"] for e in events},
    "the attempt is in the database once": [r[0] for r in rows] == [spooled[0]["id"]],
    "report: the same over the database as over the spool":
        report("report-db.json") == report("report-spools.json"),
}
for what, ok in checks.items(): print(("ok: " if ok else "FAILED: ") + what)
sys.exit(0 if all(checks.values()) else 1)
PY
  exit
fi

# 2. Two stations; the server away for 20 s in the middle of their day.
day="ok;ok;wrong-crc-at=20;ok;ok"
start_sims 101-102 "$day" 300 3200
start_sims 103-104 "$day" 300 3200
start_sims 105-105 "ok;wrong-crc-at=20;ok" 300 3200 # 4. SQLite, meanwhile
wait_for_ports 6
station COM101 COM102 --record "$db" --spool "$(path "$work/a.spool")" --count 8 >"$work/a.jsonl" \
  2>"$work/a.err" &
a=$!
station COM103 COM104 --record "$db" --spool "$(path "$work/b.spool")" --count 8 >"$work/b.jsonl" \
  2>"$work/b.err" &
b=$!
station COM105 --record "$sqlite" --spool "$(path "$work/s.spool")" --count 2 >"$work/s.jsonl" \
  2>"$work/s.err" &
s=$!
sleep 4
"$here/postgres.sh" pause "$pg"
sleep 20
"$here/postgres.sh" resume "$pg"
wait $a
a_code=$?
wait $b
b_code=$?
wait $s
s_code=$?
cp "$work/a.spool" "$work/a.day"
cp "$work/b.spool" "$work/b.day"
report "$db" >"$work/report-db.json"
report "$(path "$work/a.day")" "$(path "$work/b.day")" >"$work/report-spools.json"
report "$sqlite" >"$work/report-sqlite.json"
report "$(path "$work/s.spool")" >"$work/report-s.json"
psql_rows >"$work/rows-day.txt"

# 3. Killed while its attempt waits in the spool (which holds one at the
# most, so that the next board waits for its turn); then started again.
start_sims 106-106 "ok;ok" 300 3200
start_sims 107-107 ok 300 3200
start_sims 108-108 ok 300 3200
wait_for_ports 10
# A process of its own, so that the kill reaches the program (under wine, its starter).
"${run[@]}" "$cli" station COM106 --allow-placeholder --poll-ms 200 --json --record "$db" \
  --spool "$(path "$work/c.spool")" --spool-limit 1 </dev/null >"$work/c.jsonl" 2>&1 &
c=$!
for _ in $(seq 100); do grep -q '"event": "arrived"' "$work/c.jsonl" && break; sleep 0.1; done
"$here/postgres.sh" pause "$pg"
for _ in $(seq 300); do grep -q '"event": "spool-full"' "$work/c.jsonl" && break; sleep 0.1; done
sleep 1
kill -9 $c
wait $c 2>/dev/null
"$here/postgres.sh" resume "$pg"
cp "$work/c.spool" "$work/c.killed"
station COM107 --record "$db" --spool "$(path "$work/c.spool")" --count 1 >"$work/c2.jsonl" 2>&1
# The notes of what was sent are lost: everything is sent again.
rm "$work/b.spool.sent"
station COM108 --record "$db" --spool "$(path "$work/b.spool")" --count 1 >"$work/b2.jsonl" 2>&1
psql_rows >"$work/rows-end.txt"
for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done

python3 - "$work" "$wrong_code" "$a_code" "$b_code" "$s_code" <<'PY'
import json, sys
work, wrong_code, a_code, b_code, s_code = sys.argv[1], *map(int, sys.argv[2:])
seatings = 10
fail = []
def check(what, ok):
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok: fail.append(what)
def lines(name):
    return [json.loads(l) for l in open(f"{work}/{name}") if l.strip()]
def text(name): return open(f"{work}/{name}").read()

err = text("wrong.err")
check("a wrong password: exit 4 and the server's words: %d %r" % (wrong_code, err),
      wrong_code == 4 and "password authentication failed" in err)
check("the password is never shown", all("not-the-secret" not in text(f)
      for f in ("wrong.err", "wrong.jsonl")))
check("no device is taken", not any(e.get("event") == "arrived" for e in lines("wrong.jsonl")))

events = lines("a.jsonl") + lines("b.jsonl")
check("both stations end with 1 (a device failed): %d %d" % (a_code, b_code),
      (a_code, b_code) == (1, 1))
kinds = [e["event"] for e in events]
check("the database is told lost and back", "database-lost" in kinds and "database-back" in kinds)
check("nothing waits at the end", all(e.get("records_waiting") == 0
      for e in events if e["event"] == "totals"))
spooled = lines("a.day") + lines("b.day")
check("%d attempts a station: %d" % (seatings, len(spooled)), len(spooled) == 2 * seatings)
rows = [l.split() for l in open(f"{work}/rows-day.txt")]
check("every attempt in the database once", sorted(r[0] for r in rows) ==
      sorted(r["id"] for r in spooled))
check("as the spools have them", sorted((r["id"], r["slot"], r["result"]) for r in spooled) ==
      sorted(tuple(r) for r in rows))
def figures(name):
    r = json.load(open(f"{work}/{name}"))
    return {k: r[k] for k in ("records", "passed", "failed", "wrong_device", "not_written",
                              "median_seconds", "slots", "failures")}
check("report: the same figures over the database as over the spools",
      figures("report-db.json") == figures("report-spools.json"))
check("SQLite: the station ends with 1: %d" % s_code, s_code == 1)
check("SQLite: report as over its spool: %s" % figures("report-sqlite.json"),
      figures("report-sqlite.json") == figures("report-s.json") and
      figures("report-s.json")["records"] == 3)

killed = lines("c.killed")
end = [l.split() for l in open(f"{work}/rows-end.txt")]
ids = [r[0] for r in end]
check("the killed station's attempt was spooled: %d" % len(killed), len(killed) == 1)
check("and sent once at the next start", ids.count(killed[0]["id"]) == 1)
events = lines("c.jsonl")
check("a full spool: the next board waits, not written",
      [e["event"] for e in events].count("started") == 1 and
      any(e["event"] == "spool-full" for e in events))
check("the spool sent again is stored once: %d rows" % len(end),
      len(end) == len(set(ids)) == 2 * seatings + 1 + 1 + 1)
sys.exit(1 if fail else 0)
PY
