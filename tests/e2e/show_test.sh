#!/usr/bin/env bash
# The real program on a virtual X server, against the headless runner.
#
#   show_test.sh BUILD_DIR [OUT_DIR]
#
# Uses the X server in $E2E_DISPLAY when given (scripts/test.d/50-e2e.sh starts one), else
# starts its own. A known wallpaper goes on the root window; the program is started with no
# arguments; screenshots of the root window are compared with the headless stills of the same
# show time over the same wallpaper:
#   -  8.5 s: the first heart, complete and held from 8.0 s to 9.0 s: everything compared;
#   - 62.0 s: the greeting on the frozen frame, with the rain falling: the four columns where
#     roses fall are left out, the rest compared;
# then Esc during the rain must end the program with exit code 0 within two seconds.
#
# Tolerance: both pictures come from the same compositor over the same desktop, so they are
# expected to agree exactly; a pixel counts as different beyond 2 % in some channel, and at
# most 0.05 % of the compared pixels (about 1000 of 2 million) may differ. A heart one rose
# short, a shifted or rescaled frame, swapped colour channels or a desktop that was not
# captured each change tens of thousands of pixels.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
out=${2:-$(mktemp -d /tmp/e2e-show.XXXXXX)}
mkdir -p "$out"
. "$here/xvfb.sh"
. "$here/lib.sh"

program=$build/birthday-show
headless=$build/tools/show-headless
wallpaper_tool=$build/tests/e2e/e2e-wallpaper
for f in "$program" "$headless" "$wallpaper_tool"; do
  [ -x "$f" ] || { echo "missing $f (build first)"; exit 1; }
done

if [ -n "${E2E_DISPLAY:-}" ]; then
  export DISPLAY=$E2E_DISPLAY
  unset WAYLAND_DISPLAY
else
  start_xvfb
  trap stop_xvfb EXIT
fi
read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2] }')
"$wallpaper_tool" "$width" "$height" "$out/wallpaper.bmp"

# The moments, in show time (ms).
heart_ms=8500
greeting_ms=62000
esc_ms=64000

"$headless" --size "${width}x$height" --desktop "$out/wallpaper.bmp" \
  --still-at "$heart_ms:$out/headless-heart.ppm" \
  --still-at "$greeting_ms:$out/headless-greeting.ppm" --esc-at "$esc_ms"

start=$(now_ms)
SDL_AUDIODRIVER=dummy "$program" >"$out/program.out" 2>"$out/program.err" &
pid=$!
if ! shown=$(wait_for_window "$pid"); then
  echo "FAIL: the program showed no window"; cat "$out/program.err"; exit 1
fi
# Show time runs from the program's own start, between launching it and its window showing.
# Shooting at `shown` + 8.25 s puts the shot between 8.25 s and 8.25 s + (shown - start) of
# show time; the heart is held until 9.0 s.
startup=$((shown - start))
echo "window shown ${startup} ms after the launch"
if [ "$startup" -gt 500 ]; then
  echo "FAIL: the window took ${startup} ms to show; the screenshot moments assume < 500 ms"
  kill "$pid"; exit 1
fi
sleep_until 8250 "$shown"
import -window root "$out/real-heart.png"
sleep_until 61800 "$shown"
import -window root "$out/real-greeting.png"
sleep_until "$esc_ms" "$start"
xdotool key Escape
esc_sent=$(now_ms)
code=0
wait "$pid" || code=$?
ended=$(now_ms)

status=0
if [ "$code" -ne 0 ]; then
  echo "FAIL: exit code $code after Esc (expected 0)"; status=1
fi
if [ $((ended - esc_sent)) -gt 2000 ]; then
  echo "FAIL: the program ended $((ended - esc_sent)) ms after Esc"; status=1
fi
echo "Esc: exit code $code, $((ended - esc_sent)) ms after the key"

limit=$((width * height / 2000))
compare_at() {
  local name=$1 masks=$2
  local n
  n=$(count_differences "$out/real-$name.png" "$out/headless-$name.ppm" 2 "$masks" \
      "$out/diff-$name.png")
  echo "$name: $n pixels differ (limit $limit)"
  if [ "$n" -gt "$limit" ]; then
    echo "FAIL: the screen at the $name differs from the headless still (see $out)"; status=1
  fi
}
compare_at heart ""
# The falling columns: clone i of family k stands at trunc(i * (width of k + i + 130)).
compare_at greeting "243,0 419,$height;488,0 696,$height;735,0 975,$height;984,0 1256,$height"

[ "$status" -eq 0 ] && echo "ok (pictures in $out)"
exit "$status"
