#pragma once
// The per-part record of one RUN ALL: what ran on which unit and how it ended, handed to the
// system's record writer. The worker hands it over and goes on.
#include <cstdint>
#include <vector>

#include "link/command_block.h"
#include "records/part_record.h"

class SiteContext;

// What a run leaves for its record besides the system's facts.
struct RunFacts {
  SiteResult Result = SiteResultCode::Fail;
  const Reply& LastReply;
  std::vector<StepRecord> Steps;
  std::uint8_t Sockets = 0;  // bit k: socket k + 1 took part
  std::uint64_t ElapsedMs = 0;
};

// The sockets of a plan that take part (code 0xA0) as a mask.
std::uint8_t SocketMask(const std::array<std::uint8_t, 4>& socketCodes);

// The record: site 1..8, the unit's date-time identifier, the project file's name, the data
// image's CRC-32, the part, the steps, the run's result bytes and its time.
PartRecord MakePartRecord(SiteContext& ctx, const RunFacts& facts);

// Stamps the record's time when it has none and hands it to the context (the session's
// observers, then the record writer when the system keeps records).
void SubmitPartRecord(SiteContext& ctx, PartRecord record);
