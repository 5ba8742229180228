#!/usr/bin/env bash
# Builds with warnings as errors and runs every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the threaded tests again under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

JOBS=${JOBS:-$(nproc)}
# Paths below the checkout are hashed relative to it, so the compiler cache serves any clone.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZV_WERROR=ON \
      -DZV_SANITIZE=address,undefined
cmake --build build/asan -j "$JOBS"
ctest --test-dir build/asan --output-on-failure -j "$JOBS"

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZV_WERROR=ON \
      -DZV_SANITIZE=thread -DZV_BUILD_GUI=OFF
cmake --build build/tsan -j "$JOBS"
ctest --test-dir build/tsan --output-on-failure -j "$JOBS" -L threaded
