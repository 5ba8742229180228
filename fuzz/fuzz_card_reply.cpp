// A card command's reply of any content through the one decoder of the card's result codes,
// and a file size of any value through the piece plan. Input: 8 bytes of file size, then the
// reply (its byte 0 is the card's code), then the operation name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/command_block.h"
#include "site/ops/card_files.h"
#include "site/ops/card_result.h"

namespace {

class CheckingLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t, std::uint8_t, std::uint8_t) override {
    if (text.rfind("Site #2 - ", 0) != 0) __builtin_trap();
  }
};

void CheckDecoder(std::uint8_t code, const std::string& operation) {
  const CardResultLine line = DecodeCardResult(code, operation);
  if (line.Tail.rfind(" - " + operation, 0) != 0) __builtin_trap();
  const bool known = code >= CardCode::Pass && code <= CardCode::FormatAborted;
  if (known != (line.Result == code)) __builtin_trap();
  if (!known && line.Result != SiteResultCode::Fail) __builtin_trap();
  if ((line.Colour == LogColour::Green) != (code == CardCode::Pass)) __builtin_trap();
  CheckingLog log;
  std::uint8_t reported = code;
  ReportCardResult(log, 1, reported, operation);
  if (reported != line.Result) __builtin_trap();
}

void CheckPieces(std::uint64_t size) {
  const auto pieces = CardPieces(size);
  if (!pieces) {
    if (size < kCardFileLimit) __builtin_trap();
    return;
  }
  std::uint64_t next = 0;
  for (const CardPiece& piece : *pieces) {
    if (piece.Offset != next || piece.Length > kCardPieceLength) __builtin_trap();
    if ((piece.OpenMode == 8) != (piece.Offset == 0)) __builtin_trap();
    next += piece.Length;
  }
  if (next != size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  std::uint64_t fileSize = 0;
  for (int k = 7; k >= 0; --k) fileSize = (fileSize << 8) | data[k];
  // Sizes near the 4 GiB limit are the interesting ones; keep the plan small enough to walk.
  CheckPieces(fileSize % (kCardFileLimit + (kCardFileLimit >> 4)));
  const std::size_t replyLength = size - 8 < kReplySize ? size - 8 : kReplySize;
  const std::string operation(reinterpret_cast<const char*>(data + 8 + replyLength),
                              size - 8 - replyLength);
  CheckDecoder(data[8], operation);
  return 0;
}
