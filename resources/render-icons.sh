#!/usr/bin/env bash
# Renders the icons drawn in resources/icons/*.svg to the 128 x 128 RGBA PNGs the program
# compiles in. The PNGs are checked in; run this after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
../scripts/install-packages.sh librsvg2-bin
for svg in icons/*.svg; do
  rsvg-convert --width 128 --height 128 --format png --output "$(basename "${svg%.svg}").png" "$svg"
done
