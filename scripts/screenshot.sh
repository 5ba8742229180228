#!/usr/bin/env bash
# Starts the program under a virtual X server with eight simulated units on a demo base folder
# and saves a PNG of the screen with the main window: scripts/screenshot.sh [out.png] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

OUT=${1:-build/shots/main_window.png}
WAIT=${2:-8}
BUILD=${BUILD:-build/release}
DEMO=${DEMO:-build/demo}
JOBS=${JOBS:-2}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(gangprog)
if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q "^make_demo_db:"; then
  targets+=(make_demo_db)
fi
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

mkdir -p "$DEMO/System" "$(dirname "$OUT")"
# The demo shows every log line, so that a first look sees the units being greeted and
# identified; an installed program keeps its own settings ("Essential" by default).
if [[ ! -f "$DEMO/System/System.ini" ]]; then
  printf '[System]\r\nLogDisplayMode=2\r\n' >"$DEMO/System/System.ini"
fi
if [[ -x "$BUILD/bin/make_demo_db" ]]; then
  "$BUILD/bin/make_demo_db" "$DEMO" >/dev/null
elif [[ ! -f "$DEMO/DataBase/Update/Select.SEL" ]]; then
  mkdir -p "$DEMO/DataBase/Update"
  printf '[Select]\r\n0\r\n' >"$DEMO/DataBase/Update/Select.SEL"
fi

# Inside the virtual server: start, let the units be found, take the picture, end the program.
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1100x800x24" bash -c '
  "$1" --simulate 8 --base-dir "$2" >/dev/null 2>&1 &
  pid=$!
  sleep "$3"
  import -window root "$4"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' screenshot "$BUILD/bin/gangprog" "$DEMO" "$WAIT" "$OUT"
echo "screenshot: $OUT"
