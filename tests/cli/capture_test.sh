#!/usr/bin/env bash
# A capture made from a generated stream, read back with info and list, for
# every protocol: every record decoded is listed, once, in order.
set -euo pipefail
qvtool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QVORT_HOME="$work/home"
fail() { echo "FAIL: $*" >&2; exit 1; }

for proto in ASYNC SYNC HDLC LOGIC; do
    mkdir -p "$work/$proto"
    "$qvtool" gen-stream "$work/$proto.bin" --protocol "$proto" --events 3000 --seed 5 >/dev/null
    out=$("$qvtool" decode "$work/$proto.bin" --protocol "$proto" --out "$work/$proto")
    index=$(head -n 1 <<<"$out")
    [ "$proto" = ASYNC ] && async_index=$index
    records=$(sed -n 's/^records \([0-9]*\).*/\1/p' <<<"$out")
    [ -n "$records" ] && [ "$records" -gt 0 ] || fail "$proto: no records decoded"

    info=$("$qvtool" info "$(dirname "$index")")
    grep -q "^Protocol:    $proto\$" <<<"$info" || fail "$proto: info protocol"
    grep -q "^Records:     $records\$" <<<"$info" || fail "$proto: info total"

    listed=$("$qvtool" list "$index" --count 0 | tail -n +2 | wc -l)
    [ "$listed" -eq "$records" ] || fail "$proto: listed $listed of $records"
    # TR runs 1..N without a gap.
    "$qvtool" list "$index" --count 0 | tail -n +2 | awk -v n="$records" '
        { tr = substr($0, 32, 10) + 0; if (tr != NR) { print "gap at " NR; exit 1 } }
        END { if (NR != n) exit 1 }' || fail "$proto: TR column"
    last=$("$qvtool" list "$index" --frame "$records" --count 5 | tail -n +2 | wc -l)
    [ "$last" -eq 1 ] || fail "$proto: listing from the last record"
done

# A stream of several read blocks through a pipe, in pieces of odd sizes,
# leaves the capture the file leaves: every chunk byte, every listed record.
"$qvtool" gen-stream "$work/big.bin" --events 2500000 --seed 9 >/dev/null
mkdir -p "$work/from-file" "$work/from-pipe"
from_file=$("$qvtool" decode "$work/big.bin" --out "$work/from-file")
from_pipe=$(dd if="$work/big.bin" bs=12347 status=none | "$qvtool" decode - --out "$work/from-pipe")
[ "$(tail -n +2 <<<"$from_file")" = "$(tail -n +2 <<<"$from_pipe")" ] ||
    fail "decode from a pipe reported otherwise: $from_pipe"
file_dir=$(dirname "$(head -n 1 <<<"$from_file")") pipe_dir=$(dirname "$(head -n 1 <<<"$from_pipe")")
chunks=0
for f in "$file_dir"/*.qvd; do
    cmp -s "$f" "$pipe_dir/$(basename "$f")" || fail "chunk $(basename "$f") differs when piped"
    chunks=$((chunks + 1))
done
[ "$chunks" -gt 20 ] || fail "only $chunks chunks from the large stream"
cmp -s <("$qvtool" list "$(head -n 1 <<<"$from_file")" --count 0 | tail -n +2) \
       <("$qvtool" list "$(head -n 1 <<<"$from_pipe")" --count 0 | tail -n +2) ||
    fail "the piped capture lists other records"

set +e
"$qvtool" list "$async_index" --frame 999999999 >/dev/null 2>&1; rc=$?
[ "$rc" -eq 2 ] || fail "a record beyond the capture gave status $rc"
"$qvtool" info "$work/nothing" >/dev/null 2>&1; rc=$?
[ "$rc" -eq 1 ] || fail "a missing capture gave status $rc"
"$qvtool" list "$async_index" --code KLINGON >/dev/null 2>&1; rc=$?
[ "$rc" -eq 2 ] || fail "a bad code gave status $rc"
# A folder given as the stream is refused before any capture is made.
"$qvtool" decode "$work/ASYNC" --out "$work/from-folder" >/dev/null 2>&1; rc=$?
[ "$rc" -eq 1 ] || fail "decoding a folder gave status $rc"
[ -z "$(ls -A "$work/from-folder" 2>/dev/null)" ] || fail "decoding a folder left a capture"
echo ok
