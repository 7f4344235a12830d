# The core stage's tests and three whole simulated shows under ThreadSanitizer, in build-tsan-show:
# the user-interface thread, the five workers, the sound threads and the end procedure that
# parks the workers. The shows run as processes of their own (the fault runner), not as death
# tests, which ThreadSanitizer does not follow reliably.
set -euo pipefail
build=build-tsan  # shared with the sound's ThreadSanitizer stage
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSHOW_SANITIZE=thread -DSHOW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2 --target core_tests fault_show

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 exitcode=66"
ctest --test-dir "$build" --output-on-failure --parallel 2 -R '^(Stage|Scenario|Core)' \
  --timeout 300
show=$build/tests/faults/fault_show
status=0
run() {
  local expected=$1
  shift
  local code=0
  timeout -k 5 300 "$show" "$@" 2>"$build/tsan-show.err" || code=$?
  if [ "$code" -ne "$expected" ]; then
    echo "FAILED ($code, expected $expected): fault_show $*"
    grep -A30 "WARNING: ThreadSanitizer" "$build/tsan-show.err" | head -60 || tail -20 "$build/tsan-show.err"
    status=1
  else
    echo "ok: fault_show $*"
  fi
}
run 0                                   # the whole show, to the countdown's end
run 0 --stall-audio-after 5 --esc-at 100000  # audio hung mid-clip; Esc during the burst
run 255 --fatal-at 70000                # a fatal report from a worker during the rain
exit $status
