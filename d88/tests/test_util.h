// Small conveniences shared by the d88 tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "d88/d88.h"
#include "d88/tests/raw_d88.h"

// Everything f printed to standard output.
template <class F>
std::string captured(F&& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

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

// The image's bytes as the writer lays them out ("" on failure).
inline std::string written(const DiskImage& image) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (write_d88_image_to_buffer(&image, &buffer, &length) < 0) return "";
  return std::string(buffer.get(), buffer.get() + length);
}
