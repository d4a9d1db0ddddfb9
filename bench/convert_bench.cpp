// Direct-colour sources search the whole target palette for every pixel, so
// this is the slowest path tilepatch can take on its bitmap: a 24-bit
// picture matched against 16 colours.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"

namespace {

constexpr int32_t kWidth = 256;
constexpr int32_t kHeight = 4096;

void BM_Convert24To4(benchmark::State& state) {
  std::vector<uint8_t> palette(16 * 4);
  for (int i = 0; i < 16; ++i) {
    palette[4 * i + 0] = static_cast<uint8_t>(i & 1 ? 255 : 0);
    palette[4 * i + 1] = static_cast<uint8_t>(i & 4 ? 255 : 0);
    palette[4 * i + 2] = static_cast<uint8_t>(i & 2 ? 255 : 0);
    if (i >= 8) palette[4 * i + 0] = palette[4 * i + 1] = 128;
  }
  std::vector<uint8_t> source(static_cast<std::size_t>(kWidth) * kHeight * 3);
  uint32_t seed = 12345;
  for (auto& byte : source) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(seed >> 16);
  }
  std::vector<uint8_t> target(static_cast<std::size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    uint8_t* place = target.data();
    const int result = convert_bit_count(kWidth, kHeight, 24, nullptr,
                                         source.data(), 4, palette.data(),
                                         &place);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_Convert24To4)->Unit(benchmark::kMillisecond);

}  // namespace
