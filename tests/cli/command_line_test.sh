#!/usr/bin/env bash
# The command lines behave alike: a wrong one gets the reason, one usage line
# and the way to the help with status 2; unknown names and values out of
# range are refused, never clamped; "-" is standard input or output; progress
# can be silenced; qvtool's own texts follow QVORT_LANG while files do not.
set -euo pipefail
qvtool=$1
qvsim=${2:-$(dirname "$qvtool")/../qvsim}
export QVORT_HOME=$(mktemp -d)
trap 'rm -rf "$QVORT_HOME"' EXIT
cd "$QVORT_HOME"
fail() { echo "FAIL: $*" >&2; exit 1; }
# Runs a command that must fail with status $1; its stderr is left in err.txt.
refused() {
    local want=$1 rc
    shift
    set +e
    "$@" >out.txt 2>err.txt
    rc=$?
    set -e
    [ "$rc" -eq "$want" ] || fail "$* gave status $rc, not $want: $(cat err.txt)"
}

# A wrong command line: reason, usage line, hint; not the whole help.
refused 2 "$qvtool" list --no-such-option
grep -q '^qvtool: ' err.txt || fail "no reason: $(cat err.txt)"
grep -q '^Usage: qvtool list ' err.txt || fail "no usage line naming the program: $(cat err.txt)"
grep -q "Run 'qvtool list --help'" err.txt || fail "no hint to the help"
[ "$(wc -l <err.txt)" -le 4 ] || fail "the whole help was printed: $(cat err.txt)"
refused 2 "$qvtool" no-such-command
grep -q "Run 'qvtool --help'" err.txt || fail "no hint for an unknown command"

# An unknown unit is a wrong argument.
refused 2 "$qvtool" units select NOPE
refused 2 "$qvtool" status --unit NOPE

# A rate out of range is refused with the range; the status file stays.
"$qvtool" settings set SD_Baudrate=9600 >/dev/null
status=$(ls "$QVORT_HOME"/*.qvs | head -n 1)
before=$(md5sum <"$status")
refused 2 "$qvtool" settings set SD_Baudrate=99999999
grep -q '10 to 1,500,000' err.txt || fail "no range in: $(cat err.txt)"
refused 2 "$qvtool" settings set Line=422/485 RD_Baudrate=5
grep -q '10 to 12,500,000' err.txt || fail "no RS-422 range in: $(cat err.txt)"
# Separators only between groups of three: "1,2,3" is no rate, not 123.
for rate in 1,2,3 96,00 9,600, ,9600 1.2.3 9600. .5 " 9600" 9600bps -9600 1e4; do
    refused 2 "$qvtool" settings set "SD_Baudrate=$rate"
    grep -q 'groups of three' err.txt || fail "SD_Baudrate=$rate: no reason in: $(cat err.txt)"
done
[ "$(md5sum <"$status")" = "$before" ] || fail "a refused rate changed the status file"
cp "$status" kept.qvs
"$qvtool" settings set SD_Baudrate=19,200 RD_Baudrate=134.5 >/dev/null
shown=$("$qvtool" settings show)  # read whole: grep -q would close the pipe early
grep -q '19,200 bit/s.* 134.5 bit/s' <<<"$shown" || fail "grouped rates not stored: $shown"
cp kept.qvs "$status"

# "-": a stream through a pipe; decode makes its missing folder.
"$qvtool" gen-stream --protocol ASYNC --events 300 --seed 4 --date 091205 --start 10:00:00 - \
    2>gen.txt | "$qvtool" decode - --out "$QVORT_HOME/new/caps" >/dev/null
grep -q 'bytes' gen.txt || fail "gen-stream's summary is not on stderr"
capture=$(ls "$QVORT_HOME"/new/caps/*/*.qvr)
"$qvtool" gen-stream --protocol ASYNC --events 300 --seed 4 --date 091205 --start 10:00:00 \
    file.bin >/dev/null
"$qvtool" decode file.bin --out "$QVORT_HOME/old" >/dev/null
cmp <("$qvtool" list "$capture") <("$qvtool" list "$(ls "$QVORT_HOME"/old/*/*.qvr)") ||
    fail "a stream read from a pipe decodes differently"
"$qvtool" print "$capture" --out - >listing.txt
"$qvtool" print "$capture" --out file.txt
cmp listing.txt file.txt || fail "print --out - differs from the file"

# --quiet before or after the subcommand.
"$qvtool" --quiet info "$capture" >/dev/null
"$qvtool" search "$capture" --quiet --help >/dev/null

# The language of qvtool's own texts; the status file is the same either way.
en=$(QVORT_LANG=en "$qvtool" units --all)
ja=$(QVORT_LANG=ja "$qvtool" units --all)
grep -q '^Model   Serial' <<<"$en" || fail "English header: $en"
grep -q '^型番    シリアル番号 名前' <<<"$ja" || fail "Japanese header: $ja"
[ "$(md5sum <"$status")" = "$before" ] || fail "the language changed a file"
# The core's messages follow it too: no unit is attached here.
refused 1 env QVORT_LANG=en "$qvtool" status
grep -q 'No unit is connected' err.txt || fail "English core message: $(cat err.txt)"
refused 1 env QVORT_LANG=ja "$qvtool" status
grep -q 'QVが接続されていません' err.txt || fail "Japanese core message: $(cat err.txt)"

# qvsim: version and usage errors like qvtool's.
"$qvsim" --version | grep -q '^qvsim ' || fail "qvsim --version"
refused 2 "$qvsim" --no-such-option
grep -q '^Usage: qvsim ' err.txt || fail "qvsim usage line: $(cat err.txt)"
echo ok
