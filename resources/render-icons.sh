#!/usr/bin/env bash
# Renders the icons drawn in resources/icons/*.svg to the RGBA PNGs that are checked in: the two
# programs' icons at 128 x 128 for the desktop, and the toolbar's at 48 x 48, twice the toolbar's
# size; the build decodes those into the pixel tables the window draws (IconPixels.cpp). Run this
# after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
../scripts/install-packages.sh librsvg2-bin
for svg in icons/*.svg; do
  name=$(basename "${svg%.svg}")
  case "$name" in printer-ruvela | zpc3x-sim) size=128 ;; *) size=48 ;; esac
  rsvg-convert --width "$size" --height "$size" --format png --output "$name.png" "$svg"
done
