// The programs and the libraries with each allocation refused in turn, the programs also on a full disk: every
// failure is reported, releases what it took and leaves the files as they were.
#include <gtest/gtest.h>

#include <new>

#include "bitmap/bitmap.h"
#include "bitmap/png.h"
#include "d88/d88.h"
#include "d88info/d88info.h"
#include "samples/sample_disk.h"
#include "shapes/shapes.h"
#include "support/run_program.h"
#include "tiledump/tiledump.h"
#include "tilepatch/tilepatch.h"

namespace {

// Every allocation passes one counter: malloc and free are wrapped at link time, operator new and delete use them.
extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* block);
long countdown = 0;       // the allocation to refuse, counted down; 0: none
bool refused = false;     // whether it came
long live_blocks = 0;     // blocks not yet freed

// Runs op (which allocates nothing itself) with its 1st, 2nd ... allocation refused until a run gets through,
// handing each to check: refused or not, the result and what was printed. A run prints line (after a line end)
// exactly when refused and leaves no block behind; at least one is refused.
void walk(const std::function<int()>& op, const std::string& line,
          const std::function<void(bool, const Outcome&)>& check) {
  long n = 0;
  do {
    SCOPED_TRACE("allocation " + std::to_string(++n) + " refused");
    long left = 0;
    const Outcome got = outcome([&] {
      const long live = live_blocks;
      countdown = n, refused = false;
      const int result = op();
      countdown = 0, left = live_blocks - live;
      return result;
    });
    EXPECT_EQ(left, 0) << "blocks left behind";
    EXPECT_EQ(("\n" + got.second).find(line) != std::string::npos, refused) << got.second;
    check(refused, got);
  } while (refused && !testing::Test::HasFailure());
  EXPECT_GT(n, 1) << "no allocation to refuse";
}

// Two disks holding only the shape tracks, few enough allocations to walk, in the file.
void write_shape_disks(const std::string& path) {
  ScopedDiskImage holder;
  for (uint32_t d = 0; d < 2; ++d, ++holder.image.count) {
    Disk* disk = create_d88_disk("SHAPES", 0);
    for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
      if (slot < 0x1C * 2 || slot > 0x22 * 2 + 1) disk->tracks[slot] = Track{};
    }
    fill_pseudo_random(disk, 0x2545F491u + d);
    disk->next = std::exchange(holder.image.first, disk);
  }
  EXPECT_EQ(write_d88_image_to_file(&holder.image, path.c_str()), 0);
}

// A program run over an existing output on a full disk, then with each allocation refused: status 1, its lines,
// the output and the folder as they were; the last run, refused nothing, succeeds. args[1] is --verbose, for a
// run before that the next ones, without it, must not take after.
void check_program(int (*main_fn)(int, char**), std::vector<std::string> args, const std::string& output,
                   const std::string& full_disk) {
  outcome([&] { return main_fn(static_cast<int>(args.size()), argv_of(args).data()); });
  args.erase(args.begin() + 1);
  std::vector<char*> argv = argv_of(args);
  const auto run = [&] { return main_fn(static_cast<int>(args.size()), argv.data()); };
  const std::string dir = output.substr(0, output.rfind('/'));
  write_file(output, "old");
  const std::vector<std::string> before = list_dir(dir);
  EXPECT_EQ(outcome([&] { return with_file_limit(run); }), Outcome(1, full_disk));
  walk(run, "memory exhaust", [&](bool refused, const Outcome& got) {
    EXPECT_EQ(got, refused ? Outcome(1, got.second) : Outcome(0, ""));
    EXPECT_EQ(read_file(output) == "old", refused);
    EXPECT_EQ(list_dir(dir), before);
  });
}

}  // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
  if (countdown > 0 && --countdown == 0) return refused = true, nullptr;
  void* block = __real_malloc(size);
  live_blocks += block != nullptr;
  return block;
}
extern "C" void __wrap_free(void* block) {
  live_blocks -= block != nullptr;
  __real_free(block);
}
void* operator new(std::size_t n) {
  void* block = std::malloc(n == 0 ? 1 : n);
  return block != nullptr ? block : throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }  // sanitizers replace the library's array forms
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// The programs, then the library operations on their files, each walked.
TEST(Faults, Walks) {
  TempDir dir;
  const std::string game = dir / "game.d88", output = dir / "game.NEW.d88";
  write_shape_disks(game);
  const std::string original = read_file(game);
  for (const auto& [name, full] : {std::pair("sheet.bmp", "error: write_bitmap() - can't write bitmap data\n"),
                                   std::pair("sheet.png", "error: write_png() - can't write data\n")}) {
    const std::string bitmap = dir / name;
    check_program(tiledump::tiledump_main, {"tiledump", "--verbose", "--overwrite", "-D", game, "0", "1", bitmap},
                  bitmap, full + ("error: write bitmap '" + bitmap + "'\nerror: write bitmap file '" + bitmap + "'\n"));
    // tilepatch derives the output name from the disk file's, on the heap.
    check_program(tilepatch::tilepatch_main,
                  {"tilepatch", "--verbose", "--overwrite", "-t", "k", "-i", "1", "-d", game, bitmap}, output,
                  "write error '" + output + "'\nerror: write d88 image '" + output + "'\n");
    EXPECT_EQ(read_file(game), original);
  }
  // d88info writes no file; it ends with 1 unless only the tally of sector sizes could not be made.
  std::vector<std::string> report = {"d88info", game};
  std::vector<char*> argv = argv_of(report);
  walk([&] { return d88info::d88info_main(2, argv.data()); }, "memory exhaust", [](bool refused, const Outcome& got) {
    const bool tally = got.second.find("\n  sector sizes    ? (memory exhausted)\n") != std::string::npos;
    EXPECT_EQ(got.first, refused && !tally) << got.second;
  });
  // Each library operation on those files: the result and the line of a refusal.
  ScopedDiskImage loaded, written;  // the former emptied after a failure
  ASSERT_EQ(read_d88_image_from_file(&written.image, game.c_str()), 2);
  const uint8_t records[3] = {7, 1, 200}, size_codes[3] = {1, 2, 3};
  const std::vector<uint8_t> px(SHAPE_SHEET_BYTES, 5);
  std::unique_ptr<uint8_t[]> bytes;
  int32_t length = 0;
  BitmapInfo info;
  std::FILE *bmp = std::fopen((dir / "sheet.bmp").c_str(), "rb"), *png = std::tmpfile();
  uint8_t *palette = nullptr, *target = nullptr;
  const auto read_png = [&](std::FILE* f, uint32_t rows = 256) {
    std::fseek(f, bitmap::PNG_SIGNATURE_SIZE, SEEK_SET);
    return bitmap::read_png(f, "p.png", 256, rows, &target);
  };
  const char *d88_oom = "\nmemory exhaust!\n", *bmp_oom = "\nerror: memory exhaust!\n";  // a refusal's whole line
  const struct { std::function<int()> op; int refused, done; const char* line; } ops[] = {
      {[&] {
         const int disks = read_d88_image_from_file(&loaded.image, game.c_str());
         return disks * 10 + (loaded.image.first != nullptr);
       }, -10, 21, d88_oom},
      {[&] {
         DiskImage* image = create_d88_image();
         Disk* disk = image ? create_d88_disk("BLANK", 9) : nullptr;
         const bool made = disk && create_d88_custom_sectors(0, 0, records, size_codes, 3, 0);
         return free_d88_disk(disk, 1), free_d88_image(image, 1), made ? 0 : -1;
       }, -1, 0, d88_oom},
      {[&] { return write_d88_image_to_buffer(&written.image, &bytes, &length); }, -1, 0, d88_oom},
      {[&] { return std::rewind(bmp), read_bitmap(bmp, &info, &palette, &target, 0); }, -2, 0, bmp_oom},
      {[&] { return std::rewind(png), bitmap::write_png(png, 256, 256, 4, shape_palette, px.data()); }, -2, 0, bmp_oom},
      {[&] { return read_png(png); }, -2, 0, bmp_oom},
      {[&] { return convert_bit_count(256, 256, 4, shape_palette, px.data(), 24, nullptr, &target); }, -2, 0, bmp_oom}};
  for (const auto& o : ops) {
    const auto op = [&] {
      const int result = o.op();
      free_bitmap_buffer(std::exchange(palette, nullptr)), free_bitmap_buffer(std::exchange(target, nullptr));
      return free_d88_image(&loaded.image, 0), bytes.reset(), result;
    };
    walk(op, o.line, [&](bool refused, const Outcome& got) { EXPECT_EQ(got.first, refused ? o.refused : o.done); });
  }
  free_bitmap_buffer(target), std::fclose(bmp), std::fclose(png);
}
