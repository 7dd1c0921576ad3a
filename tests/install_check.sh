#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every installed file is there and
# valid, then builds the Debian package and checks that its programs are stripped.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
metainfo=share/metainfo/invalid.printer_ruvela.PrinterRuvela.metainfo.xml
for f in bin/printer-ruvela bin/zpc3x-sim share/applications/printer-ruvela.desktop \
         share/applications/zpc3x-sim.desktop "$metainfo" share/doc/printer-ruvela/copyright \
         share/icons/hicolor/128x128/apps/printer-ruvela.png share/icons/hicolor/128x128/apps/zpc3x-sim.png; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
[ -x "$prefix/bin/printer-ruvela" ] && [ -x "$prefix/bin/zpc3x-sim" ]
grep -q '^Exec=printer-ruvela' "$prefix/share/applications/printer-ruvela.desktop"
grep -q '^Exec=zpc3x-sim' "$prefix/share/applications/zpc3x-sim.desktop"
appstreamcli validate --no-net "$prefix/$metainfo" >/dev/null
"$prefix/bin/zpc3x-sim" --version | grep -q 'zpc3x-sim 1.0'
"$prefix/bin/printer-ruvela" --version | grep -q 'printer-ruvela'
file "$prefix/share/icons/hicolor/128x128/apps/printer-ruvela.png" | grep -q '128 x 128, 8-bit/color RGBA'
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
dpkg-deb -x "$work"/package/*.deb "$work/deb"
for program in printer-ruvela zpc3x-sim; do
  file "$work/deb/usr/bin/$program" | grep -q ', stripped' || { echo "$program is not stripped"; exit 1; }
done
[ -e "$work/deb/usr/share/doc/printer-ruvela/copyright" ]
echo "1 passed, 0 failed"
