// The strict reader: a whole file into memory, then disk by disk, track by
// track, sector by sector, each level checking its own fields and adding its
// own line to the report of a failure below it.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/alloc.h"
#include "common/file_ptr.h"
#include "common/le.h"
#include "d88/d88.h"
#include "detail.h"

namespace {

constexpr int kShortSlots = 160;  // table entries of a 672-byte header

// Offsets of the fixed header fields.
constexpr int kNameAt = 0x00;
constexpr int kReservedAt = 0x11;
constexpr int kWriteProtectAt = 0x1A;
constexpr int kDiskTypeAt = 0x1B;
constexpr int kDiskSizeAt = 0x1C;
constexpr int kTableAt = 0x20;

// Reads the fixed fields of a header. The bytes are taken through a padded
// copy so that a caller's buffer shorter than the fields is never overrun;
// such a disk then fails on its size.
void read_header_fields(Disk* disk, const uint8_t* bytes, int32_t avail) {
  uint8_t head[kTableAt] = {};
  std::memcpy(head, bytes, static_cast<size_t>(std::min(avail, kTableAt)));
  std::memcpy(disk->name, head + kNameAt, sizeof disk->name);
  std::memcpy(disk->reserved, head + kReservedAt, sizeof disk->reserved);
  disk->write_protect = head[kWriteProtectAt];
  disk->disk_type = head[kDiskTypeAt];
  disk->disk_size = static_cast<int32_t>(common::le_get32(head + kDiskSizeAt));
}

int check_header_fields(const Disk* disk, int32_t avail) {
  if (disk->disk_size < D88_SHORT_HEADER_SIZE || disk->disk_size > avail) {
    std::printf("illegal data: [%.17s] disk size = 0x%08X\n", disk->name,
                static_cast<uint32_t>(disk->disk_size));
    return -1;
  }
  if (disk->write_protect != 0x00 && disk->write_protect != 0x10) {
    std::printf("illegal data: [%.17s] write protect flag = 0x%02X\n",
                disk->name, disk->write_protect);
    return -1;
  }
  if (disk->disk_type != 0x00 && disk->disk_type != 0x10 &&
      disk->disk_type != 0x20) {
    std::printf("illegal data: [%.17s] disk type = 0x%02X\n", disk->name,
                disk->disk_type);
    return -1;
  }
  return 0;
}

int report_offset(const Disk* disk, int slot) {
  std::printf("illegal data: [%.17s] track %d offset = 0x%08X\n", disk->name,
              slot, disk->track_offsets[slot]);
  return -1;
}

// Reads the track table and checks every entry against the disk size. A
// 672-byte header is recognised either by the buffer ending right after it
// or by a track starting at 672; its slots 160 to 163 are then empty.
int read_track_table(Disk* disk, const uint8_t* bytes, int32_t avail) {
  // Only 160 entries fit when fewer than 688 bytes are there.
  const int slots = avail >= D88_HEADER_SIZE ? D88_TRACK_MAX : kShortSlots;
  for (int i = 0; i < slots; ++i) {
    disk->track_offsets[i] = common::le_get32(bytes + kTableAt + 4 * i);
  }
  bool short_header = false;
  for (int i = 0; i < kShortSlots; ++i) {
    const auto offset = static_cast<int32_t>(disk->track_offsets[i]);
    if (offset == 0) continue;
    if (offset >= disk->disk_size) return report_offset(disk, i);
    if (offset == D88_SHORT_HEADER_SIZE) {
      short_header = true;
    } else if (offset < D88_HEADER_SIZE) {
      return report_offset(disk, i);
    }
  }
  for (int i = kShortSlots; i < D88_TRACK_MAX; ++i) {
    if (short_header) {
      disk->track_offsets[i] = 0;
      continue;
    }
    const auto offset = static_cast<int32_t>(disk->track_offsets[i]);
    if (offset == 0) continue;
    if (offset < D88_HEADER_SIZE || offset >= disk->disk_size) {
      return report_offset(disk, i);
    }
  }
  return 0;
}

// The end of the space of the track at offset: the next greater offset of
// any slot in the table, or the disk size. sorted holds the table's non-zero
// entries in ascending order (all of them positive and below the disk size
// once the table has been checked).
int32_t space_end(const int32_t* sorted, int used, int32_t offset,
                  int32_t disk_size) {
  const int32_t* next = std::upper_bound(sorted, sorted + used, offset);
  return next == sorted + used ? disk_size : *next;
}

int read_tracks(Disk* disk, const uint8_t* bytes) {
  int32_t sorted[D88_TRACK_MAX];
  int used = 0;
  for (uint32_t offset : disk->track_offsets) {
    if (offset != 0) sorted[used++] = static_cast<int32_t>(offset);
  }
  std::sort(sorted, sorted + used);
  for (int i = 0; i < D88_TRACK_MAX; ++i) {
    const auto offset = static_cast<int32_t>(disk->track_offsets[i]);
    if (offset == 0) continue;
    const int32_t end = space_end(sorted, used, offset, disk->disk_size);
    if (read_d88_track_from_buffer(&disk->tracks[i], bytes, offset, end) < 0) {
      std::printf("read track %d error [%.17s]\n", i, disk->name);
      return -1;
    }
  }
  return 0;
}

bool all_zero(const uint8_t* p, int n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

}  // namespace

int read_d88_sector_from_buffer(Sector* sector, const uint8_t* bytes,
                                int32_t offset, int32_t end) {
  if (sector == nullptr || bytes == nullptr || offset < 1 || end < 1 ||
      end <= offset) {
    std::puts("read_d88_sector_from_buffer: illegal parameter");
    return -1;
  }
  *sector = Sector{};
  if (int64_t{offset} + D88_SECTOR_HEADER_SIZE > end) {
    std::printf("data error: data size(0x%08X) < offset(0x%08X)\n",
                static_cast<uint32_t>(end), static_cast<uint32_t>(offset));
    return -1;
  }
  const uint8_t* p = bytes + offset;
  sector->c = p[0];
  sector->h = p[1];
  sector->r = p[2];
  sector->n = p[3];
  sector->sector_count = common::le_get16(p + 4);
  sector->density = p[6];
  sector->deleted = p[7];
  sector->status = p[8];
  std::memcpy(sector->reserved, p + 9, sizeof sector->reserved);
  const uint16_t raw_size = common::le_get16(p + 14);
  sector->size = static_cast<int16_t>(raw_size);
  // The size is a signed 16-bit number throughout the library; a stored size
  // with the top bit set is no length at all.
  if (sector->size < 0) {
    std::printf("illegal data: sector size = 0x%04X\n", raw_size);
    return -1;
  }
  if (int64_t{offset} + D88_SECTOR_HEADER_SIZE + sector->size > end) {
    std::printf(
        "data error: data size(0x%08X) < offset(0x%08X) + 0x10 + sector "
        "size(0x%04X)\n",
        static_cast<uint32_t>(end), static_cast<uint32_t>(offset), raw_size);
    return -1;
  }
  if (sector->size == 0) return 0;
  sector->data = common::try_make_array_for_overwrite<uint8_t>(static_cast<size_t>(sector->size));
  if (!sector->data) {
    std::puts("memory exhaust!");
    return -1;
  }
  std::memcpy(sector->data.get(), p + D88_SECTOR_HEADER_SIZE,
              static_cast<size_t>(sector->size));
  return 0;
}

int read_d88_track_from_buffer(Track* track, const uint8_t* bytes,
                               int32_t offset, int32_t end) {
  if (track == nullptr || bytes == nullptr || offset < 1 || end < 1 ||
      end <= offset) {
    std::puts("read_d88_track_from_buffer: illegal parameter");
    return -1;
  }
  *track = Track{};
  if (end - offset < D88_SECTOR_HEADER_SIZE) {
    std::printf("data error: data size(0x%08X) < offset(0x%08X)\n",
                static_cast<uint32_t>(end), static_cast<uint32_t>(offset));
    std::printf("read sector %d error\n", 0);
    return -1;
  }
  const uint16_t count = common::le_get16(bytes + offset + 4);
  if (count == 0) {
    if (all_zero(bytes + offset, D88_SECTOR_HEADER_SIZE)) return 0;
    std::printf("illegal data: # of sectors = %d\n", 0);
    return -1;
  }
  // Every sector takes at least its 16-byte header, so at most fit of them
  // lie in the space and sector number fit fails for certain. A count larger
  // than that only gets records up to that failing one: the allocation
  // follows the data, never the bare 16-bit field, and a track that is read
  // completely always has all count records.
  const int32_t fit = (end - offset) / D88_SECTOR_HEADER_SIZE;
  const int32_t records = std::min<int32_t>(count, fit + 1);
  track->sectors = common::try_make_array<Sector>(static_cast<size_t>(records));
  if (!track->sectors) {
    std::puts("memory exhaust!");
    return -1;
  }
  track->count = count;
  int32_t at = offset;
  for (int32_t i = 0; i < count && i < records; ++i) {
    Sector* sector = &track->sectors[i];
    if (read_d88_sector_from_buffer(sector, bytes, at, end) < 0) {
      std::printf("read sector %d error\n", i);
      *track = Track{};  // count and array stay in step for the caller
      return -1;
    }
    at += D88_SECTOR_HEADER_SIZE + sector->size;
  }
  // Only a track with all its records gets here (see above); the check keeps
  // count and the array in step should that reasoning ever be broken.
  return records == count ? 0 : -1;
}

int read_d88_disk_from_buffer(Disk* disk, const uint8_t* bytes, int32_t avail) {
  if (disk == nullptr || bytes == nullptr || avail < 1) {
    std::puts("read_d88_disk_from_buffer: illegal parameter");
    return -1;
  }
  *disk = Disk{};
  read_header_fields(disk, bytes, avail);
  if (check_header_fields(disk, avail) < 0) return -1;
  if (read_track_table(disk, bytes, avail) < 0) return -1;
  return read_tracks(disk, bytes);
}

namespace {

// Hands the whole pages of [bytes, bytes + length) back to the system. They
// read as zeros afterwards, so only bytes that are never read again may be
// given. This only lowers the memory the process holds; a refusal changes
// nothing else.
void release_pages(uint8_t* bytes, int32_t length) {
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const auto size = static_cast<uintptr_t>(page);
  const auto start = reinterpret_cast<uintptr_t>(bytes);
  const uintptr_t first = (start + size - 1) / size * size;
  const uintptr_t last = (start + static_cast<uintptr_t>(length)) / size * size;
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
  }
}

// The disk loop of read_d88_image_from_buffer. owned is null, or the same
// bytes when they are the caller's own buffer, needed no more once read: then
// the pages of each disk go back to the system as soon as it has been read.
// No disk looks back at an earlier one, so the buffer and the image that grows
// from it together take little more memory than one copy of the file.
int read_disks(DiskImage* image, const uint8_t* bytes, int32_t length,
               uint8_t* owned) {
  if (image == nullptr || bytes == nullptr || length < 1) {
    std::puts("read_d88_image_from_buffer: illegal parameter");
    return -1;
  }
  image->count = 0;
  image->first = nullptr;
  Disk* last = nullptr;  // the list's tail, so that appending costs nothing
  const uint8_t* at = bytes;
  int32_t remaining = length;
  while (remaining > 0) {
    if (remaining < D88_HEADER_SIZE && remaining != D88_SHORT_HEADER_SIZE) {
      std::puts("data size too short ... garbage? ... ignored");
      break;
    }
    std::unique_ptr<Disk> disk = common::try_make<Disk>();
    if (!disk) {
      std::puts("memory exhaust!");
      free_d88_image(image, 0);
      return -1;
    }
    if (read_d88_disk_from_buffer(disk.get(), at, remaining) < 0) {
      std::printf("read disk %d error\n", image->count + 1);
      free_d88_image(image, 0);
      return -1;
    }
    at += disk->disk_size;
    remaining -= disk->disk_size;
    if (owned != nullptr) release_pages(owned, length - remaining);
    Disk* added = disk.release();
    if (last == nullptr) {
      image->first = added;
    } else {
      last->next = added;
    }
    last = added;
    ++image->count;
  }
  return image->count;
}

}  // namespace

int read_d88_image_from_buffer(DiskImage* image, const uint8_t* bytes,
                               int32_t length) {
  return read_disks(image, bytes, length, nullptr);
}

namespace {

// The length of an open file, or -1 after printing why it cannot be loaded.
// Only a regular file below 2 GiB is read: anything else would make the
// buffer allocation or the 32-bit offsets meaningless.
int32_t file_length(std::FILE* file, const char* path) {
  struct stat status;
  if (::fstat(::fileno(file), &status) != 0) {
    std::printf("read error '%s'\n", path);
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    std::printf("not a regular file '%s'\n", path);
    return -1;
  }
  if (status.st_size > INT32_MAX) {
    std::printf("file too large '%s'\n", path);
    return -1;
  }
  // The position reached at the end is the length; failing to learn it is
  // a failed seek to the end.
  const long end = std::fseek(file, 0, SEEK_END) < 0 ? -1 : std::ftell(file);
  if (end < 0) {
    std::printf("seek error(SEEK_END) '%s'\n", path);
    return -1;
  }
  if (std::fseek(file, 0, SEEK_SET) < 0) {
    std::printf("seek error(SEEK_SET) '%s'\n", path);
    return -1;
  }
  // The file may have grown since it was looked at.
  if (end > INT32_MAX) {
    std::printf("file too large '%s'\n", path);
    return -1;
  }
  return static_cast<int32_t>(end);
}

}  // namespace

int read_d88_image_from_file(DiskImage* image, const char* path) {
  if (path == nullptr) {
    std::puts("read_d88_image_from_file: illegal parameter");
    return -1;
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  {
    common::FilePtr file = common::open_file(path, "rb");
    if (!file) {
      std::printf("open error '%s'\n", path);
      return -1;
    }
    length = file_length(file.get(), path);
    if (length < 0) return -1;
    buffer = common::try_make_array_for_overwrite<uint8_t>(static_cast<size_t>(length));
    if (!buffer) {
      std::puts("memory exhaust!");
      return -1;
    }
    // One item of the whole length: an empty file fails here too.
    if (std::fread(buffer.get(), static_cast<size_t>(length), 1, file.get()) !=
        1) {
      std::printf("read error '%s'\n", path);
      return -1;
    }
  }
  const int result = read_disks(image, buffer.get(), length, buffer.get());
  if (result < 0) {
    std::printf("read image data error '%s'\n", path);
    return -1;
  }
  return result;
}
