// Allocation failures of the sub-template records, the store and the
// update record: each failure is reported and leaves nothing behind.
#include <gtest/gtest.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::HeapFailureAt;

class TemplateAllocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    baseline_ = ZqGetMallocCnts();
  }
  void TearDown() override { EXPECT_EQ(ZqGetMallocCnts(), baseline_); }
  int32_t baseline_ = 0;
};

TEST_F(TemplateAllocTest, InitSubTemplateKeepsNoBufferOnFailure) {
  for (int nth : {0, 1}) {  // the binarised image, then the mask
    ST_SubTemplate t{};
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqInitSubTemplate(&t), -2) << "allocation " << nth;
    }
    EXPECT_EQ(t.templateBinDiscr, nullptr);
    EXPECT_EQ(t.templatePixValid, nullptr);
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
  }
}

TEST_F(TemplateAllocTest, CreateTempLeavesNothingOnFailure) {
  for (int nth : {0, 1, 2}) {
    HeapFailureAt fail(nth);
    EXPECT_EQ(ZqCreateTemp(), nullptr) << "allocation " << nth;
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
  }
}

TEST_F(TemplateAllocTest, FailedCopyClaimsNoFeatures) {
  ST_SubTemplate *src = ZqCreateTemp();
  ST_SubTemplate *dst = ZqCreateTemp();
  ASSERT_NE(src, nullptr);
  ASSERT_NE(dst, nullptr);
  src->featBufSize = 2 * ZQ_FEATURE_BYTES;
  src->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(src->featBufSize));
  src->nFeatureNum[0] = 1;
  src->nFeatureNum[1] = 1;
  src->templateQuality = 70;
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(ZqSubTemplateCopy(dst, src), -2);
  }
  EXPECT_EQ(dst->pTemplateFeature, nullptr);
  EXPECT_EQ(dst->featBufSize, 0u);
  EXPECT_EQ(dst->nFeatureNum[0], 0);
  EXPECT_EQ(dst->nFeatureNum[1], 0);
  EXPECT_NE(dst->templateBinDiscr, nullptr) << "its own buffers stay";
  ZqReleaseTemp(src);
  ZqReleaseTemp(dst);
}

TEST_F(TemplateAllocTest, StoreFailuresAreReleasedByTheTearDown) {
  struct Case {
    int nth;
    int ret;
  };
  // Each finger takes 1 + 96 x 2 allocations. 0: the first finger record;
  // 193: the second one; 5: a buffer of finger 0 (the later fingers fail as
  // well); 1929: the last mask of finger 9, after which nothing is tried.
  for (const Case &c : {Case{0, -1}, Case{193, -1}, Case{5, -1}, Case{1929, -2}}) {
    {
      HeapFailureAt fail(c.nth);
      EXPECT_EQ(ZqInitErollTemplate(), c.ret) << "allocation " << c.nth;
    }
    ZqReleaseErollTemplate();
    EXPECT_EQ(ZqGetMallocCnts(), baseline_) << "allocation " << c.nth;
    for (ST_QuorvEnrollTemplate *t : gEnrolledTemplate) EXPECT_EQ(t, nullptr);
  }
}

TEST_F(TemplateAllocTest, MatchRecordFailures) {
  struct Case {
    int nth;
    int ret;
  };
  for (const Case &c : {Case{0, -1}, Case{1, -2}, Case{2, -2}}) {
    HeapFailureAt fail(c.nth);
    EXPECT_EQ(ZqCreateTempupdateInfor(), c.ret) << "allocation " << c.nth;
    EXPECT_EQ(gQuorvTempupdateInfor, nullptr);
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
  }
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(ZqCreateMatchPriority(), -1);
    EXPECT_EQ(ZqCreateAreaMatchToplogy(), -1);
  }
  ZqReleaseMatchRecords();
}

}  // namespace
