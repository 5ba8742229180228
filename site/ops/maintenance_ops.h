#pragma once
// The options window's maintenance commands: the input/output mode (opcode 29), the burn-in
// queue's self-test image load (33) and burn-in start (34), and the key run (35), which runs
// RUN ALL each time the operator presses the unit's start key.
#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

// Opcode 29: frame 0xA9, not answered. Busy stays set on purpose until the link is closed,
// so nothing else is sent to a unit in that mode (" - USB Busy!").
SiteResult SetIoMode(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 33: the self-test image into the FPGA area, without the FPGA Init.
SiteResult LoadSelfTestImage(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 34: starts the burn-in with site 0's sockets and areas; it runs on the unit
// unattended. Always 0xA1, so the queue ends there and the site shows failed.
SiteResult BurnInTest(SiteContext& ctx, const OperationTexts& texts = {});

// 0xA0 when the start key was pressed, 0xA1 otherwise (and for every failure). Silent except
// for failures. The command byte is site 0's socket count.
SiteResult DetectStartKey(SiteContext& ctx);
// Opcode 35: every 500 ms shows siPushKey and asks the start key, runs RUN ALL when it was
// pressed, until the key run's "Stop" is pressed (the last RUN ALL's result) or the link is
// closed (0xA1).
SiteResult KeyRun(SiteContext& ctx, const OperationTexts& texts = {});
