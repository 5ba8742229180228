#pragma once
// The bookkeeping of one RUN ALL that needs no unit: its start and end lines, the result a
// step leaves to the run, the run bytes the automatic loops read, and the panel counters.
#include <cstdint>
#include <span>
#include <string>

#include "link/frame_codes.h"
#include "log/core/log_sink.h"
#include "site/site_run_bytes.h"

class SitePanels;

// Milliseconds as seconds in the shortest decimal form: 12345 -> "12.345", 1500 -> "1.5",
// 2000 -> "2". Exact, without a detour through floating point.
std::string RunSecondsText(std::uint64_t elapsedMs);

// " - RUN ALL..." in the step-start colour, essential.
void LogRunStart(LogSink& log, int site);

// The result a step leaves to the run: the reported result when it is not 0xA0; a passed
// step whose verdict byte (55) is not 0xA0 fails the run with 0xA1.
SiteResult StepRunResult(SiteResult reported, std::span<const std::uint8_t> reply);

// RunResult = result, RunVerdict = byte 55 of the run's last step reply.
void RecordRunEnd(SiteRunBytes& runBytes, SiteResult result, std::span<const std::uint8_t> reply);

// The panel's pass counter + 1 for 0xA0, its fail counter + 1 otherwise.
void CountRunEnd(SitePanels& panels, int site, SiteResult result);

// 0xA0: " - RUN ALL Time = <seconds> s" (black) and " - RUN ALL Pass" (green), both essential;
// otherwise " - RUN ALL Fail!" (red).
void ReportRunEnd(LogSink& log, int site, SiteResult result, std::uint64_t elapsedMs);
