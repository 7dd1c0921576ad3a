#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# suite under them. Leak checking is off here: Qt and fontconfig keep caches until exit.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan "$@"
