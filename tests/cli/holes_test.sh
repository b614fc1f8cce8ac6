#!/usr/bin/env bash
# Captures with holes and strange things in them, seen from the command
# line: every walk ends whatever chunks are missing, a link in a chunk's
# place is never followed, an empty capture lists nothing.
set -euo pipefail
qvtool=$1
work=$(mktemp -d)
mnt=""
cleanup() {
    [ -n "$mnt" ] && umount "$mnt" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
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
# A folder with an index alone (a copy killed before its first chunk):
# recover says there is nothing in it to recover, as a failure, and every
# reading command says what the folder is, in the same words.
mkdir -p lone/20240101120000
awk '/^\[/ { s = $0 } !(s ~ /^\[DataFile\]/ && /^[0-9]+=/)' "$index" \
    >lone/20240101120000/20240101120000.qvr
lone=lone/20240101120000
while IFS= read -r args; do
    set +e
    eval "QVORT_LANG=en \"$qvtool\" $args" >out.txt 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] && grep -q 'holds no data file (.qvd) and its index lists none' err.txt &&
        grep -q 'recovery cannot make any' err.txt ||
        fail "qvtool $args on an index alone ($rc): $(cat out.txt err.txt)"
done <<LIST
recover $lone
info $lone
list $lone/20240101120000.qvr
marks $lone
stats $lone
search $lone --sd 41
save $lone --out lonecopy
print $lone --out lone.txt
LIST

# Temporary copies a killed program left (named after its process) go when
# the same kind of work runs next; a live process's copy stays.
dead=$(sh -c 'echo $$')
printf x >"$QVORT_HOME/.qvtmp.$dead.0.1f"
printf x >"$QVORT_HOME/.qvtmp.$$.0.1f"
printf x >"out.pcapng.part$dead"
"$qvtool" settings set SD_Baudrate=9600 >/dev/null
"$qvtool" save "$cap" --pcapng out.pcapng >/dev/null 2>&1 || true
[ ! -e "$QVORT_HOME/.qvtmp.$dead.0.1f" ] || fail "a dead writer's copy stayed"
[ -e "$QVORT_HOME/.qvtmp.$$.0.1f" ] || fail "a live writer's copy was removed"
[ ! -e "out.pcapng.part$dead" ] || fail "a killed export's part file stayed"

# A decode onto a disk with a little room left: it fails, and what it leaves
# is either a capture whose index reads, lists what its files hold and says
# the chunks stdout said, or one the message says to recover (and recover
# then makes readable).
mnt=$work/small
mkdir "$mnt"
if mount -t tmpfs -o size=2m tmpfs "$mnt" 2>/dev/null; then
    for free_kb in 60 80 100 140; do
        avail=$(df -k --output=avail "$mnt" | tail -n 1)
        dd if=/dev/zero of="$mnt/filler" bs=1k count=$((avail - free_kb)) status=none 2>/dev/null || true
        set +e
        out=$("$qvtool" decode s.bin --out "$mnt/caps" 2>err.txt); rc=$?
        set -e
        [ "$rc" -eq 1 ] || fail "a decode with $free_kb KB free gave status $rc"
        index=$(head -n 1 <<<"$out")
        if "$qvtool" info "$index" >info.txt 2>/dev/null; then
            said=$(sed -n 's/^chunks \([0-9]*\),.*/\1/p' <<<"$out")
            listed=$(grep -c '^[0-9][0-9]*=' <(tr -d '\r' <"$index" | sed -n '/^\[DataFile\]/,/^\[/p') || true)
            [ "$said" = "$listed" ] || fail "decode said chunks $said, the index lists $listed"
        else
            grep -q 'qvtool recover' err.txt || fail "an unreadable capture without advice: $(cat err.txt)"
            "$qvtool" recover "$(dirname "$index")" >/dev/null || fail "recover after a full disk"
        fi
        framenum=$(tr -d '\r' <"$index" | sed -n 's/^FrameNum=//p')
        held=$(($("$qvtool" list "$index" --count 0 --format csv | wc -l) - 1))
        [ "$framenum" -eq "$held" ] || fail "with $free_kb KB free: FrameNum $framenum, $held listed"
        rm -rf "$mnt/caps" "$mnt/filler"
    done
    umount "$mnt"
else
    echo "SKIP: cannot mount a small tmpfs here (decode onto a full disk not tested)"
fi
mnt=""

echo ok
