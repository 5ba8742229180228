#pragma once
// Log and panel colours are 32-bit values in the byte order 0x00BBGGRR.
#include <QColor>
#include <cstdint>

inline QColor ColourFromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}
