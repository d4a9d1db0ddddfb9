// Small conveniences shared by the d88 tests. D88 bytes are laid out by hand,
// so that reader tests do not lean on the writer and writer tests can state
// the exact bytes they expect.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
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

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
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

// Offset of sector i's header in a track of 256-byte sectors.
inline size_t sector_at(size_t track, int i) {
  return track + static_cast<size_t>(i) * (D88_SECTOR_HEADER_SIZE + 256);
}

// One piece of a disk after its header: a track for a slot, or bytes that
// belong to no slot (slot -1).
struct Piece {
  int slot;
  Bytes bytes = {};
};

// A disk of the given header length and pieces, its size field set to its
// length.
inline Bytes raw_disk(const char* name, int header = D88_HEADER_SIZE,
                      const std::vector<Piece>& pieces = {}) {
  Bytes b(static_cast<size_t>(header), 0);
  std::memcpy(b.data(), name, std::strlen(name));
  for (const Piece& p : pieces) {
    if (p.slot >= 0) put32(b, 0x20 + 4 * static_cast<size_t>(p.slot),
                           static_cast<uint32_t>(b.size()));
    b = b + p.bytes;
  }
  put32(b, 0x1C, static_cast<uint32_t>(b.size()));
  return b;
}

// The two-track disk most tests start from: slot 0 cylinder 0 head 0 at
// 0x2B0, slot 1 cylinder 0 head 1 at 0x4D0, two 256-byte sectors each,
// 0x6F0 bytes in all.
inline Bytes plain_disk(const char* name = "DISK") {
  return raw_disk(name, D88_HEADER_SIZE,
                  {{0, track_bytes(0, 0, 2)}, {1, track_bytes(0, 1, 2)}});
}

// Everything f printed to standard output.
template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// A disk of the builder's, released when the test ends.
struct FreeDisk {
  void operator()(Disk* d) const { free_d88_disk(d, 1); }
};
using DiskPtr = std::unique_ptr<Disk, FreeDisk>;

// An image record that releases its disks when the test ends.
struct OwnedImage : DiskImage {
  OwnedImage() = default;
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;
  ~OwnedImage() { free_d88_image(this, 0); }
};

inline int read_bytes(DiskImage* image, const Bytes& b) {
  return read_d88_image_from_buffer(image, b.data(),
                                    static_cast<int32_t>(b.size()));
}

// The image's bytes as the writer lays them out (none on failure).
inline Bytes written(const DiskImage& image) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (write_d88_image_to_buffer(&image, &buffer, &length) < 0) return {};
  return Bytes(buffer.get(), buffer.get() + length);
}
