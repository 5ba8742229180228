#!/usr/bin/env bash
# Starts the program under a virtual X server with eight simulated units on the demo base folder
# and saves PNGs of the screen: scripts/screenshot.sh [mode] [out-dir] [seconds]
#   idle    (default) the main window after the start-up: main_window.png
#   run     a demo project loaded and the automatic run going with failing parts (WORKING,
#           PASS, FAIL, PUT and TAKE panels, the statistics): main_window_run.png; then the
#           project window over it: project_window.png
#   dashboard  gangprog-cli serve during an automatic run with failing parts, its dashboard in
#           headless Chromium: dashboard.png
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

MODE=${1:-idle}
OUTDIR=${2:-build/shots}
WAIT=${3:-8}
BUILD=${BUILD:-build/release}
DEMO=${DEMO:-build/demo}
PROJECT=${PROJECT:-$DEMO/Projects/CV25Q64.zvprj}
mkdir -p "$OUTDIR"

# The station server needs no window: its own build targets and a base folder of its own.
if [[ "$MODE" == dashboard ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" -j "${JOBS:-2}" --target gangprog-cli zv_plus make_demo_db make_project
  exec /usr/bin/python3 tests/serve/test_dashboard.py --cli "$BUILD/bin/gangprog-cli" \
    --make-db "$BUILD/bin/make_demo_db" --make-project "$BUILD/bin/make_project" \
    --plus "$BUILD/bin/System/Plus.dll" --fail-rate 0.2 --shot "$OUTDIR/dashboard.png"
fi
JOBS=${JOBS:-2} bash scripts/make_demo.sh "$BUILD" "$DEMO"

# Inside the virtual server: start, wait, take the picture, end the program in order.
shoot() {
  local out=$1
  shift
  xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    out=$1 wait=$2
    shift 2
    "$@" >/dev/null 2>&1 &
    pid=$!
    sleep "$wait"
    import -window root "$out"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  ' screenshot "$out" "$WAIT" "$@"
  echo "screenshot: $out"
}

export QT_QPA_PLATFORM=xcb
program=("$BUILD/bin/gangprog" --simulate 8 --base-dir "$DEMO")
case "$MODE" in
  idle) shoot "$OUTDIR/main_window.png" "${program[@]}" ;;
  run)
    # Short runs against the operator's hand and the loop's poll: every panel state shows at once;
    # about a third of the parts fail.
    running=("${program[@]}" --project "$PROJECT" --sim-fail-rate 0.35 --sim-speed 16 --auto-run)
    shoot "$OUTDIR/main_window_run.png" "${running[@]}"
    shoot "$OUTDIR/project_window.png" "${running[@]}" --project-window
    ;;
  *)
    echo "screenshot: unknown mode $MODE (idle, run or dashboard)" >&2
    exit 2
    ;;
esac
