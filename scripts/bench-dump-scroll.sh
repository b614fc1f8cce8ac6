#!/usr/bin/env bash
# Makes a capture of about N ASYNC records (default 100,000,000) with qvtool
# and measures how fast the Dump window fills a page at its start, middle and
# end and steps a line, and that its memory stays flat.
#   scripts/bench-dump-scroll.sh [N] [WORK_FOLDER]
# The capture (about 9 bytes per record) is kept in WORK_FOLDER (default
# /dev/shm/qv-dump-bench) for later runs with the same N; delete it after.
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000000}
work=${2:-/dev/shm/qv-dump-bench}
qvtool=build/src/cli/qvtool
bench=build/bench/dump_scroll_bench
[ -x "$qvtool" ] && [ -x "$bench" ] || { echo "build first (scripts/setup.sh)" >&2; exit 1; }

dir="$work/$n"
index=$(ls "$dir"/*/*.qvr 2>/dev/null | head -1 || true)
if [ -z "$index" ]; then
  index=$(bench/make_capture.sh "$dir" "$n" "$qvtool")
fi
QVORT_BENCH_CAPTURE="$index" "$bench" --benchmark_repetitions="${REPS:-3}" \
  --benchmark_report_aggregates_only=true
