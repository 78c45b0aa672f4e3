// Speed of the generator: one master, one impression, and the batch the
// emulated-sensor suites draw (1000 impressions at 96x96 from prepared
// masters, which must stay under 10 s on one core).
#include <benchmark/benchmark.h>

#include <vector>

#include "fingers/synth_fingers.h"

namespace {

void BM_MakeMaster(benchmark::State &state) {
  int finger = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fingers::MakeMaster(fingers::PopulationFinger(1, finger++)));
  }
}
BENCHMARK(BM_MakeMaster)->Unit(benchmark::kMillisecond);

void BM_RenderImpression96(benchmark::State &state) {
  const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(1, 3));
  int press = 0;
  for (auto _ : state) {
    const fingers::ImpressionParams p =
        fingers::RandomImpression(m, fingers::PressSeed(m, press++), {96, 96});
    benchmark::DoNotOptimize(fingers::Render(m, p));
  }
}
BENCHMARK(BM_RenderImpression96)->Unit(benchmark::kMicrosecond);

void BM_Render1000Impressions96(benchmark::State &state) {
  std::vector<fingers::MasterFinger> masters;
  for (int f = 0; f < 10; ++f) masters.push_back(fingers::MakeMaster(fingers::PopulationFinger(1, f)));
  for (auto _ : state) {
    for (int k = 0; k < 1000; ++k) {
      const fingers::MasterFinger &m = masters[k % masters.size()];
      const fingers::ImpressionParams p =
          fingers::RandomImpression(m, fingers::PressSeed(m, k), {96, 96});
      benchmark::DoNotOptimize(fingers::Render(m, p));
    }
  }
}
BENCHMARK(BM_Render1000Impressions96)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
