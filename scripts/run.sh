#!/usr/bin/env bash
# Sets up, builds the Release program, makes the demo base folder build/demo and starts the
# program there with eight simulated units. Extra arguments go to the program
# (e.g. --log-stdout). Without a display (no $DISPLAY, no Wayland) it runs under xvfb-run; the
# Qt platform is taken from QT_QPA_PLATFORM when that is set.
#   scripts/run.sh --smoke   the same from the build folder build/smoke (Release, warnings as
#                            errors) and a new demo folder, then an automatic run that ends by
#                            itself and is checked (scripts/smoke.sh); CI runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [[ "${1:-}" == --smoke ]]; then
  # Fresh counts: the journal and the records hold this run only.
  rm -rf build/smoke/demo
  bash scripts/make_demo.sh build/smoke build/smoke/demo -DZV_WERROR=ON
  exec bash scripts/smoke.sh build/smoke build/smoke/demo
fi

# BUILD names another build folder (e.g. one the smoke has built).
BUILD=${BUILD:-build/release}
DEMO=build/demo
bash scripts/make_demo.sh "$BUILD" "$DEMO"

# The demo starts with a demo project loaded, so "Run Program" is ready at once.
project=()
if [[ -f "$DEMO/Projects/CV25Q64.zvprj" ]]; then project=(--project "$DEMO/Projects/CV25Q64.zvprj"); fi
# The simulated units keep their SD cards below the demo folder, for the SD card pages.
run=("$BUILD/bin/gangprog" --simulate 8 --base-dir "$DEMO" --sim-cards "$DEMO/SimCards"
  "${project[@]}" "$@")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display, starting under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "${run[@]}"
fi
exec "${run[@]}"
