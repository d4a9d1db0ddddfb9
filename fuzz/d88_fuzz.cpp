// Fuzzes the D88 reader, and for every file it accepts checks that the
// writer's layout reads back into the same model and lays out again into the
// very same bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "d88/d88.h"
#include "fuzz/model_equal.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "d88_fuzz: %s %s\n", what, detail.c_str());
  std::abort();
}

struct Image : DiskImage {
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { free_d88_image(this, 0); }
};

void check_counts(const DiskImage& image) {
  for (const Disk* d = image.first; d != nullptr; d = d->next) {
    for (const Track& t : d->tracks) {
      for (int32_t i = 0; t.sectors && i < t.count; ++i) {
        if (t.sectors[i].sector_count != static_cast<uint16_t>(t.count)) {
          fail("sector count not normalised");
        }
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The library reports on standard output; the fuzzer's own report goes to
  // standard error and stays visible.
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  Image first;
  const int disks =
      read_d88_image_from_buffer(&first, data, static_cast<int32_t>(size));
  if (disks < 0) {
    if (first.count != 0 || first.first != nullptr) fail("failed read kept disks");
    return 0;
  }
  if (disks != first.count) fail("result differs from count");
  if (disks == 0) return 0;

  std::unique_ptr<uint8_t[]> bytes;
  int32_t length = 0;
  if (write_d88_image_to_buffer(&first, &bytes, &length) < 0) fail("write");
  Image second;
  if (read_d88_image_from_buffer(&second, bytes.get(), length) != disks) {
    fail("written image does not read back");
  }
  const std::string difference = d88_difference(first, second);
  if (!difference.empty()) fail("models differ:", difference);
  check_counts(second);

  std::unique_ptr<uint8_t[]> again;
  int32_t again_length = 0;
  if (write_d88_image_to_buffer(&second, &again, &again_length) < 0) {
    fail("second write");
  }
  if (again_length != length ||
      std::memcmp(bytes.get(), again.get(), static_cast<size_t>(length)) != 0) {
    fail("layout not stable");
  }
  return 0;
}
