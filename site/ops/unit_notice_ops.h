#pragma once
// The connect notice (opcode 1), sent to every unit a rescan binds to a site, and the close
// notice (opcode 2), sent to every present unit when the program closes. The unit's reply is
// read synchronously; apart from a busy refusal neither logs anything.
#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

SiteResult ConnectNotice(SiteContext& ctx, const OperationTexts& texts = {});
// Also called directly on the UI thread at close, after every worker has ended.
SiteResult CloseNotice(SiteContext& ctx, const OperationTexts& texts = {});
