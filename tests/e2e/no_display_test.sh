#!/usr/bin/env bash
# Without a reachable display the program says so on standard error and exits with 1 at once:
# with DISPLAY and WAYLAND_DISPLAY unset, and with DISPLAY naming an X server that is not there.
set -uo pipefail
program=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
absent=900
while [ -e "/tmp/.X11-unix/X$absent" ]; do absent=$((absent + 1)); done
status=0
check() {
  local name=$1
  shift
  env "$@" SDL_AUDIODRIVER=dummy timeout 20 "$program" 2>"$err"
  local code=$?
  if [ "$code" -ne 1 ]; then
    echo "FAIL ($name): expected exit code 1, got $code"; cat "$err"; status=1
  elif ! grep -q "no display is available" "$err"; then
    echo "FAIL ($name): standard error does not say that no display is available:"; cat "$err"
    status=1
  else
    echo "ok ($name): $(grep "no display" "$err")"
  fi
}
check "no session" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
check "X server gone" -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=":$absent"
exit $status
