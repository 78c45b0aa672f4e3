// ZqGetTemplate end to end on synthetic fingers at the driver's
// configuration (algorithm mode 1, SPA smoothing on, the keypoint settings
// of each sensor size).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "zq_finger_image.h"

namespace {

void BM_GetTemplate(benchmark::State &state) {
  const int cols = static_cast<int>(state.range(0)), rows = static_cast<int>(state.range(1));
  ZqAlgSettingsResetForTest();
  ZqSetSensorColRow(static_cast<int16_t>(cols), static_cast<int16_t>(rows));
  if (cols == 96 && rows == 96)
    ZqAlgInfoSet(10, 0.08f);
  else
    ZqAlgInfoSet(15, 0.02f);
  ZqMaxFeatNumSet(160);
  ZqSetAlgoMode(1);
  if (ZqInitAlgorithm() != 0) std::abort();
  ST_SubTemplate *s = ZqCreateTemp();
  const std::vector<uint8_t> finger = zq_test::FingerImage(rows, cols, 8);
  std::vector<uint8_t> img(finger.size());
  int32_t ret = 0;
  for (auto _ : state) {
    std::memcpy(img.data(), finger.data(), finger.size());
    ret = ZqGetTemplate(img.data(), s, nullptr);
    benchmark::DoNotOptimize(ret);
  }
  state.counters["keypoints"] = s->nFeatureNum[0] + s->nFeatureNum[1];
  if (ret != 0) state.SkipWithError("extraction failed");
  ZqReleaseTemp(s);
  ZqDestroyIntiAlg();
  ZqAlgSettingsResetForTest();
}
BENCHMARK(BM_GetTemplate)
    ->Args({96, 96})
    ->Args({80, 64})
    ->Args({80, 128})
    ->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
