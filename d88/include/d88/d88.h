// The D88 disk-image library: the in-memory model of a D88 file, its strict
// reader, its normalising writer, the blank-disk builder, and lookups.
//
// An image is a count and a singly linked list of disks in file order; a disk
// holds its header fields and 164 track slots; a track an array of sectors; a
// sector its ID fields and its data. An image owns its disks (released with
// free_d88_image), a disk its sector arrays, a sector its data block.
//
// Results: 0 or more for success, -1 for failure; lookups and constructors
// return the record or null. Failures are printed to standard output where
// they are found, and every level above adds its own line. Nothing throws.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr int D88_TRACK_MAX = 164;
inline constexpr int D88_HEADER_SIZE = 0x2B0;        // 688: full header
inline constexpr int D88_SHORT_HEADER_SIZE = 0x2A0;  // 672: 160-entry table
inline constexpr int D88_SECTOR_HEADER_SIZE = 16;

// One sector; its first fields mirror the 16-byte sector header.
struct Sector {
  uint8_t c = 0;              // cylinder of the sector ID
  uint8_t h = 0;              // head of the sector ID
  uint8_t r = 0;              // record number of the sector ID
  uint8_t n = 0;              // size code of the sector ID
  uint16_t sector_count = 0;  // sectors in the track, as this header says
  uint8_t density = 0;
  uint8_t deleted = 0;
  uint8_t status = 0;
  uint8_t reserved[5] = {};
  int16_t size = 0;                   // byte length of data
  std::unique_ptr<uint8_t[]> data;    // size bytes; null when size is 0
};

// One track slot. A track exists when sectors is set, whatever count says.
struct Track {
  int32_t count = 0;
  std::unique_ptr<Sector[]> sectors;
};

// One disk of an image, allocated on the heap and owned by its image.
struct Disk {
  Disk* next = nullptr;        // following disk of the same image
  char name[17] = {};          // NUL-terminated disk name
  uint8_t reserved[9] = {};    // kept exactly as read
  uint8_t write_protect = 0;   // 0x00 or 0x10
  uint8_t disk_type = 0;       // 0x00, 0x10 or 0x20
  int32_t disk_size = 0;       // length in its file as read (unused by writer)
  uint32_t track_offsets[D88_TRACK_MAX] = {};  // header table as read
  Track tracks[D88_TRACK_MAX];  // slot i holds the track of table entry i
};

// One D88 file. A default (all-zero) record is a valid empty image.
struct DiskImage {
  int32_t count = 0;       // number of disks in the list
  Disk* first = nullptr;   // first disk, in file order
};

// ---- Model and lookup ----------------------------------------------------

// Frees the disk's sector arrays and data. release != 0 frees the record
// itself; 0 resets it to an empty disk (all zero, next included).
void free_d88_disk(Disk* disk, int release);

// Unlinks and frees every disk (without recursion, however long the list).
// release != 0 frees the record itself; 0 leaves it empty (count 0, no disks).
void free_d88_image(DiskImage* image, int release);

// The disk at 0-based position index in the list, or null for a negative
// index or one past the end. Follows the links alone.
Disk* get_d88_disk(const DiskImage* image, int32_t index);

// Bytes the writer produces for the disk: 688 plus, for every track that
// exists, 16 + size for each of its sectors. -1 when that does not fit in 32
// signed bits or a sector's size is negative (no file can hold such a disk).
int32_t get_d88_disk_size(const Disk* disk);

// Sum of get_d88_disk_size over the first count disks; -1 when any disk gives
// -1 or the sum does not fit in 32 signed bits.
int32_t get_d88_image_size(const DiskImage* image);

// The first slot (0 to 163) whose track exists and whose first sector has
// this cylinder and head; null if none. Values outside 0..255 match nothing.
// A track exists when its sectors array is set, whatever its count says, so
// such an array always holds at least its first record.
Track* find_d88_track(const Disk* disk, int c, int h);

// The first sector with record r in the track that find_d88_track finds;
// null if that track has none (later tracks are not searched). The sector's
// data may be changed in place through the result; it is never freed.
Sector* find_d88_sector(const Disk* disk, int c, int h, int r);

// ---- Reader --------------------------------------------------------------

// Loads a whole file. The number of disks read, or -1 (the image is then
// empty). The image must be empty on entry. Only a regular file shorter than
// 2 GiB is read. The file is read whole into one buffer, whose pages go back
// to the system disk by disk as they are parsed, so that a load needs little
// more memory than the image it builds.
int read_d88_image_from_file(DiskImage* image, const char* path);

// Parses a file's bytes. The number of disks read, or -1 (image empty).
int read_d88_image_from_buffer(DiskImage* image, const uint8_t* bytes,
                               int32_t length);

// Parses one disk; avail is the number of bytes from its start to the end of
// the buffer. 0 or -1.
int read_d88_disk_from_buffer(Disk* disk, const uint8_t* bytes, int32_t avail);

// Parses the track at offset whose space ends at end (both from the disk's
// start). 0 or -1.
int read_d88_track_from_buffer(Track* track, const uint8_t* bytes,
                               int32_t offset, int32_t end);

// Parses the sector whose header is at offset; end is the end of the track's
// space. 0 or -1.
int read_d88_sector_from_buffer(Sector* sector, const uint8_t* bytes,
                                int32_t offset, int32_t end);

// ---- Writer --------------------------------------------------------------

// Lays out the whole image in one new buffer of get_d88_image_size bytes.
// The length is handed back before the allocation (0 when the image is too
// large to lay out). 0 or -1 (no buffer).
int write_d88_image_to_buffer(const DiskImage* image,
                              std::unique_ptr<uint8_t[]>* buffer,
                              int32_t* length);

// Writes one disk at place, which has room bytes; hands back the position
// just past it in *end. 0 or -1 (nothing written when room is too small).
int write_d88_disk_to_buffer(const Disk* disk, uint8_t* place, uint8_t** end,
                             int32_t room);

// Saves the image: the bytes of write_d88_image_to_buffer, laid out and
// written one disk at a time through a buffer as long as the longest disk.
// An existing file is replaced only once the new one is completely written;
// on failure it is left as it was. 0 or -1.
int write_d88_image_to_file(const DiskImage* image, const char* path);

// Saves this one disk alone as a file. 0 or -1.
int write_d88_disk_to_file(const Disk* disk, const char* path);

// ---- Builder -------------------------------------------------------------

// One row of the fixed format table of create_d88_disk.
struct D88Format {
  uint8_t disk_type;
  int32_t cylinders;
  int32_t heads;
  int32_t sectors_per_track;
  uint8_t head_base;     // head number used for head 0
  uint8_t first_record;  // record number of a track's first sector
  uint8_t size_code;
  uint8_t density;
};

inline constexpr int D88_FORMAT_COUNT = 10;
extern const D88Format d88_formats[D88_FORMAT_COUNT];

// A new empty image on the heap (release with free_d88_image(image, 1)), or
// null.
DiskImage* create_d88_image();

// A new, formatted stand-alone disk of format 0 to 9 (every data byte 0xE5),
// or null. The name (or none) is padded with blanks to 16 characters. The
// caller owns it: link it into an image or release it with free_d88_disk.
Disk* create_d88_disk(const char* name, int format);

// count sectors with records first_r, first_r + 1, ... (wrapping past 255),
// each of 128 << n bytes of 0xE5; null on bad arguments or no memory.
std::unique_ptr<Sector[]> create_d88_sectors(uint8_t c, uint8_t h,
                                             uint8_t first_r, uint8_t n,
                                             int32_t count, uint8_t density);

// As create_d88_sectors with a record number (or i + 1 without a list) and a
// size code per sector.
std::unique_ptr<Sector[]> create_d88_custom_sectors(
    uint8_t c, uint8_t h, const uint8_t* records, const uint8_t* size_codes,
    int32_t count, uint8_t density);

// ---- Ownership -----------------------------------------------------------

// An image released with free_d88_image (flag 0) when it goes out of scope,
// so that a program releases its images on every way out of a run.
struct ScopedDiskImage {
  DiskImage image;
  ScopedDiskImage() = default;
  ScopedDiskImage(const ScopedDiskImage&) = delete;
  ScopedDiskImage& operator=(const ScopedDiskImage&) = delete;
  ~ScopedDiskImage() { free_d88_image(&image, 0); }
};
