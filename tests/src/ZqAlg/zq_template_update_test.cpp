// Template update on enrolled and identified synthetic fingers: a related
// sample grows its finger, a full finger replaces by its conditions, the
// update record is consumed on every path, and an updated finger survives
// its blob.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqBinImg.h"
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
    std::vector<const ST_SubTemplate *> presses;
    for (int k = 0; k < 4; ++k) presses.push_back(Keep(Press(m, k, shifts[k][0], shifts[k][1])));
    Enroll(f, presses);
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
  EXPECT_EQ(int32_t{gQuorvMachInfo.updateIndex}, 4);
  EXPECT_EQ(int32_t{gQuorvMachInfo.updataMode}, 1);
  EXPECT_EQ(gAutoMatchLevel.continueSucessUpdateNum, 5);
  const ST_SubTemplate &added = f.subtemplates[4];
  ASSERT_EQ(added.featBufSize, sample->featBufSize);
  EXPECT_EQ(std::memcmp(added.pTemplateFeature, sample->pTemplateFeature, added.featBufSize), 0);
  EXPECT_EQ(added.extendArea, int32_t{gQuorvMachInfo.sampleExtendArea});
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

TEST_F(TemplateUpdateTest, UpdatesAfterEveryIdentificationAttachNoImpostorPress) {
  // Four enrolled fingers; presses of them and of four other fingers are
  // identified in turn, each followed by an update as the sensor library
  // runs it.
  for (int f = 0; f < 4; ++f) EnrolFour(f, Master(30 + f));
  struct Probe {
    int master, press;
    double dx, dy, rot;
  };
  std::vector<Probe> probes;
  for (int k = 0; k < 3; ++k) {
    for (int f = 0; f < 8; ++f) {
      probes.push_back({30 + f, 10 + k, (k % 2 ? 1 : -1) * (8.0 + 4 * k), 6.0 - 5 * k, 0.1 * (k - 1.5)});
    }
  }
  std::vector<ST_SubTemplate *> presses;
  for (const Probe &p : probes) presses.push_back(Keep(Press(Master(p.master), p.press, p.dx, p.dy, p.rot)));
  std::vector<int> counts(4);
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < probes.size(); ++i) {
      const Probe &p = probes[i];
      SCOPED_TRACE(testing::Message() << "round " << round << " master " << p.master << " press " << p.press);
      const bool genuine = p.master < 34;
      for (int f = 0; f < 4; ++f) counts[f] = Finger(f).currentSubtemplatesNum;
      uint16_t finger = 255;
      const int ret = Identify(presses[i], &finger);
      uint32_t updated = 255;
      const int up = ZqTemplateUpdate(1, &updated);
      if (!genuine) {
        EXPECT_NE(ret, 0);
        EXPECT_NE(up, 0);
        EXPECT_EQ(updated, 255u);
      } else if (ret == 0) {
        EXPECT_EQ(finger, p.master - 30);
        if (up == 0) {
          EXPECT_EQ(updated, finger);
        }
      }
      for (int f = 0; f < 4; ++f) {
        const int grown = up == 0 && static_cast<int>(updated) == f ? 1 : 0;
        EXPECT_EQ(Finger(f).currentSubtemplatesNum, counts[f] + grown) << "finger " << f;
      }
    }
  }
  int total = 0;
  for (int f = 0; f < 4; ++f) total += Finger(f).currentSubtemplatesNum;
  EXPECT_GT(total, 4 * 4 + 8) << "genuine presses grew their fingers";
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

// The score the update reaches against tpl: forward, and the reverse
// comparison when the forward one is 5 or more and it does better.
int UpdateScore(const ST_SubTemplate *sample, const ST_SubTemplate *tpl) {
  ST_FullHMatrix H{};
  const int s = ZqVerifyTwoTemplate(sample, tpl, &H, 0, 1);
  if (s < 5) return s;
  const int r = ZqVerifyTwoTemplate(tpl, sample, &H, 0, 1);
  return r > s ? r : s;
}

class ReplacementTest : public TemplateUpdateTest {
 protected:
  // Puts copies of the presses into slots 0..count-1 of finger f, each its
  // own root without relations, and finalises the finger.
  void Fill(int f, const std::vector<ST_SubTemplate *> &presses, int count) {
    ST_QuorvEnrollTemplate &fr = Finger(f);
    for (int i = 0; i < count; ++i) {
      ST_SubTemplate &s = fr.subtemplates[i];
      ASSERT_EQ(ZqSubTemplateCopy(&s, presses[i % presses.size()]), 0);
      s.rootIndex = static_cast<uint16_t>(i);
      s.rootHmatrix = ST_FullHMatrix{};
      std::memset(s.simpleHmatrix, 0, sizeof s.simpleHmatrix);
      std::memset(s.coinFlg, 0, sizeof s.coinFlg);
      s.replacedFlg = 0;
    }
    fr.currentSubtemplatesNum = static_cast<uint16_t>(count);
    ASSERT_EQ(ZqSetTplValidFlag(static_cast<uint16_t>(f)), 0);
  }
  // A press of m far enough off `near` to reach only a weak score (1..19,
  // in *v) against it; NULL when none of the tried presses does.
  ST_SubTemplate *WeakPress(const fingers::MasterFinger &m, const ST_SubTemplate *near, int *v) {
    const double offsets[][2] = {{56, 0}, {0, 58}, {50, 44}, {60, 30}, {64, 0}, {45, 50}, {66, 20}, {0, 68}};
    for (int k = 0; k < 8; ++k) {
      ST_SubTemplate *s = Keep(Press(m, 20 + k, offsets[k][0], offsets[k][1], 0.1));
      *v = UpdateScore(s, near);
      if (*v >= 1 && *v <= 19) return s;
    }
    return nullptr;
  }
};

TEST_F(ReplacementTest, OneLevelOneRelationIsNoDecisionTwoQualify) {
  const fingers::MasterFinger m = Master(4);
  ST_SubTemplate *near = Keep(Press(m, 0, 0, 0));
  ST_SubTemplate *other = Keep(Press(Master(5), 0, 0, 0));
  int v = 0;
  ST_SubTemplate *sample = WeakPress(m, near, &v);
  ASSERT_NE(sample, nullptr) << "no press with a weak score";
  ASSERT_LT(UpdateScore(sample, other), v);
  // Update level v + 9: v reaches the level below (code 1), not the level.
  ZqSetUpdateTemplateFarLevel(static_cast<uint8_t>(v + 9));

  Fill(4, {near, other}, 2);
  Offer(sample, 4);
  gQuorvTempalteBufInfor->bufUpdateState = 0;
  uint32_t updated = 77;
  EXPECT_EQ(ZqTemplateUpdate(1, &updated), -2);
  EXPECT_EQ(updated, 77u);
  EXPECT_EQ(Finger(4).currentSubtemplatesNum, 2);
  EXPECT_EQ(gQuorvTempalteBufInfor->bufUpdateState, 1) << "no decision: the buffer may keep it";
  EXPECT_TRUE(Logged("ZqTemplateUpdate...update FAIL, ret = -2"));

  Fill(4, {near, near}, 2);
  Offer(sample, 4);
  ASSERT_EQ(ZqTemplateUpdate(1, &updated), 0);
  EXPECT_EQ(updated, 4u);
  ASSERT_EQ(Finger(4).currentSubtemplatesNum, 3);
  const ST_SubTemplate &added = Finger(4).subtemplates[2];
  EXPECT_EQ(ZqGetCoinFlg(added.coinFlg, 0), 1);
  EXPECT_EQ(ZqGetCoinFlg(added.coinFlg, 1), 1);
  EXPECT_EQ(added.rootIndex, 2) << "no match at the update level: a root of its own";
  const ST_FullHMatrix zero{};
  EXPECT_EQ(std::memcmp(&added.rootHmatrix, &zero, sizeof zero), 0);
}

TEST_F(ReplacementTest, FullFingerRotatesThroughItsDynamicSlots) {
  ZqSetAlgMaxTplCnt(48);
  const fingers::MasterFinger m = Master(6);
  std::vector<ST_SubTemplate *> presses;
  const double grid[4][2] = {{0, 0}, {14, 0}, {0, 14}, {14, 14}};
  for (int k = 0; k < 4; ++k) presses.push_back(Keep(Press(m, k, grid[k][0], grid[k][1])));
  Fill(7, presses, 48);
  // The fixed slots added nearly everything: only the rotation may take
  // them.
  for (int i = 0; i < 32; ++i) Finger(7).subtemplates[i].extendArea = 99;
  for (int i = 32; i < 48; ++i) Finger(7).subtemplates[i].extendArea = 40;

  std::set<int> replaced;
  for (int k = 0; k < 17; ++k) {
    SCOPED_TRACE(k);
    Offer(Keep(Press(m, 30 + k, 7 + (k % 4) * 2, 9 - (k % 3) * 3, 0.05 * (k % 3))), 7);
    uint32_t updated = 77;
    ASSERT_EQ(ZqTemplateUpdate(1, &updated), 0);
    EXPECT_EQ(updated, 7u);
    EXPECT_EQ(int32_t{gQuorvMachInfo.updataMode}, 6);
    const int x = gUpdateTemplateId;
    EXPECT_EQ(int32_t{gQuorvMachInfo.updateIndex}, x);
    ASSERT_GE(x, 32);
    ASSERT_LT(x, 48);
    EXPECT_EQ(Finger(7).currentSubtemplatesNum, 48);
    EXPECT_EQ(Finger(7).subtemplates[x].replacedFlg, 1);
    if (k < 16) {
      EXPECT_TRUE(replaced.insert(x).second) << "slot " << x << " replaced twice in one cycle";
    } else {
      // A new cycle: the other marks were cleared.
      int marked = 0;
      for (int i = 32; i < 48; ++i) marked += Finger(7).subtemplates[i].replacedFlg;
      EXPECT_EQ(marked, 1);
    }
  }
  EXPECT_EQ(replaced.size(), 16u);
  EXPECT_TRUE(Logged("ZqTemplateUpdate...update success, condition 6:  replace dynamic subtemplate, "
                     "finger_id[7]"));
}

TEST_F(ReplacementTest, FingerHoldingMoreThanTheLimitIsUpdatedInPlace) {
  // A loaded template may hold more sub-templates than algMaxTplCount: every
  // one is compared (the work arrays hold them all), nothing is added, and
  // replacements rotate through the dynamic slots below the limit; the
  // slots past it stay as loaded.
  ZqSetAlgMaxTplCnt(48);
  const fingers::MasterFinger m = Master(6);
  std::vector<ST_SubTemplate *> presses;
  const double grid[4][2] = {{0, 0}, {14, 0}, {0, 14}, {14, 14}};
  for (int k = 0; k < 4; ++k) presses.push_back(Keep(Press(m, k, grid[k][0], grid[k][1])));
  Fill(7, presses, 60);
  for (int i = 0; i < 60; ++i) Finger(7).subtemplates[i].extendArea = 40;
  std::set<int> replaced;
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    Offer(Keep(Press(m, 30 + k, 7 + k * 2, 9 - k * 3, 0.05 * k)), 7);
    uint32_t updated = 77;
    ASSERT_EQ(ZqTemplateUpdate(1, &updated), 0);
    EXPECT_EQ(updated, 7u);
    EXPECT_EQ(Finger(7).currentSubtemplatesNum, 60);
    const int x = gUpdateTemplateId;
    EXPECT_GE(x, 32);
    EXPECT_LT(x, 48);
    EXPECT_TRUE(replaced.insert(x).second);
  }
}

TEST_F(ReplacementTest, NearlyTheSamePressReplacesAFixedSlotThatAddsLess) {
  ZqSetAlgMaxTplCnt(3);  // K = 2: slots 0 and 1 fixed, 2 rotating
  const fingers::MasterFinger m = Master(8);
  ST_SubTemplate *base = Keep(Press(m, 0, 0, 0));
  ST_SubTemplate *other = Keep(Press(Master(9), 0, 0, 0));
  ST_SubTemplate *third = Keep(Press(Master(10), 0, 0, 0));
  Fill(1, {other, base, third}, 3);
  Finger(1).subtemplates[1].extendArea = 0;
  Finger(1).subtemplates[1].templateExtra = 0x5c;  // recognisable in the extra buffer
  const int coverage = Finger(1).coverageArea;
  ST_SubTemplate *sample = Keep(Press(m, 1, 3, 3, 0.09));
  Offer(sample, 1);
  ASSERT_EQ(ZqTemplateUpdate(1, nullptr), 0);
  EXPECT_EQ(int32_t{gQuorvMachInfo.updataMode}, 2);
  EXPECT_EQ(gUpdateTemplateId, 1);
  const ST_SubTemplate &now = Finger(1).subtemplates[1];
  ASSERT_EQ(now.featBufSize, sample->featBufSize);
  EXPECT_EQ(std::memcmp(now.pTemplateFeature, sample->pTemplateFeature, now.featBufSize), 0);
  EXPECT_EQ(now.replacedFlg, 1);
  EXPECT_EQ(now.rootIndex, 1);
  EXPECT_EQ(Finger(1).coverageArea, coverage) << "replacements add no coverage";
  // The replaced press went to the extra-template buffer under its finger.
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[0], 1);
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->quorvTemplateExtraInfor[0].templateExtra, 0x5c);
}

// A sample related at the update level is marked code 3 against a
// sub-template only when they share more than 80 % of the frame. On frames
// where 80 % is a whole number of pixels, exactly 80 % stays code 2. The
// sample is the sub-template's own press (identity transform) with valid
// pixels 0 .. shared - 1 only; the sub-template is valid everywhere.
TEST_F(ReplacementTest, CodeThreeNeedsMoreThanEightyPercentOfTheFrame) {
  const fingers::MasterFinger m = Master(11);
  const struct {
    int32_t cols, rows;
    uint32_t shared;
    int code;
  } cases[] = {
      {80, 64, 4096, 2}, {80, 64, 4097, 3}, {50, 50, 2000, 2}, {50, 50, 2001, 3},
      {96, 96, 7372, 2}, {96, 96, 7373, 3},
  };
  const int32_t cols = gSensorInfor.cols, rows = gSensorInfor.rows;
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.cols << " x " << c.rows << ", " << c.shared << " shared");
    ST_SubTemplate *tpl = Keep(Press(m, 0, 0, 0));
    ST_SubTemplate *sample = Keep(Press(m, 0, 0, 0));
    for (uint32_t i = 0; i < tpl->maskBufSize * 8u; ++i) ZqPixBitMapSetBit(tpl->templatePixValid, i, 1);
    for (uint32_t i = 0; i < sample->maskBufSize * 8u; ++i)
      ZqPixBitMapSetBit(sample->templatePixValid, i, i < c.shared ? 1 : 0);
    Fill(5, {tpl}, 1);
    Offer(sample, 5);
    gSensorInfor.cols = c.cols;
    gSensorInfor.rows = c.rows;
    const int ret = ZqTemplateUpdate(1, nullptr);
    gSensorInfor.cols = cols;
    gSensorInfor.rows = rows;
    ASSERT_EQ(ret, 0);
    ASSERT_EQ(Finger(5).currentSubtemplatesNum, 2);
    EXPECT_EQ(ZqGetCoinFlg(Finger(5).subtemplates[1].coinFlg, 0), c.code);
  }
}

TEST_F(ReplacementTest, ModeTwoSkipsAWeakUpdateUnlessUpdatesOrMatchesHaveBeenSucceeding) {
  gSensorInfor.algoMode = 2;
  const fingers::MasterFinger m = Master(17);
  ST_SubTemplate *near = Keep(Press(m, 0, 0, 0));
  int v = 0;
  ST_SubTemplate *sample = WeakPress(m, near, &v);
  ASSERT_NE(sample, nullptr) << "no press with a weak score";
  ASSERT_GE(v, 2);
  // The update score v - 1: the sample qualifies (code 2), and its best
  // score v is at most that score + 1.
  ZqSetUpdateTemplateFarLevel(static_cast<uint8_t>(v + 7));
  const struct {
    uint8_t algoMode, adjust, updates, matches;
    int ret;
  } cases[] = {
      {2, 1, 0, 2, -2}, {2, 1, 1, 0, 0}, {2, 1, 0, 3, 0}, {1, 1, 0, 0, 0}, {2, 0, 0, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.algoMode) << " adjust " << int(c.adjust)
                                    << " updates " << int(c.updates) << " matches " << int(c.matches));
    LogLines().clear();
    Fill(2, {near}, 1);
    gSensorInfor.algoMode = c.algoMode;
    gSensorInfor.adjustMatchEn = c.adjust;
    gAutoMatchLevel.continueSucessUpdateNum = c.updates;
    gAutoMatchLevel.continueSucessMatchNum = c.matches;
    Offer(sample, 2);
    uint32_t updated = 77;
    EXPECT_EQ(ZqTemplateUpdate(1, &updated), c.ret);
    EXPECT_EQ(Finger(2).currentSubtemplatesNum, c.ret == 0 ? 2 : 1);
    if (c.ret == -2) {
      EXPECT_EQ(updated, 77u) << "decided before the relations";
      char line[256];
      snprintf(line, sizeof line,
               "ZqTemplateUpdate...NO need update, ucMaxMatchPointNum( = %d) <= updateFarLevel + 1( = %d), "
               "continueSucessUpdateNum( = 0) < 1, continueSucessMatchNum( = 2) < 3",
               v, v);
      EXPECT_TRUE(Logged(line));
    }
  }
}

}  // namespace
