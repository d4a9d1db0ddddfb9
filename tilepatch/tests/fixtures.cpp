#include "tilepatch/tests/fixtures.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"

namespace {

bool is_single_plane(int shape) { return shape >= 96 && shape <= 126; }

const uint8_t* colour_entry(uint8_t colour) {
  return &shape_palette[colour * 4];
}

// The pixel array and palette of one bit count for the picture.
struct Encoded {
  std::vector<uint8_t> palette;
  std::vector<uint8_t> pixels;
};

// 8-bit pictures keep colour c at index 255 - c, so that a loader that took
// indexes for colours would be caught.
Encoded encode_indexed(const Picture& picture, int bit_count) {
  Encoded out;
  if (bit_count == 1) {
    out.palette = {0, 0, 0, 0, 255, 255, 255, 0};
    for (uint8_t c : picture.colours) {
      if (c != 0 && c != 7) throw std::logic_error("1-bit needs 0 and 7");
      out.pixels.push_back(c == 7 ? 1 : 0);
    }
  } else if (bit_count == 4) {
    out.palette.assign(shape_palette, shape_palette + 64);
    out.pixels = picture.colours;
  } else {
    out.palette.assign(256 * 4, 0x80);
    for (int c = 0; c < 8; ++c) {
      std::memcpy(&out.palette[(255 - c) * 4], colour_entry(c), 4);
    }
    for (uint8_t c : picture.colours) out.pixels.push_back(255 - c);
  }
  return out;
}

Encoded encode_direct(const Picture& picture, int bit_count) {
  Encoded out;
  for (uint8_t c : picture.colours) {
    const uint8_t* e = colour_entry(c);
    if (bit_count == 16) {
      const int v = (e[2] / 8) << 10 | (e[1] / 8) << 5 | e[0] / 8;
      out.pixels.push_back(static_cast<uint8_t>(v));
      out.pixels.push_back(static_cast<uint8_t>(v >> 8));
      continue;
    }
    out.pixels.insert(out.pixels.end(), e, e + 3);
    // The fourth byte of a 32-bit pixel carries no colour.
    if (bit_count == 32) out.pixels.push_back(0x5A);
  }
  return out;
}

}  // namespace

Picture random_shape_picture(uint32_t seed) {
  Picture picture{256, 256, std::vector<uint8_t>(65536)};
  std::mt19937 random(seed);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int shape = (y / 16) * 16 + x / 16;
      uint8_t c = static_cast<uint8_t>(random() % 8);
      if (is_single_plane(shape)) c = (c & 1) ? 7 : 0;
      picture.colours[y * 256 + x] = c;
    }
  }
  return picture;
}

Picture random_black_white_picture(int width, int height, uint32_t seed) {
  Picture picture{width, height,
                  std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  std::mt19937 random(seed);
  for (uint8_t& c : picture.colours) c = (random() & 1) ? 7 : 0;
  return picture;
}

std::unique_ptr<ShapeSheet> sheet_of(const Picture& picture) {
  auto sheet = std::make_unique<ShapeSheet>();
  std::memcpy(sheet->pixels, picture.colours.data(), SHAPE_SHEET_BYTES);
  return sheet;
}

void write_picture_bitmap(const std::string& path, const Picture& picture,
                          int bit_count) {
  const Encoded encoded = bit_count <= 8 ? encode_indexed(picture, bit_count)
                                         : encode_direct(picture, bit_count);
  BitmapInfo info;
  if (create_bitmap_header(&info, picture.width, picture.height,
                           static_cast<uint16_t>(bit_count)) < 0) {
    throw std::runtime_error("create_bitmap_header failed");
  }
  FilePtr file = open_file(path.c_str(), "wb");
  if (!file || write_bitmap(file.get(), &info,
                            encoded.palette.empty() ? nullptr
                                                    : encoded.palette.data(),
                            encoded.pixels.data()) < 0) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string blank_disks(int count) {
  DiskImage image;
  Disk** tail = &image.first;
  std::mt19937 random(12345);
  for (int i = 0; i < count; ++i) {
    Disk* disk = create_d88_disk("TEST", 0);
    if (disk == nullptr) throw std::runtime_error("create_d88_disk failed");
    for (Track& track : disk->tracks) {
      for (int s = 0; s < track.count && track.sectors; ++s) {
        Sector& sector = track.sectors[s];
        for (int b = 0; b < sector.size; ++b) {
          sector.data[b] = static_cast<uint8_t>(random());
        }
      }
    }
    *tail = disk;
    tail = &disk->next;
    ++image.count;
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const int result = write_d88_image_to_buffer(&image, &buffer, &length);
  free_d88_image(&image, 0);
  if (result < 0) throw std::runtime_error("write_d88_image_to_buffer failed");
  return std::string(reinterpret_cast<const char*>(buffer.get()), length);
}

std::string patched_image(const std::string& image, const ShapeSheet& sheet,
                          const std::vector<DiskChange>& changes) {
  DiskImage disks;
  if (read_d88_image_from_buffer(
          &disks, reinterpret_cast<const uint8_t*>(image.data()),
          static_cast<int32_t>(image.size())) < 0) {
    throw std::runtime_error("test image not readable");
  }
  for (const DiskChange& change : changes) {
    Disk* disk = get_d88_disk(&disks, change.index);
    if (disk == nullptr || change_shape_data(&sheet, disk, change.range) < 0) {
      free_d88_image(&disks, 0);
      throw std::runtime_error("test image not patchable");
    }
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const int result = write_d88_image_to_buffer(&disks, &buffer, &length);
  free_d88_image(&disks, 0);
  if (result < 0) throw std::runtime_error("write_d88_image_to_buffer failed");
  return std::string(reinterpret_cast<const char*>(buffer.get()), length);
}

std::vector<bool> shape_byte_map(const std::string& image,
                                 const std::vector<DiskChange>& changes) {
  // Every shape byte is 0x00 for an all-black sheet and 0xFF for an
  // all-white one; no other byte depends on the sheet.
  auto black = std::make_unique<ShapeSheet>();
  auto white = std::make_unique<ShapeSheet>();
  std::memset(black->pixels, 0, sizeof black->pixels);
  std::memset(white->pixels, 7, sizeof white->pixels);
  const std::string a = patched_image(image, *black, changes);
  const std::string b = patched_image(image, *white, changes);
  if (a.size() != image.size() || b.size() != image.size()) {
    throw std::runtime_error("test image not in the plain layout");
  }
  std::vector<bool> map(image.size());
  for (size_t i = 0; i < image.size(); ++i) map[i] = a[i] != b[i];
  return map;
}

std::vector<uint8_t> read_bitmap_pixels(const std::string& path,
                                        int* bit_count) {
  FilePtr file = open_file(path.c_str(), "rb");
  if (!file) return {};
  BitmapInfo info;
  uint8_t* pixels = nullptr;
  const int result = read_bitmap(file.get(), &info, nullptr, &pixels, 0);
  std::vector<uint8_t> out;
  if (result >= 0) {
    const size_t bytes = static_cast<size_t>((info.bit_count + 7) / 8) *
                         info.width * info.height;
    out.assign(pixels, pixels + bytes);
    *bit_count = info.bit_count;
  }
  free_bitmap_buffer(pixels);
  return out;
}
