#!/usr/bin/env bash
# Renders packaging/icons/olvend.svg to the PNG sizes the package installs
# (hicolor 48, 128 and 256 px). Run after changing the SVG and commit the
# PNGs with it; needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 48 128 256; do
    rsvg-convert -w "$size" -h "$size" olvend.svg -o "olvend-$size.png"
done
ls -l olvend-*.png
