#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every installed file is there.
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/printer-ruvela bin/zpc3x-sim share/applications/printer-ruvela.desktop \
         share/applications/zpc3x-sim.desktop share/metainfo/printer-ruvela.metainfo.xml \
         share/icons/hicolor/128x128/apps/printer-ruvela.png share/icons/hicolor/128x128/apps/zpc3x-sim.png; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$prefix/bin/printer-ruvela" ] && [ -x "$prefix/bin/zpc3x-sim" ]
grep -q '^Exec=printer-ruvela' "$prefix/share/applications/printer-ruvela.desktop"
grep -q '^Exec=zpc3x-sim' "$prefix/share/applications/zpc3x-sim.desktop"
grep -q '<launchable type="desktop-id">printer-ruvela.desktop</launchable>' \
  "$prefix/share/metainfo/printer-ruvela.metainfo.xml"
"$prefix/bin/zpc3x-sim" --version | grep -q 'zpc3x-sim 1.0'
file "$prefix/share/icons/hicolor/128x128/apps/printer-ruvela.png" | grep -q '128 x 128, 8-bit/color RGBA'
echo "1 passed, 0 failed"
