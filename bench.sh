#!/usr/bin/env bash
# Builds a Release build and runs the benchmarks; prints their tables.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target bench_pictures bench_simulator
export QT_QPA_PLATFORM=offscreen
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
./build/bench/bench_pictures
echo
./build/bench/bench_simulator
