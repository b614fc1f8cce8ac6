#!/usr/bin/python3
"""How soon a message reaches the live pcapng stream of `qvtool record
--pcapng -` after the instrument sent its last character.

  bench/pcapng_latency.py [--build BUILD] [--frames N] [--period-ms MS] [--baud B]

Starts qvsim replaying a Modbus RTU poll at the line's own pace (--baud
bit/s 8E1, a request and its response every --period-ms), records it with
the stream on standard output, and stamps each packet as it arrives. qvsim
logs (QVSIM_EMIT_LOG) the wall clock of each batch it hands to the reader
with the characters handed over so far, so a packet's latency is its
arrival less the moment its message's last character was handed over.
Prints p50, p90 and max in milliseconds.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time


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
    ap.add_argument("--period-ms", type=int, default=0, help="default: what the rate needs")
    ap.add_argument("--baud", type=int, default=9600)
    a = ap.parse_args()
    char_us = 11 * 1e6 / a.baud  # start, 8 data, parity, stop
    req = crc16([1, 3, 0, 0, 0, 2])
    resp = crc16([1, 3, 4, 0, 10, 0, 20])
    # The response follows the request's end after 10 ms; the next request
    # comes 40 ms after the response's end (or every --period-ms).
    turn_us = len(req) * char_us + 10_000
    period_us = a.period_ms * 1000 or int(turn_us + len(resp) * char_us + 40_000)
    qvtool = os.path.join(a.build, "src", "cli", "qvtool")
    qvsim = os.path.join(a.build, "src", "qvsim")
    work = tempfile.mkdtemp(prefix="pcapng-latency-")
    emits = os.path.join(work, "emits.txt")
    env = dict(os.environ, QVORT_HOME=os.path.join(work, "home"), QVORT_SIM_DIR=os.path.join(work, "sims"),
               QVSIM_EMIT_LOG=emits)
    os.makedirs(env["QVORT_HOME"])
    os.makedirs(env["QVORT_SIM_DIR"], mode=0o700)
    lines = ["1000 LINES RS ER"]
    ends = []  # characters handed over once each message's last one is
    for i in range(a.frames // 2):
        t = 500_000 + i * period_us  # microseconds
        lines.append(f"{t} SD {hexes(req)}")
        lines.append(f"{int(t + turn_us)} RD {hexes(resp)}")
        ends += [i * (len(req) + len(resp)) + len(req), (i + 1) * (len(req) + len(resp))]
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
                     ["settings", "set", f"SD_Baudrate={a.baud}", "RD_Baudrate=SD", "Parity=EVEN"],
                     ["settings", "check", "--yes"]):
            subprocess.run([qvtool] + args, env=env, check=True, stdout=subprocess.DEVNULL)
        seconds = 2 + a.frames // 2 * period_us / 1e6
        rec = subprocess.Popen([qvtool, "record", "--yes", "--duration", str(seconds), "--pcapng", "-",
                                "--payload", "modbus-rtu"],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        arrivals = []
        out = rec.stdout
        while True:
            head = out.read(8)
            if len(head) < 8:
                break
            arrived = time.time_ns()
            kind, length = struct.unpack("<II", head)
            body = out.read(length - 8)
            if kind == 6 and struct.unpack("<I", body[12:16])[0] > 12:  # a message, not a line change
                arrivals.append(arrived)
        rec.wait()
    finally:
        sim.terminate()
        sim.wait()
    handed = []
    with open(emits) as f:
        for line in f:
            wall, count = line.split()
            handed.append((int(count), int(wall)))
    if len(arrivals) != len(ends):
        sys.exit(f"{len(arrivals)} messages arrived of {len(ends)} sent")
    ms = []
    for arrived, end in zip(arrivals, ends):
        sent = next(wall for count, wall in handed if count >= end)
        ms.append((arrived - sent) / 1e6)
    ms.sort()
    print(f"{a.baud} bit/s, {len(ms)} messages, ms from the last character handed over to the "
          f"packet: p50 {ms[len(ms) // 2]:.1f}  p90 {ms[int(len(ms) * 0.9)]:.1f}  max {ms[-1]:.1f}")


if __name__ == "__main__":
    main()
