#!/usr/bin/env bash
# Builds the Debian package of the program with CPack:
#   scripts/package.sh OUT-DIR [BUILD-DIR]
# BUILD-DIR (default build/release, configured as Release when new) gets the programs and the
# resource pack built; the package lands in OUT-DIR and its path is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)); then
  echo "usage: $0 OUT-DIR [BUILD-DIR]" >&2
  exit 2
fi
OUT=$1
BUILD=${2:-build/release}
JOBS=${JOBS:-$(nproc)}
bash scripts/setup.sh

if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# Only what the package holds; the install step does not build everything else first.
cmake --build "$BUILD" -j "$JOBS" --target gangprog gangprog-cli zv_plus

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
# CPack stages the installation below OUT; it goes once the package is made.
trap 'rm -rf "$OUT/_CPack_Packages"' EXIT
(cd "$BUILD" && cpack -G DEB -B "$OUT" >/dev/null)
ls -1 "$OUT"/gangprog_*.deb
