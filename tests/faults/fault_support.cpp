#include "tests/faults/fault_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "bitmap/bitmap.h"
#include "samples/sample_disk.h"
#include "common/file_ptr.h"
#include "d88/d88.h"
#include "samples/sample_disk.h"
#include "shapes/shapes.h"
#include "tests/faults/fault_alloc.h"

StdoutCapture::StdoutCapture() : file_(std::tmpfile()) {}

StdoutCapture::~StdoutCapture() {
  if (saved_ >= 0) end();
  if (file_ != nullptr) std::fclose(file_);
}

void StdoutCapture::begin() {
  std::fflush(stdout);
  saved_ = ::dup(1);
  (void)!::ftruncate(::fileno(file_), 0);
  ::lseek(::fileno(file_), 0, SEEK_SET);
  ::dup2(::fileno(file_), 1);
}

std::string StdoutCapture::end() {
  std::fflush(stdout);
  ::dup2(saved_, 1);
  ::close(saved_);
  saved_ = -1;
  std::string text;
  char chunk[4096];
  off_t at = 0;
  for (ssize_t got; (got = ::pread(::fileno(file_), chunk, sizeof chunk, at)) > 0;
       at += got) {
    text.append(chunk, static_cast<size_t>(got));
  }
  return text;
}

long walk_allocations(const std::function<int()>& op,
                      const std::function<void(const Attempt&)>& check) {
  StdoutCapture capture;
  for (long n = 1;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
    Attempt attempt;
    attempt.n = n;
    const long live = live_new_blocks();
    capture.begin();
    fail_nth_allocation(n);
    attempt.result = op();
    attempt.refused = armed_allocation_failed();
    fail_nth_allocation(0);
    const long left = live_new_blocks() - live;
    attempt.out = capture.end();
    EXPECT_EQ(left, 0) << "blocks left behind";
    check(attempt);
    if (!attempt.refused || testing::Test::HasFatalFailure()) return n - 1;
  }
}

bool has_line(const std::string& out, const std::string& line) {
  return ("\n" + out).find("\n" + line + "\n") != std::string::npos;
}

bool ends_with(const std::string& out, const std::string& tail) {
  return out.size() >= tail.size() &&
         out.compare(out.size() - tail.size(), tail.size(), tail) == 0;
}

ChildResult run_with_file_limit(long limit, const std::function<int()>& fn) {
  ChildResult result;
  // A pipe, unlike a file, is not held to the limit.
  int ends[2];
  if (::pipe(ends) != 0) return result;
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ends[0]);
    ::dup2(ends[1], 1);
    ::close(ends[1]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, nullptr);
    struct rlimit small = {};
    small.rlim_cur = small.rlim_max = static_cast<rlim_t>(limit);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int status = fn();
    std::fflush(stdout);
    ::_exit(status & 0xFF);
  }
  ::close(ends[1]);
  char chunk[4096];
  for (ssize_t got; (got = ::read(ends[0], chunk, sizeof chunk)) > 0;) {
    result.out.append(chunk, static_cast<size_t>(got));
  }
  ::close(ends[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return result;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

pid_t feed_fifo(const std::string& path, const std::string& bytes) {
  if (::mkfifo(path.c_str(), 0600) != 0) return -1;
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_IGN);
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd >= 0) {
      (void)!::write(fd, bytes.data(), bytes.size());
      ::close(fd);
    }
    ::_exit(0);
  }
  return pid;
}

void finish_feeding(const std::string& path, pid_t child) {
  if (child <= 0) return;
  // A reader that never came would leave the child waiting in open().
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd >= 0) ::close(fd);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::unlink(path.c_str());
}

std::string shape_disk_image(int count) {
  DiskImage image;
  Disk** tail = &image.first;
  for (int d = 0; d < count; ++d) {
    Disk* disk = create_d88_disk("SHAPES", 0);
    if (disk == nullptr) break;
    // Only the tracks of the shape sectors stay, to keep the image small.
    for (int slot = 0; slot < D88_TRACK_MAX; ++slot) {
      if (slot < 0x1C * 2 || slot > 0x22 * 2 + 1) disk->tracks[slot] = Track{};
    }
    fill_pseudo_random(disk, 0x2545F491u + static_cast<uint32_t>(d));
    *tail = disk;
    tail = &disk->next;
    ++image.count;
  }
  std::unique_ptr<uint8_t[]> buffer;
  int32_t length = 0;
  std::string bytes;
  if (write_d88_image_to_buffer(&image, &buffer, &length) == 0) {
    bytes.assign(buffer.get(), buffer.get() + length);
  }
  free_d88_image(&image, 0);
  return bytes;
}

std::string shapes_bitmap_file(int bit_count) {
  std::vector<uint8_t> colours(SHAPE_SHEET_BYTES);
  for (int i = 0; i < SHAPE_SHEET_BYTES; ++i) {
    colours[static_cast<size_t>(i)] = static_cast<uint8_t>((i / 3 + i / 256) % 8);
  }
  uint8_t* pixels = nullptr;
  const uint8_t* palette = bit_count <= 8 ? shape_palette : nullptr;
  std::vector<uint8_t> wide_palette(1024, 0);
  if (bit_count == 8) {
    std::memcpy(wide_palette.data(), shape_palette, 64);
    palette = wide_palette.data();
  }
  std::string bytes;
  if (convert_bit_count(SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT, 4,
                        shape_palette, colours.data(), bit_count, palette,
                        &pixels) != 0) {
    return bytes;
  }
  BitmapInfo info;
  FilePtr file(std::tmpfile());
  if (create_bitmap_header(&info, SHAPE_SHEET_WIDTH, SHAPE_SHEET_HEIGHT,
                           static_cast<uint16_t>(bit_count)) == 0 &&
      write_bitmap(file.get(), &info, palette, pixels) == 0 &&
      std::fflush(file.get()) == 0) {
    std::rewind(file.get());
    for (int c; (c = std::fgetc(file.get())) != EOF;) {
      bytes.push_back(static_cast<char>(c));
    }
  }
  free_bitmap_buffer(pixels);
  return bytes;
}

std::vector<char*> argv_of(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}
