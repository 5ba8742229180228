#pragma once
// The stand-alone run from each unit's SD card. The unit runs the project its card names as
// the run project, reading driver, FPGA image and data from the card; the PC loads that
// project's settings into the site's records (opcode 27), starts the run and follows it step
// by step with the same step reports, run bytes, counters and part records as RUN ALL from
// the PC (opcode 25), and drives the same automatic loop (opcodes 28 and 26).
#include <string>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;
struct SystemPaths;

// The site's working folder while its run project is fetched: temporary directory + "Proj"
// + the site index, ending in "/".
std::string RunProjectFolder(const SystemPaths& paths, int site);

// Reads the run project's number from the list opcode 17 fetched, fetches and checks that
// project's set into the working folder, and fills the site's project value, driver values
// and plan from it. The other sites' records stay as they are.
SiteResult LoadRunProject(SiteContext& ctx, const OperationTexts& texts = {});

// One run from the card (frame 0xA7); sets RunResult and RunVerdict.
SiteResult SdRunAll(SiteContext& ctx, const OperationTexts& texts = {});

// The unit's automatic mode (command 0x7070), a standard exchange.
SiteResult SdAutoRunInit(SiteContext& ctx, const OperationTexts& texts = {});
