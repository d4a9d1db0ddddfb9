// The normalising writer: every disk is laid out afresh from its records, a
// full header followed by the tracks in slot order, back to back.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/alloc.h"
#include "common/le.h"
#include "common/output_file.h"
#include "d88/d88.h"

namespace {

uint8_t* write_sector(uint8_t* p, const Sector& sector, int32_t track_count) {
  *p++ = sector.c;
  *p++ = sector.h;
  *p++ = sector.r;
  *p++ = sector.n;
  // Every header carries its track's count, whatever it said when read.
  p = common::le_put16(p, static_cast<uint32_t>(track_count));
  *p++ = sector.density;
  *p++ = sector.deleted;
  *p++ = sector.status;
  std::memcpy(p, sector.reserved, sizeof sector.reserved);
  p += sizeof sector.reserved;
  p = common::le_put16(p, static_cast<uint32_t>(sector.size));
  // A record without a data block (one made by hand) stands for zero bytes.
  // They are stored here rather than left to the buffer, which the file
  // writer reuses from disk to disk.
  if (sector.size > 0) {
    if (sector.data) {
      std::memcpy(p, sector.data.get(), static_cast<size_t>(sector.size));
    } else {
      std::memset(p, 0, static_cast<size_t>(sector.size));
    }
  }
  return p + sector.size;
}

uint8_t* write_header(uint8_t* p, const Disk& disk, int32_t disk_size) {
  std::memcpy(p, disk.name, sizeof disk.name);
  std::memcpy(p + 0x11, disk.reserved, sizeof disk.reserved);
  p[0x1A] = disk.write_protect;
  p[0x1B] = disk.disk_type;
  common::le_put32(p + 0x1C, static_cast<uint32_t>(disk_size));
  return p + 0x20;  // the track table
}

// The lines of write_d88_image_to_buffer for an image it refuses; the file
// writer refuses the same images with the same lines.
constexpr char kIllegalImage[] = "write_d88_image_to_buffer: illegal parameter";
constexpr char kImageTooLarge[] =
    "write_d88_image_to_buffer: image size out of range";

// The length of the image's longest disk as laid out, or -1 after the
// message when the image cannot be laid out at all.
int32_t longest_disk(const DiskImage* image) {
  if (image == nullptr) {
    std::puts(kIllegalImage);
    return -1;
  }
  if (get_d88_image_size(image) < 0) {
    std::puts(kImageTooLarge);
    return -1;
  }
  int32_t longest = 0;
  const Disk* disk = image->first;
  for (int32_t i = 0; i < image->count && disk != nullptr; ++i) {
    longest = std::max(longest, get_d88_disk_size(disk));
    disk = disk->next;
  }
  return longest;
}

// Lays out each disk in turn in buffer, which holds the longest, and writes
// it to out, which starts putting it on disk while the next is laid out. 0,
// or -1 after the message.
int write_disks(const DiskImage& image, uint8_t* buffer, int32_t room,
                common::OutputFile& out, const char* path) {
  const Disk* disk = image.first;
  for (int32_t i = 0; i < image.count && disk != nullptr; ++i) {
    uint8_t* end = buffer;
    if (write_d88_disk_to_buffer(disk, buffer, &end, room) < 0) {
      std::printf("write d88 disk[%d] error\n", i);
      std::printf("write image data error '%s'\n", path);
      return -1;
    }
    if (std::fwrite(buffer, static_cast<size_t>(end - buffer), 1,
                    out.stream()) != 1) {
      std::printf("write error '%s'\n", path);
      return -1;
    }
    out.start_writeback();
    disk = disk->next;
  }
  return 0;
}

}  // namespace

int write_d88_disk_to_buffer(const Disk* disk, uint8_t* place, uint8_t** end,
                             int32_t room) {
  if (disk == nullptr || place == nullptr || end == nullptr) {
    std::puts("write_d88_disk_to_buffer: illegal parameter");
    return -1;
  }
  const int32_t length = get_d88_disk_size(disk);
  if (length < 0) {
    std::puts("write_d88_disk_to_buffer: disk size out of range");
    return -1;
  }
  if (room < length) {
    std::printf("write d88 disk: buffer size error: %d < %d\n", room, length);
    return -1;
  }
  uint8_t* table = write_header(place, *disk, length);
  uint8_t* at = place + D88_HEADER_SIZE;
  for (const Track& track : disk->tracks) {
    if (!track.sectors) {
      table = common::le_put32(table, 0);
      continue;
    }
    table = common::le_put32(table, static_cast<uint32_t>(at - place));
    for (int32_t i = 0; i < track.count; ++i) {
      at = write_sector(at, track.sectors[i], track.count);
    }
  }
  *end = at;
  return 0;
}

int write_d88_image_to_buffer(const DiskImage* image,
                              std::unique_ptr<uint8_t[]>* buffer,
                              int32_t* length) {
  if (image == nullptr || buffer == nullptr) {
    std::puts(kIllegalImage);
    return -1;
  }
  buffer->reset();
  const int32_t size = get_d88_image_size(image);
  if (length != nullptr) *length = size < 0 ? 0 : size;
  // Beyond 2 GiB no offset or size field of the file could hold the layout.
  if (size < 0) {
    std::puts(kImageTooLarge);
    return -1;
  }
  std::unique_ptr<uint8_t[]> bytes = common::try_make_array<uint8_t>(
      static_cast<size_t>(size));
  if (!bytes) {
    std::puts("memory exhaust!");
    return -1;
  }
  uint8_t* at = bytes.get();
  const Disk* disk = image->first;
  for (int32_t i = 0; i < image->count && disk != nullptr; ++i) {
    const auto room = static_cast<int32_t>(bytes.get() + size - at);
    if (write_d88_disk_to_buffer(disk, at, &at, room) < 0) {
      std::printf("write d88 disk[%d] error\n", i);
      return -1;
    }
    disk = disk->next;
  }
  *buffer = std::move(bytes);
  return 0;
}

int write_d88_image_to_file(const DiskImage* image, const char* path) {
  if (path == nullptr) {
    std::puts("write_d88_image_to_file: illegal parameter");
    return -1;
  }
  // The bytes are those of write_d88_image_to_buffer, laid out one disk at a
  // time in a buffer as long as the longest disk: a whole-image buffer would
  // be a second copy of the image in fresh memory. Everything that can be
  // refused is refused before the file is opened.
  const int32_t longest = longest_disk(image);
  std::unique_ptr<uint8_t[]> buffer;
  if (longest >= 0) {
    buffer = common::try_make_array_for_overwrite<uint8_t>(
        static_cast<size_t>(longest));
    if (!buffer) std::puts("memory exhaust!");
  }
  if (!buffer) {
    std::printf("write image data error '%s'\n", path);
    return -1;
  }
  // The target is replaced only by a commit after a complete write; any
  // failure before that leaves it as it was and removes the temporary file.
  common::OutputFile out;
  const int opened = out.open(path);
  if (opened == -2) std::puts("memory exhaust!");
  if (opened < 0) {
    std::printf("open error '%s'\n", path);
    return -1;
  }
  if (write_disks(*image, buffer.get(), longest, out, path) < 0) {
    return -1;
  }
  if (out.commit() < 0) {
    std::printf("write error '%s'\n", path);
    return -1;
  }
  return 0;
}

int write_d88_disk_to_file(const Disk* disk, const char* path) {
  if (disk == nullptr) {
    std::puts("write_d88_disk_to_file: illegal parameter");
    return -1;
  }
  // A view of this one disk: count 1 keeps the writer from following next.
  // The record only borrows the disk and is never released.
  DiskImage alone;
  alone.count = 1;
  alone.first = const_cast<Disk*>(disk);
  return write_d88_image_to_file(&alone, path);
}
