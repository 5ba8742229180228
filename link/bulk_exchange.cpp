#include "link/bulk_exchange.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"

namespace {

constexpr std::chrono::milliseconds kChunkPause{10};
constexpr std::uint32_t kChunkCountLimit = 0xFFFFFFFFu;

ChunkPlan PlanFor(std::uint64_t n, std::uint32_t length) {
  const std::uint64_t count = (n + length - 1) / length;
  if (count > kChunkCountLimit) return ChunkPlan{length, 0};
  return ChunkPlan{length, static_cast<std::uint32_t>(count)};
}

void Fail(LogSink& log, int site, const char* tail) {
  LogSite(log, site, tail, LogColour::Red);
}

// Announces a transfer: frame 0xA0, bytes 1..5 = 1, 0, 1, 1, 0, the plan and the address in
// the ParameterPacket, one code word.
bool Announce(ZvUsb& link, std::uint16_t code, const ChunkPlan& plan, std::uint32_t address) {
  return link.SendCommand(
      link.MakeOrdinaryCommandPacket(1),
      link.MakeParameterPacket(
          {.ChunkLength = plan.Length, .ChunkCount = plan.Count, .Address = address}),
      nullptr, 0, nullptr, link.MakeCodeWord(code), nullptr, nullptr);
}

// Chunk i of a send buffer: in place when the buffer holds it whole, else its bytes padded
// with 0xFF in `staging` (only the last chunk of a short buffer takes this way).
const std::uint8_t* SendChunk(std::span<const std::uint8_t> buffer, std::uint64_t start,
                              std::uint32_t length, std::vector<std::uint8_t>& staging) {
  if (start + length <= buffer.size()) return buffer.data() + start;
  staging.assign(length, kFill);
  if (start < buffer.size()) {
    std::memcpy(staging.data(), buffer.data() + start, buffer.size() - start);
  }
  return staging.data();
}

// Writes the chunks of an announced transfer, each followed by the unit's acknowledgement.
SiteResult SendChunks(ZvUsb& link, LogSink& log, int site, std::span<const std::uint8_t> buffer,
                      const ChunkPlan& plan) {
  Reply ack;
  ack.fill(kFill);
  ack[0] = SiteResultCode::Pass;
  std::vector<std::uint8_t> staging;
  for (std::uint32_t i = 0; i < plan.Count; ++i) {
    link.Sleep(kChunkPause);
    const std::uint8_t* chunk =
        SendChunk(buffer, std::uint64_t{i} * plan.Length, plan.Length, staging);
    if (!link.BulkWrite(chunk, static_cast<int>(plan.Length))) {
      Fail(log, site, " - Get Data Fail!");
      return SiteResultCode::Fail;
    }
    // A lost acknowledgement stops the transfer only when the last one seen was no pass.
    if (!link.BulkRead(ack.data(), static_cast<int>(kReplySize), false) &&
        ack[0] != SiteResultCode::Pass) {
      Fail(log, site, " - Send Ack Fail!");
      return SiteResultCode::Fail;
    }
  }
  return ack[0];
}

SiteResult ReceiveChunks(ZvUsb& link, LogSink& log, int site, std::span<std::uint8_t> buffer,
                         const ChunkPlan& plan) {
  CommandBlock ack;
  ack.fill(kFill);
  ack[0] = SiteResultCode::Pass;
  std::vector<std::uint8_t> staging;
  for (std::uint32_t i = 0; i < plan.Count; ++i) {
    link.Sleep(kChunkPause);
    const std::uint64_t start = std::uint64_t{i} * plan.Length;
    const bool inPlace = start + plan.Length <= buffer.size();
    if (!inPlace) staging.assign(plan.Length, 0);
    std::uint8_t* target = inPlace ? buffer.data() + start : staging.data();
    if (!link.BulkRead(target, static_cast<int>(plan.Length), false)) {
      Fail(log, site, " - Get Data Fail!");
      return SiteResultCode::Fail;
    }
    if (!inPlace && start < buffer.size()) {
      std::memcpy(buffer.data() + start, staging.data(), buffer.size() - start);
    }
    link.BulkWrite(ack.data(), static_cast<int>(ack.size()));  // a lost ack does not stop it
  }
  return SiteResultCode::Pass;
}

SiteResult SendAnnounced(ZvUsb& link, LogSink& log, std::span<const std::uint8_t> buffer,
                         const ChunkPlan& plan, std::uint32_t address, PresenceCheck presence) {
  const int site = link.SiteIndex();
  if (link.IsBusy()) {
    Fail(log, site, " - USB Busy!");
    return SiteResultCode::Fail;
  }
  SiteResult result = SiteResultCode::Fail;
  if (!Announce(link, CommandCode::BulkOut, plan, address)) {
    Fail(log, site, " - BulkOut Command Error!");
  } else {
    result = SendChunks(link, log, site, buffer, plan);
  }
  return FinishOnLink(link, result, presence);
}

SiteResult ReceiveAnnounced(ZvUsb& link, LogSink& log, std::span<std::uint8_t> buffer,
                            const ChunkPlan& plan, std::uint32_t address) {
  const int site = link.SiteIndex();
  if (link.IsBusy()) {
    Fail(log, site, " - USB Busy!");
    return SiteResultCode::Fail;
  }
  SiteResult result = SiteResultCode::Fail;
  if (!Announce(link, CommandCode::BulkIn, plan, address)) {
    Fail(log, site, " - BulkIn Command Error!");
  } else {
    result = ReceiveChunks(link, log, site, buffer, plan);
  }
  return FinishOnLink(link, result, PresenceCheck::Ask);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file for shared reading without stdio buffering: fread then moves the bytes
// straight from the file into the chunk buffer.
File OpenForStreaming(const std::filesystem::path& path, std::uint64_t offset) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return nullptr;
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
      fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
    return nullptr;
  }
  return file;
}

}  // namespace

ChunkPlan SendBufferPlan(std::uint32_t n) {
  if (n <= kSmallChunk) return PlanFor(n, kSmallChunk);
  if (n < kLargeChunk) return PlanFor(n, n);
  return PlanFor(n, kLargeChunk);
}

ChunkPlan ReceiveBufferPlan(std::uint32_t n) {
  // A zero-length receive moves no chunk (a chunk length of 0 would divide by zero).
  if (n == 0) return PlanFor(0, kSmallChunk);
  return PlanFor(n, n < kLargeChunk ? n : kLargeChunk);
}

ChunkPlan SendBufferFixedPlan(std::uint32_t n) {
  return PlanFor(n, n <= kSmallChunk ? kSmallChunk : kLargeChunk);
}

ChunkPlan ReceiveBufferFixedPlan(std::uint32_t n) {
  return PlanFor(n, n <= kSmallChunk ? kSmallChunk : kLargeChunk);
}

ChunkPlan SendFileRangePlan(std::uint64_t regionLength) {
  return PlanFor(regionLength, regionLength <= kSmallChunk ? kSmallChunk : kLargeChunk);
}

SiteResult SendBuffer(ZvUsb& link, LogSink& log, std::span<const std::uint8_t> buffer,
                      std::uint32_t n, std::uint32_t unitAddress) {
  return SendAnnounced(link, log, buffer, SendBufferPlan(n), unitAddress, PresenceCheck::Ask);
}

SiteResult SendBufferFixed(ZvUsb& link, LogSink& log, std::span<const std::uint8_t> buffer,
                           std::uint32_t n, std::uint32_t unitAddress) {
  return SendAnnounced(link, log, buffer, SendBufferFixedPlan(n), unitAddress, PresenceCheck::None);
}

SiteResult ReceiveBuffer(ZvUsb& link, LogSink& log, std::span<std::uint8_t> buffer, std::uint32_t n,
                         std::uint32_t unitAddress) {
  return ReceiveAnnounced(link, log, buffer, ReceiveBufferPlan(n), unitAddress);
}

SiteResult ReceiveBufferFixed(ZvUsb& link, LogSink& log, std::span<std::uint8_t> buffer,
                              std::uint32_t n, std::uint32_t unitAddress) {
  return ReceiveAnnounced(link, log, buffer, ReceiveBufferFixedPlan(n), unitAddress);
}

SiteResult SendFileRange(ZvUsb& link, LogSink& log, const std::filesystem::path& path,
                         std::uint64_t offset, std::uint64_t regionLength) {
  const int site = link.SiteIndex();
  const ChunkPlan plan = SendFileRangePlan(regionLength);
  Reply ack;
  ack.fill(kFill);
  ack[0] = SiteResultCode::Fail;
  const File file = OpenForStreaming(path, offset);
  if (!file) {
    Fail(log, site, " - Open File Fail!");
    return SiteResultCode::Fail;
  }
  std::uint8_t* chunk = link.StreamBuffer().data();
  for (std::uint32_t i = 0; i < plan.Count; ++i) {
    // Bytes after the region are sent too when the chunk is longer; past the end of the
    // file the chunk is 0xFF.
    const std::size_t got = std::fread(chunk, 1, plan.Length, file.get());
    std::memset(chunk + got, kFill, plan.Length - got);
    if (!link.BulkWrite(chunk, static_cast<int>(plan.Length))) {
      Fail(log, site, " - Send Data Fail!");
      return SiteResultCode::Fail;
    }
    if (link.BulkRead(ack.data(), static_cast<int>(kReplySize), false) &&
        ack[0] != SiteResultCode::Pass) {
      Fail(log, site, " - Get BulkOut Ack Fail!");
      return SiteResultCode::Fail;
    }
  }
  return ack[0];
}
