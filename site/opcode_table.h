#pragma once
// The one registry of site operations: opcode -> the operation a worker runs for it. Each
// operation group registers its opcodes when the system is built (before the first Command);
// after that the table is only read, by every worker at once.
#include <array>
#include <functional>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteSystem;

using SiteOperation =
    std::function<SiteResult(SiteSystem& system, int site, const OperationTexts& texts)>;

class OpcodeTable {
 public:
  // False (and nothing changes) for an opcode outside 0..36 or an empty operation. A later
  // registration of the same opcode replaces the earlier one.
  bool Register(Opcode opcode, SiteOperation operation);
  bool IsBuilt(Opcode opcode) const;

  // An opcode outside the table, or one whose operation is not built, fails like an operation
  // that returned 0xA1.
  SiteResult Run(SiteSystem& system, Opcode opcode, int site, const OperationTexts& texts) const;

 private:
  std::array<SiteOperation, Opcodes::Count> operations_;
};
