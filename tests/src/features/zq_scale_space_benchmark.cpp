// Keypoint extraction by the scale-space detectors on synthetic fingers of
// the sensor sizes, whole and stage by stage (each stage benchmark runs the
// stages before it too, so the shares are the differences).
#include <benchmark/benchmark.h>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqKeypointDescr.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/ZqScaleSpace.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using namespace scale_space_test;  // NOLINT

// Sizes as rows, cols.
void Sizes(benchmark::internal::Benchmark *b) {
  b->Args({96, 96})->Args({80, 64})->Args({128, 80});
}

template <DetectorFn Fn>
void BM_Extract(benchmark::State &state) {
  ZqAlgModeResetForTest();
  ImagePtr img = FingerImage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 4);
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
}
BENCHMARK_TEMPLATE(BM_Extract, ZqGetMfbFeatures)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Extract, ZqGetMfsFeatures)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

// The stages up to `last`: 0 base image, 1 Gaussian pyramid, 2 difference
// pyramid, 3 extrema scan (with sort and scales).
void BM_StagesUpTo(benchmark::State &state) {
  ZqAlgModeResetForTest();
  const int last = static_cast<int>(state.range(0));
  ImagePtr img = FingerImage(96, 96, 4);
  for (auto _ : state) {
    ST_Image *base = ZqCreateInitImg(img.get(), 1);
    ST_Image ***gauss = last >= 1 ? ZqBuildGaussPyr(base, 2, 3) : nullptr;
    ST_Image ***dog = last >= 2 ? ZqBuildDogPyr(gauss, 2, 3) : nullptr;
    if (last >= 3) {
      ST_MemStorage *storage = ZqCreateMemStorage(0);
      ST_Seq *seq = nullptr;
      ZqScaleSpaceExtrema(dog, 2, 3, 15, &seq, storage, 0.02f);
      ZqSeqSort(seq, ZqFeatureCmp, nullptr);
      ZqCalcFeatureScales(seq, 3, 1.6f);
      ZqFreeSeqFeatureData(seq);
      ZqReleaseMemStorage(&storage);
    }
    if (dog != nullptr) ZqReleasePyr(&dog, 2, 6);
    if (gauss != nullptr) ZqReleasePyr(&gauss, 2, 6);
    ZqReleaseImage(&base);
  }
}
BENCHMARK(BM_StagesUpTo)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The gradient histograms of the keypoints of a 96 x 96 finger (with their
// orientations, the gradient cache already filled): argument 0 one sample
// at a time, 1 eight columns at a time where available.
void BM_DescrHist(benchmark::State &state) {
  ZqAlgModeResetForTest();
  gAlgMode.imageMode = 4;
  ImagePtr img = FingerImage(96, 96, 4);
  ST_Image *base = ZqCreateInitImg(img.get(), 1);
  ST_Image ***gauss = ZqBuildGaussPyr(base, 2, 3);
  ST_Image ***dog = ZqBuildDogPyr(gauss, 2, 3);
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ST_MemStorage *copyStorage = ZqCreateMemStorage(0);
  ST_Seq *seq = nullptr;
  ZqScaleSpaceExtrema(dog, 2, 3, 15, &seq, storage, 0.02f);
  ZqSeqSort(seq, ZqFeatureCmp, nullptr);
  ZqCalcFeatureScales(seq, 3, 1.6f);
  ZqAdjustForImgDbl(seq);
  ZqClearDogPyr(dog, 2, 3);
  ST_Seq *copies = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), copyStorage);
  ZqCalcMfsFeatureOris(seq, copies, gauss, dog);
  ZqDescrVectorForTest(static_cast<int32_t>(state.range(0)));
  float hist[128];
  for (auto _ : state) {
    for (int32_t k = 0; k < seq->total; ++k) {
      ZqDescrHistForTest(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(seq, k)), gauss, dog,
                         hist);
      benchmark::DoNotOptimize(hist);
    }
  }
  ZqDescrVectorForTest(1);
  state.counters["keypoints"] = seq->total;
  ZqFreeSeqFeatureData(seq);
  ZqFreeSeqFeatureData(copies);
  ZqReleaseMemStorage(&storage);
  ZqReleaseMemStorage(&copyStorage);
  ZqReleasePyr(&dog, 2, 6);
  ZqReleasePyr(&gauss, 2, 6);
  ZqReleaseImage(&base);
}
BENCHMARK(BM_DescrHist)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
