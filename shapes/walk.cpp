#include "walk.h"

#include <cstdio>

#include "common/verbose.h"

namespace shapes {

namespace {

constexpr int SHAPE_SECTOR_BYTES = 256;
constexpr int SHAPE_ROW_BYTES = 2;
constexpr int SHAPE_SIZE = 16;
constexpr int RECORDS_PER_TRACK = 16;

// The walk's place in the stream of plane blocks.
struct ShapePosition {
  int32_t shape;
  int32_t plane;
  int32_t row;
};

struct SectorId {
  int32_t c, h, r;
};

ShapeRow make_row(const ShapePosition& at) {
  const int32_t top = (at.shape / SHAPE_SIZE) * SHAPE_SIZE + at.row;
  const int32_t left = (at.shape % SHAPE_SIZE) * SHAPE_SIZE;
  const uint8_t bits = is_single_plane_shape(at.shape)
                           ? uint8_t{7}
                           : static_cast<uint8_t>(1 << at.plane);
  return ShapeRow{top * SHAPE_SHEET_WIDTH + left, bits};
}

// Steps to the next row; true when a shape was completed and the next one
// has to start at the beginning of a sector.
bool advance(ShapePosition* at) {
  if (++at->row < SHAPE_SIZE) return false;
  at->row = 0;
  const int32_t planes = is_single_plane_shape(at->shape) ? 1 : 3;
  if (++at->plane < planes) return false;
  at->plane = 0;
  ++at->shape;
  return at->shape > 127 && at->shape % 4 == 0;
}

// A short sector would be read or written past its data, so it is refused
// like a missing one.
bool is_shape_sector(const Sector* sector) {
  return sector != nullptr && sector->n == 1 && sector->data != nullptr &&
         sector->size >= SHAPE_SECTOR_BYTES;
}

void walk_sector(uint8_t* data, ShapePosition* at, int32_t last_shape,
                 ShapeRowFunction row_function, void* context) {
  for (int used = 0; used < SHAPE_SECTOR_BYTES && at->shape <= last_shape;
       used += SHAPE_ROW_BYTES) {
    row_function(context, make_row(*at), data + used);
    if (advance(at)) return;
  }
}

void next_sector(SectorId* id) {
  if (++id->r <= RECORDS_PER_TRACK) return;
  id->r = 1;
  if (id->h == 0) {
    id->h = 1;
  } else {
    id->h = 0;
    ++id->c;
  }
}

bool is_end_sector(const SectorId& id, const ShapeRange& range) {
  return id.c == range.end_c && id.h == range.end_h && id.r == range.end_r;
}

// The one walk behind the codec and the check. With report set it prints the
// verbose trace and the error line; without, it is silent and hands back the
// ID of the sector it could not use in *bad.
int walk_sectors(const Disk* disk, const ShapeRange* range, bool report,
                 ShapeRowFunction row_function, void* context, SectorId* bad) {
  const bool trace = report && verbose_flag;
  if (trace) {
    std::printf("%02X/%02X/%02X - %02X/%02X/%02X\n", range->start_c,
                range->start_h, range->start_r, range->end_c, range->end_h,
                range->end_r);
  }
  ShapePosition at{range->first_shape, 0, 0};
  SectorId id{range->start_c, range->start_h, range->start_r};
  while (at.shape <= range->last_shape) {
    if (trace) std::printf("[%02X/%02X/%02X]\n", id.c, id.h, id.r);
    Sector* sector = find_d88_sector(disk, id.c, id.h, id.r);
    if (!is_shape_sector(sector)) {
      if (report) {
        std::printf("error: read d88 image %02X/%02X/%02X\n", id.c, id.h,
                    id.r);
      }
      *bad = id;
      return -1;
    }
    walk_sector(sector->data.get(), &at, range->last_shape, row_function,
                context);
    if (is_end_sector(id, *range)) break;
    next_sector(&id);
  }
  return 0;
}

void skip_row(void*, const ShapeRow&, uint8_t*) {}

}  // namespace

bool is_single_plane_shape(int32_t shape) { return shape >= 96 && shape <= 126; }

int walk_shape_sectors(const Disk* disk, const ShapeRange* range,
                       ShapeRowFunction row_function, void* context) {
  SectorId bad{};
  return walk_sectors(disk, range, true, row_function, context, &bad);
}

int check_shape_sectors(const Disk* disk, const ShapeRange* range, int* c,
                        int* h, int* r) {
  SectorId bad{};
  if (walk_sectors(disk, range, false, skip_row, nullptr, &bad) == 0) return 0;
  if (c != nullptr) *c = bad.c;
  if (h != nullptr) *h = bad.h;
  if (r != nullptr) *r = bad.r;
  return -1;
}

}  // namespace shapes
