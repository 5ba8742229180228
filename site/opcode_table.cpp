#include "site/opcode_table.h"

#include <utility>

namespace {
bool InTable(Opcode opcode) {
  return opcode >= Opcodes::First && opcode <= Opcodes::Last;
}
}  // namespace

OpcodeTable::OpcodeTable(std::span<const OperationEntry> entries) {
  for (const OperationEntry& entry : entries) {
    if (entry.Function != nullptr) Register(entry.Code, entry.Function);
  }
}

bool OpcodeTable::Register(Opcode opcode, SiteOperation operation) {
  if (!InTable(opcode) || !operation) return false;
  operations_[static_cast<std::size_t>(opcode)] = std::move(operation);
  return true;
}

bool OpcodeTable::IsBuilt(Opcode opcode) const {
  return InTable(opcode) && static_cast<bool>(operations_[static_cast<std::size_t>(opcode)]);
}

SiteResult OpcodeTable::Run(SiteContext& ctx, Opcode opcode, const OperationTexts& texts) const {
  if (!IsBuilt(opcode)) return SiteResultCode::Fail;
  return operations_[static_cast<std::size_t>(opcode)](ctx, texts);
}
