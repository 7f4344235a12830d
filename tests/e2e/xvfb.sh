# Starting and stopping a virtual X server for the end-to-end tests and measurements.
# Source this file; it defines start_xvfb and stop_xvfb.

# Starts Xvfb on a free display number with one 1920x1080x24 screen (or $XVFB_SCREEN) and
# exports DISPLAY. The server picks the number itself, so parallel runs never collide.
start_xvfb() {
  local screen=${XVFB_SCREEN:-1920x1080x24}
  local fifo
  fifo=$(mktemp -u /tmp/xvfb-display.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>"${XVFB_LOG:-/dev/null}" &
  XVFB_PID=$!
  local number=""
  if ! read -r -t 20 number <"$fifo"; then number=""; fi
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "xvfb: the virtual X server did not start" >&2
    kill "$XVFB_PID" 2>/dev/null || true
    return 1
  fi
  export DISPLAY=":$number"
  unset WAYLAND_DISPLAY
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
