// The normalising writer: every disk is laid out afresh from its records, a
// full header followed by the tracks in slot order, back to back.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/alloc.h"
#include "common/le.h"
#include "common/output_file.h"
#include "d88/d88.h"
#include "detail.h"

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
  // A record without a data block (size 0, or one made by hand) leaves the
  // zero-filled bytes of the buffer as they are.
  if (sector.data && sector.size > 0) {
    std::memcpy(p, sector.data.get(), static_cast<size_t>(sector.size));
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
    std::puts("write_d88_image_to_buffer: illegal parameter");
    return -1;
  }
  buffer->reset();
  const int32_t size = get_d88_image_size(image);
  if (length != nullptr) *length = size < 0 ? 0 : size;
  // Beyond 2 GiB no offset or size field of the file could hold the layout.
  if (size < 0) {
    std::puts("write_d88_image_to_buffer: image size out of range");
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
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (write_d88_image_to_buffer(image, &buffer, &length) < 0) {
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
  // An image without disks is an empty file; there is nothing to write.
  const bool written =
      length == 0 || std::fwrite(buffer.get(), static_cast<size_t>(length), 1,
                                 out.stream()) == 1;
  if (!written || out.commit() < 0) {
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
