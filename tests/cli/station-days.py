#!/usr/bin/env python3
"""Random fixture days against the station, with the programs as processes:
the Windows programs under wine on the prefix's null-modem cables, or the
Linux ones on ptys (where the days test plays many more days, in process).

Each day seats two or three boards in each of two slots, one slot with a
bootloader that answers "VERS" again and one with a bootloader that answers
it once (--strict), and ends with its last board, with one Ctrl+C in the
middle of it, or with a record that cannot be written (the record file
comes to point at a full disk). Then the station's promises are checked
against what each simulated board received: no board of another name heard
the image, none heard it twice, every attempt has exactly one record line
(in the record, or on stderr once it could not be written), records,
events, totals and the exit code agree, every passed board received the
whole image and "PUSK", and no write started after the stop.

Usage: station-days.py CLI SIM [--wine] [--seed N] [--days N]
"""
import json
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

ENDINGS = ["the last board", "one Ctrl+C", "a record that fails"]


def random_day(rng):
    day = []
    for i in range(2 + rng.randrange(2)):
        kind = rng.randrange(6)
        word = ["bounce", "stays", "other=VARNOMIKSAL VMX-2 9.0",
                "wrong-crc-at=%d" % rng.randrange(508),
                "silence-from=%d" % rng.randrange(508), "ok"][kind]
        if i > 0:
            # A quick swap falls within the return window of the last
            # board's "PUSK" (3 s), a slow one well past it.
            word += ",swap=%d" % (1500 if rng.randrange(3) == 0 else 4000)
        day.append(word)
    return day


def json_lines(text, prefix=""):
    out = []
    for line in text.splitlines():
        if not line.startswith(prefix):
            continue
        try:
            out.append(json.loads(line[len(prefix):]))
        except ValueError:
            pass
    return out


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


class Day:
    def __init__(self, cli, sim, wine, seed, work):
        self.cli, self.sim, self.wine, self.seed = cli, sim, wine, seed
        self.work = work
        self.rng = random.Random(seed)
        self.ending = seed % len(ENDINGS)
        self.run = [os.environ.get("VARNO_WINE", "wine")] if wine else []
        self.ports = [150, 151]
        self.days = [random_day(self.rng) for _ in self.ports]
        # The ending comes a while after the first write began: an upload
        # takes some 27 s under wine, so the day stays short.
        self.delay = self.rng.randrange(3000) / 1000.0

    def path(self, name):
        """A file of the work folder, as the programs name it."""
        full = os.path.join(self.work, name)
        return "Z:" + full.replace("/", "\\") if self.wine else full

    def target(self, pattern, proc):
        """The process that takes a signal: under wine the program that
        wine's starter runs."""
        if not self.wine:
            return proc.pid
        found = subprocess.run(["pgrep", "-f", pattern], capture_output=True,
                               text=True).stdout.split()
        return int(found[-1]) if found else proc.pid

    def play(self):
        env = dict(os.environ)
        if not self.wine:
            env["VARNOMIKSAL_PORT_DIR"] = os.path.join(self.work, "ports")
            os.makedirs(env["VARNOMIKSAL_PORT_DIR"], exist_ok=True)
        portdir = "C:\\" if self.wine else env["VARNOMIKSAL_PORT_DIR"]
        sims = []
        for k, port in enumerate(self.ports):
            out = open(os.path.join(self.work, "sim-%d.out" % port), "w")
            args = self.run + [self.sim, "--port", str(port), "--port-dir", portdir,
                               "--day", ";".join(self.days[k]), "--leave-ms", "300",
                               "--unwritten-leave-ms", "3000",
                               "--report", self.path("sim-%d.jsonl" % port)]
            if k == 1:
                args.append("--strict")
            sims.append(subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out,
                                         stderr=subprocess.STDOUT, env=env))
        for _ in range(600):
            said = "".join(read(os.path.join(self.work, "sim-%d.out" % p)) for p in self.ports)
            if said.count("varnomiksal-sim: COM") == len(self.ports):
                break
            time.sleep(0.1)
        record = os.path.join(self.work, "record.jsonl")
        events_path = os.path.join(self.work, "events.jsonl")
        names = ["COM%d" % p for p in self.ports]
        station = subprocess.Popen(
            self.run + [self.cli, "station"] + names +
            ["--allow-placeholder", "--json", "--poll-ms", "200", "--expect-device", "VMX-1",
             "--record", self.path("record.jsonl")],
            stdin=subprocess.DEVNULL, stdout=open(events_path, "w"),
            stderr=open(os.path.join(self.work, "stderr.txt"), "w"), env=env)
        station_pattern = "varnomiksal-cli.exe station " + names[0]

        ended_at = None
        acted = False
        filled = False
        deadline = time.time() + 900
        while time.time() < deadline and station.poll() is None:
            over = all(s.poll() is not None for s in sims)
            if self.ending == 0:
                if over:
                    break
            elif not acted:
                started = '"event": "started"' in read(events_path)
                if ended_at is None and (started or over):
                    ended_at = time.time() + self.delay
                if ended_at is not None and time.time() >= ended_at:
                    acted = True
                    if self.ending == 1:
                        os.kill(self.target(station_pattern, station), signal.SIGINT)
                    else:
                        # The record's disk fills up: its lines so far are
                        # kept, and every later line fails.
                        os.link(record, record + ".kept")
                        os.symlink("/dev/full", record + ".full")
                        os.rename(record + ".full", record)
                        filled = True
            elif over:
                break
            time.sleep(0.1)
        if station.poll() is None:
            os.kill(self.target(station_pattern, station), signal.SIGINT)
        try:
            code = station.wait(timeout=300)
        except subprocess.TimeoutExpired:
            station.kill()
            code = station.wait()
        # Boards the station left unasked stay seated: their days are cut.
        for k, s in enumerate(sims):
            if s.poll() is None:
                os.kill(self.target("varnomiksal-sim.exe --port %d" % self.ports[k], s),
                        signal.SIGINT)
            try:
                s.wait(timeout=60)
            except subprocess.TimeoutExpired:
                s.kill()
                s.wait()
        return self.check(code, filled, record)

    def check(self, code, filled, record):
        fails = []

        def check(ok, what):
            if not ok:
                fails.append(what)

        out = read(os.path.join(self.work, "events.jsonl"))
        err = read(os.path.join(self.work, "stderr.txt"))
        events = json_lines(out)
        records = json_lines(read(record + ".kept" if filled else record))
        records += json_lines(err, "varnomiksal-cli: not recorded: ")
        recorded, told = {}, {}
        for r in records:
            recorded[r["result"]] = recorded.get(r["result"], 0) + 1
        for e in events:
            told[e["event"]] = told.get(e["event"], 0) + 1
        n = lambda d, k: d.get(k, 0)
        record_failed = n(told, "record-failed") > 0
        failed = n(recorded, "failed") + n(recorded, "interrupted")
        check(code == (4 if record_failed else 1 if failed else 0), "exit code %d" % code)
        for kind in ["passed", "failed", "interrupted", "wrong-device", "returned",
                     "not-written"]:
            check(n(recorded, kind) == n(told, kind),
                  "%s: %d recorded, %d told" % (kind, n(recorded, kind), n(told, kind)))
        totals = events[-1] if events else {}
        check(totals.get("event") == "totals" and totals.get("passed") == n(recorded, "passed")
              and totals.get("failed") == failed
              and totals.get("wrong_device") == n(recorded, "wrong-device"),
              "the totals differ from the record")
        check(n(told, "started") == n(recorded, "passed") + failed, "a write without its record")
        stopped = False
        for e in events:
            check(not (stopped and e["event"] == "started"), "a write started after the stop")
            stopped = stopped or e["event"] in ("stopping", "record-failed")
        check(self.ending != 1 or stopped, "the Ctrl+C was not acknowledged")
        check(n(told, "interrupted") == 0, "interrupted by one Ctrl+C")
        print("seed %d, ended by %s: exit code %d; %s" %
              (self.seed, ENDINGS[self.ending], code,
               ", ".join("%s %d" % kv for kv in sorted(told.items()) if kv[0] != "progress")))
        cut = self.ending != 0
        for k, port in enumerate(self.ports):
            slot = "COM%d" % port
            mine = [r for r in records if r.get("slot") == slot]
            seen = json_lines(read(os.path.join(self.work, "sim-%d.jsonl" % port)))
            self.boards += len(seen)
            check(len(mine) <= len(seen) if cut else len(mine) == len(seen),
                  "%s: %d boards, %d records" % (slot, len(seen), len(mine)))
            for i, s in enumerate(seen):
                result = mine[i]["result"] if i < len(mine) else "none"
                board = "%s board %d (%s, %s)" % (slot, i + 1, self.days[k][i], result)
                check(s["whole_images"] <= 1, board + ": the image twice")
                if self.days[k][i].startswith("other="):
                    check(not s["image_begun"] and (result == "wrong-device" or cut),
                          board + ": another device heard the image")
                if result == "passed":
                    check(s["matches"] and s["pusk"] and s["whole_images"] == 1,
                          board + ": passed, but the image or \"PUSK\" did not arrive")
                if result in ("failed", "interrupted"):
                    check(not s["pusk"], board + ": " + result + ", yet started")
                if result in ("returned", "wrong-device", "not-written", "none"):
                    check(not s["image_begun"], board + ": not written, yet it heard the image")
        if not fails:
            return ""
        plan = "".join("  COM%d%s: %s\n" % (p, " (strict)" if k else "", ";".join(self.days[k]))
                       for k, p in enumerate(self.ports))
        return ("seed %d, ending with %s:\n%s" % (self.seed, ENDINGS[self.ending], plan) +
                "".join("  " + f + "\n" for f in fails) + "events:\n" + out + "stderr:\n" + err)

    boards = 0


def main():
    args = sys.argv[1:]
    if len(args) < 2:
        print(__doc__)
        return 2
    cli, sim = args[0], args[1]
    wine = "--wine" in args
    seed = int(args[args.index("--seed") + 1]) if "--seed" in args else 20261209
    days = int(args[args.index("--days") + 1]) if "--days" in args else 1
    held, boards, started = 0, 0, time.time()
    for d in range(days):
        with tempfile.TemporaryDirectory() as work:
            day = Day(cli, sim, wine, seed + d, work)
            failures = day.play()
            boards += day.boards
        if failures:
            print("FAILED: " + failures)
        held += not failures
    print("station days%s: %d days, %d boards, every promise held on %d days (%.0f s)" %
          (" under wine" if wine else "", days, boards, held, time.time() - started))
    return 0 if held == days else 1


if __name__ == "__main__":
    sys.exit(main())
