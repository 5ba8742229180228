#include "site/ops/empty_steps.h"

#include "site/opcode_table.h"

void RegisterEmptySteps(OpcodeTable& table) {
  const auto pass = [](SiteSystem&, int, const OperationTexts&) { return SiteResultCode::Pass; };
  table.Register(Opcodes::EmptyStepA, pass);
  table.Register(Opcodes::EmptyStepAfterQueue, pass);
  table.Register(Opcodes::EmptyStepB, pass);
}
