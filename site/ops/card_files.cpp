#include "site/ops/card_files.h"

#include <fstream>
#include <memory>
#include <system_error>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/ops/card_commands.h"
#include "site/site_context.h"
#include "site/usb_cmd_data.h"
#include "support/checksums.h"

namespace {

constexpr std::uint64_t kBytesPerKByte = 1024;
constexpr std::uint64_t kPcSpareFactor = 2;  // the PC drive must hold twice the file

void Fail(SiteContext& ctx, std::string_view tail) {
  LogSite(ctx.Log(), ctx.Site(), tail, LogColour::Red);
}

// Opens the PC file and goes to the piece; false (logged) when it cannot.
template <class Stream>
bool OpenAt(SiteContext& ctx, Stream& stream, std::uint32_t offset, std::uint32_t length) {
  if (!stream.is_open()) {
    Fail(ctx, " - Not Find Taget,s File!");
    return false;
  }
  if constexpr (std::is_same_v<Stream, std::ifstream>) {
    stream.seekg(offset);
  } else {
    stream.seekp(offset);
  }
  if (!stream) {
    Fail(ctx, " - File Seek Fail!");
    return false;
  }
  if (length > kCardPieceLength) {
    Fail(ctx, " - Target's File Bigger Then 60MBytes!");
    return false;
  }
  return true;
}

std::optional<std::uint64_t> PcFileSize(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return std::nullopt;
  return size;
}

}  // namespace

std::optional<std::vector<CardPiece>> CardPieces(std::uint64_t size) {
  if (size >= kCardFileLimit) return std::nullopt;
  // An empty file still moves as one empty piece, so that it exists on the other side.
  std::vector<CardPiece> pieces{{0, 0, CardOpenMode::CreateNew}};
  for (std::uint64_t offset = 0; offset < size; offset += kCardPieceLength) {
    const std::uint64_t length = std::min<std::uint64_t>(kCardPieceLength, size - offset);
    pieces.back() = {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length),
                     offset == 0 ? CardOpenMode::CreateNew : CardOpenMode::OpenAlways};
    if (offset + length < size) pieces.push_back({});
  }
  return pieces;
}

bool LoadFilePiece(SiteContext& ctx, const std::filesystem::path& pcFile, std::uint32_t offset,
                   std::uint32_t length) {
  return LoadFilePieceSummed(ctx, pcFile, offset, length).has_value();
}

std::optional<std::uint32_t> LoadFilePieceSummed(SiteContext& ctx,
                                                 const std::filesystem::path& pcFile,
                                                 std::uint32_t offset, std::uint32_t length) {
  std::ifstream in(pcFile, std::ios::binary);
  if (!OpenAt(ctx, in, offset, length)) return std::nullopt;
  if (length == 0) return 0;
  // Up to 60 MiB: left uninitialised, the read fills it.
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(length);
  in.read(reinterpret_cast<char*>(piece.get()), static_cast<std::streamsize>(length));
  if (!in || static_cast<std::uint64_t>(in.gcount()) != length) {
    Fail(ctx, " - Read Data From File is Fail!");
    return std::nullopt;
  }
  const std::uint32_t sum = ByteSum(piece.get(), length);
  if (SendBufferFixed(ctx.Link(), ctx.Log(), {piece.get(), length}, length, kCardPieceAddress) !=
      SiteResultCode::Pass) {
    return std::nullopt;
  }
  return sum;
}

bool SaveFilePiece(SiteContext& ctx, const std::filesystem::path& pcFile, std::uint32_t offset,
                   std::uint32_t length, bool firstPiece) {
  const auto mode =
      std::ios::binary | std::ios::out | (firstPiece ? std::ios::trunc : std::ios::in);
  std::fstream out(pcFile, mode);
  if (!OpenAt(ctx, out, offset, length)) return false;
  if (length == 0) return true;
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(length);
  if (ReceiveBufferFixed(ctx.Link(), ctx.Log(), {piece.get(), length}, length, kCardPieceAddress) !=
      SiteResultCode::Pass) {
    return false;
  }
  out.write(reinterpret_cast<const char*>(piece.get()), static_cast<std::streamsize>(length));
  out.flush();
  if (!out) {
    Fail(ctx, " - Write Data to File is Fail!");
    return false;
  }
  return true;
}

SiteResult PutFileToCard(SiteContext& ctx, const std::filesystem::path& pcFile,
                         std::string_view directory, std::string_view file) {
  ctx.UnitReport().SdFreeKBytes = 0;
  const std::optional<std::uint64_t> size = PcFileSize(pcFile);
  if (!size) {
    Fail(ctx, " - Not Find Taget,s File!");
    return SiteResultCode::Fail;
  }
  const std::optional<std::vector<CardPiece>> pieces = CardPieces(*size);
  if (!pieces) {
    Fail(ctx, " - Target's File Is 4GBytes Or Bigger!");
    return SiteResultCode::Fail;
  }
  const SiteResult space = SdCardGetFreeSpace(ctx);
  if (space != SiteResultCode::Pass) return space;
  if (std::uint64_t{ctx.UnitReport().SdFreeKBytes} * kBytesPerKByte < *size) {
    Fail(ctx, " - Not enough file space!");
    return SiteResultCode::Fail;
  }
  for (const CardPiece& piece : *pieces) {
    // The sum of the bytes as they were sent, from the one read of the piece.
    const std::optional<std::uint32_t> sum =
        LoadFilePieceSummed(ctx, pcFile, piece.Offset, piece.Length);
    if (!sum) return SiteResultCode::Fail;
    if (SdWriteData(ctx, directory, file, kCardPieceAddress, piece.Offset, piece.Length,
                    piece.OpenMode, *sum) != SiteResultCode::Pass) {
      return SiteResultCode::Fail;
    }
  }
  return SiteResultCode::Pass;
}

SiteResult GetFileFromCard(SiteContext& ctx, const std::filesystem::path& pcFile,
                           std::string_view directory, std::string_view file) {
  std::uint32_t size = 0;
  if (SdGetFileSize(ctx, directory, file, size) != SiteResultCode::Pass) {
    return SiteResultCode::Fail;
  }
  std::error_code error;
  const std::filesystem::path folder =
      pcFile.has_parent_path() ? pcFile.parent_path() : std::filesystem::path(".");
  const std::uintmax_t free = std::filesystem::space(folder, error).available;
  if (error || free <= kPcSpareFactor * size) {
    Fail(ctx, " - Not enough file space!");
    return SiteResultCode::Fail;
  }
  const std::vector<CardPiece> pieces = *CardPieces(size);
  for (const CardPiece& piece : pieces) {
    if (SdReadData(ctx, directory, file, kCardPieceAddress, piece.Offset, piece.Length) !=
        SiteResultCode::Pass) {
      return SiteResultCode::Fail;
    }
    if (!SaveFilePiece(ctx, pcFile, piece.Offset, piece.Length,
                       piece.OpenMode == CardOpenMode::CreateNew)) {
      return SiteResultCode::Fail;
    }
  }
  return SiteResultCode::Pass;
}
