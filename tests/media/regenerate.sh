#!/usr/bin/env bash
# Runs the media generator into a fresh folder and compares every file with the committed
# copy in media/, byte for byte.
set -uo pipefail
mediagen=$1
committed=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! "$mediagen" "$out" 2>"$out/.log"; then
  cat "$out/.log"
  echo "mediagen failed"
  exit 1
fi
status=0
for file in "$committed"/*.gif "$committed"/*.wav "$committed"/*.mp3 "$committed"/*.ico; do
  name=$(basename "$file")
  if ! cmp -s "$file" "$out/$name"; then
    echo "differs from the committed copy: $name"
    status=1
  fi
done
count=$(ls "$out" | wc -l)
if [ "$count" -ne 23 ]; then
  echo "mediagen wrote $count files, not 23"
  status=1
fi
if [ $status -ne 0 ]; then
  # A different font file or MP3 encoder explains a difference; say so plainly.
  grep -i warning "$out/.log" || echo "(same font file and MP3 encoder as the committed media)"
fi
exit $status
