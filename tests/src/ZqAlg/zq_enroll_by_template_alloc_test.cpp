// Enrolment under failing allocations: every failure point releases its
// work, reports -2 and leaves the finger's count and coverage as they were;
// the root refresh then merges nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "support/zq_sample_ptr.h"
#include "zq_alg_state.h"

namespace {

const int kSide = 96;

using Sample = testing_support::SamplePtr;

Sample Press(const fingers::MasterFinger &m, int press, double dx, double dy) {
  std::vector<uint8_t> img = fingers::FullContactPress(m, press, dx, dy, 0.0, kSide, kSide).frame.gray;
  Sample s(ZqCreateTemp());
  const uint8_t quality[4] = {80, 95, 70, 0};
  EXPECT_EQ(ZqGetTemplate(img.data(), s.get(), quality), 0);
  return s;
}

class EnrollAllocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zq_test::ResetAlgorithmState();
    ZqSetSensorColRow(kSide, kSide);
    ZqSetAlgFarLevel(14);
    ZqSetUpdateTemplateFarLevel(16);
    ZqSetForeignBodyTest(1);
    ZqSetFpEnrollMaxTplCnt(48);
    ASSERT_EQ(ZqInitAlgorithm(), 0);
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  }
  void TearDown() override {
    ZqDestroyIntiAlg();
    zq_test::ResetAlgorithmState();
  }
};

TEST_F(EnrollAllocTest, EveryFailurePointLeavesTheFingerAsItWas) {
  const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(40, 3));
  Sample a = Press(m, 0, -40, -16), b = Press(m, 1, 40, -16), c = Press(m, 2, 0, -16);
  ST_QuorvEnrollTemplate &f = *gEnrolledTemplate[1];
  uint8_t out = 0;
  ASSERT_EQ(ZqEnrollByTemplate(a.get(), 1, 0, &out), 0);
  ASSERT_EQ(ZqEnrollByTemplate(b.get(), 1, 1, &out), 0);
  const int32_t coverage = f.coverageArea;
  int failures = 0;
  bool fired = true;
  for (int nth = 0; fired && nth < 5000; ++nth) {
    SCOPED_TRACE(::testing::Message() << "failing allocation " << nth);
    f.currentSubtemplatesNum = 2;
    f.coverageArea = coverage;
    ZqClearSubTemplate(&f.subtemplates[2]);
    const int32_t before = ZqGetMallocCnts();
    int r;
    {
      testing_support::HeapFailureAt fail(nth);
      r = ZqEnrollByTemplate(c.get(), 1, 2, &out);
      fired = fail.Fired();
    }
    // Only the slot's copy of the keypoints stays.
    EXPECT_EQ(ZqGetMallocCnts(), before + (f.subtemplates[2].pTemplateFeature != nullptr ? 1 : 0));
    if (r != 0) {
      ++failures;
      EXPECT_EQ(r, -2);
      EXPECT_EQ(f.currentSubtemplatesNum, 2);
      EXPECT_EQ(f.coverageArea, coverage);
    } else {
      EXPECT_EQ(f.currentSubtemplatesNum, 3);
    }
  }
  EXPECT_FALSE(fired);
  // The copy, the transform array, its three records and the pixel map.
  EXPECT_EQ(failures, 6);
  // Once nothing fails, the next slot can be enrolled as usual.
  EXPECT_EQ(ZqEnrollByTemplate(c.get(), 1, f.currentSubtemplatesNum, &out), 0);
}

TEST_F(EnrollAllocTest, RootRefreshMergesNothingWhenItsWorkCannotBeAllocated) {
  // Slots 0 and 1 are roots; the sample joined 0 and matched 1 well.
  ST_QuorvEnrollTemplate &f = *gEnrolledTemplate[2];
  f.currentSubtemplatesNum = 2;
  f.subtemplates[0].rootIndex = 0;
  f.subtemplates[1].rootIndex = 1;
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  ZqSetCoinFlg(codes, 1, 2);
  uint8_t scores[2] = {0, 10};
  ST_FullHMatrix toTpl[2] = {{1, 0, 3, 0, 1, 4, 0, 0, 1, 0}, {1, 0, -5, 0, 1, 2, 0, 0, 1, 0}};
  ST_FullHMatrix *toTplPtr[2] = {&toTpl[0], &toTpl[1]};
  const ST_FullHMatrix toRoot = toTpl[0];
  bool fired = true;
  int nth = 0;
  for (; fired && nth < 100; ++nth) {
    f.subtemplates[1].rootIndex = 1;
    const int32_t before = ZqGetMallocCnts();
    {
      testing_support::HeapFailureAt fail(nth);
      EXPECT_EQ(ZqEnrollTempateRootRefresh(2, codes, scores, toTplPtr, 2, 0, &toRoot), 0);
      fired = fail.Fired();
    }
    EXPECT_EQ(ZqGetMallocCnts(), before);
    EXPECT_EQ(f.subtemplates[1].rootIndex, fired ? 1 : 0) << nth;
  }
  EXPECT_EQ(nth, 5);  // the array, two records, the marks, then success
  // Slot 1 now maps onto slot 0 through the sample: (x + 5, y - 2), then (x + 3, y + 4).
  EXPECT_FLOAT_EQ(f.subtemplates[1].rootHmatrix.a02, 8.0f);
  EXPECT_FLOAT_EQ(f.subtemplates[1].rootHmatrix.a12, 2.0f);
}

}  // namespace
