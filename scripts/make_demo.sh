#!/usr/bin/env bash
# Builds what the demo needs in the Release build and makes the demo base folder: settings,
# resource pack, driver database and demo projects.
#   scripts/make_demo.sh [build-dir] [demo-dir] [cmake options...]
# (defaults build/release and build/demo; the options go to the configure step). run.sh and
# screenshot.sh call it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/release}
DEMO=${2:-build/demo}
JOBS=${JOBS:-$(nproc)}
# Paths below the checkout are hashed relative to it, so the compiler cache serves any clone.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release "${@:3}" >/dev/null

# The programs, the resource pack and the demo makers. Named outright: a look at the build's
# target list through a pipe could fail on its own and silently leave the makers unbuilt.
cmake --build "$BUILD" -j "$JOBS" --target gangprog gangprog-cli zv_plus make_demo_db make_project

mkdir -p "$DEMO/System"
# The demo shows every log line, so that a first look sees the units being greeted and
# identified; an installed program keeps its own settings ("Essential" by default).
if [[ ! -f "$DEMO/System/System.ini" ]]; then
  printf '[System]\r\nLogDisplayMode=2\r\n' >"$DEMO/System/System.ini"
fi
# The program looks for its resource pack below the base folder; without it no project loads.
cp -f "$BUILD/bin/System/Plus.dll" "$DEMO/System/Plus.dll"
"$BUILD/bin/make_demo_db" "$DEMO" >/dev/null
mkdir -p "$DEMO/Projects"
"$BUILD/bin/make_project" --demo "$DEMO" "$DEMO/Projects" >/dev/null
