#!/usr/bin/env bash
# Soak test of a monitoring run in the worst case the instrument can send:
# both lines of an RS-422 line busy without a pause at 12.5 Mbit/s (ASYNC,
# 8N1: about 2.5 million characters a second together) plus control-line
# changes, emulated by qvsim at the line's own pace and recorded by
# `qvtool record` as a user runs it.
#
#   scripts/soak.sh MINUTES
#
# The run is made of segments of at most SEGMENT minutes (default 5; a FIX
# capture keeps at most 2 000 000 000 records, and each minute takes about
# 1.2 GB of disk), each a fresh qvsim and one `qvtool record`. After each,
# the capture must hold every record qvsim says it sent: the record count of
# qvtool, of qvsim and of the capture's index agree, the chunk files hold
# exactly those records, and the instrument never reported its buffer full.
# Every SAMPLE seconds (default 30) a line shows qvtool's and qvsim's share
# of one core and qvtool's memory. Not part of the test suite.
#
# Environment: QVTOOL, QVSIM (default build-rel, else build), SOAK_DIR (where
# the captures go, default /var/tmp/qv-soak; removed after each segment).
set -euo pipefail
minutes=${1:?usage: soak.sh MINUTES}
root=$(cd "$(dirname "$0")/.." && pwd)
pick() { [ -x "$root/build-rel/$1" ] && echo "$root/build-rel/$1" || echo "$root/build/$1"; }
qvtool=${QVTOOL:-$(pick src/cli/qvtool)}
qvsim=${QVSIM:-$(pick src/qvsim)}
segment=${SEGMENT:-5}
sample=${SAMPLE:-30}
dir=${SOAK_DIR:-/var/tmp/qv-soak}
ticks=$(getconf CLK_TCK)

rm -rf "$dir"
mkdir -p "$dir/home" "$dir/sims"
chmod 700 "$dir/sims"
export QVORT_HOME="$dir/home" QVORT_SIM_DIR="$dir/sims"
sim_pid=
rec_pid=
cleanup() {
    [ -n "$rec_pid" ] && kill -TERM "$rec_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill -TERM "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
rss_mb() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null || echo 0; }
fail() { echo "FAIL: $*" >&2; exit 1; }

total_records=0
total_lost=0
n=0
left=$((minutes * 60))
echo "soak: $minutes min in segments of $segment min; qvtool $qvtool"
printf '%8s %10s %14s %9s %9s %9s\n' "time" "segment" "records" "qvtool" "qvsim" "qvtool"
printf '%8s %10s %14s %9s %9s %9s\n' "s" "" "in capture" "% core" "% core" "RSS MB"
while [ "$left" -gt 0 ]; do
    n=$((n + 1))
    secs=$((left < segment * 60 ? left : segment * 60))
    left=$((left - secs))
    serial=SOAK$(printf '%04d' "$n")
    "$qvsim" --serial "$serial" --source "flood:$n" --rate real >"$dir/sim.out" 2>"$dir/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do ls "$dir/sims"/*-"$serial".sock >/dev/null 2>&1 && break; sleep 0.1; done
    "$qvtool" units select "$serial" >/dev/null
    "$qvtool" settings set Line=422/485 Protocol=ASYNC SD_Baudrate=12500000 RD_Baudrate=12500000 \
        DataLen=8 Parity=NON StopBit=1 Memory=FIX >/dev/null
    "$qvtool" settings check --yes >/dev/null

    "$qvtool" record --duration "$secs" --yes >"$dir/rec.out" 2>"$dir/rec.err" &
    rec_pid=$!
    start=$EPOCHREALTIME
    last_t=$start last_rec=$(cpu_ticks "$rec_pid") last_sim=$(cpu_ticks "$sim_pid")
    while kill -0 "$rec_pid" 2>/dev/null; do
        sleep "$sample" & wait $! || true
        kill -0 "$rec_pid" 2>/dev/null || break
        t=$EPOCHREALTIME c_rec=$(cpu_ticks "$rec_pid") c_sim=$(cpu_ticks "$sim_pid")
        # The chunks so far; at the run's end they are renamed under find's feet.
        records=$({ find "$dir/home" -name '*.qvd' -printf '%s\n' 2>/dev/null || true; } |
            awk '{ s += $1 } END { printf "%.0f", s / 8 }')
        awk -v t="$t" -v t0="$start" -v lt="$last_t" -v r="$c_rec" -v lr="$last_rec" -v s="$c_sim" \
            -v ls="$last_sim" -v hz="$ticks" -v n="$n" -v rec="$records" -v rss="$(rss_mb "$rec_pid")" \
            -v done="$((minutes * 60 - left - secs))" 'BEGIN {
            dt = t - lt
            printf "%8.0f %10d %14.0f %9.1f %9.1f %9s\n", done + t - t0, n, rec,
                100 * (r - lr) / hz / dt, 100 * (s - ls) / hz / dt, rss }'
        last_t=$t last_rec=$c_rec last_sim=$c_sim
    done
    wait "$rec_pid" || fail "qvtool record ended with status $?: $(cat "$dir/rec.err")"
    rec_pid=
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
    sim_pid=

    index=$(head -n 1 "$dir/rec.out")
    stored=$(sed -n 's/^records \([0-9]*\).*/\1/p' "$dir/rec.out")
    chunks=$(sed -n 's/.*chunks \([0-9]*\).*/\1/p' "$dir/rec.out")
    sent=$(sed -n 's/^records sent: \([0-9]*\)/\1/p' "$dir/sim.out")
    frames=$(sed -n 's/^FrameNum=\([0-9]*\).*/\1/p' "$index" | tr -d '\r')
    bytes=$(find "$(dirname "$index")" -name '*.qvd' -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
    grep -q "  full" "$dir/rec.err" && fail "segment $n: the instrument's buffer overflowed: $(cat "$dir/rec.err")"
    [ -n "$stored" ] && [ -n "$sent" ] || fail "segment $n: no counts ($(cat "$dir/rec.out" "$dir/sim.out"))"
    [ "$frames" = "$stored" ] || fail "segment $n: index FrameNum $frames, qvtool $stored"
    # Each chunk holds its leading record and its share of the records, 8 bytes each.
    [ "$bytes" -eq $(((stored + chunks) * 8)) ] ||
        fail "segment $n: chunk files hold $bytes bytes, not $(((stored + chunks) * 8))"
    lost=$((sent - stored))
    rate=$(awk -v r="$stored" -v s="$secs" 'BEGIN { printf "%.2f", r / s / 1e6 }')
    echo "segment $n: $stored records in $chunks chunks ($rate M/s), qvsim sent $sent, lost $lost"
    total_records=$((total_records + stored))
    total_lost=$((total_lost + lost))
    rm -rf "$(dirname "$index")"
    [ "$lost" -eq 0 ] || fail "segment $n lost $lost records"
done
echo "soak: $total_records records in $minutes min, lost $total_lost"
