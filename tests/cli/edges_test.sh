#!/usr/bin/env bash
# The command line's edges, as tables: ranges given to the second (the last
# second counted whole), every byte prefix of a trigger string stored under
# its own scope word and shown back the same, and defaults that come from the
# library's rules rather than from copies in qvtool.
set -euo pipefail
qvtool=$1
export QVORT_HOME=$(mktemp -d)
trap 'rm -rf "$QVORT_HOME"' EXIT
cd "$QVORT_HOME"
fail() { echo "FAIL: $*" >&2; exit 1; }

# About 30 records a second for 7 seconds from 24/11/06 12:00:00.
"$qvtool" gen-stream --protocol ASYNC --events 200 --seed 3 --baud 300 --date 241106 \
    --start 12:00:00 s.bin >/dev/null
mkdir caps
"$qvtool" decode s.bin --out caps >/dev/null 2>&1
cap=$(ls -d caps/*)
# Every record's time text, from the listing: the oracle for the ranges.
"$qvtool" list "$cap" --count 0 | tail -n +2 | cut -c1-30 >times.txt
[ "$(wc -l <times.txt)" -gt 150 ] || fail "the generated capture is too small"

# The records whose time lies in [from, to]: a time without its fraction is
# the whole second, from its first tick at the start to its last at the end.
# An ISO 8601 time in the record time form:
# 2024-11-06T12:00:01[.5] -> 24/11/06 12:00:01[ 500m000u000n]
record_form() {
    local t=$1
    if [[ $t =~ ^20([0-9]{2})-([0-9]{2})-([0-9]{2})T([0-9:]{8})(\.([0-9]{1,9}))?$ ]]; then
        local s="${BASH_REMATCH[1]}/${BASH_REMATCH[2]}/${BASH_REMATCH[3]} ${BASH_REMATCH[4]}"
        if [ -n "${BASH_REMATCH[6]}" ]; then
            local f="${BASH_REMATCH[6]}000000000"
            s="$s ${f:0:3}m${f:3:3}u${f:6:2}0n"
        fi
        t=$s
    fi
    echo "$t"
}

expected() {
    local from to
    from=$(record_form "$1")
    to=$(record_form "$2")
    # A reversed range is put in order first; then its later end, given to
    # the second, takes the whole second.
    if [[ "$to" < "$from" ]]; then local t=$from; from=$to; to=$t; fi
    [ ${#from} -eq 17 ] && from="$from 000m000u000n"
    [ ${#to} -eq 17 ] && to="$to 999m999u990n"
    awk -v a="$from" -v b="$to" '$0 >= a && $0 <= b' times.txt | wc -l
}

# from | to | exit status
n=0
while IFS='|' read -r from to status; do
    n=$((n + 1))
    set +e
    "$qvtool" save "$cap" --from "$from" --to "$to" --out "r$n" >/dev/null 2>err.txt
    rc=$?
    set -e
    [ "$rc" -eq "$status" ] || fail "save --from '$from' --to '$to' gave $rc, not $status: $(cat err.txt)"
    [ "$status" -eq 0 ] || continue
    got=$("$qvtool" info "r$n" | sed -n 's/^Records: *//p')
    want=$(expected "$from" "$to")
    [ "$got" = "$want" ] || fail "save --from '$from' --to '$to' took $got records, not $want"
done <<'EOF'
24/11/06 12:00:01|24/11/06 12:00:01|0
24/11/06 12:00:00|24/11/06 12:00:02|0
24/11/06 12:00:03|24/11/06 12:00:01|0
24/11/06 12:00:01 500m000u000n|24/11/06 12:00:02|0
24/11/06 12:00:02|24/11/06 12:00:02 500m000u000n|0
24/11/06 12:00:06|24/11/06 12:00:06|0
24/11/06 11:59:59|24/11/06 12:00:00|0
24/11/06 13:00:00|24/11/06 13:00:00|1
2024-11-06T12:00:01|2024-11-06T12:00:01|0
2024-11-06T12:00:01.5|24/11/06 12:00:02|0
24/11/06 12:00:00|2024-11-06T12:00:02.250000001|0
2024-11-06T12:00|24/11/06 12:00:01|2
2024-11-06 12:00:01|24/11/06 12:00:02|2
24/11/06 12:00|24/11/06 12:00:01|2
24/13/06 12:00:00|24/11/06 12:00:01|2
24/11/06 12:00:00 5m|24/11/06 12:00:01|2
EOF

# Trigger strings: what is typed | the scope words stored for positions 1.. |
# what settings show gives back.
while IFS='|' read -r key typed scopes shown; do
    "$qvtool" settings trigger 1 --string "$key=$typed" >/dev/null
    for ((i = 1; i <= 16; i++)); do
        word=$(awk -v k="${key}_Scope$i" -F= '$1 == k {print $2}' QvStatus.qvs | tr -d '\r')
        want=$(awk -v i=$i '{print (i <= NF) ? $i : "END"}' <<<"$scopes")
        [ "$word" = "$want" ] || fail "$key='$typed': scope $i is '$word', not '$want'"
    done
    back=$("$qvtool" settings show | awk -v k="$key" '$1 == k {$1 = ""; sub(/^ /, ""); print}')
    [ "$back" = "$shown" ] || fail "$key='$typed' is shown as '$back', not '$shown'"
done <<'EOF'
SDStr1|41 !42 >=30 <=39 **|NONE NOT OVER UNDER ALL|41 !42 >=30 <=39 **
SDStr4|>=00 <=ff|OVER UNDER|>=00 <=FF
RDStr1|**  !0a|ALL NOT|** !0A
RDStr4|<=7F >=7f 7F !7F ** 7f|UNDER OVER NONE NOT ALL NONE|<=7F >=7F 7F !7F ** 7F
SDStr2|00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e >=0f|NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE NONE OVER|00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E >=0F
RDStr3||END|
EOF
grep -q '^SDStr1=41 42 30 39 00 00 00 00 00 00 00 00 00 00 00 00' QvStatus.qvs ||
    fail "the bytes of SDStr1: $(grep '^SDStr1=' QvStatus.qvs)"

# Refused patterns change nothing.
before=$(md5sum <QvStatus.qvs)
for bad in '=>30' '>=3' '!!41' '<41' '**41' '4' '41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 51'; do
    set +e
    "$qvtool" settings trigger 1 --string "SDStr1=$bad" >/dev/null 2>err.txt
    rc=$?
    set -e
    [ "$rc" -eq 2 ] || fail "pattern '$bad' gave status $rc"
done
[ "$(md5sum <QvStatus.qvs)" = "$before" ] || fail "a refused pattern changed the status file"

# The message gap qvtool uses without --gap is the library's rule: 3.5
# character times (Modbus RTU), the same as asking for it.
cmp <("$qvtool" stats "$cap") <("$qvtool" stats "$cap" --gap 3.5) ||
    fail "stats without --gap differs from --gap 3.5"
"$qvtool" stats "$cap" | grep -q '^Messages end: after 3.50 idle characters' ||
    fail "the default gap: $("$qvtool" stats "$cap" | grep '^Messages end')"
echo ok
