#!/usr/bin/env bash
# Records what qvtool prints and writes for one generated stream of each
# protocol (ASYNC, SYNC, HDLC, LOGIC), so that a change meant to keep every
# output and every byte the same can be checked:
#   scripts/compare-outputs.sh OUT_FOLDER [QVTOOL]      record into OUT_FOLDER
#   diff -r BEFORE_FOLDER AFTER_FOLDER                   compare two records
# The decoded capture folder is named after the local time, so its files are
# copied under a fixed name; the index's own lines are kept byte for byte.
set -euo pipefail
out=$1
qvtool=${2:-$(dirname "$0")/../build/src/cli/qvtool}
qvtool=$(realpath "$qvtool")
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QVORT_HOME="$work/home"
export TZ=UTC
for p in ASYNC SYNC HDLC LOGIC; do
  d="$out/$p"
  mkdir -p "$d/capture" "$d/saved" "$d/csv"
  "$qvtool" gen-stream "$work/$p.bin" --protocol "$p" --events 120000 --seed 7 \
      --date 091205 --start 23:59:50 --notice 2>&1 | sed "s#$work#WORK#g" > "$d/gen.txt"
  cp "$work/$p.bin" "$d/stream.bin"
  rm -rf "$work/cap"
  mkdir -p "$work/cap"
  "$qvtool" decode "$work/$p.bin" --out "$work/cap" --protocol "$p" 2>&1 \
      | sed "s#$work/cap/[0-9]\{14\}#CAPTURE#g; s#[0-9]\{14\}\.qvr#NAME.qvr#g" > "$d/decode.txt"
  folder=$(ls -d "$work"/cap/*/ | head -1)
  index=$(ls "$folder"*.qvr)
  # The folder's own name appears in nothing but the names; the index is
  # copied under a fixed name.
  for f in "$folder"*; do
    base=$(basename "$f")
    case "$base" in *.qvr) base=index.qvr ;; esac
    cp "$f" "$d/capture/$base"
  done
  "$qvtool" info "$index" 2>&1 | sed "s#$work/cap/[0-9]\{14\}#CAPTURE#g; s#[0-9]\{14\}\.qvr#NAME.qvr#g" > "$d/info.txt"
  "$qvtool" list "$index" 2>&1 > "$d/list.txt"
  # A usage message names the program by its path, which differs between builds.
  "$qvtool" list "$index" --from-mark 1 --to-mark 2 2>&1 | sed "s#$qvtool#QVTOOL#g" > "$d/list-marks.txt" || true
  "$qvtool" save "$index" --out "$work/saved-$p" --csv > "$d/save-csv.txt" 2>&1 || true
  "$qvtool" save "$index" --out "$work/savedq-$p" > "$d/save.txt" 2>&1 || true
  for f in $(find "$work/saved-$p" -type f 2>/dev/null | sort); do cp "$f" "$d/csv/$(basename "$f")"; done
  for f in $(find "$work/savedq-$p" -type f 2>/dev/null | sort); do
    base=$(basename "$f"); case "$base" in *.qvr) base=index.qvr ;; esac
    cp "$f" "$d/saved/$base"
  done
  sed -i "s#$work#WORK#g; s#[0-9]\{14\}#STAMP#g" "$d/save-csv.txt" "$d/save.txt"
  "$qvtool" print "$index" --out "$d/print.txt" > "$d/print-out.txt" 2>&1 || true
  for code in ASCII EBCDIC SJIS; do
    "$qvtool" print "$index" --code "$code" --out "$d/print-$code.txt" >/dev/null 2>&1 || true
  done
  # The structured info, the traffic commands and the pcapng export. The
  # pcapng file names the capture by its path: the temporary folder and the
  # time-stamped index name are replaced by texts of the same length, so
  # that the blocks keep their lengths.
  fix() { sed "s#$work/cap/[0-9]\{14\}#CAPTURE#g; s#[0-9]\{14\}\.qvr#NAME.qvr#g; s#$qvtool#QVTOOL#g; s#$work#WORK#g"; }
  for f in json csv; do
    "$qvtool" info "$index" --format "$f" 2>&1 | fix > "$d/info-$f.txt" || true
  done
  for f in text json csv; do
    "$qvtool" messages "$index" --format "$f" 2>&1 | fix > "$d/messages-$f.txt" || true
    "$qvtool" stats "$index" --format "$f" 2>&1 | fix > "$d/stats-$f.txt" || true
  done
  if "$qvtool" save "$index" --pcapng "$work/p.pcapng" > "$d/save-pcapng.txt" 2>&1; then
    LC_ALL=C sed "s#$work#$(echo "$work" | tr -c '/\n' 'W')#g; s#[0-9]\{14\}#SSSSSSSSSSSSSS#g" \
        "$work/p.pcapng" > "$d/capture.pcapng"
  fi
  fix < "$d/save-pcapng.txt" > "$d/save-pcapng.fixed" && mv "$d/save-pcapng.fixed" "$d/save-pcapng.txt"
  # A decoded stream carries default trigger times taken from the clock at
  # decode time (to the minute); they say nothing about the code under test.
  for f in "$d/capture/index.qvr" "$d/saved/index.qvr"; do
    [ -f "$f" ] && sed -i 's/^\(Time[1-4]\)=[0-9]\{12\}\r\?$/\1=DECODE-TIME/' "$f"
  done
  rm -f "$work/$p.bin" "$work/p.pcapng"
  rm -rf "$work/saved-$p" "$work/savedq-$p"
done
echo "outputs recorded in $out"
