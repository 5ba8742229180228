#pragma once
// The standard list of site operations, {opcode, name, function}, which the programs and the
// tests' rigs hand to SiteSystem (SiteSystemConfig::Operations).
#include <span>

#include "site/opcode_table.h"

std::span<const OperationEntry> SiteOperationList();

// Opcodes 30, 31 and 32: steps that pass at once and do nothing. 30 and 32 keep their places
// in the PC-mode run queue; 31 is what the worker runs after every queue.
SiteResult EmptyStep(SiteContext& ctx, const OperationTexts& texts);
