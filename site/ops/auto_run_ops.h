#pragma once
// The automatic run loop (opcode 13): the site's worker watches the sockets through the unit's
// insert detection, runs RUN ALL when a part is in, waits until it is taken out and for the
// next one, until "Stop All". The panel shows where the loop stands (siPut, siWorking,
// siTake); the large field the last result. The worker reads the windows' controls only as
// the atomic snapshots of RunControls and never handles window messages.
#include "link/frame_codes.h"
#include "site/run_source.h"
#include "site/thread_info.h"

class SiteContext;

// The unit's insert detection of every socket; with `log` its start and report lines. Returns
// 0xA0 at once, asking nothing, while the site's PinscanCheck is off. Sets the plan's socket
// codes from the sockets the reply marks.
SiteResult InsertDetect(SiteContext& ctx, bool log);

// One look at the sockets for the loop's wait: whether the state the loop waits for (a part
// in, or every socket empty after a run) is reached. With `ignore` the detection is skipped.
bool SocketStateReached(SiteContext& ctx, bool ignore);

// The loop, running each part from the PC or from the unit's SD card; its result becomes the
// worker's last result.
SiteResult AutoRunLoopFrom(SiteContext& ctx, RunSource source);
// Opcode 13: the loop with RUN ALL from the PC.
SiteResult AutoRunLoop(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 26: the loop with the run from the unit's SD card (SdRunAll).
SiteResult SdAutoRunLoop(SiteContext& ctx, const OperationTexts& texts = {});
