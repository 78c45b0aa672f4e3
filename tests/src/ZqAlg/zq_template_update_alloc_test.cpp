// Template update under failing allocations: whatever fails, a finger never
// gains or keeps a slot that an update reported and did not fill, the
// record is consumed, and nothing leaks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "src/heap_failure_at.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "zq_update_fixture.h"

namespace {

using testing_support::HeapFailureAt;
using zq_update_test::Logged;
using zq_update_test::Master;
using zq_update_test::Press;
using zq_update_test::UpdateTest;

class UpdateAllocTest : public UpdateTest {
 protected:
  // Copies of four presses of one master in slots 0..3 of finger 4, each
  // its own root, finalised.
  void SetUp() override {
    UpdateTest::SetUp();
    const fingers::MasterFinger m = Master(20);
    const double grid[4][2] = {{0, 0}, {12, 0}, {0, 12}, {12, 12}};
    ST_QuorvEnrollTemplate &f = Finger(4);
    for (int i = 0; i < 4; ++i) {
      ST_SubTemplate &s = f.subtemplates[i];
      ASSERT_EQ(ZqSubTemplateCopy(&s, Keep(Press(m, i, grid[i][0], grid[i][1]))), 0);
      s.rootIndex = static_cast<uint16_t>(i);
      s.rootHmatrix = ST_FullHMatrix{};
      std::memset(s.coinFlg, 0, sizeof s.coinFlg);
      std::memset(s.simpleHmatrix, 0, sizeof s.simpleHmatrix);
    }
    f.currentSubtemplatesNum = 4;
    ASSERT_EQ(ZqSetTplValidFlag(4), 0);
    sample_ = Keep(Press(m, 9, 6, 8, 0.1));
  }
  // Runs one update with the heap failing after `ok` allocations; the
  // allocations refused.
  int UpdateFailingAfter(int ok, int *ret) {
    Offer(sample_, 4);
    gUpdateTemplateId = 255;
    HeapFailureAt fail(ok);
    *ret = ZqTemplateUpdate(1, nullptr);
    return testing_support::RefusedAllocations();
  }
  ST_SubTemplate *sample_ = nullptr;
};

TEST_F(UpdateAllocTest, AddingNeverCountsAnEmptySlot) {
  ZqSetAlgMaxTplCnt(5);
  for (int ok = 0;; ++ok) {
    SCOPED_TRACE(ok);
    ASSERT_LT(ok, 2000);
    int ret = 0;
    const int refused = UpdateFailingAfter(ok, &ret);
    EXPECT_EQ(Record().updateVerifyTemplate.pTemplateFeature, nullptr);
    if (ret == 0) {
      ASSERT_EQ(Finger(4).currentSubtemplatesNum, 5);
      const ST_SubTemplate &added = Finger(4).subtemplates[4];
      ASSERT_NE(added.pTemplateFeature, nullptr);
      EXPECT_EQ(std::memcmp(added.pTemplateFeature, sample_->pTemplateFeature, sample_->featBufSize), 0);
      EXPECT_EQ(gUpdateTemplateId, 4);
      EXPECT_EQ(refused, 0) << "a refused allocation must not end in success";
      break;
    }
    EXPECT_EQ(Finger(4).currentSubtemplatesNum, 4);
    EXPECT_EQ(Finger(4).subtemplates[4].pTemplateFeature, nullptr);
    EXPECT_EQ(gUpdateTemplateId, 255);
  }
  EXPECT_TRUE(Logged("ZqTemplateUpdate...pMatchPointFlg == NULL"));
  EXPECT_TRUE(Logged("ZqTemplateUpdate...pTempMatchHmatrix == NULL"));
  EXPECT_TRUE(Logged("ZqTemplateUpdate...pTempMatchHmatrix[0] == NULL"));
  EXPECT_TRUE(Logged("ZqTemplateUpdate...gEnrolledTemplate[4]->subtemplates[4].pTemplateFeature == NULL"));
}

TEST_F(UpdateAllocTest, ReplacingReportsOnlyAFilledSlot) {
  ZqSetAlgMaxTplCnt(4);  // full: the sample replaces
  for (int ok = 0;; ++ok) {
    SCOPED_TRACE(ok);
    ASSERT_LT(ok, 2000);
    int ret = 0;
    const int refused = UpdateFailingAfter(ok, &ret);
    EXPECT_EQ(Finger(4).currentSubtemplatesNum, 4);
    if (ret == 0) {
      const int x = gUpdateTemplateId;
      ASSERT_GE(x, 0);
      ASSERT_LT(x, 4);
      const ST_SubTemplate &now = Finger(4).subtemplates[x];
      ASSERT_NE(now.pTemplateFeature, nullptr);
      EXPECT_EQ(std::memcmp(now.pTemplateFeature, sample_->pTemplateFeature, sample_->featBufSize), 0);
      EXPECT_EQ(now.replacedFlg, 1);
      if (refused == 0) break;
      continue;  // only the extra-buffer copy of the old slot failed
    }
    EXPECT_EQ(gUpdateTemplateId, 255);
  }
  // The sweep went through a failed copy into the replaced slot.
  int copyFailures = 0;
  for (const std::string &l : zq_update_test::LogLines())
    copyFailures += l.rfind("ZqTemplateReplace...gEnrolledTemplate[4]->subtemplates[", 0) == 0;
  EXPECT_GT(copyFailures, 0);
}

TEST_F(UpdateAllocTest, AreaRefreshWithoutItsMapChangesNothing) {
  Finger(4).subtemplates[2].rootIndex = 0;
  Finger(4).subtemplates[2].extendArea = 33;
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(ZqTemplateExtraAreaRefresh(4, 0), -1);
  }
  EXPECT_EQ(Finger(4).subtemplates[2].extendArea, 33);
  EXPECT_TRUE(Logged("ZqTemplateUpdate...pMatchPointFlg == NULL"));
}

}  // namespace
