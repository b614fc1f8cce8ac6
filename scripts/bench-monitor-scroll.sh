#!/usr/bin/env bash
# Makes a capture of about N records (default 100,000,000) with qvtool and
# measures how fast the Monitor window pages at its start, middle and end.
#   scripts/bench-monitor-scroll.sh [N] [WORK_FOLDER]
# The capture takes about 9 bytes per record on disk; it is kept in
# WORK_FOLDER (default build/bench-capture) for later runs with the same N.
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000000}
work=${2:-build/bench-capture}
qvtool=build/src/cli/qvtool
bench=build/bench/monitor_scroll_bench
[ -x "$qvtool" ] && [ -x "$bench" ] || { echo "build first (scripts/setup.sh)" >&2; exit 1; }

dir="$work/$n"
index=$(ls "$dir"/*/*.qvr 2>/dev/null | head -1 || true)
if [ -z "$index" ]; then
  mkdir -p "$dir"
  "$qvtool" gen-stream --protocol ASYNC --events "$n" --seed 1 --date 091205 "$dir/stream.bin"
  "$qvtool" decode "$dir/stream.bin" --out "$dir" --protocol ASYNC
  rm -f "$dir/stream.bin"
  index=$(ls "$dir"/*/*.qvr | head -1)
fi
QVORT_BENCH_CAPTURE="$index" "$bench"
