#include "sim/sd_card_commands.h"

#include <algorithm>
#include <fstream>
#include <numeric>
#include <system_error>
#include <variant>
#include <vector>

#include "sim/timing_model.h"
#include "sim/unit_memory.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

inline constexpr std::size_t kNameMax = 8;
inline constexpr std::string_view kDrive = "0:";

// A card name: at most 8 characters, none that could leave the card's folder.
bool validName(const std::string& name) {
  if (name.empty() || name.size() > kNameMax || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
  });
}

// "0:" is the root, "0:NAME", "0:/NAME" and "NAME" a directory of the root.
std::optional<fs::path> directoryOf(const fs::path& card, std::string text) {
  if (text.rfind(kDrive, 0) == 0) {
    text.erase(0, kDrive.size());
    if (!text.empty() && text.front() == '/') text.erase(0, 1);
    if (text.empty()) return card;
  }
  if (!validName(text)) return std::nullopt;
  return card / text;
}

// Answers with the code and, when given, a 32-bit value at `at`.
void answer(CommandContext& ctx, std::uint8_t code, std::size_t at = 0, std::uint32_t value = 0) {
  ReplyBytes reply = makeReply(code);
  if (at != 0) writeLe32(reply.data() + at, value);
  ctx.complete(reply);
}

// Common start of every card command: a card must be there (and the forced code wins).
std::optional<fs::path> cardOf(CommandContext& ctx) {
  const auto& state = ctx.state<SdCardState>();
  if (state.forcedResult) {
    answer(ctx, *state.forcedResult);
    return std::nullopt;
  }
  std::error_code ec;
  if (ctx.sdCardFolder().empty() || !fs::is_directory(ctx.sdCardFolder(), ec)) {
    answer(ctx, CardResult::NotReady);
    return std::nullopt;
  }
  return ctx.sdCardFolder();
}

void detect(CommandContext& ctx) {
  if (cardOf(ctx)) answer(ctx, CardResult::Pass);
}

void freeSpace(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  std::uint64_t kbytes = 0;
  if (auto fixed = ctx.state<SdCardState>().freeKBytes) {
    kbytes = *fixed;
  } else {
    std::error_code ec;
    kbytes = fs::space(*card, ec).available / 1024;
  }
  answer(ctx, CardResult::Pass, CardReply::FreeKBytes,
         static_cast<std::uint32_t>(std::min<std::uint64_t>(kbytes, 0xFFFFFFFFu)));
}

void createDirectory(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto dir = directoryOf(*card, ctx.block().name.text1);
  std::error_code ec;
  if (!dir || *dir == *card) return answer(ctx, CardResult::InvalidName);
  if (ctx.state<SdCardState>().writeProtected) return answer(ctx, CardResult::WriteProtected);
  if (fs::exists(*dir, ec)) return answer(ctx, CardResult::Exists);
  answer(ctx, fs::create_directory(*dir, ec) ? CardResult::Pass : CardResult::DiskError);
}

void deleteDirectory(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto dir = directoryOf(*card, ctx.block().name.text1);
  std::error_code ec;
  if (!dir || *dir == *card) return answer(ctx, CardResult::InvalidName);
  if (ctx.state<SdCardState>().writeProtected) return answer(ctx, CardResult::WriteProtected);
  if (!fs::is_directory(*dir, ec)) return answer(ctx, CardResult::NoPath);
  fs::remove_all(*dir, ec);
  answer(ctx, ec ? CardResult::DiskError : CardResult::Pass);
}

// The card file named by the name packet, or the code that refuses it.
std::variant<fs::path, std::uint8_t> fileOf(CommandContext& ctx, const fs::path& card) {
  auto dir = directoryOf(card, ctx.block().name.text1);
  if (!dir || !validName(ctx.block().name.text2)) return CardResult::InvalidName;
  std::error_code ec;
  if (!fs::is_directory(*dir, ec)) return CardResult::NoPath;
  return *dir / ctx.block().name.text2;
}

void fileSize(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto file = fileOf(ctx, *card);
  if (auto* code = std::get_if<std::uint8_t>(&file)) return answer(ctx, *code);
  std::error_code ec;
  const auto size = fs::file_size(std::get<fs::path>(file), ec);
  if (ec) return answer(ctx, CardResult::NoFile, CardReply::FileSize, 0);
  answer(ctx, CardResult::Pass, CardReply::FileSize,
         static_cast<std::uint32_t>(std::min<std::uintmax_t>(size, 0xFFFFFFFFu)));
}

// Card file piece (p6 offset, p7 length) into unit memory at p3; the part past the file's
// end is left as it was.
void readData(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto file = fileOf(ctx, *card);
  if (auto* code = std::get_if<std::uint8_t>(&file)) return answer(ctx, *code);
  const std::uint32_t address = ctx.block().p(3);
  const std::uint32_t offset = ctx.block().p(6);
  const std::uint32_t length = ctx.block().p(7);
  if (!ctx.memory().contains(address, length)) return answer(ctx, CardResult::DiskError);
  std::ifstream in(std::get<fs::path>(file), std::ios::binary);
  if (!in) return answer(ctx, CardResult::NoFile);
  std::vector<std::uint8_t> piece(length);
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(length));
  piece.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  ctx.memory().write(address, piece);
  ctx.complete(makeReply(CardResult::Pass), ctx.timing().sdTime(ctx.code(), piece.size()));
}

// Unit memory (p3, p7 bytes) into the card file at p6; the byte sum in argument 1 must match.
void writeData(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto file = fileOf(ctx, *card);
  if (auto* code = std::get_if<std::uint8_t>(&file)) return answer(ctx, *code);
  if (ctx.state<SdCardState>().writeProtected) return answer(ctx, CardResult::WriteProtected);
  const auto& path = std::get<fs::path>(file);
  const std::uint32_t offset = ctx.block().p(6);
  const auto piece = ctx.memory().readVector(ctx.block().p(3), ctx.block().p(7));
  if (piece.size() != ctx.block().p(7)) return answer(ctx, CardResult::DiskError);
  const std::uint32_t sum = std::accumulate(piece.begin(), piece.end(), std::uint32_t{0});
  if (sum != ctx.block().argument1) return answer(ctx, CardResult::DiskError);
  std::error_code ec;
  const bool createNew = ctx.block().name.byteArg == CardOpenMode::CreateNew;
  if (createNew || !fs::exists(path, ec)) std::ofstream(path, std::ios::binary | std::ios::trunc);
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) return answer(ctx, CardResult::Denied);
  out.seekp(offset);
  out.write(reinterpret_cast<const char*>(piece.data()),
            static_cast<std::streamsize>(piece.size()));
  ctx.complete(makeReply(out ? CardResult::Pass : CardResult::DiskError),
               ctx.timing().sdTime(ctx.code(), piece.size()));
}

}  // namespace

void installSdCardCommands(CommandRegistry& registry) {
  registry.add(Code::SdDetect, detect);
  registry.add(Code::SdTest, detect);
  registry.add(Code::SdFreeSpace, freeSpace);
  registry.add(Code::SdCreateDirectory, createDirectory);
  registry.add(Code::SdDeleteDirectory, deleteDirectory);
  registry.add(Code::SdGetFileSize, fileSize);
  registry.add(Code::SdReadData, readData);
  registry.add(Code::SdWriteData, writeData);
}

}  // namespace sim
