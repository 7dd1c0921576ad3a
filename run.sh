#!/usr/bin/env bash
# Installs what is missing, builds a Release build, and starts Printer Ruvela beside the virtual
# ZPC3x controller, whose path it prints. With a real controller attached, pick its port instead;
# ./run.sh --no-sim starts the tool alone. Other options go on to the tool: ./run.sh --lang zh_CN.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target printer-ruvela zpc3x-sim

# Every option but --no-sim goes on to the tool (--lang, --show, ...); the controller's window
# takes the same language.
no_sim=false
tool_args=()
sim_args=()
previous=""
for arg in "$@"; do
  case "$arg" in
    --no-sim) no_sim=true ;;
    *) tool_args+=("$arg") ;;
  esac
  case "$previous:$arg" in
    --lang:*) sim_args+=(--lang "$arg") ;;
    *:--lang=*) sim_args+=("$arg") ;;
  esac
  previous="$arg"
done
if $no_sim; then
  exec ./build/printer-ruvela "${tool_args[@]}"
fi

# The link lives where only this user can write: the session's runtime folder, or else a private
# folder of our own. A shared folder would let another user plant the link first.
if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -d "$XDG_RUNTIME_DIR" ] && [ -O "$XDG_RUNTIME_DIR" ]; then
  link="$XDG_RUNTIME_DIR/zpc3x-$(id -u)"
  private=""
else
  private=$(mktemp -d)
  link="$private/zpc3x"
fi
# Side by side: the controller on the right half of the screen, the tool on the left; its banner
# says the tool is set up for the line rather than how to set it up.
./build/zpc3x-sim --link "$link" --place right --tool-set-up "${sim_args[@]}" >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; [ -z "$private" ] || rmdir "$private" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; kill -0 "$sim" 2>/dev/null || break; sleep 0.1; done
if [ ! -L "$link" ]; then
  echo "The virtual controller did not start; see its message above." >&2
  exit 1
fi
echo
echo "Virtual ZPC3x controller: $link  (-> $(readlink "$link" 2>/dev/null || echo '?'))"
echo "Printer Ruvela starts connected to it: press Receipt."
echo
./build/printer-ruvela --port "$link" --connect --place left "${tool_args[@]}"
