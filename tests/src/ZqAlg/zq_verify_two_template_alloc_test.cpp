// Work memory of two-template scoring: every refused allocation gives -2
// and leaves nothing allocated; a window is registered only from four pairs.
#include <gtest/gtest.h>

#include <vector>

#include "fingers/rng.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_synth_keypoints.h"

namespace {

using testing_support::HeapFailureAt;

// Blocks the scorer takes before any registration: four pair arrays and the
// consensus indexes (the pool falls back to the heap).
constexpr int kScorerBlocks = 5;

TEST(VerifyTwoTemplateAllocTest, EveryRefusedAllocationGivesMinusTwoAndLeavesNothing) {
  ZqAlgSettingsResetForTest();
  ZqSetAlgFarLevel(14);
  zq_test::SynthPairParams p;
  p.seed = 3;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  const int32_t baseline = ZqGetMallocCnts();
  ST_FullHMatrix H{};
  ASSERT_GE(ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 0, 0), 7);
  for (int nth = 0;; ++nth) {
    int ret;
    bool fired;
    {
      HeapFailureAt fail(nth);
      ret = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 0, 0);
      fired = fail.Fired();
    }
    ASSERT_EQ(ZqGetMallocCnts(), baseline) << "allocation " << nth;
    if (!fired) {
      EXPECT_GE(ret, 7);
      EXPECT_GT(nth, kScorerBlocks);
      break;
    }
    EXPECT_EQ(ret, -2) << "allocation " << nth;
  }
  ZqAlgSettingsResetForTest();
}

// k keypoints with identical descriptors on both sides, all one orientation
// bin: a window of k pairs.
TEST(VerifyTwoTemplateAllocTest, AWindowIsRegisteredFromFourPairsNotThree) {
  ZqAlgSettingsResetForTest();
  ZqSetAlgFarLevel(14);
  fingers::Rng rng(17);
  for (int k : {3, 4}) {
    std::vector<ST_Feature> feats(k);
    for (int i = 0; i < k; ++i) {
      feats[i].x = 10.0f + 17.0f * i;
      feats[i].y = 20.0f + 11.0f * i;
      feats[i].ori = 0.5f;
      for (uint32_t &w : feats[i].descr) w = static_cast<uint32_t>(rng.Next());
    }
    std::vector<ST_Feature> tplFeats = feats;
    ST_SubTemplate sample = zq_test::SubTemplateOver(&feats, k, 0);
    ST_SubTemplate tpl = zq_test::SubTemplateOver(&tplFeats, k, 0);
    ST_FullHMatrix H{};
    ASSERT_EQ(ZqVerifyTwoTemplate(&sample, &tpl, &H, 0, 0), 0) << k;  // too few to register
    HeapFailureAt fail(kScorerBlocks);  // the registration's first block
    const int ret = ZqVerifyTwoTemplate(&sample, &tpl, &H, 0, 0);
    EXPECT_EQ(fail.Fired(), k == 4) << k;
    EXPECT_EQ(ret, k == 4 ? -2 : 0) << k;
  }
  ZqAlgSettingsResetForTest();
}

}  // namespace
