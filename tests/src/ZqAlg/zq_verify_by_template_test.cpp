// Identification against the enrolled store: presses of synthetic fingers
// extracted by the library's own front end, enrolled or placed in the
// store, then searched at the driver's configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/FpSensorLib/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_alg_state.h"
#include "zq_press_fixture.h"

namespace {

using zq_test::Crop;
using zq_test::MotionError;
using zq_test::Press;

fingers::MasterFinger Master(int finger) { return zq_test::PressMaster(finger); }

using VerifyByTemplateTest = zq_test::VerifyStoreTest;

TEST_F(VerifyByTemplateTest, NullArgumentsAreRefusedAfterTheKeptResultsAreCleared) {
  const fingers::MasterFinger m = Master(0);
  Crop p = Press(m, 0, 0, 0);
  uint16_t fid = 7;
  int16_t upd = 1;
  ST_FullHMatrix H{};
  struct Case {
    const char *what;
    const ST_SubTemplate *sample;
    uint16_t *fid;
    int16_t *upd;
    ST_FullHMatrix *H;
  };
  const Case cases[] = {{"sample", nullptr, &fid, &upd, &H},
                        {"finger id", p.sample.get(), nullptr, &upd, &H},
                        {"update flag", p.sample.get(), &fid, nullptr, &H},
                        {"transform", p.sample.get(), &fid, &upd, nullptr}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    gVerifyScores = 9;
    gVerifyFingerId = 3;
    gVerifyTemplateId = 4;
    gNumRefusedByClassifier = 2;
    gMulCheckFar = 1;
    gForeignBodyCutCnt = 5;
    gQuorvMachInfo.fingerId = 4;
    gQuorvMachInfo.matchScore = 12;
    gQuorvMatchPriority->fingerRingPos = 7;
    EXPECT_EQ(ZqVerifyByTemplate(c.sample, c.fid, c.upd, c.H, 0), -1);
    EXPECT_EQ(gVerifyScores, 0);
    EXPECT_EQ(gVerifyFingerId, 255);
    EXPECT_EQ(gVerifyTemplateId, 255);
    EXPECT_EQ(gNumRefusedByClassifier + gMulCheckFar + gForeignBodyCutCnt, 0);
    EXPECT_EQ(+gQuorvMachInfo.fingerId, 255);
    EXPECT_EQ(+gQuorvMachInfo.matchScore, 0);
    EXPECT_EQ(fid, 7);  // outputs untouched
    EXPECT_EQ(upd, 1);
    EXPECT_EQ(gQuorvMatchPriority->fingerRingPos, 7u);  // history untouched
  }
}

TEST_F(VerifyByTemplateTest, EmptyStoreComparesNothingAndKeepsTheSampleForTheBuffer) {
  const fingers::MasterFinger m = Master(1);
  Crop p = Press(m, 0, 0, 0);
  // Levels 0 to 3 ask for a score of 0, which the empty search reaches.
  const struct {
    uint8_t level;
    int expected;
  } cases[] = {{14, -1}, {4, -1}, {3, -7}, {0, -7}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "level " << +c.level);
    ZqSetAlgFarLevel(c.level);
    gMatchInfoTwo.ransacNum = 77;  // any comparison clears the pair record
    gQuorvTempalteBufInfor->bufVerifyState = 9;
    const Outcome o = Identify(p.sample.get());
    EXPECT_EQ(o.ret, c.expected);
    EXPECT_EQ(o.fid, 255);
    EXPECT_EQ(o.upd, 0);
    EXPECT_EQ(+gMatchInfoTwo.ransacNum, 77);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFingerId, 255);
    EXPECT_EQ(gQuorvTempalteBufInfor->bufVerifyState, 0);
    const ST_SubTemplate &kept = gQuorvTempalteBufInfor->bufSample;
    ASSERT_EQ(kept.featBufSize, p.sample->featBufSize);
    EXPECT_EQ(std::memcmp(kept.pTemplateFeature, p.sample->pTemplateFeature, kept.featBufSize), 0);
    // The report carries the sample's quality bytes and the threshold.
    EXPECT_EQ(+gQuorvMachInfo.quality, 80);
    EXPECT_EQ(+gQuorvMachInfo.extraQuality, 3);
    EXPECT_EQ(+gQuorvMachInfo.matchScoreThr, gMatchScores[c.level]);
    EXPECT_EQ(+gMatchInfoTwoDebug.sampleQuality, 80);
  }
}

TEST_F(VerifyByTemplateTest, OnlyTheFirstIdentificationOfTheProcessResetsTheHistory) {
  const fingers::MasterFinger m = Master(1);
  Crop p = Press(m, 0, 0, 0);
  ST_QuorvMatchPriority &h = *gQuorvMatchPriority;
  const auto plant = [&h] {
    h.fingerRing[0] = 1;
    h.fingerRingPos = 7;
    h.subTempRing[4][2] = 3;
    h.subTempRingPos[4] = 5;
  };
  plant();
  Identify(p.sample.get());
  EXPECT_EQ(h.fingerRing[0], ZQ_RING_EMPTY);
  EXPECT_EQ(h.fingerRingPos, 0u);
  EXPECT_EQ(h.subTempRing[4][2], ZQ_RING_EMPTY);
  EXPECT_EQ(h.subTempRingPos[4], 0u);
  plant();
  Identify(p.sample.get());
  // Finger 1 is not valid: its entry is erased; the rest stays.
  EXPECT_EQ(h.fingerRing[0], 255u);
  EXPECT_EQ(h.fingerRingPos, 7u);
  EXPECT_EQ(h.subTempRing[4][2], 3u);
  EXPECT_EQ(h.subTempRingPos[4], 5u);
}

// Five fingers, eight crops each, enrolled; held-out presses identified.
TEST_F(VerifyByTemplateTest, HeldOutPressFindsItsFingerAndImpostorsFindNone) {
  struct Offset {
    double dx, dy;
  };
  const Offset grid[8] = {{-18, -18}, {0, -18}, {18, -18}, {-18, 0},
                          {0, 0},     {18, 0},  {-18, 18}, {0, 18}};
  std::vector<std::vector<Crop>> crops(5);
  for (int f = 0; f < 5; ++f) {
    const fingers::MasterFinger m = Master(f);
    for (int i = 0; i < 8; ++i) crops[f].push_back(Press(m, i, grid[i].dx, grid[i].dy));
    Enroll(f, crops[f]);
  }
  const int T = gMatchScores[14];

  // A held-out press of finger 3, moved and turned.
  const fingers::MasterFinger m3 = Master(3);
  Crop probe = Press(m3, 20, 10, 12, 0.12);
  Outcome o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 3);
  EXPECT_EQ(o.upd, 1);
  EXPECT_GE(gVerifyScores, T);
  EXPECT_EQ(gVerifyFingerId, 3);
  const int best = gVerifyTemplateId;
  ASSERT_TRUE(best >= 0 && best < 8) << best;
  EXPECT_LT(MotionError(o.H, probe, crops[3][best]), 2.0);
  EXPECT_EQ(std::memcmp(&o.H, &gMatchHmatrix, sizeof o.H), 0);
  EXPECT_EQ(gVerifyScore, 2 * gVerifyScores);

  // The update record holds the sample, marked against every sub-template
  // tried before the match (the order is 0..7 without history).
  const ST_QuorvTempupdateInfor &rec = *gQuorvTempupdateInfor;
  EXPECT_EQ(rec.updateFingerId, 3);
  EXPECT_EQ(rec.updateFlag, 1);
  EXPECT_EQ(rec.updateTag, gVerifyScores);
  ASSERT_EQ(rec.updateVerifyTemplate.featBufSize, probe.sample->featBufSize);
  EXPECT_EQ(std::memcmp(rec.updateVerifyTemplate.pTemplateFeature, probe.sample->pTemplateFeature,
                        probe.sample->featBufSize),
            0);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(ZqGetCoinFlg(rec.updateVerifyTemplate.coinFlg, static_cast<uint8_t>(i)),
              i < best ? 1 : 0)
        << i;
  EXPECT_EQ(gQuorvTempalteBufInfor->bufVerifyState, 1);
  EXPECT_EQ(gQuorvTempalteBufInfor->bufVerifyFingerId, 3);

  // The history learned the match; the report lists finger 3's order.
  const ST_QuorvMatchPriority &h = *gQuorvMatchPriority;
  EXPECT_EQ(h.fingerRing[0], 3u);
  EXPECT_EQ(h.fingerRingPos, 1u);
  EXPECT_EQ(h.subTempRing[3][0], static_cast<uint32_t>(best));
  EXPECT_EQ(h.subTempRingPos[3], 1u);
  std::string report = Report();
  EXPECT_NE(report.find("fingerId = 3, matchIndex = " + std::to_string(best) + ", matchExtra = 0"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("subTempNum = 8\nsubTempIndex = 0-0, 1-0, 2-0, 3-0, 4-0, 5-0, 6-0, 7-0, \n"),
            std::string::npos)
      << report;

  // Another press of finger 3: the learned sub-template leads the order.
  Crop again = Press(m3, 21, -8, 6, -0.08);
  o = Identify(again.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 3);
  report = Report();
  EXPECT_NE(report.find("subTempIndex = " + std::to_string(best) + "-1, "), std::string::npos)
      << report;

  // Presses of masters that were never enrolled.
  for (int stranger = 5; stranger < 8; ++stranger) {
    SCOPED_TRACE(testing::Message() << "master " << stranger);
    const fingers::MasterFinger ms = Master(stranger);
    Crop imp = Press(ms, 3, 6, -6, 0.05);
    o = Identify(imp.sample.get());
    EXPECT_LT(o.ret, 0);
    EXPECT_EQ(o.fid, 255);
    EXPECT_EQ(o.upd, 0);
    EXPECT_LT(gVerifyScores, T);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFingerId, 255);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, 0);
  }
  // The failures taught the history nothing.
  EXPECT_EQ(h.fingerRingPos, 2u);
}

// Two fingers holding presses of one master: the earlier finger in the
// search order wins, whatever the later one would score.
TEST_F(VerifyByTemplateTest, ThresholdIsInclusiveAndTheEarlierFingerWinsATie) {
  const fingers::MasterFinger m = Master(2);
  Crop probe = Press(m, 0, 0, 0);
  Crop moved = Press(m, 1, 44, -30, 0.3);  // a weak genuine match
  ZqSetForeignBodyTest(0);
  ST_FullHMatrix h{};
  const int weak = ZqVerifyTwoTemplate(probe.sample.get(), moved.sample.get(), &h, 1, 0);
  const int same = ZqVerifyTwoTemplate(probe.sample.get(), probe.sample.get(), &h, 1, 0);
  ASSERT_GE(weak, gMatchScores[14]);
  ASSERT_GT(same, weak);
  Place(2, {moved.sample.get()});
  Place(6, {probe.sample.get()});

  Outcome o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 2);
  EXPECT_EQ(gVerifyScores, weak);

  // Finger 6 has the longer history now: it is searched first.
  ST_QuorvMatchPriority &hist = *gQuorvMatchPriority;
  hist.fingerRing[10] = 6;
  hist.fingerRing[11] = 6;
  o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 6);
  EXPECT_EQ(gVerifyScores, same);

  // The level whose threshold is exactly the weak score accepts it; one
  // above rejects (the reverse comparison cannot lift it there either).
  ZqDelTpl(6);
  int level = -1;
  for (int l = 0; l < ZQ_FAR_LEVEL_COUNT; ++l)
    if (gMatchScores[l] == weak) level = l;
  ASSERT_GE(level, 0);
  ASSERT_LT(level, ZQ_FAR_LEVEL_COUNT - 1);
  ZqSetAlgFarLevel(static_cast<uint8_t>(level));
  ASSERT_EQ(ZqVerifyTwoTemplate(probe.sample.get(), moved.sample.get(), &h, 1, 0), weak);
  o = Identify(probe.sample.get());
  EXPECT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 2);
  EXPECT_EQ(gVerifyScores, weak);
  ZqSetAlgFarLevel(static_cast<uint8_t>(level + 1));
  const int forward = ZqVerifyTwoTemplate(probe.sample.get(), moved.sample.get(), &h, 1, 0);
  const int reverse = ZqVerifyTwoTemplate(moved.sample.get(), probe.sample.get(), &h, 1, 0);
  ASSERT_LT(std::max(forward, reverse), gMatchScores[level + 1]);
  o = Identify(probe.sample.get());
  EXPECT_EQ(o.ret, -1);
  EXPECT_EQ(o.fid, 255);
  EXPECT_EQ(gVerifyScores, std::max(forward, reverse));
}

TEST_F(VerifyByTemplateTest, FiftyMatchesWrapTheFingerRing) {
  const fingers::MasterFinger a = Master(3), b = Master(4);
  Crop tplA = Press(a, 0, 0, 0), tplB = Press(b, 0, 0, 0);
  Crop probeA = Press(a, 1, 10, 8, 0.05), probeB = Press(b, 1, -9, 10, -0.05);
  Place(1, {tplA.sample.get()});
  Place(8, {tplB.sample.get()});
  const ST_QuorvMatchPriority &h = *gQuorvMatchPriority;
  for (int i = 0; i < ZQ_FINGER_RING_SIZE; ++i) {
    const Outcome o = Identify(probeA.sample.get());
    ASSERT_EQ(o.ret, 0) << i;
    ASSERT_EQ(o.fid, 1) << i;
  }
  EXPECT_EQ(h.fingerRingPos, 0u);
  for (uint32_t e : h.fingerRing) EXPECT_EQ(e, 1u);
  EXPECT_EQ(h.subTempRingPos[1], 10u);  // 50 entries through a ring of 20
  for (uint32_t e : h.subTempRing[1]) EXPECT_EQ(e, 0u);

  const Outcome o = Identify(probeB.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 8);
  EXPECT_EQ(h.fingerRing[0], 8u);  // the oldest entry went first
  EXPECT_EQ(h.fingerRing[1], 1u);
  EXPECT_EQ(h.fingerRingPos, 1u);
}

// A history that names sub-templates a finger no longer holds must not
// hide the ones it holds.
TEST_F(VerifyByTemplateTest, StaleHistoryDoesNotHideAHeldSubTemplate) {
  const fingers::MasterFinger m = Master(0), other = Master(6);
  Crop foreign = Press(other, 0, 0, 0);
  Crop tpl = Press(m, 0, 0, 0);
  Crop probe = Press(m, 1, 12, 9, 0.1);
  // The first identification of the process resets the history: past it,
  // the planted history stays.
  ASSERT_EQ(Identify(foreign.sample.get()).ret, -1);
  Place(5, {foreign.sample.get(), tpl.sample.get()});
  for (uint32_t &e : gQuorvMatchPriority->subTempRing[5]) e = 90;
  const Outcome o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 5);
  EXPECT_EQ(gVerifyTemplateId, 1);
}

// A comparison that fails with an error scores nothing, even where the
// level asks for no score at all.
TEST_F(VerifyByTemplateTest, ComparisonErrorsAreNeverAccepted) {
  const fingers::MasterFinger m = Master(1);
  Crop tpl = Press(m, 0, 0, 0);
  Crop probe = Press(m, 1, 10, 10);
  Place(4, {tpl.sample.get()});
  ST_SubTemplate &broken = gEnrolledTemplate[4]->subtemplates[0];
  ZqSafeFree(broken.pTemplateFeature);
  broken.pTemplateFeature = nullptr;
  broken.featBufSize = 0;
  for (uint8_t level : {14, 0}) {
    SCOPED_TRACE(testing::Message() << "level " << +level);
    ZqSetAlgFarLevel(level);
    const Outcome o = Identify(probe.sample.get());
    EXPECT_EQ(o.ret, level == 0 ? -7 : -1);
    EXPECT_EQ(o.fid, 255);
    EXPECT_EQ(gVerifyFingerId, 255);
    EXPECT_EQ(gQuorvMatchPriority->fingerRingPos, 0u);
    EXPECT_EQ(gQuorvMatchPriority->fingerRing[0], ZQ_RING_EMPTY);
  }
}

}  // namespace
