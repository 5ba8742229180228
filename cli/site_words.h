#pragma once
// How the command-line program names a panel's state: the texts the panels show.
#include <cstdint>

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
