#!/usr/bin/env python3
# The station's goal on the user's road: plexmoor-cli station --all over
# four virtual bridges in virtual time puts 100 boards through, each put on
# and taken off through its bridge's socket as a technician would. Prints
# the boards seen, the rows of the record, the serials and the wall time;
# then, in real time on one bridge, how long after a chip first answers
# its run starts.
#   bench_station.py BIN_DIR [BOARDS]
import json, os, sqlite3, subprocess, sys, tempfile, time

BIN = os.path.abspath(sys.argv[1])
BOARDS = int(sys.argv[2]) if len(sys.argv) > 2 else 100
work = tempfile.mkdtemp(prefix="bench-station-")
run = lambda *args: subprocess.run([os.path.join(BIN, args[0]), *args[1:]], cwd=work,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
run("plexmoor-demo-image", "demo.b")
run("plexmoor-cli", "parse", "demo.b", "--out", "line.ini")


def socket(b, text):
    tmp = os.path.join(work, "socket.tmp")
    with open(tmp, "w") as f:
        f.write(text)
    os.rename(tmp, os.path.join(work, "socket-VB%04d" % b))


def station(bridges, record, extra, env_extra):
    for b in range(1, bridges + 1):
        socket(b, "")
    env = dict(os.environ, FTD2XX_VIRTUAL_BOARDS=":".join(
        os.path.join(work, "empty%d.bin" % b) for b in range(1, bridges + 1)),
        FTD2XX_VIRTUAL_SOCKET=os.path.join(work, "socket-%s"), PLEXMOOR_RECORD=record,
        ZINTRA_RECOVERY_DIR=work, **env_extra)
    args = [os.path.join(BIN, "plexmoor-cli"), "station", "demo.b", "--config", "line.ini",
            "--json", "--record-create", *extra]
    return subprocess.Popen(args, cwd=work, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)


def events(p):
    for line in p.stdout:
        try:
            yield json.loads(line)
        except ValueError:
            pass


# Many boards, four bridges, virtual time.
record = os.path.join(work, "line.db")
start = time.monotonic()
p = station(4, record, ["--all", "--count", str(BOARDS)], {"FTD2XX_VIRTUAL_TIME": "1"})
on, ended, put = {}, {}, 0
for e in events(p):
    b = int(e["bridge"][2:])
    if e["step"] == "waiting" and b not in on and put < BOARDS:
        socket(b, os.path.join(work, "board%03d.bin\n" % put))
        on[b], put = put, put + 1
    elif e["step"] in ("pass", "fail") and b in on:
        ended.setdefault(on.pop(b), []).append((e["step"], e["serial"]))
        socket(b, "")
p.wait()
wall = time.monotonic() - start
rows = sqlite3.connect(record).execute(
    "select count(*), count(distinct serial), sum(result = 'done') from operations "
    "where operation = 'station'").fetchone()
serials = sorted(s for runs in ended.values() for _, s in runs)
print("%d boards through 4 virtual bridges in %.1f s wall (virtual time): %d ended once each, "
      "%d passed; record rows %d, distinct serials %d, done %d; serials %s .. %s; status %d" % (
          BOARDS, wall, sum(len(r) == 1 for r in ended.values()),
          sum(r[0][0] == "pass" for r in ended.values()), rows[0], rows[1], rows[2],
          serials[0], serials[-1], p.returncode))

# Real time, one bridge: from the board put on to its run's start.
p = station(1, os.path.join(work, "latency.db"), ["--device", "VB0001", "--count", "3", "--fast"],
            {"FTD2XX_VIRTUAL_LATENCY_MS": "1"})
latencies, put_at, n = [], 0.0, 0
for e in events(p):
    if e["step"] == "waiting" and n < 3:
        time.sleep(0.3)
        socket(1, os.path.join(work, "real%d.bin\n" % n))
        put_at, n = time.monotonic(), n + 1
    elif e["step"] == "started":
        latencies.append(time.monotonic() - put_at)
    elif e["step"] in ("pass", "fail"):
        socket(1, "")
p.wait()
print("real time, board put on to its run's start: %s s (goal under 0.5 s)" %
      ", ".join("%.3f" % l for l in latencies))
