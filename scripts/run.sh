#!/usr/bin/env bash
# The main job: installs what is missing, builds, and shows the program at work.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
qvtool=build/src/cli/qvtool
echo
echo "== qvtool config"
"$qvtool" config
