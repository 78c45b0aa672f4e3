// Allocation failures during the algorithm's set-up and while a blob's
// features are taken over: reported, and nothing left behind.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/heap_failure_at.h"
#include "src/image/ZqMemoryManager.h"
#include "tpl_blob_fixture.h"

namespace {

using testing_support::HeapFailureAt;

TEST(AlgInitAllocTest, EveryFailedAllocationOfTheSetUpIsUndone) {
  ZqAlgSettingsResetForTest();
  ZqSetSensorColRow(8, 8);  // small records keep the sweep short
  const int32_t baseline = ZqGetMallocCnts();
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  const int total = ZqGetMallocCnts() - baseline;
  ZqDestroyIntiAlg();
  for (int nth = 0; nth < total; ++nth) {
    {
      HeapFailureAt fail(nth);
      ASSERT_EQ(ZqInitAlgorithm(), -2) << "allocation " << nth;
    }
    ASSERT_EQ(ZqGetMallocCnts(), baseline) << "allocation " << nth;
    ASSERT_EQ(gEnrolledTemplate[0], nullptr);
    ASSERT_EQ(gQuorvTempalteBufInfor, nullptr);
  }
  ZqAlgSettingsResetForTest();
}

TEST(AlgInitAllocTest, PoolFailureMakesNothing) {
  ZqAlgSettingsResetForTest();
  const int32_t baseline = ZqGetMallocCnts();
  ZqSetMemoryPoolEnable(1);
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(ZqInitAlgorithm(), -1);
  }
  EXPECT_EQ(ZqGetMallocCnts(), baseline);
  EXPECT_EQ(gEnrolledTemplate[0], nullptr);
  ZqSetMemoryPoolEnable(0);
  ZqAlgSettingsResetForTest();
}

class BlobAllocTest : public tpl_fixture::AlgStateTest {};

TEST_F(BlobAllocTest, FeatureBlockFailureEmptiesTheFinger) {
  tpl_fixture::FillFinger(1, {3, 0, 4}, 2);
  const std::vector<uint8_t> blob = tpl_fixture::SaveFinger(1);
  ZqDelTpl(1);
  const int32_t empty = ZqGetMallocCnts();
  for (int nth : {0, 1}) {  // the first and the last feature block
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqIniAlgTplData(1, 0, static_cast<uint32_t>(blob.size()), blob.data()), -2);
    }
    EXPECT_EQ(ZqGetMallocCnts(), empty);
    EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
    for (const ST_SubTemplate &s : gEnrolledTemplate[1]->subtemplates) {
      ASSERT_EQ(s.featBufSize, 0u);
      ASSERT_EQ(s.nFeatureNum[0] + s.nFeatureNum[1], 0);
    }
  }
  ASSERT_EQ(ZqIniAlgTplData(1, 0, static_cast<uint32_t>(blob.size()), blob.data()), 0);
}

}  // namespace
