#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots/ as a new user meets the
# application: under Xvfb, with an emulated instrument (qvsim) and a capture of
# synthetic traffic. Needs xvfb, xdotool and imagemagick (scripts/setup.sh
# installs them) and a built tree.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-ort-shots.XXXXXX")
# The manual shows the Japanese windows.
export QVORT_HOME="$work/home" QVORT_SIM_DIR="$work/sim" LANG=C.UTF-8 QVORT_LANG=ja
# The print dialog offers a PDF file in the home folder when there is no printer.
export HOME="$work"
mkdir -p "$QVORT_HOME"

build/src/cli/qvtool gen-stream --protocol ASYNC --events 5000 --seed 3 --date 091205 \
  --baud 9600 --start 13:45:12 "$work/stream.bin" >/dev/null
build/src/cli/qvtool decode "$work/stream.bin" --out "$QVORT_HOME" >/dev/null
index=$(ls "$QVORT_HOME"/*/*.qvr | head -1)
# More than a million records: the record numbers must show every digit.
mkdir -p "$work/big"
build/src/cli/qvtool gen-stream --protocol ASYNC --events 1100000 --seed 5 --date 091206 \
  --start 09:00:00 "$work/big.bin" >/dev/null
build/src/cli/qvtool decode "$work/big.bin" --out "$work/big" >/dev/null
rm -f "$work/big.bin"
big=$(ls "$work"/big/*/*.qvr | head -1)

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The instrument's clock is ten minutes off, so the start asks a question.
build/src/qvsim --model QV-SZ2 --serial 20240001 --source synth:7 --clock-offset 600 \
  >/dev/null 2>&1 &
sim=$!
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$sim" "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# The whole screen: the main frame opens fitted to it, dialogs over it.
shot() {
  sleep 1.2
  import -window root "$work/shot.png"
  convert "$work/shot.png" -strip "$out/$1.png"
  echo "$out/$1.png"
}
# Waits for a top-level window with this title and gives it the keyboard.
focus() {
  local w
  for _ in $(seq 50); do
    w=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | tail -1 || true)
    [ -n "$w" ] && break
    sleep 0.2
  done
  [ -n "$w" ] || { echo "no window '$1'" >&2; exit 1; }
  xdotool windowfocus --sync "$w"
  echo "$w"
}

# The unit's status file stores from the start of monitoring.
for _ in $(seq 50); do ls "$QVORT_SIM_DIR"/*20240001.sock >/dev/null 2>&1 && break; sleep 0.1; done
build/src/cli/qvtool units select 20240001 >/dev/null
build/src/cli/qvtool settings check --yes >/dev/null
build/src/cli/qvtool units release >/dev/null

build/src/gui/qv-ort "$index" &
app=$!
focus "モニタ機器選択" >/dev/null
shot 01-unit-selection
xdotool key Return
sleep 1
main=$(focus "QV-ORT")
shot 03-capture-monitor-window
# The Line window on the request's last character (row 12), zoomed in twice
# to 2 ms/Div; X on that character's end, Y on the response's first start.
# Clicks are given relative to the main window, wherever it opens.
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y
click() { xdotool mousemove $((mx + $1)) $((my + $2)) click 1; sleep 0.3; }
click 110 283
xdotool key alt+w l
sleep 1
shot 11-line-window
xdotool key shift+i shift+i
sleep 0.5
click 529 130
click 591 448
click 786 153
shot 12-line-turnaround
# Its close box, top right of the child window.
click 834 93
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key ctrl+o
focus "ファイルを開く" >/dev/null
shot 04-file-browser
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key alt+u r
focus "本体情報" >/dev/null
shot 05-unit-information
xdotool key shift+d
shot 06-unit-information-extended
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key alt+u t
focus "時刻設定" >/dev/null
shot 07-clock
xdotool key Escape
xdotool windowfocus --sync "$main"
# Monitoring: start, live rows, pause, and stop with the capture reopened.
xdotool key alt+m s
# The clock question, answered "はい" with the mouse: the button sits at a
# fixed distance from the message box's bottom-right corner.
box=
for _ in $(seq 50); do
  box=$(xdotool search --onlyvisible --name "^QV-ORT" 2>/dev/null | grep -vx "$main" | tail -1 || true)
  [ -n "$box" ] && break
  sleep 0.2
done
[ -n "$box" ] || { echo "no start question" >&2; exit 1; }
shot 08-start-question
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $((X + WIDTH - 142)) $((Y + HEIGHT - 24)) click 1
sleep 3
# Without a window manager the keyboard does not return to the main window.
xdotool windowfocus --sync "$main"
shot 08-live-monitoring
xdotool key alt+m p
shot 09-paused
xdotool key alt+m e
sleep 1
shot 10-stopped-capture-reopened

# The Edit and File commands on the reopened capture.
xdotool key ctrl+f
focus "検索" >/dev/null
shot 11-search
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key alt+e t
focus "トリガジャンプ" >/dev/null
shot 12-trigger-jump
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key ctrl+s
focus "ファイルの保存" >/dev/null
shot 13-save-range
xdotool key Escape
xdotool windowfocus --sync "$main"
xdotool key alt+f p
focus "印刷" >/dev/null
shot 14-print
# Without a printer the listing goes to a PDF file; its first page.
xdotool key Return
for _ in $(seq 100); do ls "$HOME"/*.pdf >/dev/null 2>&1 && break; sleep 0.2; done
sleep 2
pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$(ls "$HOME"/*.pdf | head -1)" "$work/page"
cp "$work/page.png" "$out/15-listing-page1.png"
echo "$out/15-listing-page1.png"
# The Dump window on the reopened capture, tiled beside its Monitor window.
xdotool windowfocus --sync "$main"
xdotool key alt+w d
sleep 1
xdotool key alt+w t
shot 11-dump-window-dual
xdotool key F3
shot 12-dump-window-sd
xdotool key F2 ctrl+F6
shot 13-dump-window-shift-jis
# With synchronised windows the Monitor window follows the selected byte.
xdotool key ctrl+F2 ctrl+k
for _ in 1 2 3 4 5 6; do xdotool key Down; sleep 0.1; done
sleep 0.6
xdotool key Right
shot 14-dump-window-following
# The settings dialogs, as the GUI tests leave them (drawn off screen).
kill "$app" 2>/dev/null || true
app=
QT_QPA_PLATFORM=offscreen QVORT_SCREENSHOTS="$out" build/tests/gui/gui_SettingsDialogsTest \
  >/dev/null 2>&1
ls "$out"/2[1-8]-*.png
# The English interface: the main window with a capture and its Dump window.
QT_QPA_PLATFORM=offscreen QVORT_SCREENSHOTS="$out" build/tests/gui/gui_EnglishInterfaceTest \
  mainWindowWithACaptureSpeaksEnglish >/dev/null 2>&1
ls "$out"/31-*.png
# Recent captures, eight windows cascaded, a dark palette and a selection on
# its way to Wireshark (with a stand-in wireshark), as the GUI tests leave them.
QT_QPA_PLATFORM=offscreen QVORT_LANG=ja QVORT_SCREENSHOTS="$out" build/tests/gui/gui_MainWindowTest \
  droppedAndRecentCaptures cascadeKeepsEveryWindowUsable selectionOpensInWireshark \
  >/dev/null 2>&1
QT_QPA_PLATFORM=offscreen QVORT_LANG=ja QVORT_SCREENSHOTS="$out" build/tests/gui/gui_MonitorWindowTest \
  rowsStayReadableOnLightAndDarkPalettes >/dev/null 2>&1
ls "$out"/36-*.png
# A capture of more than a million records, at its last page. SIGTERM ends
# the application in order.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
build/src/gui/qv-ort "$big" &
app=$!
focus "モニタ機器選択" >/dev/null
xdotool key Escape
main=$(focus "QV-ORT")
sleep 1
xdotool key End
shot 11-million-records
