#!/usr/bin/env bash
# The main job: installs what is missing, builds, and shows the program at work.
# With a display (DISPLAY or WAYLAND_DISPLAY set) it then starts the desktop
# application next to an emulated instrument and a capture of synthetic
# traffic; without one it stays with the headless demonstration.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
qvtool=build/src/cli/qvtool
echo
echo "== qvtool config"
"$qvtool" config

demo=$(mktemp -d "${TMPDIR:-/tmp}/qv-ort-demo.XXXXXX")
echo
echo "== a capture of synthetic traffic (qvtool gen-stream + decode) in $demo"
"$qvtool" gen-stream --protocol ASYNC --events 20000 --seed 7 "$demo/stream.bin"
"$qvtool" decode "$demo/stream.bin" --out "$demo"
index=$(ls "$demo"/*/*.qvr | head -1)
"$qvtool" list "$index" 2>/dev/null | head -12 || true

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ ! -x build/src/gui/qv-ort ]; then
  echo
  echo "(no display: the desktop application qv-ort is not started)"
  exit 0
fi

echo
echo "== qv-ort with an emulated instrument (qvsim, serial 00000001)"
export QVORT_SIM_DIR="$demo/sim"
build/src/qvsim --model QV-SZ2 --serial 00000001 --source synth:7 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
build/src/gui/qv-ort "$index"
