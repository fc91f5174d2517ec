#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds a Release build and starts the application
# with the simulated Kestle and the capture test sources. Extra arguments go
# to the application.
# Without a display it runs a short headless demonstration instead.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTLE_TESTS=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target kestle

app="$build/src/kestle"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running a short headless demonstration with the simulated Kestle."
  rm -rf "$build/demo" && mkdir -p "$build/demo"
  exec "$app" --headless --device sim --speech none --clock "$(date +%Y-%m-%dT%H:%M:%S)" \
    --app-dir "$build/demo" --data-dir "$build/demo/Vantic_Data" \
    --script scripts/demo.script "$@"
fi
echo "Starting the Kestle companion with the SIMULATED Kestle (--device sim)"
echo "and the camera and microphone test pattern and tone (--capture test)."
echo "To use a real Kestle, camera and microphone, start $app without options."
exec "$app" --device sim --capture test "$@"
