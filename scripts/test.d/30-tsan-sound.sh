# The sound player, its devices and the clock under ThreadSanitizer, in a build of their own.
# Only those tests are built, so the stage stays quick.
set -euo pipefail
build=build-tsan  # shared with the show's ThreadSanitizer stage
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSHOW_SANITIZE=thread -DSHOW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2 --target core_tests sound_tests sdl_audio_tests

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# Each test in a process of its own, as in the main suite.
ctest --test-dir "$build" --output-on-failure --parallel 2 \
  -R '^(SimulatedClock|RealClock|ClassifyClip|ParseWaveClip|WaveFormat|HeadlessAudioTest|SoundTest|Cases/SoundWithoutProgressTest|SdlDiskAudioTest)[./]'
