#!/usr/bin/env bash
# Values no command can act on are usage errors (status 2) that change
# nothing, never read as if the option had not been given.
set -euo pipefail
qvtool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QVORT_HOME="$work/home"
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

"$qvtool" gen-stream --events 2000 s.bin >/dev/null
mkdir caps
cap=$(dirname "$("$qvtool" decode s.bin --out caps | head -n 1)")
while IFS= read -r args; do
    set +e
    eval "timeout 60 \"$qvtool\" $args" >out.txt 2>err.txt; rc=$?
    set -e
    [ "$rc" -eq 2 ] || fail "qvtool $args gave status $rc: $(head -c 300 err.txt)"
    [ ! -s out.txt ] || fail "qvtool $args wrote: $(head -c 300 out.txt)"
done <<LIST
gen-stream x.bin --events -1
gen-stream x.bin --events 99999999999999
gen-stream x.bin --baud nan
gen-stream x.bin --baud inf
gen-stream x.bin --start abc
gen-stream x.bin --start 25:99:99
gen-stream x.bin --start 10:00:61
gen-stream x.bin --start +1:00:00
list $cap --time '24/01/01 10:00:61 000m000u000n'
list $cap --time '24/01/01 10:61:00 000m000u000n'
save $cap --from '24/01/01 10:00:61' --to '24/01/01 10:00:02' --out o
save $cap --from '24/01/01 10:00:00' --to '24/01/01 10:00:61 000m000u000n' --out o
print $cap --from '24/01/01 10:00:00' --to '24/01/01 10:00:61' --out o.pdf
stats $cap --from '24/01/01 10:00:00' --to '24/01/01 10:00:61'
messages $cap --from '24/01/01 10:00:61' --to '24/01/01 10:00:62'
settings trigger 1 --time 'Time1=2024-05-01 12:00:61'
clock --set '2030/01/02 03:04:61'
list $cap --count -1
list $cap --count ''
list $cap --count 1$(printf '0%.0s' $(seq 400))
list $cap --time ''
save $cap --from '' --to '' --out o
record --unit '' --duration 1 --yes
status --unit ''
LIST
[ ! -e x.bin ] || fail "a refused gen-stream wrote its file"
[ ! -e o ] || fail "a refused save made its folder"
[ ! -e o.pdf ] || fail "a refused print wrote its file"

# The save folder is stored as an absolute path: programs started elsewhere
# find it.
mkdir -p there
(cd there && "$qvtool" config set Directory . >/dev/null)
"$qvtool" config | grep -q "^Directory   $work/there\$" ||
    fail "Directory stored as: $("$qvtool" config | grep Directory)"
echo ok
