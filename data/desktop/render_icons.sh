#!/usr/bin/env bash
# Renders the application icon's PNG sizes from tarnwick.svg (needs rsvg-convert, Debian's
# librsvg2-bin). Run after changing the drawing; the PNGs are kept in the tree so that building
# needs no renderer.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tarnwick.svg -o "icons/tarnwick-$size.png"
done
