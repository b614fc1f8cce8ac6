#!/usr/bin/env bash
# Nothing written is lost, seen from the command line: a missing chunk file
# is a failure that names it, a save never writes over its own source or
# another capture, a full disk leaves a copy whose index counts only what its
# files hold, and settings refuse what they cannot keep as given.
set -euo pipefail
qvtool=$1
export QVORT_HOME=$(mktemp -d)
mnt=""
cleanup() {
    [ -n "$mnt" ] && umount "$mnt" 2>/dev/null
    rm -rf "$QVORT_HOME"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$QVORT_HOME"

# A capture of three chunk files.
"$qvtool" gen-stream --protocol ASYNC --events 130000 --seed 3 s.bin >/dev/null
mkdir caps
out=$("$qvtool" decode s.bin --out caps 2>/dev/null)
cap=$(dirname "$(head -n 1 <<<"$out")")
total=$(sed -n 's/^records \([0-9]*\).*/\1/p' <<<"$out")
[ "$(ls "$cap"/*.qvd | wc -l)" -ge 3 ] || fail "the test capture needs three chunks: $out"

# Saving into the capture's own folder, by any spelling of it, is refused and
# leaves the capture as it was.
before=$(md5sum "$cap"/* | md5sum)
for out_dir in "$cap" "$cap/" "$cap/../$(basename "$cap")"; do
    set +e
    "$qvtool" save "$cap" --out "$out_dir" 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 2 ] || fail "save into the source folder ($out_dir) gave status $rc"
    grep -q 'folder of the capture being saved' err.txt || fail "no message: $(cat err.txt)"
done
ln -s "$cap" link
set +e
"$qvtool" save "$cap" --out link 2>/dev/null; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "save through a link to the source folder gave status $rc"
[ "$(md5sum "$cap"/* | md5sum)" = "$before" ] || fail "the source capture changed"

# A folder that holds a capture is replaced only when asked to, and then
# without stale chunk files.
"$qvtool" save "$cap" --out copy >/dev/null
set +e
"$qvtool" save "$cap" --out copy 2>err.txt; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "save over a capture gave status $rc"
grep -q -- '--overwrite' err.txt || fail "no hint: $(cat err.txt)"
at() { "$qvtool" list "$cap" --frame "$1" --count 1 | tail -n 1 | cut -c1-30; }
"$qvtool" save "$cap" --out copy --overwrite --from "$(at 1)" --to "$(at 10)" >/dev/null
[ "$(ls copy/*.qvd | wc -l)" -eq 1 ] || fail "stale chunks after --overwrite: $(ls copy)"
"$qvtool" info copy >info.txt
grep -q '^Records:     10$' info.txt || fail "the replacing copy: $(cat info.txt)"

# A last chunk without a record (what a run stopped right after a chunk
# switch left): exports and positioning by time pass over it.
mkdir empty
cp -r "$cap" empty/
ecap=empty/$(basename "$cap")
head -c 8 "$cap/000000003.qvd" >"$ecap/000000004.qvd"
# Entry 4 of [DataFile]: the date and start time of entry 3, no records.
awk -F, '{ print } /^\[/ { s = $0 } s ~ /^\[DataFile\]/ && /^3=/ {
        sub(/^3=/, "4=", $1); printf "%s,%s,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n", $1, $2 }' \
    "$ecap/$(basename "$cap").qvr" >idx.tmp
mv idx.tmp "$ecap/$(basename "$cap").qvr"
"$qvtool" save "$cap" --out csv-whole --csv >/dev/null
"$qvtool" save "$ecap" --out csv-empty --csv >/dev/null 2>err.txt ||
    fail "CSV export over an empty last chunk: $(cat err.txt)"
diff -r csv-whole csv-empty >/dev/null || fail "the CSV export differs with an empty last chunk"
last=$("$qvtool" list "$cap" --frame "$total" --count 1 | tail -n 1 | cut -c1-30)
"$qvtool" list "$ecap" --time "$last" --count 1 >list.txt 2>err.txt ||
    fail "list --time over an empty last chunk: $(cat err.txt)"
[ "$(tail -n 1 list.txt | cut -c1-30)" = "$last" ] || fail "list --time found $(tail -n 1 list.txt)"
rm -rf empty csv-whole csv-empty

# A missing chunk: every reader of the whole capture fails and names it.
mv "$cap/000000002.qvd" missing.qvd
for cmd in "save $cap --out csv --csv" "save $cap --out whole" "print $cap --out p.txt"; do
    set +e
    "$qvtool" $cmd >/dev/null 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] || fail "$cmd over a missing chunk gave status $rc"
    grep -q '000000002.qvd' err.txt || fail "$cmd did not name the file: $(cat err.txt)"
done
set +e
"$qvtool" list "$cap" --count 0 >list.txt 2>err.txt; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "list over a missing chunk gave status $rc"
grep -q '000000002.qvd.*records 50001 to 100000 are missing' err.txt ||
    fail "list did not say where the gap is: $(cat err.txt)"
[ "$(($(wc -l <list.txt) - 1))" -eq "$((total - 50000))" ] ||
    fail "list did not go on after the gap: $(wc -l <list.txt) lines"
"$qvtool" info "$cap" >info.txt
grep -q '^Missing:.*000000002.qvd' info.txt || fail "info does not show the gap"
mv missing.qvd "$cap/000000002.qvd"

# A full disk during a save: the save fails and takes back what it wrote,
# whether the disk filled before its first chunk or midway, so the same
# command succeeds once there is room again.
mnt=$(mktemp -d)
if mount -t tmpfs -o size=4m tmpfs "$mnt" 2>/dev/null; then
    for free in 8 64 400; do
        dd if=/dev/zero of="$mnt/ballast" bs=64k 2>/dev/null || true
        truncate -s "-${free}k" "$mnt/ballast"
        set +e
        "$qvtool" save "$cap" --out "$mnt/full" >/dev/null 2>err.txt; rc=$?
        set -e
        [ "$rc" -eq 1 ] || fail "a save onto a full disk ($free KiB free) gave status $rc"
        grep -q 'nothing was saved' err.txt || fail "$free KiB free: $(cat err.txt)"
        [ ! -e "$mnt/full" ] || fail "a failed save left $(ls -R "$mnt/full")"
        rm "$mnt/ballast"
        "$qvtool" save "$cap" --out "$mnt/full" >/dev/null || fail "the retry with room failed"
        rm -rf "$mnt/full"
    done
    # With an empty folder given, the folder stays and only the copy goes.
    mkdir "$mnt/given"
    dd if=/dev/zero of="$mnt/ballast" bs=64k 2>/dev/null || true
    truncate -s -400k "$mnt/ballast"
    set +e
    "$qvtool" save "$cap" --out "$mnt/given" >/dev/null 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] && [ -d "$mnt/given" ] && [ -z "$(ls -A "$mnt/given")" ] ||
        fail "a failed save into a given folder ($rc): $(ls -A "$mnt/given")"
    rm -rf "$mnt/given" "$mnt/ballast"
    mount -o remount,size=256k "$mnt"
    # A listing that fills the disk names the file and the system's reason,
    # not an unreachable printer, and leaves no cut listing behind; so does
    # one whose standard output takes nothing.
    dd if=/dev/zero of="$mnt/ballast" bs=4k 2>/dev/null || true
    set +e
    QVORT_LANG=en "$qvtool" print "$cap" --out "$mnt/listing.txt" >/dev/null 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] && grep -q "Cannot write the output file $mnt/listing.txt: No space left on device" err.txt &&
        ! grep -q 'printer' err.txt || fail "print onto a full disk ($rc): $(cat err.txt)"
    [ ! -e "$mnt/listing.txt" ] || fail "a failed print left its cut listing"
    rm "$mnt/ballast"
    set +e
    QVORT_LANG=en "$qvtool" print "$cap" >/dev/full 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] && grep -q 'No space left on device' err.txt || fail "print to /dev/full ($rc): $(cat err.txt)"
    # A CSV export that fills the disk fails; its files end on whole rows, and
    # the rows it says stay are the rows they hold.
    set +e
    "$qvtool" save "$cap" --out "$mnt/csv" --csv >/dev/null 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 1 ] || fail "a CSV export onto a full disk gave status $rc"
    said=$(sed -n 's/.*failed after \([0-9]*\) records.*/\1/p' err.txt)
    held=0
    for f in "$mnt"/csv/*.csv; do
        [ "$(tail -c 2 "$f" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "$f does not end on a whole row"
        held=$((held + $(wc -l <"$f") - 1))
    done
    [ -n "$said" ] && [ "$said" -eq "$held" ] ||
        fail "the CSV export says $said rows stay, its files hold $held"
    rm -rf "$mnt/csv"
    # A decode that fills the disk fails, and what reached it stays readable.
    set +e
    out=$("$qvtool" decode s.bin --out "$mnt" 2>err.txt); rc=$?
    set -e
    [ "$rc" -eq 1 ] || fail "a decode onto a full disk gave status $rc"
    index=$(head -n 1 <<<"$out")
    framenum=$(tr -d '\r' <"$index" | sed -n 's/^FrameNum=//p')
    listed=$(($("$qvtool" list "$index" --count 0 | wc -l) - 1))
    [ "$framenum" -gt 0 ] && [ "$framenum" -eq "$listed" ] ||
        fail "the decoded capture claims $framenum records and holds $listed"
    umount "$mnt"
else
    echo "SKIP: cannot mount a small tmpfs here (full-disk save not tested)"
fi
rmdir "$mnt"
mnt=""

# Settings: an impossible date is refused and nothing changes; an RS-530
# line keeps the rates of a differential line.
"$qvtool" settings show >/dev/null
status=$(ls "$QVORT_HOME"/*.qvs | head -n 1)
before=$(md5sum <"$status")
set +e
"$qvtool" settings trigger 1 --time Time1="2030-02-30 00:00:00" 2>err.txt; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "an impossible date gave status $rc"
[ "$(md5sum <"$status")" = "$before" ] || fail "a refused date changed the status file"
"$qvtool" settings set SD_Baudrate=4000000 RD_Baudrate=4000000 Line=422/485 >/dev/null
"$qvtool" settings set Line=530 >/dev/null 2>err.txt
"$qvtool" settings show >show.txt
grep -q '4,000,000 bit/s.*4,000,000 bit/s' show.txt || fail "RS-530 lowered the rates: $(grep Rates show.txt)"
"$qvtool" settings set Line=232 >/dev/null 2>err.txt
grep -q 'lowered from 4,000,000 to 1,500,000' err.txt || fail "RS-232 lowered the rates silently"
echo ok
