#!/usr/bin/python3
"""A Modbus RTU line between a real master and a real slave (pymodbus), with
two taps that hear what each side sends, as a line monitor's two ports would.

Four pseudo-terminals: one for the master, one for the slave and one tap per
direction. A relay carries each frame from one side to the other as a line at
the given rate would: a frame of n characters is handed over n character
times after it began, and a frame begins no sooner than --gap-ms (at least
the 3.5 character times of silence that separate RTU frames) after the last
one ended, as a device's turnaround time holds it back. The tap gets the
frame at the moment the far side does. Every hand-over is logged with the
real time just before and just after the tap's write, so that a capture's
stamps can be compared with it.

  modbus_line.py --taps FILE --go FILE --log FILE [--count N] [--baud RATE]
                 [--gap-ms MS]

Once the slave answers, writes "SD_TAP RD_TAP" to --taps, waits until --go
exists, then taps the line and runs N transactions of mixed function codes (one in six answered with an exception),
writes the log ("SD|RD <ns before> <ns after> <hex bytes>" per frame, ns
since 1970) and exits 0 when
every answer was right.
"""

import argparse
import logging
import os
import select
import subprocess
import sys
import threading
import time
import tty

from pymodbus.client import ModbusSerialClient
from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.framer.rtu_framer import ModbusRtuFramer

REGISTERS = 100  # addresses 0..99 exist; the exception requests ask beyond them


def serve(port, baud):
    from pymodbus.server import StartSerialServer
    logging.disable(logging.CRITICAL)
    block = lambda: ModbusSequentialDataBlock(0, list(range(REGISTERS)))
    store = ModbusSlaveContext(di=block(), co=block(), hr=block(), ir=block(),
                               zero_mode=True)
    StartSerialServer(context=ModbusServerContext(slaves=store, single=True),
                      framer=ModbusRtuFramer, port=port, baudrate=baud)


def pty_pair():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


class Relay(threading.Thread):
    def __init__(self, master_side, slave_side, tap_sd, tap_rd, char_s, gap_s):
        super().__init__(daemon=True)
        self.ends = {master_side: (slave_side, tap_sd, "SD"),
                     slave_side: (master_side, tap_rd, "RD")}
        self.char_s = char_s
        self.gap_s = max(gap_s, 3.5 * char_s)
        self.line_free = 0.0  # monotonic time the last frame ended
        self.tapping = False
        self.log = []
        self.failed = None

    def run(self):
        try:
            fds = list(self.ends)
            while True:
                ready, _, _ = select.select(fds, [], [])
                for fd in ready:
                    data = os.read(fd, 4096)
                    peer, tap, name = self.ends[fd]
                    begin = max(time.monotonic(), self.line_free + self.gap_s)
                    end = begin + len(data) * self.char_s
                    delay = end - time.monotonic()
                    if delay > 0:
                        time.sleep(delay)
                    if self.tapping:
                        before = time.time_ns()
                        os.write(tap, data)
                        written = time.time_ns()
                        self.log.append(f"{name} {before} {written} {data.hex(' ')}")
                    os.write(peer, data)
                    self.line_free = time.monotonic()
        except Exception as e:  # reported by the master's side
            self.failed = e


def transact(client, i):
    """One request of a mixed set; None when the answer is right, else why not."""
    kind = i % 6
    addr = i % 90
    if kind == 0:
        r = client.read_holding_registers(addr, 4, slave=1)
        ok = not r.isError() and r.registers == list(range(addr, addr + 4))
    elif kind == 1:
        r = client.read_input_registers(addr, 2, slave=1)
        ok = not r.isError() and r.registers == [addr, addr + 1]
    elif kind == 2:
        r = client.write_register(addr, addr, slave=1)
        ok = not r.isError()
    elif kind == 3:
        r = client.write_registers(addr, [addr, addr + 1, addr + 2], slave=1)
        ok = not r.isError()
    elif kind == 4:
        r = client.read_coils(addr, 8, slave=1)
        ok = not r.isError()
    else:
        r = client.read_holding_registers(REGISTERS + addr, 2, slave=1)
        ok = r.isError() and getattr(r, "exception_code", None) == 2
    return None if ok else f"transaction {i}: {r}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--taps")
    ap.add_argument("--go")
    ap.add_argument("--log")
    ap.add_argument("--count", type=int, default=2000)
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--gap-ms", type=float, default=0)
    ap.add_argument("--serve")
    a = ap.parse_args()
    if a.serve:
        serve(a.serve, a.baud)
        return 0

    logging.disable(logging.CRITICAL)
    m_master, m_slave, m_path = pty_pair()
    s_master, s_slave, s_path = pty_pair()
    sd_master, sd_slave, sd_path = pty_pair()
    rd_master, rd_slave, rd_path = pty_pair()

    server = subprocess.Popen([sys.executable, __file__, "--serve", s_path,
                               "--baud", str(a.baud)])
    relay = Relay(m_master, s_master, sd_master, rd_master, 10.0 / a.baud,
                  a.gap_ms / 1000.0)
    relay.start()
    client = ModbusSerialClient(port=m_path, framer=ModbusRtuFramer,
                                baudrate=a.baud, timeout=2, retries=0)
    try:
        if not client.connect():
            print("the master cannot open its port", file=sys.stderr)
            return 1
        # The slave is up once it answers; the taps hear nothing of this.
        for _ in range(50):
            if not client.read_holding_registers(0, 1, slave=1).isError():
                break
        else:
            print("the slave does not answer", file=sys.stderr)
            return 1
        with open(a.taps + ".new", "w") as f:
            f.write(f"{sd_path} {rd_path}\n")
        os.rename(a.taps + ".new", a.taps)
        while not os.path.exists(a.go):
            time.sleep(0.02)
        relay.tapping = True
        begin = time.monotonic()
        for i in range(a.count):
            why = transact(client, i)
            if why or relay.failed:
                print(why or relay.failed, file=sys.stderr)
                return 1
        took = time.monotonic() - begin
        print(f"{a.count} transactions in {took:.1f} s", file=sys.stderr)
    finally:
        client.close()
        server.terminate()
        server.wait()
    with open(a.log, "w") as f:
        f.write("\n".join(relay.log) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
