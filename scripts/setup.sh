#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the release tree in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  # the build: compilers, libraries, the English catalogue, manual pages
  g++ cmake pkg-config make
  qt6-base-dev libqcustomplot-dev libusb-1.0-0-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-tools-dev qt6-l10n-tools help2man
  # what the programs load at run time
  fonts-ipafont-gothic qt6-translations-l10n
  # the zone database captures name their recording zone in
  tzdata
  # screenshots and the manual's pictures
  xvfb x11-apps xdotool imagemagick poppler-utils
  # the libusb backend's tests on an emulated USB bus
  umockdev libumockdev-dev gir1.2-umockdev-1.0
  # reads the pcapng exports in the tests
  tshark
  # a real Modbus RTU master and slave for the serial-port tap's test
  python3-pymodbus
  # the Debian package and its checks (scripts/package.sh)
  dpkg-dev file lintian appstream debootstrap
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
