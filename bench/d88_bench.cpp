// Reading and writing images of N blank disks (format 0, 348,848 bytes each)
// in memory, beside a plain copy of the same bytes. The per-disk time should
// not grow with N.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "d88/d88.h"

namespace {

// An image of n built disks and its bytes, made once per n.
struct Sample {
  DiskImage image;
  std::unique_ptr<uint8_t[]> bytes;
  int32_t length = 0;
  ~Sample() { free_d88_image(&image, 0); }
};

const Sample& sample(int n) {
  static std::map<int, std::unique_ptr<Sample>> samples;
  std::unique_ptr<Sample>& s = samples[n];
  if (s) return *s;
  s = std::make_unique<Sample>();
  Disk** link = &s->image.first;
  for (int i = 0; i < n; ++i) {
    *link = create_d88_disk("BENCH", 0);
    if (*link == nullptr) std::abort();
    link = &(*link)->next;
    ++s->image.count;
  }
  if (write_d88_image_to_buffer(&s->image, &s->bytes, &s->length) < 0) {
    std::abort();
  }
  return *s;
}

void report(benchmark::State& state, int n, int32_t length) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(length));
  state.counters["per_disk"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * n,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One untimed pass, so that memory the allocator keeps between passes is
// not counted as first touched in the timed ones. Whether it keeps it is the
// allocator's business: glibc's default gives large blocks back at once, and
// then every pass pays for fresh pages.
void read_once(const Sample& s) {
  DiskImage image;
  read_d88_image_from_buffer(&image, s.bytes.get(), s.length);
  free_d88_image(&image, 0);
}

void write_once(const Sample& s) {
  std::unique_ptr<uint8_t[]> out;
  int32_t length = 0;
  write_d88_image_to_buffer(&s.image, &out, &length);
}

void BM_Read(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Sample& s = sample(n);
  read_once(s);
  for (auto _ : state) {
    DiskImage image;
    if (read_d88_image_from_buffer(&image, s.bytes.get(), s.length) != n) {
      state.SkipWithError("read failed");
      break;
    }
    // Releasing the model is not part of reading it.
    state.PauseTiming();
    free_d88_image(&image, 0);
    state.ResumeTiming();
  }
  report(state, n, s.length);
}

void BM_Write(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Sample& s = sample(n);
  write_once(s);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out;
    int32_t length = 0;
    if (write_d88_image_to_buffer(&s.image, &out, &length) < 0) {
      state.SkipWithError("write failed");
      break;
    }
    benchmark::DoNotOptimize(out.get());
  }
  report(state, n, s.length);
}

void BM_Memcpy(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Sample& s = sample(n);
  auto out = std::make_unique<uint8_t[]>(static_cast<size_t>(s.length));
  for (auto _ : state) {
    std::memcpy(out.get(), s.bytes.get(), static_cast<size_t>(s.length));
    benchmark::ClobberMemory();
  }
  report(state, n, s.length);
}

// What op holds at its peak beyond what the process holds before and after
// it, in percent of bytes, measured in a child of its own where large blocks
// get mappings of their own, which go when they are freed.
int transient_percent(void (*op)(const Sample&, const char*), const Sample& s, const char* path) {
  const auto resident_kib = [] {
    long size = 0, pages = 0;
    std::ifstream("/proc/self/statm") >> size >> pages;
    return pages * (::sysconf(_SC_PAGESIZE) / 1024);
  };
  const pid_t child = ::fork();
  if (child == 0) {
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    const long before = resident_kib();
    op(s, path);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long held = std::max(before, resident_kib());
    ::_exit(static_cast<int>(std::clamp((usage.ru_maxrss - held) * 102400 / s.length, 0L, 255L)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

void save(const Sample& s, const char* path) { write_d88_image_to_file(&s.image, path); }

// The image read stays, as the child ends right after: only what the load
// held beyond it counts.
void load(const Sample&, const char* path) {
  static DiskImage image;
  read_d88_image_from_file(&image, path);
}

// The memory a save and a load of n disks hold beyond the image, in percent
// of the image: one disk of twenty is 5%, a second copy of the image 100%.
void BM_SaveLoadMemory(benchmark::State& state) {
  const Sample& s = sample(static_cast<int>(state.range(0)));
  char path[] = "/tmp/d88_bench.XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  ::close(fd);
  save(s, path);
  int saving = 0, loading = 0;
  for (auto _ : state) {
    saving = transient_percent(save, s, path);
    loading = transient_percent(load, s, path);
  }
  ::unlink(path);
  state.counters["save_percent"] = saving;
  state.counters["load_percent"] = loading;
}

}  // namespace

BENCHMARK(BM_SaveLoadMemory)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
