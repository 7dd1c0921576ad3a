#!/usr/bin/env bash
# Installs what is missing, builds a Release build and starts Printer Ruvela.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target printer-ruvela
exec ./build/printer-ruvela "$@"
