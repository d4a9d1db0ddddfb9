// Helpers shared by the bitmap library tests: scratch streams and captured
// standard output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"

using Bytes = std::vector<uint8_t>;

// An anonymous scratch file holding contents, positioned at its start.
inline FilePtr scratch_stream(const Bytes& contents = {}) {
  FilePtr f(std::tmpfile());
  if (f && !contents.empty()) std::fwrite(contents.data(), 1, contents.size(), f.get());
  if (f) std::rewind(f.get());
  return f;
}

// Everything in the stream, from the start.
inline Bytes stream_bytes(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  Bytes out;
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
  return out;
}

// What fn printed to standard output.
inline std::string captured(const std::function<void()>& fn) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  fn();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// The file write_bitmap makes for a fresh header of these dimensions.
inline Bytes bitmap_file(uint32_t width, uint32_t height, uint16_t bits,
                         const uint8_t* palette, const Bytes& pixels) {
  BitmapInfo info;
  EXPECT_EQ(create_bitmap_header(&info, width, height, bits), 0);
  FilePtr f = scratch_stream();
  EXPECT_EQ(write_bitmap(f.get(), &info, palette, pixels.data()), 0);
  return stream_bytes(f.get());
}

// A palette of n entries whose entry i is blue i, green i + 1, red i + 2.
inline Bytes ramp_palette(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) {
    p.insert(p.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i + 1),
                       static_cast<uint8_t>(i + 2), 0});
  }
  return p;
}
