#include "sim/standard_commands.h"

#include <string>

#include "sim/eeprom.h"
#include "sim/procedure_commands.h"
#include "sim/sd_card_commands.h"
#include "sim/unit_commands.h"
#include "sim/unit_memory.h"

namespace sim {

namespace {

// Parameters of a transfer announcement and of the EEPROM read.
namespace Param {
inline constexpr int ChunkLength = 1;
inline constexpr int ChunkCount = 2;
inline constexpr int Address = 3;
inline constexpr int EepromOffset = 6;
inline constexpr int EepromLength = 7;
}  // namespace Param

void connectNotice(CommandContext& ctx) {
  auto& state = ctx.state<ConnectionState>();
  state.greeted = true;
  ++state.connects;
  ctx.accept();
  ctx.complete(Ack::Pass);
}

void closeNotice(CommandContext& ctx) {
  auto& state = ctx.state<ConnectionState>();
  state.greeted = false;
  ++state.closes;
  ctx.accept();
  ctx.complete(Ack::Pass);
}

// EEPROM[p6, p6 + p7) into unit memory at p3. A range outside either is accepted but fails.
void eepromRead(CommandContext& ctx) {
  const std::uint32_t address = ctx.block().p(Param::Address);
  const std::uint32_t offset = ctx.block().p(Param::EepromOffset);
  const std::uint32_t length = ctx.block().p(Param::EepromLength);
  ctx.accept();
  if (!ctx.eeprom().contains(offset, length) || !ctx.memory().contains(address, length)) {
    ctx.protocolError("EEPROM read of " + std::to_string(length) + " bytes at " +
                      std::to_string(offset) + " to " + std::to_string(address) +
                      " is out of range");
    ctx.complete(Ack::Fail);
    return;
  }
  const auto& bytes = ctx.eeprom().bytes();
  ctx.memory().write(address, {bytes.data() + offset, length});
  ctx.complete(Ack::Pass);
}

// The announced range must lie in unit memory; otherwise the firmware refuses the transfer.
bool transferFits(CommandContext& ctx, const char* what) {
  const std::uint32_t length = ctx.block().p(Param::ChunkLength);
  const std::uint32_t count = ctx.block().p(Param::ChunkCount);
  const std::uint32_t address = ctx.block().p(Param::Address);
  const std::uint64_t total = std::uint64_t{length} * count;
  if (length != 0 && count != 0 && ctx.memory().contains(address, total)) return true;
  ctx.protocolError(std::string(what) + " of " + std::to_string(count) + " chunks of " +
                    std::to_string(length) + " bytes at " + std::to_string(address) + " refused");
  ctx.refuse();
  return false;
}

void bulkOut(CommandContext& ctx) {
  if (!transferFits(ctx, "bulk out")) return;
  ctx.receiveChunks(ctx.block().p(Param::Address), ctx.block().p(Param::ChunkLength),
                    ctx.block().p(Param::ChunkCount));
}

void bulkIn(CommandContext& ctx) {
  if (!transferFits(ctx, "bulk in")) return;
  ctx.sendChunks(ctx.block().p(Param::Address), ctx.block().p(Param::ChunkLength),
                 ctx.block().p(Param::ChunkCount));
}

}  // namespace

void installInformationCommands(CommandRegistry& registry) {
  registry.add(Code::ConnectNotice, connectNotice);
  registry.add(Code::CloseNotice, closeNotice);
  registry.add(Code::EepromRead, eepromRead);
}

void installTransferCommands(CommandRegistry& registry) {
  registry.add(Code::BulkOut, bulkOut);
  registry.add(Code::BulkIn, bulkIn);
}

void installStandardCommands(CommandRegistry& registry) {
  installInformationCommands(registry);
  installTransferCommands(registry);
  installPreparationCommands(registry);
  installMaintenanceCommands(registry);
  installFirmwareCommands(registry);
  installProcedureCommands(registry);
  installSdCardCommands(registry);
}

}  // namespace sim
