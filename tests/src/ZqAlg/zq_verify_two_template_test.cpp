// Rigid two-template scoring: genuine and impostor pairs of synthetic
// fingers, the argument and bound checks, the foreign-body branch, the
// recall switch and the bin check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fingers/rng.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqMatchCheck.h"
#include "src/features/ZqRansac.h"
#include "zq_synth_keypoints.h"
#include "zq_alg_state.h"

namespace {

using zq_test::MakeSynthPair;
using zq_test::SynthPairParams;

class VerifyTwoTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    zq_test::ResetAlgorithmState();
  }
};

SynthPairParams Motion(uint64_t seed, float angle, float tx, float ty) {
  SynthPairParams p;
  p.seed = seed;
  p.angle = angle;
  p.tx = tx;
  p.ty = ty;
  p.images = true;
  return p;
}

// Largest distance between H and the true motion over the sensor corners
// and centre.
float MotionError(const ST_FullHMatrix &H, const SynthPairParams &p) {
  const float c = std::cos(p.angle), s = std::sin(p.angle);
  float worst = 0.0f;
  const float pts[5][2] = {{0, 0}, {95, 0}, {0, 95}, {95, 95}, {48, 48}};
  for (const auto &q : pts) {
    const float X = H.a00 * q[0] + H.a01 * q[1] + H.a02;
    const float Y = H.a10 * q[0] + H.a11 * q[1] + H.a12;
    const float tx = c * q[0] - s * q[1] + p.tx, ty = s * q[0] + c * q[1] + p.ty;
    worst = std::fmax(worst, std::hypot(X - tx, Y - ty));
  }
  return worst;
}

TEST_F(VerifyTwoTemplateTest, GenuinePressesReachTheDriverThresholdWithTheirMotion) {
  ZqSetAlgFarLevel(14);  // T = 7, as the driver runs
  ZqSetForeignBodyTest(1);
  const int T = gMatchScores[14];
  const SynthPairParams cases[] = {
      Motion(11, 0.25f, 12.0f, -9.0f),  Motion(12, -0.30f, 20.0f, 8.0f),
      Motion(13, 0.12f, -25.0f, 10.0f), Motion(14, -0.06f, 8.0f, -28.0f),
      Motion(15, 0.34f, -14.0f, -18.0f), Motion(16, -0.20f, 30.0f, 2.0f),
  };
  for (const SynthPairParams &p : cases) {
    for (uint8_t recallEn : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << "seed " << p.seed << " recallEn " << int(recallEn));
      auto pair = MakeSynthPair(p);
      ST_FullHMatrix H{};
      const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, recallEn, 0);
      EXPECT_GE(score, T);
      EXPECT_LT(MotionError(H, p), 1.5f);
      EXPECT_NEAR(H.dtheta, p.angle, 2.0f * 3.14159265f / 180.0f);
      EXPECT_EQ(static_cast<int>(gMatchInfoTwo.ransacNum), GetMachScore());
    }
  }
}

TEST_F(VerifyTwoTemplateTest, DifferentFingersStayBelowTheThreshold) {
  ZqSetAlgFarLevel(14);
  ZqSetForeignBodyTest(1);
  for (int f = 0; f < 5; ++f) {
    SynthPairParams a = Motion(40 + f, 0.1f, 10.0f, 5.0f);
    SynthPairParams b = Motion(60 + f, -0.1f, -6.0f, 12.0f);
    a.finger = 3;
    b.finger = 5 + f;
    auto pa = MakeSynthPair(a);
    auto pb = MakeSynthPair(b);
    for (uint8_t recallEn : {0, 1}) {
      ST_FullHMatrix H{};
      EXPECT_LT(ZqVerifyTwoTemplate(&pa->sample, &pb->tpl, &H, recallEn, 0), gMatchScores[14])
          << "finger " << b.finger << " recallEn " << int(recallEn);
    }
  }
}

// Acceptance case: far level 15, recall on, many inliers: the bin check and
// the recall are skipped and the score is the inlier count.
TEST_F(VerifyTwoTemplateTest, StrongComparisonWithRecallIsTheInlierCount) {
  ZqSetAlgFarLevel(15);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  auto pair = MakeSynthPair(Motion(21, 0.25f, 12.0f, -9.0f));
  ST_FullHMatrix H{};
  const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
  ASSERT_GE(score, 15);
  EXPECT_EQ(score, static_cast<int>(gQuorvMachInfo.ransacScore));
  EXPECT_EQ(score, static_cast<int>(gMatchInfoTwo.ransacNum));
  EXPECT_EQ(score, static_cast<int>(gMatchInfoTwo.matchScore));
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.recallEn), 0);  // pass flag cleared: no recall
  EXPECT_LT(MotionError(H, pair->params), 0.5f);
  EXPECT_NEAR(H.dtheta, 0.25f, 0.01f);
  // The report of an identification carries the pair count and quarters.
  EXPECT_GT(static_cast<int>(gQuorvMachInfo.pointNum), score);
  EXPECT_GT(static_cast<int>(gQuorvMachInfo.overlapsize), 0);
  EXPECT_GE(static_cast<int>(gQuorvMachInfo.uniformSizeMaxValue), static_cast<int>(gQuorvMachInfo.uniformSizeMinValue));
  EXPECT_GT(static_cast<int>(gMatchInfoTwo.uniformPct), 50);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.overlapPct), static_cast<int>(gQuorvMachInfo.overlapsize) * 100 / (96 * 96 + 1));
}

// With recall off every comparison that reaches inlierLimit runs the bin
// check: in identification it writes binScore and the pass flag stays 0.
TEST_F(VerifyTwoTemplateTest, RecallOffRunsTheBinCheckAndNoRecall) {
  ZqSetAlgFarLevel(15);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  auto pair = MakeSynthPair(Motion(21, 0.25f, 12.0f, -9.0f));
  ST_FullHMatrix H{};
  const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 0, 0);
  EXPECT_GE(score, 8);
  EXPECT_LE(score, static_cast<int>(gQuorvMachInfo.ransacScore));  // the bin check never raises m
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.matchScore), score);
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.recallEn), 0);
}

// Recall on below strongT: the bin check lets the recall count the sample
// keypoints that land on template keypoints, so the score can exceed m.
TEST_F(VerifyTwoTemplateTest, RecallCountsKeypointsLandingOnTheTemplate) {
  ZqSetAlgFarLevel(28);  // t = 20: strongT 20 is above the inlier count
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  SynthPairParams p = Motion(31, 0.15f, 10.0f, 6.0f);
  p.trueCount = 18;
  auto pair = MakeSynthPair(p);
  ST_FullHMatrix H{};
  const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
  ASSERT_LT(static_cast<int>(gQuorvMachInfo.ransacScore), 20);
  ASSERT_EQ(static_cast<int>(gQuorvMachInfo.recallEn), 1);
  // Every true keypoint inside the frame is recalled (positions within
  // 0.1 px, angles within 0.03 rad); a few outliers may land by chance.
  EXPECT_GE(score, 16);
  EXPECT_LE(score, 18 + 3);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.matchScore), score);
}

TEST_F(VerifyTwoTemplateTest, BadArgumentsAndOversizedInputAreRefused) {
  auto pair = MakeSynthPair(Motion(5, 0.2f, 5.0f, 5.0f));
  ST_FullHMatrix H{};
  gMatchInfoTwo.ransacNum = 77;
  EXPECT_EQ(ZqVerifyTwoTemplate(nullptr, &pair->tpl, &H, 1, 0), -1);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.ransacNum), 0);  // the pair record is cleared first
  EXPECT_EQ(ZqVerifyTwoTemplate(&pair->sample, nullptr, &H, 1, 0), -1);
  EXPECT_EQ(ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, nullptr, 1, 0), -1);

  struct Case {
    const char *what;
    void (*spoil)(ST_SubTemplate *sample, ST_SubTemplate *tpl);
  };
  const Case cases[] = {
      {"sample without features", [](ST_SubTemplate *s, ST_SubTemplate *) { s->pTemplateFeature = nullptr; }},
      {"template without features", [](ST_SubTemplate *, ST_SubTemplate *t) { t->pTemplateFeature = nullptr; }},
      {"sample feature buffer short", [](ST_SubTemplate *s, ST_SubTemplate *) { s->featBufSize -= 44; }},
      {"template feature buffer short", [](ST_SubTemplate *, ST_SubTemplate *t) { t->featBufSize -= 1; }},
      {"template image short", [](ST_SubTemplate *, ST_SubTemplate *t) { t->binBufSize = 8; }},
      {"sample mask missing", [](ST_SubTemplate *s, ST_SubTemplate *) { s->templatePixValid = nullptr; }},
  };
  for (const Case &c : cases) {
    auto p = MakeSynthPair(Motion(5, 0.2f, 5.0f, 5.0f));
    c.spoil(&p->sample, &p->tpl);
    EXPECT_EQ(ZqVerifyTwoTemplate(&p->sample, &p->tpl, &H, 1, 0), -1) << c.what;
  }

  // More than 200 sample keypoints: refused, not read past the tables.
  std::vector<ST_Feature> many(201, pair->sampleFeat[0]);
  ST_SubTemplate big = zq_test::SubTemplateOver(&many, 101, 100);
  EXPECT_EQ(ZqVerifyTwoTemplate(&big, &pair->tpl, &H, 1, 0), -1);
  ST_SubTemplate ok = zq_test::SubTemplateOver(&many, 100, 100);
  EXPECT_GE(ZqVerifyTwoTemplate(&ok, &pair->tpl, &H, 1, 0), 0);
}

TEST_F(VerifyTwoTemplateTest, UnrelatedDescriptorsOrEdgeKeypointsScoreZero) {
  auto pair = MakeSynthPair(Motion(7, 0.25f, 12.0f, -9.0f));
  ST_FullHMatrix H{};
  // Independent random descriptors on the template: no pair passes.
  std::vector<ST_Feature> other = pair->tplFeat;
  fingers::Rng rng(99);
  for (ST_Feature &f : other)
    for (uint32_t &w : f.descr) w = static_cast<uint32_t>(rng.Next());
  ST_SubTemplate tpl = pair->tpl;
  tpl.pTemplateFeature = other.data();
  EXPECT_EQ(ZqVerifyTwoTemplate(&pair->sample, &tpl, &H, 1, 0), 0);
  // Sample keypoints on row 0 or column 0 are never paired.
  std::vector<ST_Feature> edge = pair->sampleFeat;
  for (size_t i = 0; i < edge.size(); ++i) (i % 2 ? edge[i].x : edge[i].y) = 0.0f;
  ST_SubTemplate sample = pair->sample;
  sample.pTemplateFeature = edge.data();
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  EXPECT_EQ(ZqVerifyTwoTemplate(&sample, &pair->tpl, &H, 1, 0), 0);
  EXPECT_EQ(static_cast<int>(gQuorvMachInfo.pointNum), 0);
}

// The near-identity test of the foreign-body branch compares the signed
// angle: a clockwise press counts as near the identity, the same press
// turned the other way does not. With the template's bits inverted over a
// fifth of the sensor the first is cut to 0, the second keeps its inliers.
TEST_F(VerifyTwoTemplateTest, ForeignBodyCutUsesTheSignedRotation) {
  ZqSetAlgFarLevel(14);
  struct Case {
    float angle, tx, ty;
    uint8_t foreignBodyTest;
    bool cut;
  };
  const Case cases[] = {
      {-0.09f, -4.0f, 4.0f, 1, true},   // negative: "near identity" however large
      {0.09f, 4.0f, -4.0f, 1, false},   // positive above 0.08: not near
      {-0.09f, -4.0f, 4.0f, 0, false},  // test off
      {0.03f, 1.0f, -1.0f, 1, true},    // small positive: near
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "angle " << c.angle << " test " << int(c.foreignBodyTest));
    ZqSetForeignBodyTest(c.foreignBodyTest);
    auto pair = MakeSynthPair(Motion(51, c.angle, c.tx, c.ty));
    // A foreign body over rows 0..18 of the template: its bits inverted.
    for (int i = 0; i < 96 * 19 / 64; ++i) pair->tplBits[i] = ~pair->tplBits[i];
    ST_FullHMatrix H{};
    const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
    if (c.cut) {
      EXPECT_EQ(score, 0);
    } else {
      EXPECT_GE(score, 15);
    }
    EXPECT_GE(static_cast<int>(gMatchInfoTwo.ransacNum), 15);
  }
}

// The vector paths of the comparison (the foreign-body grid, the
// uniform-region check, the registration) against the plain ones, over motions on both sides
// of the foreign-body test's 90 % share of the grid: same score, transform
// and records, bit for bit.
TEST_F(VerifyTwoTemplateTest, VectorPathsGiveThePlainComparisonBitForBit) {
  ZqSetAlgFarLevel(14);
  ZqSetForeignBodyTest(1);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  struct Run {
    int score;
    ST_FullHMatrix H;
    ST_MatchInfoTwo two;
    ST_QuorvMachInfo mach;
  };
  const auto compare = [](const zq_test::SynthPair &pair, bool plain) {
    ZqVerifyTwoTemplatePlainForTest(plain ? 1 : 0);
    ZqUniformRegionPlainForTest(plain ? 1 : 0);
    ZqRansacPlainForTest(plain ? 1 : 0);
    Run r{};
    r.score = ZqVerifyTwoTemplate(&pair.sample, &pair.tpl, &r.H, 1, 0);
    r.two = gMatchInfoTwo;
    r.mach = gQuorvMachInfo;
    ZqVerifyTwoTemplatePlainForTest(0);
    ZqUniformRegionPlainForTest(0);
    ZqRansacPlainForTest(0);
    return r;
  };
  const float motions[][3] = {{0.0f, 0.0f, 0.0f},   {0.02f, 4.5f, -4.5f}, {-0.01f, 5.0f, 5.0f},
                              {0.03f, -5.5f, 5.5f}, {0.07f, 7.5f, 0.0f},  {-0.2f, 6.0f, -3.0f},
                              {0.3f, 12.0f, -9.0f}};
  int cut = 0, kept = 0;
  for (const auto &m : motions) {
    SCOPED_TRACE(::testing::Message() << "motion " << m[0] << " " << m[1] << " " << m[2]);
    auto pair = MakeSynthPair(Motion(61, m[0], m[1], m[2]));
    // A foreign body over the template's first rows, so that the test cuts.
    for (int i = 0; i < 96 * 19 / 64; ++i) pair->tplBits[i] = ~pair->tplBits[i];
    const Run plain = compare(*pair, true), lanes = compare(*pair, false);
    EXPECT_EQ(lanes.score, plain.score);
    EXPECT_EQ(std::memcmp(&lanes.H, &plain.H, sizeof(plain.H)), 0);
    EXPECT_EQ(std::memcmp(&lanes.two, &plain.two, sizeof(plain.two)), 0);
    EXPECT_EQ(std::memcmp(&lanes.mach, &plain.mach, sizeof(plain.mach)), 0);
    (plain.score == 0 ? cut : kept) += 1;
  }
  // Both outcomes of the foreign-body test are among the motions.
  EXPECT_GT(cut, 0);
  EXPECT_GT(kept, 0);
}

// Sensor type 10: a large overlap with a low report score is cut to 0 when
// both sides are of good quality (above 80).
TEST_F(VerifyTwoTemplateTest, SensorType10CutsLargeOverlapsWithLowScores) {
  ZqSetAlgFarLevel(6);  // t = 3
  ZqSensorTypeSet(10);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  SynthPairParams p = Motion(61, 0.05f, 2.0f, 1.0f);
  p.trueCount = 8;
  for (uint8_t quality : {80, 81}) {
    auto pair = MakeSynthPair(p);
    pair->sample.templateQuality = 90;
    pair->tpl.templateQuality = quality;
    ST_FullHMatrix H{};
    const int score = ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 0, 0);
    ASSERT_GT(static_cast<int>(gQuorvMachInfo.overlapsize), 0.6 * 96 * 96);
    ASSERT_LE(static_cast<int>(gQuorvMachInfo.matchScore), 8);
    ASSERT_GT(static_cast<int>(gQuorvMachInfo.matchScore), 0);
    if (quality > 80) {
      EXPECT_EQ(score, 0);
    } else {
      EXPECT_EQ(score, static_cast<int>(gQuorvMachInfo.matchScore));
    }
  }
}

TEST_F(VerifyTwoTemplateTest, DirectionFlagGoesToThePairRecord) {
  auto pair = MakeSynthPair(Motion(8, 0.2f, 6.0f, 3.0f));
  ST_FullHMatrix H{};
  gRebak = 11;
  ZqVerifyTwoTemplate(&pair->sample, &pair->tpl, &H, 1, 0);
  EXPECT_EQ(static_cast<int>(gMatchInfoTwo.rebak), 11);
}

TEST_F(VerifyTwoTemplateTest, SubTemplateByIdChecksTheStoreFirst) {
  auto pair = MakeSynthPair(Motion(9, 0.2f, 6.0f, 3.0f));
  ST_FullHMatrix H{};
  // No store set up: every lookup gives 0.
  EXPECT_EQ(ZqVerifySubTemplate(&pair->sample, 0, 0, &H, 1, 0), 0);
  EXPECT_EQ(ZqVerifySubTemplate(&pair->sample, 0, -1, &H, 1, 0), 0);
  EXPECT_EQ(ZqVerifySubTemplate(&pair->sample, -1, 0, &H, 1, 0), 0);
  EXPECT_EQ(ZqVerifySubTemplate(&pair->sample, 0, 10, &H, 1, 0), 0);
  EXPECT_EQ(ZqVerifySubTemplate(nullptr, 0, 0, &H, 1, 0), 0);
}

}  // namespace
