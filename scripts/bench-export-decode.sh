#!/usr/bin/env bash
# Whole-run speed of `qvtool save --csv` and `qvtool decode`, each beside a
# raw write (dd) of the same number of bytes to the same disk:
#
#   scripts/bench-export-decode.sh [ROWS] [ITEMS]
#
# ROWS: records of the capture exported as CSV (default 10^7); ITEMS: data
# items of the stream decoded (default 10^8). Environment:
#   QVTOOL          the qvtool measured (default build-rel, else build)
#   QVTOOL_BEFORE   another qvtool, measured in the same rounds and checked
#                   to write every byte the same (the CSV files and the chunk
#                   files and index of the decoded capture)
#   QVORT_BENCH_DIR where the files go (default /dev/shm/qv-bench: the code
#                   is measured, not a disk); needs about 4 GB free
#   ROUNDS          runs of each (default 3); the fastest counts
# The machine should be otherwise idle.
set -euo pipefail
rows=${1:-10000000}
items=${2:-100000000}
root=$(cd "$(dirname "$0")/.." && pwd)
qvtool=${QVTOOL:-$root/build-rel/src/cli/qvtool}
[ -x "$qvtool" ] || qvtool=$root/build/src/cli/qvtool
before=${QVTOOL_BEFORE:-}
dir=${QVORT_BENCH_DIR:-/dev/shm/qv-bench}
rounds=${ROUNDS:-3}

rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
export QVORT_HOME="$dir/home" TZ=UTC

# "WALL CPU": the seconds a command took and the processor time (user and
# system) it used; its output is dropped. On a busy machine the wall time
# grows with what else runs, the processor time much less.
timed() {
    local TIMEFORMAT='%R %U %S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<<"$t"
}
# The least wall time and the least processor time of several "WALL CPU".
min() { printf '%s\n' "$@" | awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 < c { c = $2 }
                                   END { print w, c }'; }
raw_write() { dd if=/dev/zero of="$dir/dd.out" bs=1M count="$1" iflag=count_bytes status=none; }
bytes_of() { du -sb --apparent-size "$1" | cut -f1; }

echo "Making the inputs in $dir ..."
"$qvtool" gen-stream "$dir/csv.bin" --protocol ASYNC --events "$rows" --seed 1 --baud 115200 >/dev/null
mkdir -p "$dir/cap"
index=$("$qvtool" decode "$dir/csv.bin" --out "$dir/cap" | head -n 1)
rm -f "$dir/csv.bin"
"$qvtool" gen-stream "$dir/dec.bin" --protocol ASYNC --events "$items" --seed 1 --baud 115200 >/dev/null
stream_bytes=$(bytes_of "$dir/dec.bin")

# One CSV export into FOLDER with the given qvtool.
export_csv() { rm -rf "$2"; "$1" save "$index" --out "$2" --csv; }
# One decode of the stream into a fresh FOLDER.
decode() { rm -rf "$2"; mkdir -p "$2"; "$1" decode "$dir/dec.bin" --out "$2"; }

declare -a t_dd_csv t_csv t_csv_b t_dd_dec t_dec t_dec_b
csv_bytes=0
csv_rows=0
dec_bytes=0
# Each raw write runs with the same files on the disk as the command it is
# set against, that command's output gone. On a virtual machine a write into
# memory the guest has not used lately costs several times one into memory it
# has just freed, so every timed command comes right after as many bytes as
# it writes were written and freed (from the second round on, when the sizes
# are known); the first round counts only if no later one is faster.
warm() { [ "$1" -gt 0 ] && raw_write "$1" && rm -f "$dir/dd.out"; return 0; }
for ((r = 1; r <= rounds; ++r)); do
    warm "$csv_bytes"
    t_csv+=("$(timed export_csv "$qvtool" "$dir/csv-after")")
    csv_bytes=$(bytes_of "$dir/csv-after")
    # Every file starts with its header line, which is no row.
    csv_rows=$(( $(cat "$dir"/csv-after/*.csv | wc -l) - $(ls "$dir/csv-after" | wc -l) ))
    if [ -n "$before" ]; then
        if [ "$r" -eq 1 ]; then
            export_csv "$before" "$dir/csv-before" >/dev/null 2>&1
            diff -r "$dir/csv-before" "$dir/csv-after" >/dev/null ||
                { echo "CSV files differ between the two qvtools" >&2; exit 1; }
            rm -rf "$dir/csv-before"
        fi
        rm -rf "$dir/csv-after"
        warm "$csv_bytes"
        t_csv_b+=("$(timed export_csv "$before" "$dir/csv-before")")
        rm -rf "$dir/csv-before"
    fi
    rm -rf "$dir/csv-after"
    warm "$csv_bytes"
    t_dd_csv+=("$(timed raw_write "$csv_bytes")")
    rm -f "$dir/dd.out"

    warm "$dec_bytes"
    t_dec+=("$(timed decode "$qvtool" "$dir/dec-after")")
    dec_bytes=$(find "$dir/dec-after" -name '*.qvd' -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
    if [ -n "$before" ]; then
        if [ "$r" -eq 1 ]; then
            decode "$before" "$dir/dec-before" >/dev/null 2>&1
            # The capture folders are named after the second they started in;
            # their files are compared by name.
            a=$(ls -d "$dir"/dec-after/*/) b=$(ls -d "$dir"/dec-before/*/)
            for f in "$a"*; do
                name=$(basename "$f")
                case "$name" in
                    *.qvr) cmp -s "$f" "$b$(basename "$b").qvr" ;;
                    *) cmp -s "$f" "$b$name" ;;
                esac || { echo "decoded capture differs in $name" >&2; exit 1; }
            done
            [ "$(ls "$a" | wc -l)" -eq "$(ls "$b" | wc -l)" ] || { echo "decoded captures differ in their files" >&2; exit 1; }
            rm -rf "$dir/dec-before"
        fi
        rm -rf "$dir/dec-after"
        warm "$dec_bytes"
        t_dec_b+=("$(timed decode "$before" "$dir/dec-before")")
        rm -rf "$dir/dec-before"
    fi
    rm -rf "$dir/dec-after"
    warm "$dec_bytes"
    t_dd_dec+=("$(timed raw_write "$dec_bytes")")
    rm -f "$dir/dd.out"
done

report() {  # LABEL "WALL CPU" "DD_WALL DD_CPU" COUNT UNIT
    awk -v l="$1" -v t="$2" -v d="$3" -v n="$4" -v u="$5" 'BEGIN {
        split(t, a, " "); split(d, b, " ")
        printf "  %-8s %7.3f s %7.1f M %s/s %5.1f %% of dd (%.3f s);  processor %.3f s, %5.1f %% of dd (%.3f s)\n",
               l, a[1], n / a[1] / 1e6, u, 100 * b[1] / a[1], b[1], a[2], 100 * b[2] / a[2], b[2] }'
}
echo
echo "qvtool save --csv: $(printf "%'d" "$csv_bytes") bytes of CSV, best of $rounds"
report "after" "$(min "${t_csv[@]}")" "$(min "${t_dd_csv[@]}")" "$csv_rows" rows
[ -n "$before" ] && report "before" "$(min "${t_csv_b[@]}")" "$(min "${t_dd_csv[@]}")" "$csv_rows" rows
echo "qvtool decode: $(printf "%'d" "$stream_bytes") stream bytes to $(printf "%'d" "$dec_bytes") bytes of chunks, best of $rounds"
report "after" "$(min "${t_dec[@]}")" "$(min "${t_dd_dec[@]}")" "$((stream_bytes / 4))" items
[ -n "$before" ] && report "before" "$(min "${t_dec_b[@]}")" "$(min "${t_dd_dec[@]}")" "$((stream_bytes / 4))" items
[ -n "$before" ] && echo "Every CSV byte and every byte of the decoded capture is the same for both qvtools."

# The Google Benchmark programs beside the qvtool, when they were built:
# each measured against its own plain buffered write of the same bytes.
bench=$(dirname "$(dirname "$(dirname "$qvtool")")")/bench
ratio() {  # NAME BASELINE: real times from --benchmark_format=csv on stdin
    awk -F, -v a="\"$1\"" -v b="\"$2\"" '
        $1 == a { t = $3; u = $5 } $1 == b { p = $3 }
        END { if (t && p) printf "  %-40s %9.3f %s, %5.1f %% of its plain write (%.3f %s)\n", a, t, u, 100 * p / t, p, u }'
}
if [ -x "$bench/qvr_bench" ]; then
    echo "bench/qvr_bench (decoding 4 * 10^6 events in memory into chunk files):"
    QVORT_BENCH_DIR="$dir/bench" "$bench/qvr_bench" --benchmark_format=csv 2>/dev/null >"$dir/qvr_bench.csv"
    ratio "BM_DecodeToChunks/0/real_time" "BM_PlainBufferedWrite/real_time" <"$dir/qvr_bench.csv"
    ratio "BM_DecodeToChunks/1/real_time" "BM_PlainBufferedWrite/real_time" <"$dir/qvr_bench.csv"
    awk -F, '$1 ~ /DecodeToChunks\/0/ { printf "  %.1f M items/s nobody watching; ", $11 / 1e6 }
             $1 ~ /DecodeToChunks\/1/ { printf "%.1f M items/s with a live ring\n", $11 / 1e6 }
             $1 ~ /DecodeInMemory/ { printf "  the decoder alone, nothing written: %.1f M items/s\n", $11 / 1e6 }' "$dir/qvr_bench.csv"
fi
if [ -x "$bench/export_search_bench" ]; then
    echo "bench/export_search_bench (the CSV export of the capture above):"
    QVORT_BENCH_CAPTURE="$index" QVORT_BENCH_OUT="$dir/bench" "$bench/export_search_bench" \
        --benchmark_filter='Csv|PlainWrite' --benchmark_format=csv 2>/dev/null >"$dir/export.csv"
    ratio "BM_CsvExport/iterations:1" "BM_PlainWriteOfCsvBytes/iterations:1" <"$dir/export.csv"
fi
exit 0
