#pragma once
// The procedure of one RUN ALL as the unit runs it: the list of step codes built from the
// project's step selection and the driver's abilities, the data chunk length, and for NAND
// parts with a group-define table the data pieces. Pure: no I/O, so every list is checked
// against fixed inputs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "project/driver_ini.h"
#include "project/group_define.h"
#include "project/project_value.h"

inline constexpr std::uint32_t kDataChunkLength = 0x3C00000;
// The procedure list the unit reads: 65536 bytes, 0xFF where no code stands.
inline constexpr std::size_t kProcedureListBytes = 65536;
inline constexpr std::size_t kProcedureListCodes = kProcedureListBytes / 2;
// Each piece table the unit takes holds 0x30000 bytes of 32-bit entries.
inline constexpr std::size_t kPieceTableBytes = 0x30000;
inline constexpr std::size_t kMaxPieces = kPieceTableBytes / 4;

// The data pieces of a group-define table, indexed by piece number over all entries. Offsets
// and lengths stay 64-bit on the PC; the unit's tables carry the 32-bit columns.
struct GroupDefinePieces {
  std::vector<std::uint64_t> Offset;  // in the data image
  std::vector<std::uint64_t> Length;
  std::vector<std::uint32_t> StartBlock;
  std::vector<std::uint32_t> BlockCount;
  std::vector<std::uint32_t> End;
  std::vector<std::uint32_t> Parameter;
  std::size_t Count() const { return Offset.size(); }
};

// What the list is built from.
struct ProcedureInputs {
  const S_ProjectValue& Value;
  const ZV_Driver_INI& Driver;
  std::uint64_t DataLength = 0;    // the image bytes the run programs
  std::int32_t ProcessBlocks = 0;  // the project's block count (NAND parts)
  bool UsingGroupDefine = false;   // only NAND parts use the pieces
  std::span<const GroupDefineEntry> GroupDefine;
  // Off for a run from the unit's SD card: the unit cuts the data itself, so every part is
  // listed with the plain chunk length.
  bool BlockHandling = true;
};

struct ProcedureList {
  std::vector<std::uint16_t> Codes;
  std::uint32_t ChunkLength = kDataChunkLength;
  std::uint32_t BlockCount = 0;  // NAND: the blocks the run processes
  bool PinscanOn = false;        // the link's PinscanWord is 0xA0, else 0xA3
  std::optional<GroupDefinePieces> Pieces;
  // Set when no list can be built: the run must not start. A tail for the site's log line.
  std::string Error;
  bool Ok() const { return Error.empty(); }
};

// Whether the driver names a block-organised (NAND) part.
bool IsBlockOrganised(const ZV_Driver_INI& driver);

// The data length of a run: NAND parts ProcessBlocks x block length, other parts the main
// area length plus the Ext lengths of the site's plan.
std::uint64_t RunDataLength(const ZV_Driver_INI& driver, const SiteProcessPlan& plan,
                            std::int32_t processBlocks);

// NAND: the largest whole number of blocks, at most `blocks`, whose bytes do not pass the
// chunk limit; other parts, and a NAND part without a block length, the limit itself. Zero
// when not even one block fits.
std::uint32_t NandChunkLength(std::uint32_t blockLength, std::uint64_t blocks);

// Cuts every entry, in table order, into pieces of at most `chunkLength` bytes.
GroupDefinePieces CutGroupDefine(std::span<const GroupDefineEntry> entries,
                                 std::uint32_t blockLength, std::uint32_t chunkLength);

// The procedure: Insert Detect, ID Check, Bad Block Scan, UnProtect and Chip Erase, Blank
// Check, then Program and Verify per data chunk (or per piece), Protect.
ProcedureList BuildProcedureList(const ProcedureInputs& in);

// The 65536-byte image of the codes (little-endian words, 0xFF after the last).
std::vector<std::uint8_t> ProcedureListImage(std::span<const std::uint16_t> codes);
