#pragma once
// Where a run takes its procedure and data from: the PC, or the unit's own SD card.
enum class RunSource { Pc, SdCard };
