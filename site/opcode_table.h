#pragma once
// The opcode table: opcode -> the operation a worker runs for it. It is filled from a list of
// `OperationEntry` that whoever assembles the system hands over (the standard one is
// `SiteOperationList()`, site/ops/operation_list.h); after that it is only read, by every
// worker at once. A test may replace an entry with `Register` before any worker runs.
#include <array>
#include <functional>
#include <span>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

// Every operation has this shape: the site's context and the queue's two texts.
using OperationFunction = SiteResult (*)(SiteContext& ctx, const OperationTexts& texts);
using SiteOperation = std::function<SiteResult(SiteContext& ctx, const OperationTexts& texts)>;

struct OperationEntry {
  Opcode Code;
  const char* Name;
  OperationFunction Function;
};

class OpcodeTable {
 public:
  // No operation built: every opcode fails with 0xA1.
  OpcodeTable() = default;
  // Each entry's operation under its opcode; an entry outside 0..36 or without a function is
  // left out, a later entry of the same opcode replaces an earlier one.
  explicit OpcodeTable(std::span<const OperationEntry> entries);

  // False (and nothing changes) for an opcode outside 0..36 or an empty operation. A later
  // registration of the same opcode replaces the earlier one.
  bool Register(Opcode opcode, SiteOperation operation);
  bool IsBuilt(Opcode opcode) const;

  // An opcode outside the table, or one whose operation is not built, fails like an operation
  // that returned 0xA1.
  SiteResult Run(SiteContext& ctx, Opcode opcode, const OperationTexts& texts) const;

 private:
  std::array<SiteOperation, Opcodes::Count> operations_;
};
