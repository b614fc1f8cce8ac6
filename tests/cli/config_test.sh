#!/usr/bin/env bash
# qvtool config as a user runs it: values shown, changed, and bad input
# refused with status 2 and nothing changed.
set -euo pipefail
qvtool=$1
export QVORT_HOME=$(mktemp -d)
mnt=""
cleanup() {
    [ -n "$mnt" ] && umount "$mnt" 2>/dev/null
    rm -rf "$QVORT_HOME"
}
trap cleanup EXIT
cd "$QVORT_HOME"  # err.txt below is this test's own
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$("$qvtool" config)
grep -q '^FrameMax    100000000$' <<<"$out" || fail "default FrameMax not shown: $out"
grep -q '^Frequency=1000000' "$QVORT_HOME/settings.ini" || fail "defaults not written"

"$qvtool" config set FrameMax 2000000 >/dev/null
"$qvtool" config set mcr '#102030' >/dev/null
"$qvtool" config set FrameNums 5 >/dev/null
mkdir "$QVORT_HOME/caps"
"$qvtool" config set Directory "$QVORT_HOME/caps" >/dev/null
out=$("$qvtool" config)
grep -q '^FrameMax    2000000$' <<<"$out" || fail "FrameMax not changed"
grep -q '^mcr         3153936 (#102030)$' <<<"$out" || fail "colour not changed: $out"
grep -q 'Line window frame count 500' <<<"$out" || fail "FrameNums not changed"
grep -q "^Directory   $QVORT_HOME/caps\$" <<<"$out" || fail "Directory not changed"

# The save device has one home, the status file a run starts from: what
# config sets is what settings show (and a run) reads, and config lists it.
"$qvtool" config set SaveDevice CF >/dev/null
grep -q 'save device CF' <<<"$("$qvtool" settings show)" || fail "config set SaveDevice not seen by settings"
grep -q '^SaveDevice  CF (in .*QvStatus.qvs)$' <<<"$("$qvtool" config)" || fail "config does not list SaveDevice"
"$qvtool" settings set SaveDevice=PC >/dev/null
grep -q '^SaveDevice  PC ' <<<"$("$qvtool" config)" || fail "config does not show the settings' SaveDevice"
if grep -q SaveDevice "$QVORT_HOME/settings.ini"; then fail "SaveDevice kept in the settings store too"; fi

before=$(cat "$QVORT_HOME/settings.ini" "$QVORT_HOME/QV-ORT.conf" "$QVORT_HOME/QvStatus.qvs" | md5sum)
for args in "FrameMax 0" "FrameMax -5" "FrameMax 1e9" "Frequency abc" "Frequency 1,0,0" "Frequency 0x10" "Frequency 1e6" "SaveDevice 2" \
            "mcs #GG0000" "mcs 16777216" "FrameNums 101" "Directory /no/such/folder" "Nope 1"; do
    set +e
    # shellcheck disable=SC2086
    "$qvtool" config set $args >/dev/null 2>err.txt
    rc=$?
    set -e
    [ "$rc" -eq 2 ] || fail "config set $args gave status $rc"
    [ -s err.txt ] || fail "config set $args gave no message"
done
rm -f err.txt
after=$(cat "$QVORT_HOME/settings.ini" "$QVORT_HOME/QV-ORT.conf" "$QVORT_HOME/QvStatus.qvs" | md5sum)
[ "$before" = "$after" ] || fail "a refused value changed a file"

# A value that cannot be written (full disk) gives the system's reason
# itself: the log it would point to sits on the same full disk.
mnt=$(mktemp -d)
if mount -t tmpfs -o size=1m tmpfs "$mnt" 2>/dev/null; then
    QVORT_HOME="$mnt" "$qvtool" config >/dev/null
    dd if=/dev/zero of="$mnt/ballast" bs=4k 2>/dev/null || true
    for args in "FrameNums 7" "FrameMax 3000000" "SaveDevice PC" "mcr #203040"; do
        set +e
        # shellcheck disable=SC2086
        QVORT_HOME="$mnt" QVORT_LANG=en "$qvtool" config set $args >/dev/null 2>err.txt
        rc=$?
        set -e
        [ "$rc" -eq 1 ] && grep -q 'No space left on device' err.txt &&
            ! grep -q 'see the log' err.txt || fail "config set $args on a full disk ($rc): $(cat err.txt)"
    done
    umount "$mnt"
else
    echo "SKIP: cannot mount a small tmpfs here (full-disk config set not tested)"
fi
rmdir "$mnt"
mnt=""

"$qvtool" --version | grep -q '^qvtool ' || fail "--version"
"$qvtool" config --help | grep -q 'set' || fail "config --help"
echo "ok"
