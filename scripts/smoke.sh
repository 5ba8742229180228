#!/usr/bin/env bash
# The smoke of the first command (scripts/run.sh --smoke; CI runs it): the window program under
# Xvfb on eight simulated units programs at least PARTS parts of the demo project in an
# automatic run, ends by itself and prints the counts its window shows. Passes only when the
# counts agree everywhere they are kept:
#   the window   "parts: statistics=P/F panels=P/F site1=P/F ... site8=P/F" (standard output):
#                the statistics, the sum of the panels' counters and each panel's counters;
#   the journal  History/Journal/*.log: per site one "Site #k - RUN ALL Pass" or
#                "Site #k - RUN ALL Fail!" line per part;
#   the records  `gangprog-cli records --json`: one line per part with its "site" and "pass".
#   scripts/smoke.sh BUILD-DIR DEMO-DIR   (a demo folder made by make_demo.sh, not used before)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$1
DEMO=$2
PARTS=${PARTS:-16}
# A bound for the program's whole run: a hang fails the smoke instead of holding CI.
LIMIT_S=${SMOKE_LIMIT_S:-300}
OUT=$BUILD/smoke
mkdir -p "$OUT"

fail() {
  echo "smoke: FAIL: $*" >&2
  exit 1
}

# Its own lock folder: a program the user runs meanwhile does not refuse the smoke's start.
export XDG_RUNTIME_DIR=$OUT/run
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A quarter of the parts fail, so that the fail counters are compared as well.
program=("$BUILD/bin/gangprog" --simulate 8 --base-dir "$DEMO"
  --project "$DEMO/Projects/CV25Q64.zvprj" --auto-run --sim-speed 16 --sim-fail-rate 0.25
  --exit-after-parts "$PARTS")
started=$SECONDS
status=0
QT_QPA_PLATFORM=xcb timeout --kill-after=10 "$LIMIT_S" \
  xvfb-run -a -s "-screen 0 1280x800x24" "${program[@]}" >"$OUT/stdout" 2>"$OUT/stderr" ||
  status=$?
echo "smoke: the program ran $((SECONDS - started)) s, exit status $status"
if ((status != 0)); then
  tail -n 20 "$OUT/stderr" >&2
  ((status == 124)) && fail "no end within $LIMIT_S s"
  fail "the program ended with status $status"
fi

summary=$(grep -E '^parts: ' "$OUT/stdout" || true)
[[ -n "$summary" ]] || fail "the program printed no counts"
echo "smoke: $summary"
field() { sed -E "s/.* $1=([0-9]+\/[0-9]+).*/\1/" <<<"$summary"; }
statistics=$(field statistics)
[[ "$statistics" == "$(field panels)" ]] || fail "statistics $statistics, panels $(field panels)"
total=$((${statistics%/*} + ${statistics#*/}))
((total >= PARTS)) || fail "only $total parts counted, $PARTS asked"

# The day files in the order of their names (yyyymmdd), so a run past midnight reads in order.
mapfile -t days < <(find "$DEMO/History/Journal" -name '*.log' | sort)
((${#days[@]} > 0)) || fail "no journal below $DEMO/History/Journal"
journal=$(cat "${days[@]}")
"$BUILD/bin/gangprog-cli" --base-dir "$DEMO" records --json >"$OUT/records.json" ||
  fail "gangprog-cli records --json"
records=$(<"$OUT/records.json")

for site in 1 2 3 4 5 6 7 8; do
  shown=$(field "site$site")
  journaled="$(grep -cE "Site #$site - RUN ALL Pass$" <<<"$journal" || true)/$(
    grep -cE "Site #$site - RUN ALL Fail!$" <<<"$journal" || true)"
  recorded="$(grep -cE "\"site\":$site,.*\"pass\":true" <<<"$records" || true)/$(
    grep -cE "\"site\":$site,.*\"pass\":false" <<<"$records" || true)"
  [[ "$shown" == "$journaled" && "$shown" == "$recorded" ]] ||
    fail "site $site: panel $shown, journal $journaled, records $recorded (pass/fail)"
done
echo "smoke: passed: $total parts (pass/fail $statistics) agree in the window, the journal and the records"
