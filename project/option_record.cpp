#include "project/option_record.h"

#include "project/project_keys.h"
#include "project/project_value.h"

namespace {
void PutSlot(OptionRecord& record, std::size_t slot, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    record[slot * 4 + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}
}  // namespace

OptionRecord BuildOptionRecord(const ProjectKeys& keys, const SiteProcessPlan& plan) {
  OptionRecord record{};
  const bool flags[] = {
      keys.MainMeMCheck,  keys.Ext1MeMCheck,  keys.Ext2MeMCheck,  keys.Ext3MeMCheck,
      keys.Textool1Check, keys.Textool2Check, keys.Textool3Check, keys.Textool4Check,
      keys.PinscanCheck,  keys.IDCheck,       keys.EraseCheck,    keys.BlankCheck,
      keys.ProgramCheck,  keys.VerifyCheck,   keys.ProtectCheck,  keys.CheckSumMode};
  std::size_t slot = OptionSlot::FirstFlag;
  for (const bool flag : flags) PutSlot(record, slot++, flag ? 1 : 0);
  PutSlot(record, OptionSlot::MainLength, static_cast<std::uint32_t>(plan.MainLength));
  PutSlot(record, OptionSlot::ExtLength, static_cast<std::uint32_t>(plan.ExtLength));
  PutSlot(record, OptionSlot::IgnoreBadBlockRead, keys.IgnoreBadBlockRead ? 1 : 0);
  PutSlot(record, OptionSlot::IgnoreBadBlockErase, keys.IgnoreBadBlockErase ? 1 : 0);
  PutSlot(record, OptionSlot::IgnoreBadBlockProgram, keys.IgnoreBadBlockProgram ? 1 : 0);
  PutSlot(record, OptionSlot::ICBlockStart,
          static_cast<std::uint32_t>(ProjectKeyInteger(keys.ICBlockStart)));
  PutSlot(record, OptionSlot::ProcessBlocks,
          static_cast<std::uint32_t>(ProjectKeyInteger(keys.ProcessBlocks)));
  PutSlot(record, OptionSlot::UsingGroupDefine, keys.UsingGroupDefine ? 1 : 0);
  PutSlot(record, OptionSlot::PreBlankCheck, keys.PreBlankCheck ? 1 : 0);
  return record;
}
