#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb: docs/main-window.png (the tool, connected),
# docs/virtual-controller.png (the virtual controller with the Receipt job on its paper) and
# docs/traffic-expected-paper.png (both side by side, Receipt pressed in the tool, its Traffic and
# Expected Paper panes open), docs/chinese.png (the same two in Simplified Chinese) and
# docs/monitor-traffic.png (the tool monitoring a host application that prints the Receipt job
# through it to the virtual controller). `scripts/screenshot.sh monitor` takes the last one alone.
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
pids=()
trap 'kill "${pids[@]}" $xvfb 2>/dev/null || true; rm -rf "$jobs"' EXIT
sleep 1
shot() { xwd -display :97 -name "$1" | xwdtopnm 2>/dev/null | pnmtopng > "$2"; echo "wrote $2"; }

# On a new screen wide enough for both (display $1): the virtual controller on link $2, its log
# in $3, and the tool connected to it with Traffic and Expected Paper open. The tool grows to make
# room for its panes; the controller goes beside it, where no window manager would put it.
besideController() {
  Xvfb ":$1" -screen 0 2040x1080x24 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  DISPLAY=":$1" ./build/zpc3x-sim --link "$2" --place right --tool-set-up --log >"$3" &
  pids+=($!)
  for _ in $(seq 50); do [ -L "$2" ] && break; sleep 0.1; done
  DISPLAY=":$1" ./build/printer-ruvela --port "$2" --connect --show traffic,expected-paper &
  pids+=($!)
  sleep 3
  DISPLAY=":$1" xdotool search --sync --name '^Virtual ZPC3x Controller$' windowmove %1 1320 0 windowsize %1 720 1040
}

monitorShot() {
  local ctl="$jobs/zpc3x-mon" host="$jobs/pos"
  besideController 99 "$ctl" "$jobs/mon.log"
  # Serial is the menu bar's first menu; Monitor a Host Application… stands just above Quit.
  DISPLAY=:99 xdotool search --sync --name '^Printer Ruvela$' mousemove --window %1 25 12 click 1
  sleep 0.5
  DISPLAY=:99 xdotool key Up Up Return
  # No window manager gives the dialog the keyboard: focus it, click into the link's field,
  # type, then Start; Close puts it away before the picture.
  local dialog
  dialog=$(DISPLAY=:99 xdotool search --sync --name '^Monitor a Host Application$' | head -1)
  DISPLAY=:99 xdotool windowfocus --sync "$dialog" mousemove --window "$dialog" 500 41 click 1
  DISPLAY=:99 xdotool type --delay 20 "$host"
  DISPLAY=:99 xdotool mousemove --window "$dialog" 680 118 click 1
  for _ in $(seq 50); do [ -L "$host" ] && break; sleep 0.1; done
  if [ ! -L "$host" ]; then
    echo "screenshot.sh: the Monitor dialog did not start monitoring $host; its layout moved" >&2
    exit 1
  fi
  DISPLAY=:99 xdotool mousemove --window "$dialog" 850 118 click 1
  # The host application: the Receipt job, then a status query whose answer it reads back.
  python3 - "$host" "$jobs/receipt.bin" <<'PY'
import os, sys, termios, time, tty
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
os.write(fd, open(sys.argv[2], 'rb').read() + b'\x10\x04')
time.sleep(4)
os.close(fd)
PY
  if ! grep -q 'THANK YOU FOR YOUR VISIT' "$jobs/mon.log"; then
    echo "screenshot.sh: the host's Receipt did not reach the controller through the monitor" >&2
    exit 1
  fi
  xwd -display :99 -root | xwdtopnm 2>/dev/null | pnmtopng > docs/monitor-traffic.png
  echo "wrote docs/monitor-traffic.png"
}
if [ "${1:-}" = monitor ]; then
  monitorShot
  exit 0
fi

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

# Side by side, with the tool's two panes open; Receipt is pressed in the tool itself, so that
# every byte goes through its port.
besideController 98 "$jobs/zpc3x-wide" "$jobs/wide.log"
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
Xvfb :96 -screen 0 1620x860x24 >/dev/null 2>&1 &
pids+=($!)
sleep 1
zhLink="$jobs/zpc3x-zh"
DISPLAY=:96 ./build/zpc3x-sim --lang zh_CN --link "$zhLink" --tool-set-up --log >"$jobs/zh.log" &
pids+=($!)
for _ in $(seq 50); do [ -L "$zhLink" ] && break; sleep 0.1; done
DISPLAY=:96 ./build/printer-ruvela --lang zh_CN --port "$zhLink" --connect &
pids+=($!)
sleep 3
DISPLAY=:96 xdotool search --sync --class '^zpc3x-sim$' windowmove %1 890 0 windowsize %1 730 850
# Receipt (小票) is the first button of the fourth row on the General tab.
DISPLAY=:96 xdotool search --sync --name '^Printer Ruvela$' mousemove --window %1 138 326 click 1
sleep 5
if ! grep -q 'THANK YOU FOR YOUR VISIT' "$jobs/zh.log"; then
  echo "screenshot.sh: the click at (138, 326) did not press Receipt in the Chinese window" >&2
  exit 1
fi
xwd -display :96 -root | xwdtopnm 2>/dev/null | pnmtopng > docs/chinese.png
echo "wrote docs/chinese.png"

monitorShot
