// The false-accept classifier: which table each sensor type consults, the
// override of a cut, the measurements it records, and its place in the
// rigid scorer; the pair record's feature vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqClassifierCutFar.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

class ClassifierTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
};

TEST_F(ClassifierTest, SensorTypeAndGateChooseTheTable) {
  struct Case {
    int type;
    uint8_t algoMode;
    int qt, qs, e;
    int table;
  };
  const Case cases[] = {
      {9, 1, 61, 61, 60, 1},  {9, 1, 60, 90, 60, 0},  {9, 1, 10, 10, 19, 1},
      {9, 1, 51, 90, 25, 1},  {9, 1, 51, 60, 26, 0},  {10, 1, 61, 61, 60, 2},
      {11, 1, 61, 61, 60, 3}, {8, 2, 61, 61, 60, 4},  {8, 1, 61, 61, 60, 5},
      {8, 0, 61, 61, 60, 0},  {8, 1, 90, 50, 20, 0},  {8, 1, 90, 50, 19, 5},
      {13, 1, 10, 10, 24, 6}, {13, 1, 51, 51, 34, 6}, {13, 1, 51, 51, 35, 0},
      {14, 1, 51, 51, 90, 8}, {14, 1, 41, 90, 34, 8}, {14, 1, 40, 90, 30, 0},
      {12, 1, 99, 99, 10, 0}, {16, 5, 99, 99, 10, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(zq_alg::ClassifierTable(c.type, c.algoMode, c.qt, c.qs, c.e), c.table)
        << "type " << c.type << " mode " << int(c.algoMode) << " q " << c.qt << "/" << c.qs
        << " e " << c.e;
}

TEST_F(ClassifierTest, ACutIsOverriddenOnlyWhenTheImagesExcuseIt) {
  ST_MatchInfoTwo base{};
  base.uniformPct = 81;
  base.overlapHeight = 91;
  base.overlapWidth = 17;
  base.overlapPct = 20;
  struct Case {
    const char *what;
    int type;
    void (*edit)(ST_MatchInfoTwo *);
    int32_t in, out;
  };
  const Case cases[] = {
      {"type 9 excused", 9, [](ST_MatchInfoTwo *) {}, -11, 11},
      {"type 10 excused", 10, [](ST_MatchInfoTwo *) {}, -11, 11},
      {"type 11 never", 11, [](ST_MatchInfoTwo *) {}, -11, -11},
      {"uniformPct 80", 9, [](ST_MatchInfoTwo *r) { r->uniformPct = 80; }, -11, -11},
      {"height 90", 9, [](ST_MatchInfoTwo *r) { r->overlapHeight = 90; }, -11, -11},
      {"width 18", 9, [](ST_MatchInfoTwo *r) { r->overlapWidth = 18; }, -11, -11},
      {"overlapPct 19", 9, [](ST_MatchInfoTwo *r) { r->overlapPct = 19; }, -11, -11},
      {"no cut to excuse", 9, [](ST_MatchInfoTwo *) {}, 10, 10},
      {"type 13 low qualities", 13,
       [](ST_MatchInfoTwo *r) { r->overlapPct = 25, r->tplQuality = 69, r->sampleQuality = 69; },
       -11, 11},
      {"type 13 one poor", 13,
       [](ST_MatchInfoTwo *r) { r->overlapPct = 25, r->tplQuality = 90, r->sampleQuality = 59; },
       -11, 11},
      {"type 13 both good", 13,
       [](ST_MatchInfoTwo *r) { r->overlapPct = 25, r->tplQuality = 70, r->sampleQuality = 60; },
       -11, -11},
      {"type 13 small overlap", 13,
       [](ST_MatchInfoTwo *r) { r->overlapPct = 24, r->tplQuality = 10, r->sampleQuality = 10; },
       -11, -11},
  };
  for (const Case &c : cases) {
    ST_MatchInfoTwo info = base;
    c.edit(&info);
    EXPECT_EQ(zq_alg::ClassifierOverride(c.in, c.type, info), c.out) << c.what;
  }
}

// One synthetic comparison for direct classifier calls: the sample against
// itself under the identity, so the overlap spans the whole sensor.
struct SelfPair {
  std::unique_ptr<zq_test::SynthPair> pair;
  ST_FullHMatrix identity = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  SelfPair() {
    zq_test::SynthPairParams p;
    p.seed = 4;
    p.images = true;
    pair = zq_test::MakeSynthPair(p);
    pair->sample.templateQuality = 90;
    pair->tpl.templateQuality = 90;
  }
};

TEST_F(ClassifierTest, RecordsTheImageMeasurementsAndCutsOnAMatchingRow) {
  SelfPair s;
  // Table 1's first row: ransacNum <= 6, recurPct <= 26, overlapPct <= 24,
  // uniformPct <= 88, matchScore <= 13. The template keypoints sit
  // elsewhere, so no sample keypoint recurs.
  const ST_SubTemplate &tplOther = s.pair->tpl;
  ST_SubTemplate tpl = s.pair->sample;
  tpl.pTemplateFeature = tplOther.pTemplateFeature;
  tpl.nFeatureNum[0] = tplOther.nFeatureNum[0];
  tpl.nFeatureNum[1] = tplOther.nFeatureNum[1];
  tpl.featBufSize = tplOther.featBufSize;
  gMatchInfoTwo.ransacNum = 6;
  gMatchInfoTwo.overlapPct = 21;
  gMatchInfoTwo.uniformPct = 70;
  gMatchInfoTwo.matchScore = 7;
  gMatchInfoTwo.overlapSize = 95 * 17;
  int32_t ret = 99;
  ZqClassifierCutFar(&s.pair->sample, &tpl, &s.identity, 9, 96, 96, &ret);
  EXPECT_EQ(ret, ZQ_CLS_CUT);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.overlapHeight), 95);  // rows 0..95 compared
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.diffBlobSize), 0);     // identical images
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.overlapWidth), 17);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.ransacDensity), 6 * 100 / 22);
  EXPECT_LE(static_cast<int>(gMatchInfoTwo.recurPct), 26);
  // The same cut with the images' excuse: uniformPct above 80.
  gMatchInfoTwo.uniformPct = 85;
  ZqClassifierCutFar(&s.pair->sample, &tpl, &s.identity, 9, 96, 96, &ret);
  EXPECT_EQ(ret, ZQ_CLS_OVERRIDE);
  // Outside every row (matchScore 14): consulted, no row.
  gMatchInfoTwo.matchScore = 14;
  ZqClassifierCutFar(&s.pair->sample, &tpl, &s.identity, 9, 96, 96, &ret);
  EXPECT_EQ(ret, ZQ_CLS_NO_ROW);
}

// Where no table is chosen the result is 0, also for sensor type 8 in
// algoMode 0 (the record's "chose no table").
TEST_F(ClassifierTest, NoTableGivesZeroAndFailuresWriteNothing) {
  SelfPair s;
  for (int type : {12, 8}) {
    ZqSetAlgoMode(0);
    int32_t ret = 99;
    ZqClassifierCutFar(&s.pair->sample, &s.pair->tpl, &s.identity, type, 96, 96, &ret);
    EXPECT_EQ(ret, ZQ_CLS_NOT_RUN) << type;
  }
  int32_t ret = 99;
  ST_SubTemplate noImage = s.pair->tpl;
  noImage.templateBinDiscr = nullptr;
  ZqClassifierCutFar(&s.pair->sample, &noImage, &s.identity, 9, 96, 96, &ret);
  EXPECT_EQ(ret, 99);
  ZqClassifierCutFar(&s.pair->sample, &s.pair->tpl, &s.identity, 9, 200, 200, &ret);
  EXPECT_EQ(ret, 99);  // images shorter than the size asked for
  ZqClassifierCutFar(&s.pair->sample, &s.pair->tpl, nullptr, 9, 96, 96, &ret);
  EXPECT_EQ(ret, 99);
}

TEST_F(ClassifierTest, ScorerRecordsTheClassifierAndCutsToOne) {
  ZqSetAlgFarLevel(14);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  zq_test::SynthPairParams p;
  p.seed = 12;
  p.trueCount = 12;
  p.images = true;
  auto pair = zq_test::MakeSynthPair(p);
  pair->sample.templateQuality = 90;
  pair->tpl.templateQuality = 90;
  ST_FullHMatrix H{};
  const int plain = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
  ASSERT_GE(plain, 7);
  ASSERT_LE(static_cast<int>(gMatchInfoTwo.ransacNum), 14);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.classifierRet), 0);  // classifier off

  ZqSetClassifierOn(1);
  ZqSensorTypeSet(12);
  EXPECT_EQ(ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0), plain);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.classifierRet), 0);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.rescueCode), 0);

  ZqSensorTypeSet(9);
  const int32_t refusedBefore = GetNumRefusedByClassifier();
  const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
  const int ret = gMatchInfoTwo.classifierRet;
  ASSERT_TRUE(ret == ZQ_CLS_NO_ROW || ret == ZQ_CLS_CUT || ret == ZQ_CLS_OVERRIDE) << ret;
  EXPECT_EQ(score, ret == ZQ_CLS_CUT ? 1 : plain);
  EXPECT_EQ(GetNumRefusedByClassifier() - refusedBefore, ret == ZQ_CLS_CUT ? 1 : 0);
  EXPECT_GT(static_cast<int>(gMatchInfoTwo.overlapHeight), 0);
}

TEST_F(ClassifierTest, FeatureVectorsAndQualityBytesComeFromTheRecord) {
  ST_MatchInfoTwo r{};
  r.sampleQuality = 1, r.tplQuality = 2, r.diffBlobSize = 3, r.recurPct = 4, r.overlapPct = 5;
  r.uniformPct = 6, r.overlapHeight = 7, r.ransacNum = 8, r.matchScore = 9;
  r.kin2Num = 10, r.pointSimPct = 11, r.matchNum1Avr = 12, r.recallAvrSim = 13;
  r.recallStrongNum = 14;
  std::vector<int32_t> v(ZQ_DATA_T_LEN, -1);
  ZqGetDataT(v.data(), r);
  const std::vector<int32_t> want = {1, 2, 3, 4, 5, 6, 7, 8, -1, 9};
  EXPECT_EQ(std::vector<int32_t>(v.begin() + 8, v.begin() + 18), want);
  EXPECT_EQ(v[7], -1);
  EXPECT_EQ(v[18], -1);
  std::vector<int32_t> w(ZQ_DATA_T_V2_LEN, -1);
  ZqGetDataT_v2(w.data(), r);
  const std::vector<int32_t> want2 = {8, 10, 5, 11, 12, 13, 14};
  EXPECT_EQ(std::vector<int32_t>(w.begin() + 50, w.begin() + 57), want2);
  EXPECT_EQ(w[49], -1);
  EXPECT_EQ(w[57], -1);

  ST_SubTemplate t{};
  t.templateQuality = 70, t.templateArea = 71, t.templateCond = 72, t.templateExtra = 73;
  ST_MatchInfoTwo q{};
  ZqSaveTempCharater(&t, &q, 0);
  EXPECT_EQ(q.sampleQuality + q.sampleArea + q.sampleCond + q.sampleExtra, 70 + 71 + 72 + 73);
  EXPECT_EQ(q.tplQuality, 0);
  ZqSaveTempCharater(&t, &q, 1);
  EXPECT_EQ(q.tplQuality + q.tplArea + q.tplCond + q.tplExtra, 70 + 71 + 72 + 73);
  ST_MatchInfoTwo before = q;
  ZqSaveTempCharater(&t, &q, 2);
  ZqSaveTempCharater(nullptr, &q, 0);
  EXPECT_EQ(memcmp(&before, &q, sizeof(q)), 0);
}

}  // namespace
