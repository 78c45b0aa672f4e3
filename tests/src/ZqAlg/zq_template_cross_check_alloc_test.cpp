// Cross-check under failing allocations: every failure point releases what
// was made, and a failure before any comparison reports -2 and keeps the reason.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateCrossCheck.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"

namespace {

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  const float c = std::cos(angle), s = std::sin(angle);
  return ST_FullHMatrix{c, -s, tx, s, c, ty, 0.0f, 0.0f, 1.0f, angle};
}

zq_test::SynthPairParams Params(uint64_t seed, int finger) {
  zq_test::SynthPairParams p;
  p.seed = seed;
  p.finger = finger;
  p.angle = 0.05f;
  p.tx = 40;
  p.ty = 2;
  p.images = true;
  return p;
}

TEST(CrossCheckAlloc, EveryFailurePointReleasesItsWork) {
  ZqAlgSettingsResetForTest();
  ZqAlgModeResetForTest();
  ZqSetSensorColRow(96, 96);
  ZqSetAlgFarLevel(14);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  auto genuine = zq_test::MakeSynthPair(Params(3, 3));
  auto other1 = zq_test::MakeSynthPair(Params(4, 7));
  auto other2 = zq_test::MakeSynthPair(Params(5, 8));
  std::unique_ptr<ST_QuorvEnrollTemplate> finger(new ST_QuorvEnrollTemplate());
  const ST_SubTemplate *members[3] = {&genuine->tpl, &other1->tpl, &other2->tpl};
  for (int k = 0; k < 3; ++k) {
    finger->subtemplates[k] = *members[k];
    finger->subtemplates[k].rootIndex = 0;
    finger->subtemplates[k].rootHmatrix = Rigid(0, 0, 0);
  }
  finger->currentSubtemplatesNum = 3;
  uint8_t order[96];
  for (int i = 0; i < 96; ++i) order[i] = static_cast<uint8_t>(i);
  ST_CrossCheckMatch cand{};
  cand.matchScore = 7;
  cand.toRootHmatrix = Rigid(0.05f, 40, 2);
  cand.matchHmatrix = Rigid(0, 200, 0);
  ST_SubTemplate sample = genuine->sample;
  sample.templateQuality = 80;

  int16_t reason = 10;
  const int full = ZqTemplate2TemplateMatch(&sample, finger.get(), order, 0, 96, 96, cand, 6, &reason);
  ASSERT_EQ(full, 2);
  const int32_t before = ZqGetMallocCnts();
  bool reachedFull = false;
  // Stop at the first failure point the run no longer reaches.
  for (int n = 0; n < 2000 && !reachedFull; ++n) {
    reason = 10;
    int r;
    bool fired;
    {
      testing_support::HeapFailureAt fail(n);
      r = ZqTemplate2TemplateMatch(&sample, finger.get(), order, 0, 96, 96, cand, 6, &reason);
      fired = fail.Fired();
    }
    EXPECT_EQ(ZqGetMallocCnts(), before) << "after " << n;
    if (n == 0) {
      EXPECT_EQ(r, -2);
      EXPECT_EQ(reason, 10);
    }
    if (r == -2) {
      EXPECT_EQ(reason, 10) << "after " << n;
    }
    EXPECT_TRUE(r == -2 || r == 0 || r == 2) << "after " << n << ": " << r;
    if (!fired) {
      EXPECT_EQ(r, full);
      EXPECT_EQ(reason, 12);
      reachedFull = true;
    }
  }
  EXPECT_TRUE(reachedFull);
  gQuorvActionMode = 0;
  ZqAlgSettingsResetForTest();
  ZqAlgModeResetForTest();
}

}  // namespace
