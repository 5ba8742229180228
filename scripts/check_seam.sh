#!/usr/bin/env bash
# The seam between the engine and its front ends, checked on the sources: the windows (app/),
# the command line (cli/) and the station server (serve/) run everything through RunSession
# (site/run_session.h). They never build an opcode queue, start a worker with Command, touch the
# run bytes, arm and stop the loops through the run controls, or load a project past the session
# (whose observers show every load). Prints each offending line; exit status 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

FRONT_ENDS=(app cli serve)
# pattern@@what it means
RULES=(
  '\bOpcodeQueue\b@@builds an opcode queue'
  '\bMakeQueue\(@@builds an opcode queue'
  '\bOpcodes::@@names an opcode'
  '(^|[^A-Za-z0-9_])Command\(@@starts a worker with Command'
  '#include "site/command.h"@@starts a worker with Command'
  '\bRunBytes\(@@touches the run bytes'
  '\bResetRunBytes\(@@touches the run bytes'
  'Controls\(\)\.(StopAllEnabled|KeyRunStopEnabled)@@arms or stops a loop by its control'
  '\bLoadProjectInto\(@@loads a project past the session'
)

found=0
for rule in "${RULES[@]}"; do
  pattern=${rule%%@@*}
  meaning=${rule#*@@}
  while IFS= read -r hit; do
    [[ -z "$hit" ]] && continue
    echo "$hit: $meaning (use RunSession)"
    found=1
  done < <(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "${FRONT_ENDS[@]}" || true)
done
if [[ $found -ne 0 ]]; then
  echo "check_seam: a front end reaches past RunSession" >&2
  exit 1
fi
echo "check_seam: app/, cli/ and serve/ go through RunSession"
