#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the tests and the application need.
# Only packages that are missing are installed; a machine that has them all
# does no network work at all.
set -euo pipefail

packages=(
  cmake g++ pkg-config make libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libxkbcommon-dev
  # Qt Charts finds its OpenGL dependency only with the OpenGL headers.
  qt6-charts-dev libqt6opengl6-dev
  libhidapi-dev libssl-dev zlib1g-dev
  # Unicode normalisation and character sets of the bags' names and tag files.
  libglib2.0-dev
  libespeak-ng-dev espeak-ng-data
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-x gstreamer1.0-alsa
  gstreamer1.0-tools gstreamer1.0-plugins-base-apps
  fonts-liberation2
  xvfb xauth imagemagick xdg-utils poppler-utils
  desktop-file-utils appstream man-db groff-base dpkg-dev lintian librsvg2-bin
  # Listening to a night: spectrograms and the voice detector.
  libfftw3-dev
  libwebrtc-audio-processing-dev
  # The remote view: its web server, WebSockets and the pairing QR code;
  # a headless browser and the script that drives it for its tests.
  qt6-httpserver-dev qt6-websockets-dev libqrencode-dev chromium python3
  # ThreadSanitizer's runtime, for test.sh's last step.
  libtsan2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
