// D88 bytes laid out by hand, so that reader tests do not lean on the writer
// and writer tests can state the exact bytes they expect.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "d88/d88.h"

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, size_t at, uint32_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

inline void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}

// The sectors of one track: records 1..n of cylinder c, head h, each header
// saying n sectors and followed by size bytes that differ per sector.
inline Bytes track_bytes(uint8_t c, uint8_t h, int n, uint16_t size = 256) {
  Bytes out;
  for (int i = 0; i < n; ++i) {
    Bytes s(D88_SECTOR_HEADER_SIZE + size, static_cast<uint8_t>(c * 16 + i));
    s[0] = c;
    s[1] = h;
    s[2] = static_cast<uint8_t>(i + 1);
    s[3] = 1;
    put16(s, 4, static_cast<uint32_t>(n));
    std::memset(&s[6], 0, 8);
    put16(s, 14, size);
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

// Offset of sector i's header in a track made by track_bytes.
inline size_t sector_at(size_t track, int i, int size = 256) {
  return track + static_cast<size_t>(i) * (D88_SECTOR_HEADER_SIZE + size);
}

// One disk: a header of header_size bytes, then whatever is appended.
struct RawDisk {
  Bytes bytes;
  explicit RawDisk(const char* name = "DISK", int header = D88_HEADER_SIZE)
      : bytes(static_cast<size_t>(header), 0) {
    std::memcpy(bytes.data(), name, std::strlen(name));
  }
  // Appends a track and points the slot at it; its offset.
  uint32_t add(int slot, const Bytes& track) {
    const auto offset = static_cast<uint32_t>(bytes.size());
    entry(slot, offset);
    append(track);
    return offset;
  }
  void append(const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  void entry(int slot, uint32_t offset) {
    put32(bytes, 0x20 + 4 * static_cast<size_t>(slot), offset);
  }
  // The bytes with the size field set to their length.
  Bytes done() {
    put32(bytes, 0x1C, static_cast<uint32_t>(bytes.size()));
    return bytes;
  }
};

// The two-track disk most tests start from: slot 0 cylinder 0 head 0 at
// 0x2B0, slot 1 cylinder 0 head 1 at 0x4D0, two 256-byte sectors each,
// 0x6F0 bytes in all.
inline Bytes plain_disk(const char* name = "DISK") {
  RawDisk d(name);
  d.add(0, track_bytes(0, 0, 2));
  d.add(1, track_bytes(0, 1, 2));
  return d.done();
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::string as_string(const Bytes& b) {
  return std::string(b.begin(), b.end());
}
