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
#include "src/ZqAlg/quorv_action_mode.h"
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
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLoader.h"
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
  EXPECT_NE(
      report.find("subTempNum = 8\nsubTempIndex = 0-0, 1-0, 2-0, 3-0, 4-0, 5-0, 6-0, 7-0, \n"),
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

// Every finger's first-ranked sub-template is tried before any finger's
// second: finger 0 holds a stranger first and press A second, finger 1
// holds press B. Both presses match the probe, but finger 1's first rank
// comes before finger 0's second, so finger 1 is found and the update is
// prepared for it.
TEST_F(VerifyByTemplateTest, FirstRanksOfAllFingersComeBeforeAnySecondRank) {
  const fingers::MasterFinger m = Master(2), other = Master(6);
  Crop stranger = Press(other, 0, 0, 0);
  Crop pressA = Press(m, 0, 0, 0);
  Crop pressB = Press(m, 2, -8, 6, -0.1);
  Crop probe = Press(m, 1, 10, 8, 0.05);
  ST_FullHMatrix h{};
  ASSERT_GE(ZqVerifyTwoTemplate(probe.sample.get(), pressA.sample.get(), &h, 1, 0),
            gMatchScores[14]);
  ASSERT_GE(ZqVerifyTwoTemplate(probe.sample.get(), pressB.sample.get(), &h, 1, 0),
            gMatchScores[14]);
  Place(0, {stranger.sample.get(), pressA.sample.get()});
  Place(1, {pressB.sample.get()});

  const Outcome o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 1);
  EXPECT_EQ(o.upd, 1);
  EXPECT_EQ(gVerifyFingerId, 1);
  EXPECT_EQ(gVerifyTemplateId, 0);
  EXPECT_EQ(gQuorvTempupdateInfor->updateFingerId, 1);
  EXPECT_EQ(gQuorvMatchPriority->fingerRing[0], 1u);
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

namespace {

// What an identification produced, to compare bit for bit.
struct Result {
  int ret;
  uint16_t fid;
  int16_t upd;
  int32_t score, sub;
  ST_FullHMatrix H;
  ST_QuorvMachInfo report;
};

Result IdentifyFresh(const ST_SubTemplate *probe) {
  ZqResetMatchPriority(gQuorvMatchPriority);  // the same history every time
  Result r{};
  r.ret = ZqVerifyByTemplate(probe, &r.fid, &r.upd, &r.H, 0);
  r.score = gVerifyScores;
  r.sub = gVerifyTemplateId;
  GetMachInfo(&r.report);
  return r;
}

TEST_F(VerifyByTemplateTest, SavedDeletedAndReloadedFingersIdentifyBitForBit) {
  std::vector<std::vector<Crop>> crops(2);
  for (int f = 0; f < 2; ++f) {
    const fingers::MasterFinger m = Master(f + 5);
    for (int i = 0; i < 4; ++i)
      crops[f].push_back(Press(m, i, 16.0 * (i % 2) - 8, 16.0 * (i / 2) - 8));
    Enroll(f + 1, crops[f]);
  }
  std::vector<Crop> probes;
  probes.push_back(Press(Master(5), 9, 5, 9, 0.1));
  probes.push_back(Press(Master(6), 9, -9, 4, -0.1));
  probes.push_back(Press(Master(7), 9, 0, 0));
  std::vector<Result> before;
  for (const Crop &p : probes) before.push_back(IdentifyFresh(p.sample.get()));
  ASSERT_EQ(before[0].ret, 0);
  ASSERT_EQ(before[1].ret, 0);
  EXPECT_EQ(before[0].fid, 1);
  EXPECT_EQ(before[1].fid, 2);
  EXPECT_LT(before[2].ret, 0);

  for (int f = 1; f <= 2; ++f) {
    std::vector<uint8_t> blob(ZqGetTplDataSize(static_cast<uint16_t>(f)));
    uint8_t type = 0;
    uint32_t size = 0;
    ASSERT_EQ(ZqSaveTplData(static_cast<int16_t>(f), &type, &size, blob.data()), 0);
    ASSERT_EQ(ZqDelTpl(static_cast<uint16_t>(f)), 0);
    ASSERT_EQ(ZqIniAlgTplData(static_cast<int16_t>(f), type, size, blob.data()), 0);
  }
  for (size_t i = 0; i < probes.size(); ++i) {
    SCOPED_TRACE(i);
    const Result after = IdentifyFresh(probes[i].sample.get());
    EXPECT_EQ(after.ret, before[i].ret);
    EXPECT_EQ(after.fid, before[i].fid);
    EXPECT_EQ(after.upd, before[i].upd);
    EXPECT_EQ(after.score, before[i].score);
    EXPECT_EQ(after.sub, before[i].sub);
    EXPECT_EQ(std::memcmp(&after.H, &before[i].H, sizeof after.H), 0);
    EXPECT_EQ(std::memcmp(&after.report, &before[i].report, sizeof after.report), 0);
  }
}

}  // namespace

namespace {

// The members of finger 3's group besides sub-template 0, placed by the
// stored transforms (shift sx, +10 and -10 px) whether or not that is where
// they lie.
void JoinGroup(float sx) {
  for (int k = 1; k < 3; ++k) {
    ST_SubTemplate &t = gEnrolledTemplate[3]->subtemplates[k];
    t.rootIndex = 0;
    t.rootHmatrix = ST_FullHMatrix{1, 0, sx, 0, 1, k == 1 ? 10.0f : -10.0f, 0, 0, 1, 0};
  }
}

// A weak-looking match (matchScore at most 8) is confirmed by the other
// members of its group when the cross-check is on.
TEST_F(VerifyByTemplateTest, CrossCheckDecidesWeakLookingMatches) {
  const fingers::MasterFinger m = Master(2);
  Crop probe = Press(m, 0, 0, 0);
  Crop weak = Press(m, 1, 43, -30, 0.2);
  Crop near1 = Press(m, 7, -6, 7), near2 = Press(m, 17, 5, 1, -0.1);
  Crop other1 = Press(Master(11), 0, 0, 0), other2 = Press(Master(12), 0, 0, 0);
  ZqSetMulTemplateCrossCheckEn(1);
  struct Case {
    const char *what;
    const ST_SubTemplate *a, *b;
    float sx;
    bool crossCheck;
    int32_t sub, cuts;
    int16_t upd;
    uint16_t code, count;
  };
  const Case cases[] = {
      {"cross-check off", near1.sample.get(), near2.sample.get(), 8, false, 0, 0, 1, 0, 0},
      // Members that cover the match but see nothing of the sample: only
      // weak support, so no template update.
      {"weak support", other1.sample.get(), other2.sample.get(), -30, true, 0, 0, 0, 12, 1},
      // A member that matches the sample elsewhere than its stored place
      // rejects sub-template 0; the search goes on and accepts member 1.
      {"rejected, then a later one", near1.sample.get(), near2.sample.get(), 8, true, 1, 1, 1,
       static_cast<uint16_t>(-31), 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ZqSetMulTemplateCrossCheckEn(c.crossCheck ? 1 : 0);
    ZqClearErollTemplate(3);
    Place(3, {weak.sample.get(), c.a, c.b});
    JoinGroup(c.sx);
    ZqResetMatchPriority(gQuorvMatchPriority);
    const Outcome o = Identify(probe.sample.get());
    ASSERT_EQ(o.ret, 0);
    EXPECT_EQ(o.fid, 3);
    EXPECT_EQ(o.upd, c.upd);
    EXPECT_EQ(gVerifyTemplateId, c.sub);
    EXPECT_EQ(gMulCheckFar, c.cuts);
    EXPECT_EQ(+gQuorvMachInfo.crossCheckCode, c.code);
    EXPECT_EQ(+gQuorvMachInfo.crossCheckCnt, c.count);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, c.upd);
    EXPECT_EQ(gQuorvTempalteBufInfor->bufVerifyState, c.upd);
    // A rejected candidate counts as compared: the update skips it.
    EXPECT_EQ(ZqGetCoinFlg(gQuorvTempupdateInfor->updateVerifyTemplate.coinFlg, 0), c.cuts);
  }
}

}  // namespace

namespace {

// Only the identify family hands the sample on to the update and keeps the
// report; enrolment's duplicate check only learns the answer.
TEST_F(VerifyByTemplateTest, ActionModeDecidesWhatTheMatchHandsOn) {
  const fingers::MasterFinger m = Master(4);
  Crop tpl = Press(m, 0, 0, 0);
  Crop probe = Press(m, 1, 9, 11, 0.1);
  Place(7, {tpl.sample.get()});
  const struct {
    uint32_t mode;
    bool handsOn, clearsReport;
  } cases[] = {{QUORV_ACTION_IDLE, false, false},
               {QUORV_ACTION_ENROLL, false, true},
               {QUORV_ACTION_IDENTIFY, true, true},
               {QUORV_ACTION_IDENTIFY_RETRY, true, true},
               {QUORV_ACTION_IDENTIFY_RESCAN, true, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    ZqResetMachInfoRecord();
    gQuorvMachInfo.updateIndex = 17;
    ZqClearSubTemplate(&gQuorvTempupdateInfor->updateVerifyTemplate);
    gQuorvActionMode = c.mode;
    const Outcome o = Identify(probe.sample.get());
    ASSERT_EQ(o.ret, 0);
    EXPECT_EQ(o.fid, 7);
    EXPECT_EQ(o.upd, 1);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFingerId, c.handsOn ? 7 : 255);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, c.handsOn ? 1 : 0);
    EXPECT_EQ(gQuorvTempupdateInfor->updateVerifyTemplate.featBufSize,
              c.handsOn ? probe.sample->featBufSize : 0u);
    EXPECT_EQ(+gQuorvMachInfo.updateIndex, c.clearsReport ? 255 : 17);
    EXPECT_EQ(+gQuorvMachInfo.fingerId, c.handsOn ? 7 : 255);
  }
}

}  // namespace

namespace {

// Six presses around the probe, each too far off to reach the strictest
// threshold alone without recall: their weak matches pooled together do.
TEST_F(VerifyByTemplateTest, WeakMatchesOfOneFingerPooledTogetherMatch) {
  const fingers::MasterFinger m = Master(3);
  Crop probe = Press(m, 0, 0, 0);
  const double around[6][2] = {{40, 40}, {-40, 40}, {40, -40}, {-40, -40}, {0, 48}, {48, 0}};
  std::vector<Crop> crops;
  std::vector<const ST_SubTemplate *> samples;
  for (int i = 0; i < 6; ++i) {
    crops.push_back(Press(m, i + 1, around[i][0], around[i][1], 0.05 * i));
    samples.push_back(crops.back().sample.get());
  }
  Place(3, samples);
  ZqSetAlgFarLevel(28);
  const int T = gMatchScores[28];
  for (uint8_t pooling : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "pooling " << +pooling);
    ZqSetMultiAreaMathEn(pooling);
    gAutoMatchLevel.recallEn = 0;  // as while the levels are raised
    gAutoMatchLevel.continueSucessMatchNum = 1;
    const Outcome o = Identify(probe.sample.get());
    EXPECT_GT(+gQuorvAreaMatchToplogy->areaNum, 1);
    if (pooling == 0) {
      EXPECT_EQ(o.ret, -1);
      EXPECT_EQ(o.fid, 255);
      EXPECT_LT(gVerifyScores, T);
      continue;
    }
    ASSERT_EQ(o.ret, 0);
    EXPECT_EQ(o.fid, 3);
    EXPECT_EQ(o.upd, 0);  // a pooled match never updates the template
    EXPECT_GE(gVerifyScores, T);
    EXPECT_EQ(gVerifyFingerId, 3);
    EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, 0);
    // Nothing else of an acceptance: the history learns nothing.
    EXPECT_EQ(gQuorvMatchPriority->fingerRingPos, 0u);
    EXPECT_EQ(gQuorvMatchPriority->fingerRing[0], ZQ_RING_EMPTY);
  }
}

}  // namespace

namespace {

// A candidate below the threshold is compared the other way round too; the
// higher reverse score is taken with its transform turned back.
TEST_F(VerifyByTemplateTest, HigherReverseScoreIsTakenWithItsInverseTransform) {
  const fingers::MasterFinger m = Master(3);
  Crop probe = Press(m, 0, 0, 0);
  Crop tpl = Press(m, 1, 20, -14, 0.14);
  Place(4, {tpl.sample.get()});
  ZqSetAlgFarLevel(20);
  gAutoMatchLevel.recallEn = 0;  // as while the levels are raised
  const int T = gMatchScores[20];
  ST_FullHMatrix h{};
  const int forward = ZqVerifyTwoTemplate(probe.sample.get(), tpl.sample.get(), &h, 0, 0);
  const int reverse = ZqVerifyTwoTemplate(tpl.sample.get(), probe.sample.get(), &h, 0, 0);
  ASSERT_GE(forward, 1);
  ASSERT_LT(forward, T);
  ASSERT_GE(reverse, T);
  gRebak = 9;
  const Outcome o = Identify(probe.sample.get());
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 4);
  EXPECT_EQ(gVerifyScores, reverse);
  EXPECT_EQ(gRebak, 1);
  EXPECT_LT(MotionError(o.H, probe, tpl), 2.0);  // still sample -> template
}

}  // namespace
