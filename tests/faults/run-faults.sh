#!/usr/bin/env bash
# Runs the show under every fault the fault runner can inject, two runs at a time, each with a
# time limit, and fails when any run ends otherwise than documented (see fault_show.cpp).
#
#   run-faults.sh FAULT_SHOW [--seed N] [--count N] [--jobs N] [--work DIR]
#
# FAULT_COUNT in the environment sets the default count (200); FAULT_QUICK=1 refuses only one
# picture of each scene instead of every one; FAULT_SIZE=WxH runs every show on that screen. The
# sanitizer stage, where a show runs ten times slower, uses all three.
#
# Esc comes at `count` moments drawn from a seeded sequence over the whole show, and at the
# edges read from a reference run's trace: during loading, inside each kind of delay, at the
# first burst-timer tick, during the burst and at the countdown tick.
set -euo pipefail
bin=$1
shift
seed=1
count=${FAULT_COUNT:-200}
jobs=2
work=
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "run-faults.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$work" ]; then work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; fi
mkdir -p "$work"
limit=${FAULT_TIME_LIMIT:-120}
start=$(date +%s.%N)

# The reference run: no fault at all.
if ! timeout -k 5 "$limit" "$bin" --trace "$work/ref.trace" ${FAULT_SIZE:+--size $FAULT_SIZE} \
  2>"$work/ref.err"; then
  echo "run-faults.sh: the reference run failed:" >&2
  cat "$work/ref.err" >&2
  exit 1
fi
end_ms=$(awk '$2 == "Exit" { print $1 }' "$work/ref.trace")

cases=$work/cases
: >"$cases"
add() { printf '%s|%s|%s\n' "$1" "$2" "$3" >>"$cases"; }  # expected exit, environment, args

# Esc at the edges.
{
  echo 0
  echo 1
  # Inside the first delay of every length.
  awk '$2 == "Delay" && $3 > 1 && !seen[$3]++ { print $1 + int($3 / 2) }' "$work/ref.trace"
  awk '$2 == "Tick" && $3 == "时钟2" { n++; if (n == 1) print $1; if (n == 30) print $1 + 1000 }' \
    "$work/ref.trace"
  awk '$2 == "Tick" && $3 == "时钟1" { print $1 - 1; print $1; exit }' "$work/ref.trace"
  echo $((end_ms + 1000))
} | sort -nu >"$work/edges"
# Esc at seeded random moments over the whole show and a little beyond.
awk -v seed="$seed" -v n="$count" -v end="$end_ms" \
  'BEGIN { srand(seed); for (i = 0; i < n; ++i) print int(rand() * (end + 2000)) }' >"$work/moments"
while read -r ms; do add 0 "" "--esc-at $ms"; done <"$work/edges"
# The timeline does not depend on the screen's size; a small screen draws faster.
while read -r ms; do add 0 "" "--esc-at $ms --size 800x600"; done <"$work/moments"

# The audio device missing, hung from the start and hung in the middle of the clip.
add 0 "" "--no-audio"
add 0 "" "--stall-audio-after 0"
add 0 "" "--stall-audio-after 5"
add 0 "" "--stall-audio-after 5 --esc-at 70000"
# Every picture the show loads failing in turn, and all of them.
pictures=$(awk '$2 == "LoadPicture" { print $3 }' "$work/ref.trace" | sort -u)
if [ -n "${FAULT_QUICK:-}" ]; then
  # One picture of each scene: the hearts, the greeting, the cake and the burst's rose.
  pictures="RosePic01 GreetingPic1 CakePic RosePic06"
fi
for name in $pictures; do
  add 0 "" "--fail-picture $name"
done
add 0 "" "--fail-picture all --esc-at 80000"
# No font at all.
printf '<?xml version="1.0"?>\n<fontconfig></fontconfig>\n' >"$work/empty-fonts.conf"
add 0 "FONTCONFIG_FILE=$work/empty-fonts.conf" ""
# The desktop capture failing.
add 0 "" "--no-desktop"
add 0 "" "--no-desktop --esc-at 65000"
# A fatal report from a worker: during the parade (served when the loop starts), the rain and
# the burst.
for ms in 10000 70000 100000; do add 255 "" "--fatal-at $ms"; done
# Faults together.
add 0 "" "--no-audio --no-desktop --fail-picture RosePic06 --esc-at 100000"

run_one() {
  local n=$1 expected=$2 env=$3 args=$4
  local status=0
  # shellcheck disable=SC2086
  env $env timeout -k 5 "$limit" "$bin" $args ${FAULT_SIZE:+--size $FAULT_SIZE} \
    >"$work/$n.out" 2>"$work/$n.err" || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "FAILED ($status, expected $expected): ${env:+$env }fault_show $args"
    tail -5 "$work/$n.err" | sed 's/^/    /'
    return 1
  fi
  rm -f "$work/$n.out" "$work/$n.err"
}
export -f run_one
export bin work limit FAULT_SIZE

total=$(wc -l <"$cases")
status=0
nl -ba -w1 -s'|' "$cases" |
  xargs -d '\n' -P "$jobs" -I{} bash -c 'IFS="|" read -r n e v a <<<"$1"; run_one "$n" "$e" "$v" "$a"' _ {} \
  >"$work/failures" || status=1
failed=$(grep -c '^FAILED' "$work/failures" || true)
cat "$work/failures"
wall=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
echo "faults: $((total - failed)) of $total runs ended as documented (seed $seed) in ${wall} s"
[ "$failed" -eq 0 ] && [ $status -eq 0 ]
