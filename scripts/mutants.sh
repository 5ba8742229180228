#!/usr/bin/env bash
# Do the tests catch faults? Each mutant below is one deliberate small fault in the link,
# site, log or project code. The script copies the tree to a temporary folder (the working
# tree is never touched), builds it once (Debug, no sanitizers, no windows), then for each
# mutant applies its sed edit to the copy, rebuilds only the test programs that cover that
# code, runs them, and puts the file back. A mutant is KILLED when a test fails (or a test
# program crashes or hangs past the time limit), SURVIVED when all pass.
#
#   scripts/mutants.sh            the tests of the working tree
#   scripts/mutants.sh <git-ref>  the tests folder of <git-ref> against today's code
#   MUTANTS=3,7 scripts/mutants.sh   only the mutants with these numbers
#
# Run by hand; it takes a while on two cores. Needs cmake, ninja, sed; ccache if present.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESTS_REF=${1:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/zv_mutants.XXXXXX")
SRC=$WORK/src
BUILD=$WORK/build
LOG=$WORK/log
JOBS=${JOBS:-2}
TEST_TIMEOUT=${TEST_TIMEOUT:-300}
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$SRC" "$LOG"
export CCACHE_BASEDIR=$WORK

LINK_TESTS="test_link_frames test_link_policy_table test_link_usb test_link_exchange test_link_transfer_faults"
SITE_TESTS="test_site_worker test_site_wait test_site_rescan test_site_operations test_site_parallel"
LOG_TESTS="test_log_filter test_log_files test_log_queue"
MENU_TESTS="test_menu_record"

# number | file | test groups | sed script (the rest of the line)
MUTANTS_TABLE=$(
  cat <<'EOF'
1|link/bulk_exchange.cpp|LINK|/^ChunkPlan ReceiveBufferFixedPlan/,/^}/ s/n <= kSmallChunk/n < kSmallChunk/
2|link/bulk_exchange.cpp|LINK|/^ChunkPlan SendBufferFixedPlan/,/^}/ s/: kLargeChunk/: n/
3|link/bulk_exchange.cpp|LINK|/if (!link.BulkRead(ack.data()/{n;s/!= SiteResultCode::Pass/== SiteResultCode::Pass/}
4|link/bulk_exchange.cpp|LINK|s/if (!link.BulkRead(ack.data()/if (link.BulkRead(ack.data()/
5|link/bulk_exchange.cpp|LINK|/if (link.BulkRead(ack.data()/s/ &&$/ ||/
6|link/bulk_exchange.cpp|LINK|/^SiteResult SendFileRange/,/^}/ s/ack\[0\] = SiteResultCode::Fail;/ack[0] = SiteResultCode::Pass;/
7|link/bulk_exchange.cpp|LINK|/^SiteResult SendChunks/,/^}/ s/ack\[0\] = SiteResultCode::Pass;/ack[0] = SiteResultCode::Fail;/
8|link/bulk_exchange.cpp|LINK|s@link.BulkWrite(ack.data(), static_cast<int>(ack.size()));  // a lost ack does not stop it@if (!link.BulkWrite(ack.data(), static_cast<int>(ack.size()))) return SiteResultCode::Fail;@
9|link/bulk_exchange.cpp|LINK|/^SiteResult ReceiveChunks/,/^}/ s/ack\[0\] = SiteResultCode::Pass;/ack[0] = SiteResultCode::Fail;/
10|link/bulk_exchange.cpp|LINK|/^SiteResult SendChunks/,/^}/ s/link.Sleep(kChunkPause);//
11|link/bulk_exchange.cpp|LINK|s/std::memset(chunk + got, kFill, plan.Length - got);//
12|link/bulk_exchange.cpp|LINK|s/std::fread(chunk, 1, plan.Length, file.get())/std::fread(chunk, 1, static_cast<std::size_t>(std::min<std::uint64_t>(plan.Length, regionLength)), file.get())/
13|link/bulk_exchange.cpp|LINK|s/" - Send Data Fail!"/" - Send Data Fail"/
14|link/bulk_exchange.cpp|LINK|/^SiteResult ReceiveChunks/,/^}/ s/ - Get Data Fail!/ - Get Data Fail/
15|link/bulk_exchange.cpp|LINK|/^SiteResult SendBufferFixed(/,/^}/ s/PresenceCheck::None/PresenceCheck::Ask/
16|link/bulk_exchange.h|LINK|s/inline constexpr std::uint32_t kLargeChunk = 1048576;/inline constexpr std::uint32_t kLargeChunk = 1048575;/
17|link/zv_usb.h|LINK|s/MaxWriteAttempts = 2;/MaxWriteAttempts = 3;/
18|link/zv_usb.cpp|LINK|s/usb.resetep(use.Get(), UnitUsb::EndpointOut);/usb.resetep(use.Get(), UnitUsb::EndpointIn);/
19|link/zv_usb.cpp|LINK|s/  Device = FindFreeDevice();/  Device = Device.load();/
20|link/zv_usb.cpp|LINK SITE|/^void USB::CloseDevice/,/^}/ {/Busy = 0;/d}
21|link/zv_usb.cpp|LINK|/^OpenOutcome USB::TryOpenDevice/,/^}/ {/NamedLockGuard unitLock/d}
22|link/link_table.cpp|LINK|/^void LinkTable::SortLinksByKey/,/^}/ s/GetOrderKey() < /GetOrderKey() <= /
23|link/bulk_exchange.h|LINK|s/inline constexpr std::uint32_t kSmallChunk = 1024;/inline constexpr std::uint32_t kSmallChunk = 1023;/
24|site/command.cpp|SITE|s/ || opcode == Opcodes::CloseNotice//
25|site/rescan.cpp|SITE|/^void OfferDevice/,/^}/ {/if (SiteInUse(system, site)) continue;/d}
26|site/rescan.cpp|SITE|s/if (!system.Engine().AnyRunning()) system.Links().SortLinksByKey();/system.Links().SortLinksByKey();/
27|site/rescan.cpp|SITE|/^void ShowBoundSites/,/^}/ {/if (SiteInUse(system, site)) continue;/d}
28|site/site_wait.cpp|SITE|s/ || status == siPut//
29|site/ops/unit_notice_ops.cpp|SITE|s/if (answer == SiteResultCode::Pass || answer == SiteResultCode::Fail) result = answer;/result = answer;/
30|site/site_engine.cpp|SITE|s/  if (!ValidSite(site)) return false;/  if (site < 0 || site > kSiteCount) return false;/
31|log/core/log_files.cpp|LOG|s/".TXT"/".txt"/
32|log/core/log_files.cpp|LOG|s/CountFilesInDir(folder) + 1/CountFilesInDir(folder) + 2/
33|log/core/log_files.cpp|LOG|s/if (rows >= LogLimit::MaxRows) return LogLimit::MaxRows;/if (rows > LogLimit::MaxRows) return LogLimit::MaxRows - 1;/
34|project/menu_record.cpp|MENU|s/constexpr std::size_t kField6Size = 6;/constexpr std::size_t kField6Size = 5;/
35|project/menu_record.cpp|MENU|/case MenuValueType::Int32B:/d
36|project/menu_record.cpp|MENU|/case MenuValueType::Field6B:/d;s/case MenuValueType::Int32B:/case MenuValueType::Int32B:\n    case MenuValueType::Field6B:/
37|project/menu_record.cpp|MENU|s/value > std::numeric_limits<std::uint32_t>::max()/value >= std::numeric_limits<std::uint32_t>::max()/
38|project/menu_record.cpp|MENU|s/if (next >= lines.size()) return MenuPackResult::ValuesExhausted;/if (next > lines.size()) return MenuPackResult::ValuesExhausted;/
EOF
)

say() { printf '%s\n' "$*"; }

copy_tree() {
  tar -C "$ROOT" --exclude=./build --exclude=./.git -cf - . | tar -C "$SRC" -xf -
  if [[ -n $TESTS_REF ]]; then
    rm -rf "$SRC/tests"
    git -C "$ROOT" archive "$TESTS_REF" tests | tar -C "$SRC" -xf - || exit 2
  fi
}

# The programs of a group that exist in the copy's tests.
programs_of() {
  local group list name
  for group in $1; do
    case $group in
      LINK) list=$LINK_TESTS ;;
      SITE) list=$SITE_TESTS ;;
      LOG) list=$LOG_TESTS ;;
      MENU) list=$MENU_TESTS ;;
    esac
    for name in $list; do
      grep -rqs "NAME $name " "$SRC/tests" && printf '%s ' "$name"
    done
  done
}

run_programs() {
  local name
  for name in "$@"; do
    (cd "$BUILD/bin" && QT_QPA_PLATFORM=offscreen timeout "$TEST_TIMEOUT" "./$name") \
      >>"$LOG/run.txt" 2>&1 || return 1
  done
  return 0
}

copy_tree
cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZV_WERROR=OFF \
  -DZV_BUILD_GUI=OFF >"$LOG/configure.txt" 2>&1 || { say "configure failed"; exit 2; }
ALL=$(programs_of "LINK SITE LOG MENU")
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$JOBS" --target $ALL >"$LOG/build.txt" 2>&1 ||
  { say "the unmutated tree does not build"; tail -20 "$LOG/build.txt"; exit 2; }
# shellcheck disable=SC2086
run_programs $ALL || { say "the tests fail without any mutant"; tail -30 "$LOG/run.txt"; exit 2; }

killed=0
total=0
while IFS='|' read -r number file groups script; do
  [[ -z $number ]] && continue
  if [[ -n ${MUTANTS:-} && ",$MUTANTS," != *",$number,"* ]]; then continue; fi
  target=$SRC/$file
  cp "$target" "$WORK/original"
  sed -i -e "$script" "$target"
  if cmp -s "$target" "$WORK/original"; then
    say "mutant $number ($file): NOT APPLIED (the code changed; update the table)"
    continue
  fi
  programs=$(programs_of "$groups")
  : >"$LOG/run.txt"
  # shellcheck disable=SC2086
  if ! cmake --build "$BUILD" -j "$JOBS" --target $programs >"$LOG/build.txt" 2>&1; then
    say "mutant $number ($file): DOES NOT BUILD (not counted)"
  else
    total=$((total + 1))
    # shellcheck disable=SC2086
    if run_programs $programs; then
      say "mutant $number ($file): SURVIVED"
    else
      killed=$((killed + 1))
      say "mutant $number ($file): KILLED"
    fi
  fi
  # Copied, not moved back with its old time stamp, so the next build sees the change.
  cp "$WORK/original" "$target"
done <<<"$MUTANTS_TABLE"

say "mutants_killed = $killed / $total"
