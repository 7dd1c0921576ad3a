#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb: docs/main-window.png (the tool, connected),
# docs/virtual-controller.png (the virtual controller with the Receipt job on its paper) and
# docs/traffic-expected-paper.png (both side by side, Receipt pressed in the tool, its Traffic and
# Expected Paper panes open), and docs/chinese.png (the same two in Simplified Chinese).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-packages.sh xvfb x11-apps netpbm xdotool
cmake --build build --target printer-ruvela zpc3x-sim dump-jobs
mkdir -p docs
jobs=$(mktemp -d)
./build/dump-jobs "$jobs"
link="$jobs/zpc3x" # private, and still short enough to read well in the picture

Xvfb :97 -screen 0 1000x860x24 >/dev/null 2>&1 &
xvfb=$!
wide= # the second screen's server, for the side-by-side picture
zh= # the third's, for the one in Chinese
pids=()
trap 'kill "${pids[@]}" $xvfb $wide $zh 2>/dev/null || true; rm -rf "$jobs"' EXIT
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

# Side by side on a screen wide enough for both, with the tool's two panes open; Receipt is pressed in the tool itself, so that every byte goes through its port.
Xvfb :98 -screen 0 2040x1080x24 >/dev/null 2>&1 &
wide=$!
sleep 1
wideLink="$jobs/zpc3x-wide"
DISPLAY=:98 ./build/zpc3x-sim --link "$wideLink" --place right --tool-set-up --log >"$jobs/wide.log" &
pids+=($!)
for _ in $(seq 50); do [ -L "$wideLink" ] && break; sleep 0.1; done
DISPLAY=:98 ./build/printer-ruvela --port "$wideLink" --connect --show traffic,expected-paper &
pids+=($!)
sleep 3
# The tool grows to make room for its panes; the controller goes beside it, where no window
# manager would put it.
DISPLAY=:98 xdotool search --sync --name '^Virtual ZPC3x Controller$' windowmove %1 1320 0 windowsize %1 720 1040
# Receipt is the first button of the fourth row on the General tab: (138, 326) in the window.
DISPLAY=:98 xdotool search --sync --name '^Printer Ruvela$' mousemove --window %1 138 326 click 1
sleep 5
if ! grep -q 'THANK YOU FOR YOUR VISIT' "$jobs/wide.log"; then
  echo "screenshot.sh: the click at (138, 326) did not press Receipt; the window's layout moved it" >&2
  exit 1
fi
xwd -display :98 -root | xwdtopnm 2>/dev/null | pnmtopng > docs/traffic-expected-paper.png
echo "wrote docs/traffic-expected-paper.png"

# Both programs in Simplified Chinese (--lang zh_CN), side by side, Receipt pressed in the tool.
Xvfb :99 -screen 0 1620x860x24 >/dev/null 2>&1 &
zh=$!
sleep 1
zhLink="$jobs/zpc3x-zh"
DISPLAY=:99 ./build/zpc3x-sim --lang zh_CN --link "$zhLink" --tool-set-up --log >"$jobs/zh.log" &
zhSim=$!
pids+=($zhSim)
for _ in $(seq 50); do [ -L "$zhLink" ] && break; sleep 0.1; done
DISPLAY=:99 ./build/printer-ruvela --lang zh_CN --port "$zhLink" --connect &
pids+=($!)
sleep 3
DISPLAY=:99 xdotool search --sync --class '^zpc3x-sim$' windowmove %1 890 0 windowsize %1 730 850
# Receipt (小票) is the first button of the fourth row on the General tab.
DISPLAY=:99 xdotool search --sync --name '^Printer Ruvela$' mousemove --window %1 138 326 click 1
sleep 5
if ! grep -q 'THANK YOU FOR YOUR VISIT' "$jobs/zh.log"; then
  echo "screenshot.sh: the click at (138, 326) did not press Receipt in the Chinese window" >&2
  exit 1
fi
xwd -display :99 -root | xwdtopnm 2>/dev/null | pnmtopng > docs/chinese.png
echo "wrote docs/chinese.png"
