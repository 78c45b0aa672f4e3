// One identification against five fingers of 48 sub-templates each, at the
// driver's configuration: a genuine press of the last finger in the search
// order (arg 1) and a press of a master never enrolled (arg 0), which
// visits every candidate.
#include <benchmark/benchmark.h>

#include <vector>

#include "src/FpSensorLib/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "zq_alg_state.h"
#include "zq_press_fixture.h"

namespace {

constexpr int kFingers = 5;
constexpr int kPerFinger = 48;

void BM_VerifyByTemplate5x48(benchmark::State &state) {
  zq_test::ResetAlgorithmState();
  ZqVerifyByTemplateResetForTest();
  ZqSetSensorColRow(96, 96);
  ZqSetAlgFarLevel(14);
  ZqSetUpdateTemplateFarLevel(16);
  ZqSetForeignBodyTest(1);
  ZqSetAlgMaxTplCnt(96);
  ZqSetFpEnrollMaxTplCnt(48);
  if (ZqInitAlgorithm() != 0) {
    state.SkipWithError("ZqInitAlgorithm failed");
    return;
  }
  for (int f = 0; f < kFingers; ++f) {
    const fingers::MasterFinger m = zq_test::PressMaster(f);
    ST_QuorvEnrollTemplate &t = *gEnrolledTemplate[f];
    for (int i = 0; i < kPerFinger; ++i) {
      // A 7 x 7 grid of presses 8 px apart, turned a little either way.
      const zq_test::Crop c =
          zq_test::Press(m, i, 8.0 * (i % 7 - 3), 8.0 * (i / 7 - 3), 0.04 * (i % 5 - 2));
      ZqSubTemplateCopy(&t.subtemplates[i], c.sample.get());
      t.subtemplates[i].rootIndex = static_cast<uint16_t>(i);
    }
    t.currentSubtemplatesNum = kPerFinger;
    ZqSetTplValidFlag(static_cast<uint16_t>(f));
  }
  const bool genuine = state.range(0) == 1;
  const zq_test::Crop probe =
      genuine ? zq_test::Press(zq_test::PressMaster(kFingers - 1), 60, 6, -9, 0.1)
              : zq_test::Press(zq_test::PressMaster(30), 1, 0, 0);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  uint16_t fid = 0;
  int16_t upd = 0;
  ST_FullHMatrix H{};
  int ret = 0;
  for (auto _ : state) {
    ZqResetMatchPriority(gQuorvMatchPriority);  // the same search every time
    ret = ZqVerifyByTemplate(probe.sample.get(), &fid, &upd, &H, 0);
    benchmark::DoNotOptimize(ret);
  }
  state.counters["ret"] = ret;
  state.counters["fid"] = fid;
  state.counters["score"] = gVerifyScores;
  ZqDestroyIntiAlg();
  ZqVerifyByTemplateResetForTest();
  zq_test::ResetAlgorithmState();
}
BENCHMARK(BM_VerifyByTemplate5x48)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
