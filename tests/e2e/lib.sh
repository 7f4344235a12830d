# Helpers shared by the end-to-end tests and the measurement under bench/e2e.
# Source after xvfb.sh.

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

# Sleeps until the moment `$1` milliseconds after `$2` (both in ms since the epoch).
sleep_until() {
  local wait=$(($2 + $1 - $(now_ms)))
  if [ "$wait" -gt 0 ]; then sleep "$(printf '%d.%03d' $((wait / 1000)) $((wait % 1000)))"; fi
}

# Waits until process `$1` has a visible window (SDL marks its windows with _NET_WM_PID);
# prints the moment it saw it. Fails after 20 s or when the process is gone.
wait_for_window() {
  local pid=$1 deadline=$(($(now_ms) + 20000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then return 1; fi
    if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then
      now_ms
      return 0
    fi
    sleep 0.02
  done
  return 1
}

# The number of pixels of two same-sized pictures that differ by more than `$3` percent in
# some channel; areas listed in `$4` ("x0,y0 x1,y1;..." inclusive corners) are left out of
# both. Writes the picture of the differences to `$5`.
count_differences() {
  local a=$1 b=$2 fuzz=$3 masks=$4 diff_out=$5
  local draw=()
  local IFS=';'
  for m in $masks; do draw+=(-draw "rectangle $m"); done
  unset IFS
  local ma mb
  ma=$(mktemp --suffix=.ppm)
  mb=$(mktemp --suffix=.ppm)
  convert "$a" -fill black "${draw[@]}" "$ma"
  convert "$b" -fill black "${draw[@]}" "$mb"
  # compare prints the count on standard error and exits with 1 when the pictures differ.
  local count
  count=$(compare -metric AE -fuzz "$fuzz%" "$ma" "$mb" "$diff_out" 2>&1 >/dev/null || true)
  rm -f "$ma" "$mb"
  printf '%.0f\n' "$count"
}
