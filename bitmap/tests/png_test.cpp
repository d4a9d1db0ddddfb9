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

using namespace bitmap;

// The reader's result and lines for the file (its signature taken as read),
// and the rows it gave.
std::pair<Outcome, Bytes> read(const std::string& file, uint32_t rows = 256, uint32_t width = 256,
                               const std::string& name = "p") {
  common::FilePtr f(std::tmpfile());
  std::fwrite(file.data() + PNG_SIGNATURE_SIZE, 1, file.size() - PNG_SIGNATURE_SIZE, f.get());
  std::rewind(f.get());
  uint8_t* pixels = nullptr;
  const Outcome got = outcome([&] { return read_png(f.get(), name.c_str(), width, rows, &pixels); });
  const Bytes bgr = pixels != nullptr ? Bytes(pixels, pixels + width * rows * 3) : Bytes();
  return free_bitmap_buffer(pixels), std::pair(got, bgr);
}

TEST(Png, WrittenIndexesReadBackAsTheirPaletteColours) {
  Bytes palette(1024);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = uint8_t(i * 7 + i / 4);
  for (const int depth : {1, 2, 4, 8}) {
    Bytes indexes(256 * 300);  // taller than asked for: the top rows count
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t((i ^ i / 256) % (1 << depth));
    common::FilePtr f(std::tmpfile());
    ASSERT_EQ(write_png(f.get(), 256, 300, depth, palette.data(), indexes.data()), 0);
    const auto [got, bgr] = read(contents(f.get()));
    ASSERT_EQ(got, Outcome(0, ""));
    for (size_t i = 0; i < bgr.size(); ++i) ASSERT_EQ(bgr[i], palette[4 * indexes[i / 3] + i % 3]) << depth << " " << i;
  }
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

// First pixel of a 256 x 256 picture whose rows of n bytes all start with
// the bytes given: grey spread over 0 to 255, 16-bit samples by their high
// byte, alpha and tRNS ignored (a clear pixel keeps its colour).
TEST(Png, EveryColourTypeGivesItsColourChannelsAsTheyAre) {
  const std::string plte = png_chunk("PLTE", "\1\2\3\4\5\6\7\x8\x9\xA\xB\xC"), trns = png_chunk("tRNS", std::string(2, '\0'));
  const struct { int depth, type; size_t n; std::string row_start, chunks; Bytes bgr; } cases[] = {
      {1, 0, 32, "\x80", "", {255, 255, 255}}, {2, 0, 64, "\x40", "", {85, 85, 85}}, {4, 0, 128, "\x10", "", {17, 17, 17}},
      {16, 0, 512, "\x7F\xFF", "", {127, 127, 127}}, {8, 4, 512, "\x50\x00", "", {80, 80, 80}},
      {16, 2, 1536, "\x01\x02\x03\x04\x05\x06", "", {5, 3, 1}}, {8, 6, 1024, "\x10\x20\x30\x00", "", {48, 32, 16}},
      {2, 3, 64, "\xC0", plte + trns, {12, 11, 10}},
      {8, 2, 768, "\x10\x20\x30", png_chunk("tRNS", std::string("\0\x10\0\x20\0\x30", 6)), {48, 32, 16}},
      {8, 0, 256, "\x50", png_chunk("tEXt", std::string("Comment\0x", 9)), {80, 80, 80}}};
  for (const auto& c : cases) {
    std::string raw;
    for (int y = 0; y < 256; ++y) raw += '\0' + c.row_start + std::string(c.n - c.row_start.size(), '\0');
    const auto [got, bgr] = read(png_file(256, 256, c.depth, c.type, raw, c.chunks));
    EXPECT_EQ(std::pair(got, Bytes(bgr.begin(), bgr.begin() + std::min<size_t>(bgr.size(), 3))), std::pair(Outcome(0, ""), c.bgr))
        << c.depth << "-bit type " << c.type;
  }
}

TEST(Png, DamagedOrWrongSizedFilesFailQuicklyWithOneLine) {
  for (const BadPng& bad : bad_pngs()) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read(bad.bytes, 256, 256, bad.name).first,
              bad.reason.empty() ? Outcome(PNG_WRONG_SIZE, "")
                                 : Outcome(-1, "error: read_png() - '" + bad.name + "': " + bad.reason + "\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << bad.name;
  }
  // Any rows and width within the limits are asked for; the tallest picture is read.
  const std::string tallest = png_file(256, PNG_MAX_HEIGHT, 1, 0, std::string(PNG_MAX_HEIGHT * 33, '\0'));
  EXPECT_EQ(std::tuple(read(tallest, PNG_MAX_HEIGHT).first, read(tallest, 1, 0x2AAAAAAA).first),
            std::tuple(Outcome(0, ""), Outcome(PNG_WRONG_SIZE, "")));
}

// From the start of the last row on, 32 KiB of image data is read and no
// more: of a picture of one row, that is all of it, up to the last IDAT.
TEST(Png, ImageDataAfterTheLastRowStartsIsLimited) {
  const std::string one_row = png_file(256, 1, 8, 2, std::string(769, '\0'));
  const size_t deflated = one_row.size() - 57;  // less the signature, IHDR, IEND and the IDAT's frame
  for (const size_t more : {0, 1}) {
    std::string file = one_row;
    file.insert(file.size() - 12, png_chunk("IDAT", std::string(32 * 1024 + more - deflated, '\0')));
    EXPECT_EQ(read(file, 1).first,
              more == 0 ? Outcome(0, "") : Outcome(-1, "error: read_png() - 'p': too much image data after the last row\n"));
  }
}

}  // namespace
