#!/usr/bin/env bash
# Makes a capture of about N records (default 100,000,000) with qvtool and
# measures the Line window on it: loading 10,000 records each side of a frame
# at the start, middle and end (FrameNums 100), and a redraw after a zoom or a
# scroll, by the window's own canvas and by QCustomPlot for comparison.
#   scripts/bench-line-window.sh [N] [WORK_FOLDER]
# The capture is kept in WORK_FOLDER (default build/bench-capture), shared
# with scripts/bench-monitor-scroll.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000000}
work=${2:-build/bench-capture}
qvtool=build/src/cli/qvtool
bench=build/bench/line_chart_bench
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
QVORT_HOME="$dir/home" QVORT_BENCH_CAPTURE="$index" QVORT_BENCH_FRAMENUMS=100 \
  "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
