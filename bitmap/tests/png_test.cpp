#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "common/file_ptr.h"
#include "support/png_samples.h"
#include "support/run_program.h"

namespace {

// A stream of the file with its signature already read, as the reader wants.
common::FilePtr after_signature(const std::string& file) {
  common::FilePtr f(std::tmpfile());
  std::fwrite(file.data(), 1, file.size(), f.get());
  std::fseek(f.get(), bitmap::PNG_SIGNATURE_SIZE, SEEK_SET);
  return f;
}

// The reader's result and lines, and the top 256 rows it gave.
std::pair<Outcome, Bytes> read_top(const std::string& file, const char* name = "p.png") {
  common::FilePtr f = after_signature(file);
  uint8_t* pixels = nullptr;
  const Outcome got = outcome([&] { return bitmap::read_png(f.get(), name, 256, 256, &pixels); });
  const Bytes bgr = pixels != nullptr ? Bytes(pixels, pixels + 256 * 256 * 3) : Bytes();
  return free_bitmap_buffer(pixels), std::pair(got, bgr);
}

TEST(Png, WrittenIndexesReadBackAsTheirPaletteColours) {
  Bytes palette(1024);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = uint8_t(i * 7 + i / 4);
  for (const int depth : {1, 4, 8}) {
    SCOPED_TRACE(depth);
    Bytes indexes(256 * 300);  // taller than asked for: the top rows count
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t((i ^ i / 256) % (1 << depth));
    common::FilePtr f(std::tmpfile());
    ASSERT_EQ(bitmap::write_png(f.get(), 256, 300, depth, palette.data(), indexes.data()), 0);
    std::fflush(f.get());
    const std::string file = read_file("/proc/self/fd/" + std::to_string(::fileno(f.get())));
    // IHDR, PLTE of 2^depth entries, IDAT, IEND: no other colour data.
    EXPECT_EQ(file.substr(24, 2), std::string({char(depth), 3}));
    EXPECT_EQ(file.substr(33, 8), std::string("\0\0", 2) + char((3 << depth) >> 8) +
                                      char(3 << depth) + "PLTE");
    EXPECT_EQ(file.find("IDAT"), 49 + (3u << depth));
    EXPECT_EQ(file.substr(file.size() - 8, 4), "IEND");
    const auto [got, bgr] = read_top(file);
    ASSERT_EQ(got, Outcome(0, ""));
    for (size_t i = 0; i < bgr.size(); ++i) ASSERT_EQ(bgr[i], palette[4 * indexes[i / 3] + i % 3]) << i;
  }
}

// What cannot be is refused before anything is read or written; any number
// of rows up to PNG_MAX_HEIGHT is asked for as any other.
TEST(Png, ArgumentsOutsideTheLimitsAreRefused) {
  common::FilePtr f = after_signature(png_file(256, 256, 8, 2, std::string(256 * 769, '\0')));
  uint8_t* pixels = nullptr;
  const Bytes palette(1024), px(16);
  EXPECT_EQ(std::vector<int>({bitmap::read_png(nullptr, "p", 256, 256, &pixels), bitmap::read_png(f.get(), nullptr, 256, 256, &pixels),
                              bitmap::read_png(f.get(), "p", 256, 256, nullptr), bitmap::read_png(f.get(), "p", 0, 256, &pixels),
                              bitmap::read_png(f.get(), "p", 256, 0, &pixels), bitmap::read_png(f.get(), "p", 0x2AAAAAAB, 1, &pixels),
                              bitmap::read_png(f.get(), "p", 256, bitmap::PNG_MAX_HEIGHT + 1, &pixels),
                              bitmap::read_png(f.get(), "p", 256, bitmap::PNG_MAX_HEIGHT, &pixels)}),
            std::vector<int>({-1, -1, -1, -1, -1, -1, -1, bitmap::PNG_WRONG_SIZE}));
  EXPECT_EQ(std::vector<int>({bitmap::write_png(nullptr, 4, 4, 4, palette.data(), px.data()),
                              bitmap::write_png(f.get(), 4, 4, 4, nullptr, px.data()), bitmap::write_png(f.get(), 4, 4, 4, palette.data(), nullptr),
                              bitmap::write_png(f.get(), 0, 4, 4, palette.data(), px.data()),
                              bitmap::write_png(f.get(), 4, 0, 4, palette.data(), px.data()),
                              bitmap::write_png(f.get(), 4, 4, 3, palette.data(), px.data())}),
            std::vector<int>(6, -1));
  EXPECT_EQ(pixels, nullptr);
}

TEST(Png, AStreamThatRefusesTheBytesFailsWithOneLine) {
  char buffer[1];
  std::FILE* read_only = fmemopen(buffer, sizeof buffer, "r");
  const Bytes indexes(256 * 2);
  EXPECT_EQ(outcome([&] { return bitmap::write_png(read_only, 256, 2, 4, Bytes(64).data(), indexes.data()); }),
            Outcome(-1, "error: write_png() - can't write data\n"));
  std::fclose(read_only);
}

// First pixel of a 256 x 256 picture whose rows all start with the bytes.
TEST(Png, EveryColourTypeGivesItsColourChannelsAsTheyAre) {
  const std::string plte = png_chunk("PLTE", "\1\2\3\4\5\6\7\x8\x9\xA\xB\xC");
  const std::string trns = png_chunk("tRNS", std::string("\0\0", 2));
  const std::string trns_rgb = png_chunk("tRNS", std::string("\0\x10\0\x20\0\x30", 6));
  const struct {
    int depth, type;
    std::string row_start, chunks;
    Bytes bgr;
  } cases[] = {
      {1, 0, "\x80", "", {255, 255, 255}},
      {2, 0, "\x40", "", {85, 85, 85}},  // 1 of 0..3
      {4, 0, "\x10", "", {17, 17, 17}},
      {16, 0, "\x7F\xFF", "", {127, 127, 127}},      // the high byte
      {8, 4, "\x50\x00", "", {80, 80, 80}},          // alpha ignored
      {16, 2, "\x01\x02\x03\x04\x05\x06", "", {5, 3, 1}},
      {8, 6, "\x10\x20\x30\x00", "", {48, 32, 16}},  // clear, yet its colour
      {2, 3, "\xC0", plte + trns, {12, 11, 10}},     // index 3, tRNS ignored
      {8, 2, "\x10\x20\x30", trns_rgb, {48, 32, 16}},  // the clear colour
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + "-bit type " + std::to_string(c.type));
    const size_t row_bytes = 1 + (256 * c.depth * (c.type == 2 ? 3 : c.type == 4 ? 2 : c.type == 6 ? 4 : 1) + 7) / 8;
    std::string row = '\0' + c.row_start;
    row.resize(row_bytes, '\0');
    std::string raw;
    for (int y = 0; y < 256; ++y) raw += row;
    const auto [got, bgr] = read_top(png_file(256, 256, c.depth, c.type, raw, c.chunks));
    ASSERT_EQ(got, Outcome(0, ""));
    EXPECT_EQ(Bytes(bgr.begin(), bgr.begin() + 3), c.bgr);
  }
}

TEST(Png, DamagedOrWrongSizedFilesFailQuicklyWithOneLine) {
  for (const BadPng& bad : bad_pngs()) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_top(bad.bytes, bad.name.c_str()).first,
              bad.reason.empty() ? Outcome(bitmap::PNG_WRONG_SIZE, "")
                                 : Outcome(-1, "error: read_png() - '" + bad.name + "': " + bad.reason + "\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << bad.name;
  }
  std::string tail(20000, '\0');  // a short tail of data after the last row is let be
  for (uint32_t i = 0, x = 1; i < tail.size(); ++i) x = x * 1103515245 + 12345, tail[i] = char(x >> 16);
  EXPECT_EQ(read_top(png_file(256, 256, 8, 2, std::string(256 * 769, '\0') + tail)).first, Outcome(0, ""));
}

}  // namespace
