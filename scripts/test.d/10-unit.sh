# The main build and every registered test.
set -euo pipefail
scripts/build
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --label-exclude long
