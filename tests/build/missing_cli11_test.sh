#!/usr/bin/env bash
# A machine without CLI11 is told so when the build is configured, not by a
# compiler that cannot find <CLI/CLI.hpp> halfway through the build.
set -euo pipefail
source_dir=$1
cli11_dir=$2  # the folder of CLI11Config.cmake, hidden from this configure
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
set +e
cmake -S "$source_dir" -B "$tree" -DCMAKE_IGNORE_PATH="$cli11_dir" -DBUILD_TESTING=OFF \
    -DQVORT_BUILD_GUI=OFF -DQVORT_BUILD_BENCH=OFF >"$tree/out.txt" 2>&1
rc=$?
set -e
[ $rc -ne 0 ] || { echo "FAIL: configured without CLI11" >&2; exit 1; }
grep -q CLI11 "$tree/out.txt" || { echo "FAIL: the error does not name CLI11:" >&2; cat "$tree/out.txt" >&2; exit 1; }
echo "configure without CLI11: refused"
