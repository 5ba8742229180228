#include "site/ops/step_reply.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

StepReply::StepReply(std::span<const std::uint8_t> bytes) {
  bytes_.fill(kFill);
  std::copy_n(bytes.begin(), std::min(bytes.size(), bytes_.size()), bytes_.begin());
}

bool StepReply::SocketHoldsPart(std::size_t socket) const {
  const std::size_t at = StepReplyField::SocketInsert + StepReplyField::SocketStride * socket;
  return at < bytes_.size() && bytes_[at] == kSocketHoldsPart;
}

std::uint64_t StepReply::PinScan() const {
  const std::uint64_t low = Le32(StepReplyField::PinScan);
  const std::uint64_t high = Le32(StepReplyField::PinScan + 4);
  return low | (high << 32);
}

std::string_view StepReply::MessageText() const {
  const char* text = reinterpret_cast<const char*>(&bytes_[StepReplyField::MessageText]);
  const void* zero = std::memchr(text, 0, StepReplyField::MessageLength);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                                  : StepReplyField::MessageLength;
  return {text, length};
}

std::string HexDigits(std::uint64_t value, int minDigits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", minDigits, static_cast<unsigned long long>(value));
  return text;
}
