#!/usr/bin/env bash
# Pastes each recipe of the README (a ```sh block marked "<!-- recipe -->") into bash, from a
# folder where build/ is the build tree, and checks that it ends, succeeds, leaves no link
# behind and prints no Qt notes. Only what would reach other users is changed: /tmp/ becomes a
# private folder, the TCP port a free one, and /dev/ttyUSB0 a virtual controller's link.
# Usage: readme_recipes.sh SOURCE_ROOT BUILD_DIR
set -uo pipefail
root=$1 build=$2
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
ln -s "$build" "$work/build"
export XDG_RUNTIME_DIR="$work/runtime" # private, so that Qt has nothing to say of the one it gets
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM # the recipes promise to need no display

# The recipes, one file each, in the README's order.
awk -v dir="$work" '
  /^<!-- recipe/ { marked = 1; next }
  marked && /^```sh/ { n++; out = sprintf("%s/recipe-%d.sh", dir, n); inside = 1; marked = 0; next }
  inside && /^```/ { inside = 0; close(out); next }
  inside { print > out }
  { marked = 0 }' "$root/README.md"
count=$(ls "$work"/recipe-*.sh 2>/dev/null | wc -l)
[ "$count" -ge 3 ] || { echo "only $count marked recipes found in README.md"; exit 1; }

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '\x1b@From a file\n' >"$work/capture.bin" # what "--send capture.bin" sends
failed=0
for recipe in "$work"/recipe-*.sh; do
  name=$(basename "$recipe" .sh)
  sed -i -e "s#/tmp/#$work/#g" -e "s#/dev/ttyUSB0#$work/ttyUSB0#g" -e "s#\b9101\b#$port#g" "$recipe"
  controller=
  if grep -q "$work/ttyUSB0" "$recipe"; then # a real port in the README: a virtual one here
    "$build/zpc3x-sim" --no-window --speed max --link "$work/ttyUSB0" >/dev/null 2>&1 &
    controller=$!
    for _ in $(seq 100); do [ -L "$work/ttyUSB0" ] && break; sleep 0.1; done
  fi
  (cd "$work" && timeout 120 bash -e "$recipe" >"$work/$name.out" 2>"$work/$name.err")
  code=$?
  [ -n "$controller" ] && kill "$controller" && wait "$controller" 2>/dev/null
  sleep 0.2 # a program the recipe stopped removes its link as it ends
  problem=
  if [ "$code" -ne 0 ]; then
    problem="exit $code"
  elif grep -Eq '^(QStandardPaths|QSocketNotifier|QObject|QProcess|qt\.|Qt:)' "$work/$name.err"; then
    problem="Qt notes on stderr"
  elif ls "$work" | grep -Eq '^(zpc3x|pos)$'; then
    problem="a link left behind"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL $name: $problem"
    sed 's/^/  | /' "$recipe"
    sed 's/^/  out: /' "$work/$name.out" | head -40
    sed 's/^/  err: /' "$work/$name.err" | head -40
    failed=$((failed + 1))
    pkill -f -- "$work/" # what the recipe left running, so that the next starts clean
    sleep 0.5
  else
    echo "PASS $name"
  fi
done

# What the monitor's recipe says it shows: the host reads the status, and tshark lists the
# capture's records, the host's job and the TCP job among them.
for recipe in "$work"/recipe-*.sh; do
  grep -q -- '--monitor ' "$recipe" || continue
  out=${recipe%.sh}.out
  grep -qx '12' "$out" || { echo "FAIL: the monitor recipe's host did not read the status 12"; failed=$((failed + 1)); }
  [ "$(tshark -r "$work/pos.pcapng" 2>/dev/null | wc -l)" -ge 3 ] \
    || { echo "FAIL: tshark does not read the monitor recipe's capture"; failed=$((failed + 1)); }
done
echo "$count recipes, $failed failures"
[ "$failed" -eq 0 ]
