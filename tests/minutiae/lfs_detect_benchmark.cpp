// Speed of one detection on a 256 x 360 synthetic finger (goal: at most
// 30 ms on one core).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "fingers/synth_fingers.h"
#include "minutiae/lfs.h"

namespace {

std::vector<unsigned char> FingerImage(const fingers::MasterFinger &m) {
  std::vector<unsigned char> img(m.ridge.size());
  for (size_t i = 0; i < m.ridge.size(); ++i) {
    const double on = m.footprint[i];
    const double grey = 127.0 - 100.0 * m.ridge[i];
    img[i] = static_cast<unsigned char>(std::lround(on * grey + (1.0 - on) * 215.0));
  }
  return img;
}

void BM_GetMinutiae256x360(benchmark::State &state) {
  fingers::MasterParams p = fingers::PopulationFinger(11, 3);
  p.width = 256;
  p.height = 360;
  const fingers::MasterFinger m = fingers::MakeMaster(p);
  const std::vector<unsigned char> img = FingerImage(m);
  int count = 0;
  for (auto _ : state) {
    lfs_minutiae *list = nullptr;
    int *q, *d, *lc, *lf, *hc, mw, mh, bw, bh, bd;
    unsigned char *b;
    if (get_minutiae(&list, &q, &d, &lc, &lf, &hc, &mw, &mh, &b, &bw, &bh, &bd, img.data(), 256,
                     360, 8, 19.68503937007874, &lfs_params_V2) != 0) {
      state.SkipWithError("detection failed");
      break;
    }
    count = list->count;
    release_minutiae(list);
    for (int *map : {q, d, lc, lf, hc}) std::free(map);
    std::free(b);
  }
  state.counters["minutiae"] = count;
}
BENCHMARK(BM_GetMinutiae256x360)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
