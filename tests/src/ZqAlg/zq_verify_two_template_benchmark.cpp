// One rigid comparison of two 160-keypoint sub-templates with their bit
// images (genuine pair, recall on, at the driver's far level), by angle
// (radians x 100) and shared keypoints; and the same comparison of
// sub-templates the extraction made from presses of synthetic fingers at
// the driver's configuration (a genuine pair by shift and turn, and an
// impostor pair).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "zq_alg_state.h"
#include "zq_press_fixture.h"
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

// Detected keypoints: the template is press 0 of a finger at the sensor's
// centre; the sample is press 1 of the same finger shifted by range(0)
// pixels and turned by range(1) degrees, or (range(2) = 1) press 1 of
// another finger.
void BM_VerifyTwoTemplateDetected(benchmark::State &state) {
  zq_test::ResetAlgorithmState();
  ZqSetSensorColRow(96, 96);
  ZqSetAlgFarLevel(14);
  ZqSetUpdateTemplateFarLevel(16);
  ZqSetForeignBodyTest(1);
  ZqSetAlgMaxTplCnt(96);
  ZqSetFpEnrollMaxTplCnt(48);
  if (ZqInitAlgorithm() != 0) std::abort();
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  const double shift = static_cast<double>(state.range(0));
  const double turn = static_cast<double>(state.range(1)) * 3.14159265358979 / 180.0;
  const bool impostor = state.range(2) != 0;
  {
    const zq_test::Crop tpl = zq_test::Press(zq_test::PressMaster(7), 0, 0, 0);
    const zq_test::Crop smp =
        zq_test::Press(zq_test::PressMaster(impostor ? 8 : 7), 1, shift, -shift / 2, turn);
    if (!tpl.sample || !smp.sample) std::abort();
    ST_FullHMatrix H{};
    int score = 0;
    for (auto _ : state) {
      score = ZqVerifyTwoTemplate(smp.sample.get(), tpl.sample.get(), &H, 1, 0);
      benchmark::DoNotOptimize(score);
    }
    state.counters["score"] = score;
    state.counters["keypoints"] = smp.sample->nFeatureNum[0] + smp.sample->nFeatureNum[1];
    state.counters["tpl_keypoints"] = tpl.sample->nFeatureNum[0] + tpl.sample->nFeatureNum[1];
  }
  ZqDestroyIntiAlg();
  zq_test::ResetAlgorithmState();
}
BENCHMARK(BM_VerifyTwoTemplateDetected)
    ->Args({0, 0, 0})
    ->Args({12, 10, 0})
    ->Args({24, -20, 0})
    ->Args({0, 0, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
