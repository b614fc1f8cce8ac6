#!/usr/bin/env bash
# Runs the library benchmarks of two build trees in alternating rounds on the
# same captures and prints the median of each benchmark side by side, so that
# a change is judged against the code before it on one machine in one sitting:
#
#   scripts/bench-compare.sh BEFORE_BUILD AFTER_BUILD [ROUNDS]
#
# BEFORE_BUILD and AFTER_BUILD are build folders holding bench/ (qvr_bench,
# reader_bench, export_search_bench, and monitor_scroll_bench when the GUI was
# built). ROUNDS: how often each benchmark runs in each tree (default 5).
# Environment:
#   QVORT_BENCH_DIR  where the captures and scratch files go (default
#                    /dev/shm/qv-compare); needs about 2 GB, or 4 GB more
#                    for the large capture when LARGE_CAPTURE is not given
#   LARGE_CAPTURE    the .qvr of a capture of about 10^8 records for the
#                    reader and Monitor benchmarks (made when missing)
# Captures are made with AFTER_BUILD's qvtool. The machine should be idle.
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,17p' "$0" >&2; exit 2; }
before=$(cd "$1" && pwd)
after=$(cd "$2" && pwd)
rounds=${3:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${QVORT_BENCH_DIR:-/dev/shm/qv-compare}
mkdir -p "$dir/out" "$dir/json"
export QVORT_HOME="$dir/home" TZ=UTC

qvtool=$after/src/cli/qvtool
small=$(ls "$dir"/small/*/*.qvr 2>/dev/null | head -n 1 || true)
[ -n "$small" ] || small=$("$root/bench/make_capture.sh" "$dir/small" 10000000 "$qvtool")
large=${LARGE_CAPTURE:-$(ls "$dir"/large/*/*.qvr 2>/dev/null | head -n 1 || true)}
[ -n "$large" ] || large=$("$root/bench/make_capture.sh" "$dir/large" 100000000 "$qvtool")

# name capture: the benchmarks and the capture each reads.
benches=(
    "qvr_bench -"
    "reader_bench $large"
    "monitor_scroll_bench $large"
    "export_search_bench $small"
)

for ((r = 1; r <= rounds; ++r)); do
    for b in "${benches[@]}"; do
        read -r name capture <<<"$b"
        for side in before after; do
            tree=${!side}
            [ -x "$tree/bench/$name" ] || continue
            echo "round $r/$rounds: $side $name" >&2
            QVORT_BENCH_CAPTURE=$capture QVORT_BENCH_OUT=$dir/out QVORT_BENCH_DIR=$dir/out \
                QT_QPA_PLATFORM=offscreen "$tree/bench/$name" --benchmark_format=json \
                >"$dir/json/$side-$name-$r.json" 2>/dev/null
        done
    done
done

# The median real time of each benchmark over the rounds, and its items per
# second where it counts items.
python3 - "$dir/json" <<'EOF'
import json, os, statistics, sys
from collections import defaultdict
folder = sys.argv[1]
times = defaultdict(lambda: defaultdict(list))
rates = defaultdict(lambda: defaultdict(list))
units = {}
order = []
for f in sorted(os.listdir(folder)):
    side = f.split('-', 1)[0]
    for b in json.load(open(os.path.join(folder, f))).get('benchmarks', []):
        if b.get('error_occurred') or b.get('aggregate_name', 'median') != 'median':
            continue
        n = b['name']
        if n not in units:
            order.append(n)
        units[n] = b['time_unit']
        times[n][side].append(b['real_time'])
        if 'items_per_second' in b:
            rates[n][side].append(b['items_per_second'])
def med(v):
    return statistics.median(v) if v else float('nan')
print(f"{'benchmark':44} {'before':>12} {'after':>12} {'change':>8}   items/s before -> after")
for n in order:
    b, a = med(times[n]['before']), med(times[n]['after'])
    ch = (a / b - 1) * 100 if b == b and a == a and b else float('nan')
    rb, ra = med(rates[n]['before']), med(rates[n]['after'])
    r = f"{rb/1e6:8.1f} M -> {ra/1e6:8.1f} M" if rates[n] else ""
    print(f"{n:44} {b:10.3f}{units[n]:>2} {a:10.3f}{units[n]:>2} {ch:+7.1f}%   {r}")
EOF
