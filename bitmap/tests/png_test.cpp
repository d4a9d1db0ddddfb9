#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/file_ptr.h"
#include "support/png_samples.h"
#include "support/run_program.h"

namespace {

using namespace bitmap;

// The reader's result and lines for the file, its signature taken as read.
Outcome read(const std::string& file, uint32_t rows = 256, uint32_t width = 256, const std::string& name = "p") {
  common::FilePtr f(std::tmpfile());
  std::fwrite(file.data() + PNG_SIGNATURE_SIZE, 1, file.size() - PNG_SIGNATURE_SIZE, f.get());
  std::rewind(f.get());
  uint8_t* pixels = nullptr;
  const Outcome got = outcome([&] { return read_png(f.get(), name.c_str(), width, rows, &pixels); });
  return free_bitmap_buffer(pixels), got;
}

// What cannot be is refused before anything is read or written.
TEST(Png, ArgumentsOutsideTheLimitsAreRefusedSilently) {
  common::FilePtr f(std::tmpfile());
  uint8_t* pixels = nullptr;
  const Bytes palette(1024), px(16);
  std::vector<int> got;
  EXPECT_EQ(captured([&] {
              got = {read_png(nullptr, "p", 256, 256, &pixels), read_png(f.get(), nullptr, 256, 256, &pixels),
                     read_png(f.get(), "p", 256, 256, nullptr), read_png(f.get(), "p", 0, 256, &pixels),
                     read_png(f.get(), "p", 256, 0, &pixels), read_png(f.get(), "p", 0x2AAAAAAB, 1, &pixels),
                     read_png(f.get(), "p", 256, PNG_MAX_HEIGHT + 1, &pixels),
                     write_png(nullptr, 4, 4, 4, palette.data(), px.data()), write_png(f.get(), 4, 4, 4, nullptr, px.data()),
                     write_png(f.get(), 4, 4, 4, palette.data(), nullptr), write_png(f.get(), 0, 4, 4, palette.data(), px.data()),
                     write_png(f.get(), 4, 0, 4, palette.data(), px.data()), write_png(f.get(), 4, 4, 3, palette.data(), px.data())};
            }), "");
  EXPECT_EQ(got, std::vector<int>(13, -1));
  for (const int depth : {1, 2, 4, 8}) EXPECT_EQ(write_png(f.get(), 4, 4, depth, palette.data(), px.data()), 0) << depth;
  EXPECT_EQ(pixels, nullptr);
  // Past those, libpng's own limits speak, and a stream that refuses the bytes.
  for (const auto& [width, height] : {std::pair{0x7FFFFFFFu, 1u}, {1u, 0x7FFFFFFFu}}) {
    EXPECT_EQ(outcome([&, w = width, h = height] { return write_png(f.get(), w, h, 4, palette.data(), px.data()); }),
              Outcome(-1, "error: write_png() - Invalid IHDR data\n"));
  }
  char byte;
  common::FilePtr read_only(::fmemopen(&byte, 1, "r"));
  EXPECT_EQ(outcome([&] { return write_png(read_only.get(), 4, 4, 4, palette.data(), px.data()); }),
            Outcome(-1, "error: write_png() - can't write data\n"));
  const uint8_t not_png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\r'};
  EXPECT_EQ(std::tuple(is_png_signature(PNG_SIGNATURE), is_png_signature(not_png), is_png_signature(nullptr)),
            std::tuple(true, false, false));
}

TEST(Png, DamagedOrWrongSizedFilesFailWithOneLine) {
  for (const BadPng& bad : bad_pngs()) {
    EXPECT_EQ(read(bad.bytes, 256, 256, bad.name),
              bad.reason.empty() ? Outcome(PNG_WRONG_SIZE, "")
                                 : Outcome(-1, "error: read_png() - '" + bad.name + "': " + bad.reason + "\n"));
  }
  // Any rows and width within the limits are asked for; the tallest picture is read, whole or its top row.
  const std::string tallest = png_file(256, PNG_MAX_HEIGHT, 1, 0, std::string(PNG_MAX_HEIGHT * 33, '\0'));
  EXPECT_EQ(std::tuple(read(tallest, PNG_MAX_HEIGHT), read(tallest, 1), read(tallest, 1, 0x2AAAAAAA)),
            std::tuple(Outcome(0, ""), Outcome(0, ""), Outcome(PNG_WRONG_SIZE, "")));
  // From the start of the last row on, 32 KiB of image data is read and no more: of one row, all of it; before
  // that, any amount, also in the passes of an interlaced picture (of noise: each pass's rows, filter byte 0).
  const std::string bytes = incompressible(200000);
  std::string noise;
  for (const auto& [w, h] : {std::pair{32, 32}, {32, 32}, {64, 32}, {64, 64}, {128, 64}, {128, 128}, {256, 128}}) {
    for (int y = 0; y < h; ++y) noise += '\0' + bytes.substr(noise.size(), 3 * w);
  }
  EXPECT_EQ(read(png_file(256, 256, 8, 2, noise, "", true)), Outcome(0, ""));
  const std::string one_row = png_file(256, 1, 8, 2, std::string(769, '\0'));
  for (const size_t more : {0, 1}) {  // an IDAT more: 32 KiB + more in all (57: the bytes around the data)
    std::string file = one_row;
    file.insert(file.size() - 12, png_chunk("IDAT", std::string(32 * 1024 + more - (one_row.size() - 57), '\0')));
    EXPECT_EQ(read(file, 1),
              more == 0 ? Outcome(0, "") : Outcome(-1, "error: read_png() - 'p': too much image data after the last row\n"));
  }
}

}  // namespace
