#include "tilepatch/tests/fixtures.h"

#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

// Writes the image and frees it.
std::string image_bytes(DiskImage* image) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  const int result = write_d88_image_to_buffer(image, &buffer, &length);
  free_d88_image(image, 0);
  check(result >= 0, "write_d88_image_to_buffer failed");
  return std::string(reinterpret_cast<const char*>(buffer.get()), length);
}

}  // namespace

Picture random_shape_picture(uint32_t seed) {
  Picture picture{256, 256, std::vector<uint8_t>(65536)};
  std::mt19937 random(seed);
  for (int i = 0; i < 65536; ++i) {
    const int shape = (i / 4096) * 16 + (i % 256) / 16;
    const uint8_t c = static_cast<uint8_t>(random() % 8);
    picture.colours[i] = shape < 96 || shape > 126 ? c : (c & 1) * 7;
  }
  return picture;
}

Picture random_black_white_picture(int width, int height, uint32_t seed) {
  Picture picture{width, height,
                  std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  std::mt19937 random(seed);
  for (uint8_t& c : picture.colours) c = (random() & 1) * 7;
  return picture;
}

void write_picture_bitmap(const std::string& path, const Picture& picture,
                          int bit_count) {
  std::vector<uint8_t> palette;
  std::vector<uint8_t> pixels;
  if (bit_count == 1) palette = {0, 0, 0, 0, 255, 255, 255, 0};
  if (bit_count == 4) palette.assign(shape_palette, shape_palette + 64);
  if (bit_count == 8) {
    palette.assign(256 * 4, 0x80);
    for (int c = 0; c < 8; ++c) {
      std::memcpy(&palette[(255 - c) * 4], &shape_palette[c * 4], 4);
    }
  }
  for (uint8_t c : picture.colours) {
    const uint8_t* e = &shape_palette[c * 4];
    if (bit_count == 1) pixels.push_back(c / 7);
    if (bit_count == 4) pixels.push_back(c);
    if (bit_count == 8) pixels.push_back(255 - c);
    if (bit_count == 16) {
      const int v = (e[2] / 8) << 10 | (e[1] / 8) << 5 | e[0] / 8;
      pixels.insert(pixels.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    if (bit_count >= 24) pixels.insert(pixels.end(), e, e + 3);
    // The fourth byte of a 32-bit pixel carries no colour.
    if (bit_count == 32) pixels.push_back(0x5A);
  }
  BitmapInfo info;
  check(create_bitmap_header(&info, picture.width, picture.height,
                             static_cast<uint16_t>(bit_count)) >= 0,
        "create_bitmap_header failed");
  FilePtr file = open_file(path.c_str(), "wb");
  check(file && write_bitmap(file.get(), &info,
                             palette.empty() ? nullptr : palette.data(),
                             pixels.data()) >= 0,
        "write_bitmap failed");
}

std::string blank_disks(int count) {
  DiskImage image;
  Disk** tail = &image.first;
  std::mt19937 random(12345);
  for (; image.count < count; ++image.count) {
    Disk* disk = create_d88_disk("TEST", 0);
    check(disk != nullptr, "create_d88_disk failed");
    for (Track& track : disk->tracks) {
      for (int s = 0; s < track.count && track.sectors; ++s) {
        Sector& sector = track.sectors[s];
        for (int b = 0; b < sector.size; ++b)
          sector.data[b] = uint8_t(random());
      }
    }
    *tail = disk;
    tail = &disk->next;
  }
  return image_bytes(&image);
}

std::string patched_image(const std::string& image,
                          const std::vector<uint8_t>& colours,
                          const std::vector<DiskChange>& changes) {
  auto sheet = std::make_unique<ShapeSheet>();
  std::memcpy(sheet->pixels, colours.data(), SHAPE_SHEET_BYTES);
  DiskImage disks;
  check(read_d88_image_from_buffer(
            &disks, reinterpret_cast<const uint8_t*>(image.data()),
            static_cast<int32_t>(image.size())) >= 0,
        "test image not readable");
  for (const DiskChange& change : changes) {
    Disk* disk = get_d88_disk(&disks, change.index);
    if (disk == nullptr ||
        change_shape_data(sheet.get(), disk, change.range) < 0) {
      free_d88_image(&disks, 0);
      check(false, "test image not patchable");
    }
  }
  return image_bytes(&disks);
}

std::vector<bool> shape_byte_map(const std::string& image,
                                 const std::vector<DiskChange>& changes) {
  // Every shape byte is 0x00 for an all-black sheet and 0xFF for an
  // all-white one; no other byte depends on the sheet.
  const std::string a =
      patched_image(image, std::vector<uint8_t>(65536, 0), changes);
  const std::string b =
      patched_image(image, std::vector<uint8_t>(65536, 7), changes);
  check(a.size() == image.size() && b.size() == image.size(),
        "test image not in the plain layout");
  std::vector<bool> map(image.size());
  for (size_t i = 0; i < image.size(); ++i) map[i] = a[i] != b[i];
  return map;
}
