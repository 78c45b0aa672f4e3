// Accuracy of minutiae matching (detector and Bozorth3) on a seeded corpus
// of synthetic fingers: every impression of every finger compared with every
// other, genuine and impostor score figures and the error rates at the
// VFS0050 driver's threshold. The timed loop is one comparison; the figures
// go to the counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "fingers/synth_fingers.h"
#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"
#include "xyt_prints.h"

namespace {

using minutiae_test::MakeRecord;
using minutiae_test::XytPoint;

constexpr int kFingers = 6;
constexpr int kPresses = 4;
constexpr int kThreshold = 24;

xyt_record Detect(const fingers::Frame &frame) {
  lfs_minutiae *minutiae = nullptr;
  int *maps[5] = {};
  int mw = 0, mh = 0, bw = 0, bh = 0, bd = 0;
  unsigned char *binary = nullptr;
  if (get_minutiae(&minutiae, &maps[0], &maps[1], &maps[2], &maps[3], &maps[4], &mw, &mh,
                   &binary, &bw, &bh, &bd, frame.gray.data(), frame.width, frame.height, 8,
                   19.68503937007874, &lfs_params_V2) != 0)
    return MakeRecord({});
  std::vector<XytPoint> points;
  for (int i = 0; i < minutiae->count; i++) {
    int x, y, theta;
    lfs_minutia_to_xyt(&x, &y, &theta, minutiae->list[i], frame.width, frame.height);
    points.push_back({x, y, theta > 180 ? theta - 360 : theta});
  }
  for (int *map : maps) std::free(map);
  std::free(binary);
  release_minutiae(minutiae);
  return MakeRecord(points);
}

int Score(const xyt_record &probe, const xyt_record &gallery) {
  return bz_score_gallery(bz_prepare_probe(&probe), &probe, &gallery);
}

void BM_MinutiaeAccuracy(benchmark::State &state) {
  const fingers::SensorSize size{static_cast<int>(state.range(0)),
                                 static_cast<int>(state.range(1))};
  std::vector<xyt_record> prints;
  std::vector<int> owner;
  for (int f = 0; f < kFingers; f++) {
    const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(1, f));
    for (int p = 0; p < kPresses; p++) {
      const fingers::ImpressionParams params =
          fingers::RandomImpression(master, fingers::PressSeed(master, p), size);
      prints.push_back(Detect(fingers::Render(master, params).frame));
      owner.push_back(f);
    }
  }
  std::vector<int> genuine, impostor;
  for (size_t i = 0; i < prints.size(); i++) {
    for (size_t j = 0; j < prints.size(); j++) {
      if (i == j) continue;
      (owner[i] == owner[j] ? genuine : impostor).push_back(Score(prints[i], prints[j]));
    }
  }
  size_t k = 0;
  for (auto _ : state) {
    const size_t i = k % prints.size(), j = (k + 1) % prints.size();
    benchmark::DoNotOptimize(Score(prints[i], prints[j]));
    k++;
  }
  auto median = [](std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : static_cast<double>(v[v.size() / 2]);
  };
  auto share = [](const std::vector<int> &v, bool below) {
    const auto n = std::count_if(v.begin(), v.end(),
                                 [&](int s) { return below ? s < kThreshold : s >= kThreshold; });
    return v.empty() ? 0.0 : static_cast<double>(n) / static_cast<double>(v.size());
  };
  double minutiae = 0;
  for (const xyt_record &r : prints) minutiae += r.count;
  state.counters["minutiae"] = minutiae / static_cast<double>(prints.size());
  state.counters["genuine median"] = median(genuine);
  state.counters["impostor median"] = median(impostor);
  state.counters["impostor max"] =
      impostor.empty() ? 0 : *std::max_element(impostor.begin(), impostor.end());
  state.counters["FNMR@24"] = share(genuine, true);
  state.counters["FMR@24"] = share(impostor, false);
}

BENCHMARK(BM_MinutiaeAccuracy)->Args({256, 360})->Args({128, 128})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
