#!/usr/bin/env bash
# Builds the GIF decoding benchmark in build-bench (Release) and runs it. Arguments go to the
# benchmark: Google Benchmark flags (--benchmark_filter=...) and GIF files to measure too.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/CMakeCache.txt" ]; then generator=(-G Ninja); fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSHOW_BUILD_TESTS=OFF \
  -DSHOW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target picture_bench --parallel 2 >/dev/null
"$build/bench/picture/picture_bench" --benchmark_min_time=0.3 "$@"
