#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "bitmap/tests/test_util.h"

namespace {

const std::string kHeaderLine = "error: read_bitmap() - can't read bitmap header\n";
const std::string kPaletteLine = "error: read_bitmap() - can't read palette\n";
const std::string kDataLine = "error: read_bitmap() - can't read bitmap data\n";

// Reader-allocated buffers, released at the end of the test.
struct Buffers {
  uint8_t* palette = nullptr;
  uint8_t* pixels = nullptr;
  ~Buffers() {
    free_bitmap_buffer(palette);
    free_bitmap_buffer(pixels);
  }
};

// read_bitmap's result and what it printed.
std::pair<int, std::string> read_from(std::FILE* f, Buffers* b, bool want_palette = true) {
  BitmapInfo info;
  int result = 0;
  std::string out = captured([&] {
    result = read_bitmap(f, &info, want_palette ? &b->palette : nullptr, &b->pixels, 0);
  });
  return {result, out};
}

std::pair<int, std::string> read_bytes(const Bytes& file, Buffers* b, bool want_palette = true) {
  FilePtr f = scratch_stream(file);
  return read_from(f.get(), b, want_palette);
}

// Each case changes a 4 x 2, 4-bit file: 54 + 64 palette bytes, two rows of 4.
TEST(ReadBitmap, FailuresAndTheirLines) {
  const struct {
    const char* name;
    void (*change)(Bytes&);
    int result;
    std::string output;
  } cases[] = {
      {"53 bytes", [](Bytes& b) { b.resize(53); }, -1, kHeaderLine},
      {"wrong magic", [](Bytes& b) { b[1] = 'X'; }, -1, kHeaderLine},
      {"two planes", [](Bytes& b) { put_le16(&b[26], 2); }, -1, kHeaderLine},
      {"V4 header", [](Bytes& b) { put_le32(&b[14], 108); }, -1,
       "error: check_bitmap_header() - not supported header type - support only Windows V3\n" +
           kHeaderLine},
      {"top-down", [](Bytes& b) { put_le32(&b[22], 0xFFFFFFFEu); }, -1,
       "error: check_bitmap_header() - illegal image size 4 x 4294967294\n" + kHeaderLine},
      {"palette cut", [](Bytes& b) { b.resize(54 + 63); }, -1, kPaletteLine},
      {"rows cut", [](Bytes& b) { b.resize(b.size() - 1); }, -1, kDataLine},
      {"image size 0 is only a warning", [](Bytes& b) { put_le32(&b[34], 0); }, 0,
       "warning: check_bitmap_header() - data length is 0 ... corrected: 0x8\n"},
      {"trailing bytes are only a warning",
       [](Bytes& b) { b.resize(b.size() + 2); put_le32(&b[2], 128); }, 0,
       "warning: check_bitmap_header() - file length 0x80 > 0x7E\n"},
  };
  const Bytes palette = ramp_palette(16);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = bitmap_file(4, 2, 4, palette.data(), Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    c.change(file);
    Buffers b;
    EXPECT_EQ(read_bytes(file, &b), std::make_pair(c.result, c.output));
    // A refused header allocates nothing.
    if (c.output.find(kHeaderLine) != std::string::npos) {
      EXPECT_EQ(b.pixels, nullptr);
    }
    if (c.result == 0) {
      EXPECT_EQ(Bytes(b.pixels, b.pixels + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    }
  }
  FilePtr f = scratch_stream(bitmap_file(1, 1, 24, nullptr, Bytes{1, 2, 3}));
  BitmapInfo info;
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bitmap(f.get(), &info, nullptr, nullptr, 0), -3); }), "");
  EXPECT_EQ(std::ftell(f.get()), 0);
}

// A header that promises more than the file holds is refused before the
// pixel array it describes is allocated.
TEST(ReadBitmap, ShortFilesFailBeforeAllocating) {
  const struct {
    const char* name;
    uint16_t bits;
    std::size_t extra;  // bytes after the header
    bool want_palette;
    std::string output;
  } cases[] = {
      {"palette missing", 8, 100, true, kPaletteLine},
      {"rows missing", 8, 1024, true, kDataLine},
      {"skipped palette missing", 8, 100, false, kDataLine},
      {"direct colour", 32, 4096, true, kDataLine},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, 30000, 30000, c.bits), 0);
    FilePtr f = scratch_stream();
    ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
    Bytes file = stream_bytes(f.get());
    file.resize(file.size() + c.extra, 0);
    Buffers b;
    EXPECT_EQ(read_bytes(file, &b, c.want_palette), std::make_pair(-1, c.output));
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.palette, nullptr);
  }
}

// A pipe cannot be measured, so a cut file is read row by row as far as it
// goes; those rows are the bottom of the picture, the end of the array.
TEST(ReadBitmap, PipeCutInsideTheRowsKeepsTheRowsRead) {
  Bytes file = bitmap_file(4, 3, 8, nullptr, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  file.resize(file.size() - 2);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], file.data(), file.size()), static_cast<ssize_t>(file.size()));
  ::close(fds[1]);
  FilePtr f(::fdopen(fds[0], "rb"));
  ASSERT_TRUE(f);
  Buffers b;
  b.pixels = static_cast<uint8_t*>(std::malloc(12));
  std::memset(b.pixels, 0xEE, 12);
  EXPECT_EQ(read_from(f.get(), &b, false), std::make_pair(-1, kDataLine));
  EXPECT_EQ(Bytes(b.pixels, b.pixels + 12),
            (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 5, 6, 7, 8, 9, 10, 11, 12}));
}

// Rows with stray bits and pad bytes the writer would never make.
TEST(ReadBitmap, UnpacksPartialBytesAndIgnoresPad) {
  const struct {
    uint32_t width;
    uint16_t bits;
    Bytes row;     // one stored row, padded
    Bytes pixels;  // what the array receives
  } cases[] = {
      {10, 1, {0xA5, 0xC0, 0xFF, 0xFF}, {1, 0, 1, 0, 0, 1, 0, 1, 1, 1}},
      {3, 4, {0x12, 0x3F, 9, 9}, {1, 2, 3}},
      {5, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xAA},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.width, 1, c.bits), 0);
    FilePtr f = scratch_stream();
    ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
    Bytes file = stream_bytes(f.get());
    file.resize(info.data_offset, 0x11);
    file.insert(file.end(), c.row.begin(), c.row.end());
    Buffers b;
    ASSERT_EQ(read_bytes(file, &b), std::make_pair(0, std::string()));
    EXPECT_EQ(Bytes(b.pixels, b.pixels + c.pixels.size()), c.pixels);
    EXPECT_EQ(b.palette == nullptr, c.bits > 8);
  }
}

TEST(ReadBitmap, FillsCallerBuffersAfterHeaderAlreadyRead) {
  const Bytes palette = ramp_palette(16);
  const Bytes pixels = {1, 2, 3, 4, 5, 6};
  FilePtr f = scratch_stream(bitmap_file(3, 2, 4, palette.data(), pixels));
  BitmapInfo info;
  ASSERT_EQ(read_bitmap_header(f.get(), &info), 0);
  Bytes my_palette(64, 0xEE), my_pixels(6, 0xEE);
  uint8_t* palette_place = my_palette.data();
  uint8_t* pixel_place = my_pixels.data();
  EXPECT_EQ(read_bitmap(f.get(), &info, &palette_place, &pixel_place, 1), 0);
  EXPECT_EQ(palette_place, my_palette.data());
  EXPECT_EQ(pixel_place, my_pixels.data());
  EXPECT_EQ(my_palette, palette);
  EXPECT_EQ(my_pixels, pixels);
}

// Values the writer cannot store (above 1 at 1 bit, above 15 at 4 bits) are
// kept out of the random pictures. Without a palette place the palette is
// skipped and the rows are still found.
TEST(WriteThenRead, EveryDepthAndWidthRoundTrips) {
  std::mt19937 random(7);
  const Bytes palette = ramp_palette(256);
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    for (uint32_t width : {1u, 2u, 3u, 7u, 8u, 9u, 17u}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      Bytes pixels(std::size_t{(bits + 7u) / 8u} * width * 3);
      const uint32_t limit = bits == 1 ? 2 : bits == 4 ? 16 : 256;
      for (auto& p : pixels) p = static_cast<uint8_t>(random() % limit);
      const Bytes file = bitmap_file(width, 3, bits, palette.data(), pixels);
      Buffers b, skipped;  // with a palette place, and without one
      ASSERT_EQ(read_bytes(file, &b), std::make_pair(0, std::string()));
      ASSERT_EQ(read_bytes(file, &skipped, false), std::make_pair(0, std::string()));
      EXPECT_EQ(Bytes(b.pixels, b.pixels + pixels.size()), pixels);
      EXPECT_EQ(Bytes(skipped.pixels, skipped.pixels + pixels.size()), pixels);
      const std::size_t n = bits <= 8 ? std::size_t{4} << bits : 0;
      EXPECT_EQ(Bytes(b.palette, b.palette + n), Bytes(palette.begin(), palette.begin() + n));
    }
  }
}

}  // namespace
