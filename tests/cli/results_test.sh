#!/usr/bin/env bash
# qvtool gives the right result or says why, with a non-zero status: a
# search stops at a chunk it cannot read, a chunk table ends at a malformed
# entry, output lost to a full disk fails, an export never mixes with an
# earlier one, paths are told apart, a reversed range is still the range.
set -euo pipefail
qvtool=$1
export QVORT_HOME=$(mktemp -d)
trap 'rm -rf "$QVORT_HOME"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$QVORT_HOME"
export QVORT_LANG=en

"$qvtool" gen-stream --protocol ASYNC --events 120000 --seed 5 s.bin >/dev/null
mkdir caps
"$qvtool" decode s.bin --out caps >/dev/null 2>&1
cap=$(ls -d caps/*)
[ "$("$qvtool" info "$cap" | sed -n 's/^Chunks: *//p')" = 3 ] || fail "the capture is not three chunks"

# The rate of a generated stream reaches the capture decoded from it.
info=$("$qvtool" info "$cap")
grep -q '^Rates: *SD 115,200 bit/s, RD 115,200 bit/s' <<<"$info" || fail "rate: $info"
# A capture folder keeps no lock file once nothing holds it.
"$qvtool" mark "$cap" 1 --frame 10 >/dev/null
[ -z "$(ls -A "$cap" | grep '^\.' || true)" ] || fail "hidden files stay: $(ls -A "$cap")"

# A string search stops at a missing chunk as the error search does.
cp -r "$cap" hole
rm hole/000000002.qvd
for cond in '--sd 0a' '--error parity'; do
    set +e
    "$qvtool" search hole $cond --frame 49999 >out.txt 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] || fail "search $cond over a missing chunk gave status $rc: $(cat out.txt)"
    grep -q 'A data file (.qvd) is missing or cannot be opened' err.txt || fail "search $cond: $(cat err.txt)"
done

# A chunk entry cut to 14 commas ends the chunk table there, and is said.
cp -r "$cap" cut
sed -i 's/^\(2=.*\),[0-9]*\(\r\?\)$/\1\2/' cut/*.qvr
[ "$("$qvtool" info cut 2>err.txt | sed -n 's/^Records: *//p')" = 50000 ] || fail "records of a cut table"
grep -q 'chunk entry 2 is malformed' err.txt || fail "info said nothing of the entry: $(cat err.txt)"
set +e
"$qvtool" list cut --frame 49999 >out.txt 2>err.txt; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "a listing into a malformed entry gave status $rc"
[ "$(wc -l <out.txt)" -eq 3 ] || fail "a listing past the cut: $(cat out.txt)"
grep -q '00/00/00' out.txt && fail "records without a chunk date were listed"

# Output that cannot be written is a failure of every command that writes it.
if [ -w /dev/full ]; then
    for cmd in "list $cap --count 0 --format json" "info $cap" "info $cap --format json" \
               "messages $cap" "stats $cap" "search $cap --sd 30 --all" "units" "config"; do
        set +e
        $qvtool $cmd >/dev/full 2>err.txt; rc=$?
        set -e
        [ "$rc" -eq 1 ] || fail "$cmd onto a full disk gave status $rc"
        grep -q 'cannot write to standard output' err.txt || fail "$cmd: $(cat err.txt)"
    done
fi

# A CSV export into a folder that holds one is refused, or replaced whole.
"$qvtool" save "$cap" --csv --out csv >/dev/null
[ -e csv/3.csv ] || fail "the whole capture gave no third CSV file"
set +e
"$qvtool" save "$cap" --csv --out csv --from "24/01/01 10:00:01" --to "24/01/01 10:00:02" \
    2>err.txt; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "an export over another gave status $rc"
grep -q -- '--overwrite' err.txt || fail "no way out named: $(cat err.txt)"
"$qvtool" save "$cap" --csv --out csv --from "24/01/01 10:00:01" --to "24/01/01 10:00:02" \
    --overwrite >/dev/null
[ "$(ls csv)" = "1.csv" ] || fail "files of the earlier export stayed: $(ls csv)"
set +e
"$qvtool" save "$cap" --csv --out - >/dev/null 2>&1; rc=$?
set -e
[ "$rc" -eq 2 ] && [ ! -e ./- ] || fail "--out - gave status $rc or a folder named -"

# A reversed range is the same range, its later end widened to its second.
rows=$(( $(wc -l < csv/1.csv) - 1 ))
"$qvtool" save "$cap" --csv --out rev --from "24/01/01 10:00:02" --to "24/01/01 10:00:01" >/dev/null
[ "$(( $(wc -l < rev/1.csv) - 1 ))" -eq "$rows" ] || fail "a reversed range gave other rows"

# Paths: what is missing is said to be missing; a renamed capture folder is
# still a capture.
for p in nosuchdir /nonexistent.qvr; do
    set +e
    "$qvtool" list "$p" 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] && grep -q 'No such file' err.txt || fail "$p: $rc $(cat err.txt)"
done
: >empty.qvr
set +e
"$qvtool" list empty.qvr 2>err.txt
set -e
# An empty index next to no chunk file: what a copy killed at its start leaves.
grep -q 'holds no data file' err.txt || fail "empty index: $(cat err.txt)"
mv "$cap" renamed
"$qvtool" list renamed --count 1 >/dev/null || fail "a renamed capture folder was refused"
echo OK
