# End-to-end: the real program on a virtual X server of this stage's own, compared with the
# headless runner (about 70 s, most of it the show's own delays). The whole 2.5-minute show
# is the `long` ctest label: ctest --test-dir build -L long
set -euo pipefail
scripts/build
started=$(date +%s)
. tests/e2e/xvfb.sh
start_xvfb
trap stop_xvfb EXIT
out=build/e2e
rm -rf "$out"
status=0
ctest --test-dir build --output-on-failure -R '^e2e_without_display$' || status=1
E2E_DISPLAY=$DISPLAY tests/e2e/show_test.sh build "$out" || status=1
echo "e2e stage took $(($(date +%s) - started)) s (pictures in $out)"
exit $status
