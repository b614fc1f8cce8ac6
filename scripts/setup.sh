#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the release tree in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++ cmake pkg-config make
  qt6-base-dev libqcustomplot-dev libusb-1.0-0-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  fonts-ipafont-gothic qt6-translations-l10n
  xvfb x11-apps xdotool imagemagick poppler-utils
  umockdev libumockdev-dev gir1.2-umockdev-1.0
  tshark
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  # tshark asks whether plain users may capture; answer no without a prompt.
  echo "wireshark-common wireshark-common/install-setuid boolean false" |
    $SUDO debconf-set-selections
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--deps-only" ]; then
  exit 0
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
