#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kestrune needs.
# Idempotent: when everything is present it does nothing and prints nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev zlib1g-dev xz-utils
  libzinnia-dev tegaki-zinnia-simplified-chinese
  libtesseract-dev libleptonica-dev
  tesseract-ocr-chi-sim tesseract-ocr-chi-tra
  tesseract-ocr python3-pil fonts-arphic-uming
  dbus-daemon python3-dbus python3-gi
  xvfb xauth xdotool imagemagick x11-utils trayer
  sway qt6-wayland dbus-bin wtype
  unicode-data fonts-noto-cjk
  clang libclang-rt-14-dev
  time procps python3 python3-jieba
  espeak-ng
  librsvg2-bin desktop-file-utils appstream dpkg-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
