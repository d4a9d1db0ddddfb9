// D88 bytes laid out by hand, so that the writer is checked against them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "d88/d88.h"

using Bytes = std::vector<uint8_t>;

inline Bytes with(Bytes b, size_t at, uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) b.at(at + i) = static_cast<uint8_t>(v >> 8 * i);
  return b;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Records 1..n of cylinder c, head h, each followed by size distinct bytes.
inline Bytes track_bytes(uint8_t c, uint8_t h, int n, uint16_t size = 256) {
  Bytes out;
  for (int i = 0; i < n; ++i) {
    const Bytes s = with(Bytes(16u + size, c * 16 + i), 0, c | h << 8 | (i + 1) << 16 | 1 << 24);
    out = out + with(with(with(s, 4, n), 8, 0), 12, uint32_t{size} << 16);
  }
  return out;
}

// A disk of this header length with tracks for slots (slot -1: loose bytes).
inline Bytes raw_disk(const char* name, int header = 688,
                      const std::vector<std::pair<int, Bytes>>& pieces = {}) {
  Bytes b(static_cast<size_t>(header), 0);
  std::memcpy(b.data(), name, std::strlen(name));
  for (const auto& [slot, bytes] : pieces) {
    if (slot >= 0) b = with(b, 0x20 + 4u * slot, static_cast<uint32_t>(b.size()));
    b = b + bytes;
  }
  return with(b, 0x1C, static_cast<uint32_t>(b.size()));
}

// Slots 0 and 1 (at 0x2B0 and 0x4D0) of cylinder 0, two sectors each.
inline Bytes plain_disk(const char* name = "DISK") {
  return raw_disk(name, 688, {{0, track_bytes(0, 0, 2)}, {1, track_bytes(0, 1, 2)}});
}

template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

struct OwnedImage : DiskImage { ~OwnedImage() { free_d88_image(this, 0); } };

inline int read_bytes(DiskImage* image, const Bytes& b) {
  return read_d88_image_from_buffer(image, b.data(), static_cast<int32_t>(b.size()));
}
