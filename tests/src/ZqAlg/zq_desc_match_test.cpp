// Descriptor similarity, pair selection, the affine search over triples,
// and composing and inverting stored transforms.
#include <gtest/gtest.h>

#include <bit>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fingers/rng.h"
#include "src/ZqAlg/ZqCalcHMat.h"
#include "src/ZqAlg/ZqDescMatch.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "zq_synth_keypoints.h"

namespace {

constexpr float kPi = 3.14159265358979f;

class DescMatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
};

// A keypoint at (x, y) whose descriptor is `base` with its first `flips`
// bits inverted: its similarity to `base` is 256 - flips.
ST_Feature Kp(float x, float y, uint32_t base, int flips, float ori = 0.0f) {
  ST_Feature f{};
  f.x = x;
  f.y = y;
  f.ori = ori;
  for (uint32_t &w : f.descr) w = base;
  for (int i = 0; i < flips; ++i) f.descr[i / 32] ^= 1u << (i % 32);
  return f;
}

TEST_F(DescMatchTest, TableCountsEqualBitsAndSimilaritySumsThem) {
  for (int b = 0; b < 256; ++b) EXPECT_EQ(invHMTableAlg[b], 8 - std::popcount(unsigned(b))) << b;

  fingers::Rng rng(3);
  ST_Feature a{}, b{};
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) a.descr[w] = static_cast<uint32_t>(rng.Next());
  b = a;
  EXPECT_EQ(ZqCalcDescSim(&a, &b), 256u);
  for (uint32_t &w : b.descr) w = ~w;
  EXPECT_EQ(ZqCalcDescSim(&a, &b), 0u);
  for (int trial = 0; trial < 20; ++trial) {
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w) b.descr[w] = static_cast<uint32_t>(rng.Next());
    uint32_t diff = 0;
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w) diff += std::popcount(a.descr[w] ^ b.descr[w]);
    EXPECT_EQ(ZqCalcDescSim(&a, &b), 256u - diff);
  }
  EXPECT_EQ(ZqCalcDescSim(nullptr, &b), 0u);
}

TEST_F(DescMatchTest, BestAndSecondStayWithinTheKeypointGroup) {
  // Template group 0: similarities 250, 240, 250 (a tie: the first stays
  // best), 200 to the sample's group-0 keypoint. Group 1: an exact copy of
  // that keypoint (out of its reach) and 230 to the sample's group-1 one.
  std::vector<ST_Feature> tpl = {Kp(0, 0, 0xA5A5A5A5u, 6),  Kp(1, 0, 0xA5A5A5A5u, 16),
                                 Kp(2, 0, 0xA5A5A5A5u, 6),  Kp(3, 0, 0xA5A5A5A5u, 56),
                                 Kp(4, 0, 0xA5A5A5A5u, 0),  Kp(5, 0, 0x0F0F0F0Fu, 26)};
  std::vector<ST_Feature> smp = {Kp(0, 0, 0xA5A5A5A5u, 0), Kp(0, 1, 0x0F0F0F0Fu, 0)};
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 4, 2);
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 1, 1);
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2];
  uint16_t count = 99;
  ASSERT_EQ(ZqCalcHanmDistance(&s, &t, sims, idx, &count), 2);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(sims[0][0], 250);
  EXPECT_EQ(sims[0][1], 250);
  EXPECT_EQ(idx[0][0], 0);
  EXPECT_EQ(idx[0][1], 2);
  EXPECT_EQ(sims[1][0], 230);
  EXPECT_EQ(idx[1][0], 5);
  EXPECT_EQ(sims[1][1], 128);  // 0x0F against 0xA5: half the bits agree
  EXPECT_EQ(idx[1][1], 4);

  // An empty template group gives zeros; classNum 0 processes nothing.
  ST_SubTemplate t0 = zq_test::SubTemplateOver(&tpl, 4, 0);
  ASSERT_EQ(ZqCalcHanmDistance(&s, &t0, sims, idx, &count), 2);
  EXPECT_EQ(sims[1][0], 0);
  EXPECT_EQ(sims[1][1], 0);
  s.classNum = 0;
  EXPECT_EQ(ZqCalcHanmDistance(&s, &t, sims, idx, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST_F(DescMatchTest, PairSearchSimilaritiesEqualTheTableSums) {
  // Random descriptors, and the extremes: identical and complementary.
  fingers::Rng rng(17);
  std::vector<ST_Feature> tpl(40), smp(30);
  for (auto *v : {&tpl, &smp})
    for (ST_Feature &f : *v)
      for (uint32_t &w : f.descr) w = static_cast<uint32_t>(rng.Next() >> (rng.Below(4) * 8));
  smp[0] = tpl[3];
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) smp[1].descr[w] = ~tpl[25].descr[w];
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 20, 20);
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 15, 15);
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2], count = 0;
  ASSERT_EQ(ZqCalcHanmDistance(&s, &t, sims, idx, &count), 30);
  for (int n = 0; n < 30; ++n) {
    const int first = n < 15 ? 0 : 20;
    uint32_t best = 0, second = 0;
    for (int k = first; k < first + 20; ++k) {
      const uint32_t sim = ZqCalcDescSim(&smp[n], &tpl[k]);
      if (sim > best) {
        second = best;
        best = sim;
      } else if (sim > second) {
        second = sim;
      }
    }
    EXPECT_EQ(sims[n][0], best) << n;
    EXPECT_EQ(sims[n][1], second) << n;
    EXPECT_EQ(sims[n][0], ZqCalcDescSim(&smp[n], &tpl[idx[n][0]])) << n;
    EXPECT_EQ(sims[n][1], ZqCalcDescSim(&smp[n], &tpl[idx[n][1]])) << n;
  }
  EXPECT_EQ(sims[0][0], 256);
  EXPECT_EQ(idx[0][0], 3);
  EXPECT_EQ(ZqCalcDescSim(&smp[1], &tpl[25]), 0u);
}

// The vector scans (eight or sixteen sample keypoints at a time, where the
// processor has them) give the tables of the plain one to the last entry,
// ties included:
// random descriptors, descriptors drawn from a pool of four with a few
// bits flipped (many equal similarities), and all descriptors identical.
TEST_F(DescMatchTest, VectorScansGiveThePlainScansTablesIncludingTies) {
  enum Draw { kRandom, kFewDistinct, kAllEqual };
  struct Case {
    int s0, s1, t0, t1, classNum;
    Draw draw;
  };
  const Case cases[] = {
      {1, 1, 1, 1, 2, kRandom},        {15, 17, 16, 0, 2, kRandom},
      {16, 16, 33, 31, 2, kFewDistinct}, {0, 40, 5, 40, 2, kFewDistinct},
      {150, 120, 255, 255, 2, kRandom}, {255, 255, 200, 3, 2, kFewDistinct},
      {47, 9, 60, 60, 1, kFewDistinct}, {33, 18, 29, 40, 2, kAllEqual},
  };
  fingers::Rng rng(41);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.s0 << "+" << c.s1 << " vs " << c.t0 << "+" << c.t1
                                    << " draw " << c.draw);
    ST_Feature pool[4];
    for (ST_Feature &f : pool)
      for (uint32_t &w : f.descr) w = static_cast<uint32_t>(rng.Next());
    auto fill = [&](std::vector<ST_Feature> *v) {
      for (ST_Feature &f : *v) {
        if (c.draw == kRandom) {
          for (uint32_t &w : f.descr) w = static_cast<uint32_t>(rng.Next());
        } else if (c.draw == kAllEqual) {
          f = pool[0];
        } else {
          f = pool[rng.Below(4)];
          for (uint64_t flips = rng.Below(3); flips > 0; --flips) {
            const uint64_t bit = rng.Below(ZQ_DESCR_BITS);
            f.descr[bit / 32] ^= 1u << (bit % 32);
          }
        }
      }
    };
    std::vector<ST_Feature> smp(c.s0 + c.s1), tpl(c.t0 + c.t1);
    fill(&smp);
    fill(&tpl);
    ST_SubTemplate s = zq_test::SubTemplateOver(&smp, c.s0, c.s1);
    ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, c.t0, c.t1);
    s.classNum = static_cast<uint8_t>(c.classNum);

    // The plain scan first, then each vector scan the processor has.
    const int32_t lanes[] = {1, 8, 16};
    uint16_t sims[3][ZQ_MATCH_MAX_SAMPLE_KP][2], idx[3][ZQ_MATCH_MAX_SAMPLE_KP][2], count[3];
    const int rows = std::min(c.s0 + (c.classNum > 1 ? c.s1 : 0), ZQ_MATCH_MAX_SAMPLE_KP);
    for (int k = 0; k < 3; ++k) {
      if (ZqCalcHanmDistanceLanesForTest(lanes[k]) == 0) {
        ZqCalcHanmDistanceLanesForTest(0);
        continue;
      }
      memset(sims[k], 0xEE, sizeof(sims[k]));
      memset(idx[k], 0xEE, sizeof(idx[k]));
      EXPECT_EQ(ZqCalcHanmDistance(&s, &t, sims[k], idx[k], &count[k]), count[k]);
      ZqCalcHanmDistanceLanesForTest(0);
      ASSERT_EQ(count[k], rows) << lanes[k] << " lanes";
      // Every entry, also the untouched ones past the rows.
      for (int n = 0; n < ZQ_MATCH_MAX_SAMPLE_KP; ++n)
        for (int col = 0; col < 2; ++col) {
          ASSERT_EQ(sims[k][n][col], sims[0][n][col]) << lanes[k] << " lanes, row " << n;
          ASSERT_EQ(idx[k][n][col], idx[0][n][col]) << lanes[k] << " lanes, row " << n;
        }
    }
    if (c.draw == kAllEqual && rows > 0) {
      // All similar alike: the first two template keypoints of the group.
      EXPECT_EQ(sims[0][0][0], 256);
      EXPECT_EQ(idx[0][0][0], 0);
      EXPECT_EQ(idx[0][0][1], 1);
    }
  }
}

TEST_F(DescMatchTest, SampleKeypointsBeyondTheTablesAreNotProcessed) {
  std::vector<ST_Feature> smp(250, Kp(0, 0, 0x12345678u, 0));
  std::vector<ST_Feature> tpl = {Kp(0, 0, 0x12345678u, 0)};
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 125, 125);
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 1, 0);
  // One row past the 200 the matcher sizes: a guard the call must not touch.
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP + 1][2], idx[ZQ_MATCH_MAX_SAMPLE_KP + 1][2];
  sims[ZQ_MATCH_MAX_SAMPLE_KP][0] = 0xBEEF;
  uint16_t count = 0;
  EXPECT_EQ(ZqCalcHanmDistance(&s, &t, sims, idx, &count), ZQ_MATCH_MAX_SAMPLE_KP);
  EXPECT_EQ(sims[ZQ_MATCH_MAX_SAMPLE_KP][0], 0xBEEF);
}

// Pair selection from hand-written tables.
struct PairFixture {
  std::vector<ST_Feature> smp;
  std::vector<uint16_t> best, second;
  void Add(float x, float y, uint16_t b, uint16_t s) {
    smp.push_back(Kp(x, y, 0, 0));
    best.push_back(b);
    second.push_back(s);
  }
  std::vector<ST_MatchPair> Run() {
    ST_SubTemplate s = zq_test::SubTemplateOver(&smp, static_cast<int>(smp.size()), 0);
    std::vector<uint16_t> sims(2 * smp.size()), idx(2 * smp.size());
    for (size_t i = 0; i < smp.size(); ++i) {
      sims[2 * i] = best[i];
      sims[2 * i + 1] = second[i];
      idx[2 * i] = static_cast<uint16_t>(1000 + i);
      idx[2 * i + 1] = 0;
    }
    ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS];
    uint16_t n = 999;
    ZqGetMatchPairs(&s, nullptr, reinterpret_cast<uint16_t(*)[2]>(sims.data()),
                    reinterpret_cast<uint16_t(*)[2]>(idx.data()),
                    static_cast<uint16_t>(smp.size()), pairs, &n);
    return std::vector<ST_MatchPair>(pairs, pairs + n);
  }
};

TEST_F(DescMatchTest, PairAcceptanceByBestAndRatioOfSecond) {
  struct Case {
    uint8_t algoMode;
    uint16_t sensorType;
    uint16_t best, second;
    bool accepted;
  };
  const Case cases[] = {
      {1, 2, 160, 157, true},   {1, 2, 160, 158, false},  // 59/60 of the best
      {1, 2, 159, 0, false},    {1, 2, 256, 251, true},   {1, 2, 256, 252, false},
      {5, 16, 160, 156, true},  {5, 16, 160, 157, false},  // 49/50 on type 16 in mode 5
      {5, 2, 160, 157, true},   {4, 16, 160, 157, true},
  };
  for (const Case &c : cases) {
    ZqSetAlgoMode(c.algoMode);
    ZqSensorTypeSet(c.sensorType);
    PairFixture f;
    f.Add(10, 10, c.best, c.second);
    const std::vector<ST_MatchPair> p = f.Run();
    ASSERT_EQ(p.size(), c.accepted ? 1u : 0u) << c.best << "/" << c.second << " mode " << +c.algoMode;
    if (c.accepted) {
      EXPECT_EQ(p[0].sampleIdx, 0);
      EXPECT_EQ(p[0].templateIdx, 1000);
      EXPECT_EQ(p[0].bestSim, c.best);
      EXPECT_EQ(p[0].secondSim, c.second);
    }
  }
}

TEST_F(DescMatchTest, OnePairPerPositionTheHigherBestWins) {
  PairFixture f;
  f.Add(5, 5, 170, 0);
  f.Add(7, 7, 200, 0);
  f.Add(5, 5, 190, 0);  // same position as row 0, better: replaces it
  f.Add(7, 7, 180, 0);  // same position as row 1, worse: dropped
  f.Add(9, 9, 190, 0);
  const std::vector<ST_MatchPair> p = f.Run();
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].sampleIdx, 1);  // 200
  EXPECT_EQ(p[1].sampleIdx, 2);  // 190, listed before row 4's equal 190 (stable)
  EXPECT_EQ(p[2].sampleIdx, 4);
}

TEST_F(DescMatchTest, SixtyPairsAtMostTheLowestGivesWay) {
  PairFixture f;
  for (int i = 0; i < 60; ++i) f.Add(static_cast<float>(i), 0, static_cast<uint16_t>(170 + i % 3), 0);
  f.Add(100, 0, 170, 0);  // not above the lowest: dropped
  f.Add(101, 0, 240, 0);  // replaces row 0, the first of the lowest
  f.Add(102, 0, 172, 0);  // replaces row 3
  const std::vector<ST_MatchPair> p = f.Run();
  ASSERT_EQ(p.size(), 60u);
  EXPECT_EQ(p[0].sampleIdx, 61);
  for (size_t i = 1; i < p.size(); ++i) {
    EXPECT_GE(p[i - 1].bestSim, p[i].bestSim);
    if (p[i - 1].bestSim == p[i].bestSim && p[i - 1].sampleIdx != 62 && p[i].sampleIdx != 62) {
      EXPECT_LT(p[i - 1].sampleIdx, p[i].sampleIdx);
    }
    EXPECT_NE(p[i].sampleIdx, 0);
    EXPECT_NE(p[i].sampleIdx, 3);
    EXPECT_NE(p[i].sampleIdx, 60);
  }
}

// Pairs (A sample, B template) with B = T(A) for T of the given linear part.
struct AffineCase {
  float a00, a01, a10, a11, tx, ty, dOri;
};

void MakePairs(const AffineCase &t, int inliers, int outliers, uint64_t seed,
               std::vector<ST_MatchPoint> *A, std::vector<ST_MatchPoint> *B,
               std::vector<int> *isInlier) {
  fingers::Rng rng(seed);
  for (int i = 0; i < inliers + outliers; ++i) {
    ST_MatchPoint a{}, b{};
    a.x = static_cast<float>(rng.Uniform(0, 96));
    a.y = static_cast<float>(rng.Uniform(0, 96));
    a.ori = static_cast<float>(rng.Uniform(-2.5, 2.5));
    const bool in = i < inliers;
    if (in) {
      b.x = t.a00 * a.x + t.a01 * a.y + t.tx;
      b.y = t.a10 * a.x + t.a11 * a.y + t.ty;
      b.ori = a.ori + t.dOri;
    } else {
      b.x = static_cast<float>(rng.Uniform(0, 96));
      b.y = static_cast<float>(rng.Uniform(0, 96));
      b.ori = static_cast<float>(rng.Uniform(-2.5, 2.5));
    }
    A->push_back(a);
    B->push_back(b);
    isInlier->push_back(in);
  }
  // Interleave: outliers among the best-ranked pairs too.
  for (size_t i = A->size(); i > 1; --i) {
    const uint32_t j = rng.Below(static_cast<uint32_t>(i));
    std::swap((*A)[i - 1], (*A)[j]);
    std::swap((*B)[i - 1], (*B)[j]);
    std::swap((*isInlier)[i - 1], (*isInlier)[j]);
  }
}

TEST_F(DescMatchTest, AffineSearchRecoversTheTransformAndItsInliers) {
  const float c = 1.03f * std::cos(0.3f), s = 1.03f * std::sin(0.3f);
  const AffineCase t = {c, -s, s, c, 5.0f, -7.0f, 0.3f};
  std::vector<ST_MatchPoint> A, B;
  std::vector<int> in;
  MakePairs(t, 20, 10, 11, &A, &B, &in);
  ST_HMatrix h;
  uint8_t flags[ZQ_HMAT_MAX_PAIRS];
  int16_t n = -1;
  ZqCalcHMat(A.data(), B.data(), static_cast<uint16_t>(A.size()), &h, flags, &n);
  ASSERT_EQ(n, 20);
  EXPECT_NEAR(h.a00, t.a00, 1e-3);
  EXPECT_NEAR(h.a01, t.a01, 1e-3);
  EXPECT_NEAR(h.a02, t.tx, 1e-3);
  EXPECT_NEAR(h.a10, t.a10, 1e-3);
  EXPECT_NEAR(h.a11, t.a11, 1e-3);
  EXPECT_NEAR(h.a12, t.ty, 1e-3);
  for (size_t i = 0; i < A.size(); ++i) EXPECT_EQ(flags[i], in[i]) << i;
  for (size_t i = A.size(); i < ZQ_HMAT_MAX_PAIRS; ++i) EXPECT_EQ(flags[i], 0);
}

TEST_F(DescMatchTest, ShapeLimitsDependOnTheMode) {
  struct Case {
    float sx, sy;
    bool mode1, mode4;
  };
  const Case cases[] = {
      {1.03f, 1.03f, true, true},
      {0.93f, 0.93f, true, true},
      {1.09f, 1.09f, false, true},   // scale deviation 0.09: above 0.08, below 0.12
      {1.0f, 1.07f, false, true},    // axis difference 0.07: above 0.06
      {1.11f, 1.11f, false, false},  // squared lengths 1.23 apart: no triple passes
  };
  for (const Case &c : cases) {
    for (int mode : {1, 4}) {
      ZqSetAlgoMode(static_cast<uint8_t>(mode));
      const AffineCase t = {c.sx, 0.0f, 0.0f, c.sy, 3.0f, 2.0f, -0.1f};
      std::vector<ST_MatchPoint> A, B;
      std::vector<int> in;
      MakePairs(t, 12, 0, 5, &A, &B, &in);
      ST_HMatrix h;
      uint8_t flags[ZQ_HMAT_MAX_PAIRS];
      int16_t n = -1;
      ZqCalcHMat(A.data(), B.data(), static_cast<uint16_t>(A.size()), &h, flags, &n);
      const bool expected = mode == 1 ? c.mode1 : c.mode4;
      if (c.sx == 1.0f) {
        // The anisotropic map still lets triples whose lengths barely change
        // through the length test; the shape test decides.
        EXPECT_EQ(n == 12, expected) << c.sx << "," << c.sy << " mode " << mode;
      } else {
        EXPECT_EQ(n, expected ? 12 : 0) << c.sx << "," << c.sy << " mode " << mode;
      }
    }
  }
}

TEST_F(DescMatchTest, AffineSearchWithoutATripleGivesZero) {
  const AffineCase t = {1, 0, 0, 1, 1, 1, 0};
  for (int pairs : {0, 1, 2}) {
    std::vector<ST_MatchPoint> A, B;
    std::vector<int> in;
    MakePairs(t, pairs, 0, 3, &A, &B, &in);
    ST_HMatrix h = {9, 9, 9, 9, 9, 9};
    uint8_t flags[ZQ_HMAT_MAX_PAIRS];
    for (uint8_t &f : flags) f = 7;
    int16_t n = -1;
    ZqCalcHMat(A.data(), B.data(), static_cast<uint16_t>(pairs), &h, flags, &n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(h.a00, 0.0f);
    EXPECT_EQ(h.a11, 0.0f);
    EXPECT_EQ(h.a02, 0.0f);
    for (uint8_t f : flags) EXPECT_EQ(f, 0);
  }
  // Orientation differences too far apart: no triple is considered.
  std::vector<ST_MatchPoint> A, B;
  std::vector<int> in;
  MakePairs(t, 6, 0, 4, &A, &B, &in);
  for (size_t i = 0; i < B.size(); ++i) B[i].ori = A[i].ori + 0.6f * static_cast<float>(i);
  ST_HMatrix h;
  uint8_t flags[ZQ_HMAT_MAX_PAIRS];
  int16_t n = -1;
  ZqCalcHMat(A.data(), B.data(), 6, &h, flags, &n);
  EXPECT_EQ(n, 0);
}

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  return {std::cos(angle), -std::sin(angle), tx, std::sin(angle), std::cos(angle), ty,
          0.0f, 0.0f, 1.0f, angle};
}

void Apply(const ST_FullHMatrix &h, float x, float y, float *ox, float *oy) {
  *ox = h.a00 * x + h.a01 * y + h.a02;
  *oy = h.a10 * x + h.a11 * y + h.a12;
}

TEST_F(DescMatchTest, ComposeAppliesTheFirstThenTheSecondAndWrapsTheAngle) {
  const ST_FullHMatrix a = Rigid(0.4f, 3.0f, -2.0f);
  const ST_FullHMatrix b = Rigid(-1.1f, -5.0f, 7.5f);
  ST_FullHMatrix ab;
  ZqHmatrixConverse(&ab, &a, &b);
  for (float x : {0.0f, 17.0f, 80.0f}) {
    for (float y : {0.0f, 40.0f}) {
      float x1, y1, x2, y2, xc, yc;
      Apply(a, x, y, &x1, &y1);
      Apply(b, x1, y1, &x2, &y2);
      Apply(ab, x, y, &xc, &yc);
      EXPECT_NEAR(xc, x2, 1e-4);
      EXPECT_NEAR(yc, y2, 1e-4);
    }
  }
  EXPECT_NEAR(ab.a20, 0.0f, 1e-7);
  EXPECT_NEAR(ab.a21, 0.0f, 1e-7);
  EXPECT_NEAR(ab.a22, 1.0f, 1e-7);
  EXPECT_NEAR(ab.dtheta, 0.4f - 1.1f, 1e-6);

  struct Case {
    float a, b, expected;
  };
  const Case wraps[] = {{3.0f, 3.0f, 6.0f - 2 * kPi}, {-3.0f, -3.0f, 2 * kPi - 6.0f},
                        {2.0f, 1.0f, 3.0f},           {-2.0f, -1.0f, -3.0f}};
  for (const Case &c : wraps) {
    const ST_FullHMatrix p = Rigid(c.a, 0, 0), q = Rigid(c.b, 0, 0);
    ST_FullHMatrix r;
    ZqHmatrixConverse(&r, &p, &q);
    EXPECT_NEAR(r.dtheta, c.expected, 1e-5) << c.a << " + " << c.b;
  }
  // In place.
  ST_FullHMatrix inPlace = a;
  ZqHmatrixConverse(&inPlace, &inPlace, &b);
  EXPECT_NEAR(inPlace.a02, ab.a02, 1e-5);
  EXPECT_NEAR(inPlace.a12, ab.a12, 1e-5);
}

TEST_F(DescMatchTest, InverseComposesToTheIdentity) {
  const ST_FullHMatrix rigid = Rigid(0.7f, 12.5f, -30.0f);
  // The general inverse of the full-homography mode, on a sheared map.
  const ST_FullHMatrix affine = {1.05f, 0.1f, -4.0f, -0.2f, 0.97f, 6.0f, 0.0f, 0.0f, 1.0f, -0.2f};
  struct Case {
    ST_FullHMatrix h;
    uint8_t full;
  };
  for (const Case &c : {Case{rigid, 0}, Case{affine, 1}}) {
    gSensorInfor.fullHomography = c.full;
    ST_FullHMatrix inv, id1, id2;
    ZqHmatrixInv(&inv, &c.h);
    EXPECT_EQ(inv.dtheta, -c.h.dtheta);
    ZqHmatrixConverse(&id1, &inv, &c.h);
    ZqHmatrixConverse(&id2, &c.h, &inv);
    for (const ST_FullHMatrix &id : {id1, id2}) {
      const float *m = &id.a00;
      const float expected[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
      for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], expected[i], 1e-5) << i << " full " << +c.full;
      EXPECT_NEAR(id.dtheta, 0.0f, 1e-7);
    }
  }
  // The rigid form ignores what is not rigid: it is not the inverse of a
  // sheared map.
  gSensorInfor.fullHomography = 0;
  ST_FullHMatrix inv, id;
  ZqHmatrixInv(&inv, &affine);
  ZqHmatrixConverse(&id, &inv, &affine);
  EXPECT_GT(std::fabs(id.a00 - 1.0f) + std::fabs(id.a01), 1e-2);
  // In place, and NULL.
  ST_FullHMatrix self = rigid;
  ZqHmatrixInv(&self, &self);
  ZqHmatrixInv(&inv, &rigid);
  EXPECT_EQ(self.a02, inv.a02);
  EXPECT_EQ(self.a12, inv.a12);
  ZqHmatrixInv(nullptr, &rigid);
  ZqHmatrixConverse(&self, nullptr, &rigid);
  EXPECT_EQ(self.a02, inv.a02);
}

// The whole chain on keypoints of one synthetic finger seen twice.
TEST_F(DescMatchTest, PairsOfASyntheticFingerRecoverItsRigidMotion) {
  struct Case {
    uint64_t seed;
    float angle, tx, ty;
  };
  const Case cases[] = {{1, 0.25f, 6.5f, -4.25f}, {2, -0.5f, -10.0f, 8.0f}, {3, 0.05f, 0.5f, 12.0f}};
  for (const Case &c : cases) {
    zq_test::SynthPairParams p;
    p.seed = c.seed;
    p.angle = c.angle;
    p.tx = c.tx;
    p.ty = c.ty;
    p.trueCount = 42;
    p.sampleOutliers = 18;  // 30 % of the sample
    p.tplOutliers = 18;
    auto pair = zq_test::MakeSynthPair(p);

    uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2], count = 0;
    ASSERT_EQ(ZqCalcHanmDistance(&pair->sample, &pair->tpl, sims, idx, &count), 60);
    ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS];
    uint16_t np = 0;
    ZqGetMatchPairs(&pair->sample, &pair->tpl, sims, idx, count, pairs, &np);
    ASSERT_GE(np, 20) << "seed " << c.seed;
    std::vector<ST_MatchPoint> A(np), B(np);
    for (int i = 0; i < np; ++i) {
      const ST_Feature &s = pair->sampleFeat[pairs[i].sampleIdx];
      const ST_Feature &t = pair->tplFeat[pairs[i].templateIdx];
      A[i] = {s.x, s.y, s.ori, 0, pairs[i].bestSim};
      B[i] = {t.x, t.y, t.ori, 0, 0};
    }
    ST_HMatrix h;
    uint8_t flags[ZQ_HMAT_MAX_PAIRS];
    int16_t n = 0;
    ZqCalcHMat(A.data(), B.data(), np, &h, flags, &n);
    EXPECT_GE(n, 15) << "seed " << c.seed;
    const float angle = std::atan2(h.a10, h.a00);
    EXPECT_NEAR(angle, c.angle, 0.5f * kPi / 180.0f) << "seed " << c.seed;
    // Centre, edges and corners of the frame land within half a pixel of
    // where the true motion puts them.
    for (float x : {0.0f, 48.0f, 95.0f}) {
      for (float y : {0.0f, 48.0f, 95.0f}) {
        const float ex = std::cos(c.angle) * x - std::sin(c.angle) * y + c.tx;
        const float ey = std::sin(c.angle) * x + std::cos(c.angle) * y + c.ty;
        const float gx = h.a00 * x + h.a01 * y + h.a02, gy = h.a10 * x + h.a11 * y + h.a12;
        EXPECT_NEAR(gx, ex, 0.5f) << "seed " << c.seed << " at " << x << "," << y;
        EXPECT_NEAR(gy, ey, 0.5f) << "seed " << c.seed << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
