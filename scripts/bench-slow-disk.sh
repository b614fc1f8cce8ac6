#!/usr/bin/env bash
# The busiest emulated line (RS-422 at 12.5 Mbit/s, both lines flooded at the
# line's pace: about 20 MB/s of records) recorded onto a slow disk: an ext4
# loop device whose writes the blkio controller holds to 2 MiB/s, with few
# dirty pages allowed so that write(2) waits for it like a slow USB stick.
# Measures `qvtool record --duration SECONDS` (how long it takes, its exit
# status and summary) and the desktop application's event-loop lateness
# during a run and its stop (bench/LiveRunLatency.cpp).
#   sudo scripts/bench-slow-disk.sh [slow|normal] [SECONDS] [BUILD]
# "normal" records onto the loop device without a limit. BUILD (default
# build) is the build tree whose programs are measured. Needs root, loop
# devices and cgroup v1 blkio. Not part of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-slow}
secs=${2:-20}
build=${3:-$root/build}
qvtool=$build/src/cli/qvtool
qvsim=$build/src/qvsim
latency=$build/bench/live_run_latency
throttle=/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-slowdisk.XXXXXX")
mkdir -m 700 "$work/sims" "$work/mnt"
export QVORT_HOME="$work/home" QVORT_SIM_DIR="$work/sims" QT_QPA_PLATFORM=offscreen
sim= loop= devnum=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "$devnum" ] && echo "$devnum 0" >"$throttle" || true
    mountpoint -q "$work/mnt" && umount "$work/mnt" || true
    [ -n "$loop" ] && losetup -d "$loop" || true
    rm -rf "$work"
}
trap cleanup EXIT
truncate -s 2G "$work/disk.img"
mkfs.ext4 -q -F "$work/disk.img"
loop=$(losetup -f --show "$work/disk.img")
mount "$loop" "$work/mnt"
devnum=$(lsblk -dno MAJ:MIN "$loop" | tr -d ' ')
if [ "$mode" = slow ]; then
    echo "$devnum $((2 << 20))" >"$throttle"
    bdi=/sys/block/$(basename "$loop")/bdi
    echo 1 >"$bdi/strict_limit"
    echo $((4 << 20)) >"$bdi/max_bytes" 2>/dev/null || echo 1 >"$bdi/max_ratio"
fi
mkdir "$work/mnt/captures"

"$qvsim" --serial SLOWDISK --source flood:7 --rate real >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do ls "$work/sims"/*-SLOWDISK.sock >/dev/null 2>&1 && break; sleep 0.1; done
"$qvtool" units select SLOWDISK >/dev/null
"$qvtool" settings set Line=422/485 Protocol=ASYNC SD_Baudrate=12500000 RD_Baudrate=12500000 \
    DataLen=8 Parity=NON StopBit=1 Memory=FIX >/dev/null
"$qvtool" settings check --yes >/dev/null
"$qvtool" config set Directory "$work/mnt/captures" >/dev/null

echo "== $mode disk: qvtool record --duration $secs"
start=$(date +%s.%N)
set +e
"$qvtool" record --duration "$secs" --yes >"$work/record.out" 2>"$work/record.err"
status=$?
set -e
end=$(date +%s.%N)
tr '\r' '\n' <"$work/record.err" | grep -E '^stream|records|full' | tail -2 || true
grep -E '^records|^gaps' "$work/record.out" || true
echo "took $(echo "$end - $start" | bc) s, exit status $status"
index=$(head -1 "$work/record.out")
"$qvtool" info "$index" | grep -E '^Records|^Gaps' || true
sync

echo "== $mode disk: the desktop application, $secs s run and its stop"
"$latency" "$secs"
