// The measurements of the recall rescue on constructed pairs and images,
// the bound of its recall list, and when the scorer runs it.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRecallRescue.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

const ST_FullHMatrix kShift = {1, 0, 5, 0, 1, -3, 0, 0, 1, 0};  // x + 5, y - 3

ST_MatchPoint Pt(float x, float y, uint16_t sim = 0) { return ST_MatchPoint{x, y, 0.0f, 0, sim}; }

TEST(RecallRescueTest, Kin2CountsPairsConsistentWithTheTransform) {
  // L1 distances after the shift: 0, 7.9, 8 (not below 8), 20.
  const ST_MatchPoint smp[] = {Pt(10, 10, 200), Pt(20, 20, 180), Pt(30, 30, 170), Pt(40, 40, 250)};
  const ST_MatchPoint tpl[] = {Pt(15, 7), Pt(29.9f, 17), Pt(43, 27), Pt(65, 37)};
  int32_t num = -1, avr = -1;
  getKin2AndMatchNum1AvrKin2(tpl, smp, 4, &kShift, &num, &avr);
  EXPECT_EQ(num, 2);
  EXPECT_EQ(avr, 190);
  getKin2AndMatchNum1AvrKin2(tpl, smp, 0, &kShift, &num, &avr);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(avr, 0);
}

TEST(RecallRescueTest, InlierMeanSkipsIndexesPastTheCopy) {
  std::vector<ST_MatchPoint> smp(ZQ_RESCUE_PAIRS, Pt(1, 1, 100));
  smp[3].sim = 200;
  const uint16_t idx[] = {0, 3, 170, 60000};
  int32_t out = -1;
  EXPECT_EQ(getMatchNum1Avr(smp.data(), 4, idx, &out), 150);
  EXPECT_EQ(out, 150);
  EXPECT_EQ(getMatchNum1Avr(smp.data(), 0, idx, &out), 0);
  EXPECT_EQ(getMatchNum1Avr(nullptr, 4, idx, nullptr), 0);
}

// A sample against itself: every keypoint has its own twin, so each one
// not yet listed is recalled with similarity 256.
TEST(RecallRescueTest, RecallAppendsNewKeypointsAndStopsAtTheCopyBound) {
  zq_test::SynthPairParams p;
  p.seed = 2;
  auto pair = zq_test::MakeSynthPair(p);
  const ST_SubTemplate &s = pair->sample;
  const int n = s.nFeatureNum[0] + s.nFeatureNum[1];
  const ST_FullHMatrix id = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  const ST_MatchPoint sentinel = Pt(-7, -7, 7);
  {
    // Two keypoints listed already: the rest is recalled.
    std::vector<ST_MatchPoint> list(ZQ_RESCUE_PAIRS + 1, sentinel);
    list[0] = Pt(s.pTemplateFeature[0].x, s.pTemplateFeature[0].y);
    list[1] = Pt(s.pTemplateFeature[5].x, s.pTemplateFeature[5].y);
    int32_t num = -1, avr = -1, strong = -1;
    getMatchNumRecall(&s, &s, 2, list.data(), &id, 96, 96, &num, &avr, &strong);
    EXPECT_EQ(num, n - 2);
    EXPECT_EQ(avr, 256);
    EXPECT_EQ(strong, n - 2);
    EXPECT_EQ(list[2].x, s.pTemplateFeature[1].x);
  }
  {
    // 168 entries listed: room for two more, the last slot never written.
    std::vector<ST_MatchPoint> list(ZQ_RESCUE_PAIRS + 1, sentinel);
    for (int i = 0; i < 168; ++i) list[i] = Pt(-1, -1);
    int32_t num = -1, avr = -1, strong = -1;
    getMatchNumRecall(&s, &s, 168, list.data(), &id, 96, 96, &num, &avr, &strong);
    EXPECT_EQ(num, 2);
    EXPECT_EQ(list[ZQ_RESCUE_PAIRS].x, sentinel.x);
  }
}

TEST(RecallRescueTest, PointSimIsTheShareNearConsistentPairs) {
  zq_test::SynthPairParams p;
  p.seed = 2;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  const ST_FullHMatrix id = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  // One consistent pair at (48, 48): its 7 x 7 neighbourhood (49 pixels) of
  // the 9216 common pixels, 0 percent; a grid of pairs every 7 px covers all.
  std::vector<ST_MatchPoint> pts;
  for (int y = 3; y < 96; y += 7)
    for (int x = 3; x < 96; x += 7) pts.push_back(Pt(static_cast<float>(x), static_cast<float>(y)));
  uint8_t pct = 77;
  EXPECT_EQ(getPointSim(&pair->sample, &pair->tpl, 1, pts.data(), pts.data(), &id, 96, 96, &pct), 0);
  EXPECT_EQ(pct, 49 * 100 / 9216);
  EXPECT_EQ(getPointSim(&pair->sample, &pair->tpl, static_cast<int>(pts.size()), pts.data(),
                        pts.data(), &id, 96, 96, &pct),
            0);
  EXPECT_EQ(pct, 100);
  // Pairs 8 px apart under H are not consistent.
  const ST_FullHMatrix off = {1, 0, 8, 0, 1, 0, 0, 0, 1, 0};
  EXPECT_EQ(getPointSim(&pair->sample, &pair->tpl, static_cast<int>(pts.size()), pts.data(),
                        pts.data(), &off, 96, 96, &pct),
            0);
  EXPECT_EQ(pct, 0);
  pct = 77;
  EXPECT_EQ(getPointSim(&pair->sample, nullptr, 1, pts.data(), pts.data(), &id, 96, 96, &pct), -1);
  EXPECT_EQ(getPointSim(&pair->sample, &pair->tpl, 1, pts.data(), pts.data(), &id, 200, 96, &pct),
            -1);
  EXPECT_EQ(pct, 77);
}

// The sample against itself under the identity: 20 listed pairs (all
// consistent), the rest of its keypoints recalled, the pairs' neighbourhood
// share measured, and the seven values written to the pair record.
TEST(RecallRescueTest, LocalFeatureChainsItsStepsIntoThePairRecord) {
  ZqMatchInfoTwoResetForTest();
  zq_test::SynthPairParams p;
  p.seed = 2;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  const ST_SubTemplate &s = pair->sample;
  const int n = s.nFeatureNum[0] + s.nFeatureNum[1];
  const ST_FullHMatrix id = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  std::vector<ST_MatchPoint> tplPts(ZQ_RESCUE_PAIRS), smpPts(ZQ_RESCUE_PAIRS);
  std::vector<uint16_t> idx(ZQ_RESCUE_PAIRS);
  for (int i = 0; i < 20; ++i) {
    const ST_Feature &f = s.pTemplateFeature[i];
    tplPts[i] = smpPts[i] = Pt(f.x, f.y, static_cast<uint16_t>(180 + i));
    idx[i] = static_cast<uint16_t>(i);
  }
  int32_t kin2 = 0, kin2Avr = 0, num1 = 0, recall = 0, recallAvr = 0, strong = 0, flag = 0;
  uint8_t pointSim = 0;
  getLocalFeature(tplPts.data(), smpPts.data(), idx.data(), 20, 10, &id, &s, &s, 96, 96, &kin2,
                  &kin2Avr, &num1, &recall, &recallAvr, &strong, &pointSim, 9, 5, 180, &flag);
  EXPECT_EQ(kin2, 20);
  EXPECT_EQ(kin2Avr, (180 + 199) * 20 / 2 / 20);
  EXPECT_EQ(recall, n - 20);
  EXPECT_EQ(recallAvr, 256);
  EXPECT_GT(pointSim, 5);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(num1, (180 + 189) * 10 / 2 / 10);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.kin2Num), kin2);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.recallNum), recall);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.pointSimPct), pointSim);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.matchNum1Avr), num1);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.recallStrongNum), strong);
  // Too few consistent pairs: no recall, and the similarity bar blocks the
  // flag; the skipped values stay the caller's zeros.
  kin2 = kin2Avr = num1 = recall = recallAvr = strong = flag = 0;
  pointSim = 0;
  getLocalFeature(tplPts.data(), smpPts.data(), idx.data(), 9, 5, &id, &s, &s, 96, 96, &kin2,
                  &kin2Avr, &num1, &recall, &recallAvr, &strong, &pointSim, 9, 90, 180, &flag);
  EXPECT_EQ(kin2, 9);
  EXPECT_EQ(recall, 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(num1, 0);
}

class RescueGateTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
};

// A near miss on sensor type 9 in identification: the rescue measures it
// only with the classifier on and recallEn exactly 1.
TEST_F(RescueGateTest, RescueRunsOnlyWithClassifierAndRecall) {
  ZqSetAlgFarLevel(28);  // t = 20: a 12-keypoint pair misses it
  ZqSensorTypeSet(9);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  zq_test::SynthPairParams p;
  p.seed = 12;
  p.trueCount = 12;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  struct Case {
    uint8_t classifierOn, recallEn;
    bool measured;
  };
  for (const Case &c : {Case{0, 1, false}, Case{1, 0, false}, Case{1, 2, false}, Case{1, 1, true}}) {
    ZqMatchInfoTwoResetForTest();
    ZqSetClassifierOn(c.classifierOn);
    ST_FullHMatrix H{};
    const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, c.recallEn, 0);
    SCOPED_TRACE(::testing::Message() << "classifier " << int(c.classifierOn) << " recallEn "
                                      << int(c.recallEn));
    const int code = gMatchInfoTwo.rescueCode;
    const int kin2 = gMatchInfoTwo.kin2Num;
    if (c.measured) {
      // Raised by a rule (to the threshold), or measured for table 7.
      EXPECT_TRUE(code == 1 || code == 21 || code == 22 || kin2 > 0) << code;
      EXPECT_EQ(score, code != 0 ? 20 : static_cast<int>(gMatchInfoTwo.matchScore));
    } else {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(kin2, 0);
      EXPECT_LT(score, 20);
    }
  }
}

}  // namespace
