#!/usr/bin/env bash
# Builds the drawing benchmark in build-bench-draw (Release) and runs it. Arguments go to the
# benchmark (Google Benchmark flags such as --benchmark_filter=...).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench-draw}
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/CMakeCache.txt" ]; then generator=(-G Ninja); fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSHOW_BUILD_TESTS=OFF \
  -DSHOW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target draw_bench --parallel 2 >/dev/null
"$build/bench/draw/draw_bench" --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"
