#!/usr/bin/env bash
# The whole show on a virtual X server of its own: the program must end by itself, with exit
# code 0, about 145 s after its start (its delays add up to 145.3 s).
#
#   whole_show_test.sh BUILD_DIR [degraded]
#
# `degraded` runs it without what a desktop may lack: the audio driver fails to start and
# fontconfig knows no font at all. The show must still run its course and end the same way.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mode=${2:-normal}
. "$here/xvfb.sh"
. "$here/lib.sh"
work=$(mktemp -d /tmp/e2e-whole.XXXXXX)
cleanup() {
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb
"$build/tests/e2e/e2e-wallpaper" 1920 1080 "$work/wallpaper.bmp"

env_args=(SDL_AUDIODRIVER=dummy)
if [ "$mode" = degraded ]; then
  cat >"$work/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><cachedir>$work/font-cache</cachedir></fontconfig>
CONF
  env_args=(SDL_AUDIODRIVER=no-such-driver FONTCONFIG_FILE="$work/fonts.conf")
fi

start=$(now_ms)
code=0
env "${env_args[@]}" timeout 200 "$build/birthday-show" 2>"$work/program.err" || code=$?
elapsed=$(($(now_ms) - start))
echo "$mode run: exit code $code after ${elapsed} ms"
if [ "$code" -ne 0 ]; then
  echo "FAIL: expected exit code 0"; cat "$work/program.err"; exit 1
fi
# The delays alone take 145.3 s and start-up and drawing add about 1 s on a quiet machine
# (bench/e2e/run.sh measures it against its 2 s target). Drawing competes for the processor,
# so a busy machine makes the show later; up to 15 s of that is accepted here.
if [ "$elapsed" -lt 145000 ] || [ "$elapsed" -gt 160000 ]; then
  echo "FAIL: the show should end about 145 s after its start"; exit 1
fi
echo ok
