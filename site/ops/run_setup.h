#pragma once
// What RUN ALL from the PC and RUN ALL from the unit's SD card share: the site's records and
// procedure gathered at the start, and the end of the run on the panel, in the statistics, in
// the run bytes, in the per-part records and in the log.
#include <cstdint>

#include "link/frame_codes.h"
#include "project/project_records.h"
#include "site/ops/procedure_list.h"
#include "site/ops/run_report.h"
#include "site/ops/run_step_loop.h"

class SiteContext;

// What one run decides at its start besides the site's context.
struct RunPlan {
  RunSource Source = RunSource::Pc;
  bool Nand = false;         // the PC handles the part's blocks (never from the card)
  bool GroupDefine = false;  // only block-organised parts use the pieces
  std::uint64_t DataLength = 0;
  ProcedureList Procedure;
};

// Builds the procedure list and sets the link's pin-scan word. From the card the list only
// guides the PC through the steps: plain chunks, no blocks, no pieces.
RunPlan PrepareRun(SiteContext& ctx, RunSource source);

// Whether the plan selects a socket at all (no plan was built otherwise).
bool AnySocketPlanned(const SiteProcessPlan& plan);

// The run's end lines, the run bytes, the panel's counter, the statistics and the part's
// record. The result after reporting (a card run's unknown code becomes 0xA1).
SiteResult CountRun(SiteContext& ctx, const RunPlan& run, SiteResult result,
                    const StepLoopOutcome& loop, std::uint8_t sockets, std::uint64_t elapsedMs);

// The plan again as the project made it (detection changed its socket codes), and the log's
// row-limit check.
SiteResult EndRun(SiteContext& ctx, SiteResult result);
