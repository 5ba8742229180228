#pragma once
// Whole files between the PC and a unit's SD card, in pieces of at most 60 MiB: a piece goes
// between the PC file and the unit's memory with an acknowledged bulk transfer, and between
// the unit's memory and the card file with one card command. The wire's offsets and lengths
// are 32-bit, so a file of 4 GiB or more is refused before anything is sent.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "link/frame_codes.h"

class SiteContext;

inline constexpr std::uint32_t kCardPieceLength = 0x3C00000;     // 60 MiB
inline constexpr std::uint64_t kCardFileLimit = 0x100000000ULL;  // files stay below 4 GiB

struct CardPiece {
  std::uint32_t Offset = 0;
  std::uint32_t Length = 0;
  std::uint8_t OpenMode = 0;  // for a write: the first piece makes the file anew
  bool operator==(const CardPiece&) const = default;
};

// The pieces of a file of `size` bytes (an empty file is one empty piece, so that it is made);
// none at all when the file is too big for the card's 32-bit fields.
std::optional<std::vector<CardPiece>> CardPieces(std::uint64_t size);

// PC file to card file "directory" / "file". Checks the card's free space first.
SiteResult PutFileToCard(SiteContext& ctx, const std::filesystem::path& pcFile,
                         std::string_view directory, std::string_view file);
// Card file to PC file (made anew).
SiteResult GetFileFromCard(SiteContext& ctx, const std::filesystem::path& pcFile,
                           std::string_view directory, std::string_view file);

// PC file piece to the unit's memory at the piece address.
bool LoadFilePiece(SiteContext& ctx, const std::filesystem::path& pcFile, std::uint32_t offset,
                   std::uint32_t length);
// The same, giving the byte sum of the piece that was sent (none on a failure, logged).
std::optional<std::uint32_t> LoadFilePieceSummed(SiteContext& ctx,
                                                 const std::filesystem::path& pcFile,
                                                 std::uint32_t offset, std::uint32_t length);
// The unit's memory at the piece address to a PC file piece (the first piece makes the file
// anew). True only after the whole piece was written.
bool SaveFilePiece(SiteContext& ctx, const std::filesystem::path& pcFile, std::uint32_t offset,
                   std::uint32_t length, bool firstPiece);
