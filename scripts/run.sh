#!/usr/bin/env bash
# The main job: installs what is missing, builds, then shows the monitor at
# work without any hardware: an emulated instrument (qvsim) carries synthetic
# request/response traffic, qvtool records about ten seconds of it, and the
# capture is shown with qvtool info and list. With a display (DISPLAY or
# WAYLAND_DISPLAY set) the desktop application then opens that capture, with
# the emulated instrument still attached for live monitoring.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

build=$PWD/build
qvtool=$build/src/cli/qvtool
qvsim=$build/src/qvsim
demo=$build/demo
# The demonstration keeps its files apart from the user's own application folder.
export QVORT_HOME=${QVORT_HOME:-$demo/home}
export QVORT_SIM_DIR=$demo/sim
mkdir -p "$QVORT_HOME" "$QVORT_SIM_DIR"

"$qvsim" --serial DEMO0001 --source synth:1 >"$demo/qvsim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    ls "$QVORT_SIM_DIR"/*DEMO0001.sock >/dev/null 2>&1 && break
    sleep 0.1
done

echo "== qvtool units"
"$qvtool" units
"$qvtool" units select DEMO0001 --yes
echo
echo "== qvtool settings check --yes   (store from the start of monitoring)"
"$qvtool" settings check --yes
echo
echo "== qvtool record --duration 10"
capture=$("$qvtool" record --duration 10 --yes | tee /dev/stderr | head -n 1)
echo
echo "== qvtool info"
"$qvtool" info "$capture"
echo
echo "== qvtool list --count 25 --code ASCII"
"$qvtool" list "$capture" --count 25 --code ASCII

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ ! -x "$build/src/gui/qv-ort" ]; then
    "$qvtool" units release >/dev/null
    echo
    echo "(no display: the desktop application qv-ort is not started)"
    exit 0
fi
echo
echo "== qv-ort with the capture and the emulated instrument DEMO0001"
"$qvtool" units release >/dev/null
"$build/src/gui/qv-ort" "$capture"
