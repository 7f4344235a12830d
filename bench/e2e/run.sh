#!/usr/bin/env bash
# Measures the real program on a virtual X server at 1920 x 1080:
#  - the program's CPU share (user + system time of the whole process, from /proc/PID/stat)
#    while the parade waits (10 s to 40 s of show time) and during the rain (70 s to 85 s);
#  - the drawing overhead: the time from launch to exit minus the 145.3 s of the show's delays.
# Targets: parade below 3 % of one core, rain below 10 %, overhead below 2 s.
#
#   bench/e2e/run.sh [BUILD_DIR]        (default build/; builds it first)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
if [ -z "${1:-}" ]; then (cd "$root" && scripts/build >/dev/null); fi
build=$(cd "$build" && pwd)
. "$root/tests/e2e/xvfb.sh"
. "$root/tests/e2e/lib.sh"
work=$(mktemp -d /tmp/bench-e2e.XXXXXX)
cleanup() {
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb
"$build/tests/e2e/e2e-wallpaper" 1920 1080 "$work/wallpaper.bmp"

ticks=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks (fields 14 and 15 after the command's name).
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# The same for each thread: "tid:name ticks" lines.
thread_ticks() {
  for t in /proc/"$1"/task/*; do
    printf '%s:%s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" \
      "$(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$t/stat")"
  done | sort
}

start=$(now_ms)
SDL_AUDIODRIVER=dummy "$build/birthday-show" 2>"$work/program.err" &
pid=$!
xvfb_start=$(cpu_ticks "$XVFB_PID")

measure() {  # from_ms to_ms label
  sleep_until "$1" "$start"
  local a t0 b t1
  a=$(cpu_ticks "$pid"); t0=$(now_ms)
  thread_ticks "$pid" >"$work/threads-a"
  sleep_until "$2" "$start"
  b=$(cpu_ticks "$pid"); t1=$(now_ms)
  thread_ticks "$pid" >"$work/threads-b"
  local share
  share=$(awk -v d=$((b - a)) -v hz="$ticks" -v ms=$((t1 - t0)) 'BEGIN { printf "%.2f", 100 * d / hz / (ms / 1000) }')
  printf '%-22s %6s %% of one core (%d ticks in %d ms)\n' "$3" "$share" $((b - a)) $((t1 - t0))
  join "$work/threads-a" "$work/threads-b" | awk -v hz="$ticks" -v ms=$((t1 - t0)) \
    '$3 - $2 > 0 { printf "    %-18s %6.2f %%\n", $1, 100 * ($3 - $2) / hz / (ms / 1000) }'
}

measure 10000 40000 "parade waiting 10-40 s"
measure 70000 85000 "rain 70-85 s"
code=0
wait "$pid" || code=$?
ended=$(now_ms)
total=$((ended - start))
xvfb_end=$(cpu_ticks "$XVFB_PID")
echo "exit code $code after $total ms"
awk -v t="$total" 'BEGIN { printf "drawing overhead       %6.2f s (end %.2f s - 145.3 s of delays)\n", t / 1000 - 145.3, t / 1000 }'
awk -v d=$((xvfb_end - xvfb_start)) -v hz="$ticks" -v t="$total" \
  'BEGIN { printf "X server (for reference) %.2f %% of one core over the run\n", 100 * d / hz / (t / 1000) }'
