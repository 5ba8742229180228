#include "site/opcode_table.h"

#include <utility>

#include "site/site_status.h"

namespace {
bool InTable(Opcode opcode) {
  return opcode >= Opcodes::First && opcode <= Opcodes::Last;
}
}  // namespace

bool OpcodeTable::Register(Opcode opcode, SiteOperation operation) {
  if (!InTable(opcode) || !operation) return false;
  operations_[static_cast<std::size_t>(opcode)] = std::move(operation);
  return true;
}

bool OpcodeTable::IsBuilt(Opcode opcode) const {
  return InTable(opcode) && static_cast<bool>(operations_[static_cast<std::size_t>(opcode)]);
}

SiteResult OpcodeTable::Run(SiteSystem& system, Opcode opcode, int site,
                            const OperationTexts& texts) const {
  if (!IsBuilt(opcode) || !IsSiteIndex(site)) return SiteResultCode::Fail;
  return operations_[static_cast<std::size_t>(opcode)](system, site, texts);
}
