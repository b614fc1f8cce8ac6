#!/usr/bin/env bash
# Captures with holes and strange things in them, seen from the command
# line: every walk ends whatever chunks are missing, a link in a chunk's
# place is never followed, an empty capture lists nothing.
set -euo pipefail
qvtool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QVORT_HOME="$work/home"
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# Six chunks; two missing in a row, then two apart: the listing ends, says
# each gap once and lists every record the other chunks hold.
"$qvtool" gen-stream --events 300000 --seed 4 s.bin >/dev/null
mkdir caps
out=$("$qvtool" decode s.bin --out caps)
index=$(head -n 1 <<<"$out")
cap=$(dirname "$index")
total=$(sed -n 's/^records \([0-9]*\).*/\1/p' <<<"$out")
[ "$(ls "$cap"/*.qvd | wc -l)" -ge 6 ] || fail "the test capture needs six chunks: $out"
for pair in "2 3" "3 4" "2 4" "4 5"; do
    set -- $pair
    a=$(printf '%09d.qvd' "$1")
    b=$(printf '%09d.qvd' "$2")
    mv "$cap/$a" "$cap/$b" .
    for args in "--count 0" "--count 0 --format json" "--count 0 --format csv" "--count 260000"; do
        set +e
        timeout 60 "$qvtool" list "$cap" $args >list.txt 2>err.txt; rc=$?
        set -e
        [ "$rc" -eq 1 ] || fail "list $args without $a and $b gave status $rc"
        [ "$(grep -c 'records [0-9]* to [0-9]* are missing' err.txt)" -eq 2 ] ||
            fail "list $args without $a and $b: $(head -c 600 err.txt)"
        grep -q "$a" err.txt && grep -q "$b" err.txt || fail "the gaps are not named: $(cat err.txt)"
    done
    "$qvtool" list "$cap" --count 0 --format csv >list.txt 2>/dev/null || true
    [ "$(($(wc -l <list.txt) - 1))" -eq "$((total - 100000))" ] ||
        fail "list without $a and $b listed $(wc -l <list.txt) lines of $total records"
    mv "$a" "$b" "$cap/"
done

# A link in a chunk's place, under a final name or a killed run's temporary
# one: nothing reads through it, recovery refuses it and the file it points
# to stays as it was.
printf 'ABCDEFGHIJKLM' >victim.bin
mkdir linked
cp -r "$cap" linked/
lcap=linked/$(basename "$cap")
mv "$lcap/000000006.qvd" six.qvd
ln -s "$work/victim.bin" "$lcap/t000000007.qvd"
set +e
"$qvtool" recover "$lcap" >out.txt 2>err.txt; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "recover through a link gave status $rc: $(cat out.txt err.txt)"
grep -q 't000000007.qvd' err.txt || fail "recover did not name the link: $(cat err.txt)"
[ "$(cat victim.bin)" = ABCDEFGHIJKLM ] || fail "recover changed the file behind a link"
[ -L "$lcap/t000000007.qvd" ] || fail "recover moved the link"
rm "$lcap/t000000007.qvd"
ln -s "$work/six.qvd" "$lcap/000000006.qvd"
set +e
"$qvtool" list "$lcap" --count 0 >/dev/null 2>err.txt; rc=$?
set -e
[ "$rc" -eq 1 ] && grep -q '000000006.qvd' err.txt || fail "list read a chunk through a link ($rc)"

# An empty stream makes a capture of no records: it lists none, in any form.
mkdir empty
out=$("$qvtool" decode - --out empty </dev/null)
eindex=$(head -n 1 <<<"$out")
"$qvtool" info "$eindex" | grep -q '^Records:     0$' || fail "info of an empty capture"
[ "$("$qvtool" list "$eindex" --format json | tr -d ' \n')" = "[]" ] ||
    fail "json of an empty capture: $("$qvtool" list "$eindex" --format json)"
[ "$("$qvtool" list "$eindex" --format csv | wc -l)" -eq 1 ] ||
    fail "csv of an empty capture: $("$qvtool" list "$eindex" --format csv)"
[ "$("$qvtool" list "$eindex" | wc -l)" -eq 1 ] || fail "text of an empty capture"
echo ok
