#!/usr/bin/env bash
# Makes a large ASYNC capture for the benchmarks with qvtool itself:
#   bench/make_capture.sh FOLDER RECORDS [QVTOOL]
# prints the index path of the capture it made under FOLDER.
set -euo pipefail
folder=$1
records=$2
qvtool=${3:-$(dirname "$0")/../build/src/cli/qvtool}
mkdir -p "$folder"
stream="$folder/stream.bin"
export QVORT_HOME="$folder/home"
"$qvtool" gen-stream "$stream" --protocol ASYNC --events "$records" --seed 1 --baud 115200 >&2
"$qvtool" decode "$stream" --out "$folder" | head -n 1
rm -f "$stream"
