#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on) and
# runs each for a fixed time, seeded with the demonstration streams and pictures.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
./scripts/setup.sh
./scripts/install-packages.sh clang libclang-rt-14-dev
san="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUVELA_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --target fuzz_interpreter fuzz_raster fuzz_capture dump-jobs

work=build-fuzz/corpus
mkdir -p "$work/interpreter" "$work/raster" "$work/capture" build-fuzz/crashes
./build-fuzz/dump-jobs "$work/interpreter"
cp shared/demos/pictures/*.pbm resources/*.png docs/*.png "$work/raster/"
cp fuzz/seeds/*.pcapng "$work/capture/"

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
status=0
for t in interpreter raster capture; do
  echo "== fuzzing the $t for ${seconds}s"
  if ! "./build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
      -artifact_prefix="build-fuzz/crashes/$t-" -print_final_stats=1 "$work/$t" 2>build-fuzz/fuzz-$t.log; then
    status=1
    tail -40 "build-fuzz/fuzz-$t.log"
    echo "A crash was found: the input is in build-fuzz/crashes/; once it is fixed, add it to the bad-input test."
  else
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "build-fuzz/fuzz-$t.log" || true
  fi
done
exit $status
