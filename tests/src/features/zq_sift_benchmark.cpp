// Keypoint extraction on a 96 x 96 synthetic finger by the fast detector,
// beside the scale-space detector (gradient-histogram descriptors, the
// front end's usual parameters) on the same image.
#include <benchmark/benchmark.h>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/ZqSift.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using namespace scale_space_test;  // NOLINT

template <DetectorFn Fn>
void BM_Extract96(benchmark::State &state) {
  ZqAlgModeResetForTest();
  ImagePtr img = FingerImage(96, 96, 4);
  const ST_FeatExtractPara para = DefaultPara(img.get());
  uint32_t total = 0;
  for (auto _ : state) {
    ST_Feature *f1 = nullptr, *f2 = nullptr;
    uint32_t counts[2];
    benchmark::DoNotOptimize(Fn(&f1, &f2, counts, para));
    total = counts[0] + counts[1];
    ZqSafeFree(f1);
    ZqSafeFree(f2);
  }
  state.counters["keypoints"] = total;
  ZqAlgModeResetForTest();
}
BENCHMARK_TEMPLATE(BM_Extract96, ZqGetMfsFeatures_v2)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Extract96, ZqGetMfsFeatures)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
