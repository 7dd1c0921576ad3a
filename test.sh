#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite headless. Non-zero on any failure.
# Extra arguments go to ctest, e.g. ./test.sh -R tst_jobs
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure "$@"
