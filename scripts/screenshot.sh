#!/usr/bin/env bash
# Takes a screenshot of the main window under Xvfb for the README: docs/main-window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
for p in xvfb x11-apps netpbm; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${need[@]}"
fi
cmake --build build --target printer-ruvela
mkdir -p docs
Xvfb :97 -screen 0 1000x860x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=:97 ./build/printer-ruvela &
app=$!
sleep 3
xwd -root -display :97 | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 900 -height 800 | pnmtopng > docs/main-window.png
echo "wrote docs/main-window.png"
