#!/usr/bin/env bash
# Times qvtool's whole-capture passes on a capture of N records (default
# 100,000,000): pcapng export, messages and stats, each in records per
# second, and beside them tshark reading the exported file. The capture is
# made on /dev/shm (about 9 bytes a record) and removed afterwards.
#   scripts/bench-traffic.sh [N] [WORK_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000000}
work=${2:-/dev/shm/qv-bench-traffic}
qvtool=$PWD/build/src/cli/qvtool
[ -x "$qvtool" ] || { echo "build first (scripts/setup.sh)" >&2; exit 1; }
trap 'rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work"
export QVORT_HOME="$work/home"

echo "making a capture of $n records in $work ..." >&2
index=$(bench/make_capture.sh "$work" "$n" "$qvtool")
records=$("$qvtool" info "$index" --format json | sed -n 's/.*"records":\([0-9]*\).*/\1/p' | head -1)
echo "capture: $index, $records records"

# Runs a command, prints its wall time, records per second and peak memory.
measure() {
  local name=$1
  shift
  local start end
  start=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%M" -o "$work/rss" "$@" >/dev/null
  else
    echo 0 >"$work/rss"  # peak memory needs GNU time (package time)
    "$@" >/dev/null
  fi
  end=$(date +%s.%N)
  awk -v n="$name" -v s="$start" -v e="$end" -v r="$records" -v m="$(cat "$work/rss")" \
    'BEGIN { t = e - s; printf "%-34s %8.2f s %14.0f records/s %8.0f MiB peak\n", n, t, r / t, m / 1024 }'
}

measure "qvtool save --pcapng" "$qvtool" save "$index" --pcapng "$work/out.pcapng" --payload modbus-rtu
packets=$(stat -c %s "$work/out.pcapng")
echo "  pcapng file: $((packets / 1048576)) MiB"
measure "qvtool messages" "$qvtool" messages "$index"
measure "qvtool messages --format csv" "$qvtool" messages "$index" --format csv
measure "qvtool stats" "$qvtool" stats "$index"
if command -v tshark >/dev/null; then
  measure "tshark -T fields -e frame.time_delta" \
    tshark -r "$work/out.pcapng" -T fields -e frame.time_delta
else
  echo "tshark is not installed: no comparison"
fi
