#pragma once
// The bookkeeping of one RUN ALL that needs no unit: its start and end lines, the result a
// step leaves to the run, the run bytes the automatic loops read, and the panel counters.
#include <cstdint>
#include <span>
#include <string>

#include "link/frame_codes.h"
#include "log/core/log_sink.h"
#include "site/run_source.h"
#include "site/site_run_bytes.h"

class SitePanels;

// Milliseconds as seconds in the shortest decimal form: 12345 -> "12.345", 1500 -> "1.5",
// 2000 -> "2". Exact, without a detour through floating point.
std::string RunSecondsText(std::uint64_t elapsedMs);

// " - RUN ALL..." (" - SDCard RUN ALL..." from the card) in the step-start colour, essential.
void LogRunStart(LogSink& log, int site, RunSource source = RunSource::Pc);

// The result a step leaves to the run: the reported result when it is not 0xA0; a passed
// step whose verdict byte (55) is not 0xA0 fails the run with 0xA1.
SiteResult StepRunResult(SiteResult reported, std::span<const std::uint8_t> reply);

// The same for a run from the card, whose steps are followed without the PC's data: a step
// that passes with an empty socket ends the run as 0xA5 (socket empty), so the automatic loop
// waits for a part instead of counting a pass; another verdict than pass fails it (0xA1).
SiteResult CardStepResult(SiteResult reported, std::span<const std::uint8_t> reply);

// RunResult = result, RunVerdict = byte 55 of the run's last step reply.
void RecordRunEnd(SiteRunBytes& runBytes, SiteResult result, std::span<const std::uint8_t> reply);

// The panel's pass counter + 1 for 0xA0, its fail counter + 1 otherwise.
void CountRunEnd(SitePanels& panels, int site, SiteResult result);

// 0xA0: " - RUN ALL Time = <seconds> s" (black) and " - RUN ALL Pass" (green), both essential;
// otherwise " - RUN ALL Fail!" (red).
void ReportRunEnd(LogSink& log, int site, SiteResult result, std::uint64_t elapsedMs);

// The end of a run from the card: the timed pass lines, a plain fail line for 0xA1 and for
// an empty socket, the unit's own line for each code it could not start with (0xA2..0xAA),
// and " - SDCard RUN ALL Ack Error!" for anything else, which becomes 0xA1. The result after.
SiteResult ReportCardRunEnd(LogSink& log, int site, SiteResult result, std::uint8_t verdict,
                            std::uint64_t elapsedMs);
