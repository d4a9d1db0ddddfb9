#include "faults/fault_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "bitmap/bitmap.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "samples/sample_disk.h"
#include "shapes/shapes.h"
#include "faults/fault_alloc.h"
#include "support/run_program.h"

int capture_stdout(const std::function<int()>& fn, std::string* out) {
  std::fflush(stdout);
  std::FILE* file = std::tmpfile();
  const int saved = ::dup(1);
  ::dup2(::fileno(file), 1);
  const int result = fn();
  std::fflush(stdout);
  ::dup2(saved, 1);
  ::close(saved);
  out->assign(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  out->resize(std::fread(out->data(), 1, out->size(), file));
  std::fclose(file);
  return result;
}

long walk_allocations(const std::function<int()>& op,
                      const std::function<void(const Attempt&)>& check) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
    Attempt a;
    long left = 0;
    capture_stdout(
        [&] {
          const long live = live_new_blocks();
          fail_nth_allocation(n);
          a.result = op();
          a.refused = armed_allocation_failed();
          fail_nth_allocation(0);
          left = live_new_blocks() - live;
          return 0;
        },
        &a.out);
    EXPECT_EQ(left, 0) << "blocks left behind";
    check(a);
    if (!a.refused || testing::Test::HasFailure()) return n - 1;
  }
}

int run_with_file_limit(const std::function<int()>& fn, std::string* out) {
  return capture_stdout(
      [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
          ::signal(SIGXFSZ, SIG_IGN);
          const rlimit small = {10000, 10000};
          ::setrlimit(RLIMIT_FSIZE, &small);
          const int status = fn();
          std::fflush(stdout);
          ::_exit(status & 0xFF);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      },
      out);
}

std::string shape_disk_image() {
  ScopedDiskImage holder;
  Disk** tail = &holder.image.first;
  for (uint32_t d = 0; d < 2; ++d) {
    Disk* disk = create_d88_disk("SHAPES", 0);
    for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
      if (slot < 0x1C * 2 || slot > 0x22 * 2 + 1) disk->tracks[slot] = Track{};
    }
    fill_pseudo_random(disk, 0x2545F491u + d);
    *tail = disk;
    tail = &disk->next;
    ++holder.image.count;
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  if (write_d88_image_to_buffer(&holder.image, &buffer, &length) != 0) return "";
  return std::string(buffer.get(), buffer.get() + length);
}

void write_shapes_bitmap(const std::string& path, int bit_count) {
  BitmapInfo info;
  std::vector<uint8_t> palette(1024, 0), pixels(SHAPE_SHEET_BYTES * 3, 0);
  std::memcpy(palette.data(), shape_palette, 64);
  common::FilePtr file = common::open_file(path.c_str(), "wb");
  ASSERT_EQ(create_bitmap_header(&info, 256, 256, static_cast<uint16_t>(bit_count)), 0);
  ASSERT_EQ(write_bitmap(file.get(), &info, palette.data(), pixels.data()), 0);
}

void check_program_faults(int (*main_fn)(int, char**), std::vector<std::string> args,
                          const std::string& dir, const std::string& output,
                          const std::string& write_error) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(args.size());
  write_file(output, "old");
  const std::vector<std::string> before = list_dir(dir);
  const long points = walk_allocations(
      [&] { return main_fn(argc, argv.data()); },
      [&](const Attempt& a) {
        EXPECT_EQ(list_dir(dir), before);
        EXPECT_EQ(a.result, a.refused ? 1 : 0) << a.out;
        if (!a.refused) return;
        EXPECT_NE(a.out.find("memory exhaust"), std::string::npos) << a.out;
        EXPECT_EQ(read_file(output), "old");
      });
  EXPECT_GE(points, 480);
  EXPECT_NE(read_file(output), "old");

  write_file(output, "old");
  std::string out;
  EXPECT_EQ(run_with_file_limit([&] { return main_fn(argc, argv.data()); }, &out), 1);
  EXPECT_NE(out.find(write_error + "\n"), std::string::npos) << out;
  EXPECT_EQ(read_file(output), "old");
  EXPECT_EQ(list_dir(dir), before);
}
