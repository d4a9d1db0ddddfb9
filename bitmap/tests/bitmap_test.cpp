#include "bitmap/bitmap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "common/file_ptr.h"
#include "support/run_program.h"

namespace {

common::FilePtr stream_of(const Bytes& b = {}) {
  common::FilePtr f(std::tmpfile());
  std::fwrite(b.data(), 1, b.size(), f.get());
  std::rewind(f.get());
  return f;
}

Bytes bytes_of(std::FILE* f) {
  std::fflush(f);
  const std::string text = read_file("/proc/self/fd/" + std::to_string(::fileno(f)));
  return Bytes(text.begin(), text.end());
}

// Entry i is blue i, green i + 1, red i + 2.
Bytes ramp(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) p.insert(p.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
  return p;
}
const Bytes palette = ramp(256);

// A stream with room for size bytes, unbuffered: a write beyond fails.
common::FilePtr room_for(std::vector<char>* space, size_t size) {
  space->resize(size);
  common::FilePtr f(::fmemopen(space->data(), size, "wb"));
  std::setvbuf(f.get(), nullptr, _IONBF, 0);
  return f;
}

TEST(Bitmap, HeaderCreationAndChecks) {
  const struct { uint32_t w, h; uint16_t bits; int result; uint32_t offset, image_size; } cases[] = {
      {9, 2, 1, 0, 62, 8}, {3, 3, 8, 0, 1078, 12}, {5, 2, 24, 0, 54, 32}, {2, 1, 16, 0, 54, 4},
      {4, 1073741554u, 8, 0, 1078, 0xFFFFFFFEu - 1078}, {1, 1, 2, -1, 0, 0}, {0x80000000u, 1, 8, -1, 0, 0},
      {1, 0x80000000u, 8, -1, 0, 0}, {4, 1073741555u, 8, -1, 0, 0}, {70000, 70000, 1, -1, 0, 0}};  // no pixel array
  for (const auto& c : cases) {
    BitmapInfo info;
    ASSERT_EQ(create_bitmap_header(&info, c.w, c.h, c.bits), c.result) << c.w << "x" << c.h;
    if (c.result != 0) continue;
    EXPECT_EQ(std::vector<uint32_t>({info.data_offset, info.image_size, info.file_size}),
              std::vector<uint32_t>({c.offset, c.image_size, c.offset + c.image_size}));
    EXPECT_EQ(outcome([&] { return check_bitmap_header(&info); }), Outcome(0, ""));
  }
  EXPECT_EQ(std::pair(create_bitmap_header(nullptr, 1, 1, 8), check_bitmap_header(nullptr)), std::pair(-1, -1));
  EXPECT_EQ(std::vector<int32_t>({bitmap_row_size(9, 1), bitmap_row_size(3, 4), bitmap_row_size(5, 24), bitmap_row_size(0, 8),
                                  bitmap_row_size(1, 2), bitmap_row_size(-1, 8), bitmap_row_size(0x7FFFFFFF, 32)}),
            std::vector<int32_t>({4, 4, 16, 0, -1, -1, -1}));
  // Every field is set, whatever the record held.
  BitmapInfo info;
  std::memset(static_cast<void*>(&info), 0xA5, sizeof info);
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  EXPECT_EQ(bytes_of(f.get()), Bytes({0x42, 0x4D, 0x76, 0x80, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0, 40, 0, 0, 0, 0, 1, 0, 0, 0,
                                      1, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0x80, 0, 0}) + Bytes(16));
  EXPECT_EQ(std::pair(write_bitmap_header(nullptr, &info), write_bitmap_header(f.get(), nullptr)), std::pair(-1, -1));
  EXPECT_EQ(std::pair(read_bitmap_header(nullptr, &info), read_bitmap_header(f.get(), nullptr)), std::pair(-1, -1));
  // Every field is read back as it was written.
  info.reserved1 = 1, info.reserved2 = 2, info.x_pixels_per_meter = 3, info.y_pixels_per_meter = 4;
  info.colors_used = 5, info.colors_important = 6;
  BitmapInfo back;
  f = stream_of();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  std::rewind(f.get());
  ASSERT_EQ(read_bitmap_header(f.get(), &back), 0);
  const auto fields = [](const BitmapInfo& i) {
    return std::vector<uint32_t>({i.file_size, i.reserved1, i.reserved2, i.data_offset, i.header_size, i.width, i.height,
                                  i.planes, i.bit_count, i.compression, i.image_size, i.x_pixels_per_meter,
                                  i.y_pixels_per_meter, i.colors_used, i.colors_important});
  };
  EXPECT_EQ(fields(back), fields(info));
  // Each row changes a valid 256 x 256, 4-bit header.
  const std::string e = "error: check_bitmap_header() - ", w = "warning: check_bitmap_header() - ";
  const std::string fixed = w + "data length is 0 ... corrected: 0x8000\n";
  const struct { void (*change)(BitmapInfo&); Outcome expected; } checks[] = {
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0; }, {2, fixed + w + "file length is 0\n"}},
      {[](BitmapInfo& i) { i.image_size = 0, i.file_size = 0x8077; }, {2, fixed + w + "file length 0x8077 > 0x8076\n"}},
      {[](BitmapInfo& i) { i.file_size = 0x8075; }, {-1, e + "file length 0x8075 < 0x8076\n"}},
      {[](BitmapInfo& i) { i.header_size = 124; }, {-1, e + "not supported header type - support only Windows V3\n"}},
      {[](BitmapInfo& i) { i.planes = 2; }, {-1, ""}},
      {[](BitmapInfo& i) { i.compression = 1; }, {-1, e + "not support compression\n"}},
      {[](BitmapInfo& i) { i.bit_count = 15; }, {-1, e + "unknown bit count\n"}},
      {[](BitmapInfo& i) { i.data_offset = 0x4E; }, {-1, e + "offset size 0x4E != 0x76\n"}},
      {[](BitmapInfo& i) { i.image_size = 0x7FFF; }, {-1, e + "data length 0x7FFF != 0x8000\n"}},
      {[](BitmapInfo& i) { i.height = 0xFFFFFF00u; }, {-1, e + "illegal image size 256 x 4294967040\n"}}};
  for (const auto& c : checks) {
    ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
    c.change(info);
    EXPECT_EQ(outcome([&] { return check_bitmap_header(&info); }), c.expected);
  }
  EXPECT_EQ(info.image_size, 0x8000u);  // corrected
}

struct Buffers {
  uint8_t *palette = nullptr, *pixels = nullptr;
  ~Buffers() { free_bitmap_buffer(palette), free_bitmap_buffer(pixels); }
};

// read_bitmap's result and lines.
Outcome read_from(std::FILE* f, Buffers* b, bool want_palette) {
  BitmapInfo info;
  return outcome([&] { return read_bitmap(f, &info, want_palette ? &b->palette : nullptr, &b->pixels, 0); });
}

// Rows bottom-up, packed, padded to four; the palette in full (zeros if
// none). Read back into the reader's buffers, and into the caller's after
// the header. A picture without rows or columns has a data length of 0,
// which counts as missing and is "corrected".
TEST(Bitmap, WritesAndReadsBack) {
  const struct { uint32_t w, h; uint16_t bits; Bytes pixels, rows; } cases[] = {
      {10, 2, 1, {0, 5, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1}, {0x81, 0x40, 0, 0, 0x50, 0xC0, 0, 0}},
      {3, 2, 4, {0x1, 0x3, 0x13, 0xF, 0x1, 0xA}, {0xF1, 0xA0, 0, 0, 0x13, 0x30, 0, 0}}, {2, 1, 4, {1, 0xE}, {0x1E, 0, 0, 0}},
      {5, 1, 8, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 0, 0, 0}}, {3, 1, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 0, 0}},
      {1, 2, 24, {1, 2, 3, 4, 5, 6}, {4, 5, 6, 0, 1, 2, 3, 0}},
      {1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
      {7, 0, 4, {}, {}}, {0, 5, 24, {}, {}}, {5, 0, 8, {}, {}}, {0, 3, 1, {}, {}}};
  for (const auto& c : cases) {
    const size_t n = c.bits <= 8 ? size_t{4} << c.bits : 0;
    const Bytes with_palette(palette.begin(), palette.begin() + n);
    Bytes back = c.pixels;  // what 1 and 4 bits hold of each value
    for (uint8_t& v : back) v = static_cast<uint8_t>(c.bits == 1 ? v != 0 : c.bits == 4 ? v & 15 : v);
    const std::string warning = c.rows.empty() ? "warning: check_bitmap_header() - data length is 0 ... corrected: 0x0\n" : "";
    for (const bool given : {true, false}) {
      BitmapInfo info;
      ASSERT_EQ(create_bitmap_header(&info, c.w, c.h, c.bits), 0);
      common::FilePtr f = stream_of();
      ASSERT_EQ(write_bitmap(f.get(), &info, given ? palette.data() : nullptr, c.pixels.data()), 0);
      const Bytes file = bytes_of(f.get());
      EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (given ? with_palette : Bytes(n)) + c.rows) << c.bits;
      Buffers b;
      f = stream_of(file);
      EXPECT_EQ(read_from(f.get(), &b, true), Outcome(0, warning));
      EXPECT_EQ(Bytes(b.palette, b.palette + n), given ? with_palette : Bytes(n));
      EXPECT_EQ(Bytes(b.pixels, b.pixels + c.pixels.size()), back) << c.bits;
      if (c.pixels.empty()) continue;
      Bytes mine(c.pixels.size()), mine_palette(n);
      uint8_t *place = mine.data(), *palette_place = mine_palette.data();
      f = stream_of(file);
      ASSERT_EQ(read_bitmap_header(f.get(), &info), 0);
      ASSERT_EQ(read_bitmap(f.get(), &info, given ? &palette_place : nullptr, &place, 1), 0);
      EXPECT_EQ(std::pair(mine, mine_palette), std::pair(back, given ? with_palette : Bytes(n)));
    }
  }
}

TEST(Bitmap, WriteRefusalsAndFailures) {
  const Bytes pixels(256 * 256, 3);
  BitmapInfo info, odd;
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, 4), 0);
  common::FilePtr f = stream_of();
  const auto write = [&](const BitmapInfo& i) { return write_bitmap(f.get(), &i, nullptr, pixels.data()); };
  EXPECT_EQ(std::tuple(write_bitmap(nullptr, &info, nullptr, pixels.data()), write_bitmap(f.get(), nullptr, nullptr, pixels.data()),
                       write_bitmap(f.get(), &info, nullptr, nullptr)), std::tuple(-1, -1, -1));
  odd = info, odd.bit_count = 2;
  EXPECT_EQ(write(odd), -1);
  odd = info, odd.width = 0x80000000u;
  EXPECT_EQ(write(odd), -1);
  EXPECT_TRUE(bytes_of(f.get()).empty());
  // Count 1 is a palette; 0, 257, a missing stream or palette are refused.
  for (const auto rw : {write_bitmap_palette, +[](std::FILE* s, const uint8_t* p, int n) {
                          return read_bitmap_palette(s, const_cast<uint8_t*>(p), n);
                        }}) {
    EXPECT_EQ(std::tuple(rw(f.get(), palette.data(), 0), rw(f.get(), palette.data(), 257), rw(nullptr, palette.data(), 2),
                         rw(f.get(), nullptr, 2)), std::tuple(-1, -1, -1, -1));
  }
  f = stream_of();
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 1), 0);
  EXPECT_EQ(write_bitmap_palette(f.get(), palette.data(), 256), 0);
  EXPECT_EQ(bytes_of(f.get()), Bytes(palette.begin(), palette.begin() + 4) + palette);
  Bytes entry(4);
  std::rewind(f.get());
  EXPECT_EQ(read_bitmap_palette(f.get(), entry.data(), 1), 0);
  EXPECT_EQ(entry, Bytes(palette.begin(), palette.begin() + 4));
  // Room for part of the file only: each part fails in turn.
  const struct { uint32_t w, h; uint16_t bits; size_t room; bool palette; std::string part; } rooms[] = {
      {256, 256, 4, 53, true, "bitmap header"}, {256, 256, 4, 117, true, "palette"}, {256, 256, 4, 117, false, "palette"},
      {256, 256, 4, 118 + 0x7FFF, true, "bitmap data"}, {32, 2, 1, 62, true, "bitmap data"},
      {1, 2, 24, 56, true, "bitmap data"}, {1, 2, 24, 57, true, "bitmap data"}};
  std::vector<char> space;
  for (const auto& r : rooms) {
    ASSERT_EQ(create_bitmap_header(&odd, r.w, r.h, r.bits), 0);
    f = room_for(&space, r.room);
    EXPECT_EQ(outcome([&] { return write_bitmap(f.get(), &odd, r.palette ? palette.data() : nullptr, pixels.data()); }),
              Outcome(-1, "error: write_bitmap() - can't write " + r.part + "\n")) << r.room;
  }
  f = room_for(&space, 10);  // the header and palette writers say so themselves
  EXPECT_EQ(std::pair(write_bitmap_header(f.get(), &info), write_bitmap_palette(f.get(), palette.data(), 16)), std::pair(-1, -1));
}

// A header promising more than the file holds fails before any allocation;
// a pipe cannot be measured, so there a cut shows up while reading.
TEST(Bitmap, ReadFailures) {
  BitmapInfo info;
  ASSERT_EQ(create_bitmap_header(&info, 30000, 30000, 8), 0);
  common::FilePtr f = stream_of();
  ASSERT_EQ(write_bitmap_header(f.get(), &info), 0);
  const Bytes huge = bytes_of(f.get()) + palette;
  ASSERT_EQ(create_bitmap_header(&info, 4, 3, 8), 0);
  f = stream_of();
  ASSERT_EQ(write_bitmap(f.get(), &info, nullptr, Bytes(12, 1).data()), 0);
  const Bytes four = bytes_of(f.get());
  const Outcome header = {-1, "error: read_bitmap() - can't read bitmap header\n"},
                no_palette = {-1, "error: read_bitmap() - can't read palette\n"},
                data = {-1, "error: read_bitmap() - can't read bitmap data\n"};
  const struct { Bytes file; bool want_palette; Outcome expected; } cases[] = {
      {Bytes(four.begin(), four.begin() + 53), true, header}, {Bytes(four.begin(), four.begin() + 54), true, no_palette},
      {with(four, 0, 'X', 1), true, header}, {with(four, 1, 'X', 1), true, header},
      {Bytes(huge.begin(), huge.end() - 1), true, no_palette}, {Bytes(huge.begin(), huge.end() - 1), false, data},
      {huge, true, data}, {Bytes(four.begin(), four.end() - 1), false, data}};
  for (const auto& c : cases) {
    Buffers b;
    f = stream_of(c.file);
    EXPECT_EQ(read_from(f.get(), &b, c.want_palette), c.expected);
    EXPECT_EQ(b.pixels, nullptr);
  }
  for (const auto& [cut, want_palette, expected] : {std::tuple{100, true, no_palette}, {100, false, data}, {1085, true, data}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], four.data(), cut), cut);
    ::close(fds[1]);
    f.reset(::fdopen(fds[0], "rb"));
    Buffers b;
    EXPECT_EQ(read_from(f.get(), &b, want_palette), expected);
  }
  EXPECT_EQ(read_bitmap(nullptr, nullptr, nullptr, nullptr, 0), -3);
  uint8_t* place = nullptr;
  for (const auto& [w, bits] : {std::pair{4u, 2}, {0x80000000u, 8}}) {  // a header handed in, held to the same limits
    BitmapInfo odd = info;
    odd.width = w, odd.bit_count = static_cast<uint16_t>(bits);
    f = stream_of(four);
    EXPECT_EQ(outcome([&] { return read_bitmap(f.get(), &odd, nullptr, &place, 1); }), header);
  }
}

TEST(Bitmap, ConvertsBetweenDepths) {
  // Cube corners (bit 0 blue, bit 1 red, bit 2 green), then eight blacks.
  Bytes cube = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0,
                0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 255, 0, 255, 255, 255, 0};
  cube.resize(64, 0);
  Bytes dup = cube;  // entry 5 repeats entry 2 (red)
  std::copy_n(cube.begin() + 8, 4, dup.begin() + 20);
  Bytes eight = {1, 2, 3, 0, 4, 5, 6, 0, 255, 128, 8, 0}, white0 = with(Bytes(1024), 0, 0xFFFFFF);
  const Bytes past2 = with(Bytes(1024), 8, 0x010203), past16 = with(Bytes(1024), 64, 0x010203);  // beyond 1 and 4 bits
  eight.resize(1024, 0);
  const Bytes none;
  const struct { int32_t width, from_bits; const Bytes& from_palette; Bytes source; int32_t to_bits; const Bytes& to_palette;
                 Bytes expected; } cases[] = {
      // Duplicates go to the lowest index; a 4-bit index keeps its low nibble.
      {4, 4, dup, {2, 5, 9, 0x17}, 4, dup, {2, 2, 0, 7}}, {4, 1, none, {0, 1, 5, 0}, 4, cube, {0, 7, 7, 0}},
      {3, 8, eight, {2, 0, 1}, 24, none, {255, 128, 8, 1, 2, 3, 4, 5, 6}}, {1, 8, eight, {2}, 16, none, {0x1F, 0x06}},
      {3, 16, none, {0xFF, 0x7F, 0x1F, 0x00, 0x21, 0x04}, 24, none, {255, 255, 255, 255, 0, 0, 8, 8, 8}},
      {2, 24, none, {1, 2, 3, 5, 6, 7}, 32, none, {1, 2, 3, 0, 5, 6, 7, 0}}, {1, 16, none, {0x34, 0x92}, 16, none, {0x34, 0x92}},
      {3, 24, none, {0, 0, 250, 240, 250, 10, 1, 1, 1}, 4, cube, {2, 5, 0}}, {1, 24, none, {3, 2, 1}, 4, past16, {0}},
      {2, 24, none, {3, 2, 1, 250, 250, 250}, 1, none, {0, 1}}, {1, 24, none, {3, 2, 1}, 1, past2, {0}},
      {1, 8, white0, {0}, 4, cube, {7}}};
  uint8_t* target = nullptr;
  const auto or_null = [](const Bytes& p) { return p.empty() ? nullptr : p.data(); };
  for (const auto& c : cases) {
    ASSERT_EQ(convert_bit_count(c.width, 1, c.from_bits, or_null(c.from_palette), c.source.data(), c.to_bits,
                                or_null(c.to_palette), &target), 0);
    EXPECT_EQ(Bytes(target, target + c.expected.size()), c.expected) << c.from_bits << ">" << c.to_bits;
    free_bitmap_buffer(std::exchange(target, nullptr));
  }
  // Exact first, else nearest (unweighted), ties to the lowest index.
  const Bytes near = {0, 0, 40, 0, 0, 39, 0, 0, 9, 9, 9, 0, 9, 9, 9, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<int>({find_nearest_color(0, 0, 0, near.data(), 5), find_nearest_color(0, 0, 0, near.data(), 2),
                              find_nearest_color(9, 9, 8, near.data(), 4), find_nearest_color(9, 9, 8, nullptr, 4),
                              find_nearest_color(9, 9, 9, near.data() + 4, 0)}),
            std::vector<int>({4, 1, 2, 0, 0}));
  // Refused for a size or a source that cannot be, before there is a target.
  const Bytes px(16, 1);
  EXPECT_EQ(std::vector<int>({convert_bit_count(-1, 2, 24, nullptr, px.data(), 24, nullptr, &target),
                              convert_bit_count(2, -1, 24, nullptr, px.data(), 24, nullptr, &target),
                              convert_bit_count(2, 2, 24, nullptr, px.data(), -16, nullptr, &target),
                              convert_bit_count(2, 2, 24, nullptr, nullptr, 24, nullptr, &target),
                              convert_bit_count(2, 2, 24, nullptr, px.data(), 24, nullptr, nullptr)}),
            std::vector<int>(5, -1));
  EXPECT_EQ(outcome([&] { return convert_bit_count(INT32_MAX, INT32_MAX, 24, nullptr, px.data(), 0x7FFFFFF8, nullptr, &target); }),
            Outcome(-2, "error: memory exhaust!\n"));
  EXPECT_EQ(target, nullptr);
  EXPECT_EQ(convert_bit_count(0, 5, 24, nullptr, px.data(), 32, nullptr, &target), 0);
  EXPECT_NE(target, nullptr);
  free_bitmap_buffer(std::exchange(target, nullptr));
  // Refused for depths and palettes once the target is made and zero-filled:
  // a fresh array (the caller's to release) or the given buffer.
  const struct { int32_t from_bits; const uint8_t* from_palette; int32_t to_bits, filled; } refused[] = {
      {2, px.data(), 4, 4}, {24, nullptr, 15, 8}, {8, nullptr, 24, 12}, {24, nullptr, 4, 4}};
  for (const auto& r : refused) {
    Bytes given(16, 0xEE), expected(16, 0xEE);
    std::fill_n(expected.begin(), r.filled, 0);
    uint8_t* place = given.data();
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &target), -1);
    EXPECT_EQ(convert_bit_count(2, 2, r.from_bits, r.from_palette, px.data(), r.to_bits, nullptr, &place), -1);
    EXPECT_EQ(std::pair(Bytes(target, target + r.filled), given), std::pair(Bytes(r.filled, 0), expected)) << r.to_bits;
    free_bitmap_buffer(std::exchange(target, nullptr));
  }
}

// A direct-colour picture gets for every pixel the entry of the plain search,
// find_nearest_color: the first exact match, else the smallest distance, the
// lowest index on a tie. Channels drawn from a few values make ties and exact
// matches common; targets of 1, 4 and 8 bits search 2, 16 and 256 entries.
TEST(Bitmap, DirectColourGetsThePlainSearchsEntry) {
  std::mt19937 random(7);
  const uint8_t few[] = {0, 1, 2, 127, 128, 254, 255};
  const auto channel = [&](bool any) { return any ? uint8_t(random()) : few[random() % 7]; };
  for (const int bits : {1, 4, 8}) {
    for (int round = 0; round < 40; ++round) {
      Bytes palette(4 << bits), pixels(3 * 256);
      for (auto& b : palette) b = channel(round % 2);
      for (auto& b : pixels) b = channel(round % 4 == 3);
      uint8_t* target = nullptr;
      ASSERT_EQ(convert_bit_count(256, 1, 24, nullptr, pixels.data(), bits, palette.data(), &target), 0);
      for (int i = 0; i < 256; ++i) {
        const uint8_t* bgr = &pixels[3 * i];
        ASSERT_EQ(target[i], find_nearest_color(bgr[2], bgr[1], bgr[0], palette.data(), 1 << bits)) << bits;
      }
      free_bitmap_buffer(target);
    }
  }
}

}  // namespace
