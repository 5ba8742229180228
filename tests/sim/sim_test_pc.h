#pragma once
// The PC side of the sim tests: blocks laid out byte by byte here (not with the link's
// frame builder, and not with the simulator's decoder), and a claimed handle to talk through.
#include <array>
#include <cstdint>
#include <vector>

#include "sim/sim_bus.h"

namespace simtest {

using Block = std::array<std::uint8_t, 1024>;

inline void putLe32(Block& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A block with one code, command byte `cmd`, and p1..p7 when given.
inline Block makeBlock(std::uint16_t code, std::uint8_t cmd = 1,
                       const std::vector<std::uint32_t>& params = {}, std::uint8_t frame = 0xA0) {
  Block b;
  b.fill(0xFF);
  b[0] = frame;
  b[1] = 1;
  b[2] = 0;
  b[3] = 1;
  b[4] = cmd;
  b[5] = 0;
  putLe32(b, 6, 0);
  putLe32(b, 10, 0);
  b[18] = 0xA3;
  putLe32(b, 20, 0);
  putLe32(b, 24, 0xA3);
  putLe32(b, 28, 0x0204);
  if (!params.empty()) {
    for (std::size_t i = 0; i < 7; ++i) putLe32(b, 32 + 4 * i, i < params.size() ? params[i] : 0);
    putLe32(b, 60, 0);
  }
  b[132] = static_cast<std::uint8_t>(code & 0xFF);
  b[133] = static_cast<std::uint8_t>(code >> 8);
  putLe32(b, 196, 20240517);
  putLe32(b, 200, 93015);
  return b;
}

// Opens and claims the first unit on the bus (in bus order).
struct Pc {
  UsbLibrary& usb;
  usb_dev_handle* handle = nullptr;

  explicit Pc(UsbLibrary& library, int unitIndex = 0) : usb(library) {
    usb.find_busses();
    usb.find_devices();
    int k = 0;
    for (usb_bus* bus = usb.get_busses(); bus; bus = bus->next) {
      for (struct usb_device* d = bus->devices; d; d = d->next) {
        if (d->descriptor.idVendor != UnitUsb::VendorId) continue;
        if (k++ != unitIndex) continue;
        handle = usb.open(d);
        if (handle &&
            (usb.set_configuration(handle, 1) != 0 || usb.claim_interface(handle, 0) != 0)) {
          usb.close(handle);
          handle = nullptr;
        }
        return;
      }
    }
  }

  int write(const std::uint8_t* bytes, std::size_t n) {
    return usb.bulk_write(handle, 0x01, reinterpret_cast<char*>(const_cast<std::uint8_t*>(bytes)),
                          static_cast<int>(n), 15000);
  }
  int write(const Block& b) { return write(b.data(), b.size()); }
  int write(const std::vector<std::uint8_t>& v) { return write(v.data(), v.size()); }

  // Reads up to n bytes (timeout in ms, 0 = without limit); returns the count or error.
  int read(std::uint8_t* out, std::size_t n, int timeout = 1000) {
    return usb.bulk_read(handle, 0x82, reinterpret_cast<char*>(out), static_cast<int>(n), timeout);
  }
  // Byte 0 of the next 512-byte reply, or the negative error.
  int replyByte(int timeout = 1000) {
    std::array<std::uint8_t, 512> r{};
    const int n = read(r.data(), r.size(), timeout);
    return n == 512 ? r[0] : (n < 0 ? n : 1000 + n);
  }
  // A command that completes: the acceptance byte and the completion byte.
  std::pair<int, int> command(const Block& b) {
    if (write(b) != 1024) return {-1, -1};
    const int accepted = replyByte();
    if (accepted != 0xA0) return {accepted, -1};
    return {accepted, replyByte()};
  }
};

}  // namespace simtest
