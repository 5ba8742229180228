#!/usr/bin/env bash
# Sets up, builds the Release program, makes the demo base folder build/demo and starts the
# program there with eight simulated units. Extra arguments go to the program
# (e.g. --log-stdout). Without a display (no $DISPLAY, no Wayland) it runs under xvfb-run; the
# Qt platform is taken from QT_QPA_PLATFORM when that is set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

JOBS=${JOBS:-$(nproc)}
BUILD=build/release
DEMO=build/demo

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null

# The program, and the demo makers once they are part of the build.
has_target() { ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q "^$1:"; }
targets=(gangprog)
for tool in make_demo_db make_project; do
  if has_target "$tool"; then targets+=("$tool"); fi
done
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

# The demo base folder: settings, database, demo projects.
mkdir -p "$DEMO/System"
# The demo shows every log line, so that a first look sees the units being greeted and
# identified; an installed program keeps its own settings ("Essential" by default).
if [[ ! -f "$DEMO/System/System.ini" ]]; then
  printf '[System]\r\nLogDisplayMode=2\r\n' >"$DEMO/System/System.ini"
fi
if [[ -x "$BUILD/bin/make_demo_db" ]]; then
  "$BUILD/bin/make_demo_db" "$DEMO"
elif [[ ! -f "$DEMO/DataBase/Update/Select.SEL" ]]; then
  # Without the database maker: an empty driver index, so that the start-up still succeeds.
  mkdir -p "$DEMO/DataBase/Update"
  printf '[Select]\r\n0\r\n' >"$DEMO/DataBase/Update/Select.SEL"
fi
if [[ -x "$BUILD/bin/make_project" ]]; then
  mkdir -p "$DEMO/Projects"
  "$BUILD/bin/make_project" --demo "$DEMO" "$DEMO/Projects" >/dev/null
fi

# The demo starts with a demo project loaded, so "Run Program" is ready at once.
project=()
if [[ -f "$DEMO/Projects/CV25Q64.zvprj" ]]; then project=(--project "$DEMO/Projects/CV25Q64.zvprj"); fi
run=("$BUILD/bin/gangprog" --simulate 8 --base-dir "$DEMO" "${project[@]}" "$@")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display, starting under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "${run[@]}"
fi
exec "${run[@]}"
