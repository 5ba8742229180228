#include "sim/sd_card_commands.h"

#include <algorithm>
#include <chrono>
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
  if (state.missing || ctx.sdCardFolder().empty() || !fs::is_directory(ctx.sdCardFolder(), ec)) {
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
  if (ctx.state<SdCardState>().full) {
    kbytes = 0;
  } else if (auto fixed = ctx.state<SdCardState>().freeKBytes) {
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

// Deleting the root empties the card (the quick format).
void deleteDirectory(CommandContext& ctx) {
  auto card = cardOf(ctx);
  if (!card) return;
  auto dir = directoryOf(*card, ctx.block().name.text1);
  std::error_code ec;
  if (!dir) return answer(ctx, CardResult::InvalidName);
  if (ctx.state<SdCardState>().writeProtected) return answer(ctx, CardResult::WriteProtected);
  if (*dir == *card) {
    for (const auto& entry : fs::directory_iterator(*card, ec)) fs::remove_all(entry.path(), ec);
    return answer(ctx, ec ? CardResult::DiskError : CardResult::Pass);
  }
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

// Pieces move between file and memory a memory page at a time, so that a card file of any
// size never sits in memory whole.
constexpr std::size_t kStep = UnitMemory::kPageSize;

// The card's time for a piece less what the host has spent on it already, so that copying
// into the host folder is part of the card's time rather than added to it.
std::chrono::nanoseconds remainingCardTime(CommandContext& ctx, std::uint64_t bytes,
                                           std::chrono::steady_clock::time_point start) {
  const auto spent =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start) *
      ctx.timing().scale;
  const auto model = ctx.timing().sdTime(ctx.code(), bytes);
  const auto left = model - std::chrono::duration_cast<std::chrono::nanoseconds>(spent);
  return std::max(left, std::chrono::nanoseconds(0));
}

// Card file piece (p6 offset, p7 length) into unit memory at p3; the part past the file's
// end is left as it was.
void readData(CommandContext& ctx) {
  const auto start = std::chrono::steady_clock::now();
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
  in.seekg(offset);
  std::vector<std::uint8_t> step(kStep);
  std::uint64_t moved = 0;
  while (moved < length && in) {
    const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(kStep, length - moved));
    in.read(reinterpret_cast<char*>(step.data()), want);
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    ctx.memory().write(address + static_cast<std::uint32_t>(moved), {step.data(), got});
    moved += got;
  }
  ctx.complete(makeReply(CardResult::Pass), remainingCardTime(ctx, moved, start));
}

// The byte sum of a memory range, read a page at a time.
std::uint32_t memorySum(const UnitMemory& memory, std::uint32_t address, std::uint32_t length) {
  std::vector<std::uint8_t> step(kStep);
  std::uint32_t sum = 0;
  for (std::uint64_t at = 0; at < length; at += kStep) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kStep, length - at));
    memory.read(address + static_cast<std::uint32_t>(at), {step.data(), n});
    sum = std::accumulate(step.begin(), step.begin() + static_cast<std::ptrdiff_t>(n), sum);
  }
  return sum;
}

// Writes `length` bytes of memory into the open file at its position; false on an I/O error.
bool writeFromMemory(std::fstream& out, const UnitMemory& memory, std::uint32_t address,
                     std::uint32_t length) {
  std::vector<std::uint8_t> step(kStep);
  for (std::uint64_t at = 0; at < length && out; at += kStep) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kStep, length - at));
    memory.read(address + static_cast<std::uint32_t>(at), {step.data(), n});
    out.write(reinterpret_cast<const char*>(step.data()), static_cast<std::streamsize>(n));
  }
  return static_cast<bool>(out);
}

// The code that refuses a write before it starts, or none.
std::optional<std::uint8_t> refuseWrite(CommandContext& ctx, std::uint32_t sum) {
  const auto& state = ctx.state<SdCardState>();
  if (state.writeProtected) return CardResult::WriteProtected;
  if (!ctx.memory().contains(ctx.block().p(3), ctx.block().p(7))) return CardResult::DiskError;
  if (sum != ctx.block().argument1) return CardResult::DiskError;
  if (state.full) return CardResult::Denied;
  return std::nullopt;
}

// Unit memory (p3, p7 bytes) into the card file at p6; the byte sum in argument 1 must match.
void writeData(CommandContext& ctx) {
  const auto start = std::chrono::steady_clock::now();
  auto card = cardOf(ctx);
  if (!card) return;
  auto file = fileOf(ctx, *card);
  if (auto* code = std::get_if<std::uint8_t>(&file)) return answer(ctx, *code);
  const auto& path = std::get<fs::path>(file);
  const std::uint32_t address = ctx.block().p(3);
  std::uint32_t length = ctx.block().p(7);
  const bool inside = ctx.memory().contains(address, length);
  if (auto refused = refuseWrite(ctx, inside ? memorySum(ctx.memory(), address, length) : 0)) {
    return answer(ctx, *refused);
  }
  auto& state = ctx.state<SdCardState>();
  const bool pulled = state.pullAtPiece && *state.pullAtPiece == state.piecesWritten;
  ++state.piecesWritten;
  if (pulled) length /= 2;
  std::error_code ec;
  const bool createNew = ctx.block().name.byteArg == CardOpenMode::CreateNew;
  if (createNew || !fs::exists(path, ec)) std::ofstream(path, std::ios::binary | std::ios::trunc);
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) return answer(ctx, CardResult::Denied);
  out.seekp(ctx.block().p(6));
  const bool written = writeFromMemory(out, ctx.memory(), address, length);
  if (pulled) {
    state.missing = true;
    return answer(ctx, CardResult::MediumRemoved);
  }
  ctx.complete(makeReply(written ? CardResult::Pass : CardResult::DiskError),
               remainingCardTime(ctx, length, start));
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
