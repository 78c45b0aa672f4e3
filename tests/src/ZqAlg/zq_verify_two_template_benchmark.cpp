// One rigid comparison of two 160-keypoint sub-templates with their bit
// images (genuine pair, recall on, at the driver's far level), by angle
// (radians x 100) and shared keypoints.
#include <benchmark/benchmark.h>

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "zq_synth_keypoints.h"

namespace {

void BM_VerifyTwoTemplate160(benchmark::State &state) {
  ZqAlgSettingsResetForTest();
  ZqSetAlgFarLevel(14);
  ZqSetForeignBodyTest(1);
  zq_test::SynthPairParams p;
  p.seed = 5;
  // range(1) of the 160 keypoints on each side are seen on both.
  p.trueCount = static_cast<int>(state.range(1));
  p.sampleOutliers = 160 - p.trueCount;
  p.tplOutliers = 160 - p.trueCount;
  p.images = true;
  p.angle = static_cast<float>(state.range(0)) / 100.0f;
  auto pair = zq_test::MakeSynthPair(p);
  ST_FullHMatrix H{};
  int score = 0;
  for (auto _ : state) {
    score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
    benchmark::DoNotOptimize(score);
  }
  state.counters["score"] = score;
  ZqAlgSettingsResetForTest();
}
BENCHMARK(BM_VerifyTwoTemplate160)
    ->Args({25, 80})
    ->Args({-10, 80})
    ->Args({25, 40})
    ->Args({25, 20})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
