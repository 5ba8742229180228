#pragma once
// The procedure runs. PC mode: the merge command (frame 0xA3) starts the list of step codes the
// PC left at the procedure list address; the unit answers each step with a step reply and,
// at each data chunk step (0xB14E), takes the chunk as a raw data stream without
// announcement. The steps work on a virtual part whose cells really erase, program (bits
// only go from 1 to 0) and verify.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "sim/command_context.h"
#include "sim/part_faults.h"
#include "sim/part_timing.h"
#include "sim/unit_memory.h"
#include "sim/virtual_operator.h"

namespace sim {

// The part in the unit's socket.
struct VirtualPart {
  bool inserted = true;
  std::uint16_t manufacturerCode = 0x00C2;
  std::uint16_t deviceCode = 0x2018;
  bool idMatches = true;
  bool protectedCells = false;        // Protect sets it, UnProtect clears it
  std::uint16_t overCurrentStep = 0;  // this step code answers 0xA3 (over-current DUT VDD/VIO)
};

// The unit's standalone insertion detection (command 0x17E8) and the step of that name read
// `inserted`; with the operator on, the operator's hand decides instead.

struct ProcedureState {
  VirtualPart part;
  PartKind kind = PartKind::Default;  // from the driver settings (or fixed by the rig)
  std::optional<SocketHand> hand;     // the operator's, made on first use when it is on
  std::optional<FailDraw> failDraw;   // made on first use when the fail rate is set
  RunFault fault;                     // how this run's part fails (drawn at the merge)
  std::unique_ptr<UnitMemory> cells;  // made for the run's data length, kept between runs
  // The data chunk length the PC uses for parts that are not block-organised.
  std::uint32_t dataChunkLength = 0x3C00000;
  std::uint32_t runs = 0;
  std::uint32_t passedRuns = 0;

  // The run in progress.
  std::vector<std::uint16_t> steps;
  std::size_t next = 0;
  std::uint32_t dataLength = 0;
  std::uint64_t partBytes = 0;  // the areas' total: what erase and blank check touch
  std::uint32_t chunkLength = 0;
  std::uint32_t chunkIndex = 0;       // the next data chunk the PC streams
  std::uint32_t lastChunkOffset = 0;  // where the chunk in the data buffer belongs in the part
  std::uint32_t lastChunkLength = 0;
  bool running = false;
  std::chrono::steady_clock::time_point due{};
  // What program and verify copy a chunk and its cells into, kept between steps so that a
  // step does not allocate and fault in fresh memory each time.
  std::vector<std::uint8_t> chunkData;
  std::vector<std::uint8_t> chunkCells;
  // A stand-alone run reads each data chunk from this card file and answers the step.
  std::filesystem::path cardData;
};

namespace StepCode {
inline constexpr std::uint16_t BlankCheck = 0x11EE;
inline constexpr std::uint16_t ChipErase = 0x12ED;
inline constexpr std::uint16_t Program = 0x13EC;
inline constexpr std::uint16_t Verify = 0x14EB;
inline constexpr std::uint16_t Protect = 0x15EA;
inline constexpr std::uint16_t InsertDetect = 0x17E8;
inline constexpr std::uint16_t IdCheck = 0x18E7;
inline constexpr std::uint16_t UnProtect = 0x22DD;
inline constexpr std::uint16_t ReadPart = 0x19E6;
inline constexpr std::uint16_t DataChunk = 0xB14E;
}  // namespace StepCode

// Offsets in a step reply.
namespace StepReply {
inline constexpr std::size_t InsertOfSocket1 = 32;
inline constexpr std::size_t ErrorAddress = 37;
inline constexpr std::size_t Verdict = 55;
inline constexpr std::size_t ExpectedData = 56;
inline constexpr std::size_t ReadData = 60;
inline constexpr std::size_t Manufacturer = 64;
inline constexpr std::size_t Device = 66;
inline constexpr std::size_t NoErrorAddress = 68;
inline constexpr std::uint8_t SocketEmpty = 0xA5;
inline constexpr std::uint8_t SocketNotUsed = 0xA3;
inline constexpr std::uint8_t OverCurrentVddVio = 0xA3;
}  // namespace StepReply

inline constexpr std::uint32_t kDataChunkLength = 0x3C00000;

// The merge frame (the run), the stand-alone run from the SD card (frame 0xA7), the card's
// automatic mode (0x7070) and the standalone insertion detection (0x17E8).
void installProcedureCommands(CommandRegistry& registry);

// The driver settings arrived (command 0x41BE): the unit learns the kind of part it holds.
void learnPartKind(CommandContext& ctx);

}  // namespace sim
