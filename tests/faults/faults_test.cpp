// The libraries and the programs with each allocation refused in turn, and
// the programs on a full disk: every failure is reported, releases what it
// took and leaves the files as they were.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "d88/d88.h"
#include "d88info/d88info.h"
#include "samples/sample_disk.h"
#include "shapes/shapes.h"
#include "support/png_samples.h"
#include "support/run_program.h"
#include "tiledump/tiledump.h"
#include "tilepatch/tilepatch.h"

namespace {

// Every allocation of this executable passes one counter: operator new and
// delete are replaced, and malloc is wrapped at link time.
extern "C" void* __real_malloc(std::size_t size);

long countdown = 0;        // the allocation to refuse, counted down; 0: none
bool refused = false;      // whether it came
long live_blocks = 0;      // blocks from operator new not yet deleted
std::size_t largest = 0;   // the largest single allocation asked for

bool refuse_this_one(std::size_t size) {
  largest = std::max(largest, size);
  if (countdown <= 0 || --countdown > 0) return false;
  return refused = true;
}

void* take(std::size_t size) noexcept {
  if (refuse_this_one(size)) return nullptr;
  void* block = __real_malloc(size == 0 ? 1 : size);
  live_blocks += block != nullptr;
  return block;
}

void* take_or_throw(std::size_t size) {
  if (void* block = take(size)) return block;
  throw std::bad_alloc();
}

void give_back(void* block) noexcept {
  live_blocks -= block != nullptr;
  std::free(block);
}

}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) { return refuse_this_one(size) ? nullptr : __real_malloc(size); }
void* operator new(std::size_t n) { return take_or_throw(n); }
void* operator new[](std::size_t n) { return take_or_throw(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void operator delete(void* p) noexcept { give_back(p); }
void operator delete[](void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
void operator delete[](void* p, std::size_t) noexcept { give_back(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give_back(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give_back(p); }

namespace {

// Runs op (which allocates nothing itself) with its 1st, 2nd ... allocation
// refused until a run gets through, handing each to check: refused or not,
// the result and what was printed. A run that leaves operator new blocks
// behind fails. The number of refused runs.
long walk(const std::function<int()>& op, const std::function<void(bool, const Outcome&)>& check) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
    long left = 0;
    const Outcome got = outcome([&] {
      const long live = live_blocks;
      countdown = n, refused = false;
      const int result = op();
      countdown = 0, left = live_blocks - live;
      return result;
    });
    EXPECT_EQ(left, 0) << "blocks left behind";
    check(refused, got);
    if (!refused || testing::Test::HasFailure()) return n - 1;
  }
}

bool says(const std::string& out, const std::string& line) { return ("\n" + out).find("\n" + line + "\n") != std::string::npos; }

// Two disks holding only the shape tracks: few enough allocations to walk.
std::string shape_disk_image() {
  ScopedDiskImage holder;
  for (uint32_t d = 0; d < 2; ++d, ++holder.image.count) {
    Disk* disk = create_d88_disk("SHAPES", 0);
    for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
      if (slot < 0x1C * 2 || slot > 0x22 * 2 + 1) disk->tracks[slot] = Track{};
    }
    fill_pseudo_random(disk, 0x2545F491u + d);
    disk->next = std::exchange(holder.image.first, disk);
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  EXPECT_EQ(write_d88_image_to_buffer(&holder.image, &buffer, &length), 0);
  return std::string(buffer.get(), buffer.get() + length);
}

// Each library operation, walked: the result and the line of a refusal.
TEST(Faults, Libraries) {
  TempDir dir;
  const std::string path = dir / "game.d88";
  write_file(path, shape_disk_image());
  ScopedDiskImage loaded, written;  // the former emptied after a failure
  ASSERT_EQ(read_d88_image_from_file(&written.image, path.c_str()), 2);
  const uint8_t records[3] = {7, 1, 200}, size_codes[3] = {1, 2, 3};
  BitmapInfo info;
  std::vector<uint8_t> pixels(SHAPE_SHEET_BYTES, 0x80);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 % 13);
  std::FILE *bmp = std::tmpfile(), *png = std::tmpfile();
  ASSERT_EQ(create_bitmap_header(&info, 16, 16, 4), 0);
  ASSERT_EQ(write_bitmap(bmp, &info, shape_palette, pixels.data()), 0);
  uint8_t *palette = nullptr, *target = nullptr;
  const auto read_png = [&](std::FILE* f, uint32_t rows = 256) {
    std::fseek(f, bitmap::PNG_SIGNATURE_SIZE, SEEK_SET);
    return bitmap::read_png(f, "p.png", 256, rows, &target);
  };
  const struct { std::function<int()> op; int refused, done; const char* line; } ops[] = {
      {[&] {
         const int disks = read_d88_image_from_file(&loaded.image, path.c_str()), kept = loaded.image.first != nullptr;
         return free_d88_image(&loaded.image, 0), disks * 10 + kept;
       }, -10, 21, "memory exhaust!"},
      {[&] {
         DiskImage* image = create_d88_image();
         Disk* disk = image ? create_d88_disk("BLANK", 9) : nullptr;
         const bool made = disk && create_d88_custom_sectors(0, 0, records, size_codes, 3, 0);
         return free_d88_disk(disk, 1), free_d88_image(image, 1), made ? 0 : -1;
       }, -1, 0, "memory exhaust!"},
      {[&] {
         std::unique_ptr<uint8_t[]> bytes;
         int32_t length = 0;
         return write_d88_image_to_buffer(&written.image, &bytes, &length);
       }, -1, 0, "memory exhaust!"},
      {[&] { return std::rewind(bmp), read_bitmap(bmp, &info, &palette, &target, 0); }, -2, 0, "error: memory exhaust!"},
      {[&] { return convert_bit_count(16, 16, 24, nullptr, pixels.data(), 4, shape_match_palette, &target); }, -2, 0,
       "error: memory exhaust!"},
      {[&] { return std::rewind(png), bitmap::write_png(png, 256, 256, 4, shape_palette, pixels.data()); }, -2, 0,
       "error: memory exhaust!"},
      {[&] { return read_png(png); }, -2, 0, "error: memory exhaust!"}};
  for (const auto& o : ops) {
    EXPECT_GT(walk([&] {
                     const int result = o.op();
                     free_bitmap_buffer(std::exchange(palette, nullptr)), free_bitmap_buffer(std::exchange(target, nullptr));
                     return result;
                   },
                   [&](bool refused, const Outcome& got) {
                     EXPECT_EQ(got.first, refused ? o.refused : o.done);
                     EXPECT_EQ(says(got.second, o.line), refused) << got.second;
                   }),
              0);
  }
  // Whatever a damaged PNG claims, nothing above the picture's own size; a
  // chunk that is not the picture's own is skipped unread.
  const auto largest_reading = [&](const std::string& bytes, uint32_t rows = 256) {
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    largest = 0;
    const int result = outcome([&] { return read_png(f, rows); }).first;
    free_bitmap_buffer(std::exchange(target, nullptr));
    return std::fclose(f), std::pair(result != 0, largest);
  };
  for (const BadPng& bad : bad_pngs()) {
    const auto [failed, most] = largest_reading(bad.bytes);
    EXPECT_TRUE(failed && most <= 256u * 256 * 3) << bad.name << " " << most;
  }
  const std::string text = png_chunk("tEXt", std::string("Comment\0", 8) + std::string(60000, 'x'));
  EXPECT_EQ(largest_reading(png_file(256, 1, 8, 2, std::string(769, '\0'), text), 1).first, false);
  EXPECT_LT(largest, 60000u);
  std::fclose(bmp), std::fclose(png);
}

std::vector<char*> argv_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return argv.push_back(nullptr), argv;
}

// A program run over an existing output, with each allocation refused, then
// on a full disk: status 1, its lines, the output and the folder as they were.
void check_program(int (*main_fn)(int, char**), std::vector<std::string> args, const std::string& dir,
                   const std::string& output, const std::string& full_disk) {
  std::vector<char*> argv = argv_of(args);
  const auto run = [&] { return main_fn(static_cast<int>(args.size()), argv.data()); };
  write_file(output, "old");
  const std::vector<std::string> before = list_dir(dir);
  EXPECT_GT(walk(run, [&](bool refused, const Outcome& got) {
              EXPECT_EQ(got.first, refused ? 1 : 0) << got.second;
              EXPECT_TRUE(refused || got.second.empty()) << got.second;
              EXPECT_EQ(got.second.find("memory exhaust") != std::string::npos, refused) << got.second;
              EXPECT_EQ(read_file(output) == "old", refused);
              EXPECT_EQ(list_dir(dir), before);
            }), 0);
  write_file(output, "old");
  EXPECT_EQ(outcome([&] { return with_file_limit(run); }), Outcome(1, full_disk));
  EXPECT_EQ(read_file(output), "old");
  EXPECT_EQ(list_dir(dir), before);
}

TEST(Faults, Programs) {
  TempDir dir;
  const std::string image = shape_disk_image(), game = dir / "game.d88";
  write_file(game, image);
  const std::pair<std::string, std::string> sheets[] = {{"sheet.bmp", "error: write_bitmap() - can't write bitmap data\n"},
                                                        {"sheet.png", "error: write_png() - can't write data\n"}};
  for (const auto& [name, full] : sheets) {
    const std::string bitmap = dir / name;
    std::vector<std::string> dump = {"tiledump", "--overwrite", "-D", game, "0", "1", bitmap}, verbose = dump;
    verbose.insert(verbose.begin() + 1, "--verbose");  // a run before, which the next ones do not take after
    outcome([&] { return tiledump::tiledump_main(8, argv_of(verbose).data()); });
    check_program(tiledump::tiledump_main, dump, dir.path(), bitmap,
                  full + "error: write bitmap '" + bitmap + "'\nerror: write bitmap file '" + bitmap + "'\n");
    ASSERT_EQ(tiledump::tiledump_main(7, argv_of(dump).data()), 0);  // a bitmap for tilepatch
    // The output name is derived from the disk file's, on the heap.
    const std::string output = dir / "game.NEW.d88";
    check_program(tilepatch::tilepatch_main, {"tilepatch", "--overwrite", "-t", "k", "-i", "1", "-d", game, bitmap},
                  dir.path(), output, "write error '" + output + "'\nerror: write d88 image '" + output + "'\n");
    EXPECT_EQ(read_file(game), image);
  }
  // d88info writes no file; it ends with 1 unless only the tally of sector
  // sizes could not be made.
  std::vector<std::string> info = {"d88info", game};
  std::vector<char*> argv = argv_of(info);
  EXPECT_GT(walk([&] { return d88info::d88info_main(2, argv.data()); }, [](bool refused, const Outcome& got) {
              EXPECT_EQ(got.first, refused && !says(got.second, "  sector sizes    ? (memory exhausted)")) << got.second;
              EXPECT_EQ(got.second.find("memory exhaust") != std::string::npos, refused) << got.second;
            }), 0);
}

}  // namespace
