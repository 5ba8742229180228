#pragma once
// The connect notice (opcode 1), sent to every unit a rescan binds to a site, and the close
// notice (opcode 2), sent to every present unit when the program closes. The unit's reply is
// read synchronously; apart from a busy refusal neither logs anything.
#include "link/frame_codes.h"

class OpcodeTable;
class SiteSystem;

SiteResult ConnectNotice(SiteSystem& system, int site);
// Also called directly on the UI thread at close, after every worker has ended.
SiteResult CloseNotice(SiteSystem& system, int site);

// What the program does at close (unless in handler mode): the close notice to every site
// whose panel is not siNone, one after the other on the calling thread. Call it after every
// worker has ended.
void SendCloseNotices(SiteSystem& system);

void RegisterUnitNotices(OpcodeTable& table);
