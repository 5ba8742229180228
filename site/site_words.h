#pragma once
// How the front ends name a panel's state (the texts the panels show) and a
// link's date-time identifier.
#include <cstdint>
#include <cstdio>
#include <string>

#include "link/zv_usb.h"

#include "site/site_status.h"

inline const char* StateWord(std::uint32_t status) {
  switch (status) {
    case siNone:
      return "NONE";
    case siReady:
      return "READY";
    case siWorking:
      return "WORKING";
    case siPass:
      return "PASS";
    case siFail:
      return "FAIL";
    case siTake:
      return "Remove IC";
    case siPut:
      return "Insert IC";
    case siPushKey:
      return "Push Key";
    default:
      return "?";
  }
}

// "0x" and 16 hex digits; "-" while the unit's identifier is unknown.
inline std::string OrderKeyText(std::uint64_t key) {
  if (key == ZvUsb::kUnknownKey) return "-";
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(key));
  return text;
}
