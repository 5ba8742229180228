#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for the given number of
# seconds (default 60; TARGETS_ONLY="a b" limits the run to those targets). Seeds come from
# fuzz/corpus/<target>; the growing corpus and any crash files stay in build/fuzz (crash-*
# files make the script fail).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
TARGETS=(fuzz_project_ini fuzz_menu_record fuzz_group_define fuzz_select_list fuzz_step_reply
         fuzz_unit_info fuzz_firmware_image fuzz_card_reply fuzz_card_list fuzz_serve_request)
bash scripts/setup.sh
if [[ -n "${TARGETS_ONLY:-}" ]]; then read -r -a TARGETS <<<"$TARGETS_ONLY"; fi

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZV_FUZZ=ON -DZV_BUILD_GUI=OFF -DZV_SANITIZE=address,undefined \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link
cmake --build build/fuzz --target "${TARGETS[@]}" -j "${JOBS:-2}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${TARGETS[@]}"; do
  corpus=build/fuzz/corpus/$target
  artifacts=build/fuzz/artifacts/$target/
  mkdir -p "$corpus" "$artifacts"
  cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $target for ${SECONDS_EACH}s"
  if ! build/fuzz/bin/"$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" \
       >build/fuzz/"$target".log 2>&1; then
    echo "fuzz: $target FAILED, see build/fuzz/$target.log and $artifacts"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^Done" build/fuzz/"$target".log || true
done
exit $status
