#!/usr/bin/env bash
# How fast `qvtool record` takes the stream off the instrument when it never
# pauses: qvsim floods both lines as fast as it can (--rate max) and holds
# what is not yet read in its buffer, so the stream rate qvtool reports is
# the most it can drain. A saturated USB 2.0 bulk link carries about
# 40 MiB/s; the recorder must take at least that.
#   scripts/bench-record-drain.sh [SECONDS] [QVTOOL]
# Not part of the tests; run it on an idle machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-10}
qvtool=${2:-$root/build/src/cli/qvtool}
qvsim=$root/build/src/qvsim
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-drain.XXXXXX")
mkdir -m 700 "$work/sims"
export QVORT_HOME="$work/home" QVORT_SIM_DIR="$work/sims"
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; wait; rm -rf "$work"' EXIT
"$qvsim" --serial DRAIN01 --source flood:1 --rate max >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do ls "$work/sims"/*-DRAIN01.sock >/dev/null 2>&1 && break; sleep 0.1; done
"$qvtool" units select DRAIN01 >/dev/null
"$qvtool" settings set Line=422/485 Protocol=ASYNC SD_Baudrate=12500000 RD_Baudrate=12500000 \
    DataLen=8 Parity=NON StopBit=1 Memory=FIX >/dev/null
"$qvtool" settings check --yes >/dev/null
"$qvtool" record --duration "$secs" --yes | grep -E '^stream|full'
