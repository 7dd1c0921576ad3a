#!/usr/bin/env bash
# Installs what is missing, builds a Release build, and starts Printer Ruvela beside the virtual
# ZPC3x controller, whose path it prints. With a real controller attached, pick its port instead;
# ./run.sh --no-sim starts the tool alone.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target printer-ruvela zpc3x-sim

if [ "${1:-}" = "--no-sim" ]; then
  exec ./build/printer-ruvela
fi

link="${XDG_RUNTIME_DIR:-/tmp}/zpc3x-$(id -u)"
rm -f "$link"
./build/zpc3x-sim --link "$link" >/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo
echo "Virtual ZPC3x controller: $link  (-> $(readlink "$link" 2>/dev/null || echo '?'))"
echo "In Printer Ruvela: Settings -> Configure, choose Custom, type $link, Apply, then Serial -> Connect."
echo
./build/printer-ruvela
