#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb: docs/main-window.png (the tool) and
# docs/virtual-controller.png (the virtual controller with a receipt on its paper).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-packages.sh xvfb x11-apps netpbm
cmake --build build --target printer-ruvela zpc3x-sim dump-jobs
mkdir -p docs
jobs=$(mktemp -d)
./build/dump-jobs "$jobs"
link="$jobs/zpc3x" # private, and still short enough to read well in the picture

Xvfb :97 -screen 0 1000x860x24 >/dev/null 2>&1 &
xvfb=$!
pids=()
trap 'kill "${pids[@]}" $xvfb 2>/dev/null || true; rm -rf "$jobs"' EXIT
sleep 1
shot() { xwd -display :97 -name "$1" | xwdtopnm 2>/dev/null | pnmtopng > "$2"; echo "wrote $2"; }

DISPLAY=:97 ./build/printer-ruvela &
pids+=($!)
sleep 3
shot "Printer Ruvela" docs/main-window.png
kill "${pids[@]}"; pids=()

DISPLAY=:97 ./build/zpc3x-sim --link "$link" --speed 400 >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
cat "$jobs/receipt-full-cut.bin" > "$link"
sleep 4
shot "Virtual ZPC3x Controller" docs/virtual-controller.png
