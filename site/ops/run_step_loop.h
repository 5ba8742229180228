#pragma once
// The step loop of RUN ALL: the unit runs the procedure list on its own and answers every
// step; the PC follows it, streams a data chunk whenever the list says so, and reports each
// step's reply. The loop stops at the first step that does not pass. A run from the unit's SD
// card is followed the same way, except that the unit reads the data from its card.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "link/command_block.h"
#include "link/frame_codes.h"
#include "records/part_record.h"
#include "site/ops/procedure_list.h"

class SiteContext;

// What one run streams: the site's part comes from its context.
struct StepLoopData {
  const ProcedureList& Procedure;
  std::filesystem::path DataImage;  // the project's data image
  std::uint64_t DataLength = 0;
  // A run from the unit's SD card: the unit reads each data chunk from its card and answers
  // that step too; the PC streams nothing and paces the steps.
  bool CardData = false;
};

struct StepLoopOutcome {
  // The last step's result; 0xFF when a data chunk could not be sent (the reply's preset).
  SiteResult Result = SiteResultCode::LinkClosed;
  Reply LastReply{};              // the last step's reply (0xFF where nothing arrived)
  std::vector<StepRecord> Steps;  // every step that ran, data chunks included
};

// The region of data chunk `k`: the k-th piece, or the k-th chunk of the data (the last one
// shorter). Exposed for the tests.
struct DataRegion {
  std::uint64_t Offset = 0;
  std::uint64_t Length = 0;
};
DataRegion DataChunkRegion(const ProcedureList& procedure, std::uint64_t dataLength,
                           std::uint32_t k);

// Follows the run that the merge command started.
StepLoopOutcome RunStepLoop(SiteContext& ctx, const StepLoopData& in);
