#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the committed PNG icons from kestle.svg (needs rsvg-convert from
# librsvg2-bin). Run after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" kestle.svg -o "kestle-$size.png"
done
