// The template buffer update: failed identifications fill the 16 slots in
// turn, strong matches group them, an identification attributes matching
// groups to its finger and their samples update that finger.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "tpl_blob_fixture.h"
#include "zq_update_fixture.h"

namespace {

using tpl_fixture::FillSample;
using zq_update_test::Master;
using zq_update_test::Press;
using zq_update_test::Sample;
using zq_update_test::UpdateTest;

class BuffRefreshTest : public UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    ZqSetTemplateBuffEn(1);
  }
  static ST_QuorvTempalteBufInfor &Buf() { return *gQuorvTempalteBufInfor; }
  // A sample that strongly matches nothing, recognisable by templateExtra.
  ST_SubTemplate *Plain(int seed) {
    Sample s(ZqCreateTemp());
    FillSample(s.get(), 3, 3, seed);
    return Keep(std::move(s));
  }
  // What identification leaves in the buffer.
  static void LastIdentification(const ST_SubTemplate *sample, uint8_t state, uint8_t finger) {
    ASSERT_EQ(ZqSubTemplateCopy(&Buf().bufSample, sample), 0);
    Buf().bufVerifyState = state;
    Buf().bufVerifyFingerId = finger;
  }
  // Strong match of the buffer's test: slot against sample.
  static bool Strong(const ST_SubTemplate *slot, const ST_SubTemplate *sample) {
    ST_FullHMatrix H{};
    return ZqVerifyTwoTemplate(slot, sample, &H, 0, 1) >= gMatchScores[gSensorInfor.algVerifyFarLevel] + 2;
  }
};

TEST_F(BuffRefreshTest, SwitchedOffNothingChanges) {
  ZqSetTemplateBuffEn(0);
  ST_SubTemplate *s = Plain(3);
  LastIdentification(s, 0, 255);
  const uint8_t total = gQuorvMachInfo.buffEnTotalCnt;
  EXPECT_EQ(ZqTemplateUpdateEnhance(), 0);
  EXPECT_EQ(ZqTemplateBuffRefresh(s, 1, 255), 0);
  EXPECT_EQ(ZqTemplateBuffRefresh(s, 0, 2), 0);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(Buf().bufState[i], 0) << i;
    EXPECT_EQ(Buf().bufGroup[i], i) << i;
    EXPECT_EQ(Buf().bufTemplate[i].pTemplateFeature, nullptr) << i;
  }
  EXPECT_EQ(Buf().bufWriteIndex, 0);
  EXPECT_EQ(Buf().bufVerifyState, 0);
  EXPECT_NE(Buf().bufSample.pTemplateFeature, nullptr) << "the last sample is not consumed";
  EXPECT_EQ(gQuorvMachInfo.buffEnTotalCnt, total);
}

TEST_F(BuffRefreshTest, FailedIdentificationsFillTheSlotsInTurn) {
  int total = 0;
  for (int k = 1; k <= 17; ++k) {
    SCOPED_TRACE(k);
    LastIdentification(Plain(k), 0, 255);
    ASSERT_EQ(ZqTemplateUpdateEnhance(), 0);
    EXPECT_EQ(Buf().bufSample.pTemplateFeature, nullptr) << "consumed";
    total += k < 16 ? k : 16;
  }
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(Buf().bufState[i], 1) << i;
    EXPECT_EQ(Buf().bufGroup[i], i) << "nothing matched: every slot alone";
    EXPECT_EQ(Buf().bufTemplate[i].templateExtra, i == 0 ? 17 : i + 1) << i;
  }
  EXPECT_EQ(Buf().bufWriteIndex, 1);
  EXPECT_EQ(gQuorvMachInfo.buffEnTotalCnt, static_cast<uint8_t>(total));
  EXPECT_EQ(gQuorvMachInfo.buffEnMatchCnt, 0);

  // After an update without decision the buffer keeps even an identified
  // sample; another mode with no such update keeps nothing.
  Buf().bufUpdateState = 1;
  ASSERT_EQ(ZqTemplateBuffRefresh(Plain(30), 0, 4), 0);
  EXPECT_EQ(Buf().bufTemplate[1].templateExtra, 30);
  Buf().bufUpdateState = 0;
  ASSERT_EQ(ZqTemplateBuffRefresh(Plain(31), 2, 4), 0);
  EXPECT_EQ(Buf().bufWriteIndex, 2);
}

TEST_F(BuffRefreshTest, StrongMatchesJoinTheNewestSamplesGroup) {
  const fingers::MasterFinger a = Master(11), b = Master(12);
  ST_SubTemplate *a1 = Keep(Press(a, 1, 0, 0)), *a2 = Keep(Press(a, 2, 12, -6, 0.1)),
                 *a3 = Keep(Press(a, 3, -9, 10, -0.15));
  ST_SubTemplate *b1 = Keep(Press(b, 1, 0, 0)), *b2 = Keep(Press(b, 2, 10, 10, 0.1));
  ASSERT_TRUE(Strong(a1, a2) && Strong(a1, a3) && Strong(a2, a3) && Strong(b1, b2));
  ASSERT_FALSE(Strong(a1, b1) || Strong(b1, a2) || Strong(a1, b2) || Strong(a2, b2) || Strong(b1, a3));
  for (ST_SubTemplate *s : {a1, b1, a2, a3, b2}) ASSERT_EQ(ZqTemplateBuffRefresh(s, 1, 255), 0);
  // a2 took a1 into its group; a3 joined it; b2 took b1.
  const uint8_t groups[5] = {2, 4, 2, 2, 4};
  const uint8_t flags[5] = {0, 0, 1, 0, 1};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Buf().bufState[i], 1) << i;
    EXPECT_EQ(Buf().bufGroup[i], groups[i]) << i;
    EXPECT_EQ(Buf().bufGroupFlg[i], flags[i]) << i;
    EXPECT_EQ(Buf().bufFingerId[i], 255) << i;
  }
  EXPECT_EQ(Buf().bufWriteIndex, 5);
}

TEST_F(BuffRefreshTest, BufferedSamplesUpdateTheFingerTheyWereAttributedTo) {
  const fingers::MasterFinger a = Master(13), b = Master(14);
  const double grid[4][2] = {{0, 0}, {12, 0}, {0, 12}, {-12, -8}};
  std::vector<const ST_SubTemplate *> enrol;
  for (int k = 0; k < 4; ++k) enrol.push_back(Keep(Press(a, k, grid[k][0], grid[k][1])));
  Enroll(3, enrol);
  ST_SubTemplate *a5 = Keep(Press(a, 5, 16, 9, 0.1)), *a6 = Keep(Press(a, 6, -8, 15, -0.1));
  for (ST_SubTemplate *s : {a5, Keep(Press(b, 1, 0, 0)), a6}) ASSERT_EQ(ZqTemplateBuffRefresh(s, 1, 255), 0);
  ASSERT_EQ(Buf().bufGroup[0], 2);

  uint16_t finger = 255;
  ASSERT_EQ(Identify(Keep(Press(a, 7, 6, 11, 0.05)), &finger), 0);
  ASSERT_EQ(finger, 3);
  ASSERT_EQ(Buf().bufVerifyState, 1);
  gQuorvMachInfo.updateIndex = 42;
  ASSERT_EQ(ZqTemplateUpdateEnhance(), 0);

  EXPECT_EQ(Finger(3).currentSubtemplatesNum, 6);
  EXPECT_EQ(gQuorvMachInfo.buffEnMatchCnt, 2);
  EXPECT_EQ(gQuorvMachInfo.buffEnUpdateCnt, 2);
  EXPECT_EQ(gQuorvMachInfo.buffUpdateIndex[0], 4);
  EXPECT_EQ(gQuorvMachInfo.buffUpdateIndex[1], 5);
  for (int k = 2; k < 16; ++k) EXPECT_EQ(gQuorvMachInfo.buffUpdateIndex[k], 255) << k;
  EXPECT_EQ(int32_t{gQuorvMachInfo.updateIndex}, 42) << "restored";
  EXPECT_EQ(std::memcmp(Finger(3).subtemplates[4].pTemplateFeature, a5->pTemplateFeature, a5->featBufSize), 0);
  // The used slots are empty and alone; the other finger's sample waits.
  const uint8_t states[3] = {0, 1, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Buf().bufState[i], states[i]) << i;
    EXPECT_EQ(Buf().bufGroup[i], i) << i;
    EXPECT_EQ(Buf().bufFingerId[i], 255) << i;
  }
  EXPECT_EQ(Buf().bufTemplate[0].pTemplateFeature, nullptr);
  EXPECT_EQ(Buf().bufVerifyState, 0);
  EXPECT_EQ(Buf().bufSample.pTemplateFeature, nullptr);
}

TEST_F(BuffRefreshTest, SamplesWhoseLeaderLeftLeadTheirGroup) {
  const fingers::MasterFinger a = Master(15), c = Master(16);
  Enroll(2, std::vector<const ST_SubTemplate *>{Keep(Press(a, 0, 0, 0)), Keep(Press(a, 1, 12, 4))});
  // Slot 0 (finger a) leads slots 1 and 2 (another finger) by construction.
  ST_SubTemplate *slots[3] = {Keep(Press(a, 2, 6, -10, 0.1)), Keep(Press(c, 0, 0, 0)),
                              Keep(Press(c, 1, 10, 5))};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(ZqSubTemplateCopy(&Buf().bufTemplate[i], slots[i]), 0);
    Buf().bufState[i] = 1;
    Buf().bufGroup[i] = 0;
  }
  Buf().bufGroupFlg[0] = 1;
  Buf().bufWriteIndex = 3;
  LastIdentification(Keep(Press(a, 3, -8, 8, -0.1)), 1, 2);
  ASSERT_EQ(ZqTemplateUpdateEnhance(), 0);

  EXPECT_EQ(gQuorvMachInfo.buffEnMatchCnt, 3) << "the whole group was attributed";
  EXPECT_EQ(gQuorvMachInfo.buffEnUpdateCnt, 1) << "only the sample of finger a updated it";
  EXPECT_EQ(Finger(2).currentSubtemplatesNum, 3);
  const uint8_t states[3] = {0, 1, 1}, groups[3] = {0, 1, 1}, flags[3] = {0, 1, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Buf().bufState[i], states[i]) << i;
    EXPECT_EQ(Buf().bufGroup[i], groups[i]) << i;
    EXPECT_EQ(Buf().bufGroupFlg[i], flags[i]) << i;
    EXPECT_EQ(Buf().bufFingerId[i], 255) << i;
  }
}

TEST_F(BuffRefreshTest, AFullBufferChangesOnlyTheWrittenSlotsGroup) {
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(ZqSubTemplateCopy(&Buf().bufTemplate[i], Plain(i + 1)), 0);
    Buf().bufState[i] = 1;
  }
  // Groups {3, 7, 9} and {10, 11}; slot 12 alone but still attributed.
  for (int i : {3, 7, 9}) Buf().bufGroup[i] = 3;
  for (int i : {10, 11}) Buf().bufGroup[i] = 10;
  Buf().bufGroupFlg[3] = Buf().bufGroupFlg[10] = 1;
  Buf().bufFingerId[12] = 4;
  Buf().bufWriteIndex = 3;
  ASSERT_EQ(ZqTemplateBuffRefresh(Plain(50), 1, 255), 0);
  EXPECT_EQ(Buf().bufTemplate[3].templateExtra, 50);
  EXPECT_EQ(Buf().bufWriteIndex, 4);
  for (int i = 0; i < 16; ++i) {
    const int group = (i == 10 || i == 11) ? 10 : i;
    EXPECT_EQ(Buf().bufGroup[i], group) << i;
    EXPECT_EQ(Buf().bufGroupFlg[i], i == 10 ? 1 : 0) << i;
    EXPECT_EQ(Buf().bufFingerId[i], i == 12 ? 4 : 255) << i;
  }
}

}  // namespace
