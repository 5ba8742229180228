#pragma once
// The log lines and the SiteResult of one procedure step, decoded from the unit's reply.
// Pure decoding: no I/O beyond the log calls, so any 512 bytes may arrive here.
#include <cstdint>
#include <span>

#include "link/frame_codes.h"
#include "log/core/log_sink.h"
#include "site/ops/report_site.h"

// " - " + StepName(code) in the step-start colour, for Blank Check, Chip Erase, Program,
// Verify, Protect and Bad Block Scan only; the other steps start without a line.
void LogStepStart(LogSink& log, int site, std::uint16_t stepCode);

// Reports the reply of step `stepCode` and returns the step's result: reply byte 0, except
// that a byte other than 0xA0..0xA4 (0xFF when the link closed) is an ack error and gives
// 0xA1. The caller writes the result back into its reply byte 0.
//   0xA0 / 0xA1: the step's own report (blank check, verify, general, ID check, insert
//                detection; any other step a plain " - <name> Pass" or " - <name> Fail!");
//   0xA2..0xA4:  " - <name> DUT VDD/VIO/VPP/VHH Over Current!" (and the VDD/VIO and VPP/VHH
//                forms), red;
//   other:       " - <name> Ack Error!", red.
SiteResult ReportStepResult(const SiteContext& at, std::uint16_t stepCode,
                            std::span<const std::uint8_t> reply);
