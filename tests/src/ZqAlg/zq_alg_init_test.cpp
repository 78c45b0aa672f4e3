// Set-up and tear-down of the algorithm state, and deletion of a finger
// from the store, the match history and the extra-template buffer.
#include <gtest/gtest.h>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"
#include "tpl_blob_fixture.h"

namespace {

class AlgInitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    baseline_ = ZqGetMallocCnts();
  }
  void TearDown() override {
    ZqDestroyIntiAlg();
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
  }
  int32_t baseline_ = 0;
};

TEST_F(AlgInitTest, RepeatedSetUpAndTearDownLeaveNoBlock) {
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  const int32_t live = ZqGetMallocCnts();
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  EXPECT_EQ(ZqGetMallocCnts(), live) << "the second set-up replaces the first";
  for (int f = 0; f < 10; ++f) {
    ASSERT_NE(gEnrolledTemplate[f], nullptr);
    EXPECT_EQ(gEnrolledTemplate[f]->headerSize, 208);
  }
  EXPECT_EQ(gQuorvMatchPriority->fingerRing[49], 0xFFFFFFFFu);
  EXPECT_EQ(gQuorvMatchPriority->fingerRingPos, 0u);
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[63], 255);
  EXPECT_EQ(gQuorvTempalteBufInfor->bufGroup[15], 15);
  EXPECT_NE(gQuorvTempupdateInfor->updateVerifyTemplate.templateBinDiscr, nullptr);
  EXPECT_EQ(ZqDestroyIntiAlg(), 0);
  EXPECT_EQ(ZqDestroyIntiAlg(), 0);
  EXPECT_EQ(ZqGetMallocCnts(), baseline_);
  EXPECT_EQ(gEnrolledTemplate[0], nullptr);
  EXPECT_EQ(gQuorvTempalteBufInfor, nullptr);
  EXPECT_EQ(gQuorvMatchPriority, nullptr);
  EXPECT_EQ(ZqDelTpl(3), 0) << "nothing to delete";
}

TEST_F(AlgInitTest, SetUpDerivesFullHomographyAndTheAdaptiveLevel) {
  struct Case {
    uint8_t mode;
    uint16_t chip;
    uint8_t full;
  };
  for (const Case &c : {Case{5, 2, 1}, Case{4, 10, 1}, Case{4, 2, 0}, Case{1, 10, 0}}) {
    ZqSetAlgoMode(c.mode);
    ZqChipNameSet(c.chip);
    gSensorInfor.fullHomography = 7;
    ASSERT_EQ(ZqInitAlgorithm(), 0);
    EXPECT_EQ(gSensorInfor.fullHomography, c.full) << int(c.mode) << " " << c.chip;
  }
  ZqSetAlgFarLevel(14);
  gAutoMatchLevel.continueFailMatchNum = 3;
  gAutoMatchLevel.recallEn = 0;
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 0);
  EXPECT_EQ(gAutoMatchLevel.recallEn, 1);
  EXPECT_EQ(gAutoMatchLevel.cfgVerifyLevel, 14);
}

TEST_F(AlgInitTest, DeletingAFingerForgetsItEverywhere) {
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  tpl_fixture::FillFinger(3, {4, 2}, 1);
  ST_QuorvMatchPriority &p = *gQuorvMatchPriority;
  const uint32_t ring[] = {3, 1, 3, 3, 0, 9, 3};
  for (int i = 0; i < 7; ++i) p.fingerRing[i] = ring[i];
  for (int i = 0; i < 20; ++i) {
    p.subTempRing[3][i] = i;
    p.subTempRing[4][i] = i;
  }
  ST_SubTemplate *s = ZqCreateTemp();
  tpl_fixture::FillSample(s, 1, 1, 2);
  ZqRefreshTemplateExtraInfor(s, 3);
  ZqRefreshTemplateExtraInfor(s, 4);
  ZqReleaseTemp(s);

  EXPECT_EQ(ZqDelTpl(10), -1);
  EXPECT_EQ(ZqGetSubtemplatesNum(3), 2) << "a refused id changes nothing";
  ASSERT_EQ(ZqDelTpl(3), 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(3), 0);
  EXPECT_EQ(gEnrolledTemplate[3]->subtemplates[0].pTemplateFeature, nullptr);
  const uint32_t want[] = {255, 1, 255, 255, 0, 9, 255};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(p.fingerRing[i], want[i]) << i;
  EXPECT_EQ(p.fingerRing[7], 0xFFFFFFFFu);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(p.subTempRing[3][i], 255u);
    EXPECT_EQ(p.subTempRing[4][i], static_cast<uint32_t>(i));
  }
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[0], 255);
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[1], 4);
}

}  // namespace
