#!/usr/bin/python3
"""How soon a message reaches the live pcapng stream of `qvtool record
--pcapng -` after its last character was on the line.

  bench/pcapng_latency.py [--build BUILD] [--frames N] [--period-ms MS]

Starts qvsim replaying a Modbus RTU poll at the line's own pace (9600 bit/s
8E1, a request and its response every --period-ms), records it with the
stream on standard output, and stamps each packet as it arrives. A packet's
line time is its time stamp (its first character's start) plus its
characters. The instrument's clock is set from this computer's at the start
but only to the second, so arrival less line time carries a constant offset
of up to a second for the run: the spread over the run (each packet less
the earliest) is what the stream adds beyond the fastest packet. Prints
both, in milliseconds.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time

CHAR_S = 11 / 9600  # start, 8 data, parity, stop


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes(data) + bytes([crc & 0xFF, crc >> 8])


def hexes(b):
    return " ".join(f"{x:02x}" for x in b)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    ap.add_argument("--frames", type=int, default=40)
    ap.add_argument("--period-ms", type=int, default=150)
    a = ap.parse_args()
    qvtool = os.path.join(a.build, "src", "cli", "qvtool")
    qvsim = os.path.join(a.build, "src", "qvsim")
    work = tempfile.mkdtemp(prefix="pcapng-latency-")
    env = dict(os.environ, QVORT_HOME=os.path.join(work, "home"), QVORT_SIM_DIR=os.path.join(work, "sims"))
    os.makedirs(env["QVORT_HOME"])
    os.makedirs(env["QVORT_SIM_DIR"], mode=0o700)
    req = crc16([1, 3, 0, 0, 0, 2])
    resp = crc16([1, 3, 4, 0, 10, 0, 20])
    lines = ["1000 LINES RS ER"]
    for i in range(a.frames // 2):
        t = 500_000 + i * a.period_ms * 1000  # microseconds
        lines.append(f"{t} SD {hexes(req)}")
        lines.append(f"{t + 40_000} RD {hexes(resp)}")
    replay = os.path.join(work, "poll.txt")
    with open(replay, "w") as f:
        f.write("\n".join(lines) + "\n")
    sim = subprocess.Popen([qvsim, "--serial", "LAT1", "--source", "replay:" + replay, "--rate", "real"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.listdir(env["QVORT_SIM_DIR"]):
                break
            time.sleep(0.05)
        for args in (["units", "select", "LAT1"],
                     ["settings", "set", "SD_Baudrate=9600", "RD_Baudrate=SD", "Parity=EVEN"],
                     ["settings", "check", "--yes"]):
            subprocess.run([qvtool] + args, env=env, check=True, stdout=subprocess.DEVNULL)
        seconds = 2 + a.frames // 2 * a.period_ms / 1000
        rec = subprocess.Popen([qvtool, "record", "--yes", "--duration", str(seconds), "--pcapng", "-"],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        latencies = []
        out = rec.stdout
        while True:
            head = out.read(8)
            if len(head) < 8:
                break
            arrived = time.time()
            kind, length = struct.unpack("<II", head)
            body = out.read(length - 8)
            if kind != 6:
                continue
            ts_hi, ts_lo, captured = struct.unpack("<III", body[4:16])
            payload = captured - 12  # the serial header
            if payload <= 0:
                continue
            start = ((ts_hi << 32) | ts_lo) / 1e8  # 10 ns units
            latencies.append(arrived - (start + payload * CHAR_S))
        rec.wait()
    finally:
        sim.terminate()
        sim.wait()
    if not latencies:
        sys.exit("no packets arrived")
    latencies.sort()
    ms = [x * 1000 for x in latencies]
    spread = [x - ms[0] for x in ms]
    print(f"packets {len(ms)}  arrival less line time ms: min {ms[0]:.1f}  p50 {ms[len(ms) // 2]:.1f}  "
          f"max {ms[-1]:.1f}")
    print(f"spread over the run ms: p50 {spread[len(ms) // 2]:.1f}  "
          f"p90 {spread[int(len(ms) * 0.9)]:.1f}  max {spread[-1]:.1f}")


if __name__ == "__main__":
    main()
