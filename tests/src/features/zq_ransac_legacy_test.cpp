// The older int16 registration and its parts: two-point estimate, consensus
// count, candidate search and update, and the rounds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "src/features/ZqRansacLegacy.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

ST_Point16s Pt(double x, double y) {
  ST_Point16s p = {static_cast<int16_t>(std::lround(x)), static_cast<int16_t>(std::lround(y))};
  return p;
}

TEST(TwoPointEstimate, SpecialCasesAndGeneralAngles) {
  struct Case {
    const char *what;
    ST_Point16s ref[2], test[2];
    float dtheta, dx, dy, tol;
  };
  // General cases: test = R(-a) (ref - t) for a known a and t.
  auto general = [](const char *what, double a, double tx, double ty) {
    Case c;
    c.what = what;
    c.ref[0] = {20, 10};
    c.ref[1] = {80, 50};
    for (int i = 0; i < 2; ++i) {
      const double u = c.ref[i].x - tx, v = c.ref[i].y - ty;
      // Exact only up to rounding; the tolerance allows for it.
      c.test[i] = Pt(std::cos(a) * u + std::sin(a) * v, -std::sin(a) * u + std::cos(a) * v);
    }
    c.dtheta = static_cast<float>(a < 0 ? a + 2 * M_PI : a);
    c.dx = static_cast<float>(tx);
    c.dy = static_cast<float>(ty);
    c.tol = 0.02f;
    return c;
  };
  const Case cases[] = {
      {"quarter turn back", {{0, 0}, {10, 0}}, {{0, 0}, {0, 10}}, 4.712389f, 0.0f, 0.0f, 1e-7f},
      {"quarter turn", {{0, 0}, {10, 0}}, {{0, 0}, {0, -10}}, 1.5707964f, 0.0f, 0.0f, 1e-6f},
      {"same points", {{3, 4}, {30, -7}}, {{3, 4}, {30, -7}}, 0.0f, 0.0f, 0.0f, 0.0f},
      general("positive angle", 0.5, 10.0, -20.0),
      general("negative angle wraps up", -0.5, -5.0, 8.0),
      general("obtuse angle", 2.5, 60.0, 40.0),
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    float dx = 99, dy = 99, dt = 99;
    ZqEstimateRotParms2Pts(c.ref, c.test, &dx, &dy, &dt);
    EXPECT_NEAR(dt, c.dtheta, c.tol);
    // The shift follows from the angle: compare where test[0] lands.
    EXPECT_NEAR(dx, c.dx, c.tol * 100 + 1e-7);
    EXPECT_NEAR(dy, c.dy, c.tol * 100 + 1e-7);
    EXPECT_GE(dt, 0.0f);
    EXPECT_LT(dt, 6.2831855f);
  }
}

TEST(ConsensusSet, IdentityCountsPairsWithinManhattanFour) {
  const ST_Point16s ref[] = {{10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}};
  const ST_Point16s test[] = {{10, 10}, {13, 10}, {14, 10}, {8, 9}, {8, 8}, {10, 6}, {11, 12}};
  // Manhattan gaps:          0 in      3 in      4 out     3 in     4 out    4 out    3 in
  uint16_t cons[7] = {};
  ASSERT_EQ(ZqGetConsensusSet(cons, ref, test, 7, 0.0f, 0.0f, 0.0f), 4);
  EXPECT_EQ(cons[0], 0);
  EXPECT_EQ(cons[1], 1);
  EXPECT_EQ(cons[2], 3);
  EXPECT_EQ(cons[3], 6);
  // dx = -3 moves the window: x gaps 3, 0, -1 are in, (5, 1), (5, 2), (3, 4)
  // and (2, -2) are out.
  EXPECT_EQ(ZqGetConsensusSet(cons, ref, test, 7, -3.0f, 0.0f, 0.0f), 3);
  EXPECT_EQ(ZqGetConsensusSet(nullptr, ref, test, 7, 0, 0, 0), 0);
}

// A 4 x 4 candidate matrix with distinct entries (stride 5), so that every
// move is visible.
void FillMatrix(uint8_t *d, int stride, int n) {
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) d[r * stride + c] = static_cast<uint8_t>(10 * r + c);
}

TEST(UpdateItems, RemovesExactlyTheConsensusPairsIncludingPairZero) {
  struct Case {
    const char *what;
    std::vector<uint16_t> consensus;
    std::vector<uint16_t> keptPositions;
  };
  const Case cases[] = {
      {"pair 0 and 5 counted", {0, 5}, {1, 3}},
      {"pair 3 counted: pair 0 stays", {3}, {0, 2, 3}},
      {"pairs not among the candidates", {1, 2, 9}, {0, 1, 2, 3}},
      {"all counted", {0, 3, 5, 7}, {}},
  };
  const uint16_t index0[4] = {0, 3, 5, 7};
  const int16_t imp0[4] = {40, 30, 20, 10};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    uint16_t index[4];
    int16_t imp[4];
    uint8_t d[25] = {}, d0[25] = {};
    std::memcpy(index, index0, sizeof index);
    std::memcpy(imp, imp0, sizeof imp);
    FillMatrix(d, 5, 4);
    std::memcpy(d0, d, sizeof d);
    uint16_t left = 4;
    ZqUpdateItems(imp, index, 5, &left, d, static_cast<uint16_t>(c.consensus.size()),
                  c.consensus.data());
    ASSERT_EQ(left, c.keptPositions.size());
    for (size_t k = 0; k < c.keptPositions.size(); ++k) {
      const int old = c.keptPositions[k];
      EXPECT_EQ(index[k], index0[old]);
      EXPECT_EQ(imp[k], imp0[old]);
      if (left > 1) {
        for (size_t j = 0; j < c.keptPositions.size(); ++j)
          EXPECT_EQ(d[k * 5 + j], d0[old * 5 + c.keptPositions[j]]) << k << "," << j;
      }
    }
    EXPECT_EQ(ZqGetMallocCnts(), 0);
  }
}

TEST(FindCandidatePair, DropsCandidatesWithoutASharedNeighbour) {
  // Candidates are pairs 2, 4, 6, 8. The most important one (pair 2) is
  // consistent only with pair 4, and the two share no third neighbour, so
  // pair 2 is dropped; pairs 4, 6, 8 are mutually consistent.
  ST_Point16s ref[10], test[10];
  for (int i = 0; i < 10; ++i) {
    ref[i] = {static_cast<int16_t>(i), static_cast<int16_t>(10 * i)};
    test[i] = {static_cast<int16_t>(100 + i), static_cast<int16_t>(i)};
  }
  uint16_t index[4] = {2, 4, 6, 8};
  int16_t imp[4] = {9, 3, 3, 3};
  const int S = 5;  // stride wider than the count
  uint8_t d[S * S] = {};
  auto link = [&](int a, int b) { d[a * S + b] = d[b * S + a] = 1; };
  link(0, 1);
  link(1, 2);
  link(2, 3);
  link(1, 3);
  uint16_t left = 4;
  ST_Point16s r2[2], t2[2];
  ASSERT_EQ(ZqFindCandi2Pts(r2, t2, ref, test, d, imp, index, S, &left), 1);
  EXPECT_EQ(left, 3);
  EXPECT_EQ(index[0], 4);
  EXPECT_EQ(index[1], 6);
  EXPECT_EQ(index[2], 8);
  EXPECT_EQ(r2[0].y, 40);
  EXPECT_EQ(r2[1].y, 60);
  EXPECT_EQ(t2[0].x, 104);
  EXPECT_EQ(t2[1].x, 106);
  // The matrix lost row and column 0.
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d[r * S + c], r == c ? 0 : 1) << r << "," << c;

  // Without any triangle, every candidate goes and nothing is found.
  uint8_t lonely[S * S] = {};
  lonely[0 * S + 1] = lonely[1 * S + 0] = 1;
  uint16_t index2[4] = {2, 4, 6, 8};
  int16_t imp2[4] = {1, 1, 1, 1};
  left = 4;
  EXPECT_EQ(ZqFindCandi2Pts(r2, t2, ref, test, lonely, imp2, index2, S, &left), 0);
  EXPECT_EQ(left, 2);
}

TEST(LegacyRegistration, ExactShiftStopsEarlyWithTheExactTransform) {
  std::vector<ST_Point16s> ref, test;
  for (int i = 0; i < 10; ++i) {
    ref.push_back(Pt(13 * i % 97, 29 * i % 89));
    test.push_back(Pt(13 * i % 97 + 5, 29 * i % 89 - 3));
  }
  ST_FullHMatrix h;
  uint16_t cons[10];
  ASSERT_EQ(ZqRansac(ref.data(), test.data(), 10, &h, cons), 10);
  const float want[10] = {1, 0, -5, 0, 1, 3, 0, 0, 1, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ((&h.a00)[i], want[i]) << i;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(cons[i], i);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(LegacyRegistration, ReturnsTheSetOfTheBestRoundNotOfTheLast) {
  // Pairs 0-7 follow motion A, pairs 8-14 motion B, pairs 15-19 are noise.
  // Neither group reaches half of the 20 pairs, so every round runs; the
  // result is group A's count, and the set must be group A's.
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0.0, 100.0);
  std::vector<ST_Point16s> ref, test;
  for (int i = 0; i < 8; ++i) {
    const double x = u(rng), y = u(rng), a = 0.3;
    ref.push_back(Pt(x, y));
    test.push_back(Pt(std::cos(a) * x + std::sin(a) * y - 10, -std::sin(a) * x + std::cos(a) * y + 4));
  }
  for (int i = 0; i < 7; ++i) {
    const double x = 300 + u(rng), y = u(rng);
    ref.push_back(Pt(x, y));
    test.push_back(Pt(x - 250, y + 120));
  }
  for (int i = 0; i < 5; ++i) {
    ref.push_back(Pt(4 * u(rng), 4 * u(rng)));
    test.push_back(Pt(4 * u(rng), 4 * u(rng)));
  }
  ST_FullHMatrix h;
  std::vector<uint16_t> cons(20, 0xFFFF);
  ASSERT_EQ(ZqRansac(ref.data(), test.data(), 20, &h, cons.data()), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(cons[i], i);
  EXPECT_NEAR(h.dtheta, 0.3, 0.03);
}

TEST(LegacyRegistration, RefusalsAndTooFewCandidates) {
  const ST_FullHMatrix untouched = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  // Pairwise inconsistent: every test point is the reference scaled by 3.
  std::vector<ST_Point16s> ref, test;
  for (int i = 0; i < 10; ++i) {
    ref.push_back(Pt(17 * i, 11 * (i % 4)));
    test.push_back(Pt(51 * i, 33 * (i % 4)));
  }
  std::vector<ST_Point16s> big(256, ST_Point16s{1, 2});
  struct Case {
    const char *what;
    const ST_Point16s *ref, *test;
    uint16_t n;
  };
  const Case cases[] = {
      {"null set", nullptr, test.data(), 10},
      {"two pairs", ref.data(), ref.data(), 2},
      {"too many pairs", big.data(), big.data(), 256},
      {"no consistent triples", ref.data(), test.data(), 10},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ST_FullHMatrix h = untouched;
    EXPECT_EQ(ZqRansac(c.ref, c.test, c.n, &h, nullptr), 0);
    EXPECT_EQ(std::memcmp(&h, &untouched, sizeof h), 0);
  }
}

}  // namespace
