// Template update on enrolled and identified synthetic fingers: a related
// sample grows its finger, a full finger replaces by its conditions, the
// update record is consumed on every path, and an updated finger survives
// its blob.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "zq_update_fixture.h"

namespace {

using zq_update_test::Logged;
using zq_update_test::LogLines;
using zq_update_test::Master;
using zq_update_test::Press;
using zq_update_test::UpdateTest;

class TemplateUpdateTest : public UpdateTest {
 protected:
  // Finger f enrolled from four presses of master m on a grid of shifts.
  void EnrolFour(int f, const fingers::MasterFinger &m) {
    const double shifts[4][2] = {{0, 0}, {12, 0}, {0, 12}, {-12, -8}};
    std::vector<ST_SubTemplate *> presses;
    for (int k = 0; k < 4; ++k) presses.push_back(Keep(Press(m, k, shifts[k][0], shifts[k][1])));
    Enrol(f, presses);
  }
  // The record holds no sample and names no finger.
  static void ExpectConsumed() {
    const ST_QuorvTempupdateInfor &r = Record();
    EXPECT_EQ(r.updateVerifyTemplate.pTemplateFeature, nullptr);
    EXPECT_EQ(r.updateVerifyTemplate.featBufSize, 0u);
    EXPECT_EQ(r.updateVerifyTemplate.nFeatureNum[0] + r.updateVerifyTemplate.nFeatureNum[1], 0);
    EXPECT_EQ(r.updateFingerId, 0);
    EXPECT_EQ(r.updateFlag, 0);
    EXPECT_EQ(r.updateTag, 0);
    EXPECT_EQ(r.imageArea, 0);
  }
};

TEST_F(TemplateUpdateTest, IdentifiedSampleGrowsItsFingerByOneAndIsConsumed) {
  const fingers::MasterFinger m = Master(0);
  EnrolFour(3, m);
  EnrolFour(6, Master(1));
  ST_QuorvEnrollTemplate &f = Finger(3);
  const int coverageBefore = f.coverageArea;
  ST_SubTemplate *sample = Keep(Press(m, 10, 9, -10, 0.12));
  uint16_t finger = 255;
  ASSERT_EQ(Identify(sample, &finger), 0);
  ASSERT_EQ(finger, 3);
  ASSERT_EQ(Record().updateFlag, 1);
  gAutoMatchLevel.continueSucessUpdateNum = 4;

  uint32_t updated = 77;
  ASSERT_EQ(ZqTemplateUpdate(1, &updated), 0);
  EXPECT_EQ(updated, 3u);
  EXPECT_EQ(f.currentSubtemplatesNum, 5);
  EXPECT_EQ(gUpdateTemplateId, 4);
  EXPECT_EQ(gQuorvMachInfo.updateIndex, 4);
  EXPECT_EQ(gQuorvMachInfo.updataMode, 1);
  EXPECT_EQ(gAutoMatchLevel.continueSucessUpdateNum, 5);
  const ST_SubTemplate &added = f.subtemplates[4];
  ASSERT_EQ(added.featBufSize, sample->featBufSize);
  EXPECT_EQ(std::memcmp(added.pTemplateFeature, sample->pTemplateFeature, added.featBufSize), 0);
  EXPECT_EQ(added.extendArea, gQuorvMachInfo.sampleExtendArea);
  EXPECT_EQ(f.coverageArea, coverageBefore + added.extendArea);
  EXPECT_LT(added.extendArea, 60) << "most of it is covered by the enrolled presses";
  // Related to the presses it overlaps: a code of 2 or 3 and a group.
  int related = 0;
  for (int i = 0; i < 4; ++i) related += ZqGetCoinFlg(added.coinFlg, static_cast<uint8_t>(i)) >= 2;
  EXPECT_GE(related, 2);
  EXPECT_LT(added.rootIndex, 4);
  EXPECT_TRUE(Logged("ZqTemplateUpdate...update success, condition 1 : inc tpl, "
                     "fid[3]->curSubTplNum(=5) < max_tpls(=96)"));
  ExpectConsumed();

  // The record is spent: a second update has nothing to add.
  updated = 77;
  EXPECT_EQ(ZqTemplateUpdate(1, &updated), -1);
  EXPECT_EQ(updated, 77u);
  EXPECT_EQ(f.currentSubtemplatesNum, 5);
  EXPECT_EQ(gAutoMatchLevel.continueSucessUpdateNum, 0);
}

TEST_F(TemplateUpdateTest, UpdatedFingerIdentifiesTheSameAfterSaveAndReload) {
  const fingers::MasterFinger m = Master(2);
  EnrolFour(1, m);
  uint16_t finger = 255;
  ASSERT_EQ(Identify(Keep(Press(m, 11, -10, 9, -0.1)), &finger), 0);
  ASSERT_EQ(ZqTemplateUpdate(1, nullptr), 0);
  ASSERT_EQ(Finger(1).currentSubtemplatesNum, 5);

  std::vector<uint8_t> blob(ZqGetTplDataSize(1));
  uint8_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(ZqSaveTplData(1, &type, &size, blob.data()), 0);
  const ST_SubTemplate *probe = Keep(Press(m, 12, 14, 6, 0.2));
  ST_FullHMatrix before{}, after{};
  ASSERT_EQ(Identify(probe, &finger, &before), 0);
  const int32_t scoreBefore = gVerifyScores;
  const int32_t indexBefore = gVerifyTemplateId;

  ASSERT_EQ(ZqDelTpl(1), 0);
  ASSERT_EQ(ZqIniAlgTplData(1, type, size, blob.data()), 0);
  EXPECT_EQ(Finger(1).currentSubtemplatesNum, 5);
  finger = 255;
  ASSERT_EQ(Identify(probe, &finger, &after), 0);
  EXPECT_EQ(finger, 1);
  EXPECT_EQ(gVerifyScores, scoreBefore);
  EXPECT_EQ(gVerifyTemplateId, indexBefore);
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(TemplateUpdateTest, EveryRefusalConsumesTheRecord) {
  const fingers::MasterFinger m = Master(3);
  EnrolFour(2, m);
  ST_SubTemplate *sample = Keep(Press(m, 10, 10, 10));
  struct Case {
    const char *what;
    int update;
    uint16_t flag, finger;
    bool features;
    uint8_t algoMode;
    uint16_t imageArea;
    const char *log;
  } cases[] = {
      {"update 0", 0, 1, 2, true, 1, 90, "ZqTemplateUpdate...error, update = 0, ret = -1"},
      {"no decision", 1, 0, 2, true, 1, 90, "ZqTemplateUpdate...error, update decision disable, ret = -1"},
      {"finger 10", 1, 1, 10, true, 1, 90, "ZqTemplateUpdate...finger_id > 9, error, ret = -1"},
      {"mode 3, area 40", 1, 1, 2, true, 3, 40, "ZqTemplateUpdate...imageArea < 40, error, ret = -1"},
      {"no sample", 1, 1, 2, false, 1, 90, "ZqTemplateUpdate...continueSucessUpdateNum = 0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    LogLines().clear();
    gSensorInfor.algoMode = c.algoMode;
    if (c.features) Offer(sample, c.finger);
    Record().updateFlag = c.flag;
    Record().updateFingerId = c.finger;
    Record().imageArea = c.imageArea;
    gQuorvTempalteBufInfor->bufUpdateState = 1;
    gAutoMatchLevel.continueSucessUpdateNum = 3;
    uint32_t updated = 77;
    EXPECT_EQ(ZqTemplateUpdate(c.update, &updated), -1);
    EXPECT_EQ(updated, 77u);
    EXPECT_TRUE(Logged(c.log));
    EXPECT_EQ(Finger(2).currentSubtemplatesNum, 4);
    EXPECT_EQ(gQuorvTempalteBufInfor->bufUpdateState, 0);
    EXPECT_EQ(gAutoMatchLevel.continueSucessUpdateNum, 0);
    ExpectConsumed();
  }
  // Mode 3 lets an area of 41 through.
  gSensorInfor.algoMode = 3;
  Offer(sample, 2);
  Record().imageArea = 41;
  EXPECT_NE(ZqTemplateUpdate(1, nullptr), -1);
}

}  // namespace
