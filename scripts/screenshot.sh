#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb: docs/main-window.png (the tool, connected) and
# docs/virtual-controller.png (the virtual controller with the Receipt job on its paper).
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

# As ./run.sh has it: the virtual controller at its default speed, the tool connected to it,
# and the Receipt job on the line.
DISPLAY=:97 ./build/zpc3x-sim --link "$link" >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
DISPLAY=:97 ./build/printer-ruvela --port "$link" --connect &
tool=$!
pids+=($tool)
sleep 3
cat "$jobs/receipt.bin" > "$link"
sleep 4
shot "Printer Ruvela" docs/main-window.png
kill $tool # it lies over the controller's window: no window manager moves either
sleep 1
shot "Virtual ZPC3x Controller" docs/virtual-controller.png
