#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <utility>

#include "model_equal.h"
#include "test_util.h"
#include "support/run_program.h"

static Bytes written(const DiskImage& image) {
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (write_d88_image_to_buffer(&image, &buffer, &length) < 0) return {};
  return Bytes(buffer.get(), buffer.get() + length);
}

TEST(Writer, LaysOutPlainBytesAndKeepsTheModel) {
  const Bytes plain = plain_disk();
  // In a short header these bytes stand where slots 160 to 163 would be.
  const Bytes at672 = with(track_bytes(0, 0, 1), 0, 0xDEADBEEF);
  const Bytes t0 = track_bytes(0, 0, 1, 128), t1 = track_bytes(1, 0, 3, 0);
  const Bytes sparse = raw_disk("S", 688, {{4, t1}, {163, track_bytes(81, 1, 2, 128)}});
  const struct {
    Bytes input, expected;
  } rows[] = {
      {raw_disk("S", 672, {{0, at672}}), raw_disk("S", 688, {{0, at672}})},
      {raw_disk("D", 688, {{1, t1}, {-1, Bytes(40, 7)}, {2, Bytes(16)}, {0, t0}}),
       raw_disk("D", 688, {{0, t0}, {1, t1}})},
      {with(plain, 0x5E0 + 4, 0x1234, 2) + Bytes(300, 1), plain},
      {plain + sparse, plain + sparse},
  };
  for (const auto& row : rows) {
    OwnedImage image, again;
    captured([&] { ASSERT_GT(read_bytes(&image, row.input), 0); });
    EXPECT_EQ(written(image), row.expected);
    ASSERT_GT(read_bytes(&again, written(image)), 0);
    EXPECT_EQ(d88_difference(image, again), "");
  }
}

TEST(Writer, FilesAndFailuresThatLeaveTheTargetAsItWas) {
  TempDir dir;
  OwnedImage image;
  for (int format : {1, 9, 0}) {
    Disk* disk = create_d88_disk("T", format);
    disk->next = std::exchange(image.first, disk);
    ++image.count;
  }
  const std::string all = dir / "all", second = dir / "second", keep = dir / "keep";
  ASSERT_EQ(write_d88_image_to_file(&image, all.c_str()), 0);
  OwnedImage back;
  ASSERT_EQ(read_d88_image_from_file(&back, all.c_str()), 3);
  EXPECT_EQ(d88_difference(image, back), "");
  ASSERT_EQ(write_d88_disk_to_file(image.first->next, second.c_str()), 0);
  EXPECT_EQ(read_file(second).size(), 1089776u);
  // A record without data is zeros in the file, not what the disk before
  // left in the writer's buffer.
  image.first->next->tracks[0].sectors[0].data.reset();
  ASSERT_EQ(write_d88_image_to_file(&image, all.c_str()), 0);
  const Bytes laid_out = written(image);
  EXPECT_EQ(read_file(all), std::string(laid_out.begin(), laid_out.end()));

  write_file(keep, "old");
  uint8_t place[688], *end;
  Sector& first = image.first->tracks[0].sectors[0];
  EXPECT_EQ(captured([&] {
              write_d88_image_to_file(&image, (dir / "no/such").c_str());
              write_d88_image_to_file(&image, "/dev/full");
              write_d88_image_to_file(&image, nullptr);
              write_d88_disk_to_file(nullptr, keep.c_str());
              write_d88_image_to_buffer(&image, nullptr, nullptr);
              write_d88_disk_to_buffer(image.first, place, nullptr, 688);
              write_d88_disk_to_buffer(image.first, place, &end, 100);
              first.size = -1;
              write_d88_disk_to_buffer(image.first, place, &end, 688);
              write_d88_image_to_file(&image, keep.c_str());
              first.size = 256;
            }),
            "open error '" + dir / "no/such" + "'\nwrite error '/dev/full'\n"
            "write_d88_image_to_file: illegal parameter\n"
            "write_d88_disk_to_file: illegal parameter\n"
            "write_d88_image_to_buffer: illegal parameter\n"
            "write_d88_disk_to_buffer: illegal parameter\n"
            "write d88 disk: buffer size error: 100 < 348848\n"
            "write_d88_disk_to_buffer: disk size out of range\n"
            "write_d88_image_to_buffer: image size out of range\n"
            "write image data error '" + keep + "'\n");
  // A file size limit (set in a child only) makes the write fail halfway.
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(write_d88_image_to_file(&image, keep.c_str()) == -1 ? 0 : 1);
  }
  int status = 1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_file(keep), "old");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"all", "keep", "second"}));
}

// What op holds at its peak beyond what the process holds before and after
// it, in percent of bytes (0 to 255), measured in a child of its own.
static int transient_percent(const std::function<void()>& op, long bytes) {
  const auto resident_kib = [] {
    long size = 0, pages = 0;
    std::ifstream("/proc/self/statm") >> size >> pages;
    return pages * (::sysconf(_SC_PAGESIZE) / 1024);
  };
  const pid_t child = ::fork();
  if (child == 0) {
    // Large blocks get mappings of their own, which go when they are freed;
    // by default the allocator would keep blocks as large as earlier ones
    // in its heap, still resident after op.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    const long before = resident_kib();
    op();
    const long held = std::max(before, resident_kib());
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    ::_exit(static_cast<int>(std::clamp((usage.ru_maxrss - held) * 102400 / bytes, 0L, 255L)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST(Writer, SavingAndLoadingHoldLittleMoreThanTheImage) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) {
    GTEST_SKIP() << "under valgrind, whose own heap makes resident sizes meaningless";
  }
  TempDir dir;
  const std::string path = dir / "many.d88";
  OwnedImage image, back;
  for (int i = 0; i < 20; ++i) {
    Disk* disk = create_d88_disk("MANY", 0);
    disk->next = std::exchange(image.first, disk);
    ++image.count;
  }
  ASSERT_EQ(write_d88_image_to_file(&image, path.c_str()), 0);
  // One disk is 5% of the image; a second copy of it would be 100%.
  const long bytes = get_d88_image_size(&image);
  EXPECT_LT(transient_percent([&] { write_d88_image_to_file(&image, path.c_str()); }, bytes), 25);
  EXPECT_LT(transient_percent([&] { read_d88_image_from_file(&back, path.c_str()); }, bytes), 25);
}
