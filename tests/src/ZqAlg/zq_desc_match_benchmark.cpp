// Descriptor matching of two 160-keypoint sub-templates of one synthetic
// finger (112 shared keypoints, 48 on each side alone): the best/second
// tables and the pair selection, then the affine search on the pairs.
#include <benchmark/benchmark.h>

#include <vector>

#include "src/ZqAlg/ZqCalcHMat.h"
#include "src/ZqAlg/ZqDescMatch.h"
#include "zq_synth_keypoints.h"

namespace {

const zq_test::SynthPair &Pair160() {
  static const auto pair = [] {
    zq_test::SynthPairParams p;
    p.trueCount = 112;
    p.sampleOutliers = 48;
    p.tplOutliers = 48;
    return zq_test::MakeSynthPair(p);
  }();
  return *pair;
}

void BM_DescriptorMatching_160x160(benchmark::State &state) {
  const zq_test::SynthPair &p = Pair160();
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2], count = 0;
  ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS];
  uint16_t n = 0;
  if (ZqCalcHanmDistanceLanesForTest(static_cast<int32_t>(state.range(0))) == 0) {
    state.SkipWithError("the processor lacks this scan");
    return;
  }
  for (auto _ : state) {
    ZqCalcHanmDistance(&p.sample, &p.tpl, sims, idx, &count);
    ZqGetMatchPairs(&p.sample, &p.tpl, sims, idx, count, pairs, &n);
    benchmark::DoNotOptimize(pairs);
    benchmark::ClobberMemory();
  }
  state.counters["pairs"] = n;
  ZqCalcHanmDistanceLanesForTest(0);
}
BENCHMARK(BM_DescriptorMatching_160x160)->Arg(1)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_CalcHMat_Pairs160(benchmark::State &state) {
  const zq_test::SynthPair &p = Pair160();
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2], count = 0;
  ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS];
  uint16_t n = 0;
  ZqCalcHanmDistance(&p.sample, &p.tpl, sims, idx, &count);
  ZqGetMatchPairs(&p.sample, &p.tpl, sims, idx, count, pairs, &n);
  std::vector<ST_MatchPoint> A(n), B(n);
  for (int i = 0; i < n; ++i) {
    const ST_Feature &s = p.sampleFeat[pairs[i].sampleIdx];
    const ST_Feature &t = p.tplFeat[pairs[i].templateIdx];
    A[i] = {s.x, s.y, s.ori, 0, 0};
    B[i] = {t.x, t.y, t.ori, 0, 0};
  }
  ST_HMatrix h;
  uint8_t flags[ZQ_HMAT_MAX_PAIRS];
  int16_t inliers = 0;
  for (auto _ : state) {
    ZqCalcHMat(A.data(), B.data(), n, &h, flags, &inliers);
    benchmark::DoNotOptimize(h);
  }
  state.counters["inliers"] = inliers;
}
BENCHMARK(BM_CalcHMat_Pairs160)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
