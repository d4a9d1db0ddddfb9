// Little-endian field routines shared by the file formats.
//
// Every multi-byte value in a D88 image or a BMP file is little-endian and is
// read and written byte by byte through these, never by laying a record over
// the bytes. The store routines return the position just past what they wrote.
#pragma once

#include <cstdint>

namespace common {

inline uint16_t le_get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t le_get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline uint8_t* le_put16(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  return p + 2;
}

inline uint8_t* le_put32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
  return p + 4;
}

}  // namespace common
