// The live 16-bit enhancement chain (f4851_image_enhance) on a 96 x 96
// synthetic press, with its half-size texture repair alone beside it.
// The time column is the time per frame; frames_per_s is its inverse.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqImageEnhance16u.h"
#include "src/enhance/ZqTextureRepair.h"

namespace {

constexpr int kSide = 96;

const std::vector<uint8_t> &Frame() {
  static const std::vector<uint8_t> frame = [] {
    const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(29, 1));
    fingers::ImpressionParams p;
    p.width = kSide;
    p.height = kSide;
    p.sensor.noise = 20;
    return fingers::Render(master, p).frame.gray;
  }();
  return frame;
}

void PerFrame(benchmark::State &state) {
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_f4851_image_enhance_96x96(benchmark::State &state) {
  std::vector<uint8_t> img;
  for (auto _ : state) {
    img = Frame();
    benchmark::DoNotOptimize(f4851_image_enhance(img.data(), kSide, kSide));
    benchmark::ClobberMemory();
  }
  PerFrame(state);
}
BENCHMARK(BM_f4851_image_enhance_96x96)->Unit(benchmark::kMicrosecond);

void BM_ZqTextureRepair_v2_48x48(benchmark::State &state) {
  const int side = kSide / 2;
  std::vector<uint16_t> data(side * side), out(side * side);
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) data[r * side + c] = Frame()[2 * r * kSide + 2 * c];
  for (auto _ : state) {
    benchmark::DoNotOptimize(ZqTextureRepair_v2(data.data(), data.data(), side, side, 7, out.data()));
    benchmark::ClobberMemory();
  }
  PerFrame(state);
}
BENCHMARK(BM_ZqTextureRepair_v2_48x48)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
