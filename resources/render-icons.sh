#!/usr/bin/env bash
# Renders the icons drawn in resources/icons/*.svg to the 128 x 128 RGBA PNGs the program
# compiles in. The PNGs are checked in; run this after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v rsvg-convert >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends librsvg2-bin
fi
for svg in icons/*.svg; do
  rsvg-convert --width 128 --height 128 --format png --output "$(basename "${svg%.svg}").png" "$svg"
done
