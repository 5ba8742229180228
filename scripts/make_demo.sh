#!/usr/bin/env bash
# Builds what the demo needs in the Release build and makes the demo base folder: settings,
# resource pack, driver database and demo projects. scripts/make_demo.sh [build-dir] [demo-dir]
# (defaults build/release and build/demo). run.sh and screenshot.sh call it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/release}
DEMO=${2:-build/demo}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null

# The programs and the resource pack, and the demo makers once they are part of the build.
has_target() { ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q "^$1:"; }
targets=(gangprog)
for target in gangprog-cli zv_plus make_demo_db make_project; do
  if has_target "$target"; then targets+=("$target"); fi
done
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

mkdir -p "$DEMO/System"
# The demo shows every log line, so that a first look sees the units being greeted and
# identified; an installed program keeps its own settings ("Essential" by default).
if [[ ! -f "$DEMO/System/System.ini" ]]; then
  printf '[System]\r\nLogDisplayMode=2\r\n' >"$DEMO/System/System.ini"
fi
# The program looks for its resource pack below the base folder; without it no project loads.
if [[ -f "$BUILD/bin/System/Plus.dll" ]]; then
  cp -f "$BUILD/bin/System/Plus.dll" "$DEMO/System/Plus.dll"
fi
if [[ -x "$BUILD/bin/make_demo_db" ]]; then
  "$BUILD/bin/make_demo_db" "$DEMO" >/dev/null
elif [[ ! -f "$DEMO/DataBase/Update/Select.SEL" ]]; then
  # Without the database maker: an empty driver index, so that the start-up still succeeds.
  mkdir -p "$DEMO/DataBase/Update"
  printf '[Select]\r\n0\r\n' >"$DEMO/DataBase/Update/Select.SEL"
fi
if [[ -x "$BUILD/bin/make_project" ]]; then
  mkdir -p "$DEMO/Projects"
  "$BUILD/bin/make_project" --demo "$DEMO" "$DEMO/Projects" >/dev/null
fi
