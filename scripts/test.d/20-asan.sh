# The whole suite again with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, in
# build-asan. Any report aborts the test that made it; leaks fail at the process's exit.
set -euo pipefail
build=build-asan
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSHOW_SANITIZE=address,undefined -DSHOW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="exitcode=23:suppressions=$PWD/tests/faults/lsan.supp"
# A show runs about ten times slower here; the main build runs all 200 Esc moments and refuses
# every picture in turn.
export FAULT_COUNT=10 FAULT_QUICK=1 FAULT_SIZE=800x600
# The media regeneration and the real-display runs check no code of ours that the other
# tests do not reach, and cost minutes under the sanitizers.
ctest --test-dir "$build" --output-on-failure --parallel 2 --label-exclude long \
  -E '^(media_regenerate|e2e_.*)$' \
  --timeout 300
