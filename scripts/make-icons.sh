#!/usr/bin/env bash
# Renders the application icon's PNG sizes from app/resources/velmora.svg.
# Run after changing the SVG and commit the PNGs; the build does not need it
# (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../app/resources"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" velmora.svg -o "icons/velmora-$size.png"
done
