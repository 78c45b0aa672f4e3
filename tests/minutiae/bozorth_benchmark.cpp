// Bozorth3 comparisons of 40- and 100-minutia prints: a moved and jittered copy (a
// genuine comparison) and an unrelated print (an impostor one).
#include <benchmark/benchmark.h>

#include <vector>

#include "fingers/rng.h"
#include "minutiae/bozorth.h"
#include "xyt_prints.h"

namespace {

using minutiae_test::MakeRecord;
using minutiae_test::SpreadPoints;
using minutiae_test::XytPoint;

std::vector<XytPoint> Jittered(std::vector<XytPoint> points, uint64_t seed) {
  fingers::Rng rng(seed);
  for (XytPoint &p : points) {
    p.x += static_cast<int>(rng.Below(5)) - 2 + 12;
    p.y += static_cast<int>(rng.Below(5)) - 2 - 7;
    p.theta = minutiae_test::WrapDegrees(p.theta + static_cast<int>(rng.Below(13)) - 6);
  }
  return points;
}

void BM_Compare(benchmark::State &state, bool genuine) {
  const int count = static_cast<int>(state.range(0));
  std::vector<xyt_record> probes, galleries;
  for (uint64_t seed = 1; seed <= 16; seed++) {
    const std::vector<XytPoint> pts = SpreadPoints(seed, count);
    probes.push_back(MakeRecord(pts));
    galleries.push_back(genuine ? MakeRecord(Jittered(pts, seed))
                                : MakeRecord(SpreadPoints(seed + 100, count)));
  }
  size_t i = 0;
  long total = 0;
  for (auto _ : state) {
    const xyt_record &p = probes[i % probes.size()];
    const xyt_record &g = galleries[i % galleries.size()];
    const int score = bz_score_gallery(bz_prepare_probe(&p), &p, &g);
    benchmark::DoNotOptimize(score);
    total += score;
    i++;
  }
  state.counters["comparisons/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["mean score"] =
      static_cast<double>(total) / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(BM_Compare, genuine, true)->Arg(40)->Arg(100);
BENCHMARK_CAPTURE(BM_Compare, impostor, false)->Arg(40)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
