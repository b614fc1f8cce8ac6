#!/usr/bin/env bash
# qvtool search, mark, marks, save and print on a generated capture: results,
# end messages with their exit status, refused input that leaves no file.
set -euo pipefail
qvtool=$1
export QVORT_HOME=$(mktemp -d)
trap 'rm -rf "$QVORT_HOME"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$QVORT_HOME"

"$qvtool" gen-stream --protocol ASYNC --events 3000 --seed 5 s.bin >/dev/null
mkdir caps
"$qvtool" decode s.bin --out caps >/dev/null 2>&1
cap=$(ls -d caps/*)

# Search: a found record prints its time and frame; repeated from there it
# goes on; the end of the capture is status 1 with its message.
out=$("$qvtool" search "$cap" --sd "30")
grep -Eq '^[0-9]{2}/[0-9]{2}/[0-9]{2} .{21}  frame [0-9]+$' <<<"$out" || fail "search output: $out"
frame=${out##* }
next=$("$qvtool" search "$cap" --sd "30" --frame "$frame")
[ "${next##* }" -gt "$frame" ] || fail "a repeated search did not go on: $next"
set +e
"$qvtool" search "$cap" --sd "FF FE FD FC" 2>err.txt; rc=$?
set -e
[ "$rc" -eq 1 ] || fail "search to the end gave status $rc"
grep -q 'ファイルの最後まで検索しました。' err.txt || fail "no end message"
set +e
"$qvtool" search "$cap" --sd "** **" 2>err.txt; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "a pattern without a cared byte gave status $rc"
grep -q '検索条件が設定されていません' err.txt || fail "no condition message"

# Marks.
"$qvtool" mark "$cap" 2 --frame 100 | grep -q '^M2  ' || fail "mark"
"$qvtool" mark "$cap" 4 --frame 900 >/dev/null
"$qvtool" marks "$cap" | grep -c '^M[24] ' | grep -q 2 || fail "marks"

# Save: the whole capture as a copy, a mark range as CSV, a range outside the
# capture refused without a folder.
"$qvtool" save "$cap" --out copy >/dev/null
total=$("$qvtool" info "$cap" | sed -n 's/^Records: *//p')
[ "$("$qvtool" info copy | sed -n 's/^Records: *//p')" = "$total" ] || fail "copy record total"
grep -q '^FilterFlg=ON' copy/copy.qvr || fail "FilterFlg"
"$qvtool" save "$cap" --from-mark 4 --to-mark 2 --csv --out csv >/dev/null
rows=$(( $(wc -l < csv/1.csv) - 1 ))
[ "$rows" -eq 801 ] || fail "mark range gave $rows rows"
set +e
"$qvtool" save "$cap" --from "20/01/01 00:00:00" --to "20/01/01 00:00:01" --out none 2>/dev/null
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "a range outside the capture gave status $rc"
[ ! -e none ] || fail "a refused range made a folder"

# Print: the header block, then rows.
"$qvtool" print "$cap" --out list.txt
head -1 list.txt | grep -q '^START-20' || fail "print header"
grep -q '^\*DATA MODE   \*            CODE-HEX .*CODE-ASCII$' list.txt || fail "print mode line"
grep -q '^ 000001 SD:' list.txt || fail "print rows"
echo OK
