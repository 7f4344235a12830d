# A few seconds of libFuzzer on each picture decoder, in build-fuzz with the sanitizers.
set -euo pipefail
scripts/fuzz-long --seconds 5
