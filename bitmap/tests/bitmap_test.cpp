#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"

namespace {

using Bytes = std::vector<uint8_t>;

common::FilePtr stream_of(const Bytes& b = {}) {
  common::FilePtr f(std::tmpfile());
  std::fwrite(b.data(), 1, b.size(), f.get());
  std::rewind(f.get());
  return f;
}

Bytes bytes_of(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  Bytes out;
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<uint8_t>(c));
  return out;
}

std::string captured(const std::function<void()>& fn) {
  testing::internal::CaptureStdout();
  fn();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

Bytes make_file(uint32_t w, uint32_t h, uint16_t bits, const uint8_t* palette, const Bytes& px) {
  BitmapInfo info;
  EXPECT_EQ(create_bitmap_header(&info, w, h, bits), 0);
  common::FilePtr f = stream_of();
  EXPECT_EQ(write_bitmap(f.get(), &info, palette, px.data()), 0);
  return bytes_of(f.get());
}

// Entry i is blue i, green i + 1, red i + 2.
Bytes ramp(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) p.insert(p.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
  return p;
}

TEST(BitmapHeader, CreateRowSizeAndBytes) {
  const struct { uint32_t w, h; uint16_t bits; int result; uint32_t offset, image_size; } cases[] = {
      {256, 256, 4, 0, 118, 0x8000}, {9, 2, 1, 0, 62, 8}, {3, 3, 8, 0, 1078, 12},
      {5, 2, 24, 0, 54, 32}, {4, 1073741554u, 8, 0, 1078, 0xFFFFFFFEu - 1078},
      {1, 1, 2, -1, 0, 0}, {4, 1073741555u, 8, -1, 0, 0},
      {70000, 70000, 1, -1, 0, 0},  // rows fit, pixel array does not
  };
  for (const auto& c : cases) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.w, c.h, c.bits), c.result) << c.w << "x" << c.h;
    if (c.result != 0) continue;
    EXPECT_EQ(info.data_offset, c.offset);
    EXPECT_EQ(info.image_size, c.image_size);
    EXPECT_EQ(info.file_size, c.offset + c.image_size);
    EXPECT_EQ(captured([&] { EXPECT_EQ(check_bitmap_header(&info), 0); }), "");
  }
  const int32_t sizes[] = {bitmap_row_size(9, 1), bitmap_row_size(5, 24), bitmap_row_size(1, 2),
                           bitmap_row_size(-1, 8), bitmap_row_size(0x7FFFFFFF, 32)};
  EXPECT_EQ(std::vector<int32_t>(sizes, sizes + 5), (std::vector<int32_t>{4, 16, -1, -1, -1}));
  common::FilePtr f = stream_of();
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  const Bytes expected = {0x42, 0x4D, 0x76, 0x80, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0, 40, 0, 0, 0,
                          0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0x80, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(bytes_of(f.get()), expected);
}

// Each row changes a valid 256 x 256, 4-bit header.
TEST(BitmapHeader, CheckMessages) {
  const std::string e = "error: check_bitmap_header() - ", w = "warning: check_bitmap_header() - ";
  const std::string fixed = w + "data length is 0 ... corrected: 0x8000\n";
  const struct { void (*change)(BitmapInfo&); int result; std::string output; } cases[] = {
      {[](BitmapInfo& i) { i.image_size = 0; i.file_size = 0; }, 2,
       fixed + w + "file length is 0\n"},
      {[](BitmapInfo& i) { i.file_size = 0x9000; }, 1, w + "file length 0x9000 > 0x8076\n"},
      {[](BitmapInfo& i) { i.file_size = 0x100; }, -1, e + "file length 0x100 < 0x8076\n"},
      {[](BitmapInfo& i) { i.header_size = 124; }, -1,
       e + "not supported header type - support only Windows V3\n"},
      {[](BitmapInfo& i) { i.planes = 2; }, -1, ""},
      {[](BitmapInfo& i) { i.compression = 1; }, -1, e + "not support compression\n"},
      {[](BitmapInfo& i) { i.bit_count = 15; }, -1, e + "unknown bit count\n"},
      {[](BitmapInfo& i) { i.data_offset = 0x4E; }, -1, e + "offset size 0x4E != 0x76\n"},
      {[](BitmapInfo& i) { i.image_size = 0x7FFF; }, -1, e + "data length 0x7FFF != 0x8000\n"},
      {[](BitmapInfo& i) { i.height = 0xFFFFFF00u; }, -1,
       e + "illegal image size 256 x 4294967040\n"},
  };
  for (const auto& c : cases) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
    c.change(info);
    EXPECT_EQ(captured([&] { EXPECT_EQ(check_bitmap_header(&info), c.result); }), c.output);
  }
}

// Rows bottom-up, packed, padded to four; the palette in full (zeros if none).
TEST(WriteBitmap, RowBytesPerDepth) {
  const struct { uint32_t w, h; uint16_t bits; Bytes pixels, rows; } cases[] = {
      {10, 2, 1, {0, 5, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1},
       {0x80, 0x40, 0, 0, 0x50, 0xC0, 0, 0}},
      {3, 2, 4, {0x1, 0x2, 0x13, 0xF, 0x0, 0xA}, {0xF0, 0xA0, 0, 0, 0x12, 0x30, 0, 0}},
      {5, 1, 8, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 0, 0, 0}},
      {3, 1, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 0, 0}},
      {1, 2, 24, {1, 2, 3, 4, 5, 6}, {4, 5, 6, 0, 1, 2, 3, 0}},
      {1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
  };
  const Bytes palette = ramp(256);
  for (const auto& c : cases) {
    for (const bool with_palette : {true, false}) {
      const Bytes file = make_file(c.w, c.h, c.bits, with_palette ? palette.data() : nullptr, c.pixels);
      const std::size_t n = c.bits <= 8 ? std::size_t{4} << c.bits : 0;
      Bytes expected = with_palette ? Bytes(palette.begin(), palette.begin() + n) : Bytes(n, 0);
      expected.insert(expected.end(), c.rows.begin(), c.rows.end());
      EXPECT_EQ(Bytes(file.begin() + 54, file.end()), expected) << c.bits;
    }
  }
}

TEST(WriteBitmap, RefusalsAndFailedWrites) {
  const Bytes pixels(256 * 256, 3);
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  BitmapInfo two_bits = info;
  two_bits.bit_count = 2;
  EXPECT_EQ(write_bitmap(f.get(), &two_bits, nullptr, pixels.data()), -1);
  EXPECT_TRUE(bytes_of(f.get()).empty());
  EXPECT_EQ(write_bitmap_palette(f.get(), pixels.data(), 257), -1);
  EXPECT_EQ(read_bitmap_palette(f.get(), Bytes(1024).data(), 0), -1);
  // Room for the header alone: the palette write fails.
  char room[60];
  common::FilePtr small(fmemopen(room, sizeof room, "wb"));
  std::setvbuf(small.get(), nullptr, _IONBF, 0);
  EXPECT_EQ(captured([&] { EXPECT_EQ(write_bitmap(small.get(), &info, nullptr, pixels.data()), -1); }),
            "error: write_bitmap() - can't write palette\n");
  // /dev/full: unbuffered the header fails first, buffered the rows do.
  const std::pair<int, const char*> modes[] = {
      {_IONBF, "error: write_bitmap() - can't write bitmap header\n"},
      {_IOFBF, "error: write_bitmap() - can't write bitmap data\n"}};
  for (const auto& [mode, line] : modes) {
    common::FilePtr full(std::fopen("/dev/full", "wb"));
    if (!full) GTEST_SKIP() << "no /dev/full";
    std::setvbuf(full.get(), nullptr, mode, 4096);
    EXPECT_EQ(captured([&] { EXPECT_EQ(write_bitmap(full.get(), &info, nullptr, pixels.data()), -1); }),
              line);
  }
}

struct Buffers {
  uint8_t *palette = nullptr, *pixels = nullptr;
  ~Buffers() { free_bitmap_buffer(palette), free_bitmap_buffer(pixels); }
};

std::string read_from(std::FILE* f, Buffers* b, bool want_palette, int expected) {
  BitmapInfo info;
  return captured([&] {
    EXPECT_EQ(read_bitmap(f, &info, want_palette ? &b->palette : nullptr, &b->pixels, 0), expected);
  });
}

// A header promising more than the file holds fails before any allocation.
TEST(ReadBitmap, FailuresAndTheirLines) {
  Bytes huge = make_file(4, 2, 4, nullptr, Bytes(8));  // made 30000 x 30000, 8 bits
  put_le32(put_le32(&huge[18], 30000), 30000), put_le16(&huge[28], 8), put_le32(&huge[10], 1078);
  put_le32(&huge[34], 900000000), put_le32(&huge[2], 900001078), huge.resize(154);
  const struct { Bytes file; bool want_palette; std::string output; } cases[] = {
      {Bytes(huge.begin(), huge.begin() + 53), true, "error: read_bitmap() - can't read bitmap header\n"},
      {huge, true, "error: read_bitmap() - can't read palette\n"},
      {huge, false, "error: read_bitmap() - can't read bitmap data\n"},
  };
  for (const auto& c : cases) {
    Buffers b;
    common::FilePtr in = stream_of(c.file);
    EXPECT_EQ(read_from(in.get(), &b, c.want_palette, -1), c.output);
    EXPECT_EQ(b.pixels, nullptr) << c.output;
  }
  EXPECT_EQ(read_bitmap(nullptr, nullptr, nullptr, nullptr, 0), -3);
}

// A pipe cannot be measured, so a cut shows up only while reading.
TEST(ReadBitmap, PipeCutInsideThePalette) {
  const Bytes file = make_file(4, 3, 8, nullptr, Bytes(12, 1));
  for (const auto& [want_palette, line] :
       {std::pair{true, "error: read_bitmap() - can't read palette\n"},
        std::pair{false, "error: read_bitmap() - can't read bitmap data\n"}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], file.data(), 100), 100);
    ::close(fds[1]);
    common::FilePtr f(::fdopen(fds[0], "rb"));
    Buffers b;
    EXPECT_EQ(read_from(f.get(), &b, want_palette, -1), line);
  }
}

// Into reader buffers, then into caller buffers after the header, no palette.
TEST(WriteThenRead, RandomPicturesRoundTrip) {
  std::mt19937 random(7);
  const Bytes palette = ramp(256);
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    for (uint32_t width : {1u, 3u, 8u, 9u, 17u}) {
      Bytes pixels(std::size_t{(bits + 7u) / 8u} * width * 3);
      const uint32_t limit = bits == 1 ? 2 : bits == 4 ? 16 : 256;
      for (auto& p : pixels) p = static_cast<uint8_t>(random() % limit);
      const Bytes file = make_file(width, 3, bits, palette.data(), pixels);
      Buffers b;
      common::FilePtr f = stream_of(file);
      ASSERT_EQ(read_from(f.get(), &b, true, 0), "");
      EXPECT_EQ(Bytes(b.pixels, b.pixels + pixels.size()), pixels) << bits << " " << width;
      const std::size_t n = bits <= 8 ? std::size_t{4} << bits : 0;
      EXPECT_EQ(Bytes(b.palette, b.palette + n), Bytes(palette.begin(), palette.begin() + n));
      BitmapInfo info;
      Bytes mine(pixels.size());
      uint8_t* place = mine.data();
      f = stream_of(file);
      ASSERT_EQ(read_bitmap_header(f.get(), &info), 0);
      ASSERT_EQ(read_bitmap(f.get(), &info, nullptr, &place, 1), 0);
      EXPECT_EQ(mine, pixels);
    }
  }
}

TEST(ConvertBitCount, ConversionTable) {
  // Cube corners (bit 0 blue, bit 1 red, bit 2 green), then eight blacks.
  Bytes cube = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0,
                0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 255, 0, 255, 255, 255, 0};
  cube.resize(64, 0);
  Bytes dup = cube;  // entry 5 repeats entry 2 (red)
  std::copy_n(cube.begin() + 8, 4, dup.begin() + 20);
  Bytes eight = {1, 2, 3, 0, 4, 5, 6, 0, 255, 128, 8, 0};
  eight.resize(1024, 0);
  const Bytes none;
  const struct {
    int32_t width, from_bits;
    const Bytes& from_palette;
    Bytes source;
    int32_t to_bits;
    const Bytes& to_palette;
    Bytes expected;
  } cases[] = {
      // Duplicates go to the lowest index; a 4-bit index keeps its low nibble.
      {4, 4, dup, {2, 5, 9, 0x17}, 4, dup, {2, 2, 0, 7}},
      {4, 1, none, {0, 1, 5, 0}, 4, cube, {0, 7, 7, 0}},
      {3, 8, eight, {2, 0, 1}, 24, none, {255, 128, 8, 1, 2, 3, 4, 5, 6}},
      {1, 8, eight, {2}, 16, none, {0x1F, 0x06}},
      {3, 16, none, {0xFF, 0x7F, 0x1F, 0x00, 0x21, 0x04}, 24, none, {255, 255, 255, 255, 0, 0, 8, 8, 8}},
      {2, 24, none, {1, 2, 3, 5, 6, 7}, 32, none, {1, 2, 3, 0, 5, 6, 7, 0}},
      {1, 16, none, {0x34, 0x92}, 16, none, {0x34, 0x92}},
      {3, 24, none, {0, 0, 250, 240, 250, 10, 1, 1, 1}, 4, cube, {2, 5, 0}},
  };
  for (const auto& c : cases) {
    uint8_t* target = nullptr;
    const auto palette = [](const Bytes& p) { return p.empty() ? nullptr : p.data(); };
    ASSERT_EQ(convert_bit_count(c.width, 1, c.from_bits, palette(c.from_palette), c.source.data(),
                                c.to_bits, palette(c.to_palette), &target), 0);
    EXPECT_EQ(Bytes(target, target + c.expected.size()), c.expected) << c.from_bits << ">" << c.to_bits;
    free_bitmap_buffer(target);
  }
}

// Exact first, else nearest (unweighted), ties to the lowest index.
TEST(ConvertBitCount, NearestColorAndRefusals) {
  const Bytes near = {0, 0, 40, 0, 0, 39, 0, 0, 9, 9, 9, 0, 9, 9, 9, 0, 0, 0, 0, 0};
  EXPECT_EQ(find_nearest_color(0, 0, 0, near.data(), 5), 4);
  EXPECT_EQ(find_nearest_color(0, 0, 0, near.data(), 2), 1);
  EXPECT_EQ(find_nearest_color(9, 9, 8, near.data(), 4), 2);
  EXPECT_EQ(find_nearest_color(9, 9, 8, nullptr, 4), 0);
  // Refused before there is a target: an empty place stays empty.
  const Bytes px(16, 1);
  uint8_t* target = nullptr;
  EXPECT_EQ(convert_bit_count(-1, 2, 24, nullptr, px.data(), 24, nullptr, &target), -1);
  EXPECT_EQ(convert_bit_count(2, 2, 24, nullptr, nullptr, 24, nullptr, &target), -1);
  EXPECT_EQ(target, nullptr);
  EXPECT_EQ(convert_bit_count(0, 5, 24, nullptr, px.data(), 32, nullptr, &target), 0);
  EXPECT_NE(target, nullptr);
  free_bitmap_buffer(target);
}

// Bit counts and palettes are checked only once the target is there and
// zero-filled: a fresh array (the caller's to release) or the given buffer.
TEST(ConvertBitCount, RefusedDepthsAndPalettesLeaveAZeroFilledTarget) {
  const Bytes px(16, 1);
  const struct { int32_t from_bits; const uint8_t* from_palette; int32_t to_bits, filled; } rows[] = {
      {2, px.data(), 4, 4}, {24, nullptr, 15, 8}, {8, nullptr, 24, 12}, {24, nullptr, 4, 4}};
  for (const auto& r : rows) {
    Bytes given(16, 0xEE), expected(16, 0xEE);
    std::fill_n(expected.begin(), r.filled, 0);
    uint8_t* fresh = nullptr;
    uint8_t* place = given.data();
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &fresh), -1);
    ASSERT_NE(fresh, nullptr) << r.to_bits;
    EXPECT_EQ(Bytes(fresh, fresh + r.filled), Bytes(r.filled, 0));
    free_bitmap_buffer(fresh);
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &place), -1);
    EXPECT_EQ(given, expected) << r.to_bits;
  }
}

// Pictures without rows or columns are built, checked, written and read like
// any other; only sizes past the 32-bit fields stay refused.
TEST(EmptyPictures, BuiltCheckedWrittenAndReadBack) {
  const std::string corrected = "warning: check_bitmap_header() - data length is 0 ... corrected: 0x0\n";
  const struct { uint32_t w, h; uint16_t bits; uint32_t file_size; } rows[] = {
      {7, 0, 4, 118}, {0, 5, 24, 54}, {5, 0, 8, 1078}, {0, 3, 1, 62}};
  for (const auto& r : rows) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, r.w, r.h, r.bits), 0) << r.w << "x" << r.h;
    EXPECT_EQ(info.data_offset, r.file_size);
    EXPECT_EQ(info.file_size, r.file_size);
    info.image_size = 0;
    EXPECT_EQ(captured([&] { EXPECT_EQ(check_bitmap_header(&info), 1); }), corrected);
    const Bytes file = make_file(r.w, r.h, r.bits, nullptr, {});
    EXPECT_EQ(file.size(), r.file_size);
    Buffers b;
    common::FilePtr f = stream_of(file);
    EXPECT_EQ(read_from(f.get(), &b, true, 0), corrected);
    EXPECT_NE(b.pixels, nullptr);
  }
  BitmapInfo info;
  EXPECT_EQ(create_bitmap_header(&info, 0x80000000u, 0, 8), -1);
  EXPECT_EQ(create_bitmap_header(&info, 0, 0x80000000u, 8), -1);
}

}  // namespace
