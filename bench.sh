#!/usr/bin/env bash
# Builds a Release build and runs every benchmark case, each in a process of its own, printing
# one table: the figure, the reference it was measured against in the same run, their ratio,
# and the case's peak memory.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target bench_pictures bench_simulator bench_load bench_startup bench_monitor bench_compare >/dev/null
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
b=build/bench
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(free -g | awk '/Mem:/{print $2}') GiB, Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)"
echo
echo "| case | measured | reference | ratio | peak memory |"
echo "|---|---|---|---|---|"
for c in press-quick press-raster frame photo strip; do "$b/bench_pictures" "$c" 2>/dev/null; done
"$b/bench_startup" 2>/dev/null
for c in demos text raster metre expected; do "$b/bench_simulator" "$c" 2>/dev/null; done
for c in head-switches arabic overstrike long-run unpaced-flood every-glyph fill-everything; do
  "$b/bench_simulator" hostile "$c" 2>/dev/null
done
for c in qr-reprint pdf417-reprint rotated-text firmware-queries; do "$b/bench_simulator" hostile "$c" 2>/dev/null; done
"$b/bench_simulator" head 2>/dev/null
for c in traffic-filter traffic-tiny flood-lines flood-long sim-raster query-flood tcp-unread reconnects repeated macros-load; do "$b/bench_load" "$c" 2>/dev/null; done
# The monitor between a host and the controller: paced by the paper at the controller's defaults,
# then at its fastest, where only the line and the monitor set the pace.
"$b/bench_monitor" stream 2>/dev/null
"$b/bench_monitor" stream --speed max 2>/dev/null
"$b/bench_monitor" query 2>/dev/null
"$b/bench_monitor" memory 2>/dev/null
"$b/bench_monitor" days 2>/dev/null
"$b/bench_monitor" capture 2>/dev/null
"$b/bench_monitor" dark 2>/dev/null
"$b/bench_compare" 2>/dev/null
"$b/bench_compare" open 2>/dev/null
