// Rigid registration: worked cases, argument and capacity refusals, variant
// differences, and recovery of known motions from pair sets with outliers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "src/features/ZqGeomMath.h"
#include "src/features/ZqPointTopologyCheck.h"
#include "src/features/ZqRansac.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

using FloatRegistration = int (*)(const ST_MatchPoint *, const ST_MatchPoint *, uint16_t,
                                  ST_FullHMatrix *, uint16_t *);

struct FloatVariant {
  const char *name;
  FloatRegistration fn;
  int badInput;  // code for NULL sets and too short or too long sets
};

const FloatVariant kFloatVariants[] = {
    {"ZqRansacAngle_32f", ZqRansacAngle_32f, -1},
    {"ZqRansacEdage_32f", ZqRansacEdage_32f, 0},
    {"ZqRansacEdage_32f_ZQ4850", ZqRansacEdage_32f_ZQ4850, -1},
};

// A rigid motion in the registration's sense: test = R(-theta) (ref - t),
// so that ref = R(theta) test + t.
struct Motion {
  double theta, tx, ty;
  void Apply(double x, double y, double *ox, double *oy) const {
    *ox = std::cos(theta) * x - std::sin(theta) * y + tx;
    *oy = std::sin(theta) * x + std::cos(theta) * y + ty;
  }
  void Invert(double x, double y, double *ox, double *oy) const {
    const double u = x - tx, v = y - ty;
    *ox = std::cos(theta) * u + std::sin(theta) * v;
    *oy = -std::sin(theta) * u + std::cos(theta) * v;
  }
};

ST_MatchPoint MP(double x, double y) {
  ST_MatchPoint p = {static_cast<float>(x), static_cast<float>(y), 0.0f, 0, 0};
  return p;
}

// Ten reference points within 100 pixels, spread so that no triangle is thin.
const double kTen[10][2] = {{10, 12}, {85, 20}, {40, 90}, {70, 75}, {20, 55},
                            {95, 60}, {55, 35}, {30, 25}, {80, 95}, {5, 85}};

struct FloatPairs {
  std::vector<ST_MatchPoint> ref, test;
};

FloatPairs TenUnder(const Motion &m) {
  FloatPairs s;
  for (const auto &p : kTen) {
    double tx, ty;
    m.Invert(p[0], p[1], &tx, &ty);
    s.ref.push_back(MP(p[0], p[1]));
    s.test.push_back(MP(tx, ty));
  }
  return s;
}

const ST_FullHMatrix kUntouchedH = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};

void ExpectRigidRecord(const ST_FullHMatrix &h) {
  EXPECT_EQ(h.a00, h.a11);
  EXPECT_EQ(h.a01, -h.a10);
  EXPECT_EQ(h.a20, 0.0f);
  EXPECT_EQ(h.a21, 0.0f);
  EXPECT_EQ(h.a22, 1.0f);
  EXPECT_NEAR(h.a00, std::cos(h.dtheta), 1e-6);
  EXPECT_NEAR(h.a10, std::sin(h.dtheta), 1e-6);
}

TEST(FloatRegistration, ThirtyDegreesAndShiftGiveAllTenSeedLast) {
  const Motion m = {30.0 * M_PI / 180.0, 3.0, -2.0};
  const FloatPairs s = TenUnder(m);
  for (const FloatVariant &v : kFloatVariants) {
    SCOPED_TRACE(v.name);
    ST_FullHMatrix h = kUntouchedH;
    uint16_t cons[10] = {};
    ASSERT_EQ(v.fn(s.ref.data(), s.test.data(), 10, &h, cons), 10);
    const uint16_t order[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(cons[i], order[i]) << i;
    // The polynomial arctangent, not the exact 0.5235988.
    EXPECT_NEAR(h.dtheta, 0.52345f, 5e-5);
    EXPECT_GT(std::fabs(h.dtheta - 0.5235988f), 1e-4);
    EXPECT_NEAR(h.a02, 3.0, 0.05);
    EXPECT_NEAR(h.a12, -2.0, 0.05);
    ExpectRigidRecord(h);
    EXPECT_EQ(ZqGetMallocCnts(), 0);
  }
}

TEST(FloatRegistration, NullOutputsOnSuccessStillWriteTheOther) {
  const FloatPairs s = TenUnder({0.2, -4.0, 6.0});
  for (const FloatVariant &v : kFloatVariants) {
    SCOPED_TRACE(v.name);
    uint16_t cons[10] = {};
    EXPECT_EQ(v.fn(s.ref.data(), s.test.data(), 10, nullptr, cons), 10);
    EXPECT_EQ(cons[9], 0);
    ST_FullHMatrix h = kUntouchedH;
    EXPECT_EQ(v.fn(s.ref.data(), s.test.data(), 10, &h, nullptr), 10);
    EXPECT_NEAR(h.a02, -4.0, 0.05);
  }
}

TEST(FloatRegistration, BadInputAndNoConsensusLeaveOutputsUntouched) {
  const FloatPairs s = TenUnder({0.1, 1.0, 1.0});
  // 256 pairs: more than the 8-bit importances can count.
  std::vector<ST_MatchPoint> big(256);
  for (int i = 0; i < 256; ++i) big[i] = MP(i % 16 * 7.0, i / 16 * 7.0);
  struct Case {
    const char *what;
    const ST_MatchPoint *ref, *test;
    uint16_t n;
    bool badInput;
    const char *message;  // logged message, "" for none
  };
  const Case cases[] = {
      {"null ref", nullptr, s.test.data(), 10, true, "ZqRansacNew...(refSet == NULL) || (testSet == NULL)"},
      {"null test", s.ref.data(), nullptr, 10, true, "ZqRansacNew...(refSet == NULL) || (testSet == NULL)"},
      {"two pairs", s.ref.data(), s.test.data(), 2, true, "ZqRansacNew...setLength < 3"},
      {"256 pairs", big.data(), big.data(), 256, true, "ZqRansacNew...setLength > 255"},
      // Exact, but every importance is 3: no candidate list.
      {"three exact pairs", s.ref.data(), s.test.data(), 3, false, ""},
  };
  for (const FloatVariant &v : kFloatVariants) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(v.name) + ": " + c.what);
      ST_FullHMatrix h = kUntouchedH;
      std::vector<uint16_t> cons(256, 0xBEEF);
      LibLogCapture log;
      EXPECT_EQ(v.fn(c.ref, c.test, c.n, &h, cons.data()), c.badInput ? v.badInput : 0);
      EXPECT_EQ(std::memcmp(&h, &kUntouchedH, sizeof h), 0);
      EXPECT_EQ(cons[0], 0xBEEF);
      const auto msgs = log.Messages();
      if (*c.message == '\0') {
        EXPECT_TRUE(msgs.empty());
      } else {
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0], c.message);
      }
    }
  }
}

TEST(FloatRegistration, ShortSetMessageIsADebugLineUnderTheCallersName) {
  const FloatPairs s = TenUnder({0.1, 1.0, 1.0});
  LibLogCapture log;
  ZqRansacEdage_32f(s.ref.data(), s.test.data(), 2, nullptr, nullptr);
  ZqRansacAngle_32f(nullptr, s.test.data(), 10, nullptr, nullptr);
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(testing_support::IsLibNoteLine(lines[0], "ZqRansacNew...setLength < 3")) << lines[0];
  EXPECT_NE(lines[1].find("error at ZqRansacAngle_32f("), std::string::npos) << lines[1];
}

TEST(FloatRegistration, DisplacedPairNeverJoinsTheConsensus) {
  const Motion m = {-0.3, 12.0, 5.0};
  FloatPairs s = TenUnder(m);
  s.test[4].x += 3.0f;  // 5 pixels off where the motion puts it
  s.test[4].y -= 4.0f;
  for (const FloatVariant &v : kFloatVariants) {
    SCOPED_TRACE(v.name);
    uint16_t cons[10] = {};
    const int r = v.fn(s.ref.data(), s.test.data(), 10, nullptr, cons);
    EXPECT_EQ(r, 9);
    for (int i = 0; i < r; ++i) EXPECT_NE(cons[i], 4);
  }
}

TEST(FloatRegistration, MirrorTrianglesPassOnlyTheAngleVariant) {
  // Points on a shallow parabola and their mirror image across the x axis:
  // every distance and unsigned angle agrees, every orientation flips, and
  // the best rigid fit stays within the inlier tolerance.
  FloatPairs s;
  for (int i = 0; i < 10; ++i) {
    const double x = 10.0 * i, y = 0.0001 * x * x;
    s.ref.push_back(MP(x, y));
    s.test.push_back(MP(x, -y));
  }
  uint16_t cons[10];
  EXPECT_EQ(ZqRansacAngle_32f(s.ref.data(), s.test.data(), 10, nullptr, cons), 10);
  EXPECT_EQ(ZqRansacEdage_32f(s.ref.data(), s.test.data(), 10, nullptr, cons), 0);
  EXPECT_EQ(ZqRansacEdage_32f_ZQ4850(s.ref.data(), s.test.data(), 10, nullptr, cons), 0);
}

TEST(FloatRegistration, ThirdEdgeToleranceSeparatesTheEdgeVariants) {
  // Nine pairs in a cluster and pair 9 far off to the lower right, moved
  // 1.5 pixels further away on the test side: its edges to the cluster
  // change by 1.4 to 1.5 (fail < 1, pass < 2), its residual (1.06, 1.06)
  // passes both inlier tests.
  FloatPairs s;
  for (int i = 0; i < 9; ++i) {
    s.ref.push_back(MP(kTen[i][0] * 0.4, kTen[i][1] * 0.4));
    s.test.push_back(s.ref.back());
  }
  s.ref.push_back(MP(120.0, 120.0));
  s.test.push_back(MP(120.0 + 1.5 / std::sqrt(2.0), 120.0 + 1.5 / std::sqrt(2.0)));
  uint16_t cons[10];
  EXPECT_EQ(ZqRansacEdage_32f(s.ref.data(), s.test.data(), 10, nullptr, cons), 9);
  EXPECT_EQ(ZqRansacEdage_32f_ZQ4850(s.ref.data(), s.test.data(), 10, nullptr, cons), 10);
}

// The inlier tests at their bounds: thirty pairs under one motion, the
// reference point of one near the middle moved by (ox, oy). The move stays
// below 2 pixels, so the pair keeps all its distances and triangles; the
// first estimate takes about a thirtieth of the move into the shift, so
// the residual is about -0.97 (ox, oy). The angle and edge variants keep
// the pair while |rx| and |ry| are below 1.2; the ZQ4850 variant while
// |rx| + |ry| is below 2.5.
TEST(FloatRegistration, InlierBoundsOfTheVariants) {
  const Motion m = {0.1, 4.0, -3.0};
  FloatPairs base;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j) {
      const double x = 10 + 18 * i + (i * 7 + j * 3) % 5, y = 10 + 20 * j + (i * 3 + j * 2) % 4;
      double tx, ty;
      m.Invert(x, y, &tx, &ty);
      base.ref.push_back(MP(x, y));
      base.test.push_back(MP(tx, ty));
    }
  const int moved = 2 * 5 + 2;  // (46, 54), near the middle of the set
  const struct {
    double ox, oy;
    int kept[3];  // angle, edge, ZQ4850
  } cases[] = {
      {0.0, 0.0, {30, 30, 30}},  {1.1, 0.0, {30, 30, 30}},  {0.0, -1.1, {30, 30, 30}},
      {1.3, 0.0, {29, 29, 30}},  {0.0, 1.3, {29, 29, 30}},  {1.1, 1.1, {30, 30, 30}},
      {1.2, 1.2, {30, 30, 30}},  {1.3, 0.9, {29, 29, 30}},  {1.4, 1.4, {29, 29, 29}},
      {-1.4, 1.4, {29, 29, 29}}, {1.4, -1.4, {29, 29, 29}}, {1.9, 0.0, {29, 29, 30}},
      {0.0, -1.9, {29, 29, 30}},
  };
  for (const auto &c : cases) {
    FloatPairs s = base;
    s.ref[moved].x += static_cast<float>(c.ox);
    s.ref[moved].y += static_cast<float>(c.oy);
    for (int v = 0; v < 3; ++v) {
      SCOPED_TRACE(testing::Message() << kFloatVariants[v].name << ", moved by " << c.ox << ", "
                                      << c.oy);
      uint16_t cons[30] = {};
      const int r = kFloatVariants[v].fn(s.ref.data(), s.test.data(), 30, nullptr, cons);
      ASSERT_EQ(r, c.kept[v]);
      EXPECT_EQ(cons[r - 1], 0) << "the first seed, last";
      EXPECT_EQ(std::count(cons, cons + r, moved), r == 30 ? 1 : 0);
    }
  }
}

// A pair stays in its seed's list when it passes the triangle test with at
// least three other listed pairs (importance 4 with itself). Pair x, last,
// has its reference point moved 1.15 pixels along x: an inlier (below 1.2),
// but its edges to the pairs beside it change by about 1.15, failing the
// edge variant's third-edge test (below 1); only the pairs straight above
// or below it pass. The seed is pair 0.
TEST(FloatRegistration, PairNeedsThreeTrianglePartnersToStay) {
  const Motion m = {0.2, 6.0, -4.0};
  const double beside[][2] = {{5, 50}, {95, 50}, {10, 45}, {90, 55}, {20, 52}, {80, 48}};
  const double above[][2] = {{50, 15}, {50, 85}, {49, 30}};
  for (int partners : {3, 2}) {
    SCOPED_TRACE(testing::Message() << partners << " pairs above or below x");
    std::vector<std::array<double, 2>> pts = {{20, 90}};
    for (const auto &p : beside) pts.push_back({p[0], p[1]});
    for (int i = 0; i < partners; ++i) pts.push_back({above[i][0], above[i][1]});
    pts.push_back({50, 50});
    FloatPairs s;
    for (const auto &p : pts) {
      double tx, ty;
      m.Invert(p[0], p[1], &tx, &ty);
      s.ref.push_back(MP(p[0], p[1]));
      s.test.push_back(MP(tx, ty));
    }
    const int n = static_cast<int>(pts.size()), x = n - 1;
    s.ref[x].x += 1.15f;
    uint16_t cons[16] = {};
    const int r = ZqRansacEdage_32f(s.ref.data(), s.test.data(), static_cast<uint16_t>(n), nullptr,
                                    cons);
    ASSERT_EQ(r, partners == 3 ? n : n - 1);
    EXPECT_EQ(cons[r - 1], 0);
    EXPECT_EQ(std::count(cons, cons + r, x), partners == 3 ? 1 : 0);
  }
}

TEST(FloatRegistration, SeedOffItsPlaceFailsItsPassAndTheSecondSeedWins) {
  // Pair 0, the first seed, (1.4, 1.4) off: still distance-consistent with
  // all (importances stay equal, so the seeds are pairs 0 and 1), but not an
  // inlier. Its pass must fail; the pass of seed 1 succeeds with 1 last.
  // (The sum test of the ZQ4850 variant cannot reject a shift that small.)
  FloatPairs s = TenUnder({0.2, 3.0, 1.0});
  s.test[0].x += 1.4f;
  s.test[0].y += 1.4f;
  for (const FloatVariant &v : {kFloatVariants[0], kFloatVariants[1]}) {
    SCOPED_TRACE(v.name);
    uint16_t cons[10] = {};
    ASSERT_EQ(v.fn(s.ref.data(), s.test.data(), 10, nullptr, cons), 9);
    EXPECT_EQ(cons[8], 1);
    for (int i = 0; i < 9; ++i) EXPECT_NE(cons[i], 0);
  }
}

TEST(FloatRegistration, FullSetOf255PairsIsCountedWithoutWrap) {
  // 255 exact pairs: every importance is 255, the largest an 8-bit sum holds.
  std::vector<ST_MatchPoint> ref, test;
  const Motion m = {0.25, -7.0, 9.0};
  for (int i = 0; i < 255; ++i) {
    const double x = (i % 17) * 9.0 + (i / 17) * 0.7, y = (i / 17) * 11.0;
    double qx, qy;
    m.Invert(x, y, &qx, &qy);
    ref.push_back(MP(x, y));
    test.push_back(MP(qx, qy));
  }
  std::vector<uint16_t> cons(255);
  ST_FullHMatrix h;
  EXPECT_EQ(ZqRansacAngle_32f(ref.data(), test.data(), 255, &h, cons.data()), 255);
  EXPECT_EQ(cons[254], 0);
  EXPECT_NEAR(h.a02, -7.0, 0.1);
}

// Recovery of random rigid motions (rotation within 30 degrees, shift within
// 20 pixels) from 28 inlier pairs and 12 outliers (30 %).
template <class Point, class Register>
void CheckRecovery(const char *name, Register reg, Point (*make)(double, double), unsigned seed) {
  SCOPED_TRACE(name);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> angle(-30.0, 30.0), shift(-20.0, 20.0), pos(20.0, 180.0);
  int successes = 0;
  for (int trial = 0; trial < 40; ++trial) {
    const Motion m = {angle(rng) * M_PI / 180.0, shift(rng), shift(rng)};
    std::vector<Point> ref, test;
    std::vector<bool> inlier;
    for (int i = 0; i < 40; ++i) {
      const double x = pos(rng), y = pos(rng);
      double qx, qy;
      const bool in = i % 10 >= 3;
      if (in) {
        m.Invert(x, y, &qx, &qy);
      } else {
        qx = pos(rng);
        qy = pos(rng);
      }
      ref.push_back(make(x, y));
      test.push_back(make(qx, qy));
      inlier.push_back(in);
    }
    ST_FullHMatrix h;
    uint16_t cons[40];
    const int r = reg(ref.data(), test.data(), 40, &h, cons);
    if (r <= 0) continue;
    ++successes;
    EXPECT_NEAR(h.dtheta * 180.0 / M_PI, m.theta * 180.0 / M_PI, 0.5) << trial;
    EXPECT_NEAR(h.a02, m.tx, 0.5) << trial;
    EXPECT_NEAR(h.a12, m.ty, 0.5) << trial;
    for (int k = 0; k < r; ++k) EXPECT_TRUE(inlier[cons[k]]) << trial << " pair " << cons[k];
    EXPECT_GE(r, 20) << trial;
  }
  EXPECT_GE(successes, 38);
}

TEST(Registration, RecoversRandomMotionsDespiteThirtyPercentOutliers) {
  for (const FloatVariant &v : kFloatVariants) CheckRecovery<ST_MatchPoint>(v.name, v.fn, MP, 11);
  auto p16 = [](double x, double y) {
    ST_Point16s p = {static_cast<int16_t>(std::lround(x)), static_cast<int16_t>(std::lround(y))};
    return p;
  };
  CheckRecovery<ST_Point16s>("ZqRansacNew", ZqRansacNew, +p16, 12);
}

// The eight-lane pair and triangle matrices against the plain ones, every
// float variant: sets of 3 to 255 pairs (no multiple of eight needed) on a
// quarter-pixel lattice, so that repeated points (zero-length rays), equal
// distances and gaps on the 2-pixel and 3-degree limits are common, with
// noisy inliers, outliers and a pair that is not a number.
TEST(FloatRegistration, EightLanesGiveThePlainResultsBitForBit) {
  std::mt19937 rng(29);
  std::uniform_int_distribution<int> lattice(0, 240), jitter(-6, 6), coin(0, 9);
  const int sizes[] = {3, 5, 8, 9, 16, 23, 40, 64, 97, 160, 255};
  int found = 0;
  for (const FloatVariant &v : kFloatVariants) {
    for (int n : sizes) {
      for (int trial = 0; trial < 6; ++trial) {
        SCOPED_TRACE(::testing::Message() << v.name << " n " << n << " trial " << trial);
        // Trials 0 and 1: whole pixels and shifts only, with pairs moved by
        // exactly 2 pixels, so that distance gaps of exactly 2 are common.
        const bool whole = trial < 2;
        const Motion m = {whole ? 0.0 : jitter(rng) * 0.05, jitter(rng) * 1.0, jitter(rng) * 1.0};
        std::vector<ST_MatchPoint> ref, test;
        for (int i = 0; i < n; ++i) {
          const double scale = whole ? 1.0 : 0.25 * trial;
          const double x = lattice(rng) * scale, y = lattice(rng) * scale;
          double qx, qy;
          m.Invert(x, y, &qx, &qy);
          const int kind = coin(rng);
          if (kind == 0) {  // outlier
            qx = lattice(rng) * 0.25;
            qy = lattice(rng) * 0.25;
          } else if (whole && kind <= 3) {  // moved by 2 pixels along one axis
            (kind == 1 ? qx : qy) += kind == 3 ? -2.0 : 2.0;
          } else if (kind <= 3) {  // noisy inlier, a quarter pixel at a time
            qx = std::round(qx * 4.0) / 4.0 + jitter(rng) * 0.25;
            qy = std::round(qy * 4.0) / 4.0 + jitter(rng) * 0.25;
          } else if (kind == 4 && i > 0) {  // a repeat of the previous pair
            ref.push_back(ref.back());
            test.push_back(test.back());
            continue;
          }
          ref.push_back(MP(x, y));
          test.push_back(MP(qx, qy));
        }
        if (trial == 5) test[n / 2].x = NAN;
        std::vector<uint16_t> consPlain(n, 7), consLanes(n, 7);
        ST_FullHMatrix hPlain = kUntouchedH, hLanes = kUntouchedH;
        ZqRansacPlainForTest(1);
        const int rPlain = v.fn(ref.data(), test.data(), static_cast<uint16_t>(n), &hPlain,
                                consPlain.data());
        ZqRansacPlainForTest(0);
        const int rLanes = v.fn(ref.data(), test.data(), static_cast<uint16_t>(n), &hLanes,
                                consLanes.data());
        EXPECT_EQ(rLanes, rPlain);
        EXPECT_EQ(std::memcmp(&hLanes, &hPlain, sizeof(hPlain)), 0);
        EXPECT_EQ(consLanes, consPlain);
        found += rPlain > 0;
      }
    }
  }
  // Most sets hold a consensus, so the whole procedure ran on them.
  EXPECT_GT(found, 100);
}

// ---- int16 family ----

std::vector<ST_Point16s> TenInt16() {
  std::vector<ST_Point16s> v;
  for (const auto &p : kTen) v.push_back({static_cast<int16_t>(p[0]), static_cast<int16_t>(p[1])});
  return v;
}

TEST(Int16Registration, ExactShiftGivesTheExactTransform) {
  const std::vector<ST_Point16s> ref = TenInt16();
  std::vector<ST_Point16s> test = ref;
  for (ST_Point16s &p : test) {
    p.x = static_cast<int16_t>(p.x + 5);
    p.y = static_cast<int16_t>(p.y - 3);
  }
  ST_FullHMatrix h;
  uint16_t cons[10];
  ASSERT_EQ(ZqRansacNew(ref.data(), test.data(), 10, &h, cons), 10);
  const float want[10] = {1, 0, -5, 0, 1, 3, 0, 0, 1, 0};
  const float *got = &h.a00;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], want[i]) << i;
  EXPECT_EQ(cons[9], 0);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(Int16Registration, InlierTestAllowsOneRoundedPixelPerAxis) {
  // Pair 6 (in the middle of the spread) displaced on the test side: the
  // displacement stays within the distance and angle tolerances, so only
  // the inlier test decides.
  struct Case {
    int16_t ddx, ddy;
    bool kept;
  };
  const Case cases[] = {{1, 1, true},  {-1, 1, true}, {1, -1, true},  {0, -1, true},
                        {2, 0, false}, {0, 2, false}, {-2, 1, false}, {1, -2, false}};
  const std::vector<ST_Point16s> ref = TenInt16();
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.ddx) + "," + std::to_string(c.ddy));
    std::vector<ST_Point16s> test = ref;
    test[6].x = static_cast<int16_t>(test[6].x + c.ddx);
    test[6].y = static_cast<int16_t>(test[6].y + c.ddy);
    uint16_t cons[10];
    const int r = ZqRansacNew(ref.data(), test.data(), 10, nullptr, cons);
    ASSERT_EQ(r, c.kept ? 10 : 9);
    bool has6 = false;
    for (int i = 0; i < r; ++i) has6 = has6 || cons[i] == 6;
    EXPECT_EQ(has6, c.kept);
  }
}

TEST(Int16Registration, RefusalsMatchTheFloatFamily) {
  const std::vector<ST_Point16s> ref = TenInt16();
  std::vector<ST_Point16s> big(256, ST_Point16s{1, 1});
  ST_FullHMatrix h = kUntouchedH;
  uint16_t cons[256] = {};
  LibLogCapture log;
  EXPECT_EQ(ZqRansacNew(nullptr, ref.data(), 10, &h, cons), -1);
  EXPECT_EQ(ZqRansacNew(ref.data(), ref.data(), 2, &h, cons), -1);
  EXPECT_EQ(ZqRansacNew(big.data(), big.data(), 256, &h, cons), -1);
  EXPECT_EQ(ZqRansacNew(ref.data(), ref.data(), 3, &h, cons), 0);
  EXPECT_EQ(std::memcmp(&h, &kUntouchedH, sizeof h), 0);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqRansacNew...(refSet == NULL) || (testSet == NULL)",
                                "ZqRansacNew...setLength < 3", "ZqRansacNew...setLength > 255"}));
}

// ---- estimators ----

TEST(Estimators, ArgumentChecksInOrderLeaveOutputsUntouched) {
  const FloatPairs s = TenUnder({0.1, 1.0, 1.0});
  const std::vector<ST_Point16s> p16 = TenInt16();
  const uint16_t idx[3] = {0, 1, 2};
  float dx = 9, dy = 9, dt = 9;
  struct Case {
    float *dx;
    const uint16_t *idx;
    uint16_t n;
    bool nullSets;
    const char *message;
  };
  const Case cases[] = {
      {nullptr, nullptr, 0, true, "ZqEstimateRotParms...(dx == NULL) || (dy == NULL) || (dtheta == NULL)"},
      {&dx, nullptr, 3, true, "ZqEstimateRotParms...(consensusSetIndex == NULL) || (consensusSetNums == 0)"},
      {&dx, idx, 0, false, "ZqEstimateRotParms...(consensusSetIndex == NULL) || (consensusSetNums == 0)"},
      {&dx, idx, 3, true, "ZqEstimateRotParms...(refSet == NULL) || (testSet == NULL)"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    LibLogCapture log;
    ZqEstimateRotParms_32f(c.dx, &dy, &dt, c.nullSets ? nullptr : s.ref.data(), s.test.data(),
                           c.idx, c.n);
    ZqEstimateRotParms(c.dx, &dy, &dt, p16.data(), c.nullSets ? nullptr : p16.data(), c.idx, c.n);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{c.message, c.message}));
    EXPECT_EQ(dx, 9.0f);
    EXPECT_EQ(dy, 9.0f);
    EXPECT_EQ(dt, 9.0f);
  }
}

TEST(Estimators, Int16SumsStayRightWhereThirtyTwoBitsWouldWrap) {
  // 200 points near (29500, 29500): the centring products reach 10^13.
  const double theta = 10.0 * M_PI / 180.0;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> pos(-400.0, 400.0);
  std::vector<ST_Point16s> ref, test;
  std::vector<uint16_t> idx;
  for (int i = 0; i < 200; ++i) {
    const double u = pos(rng), v = pos(rng);
    ref.push_back({static_cast<int16_t>(std::lround(29500 + std::cos(theta) * u - std::sin(theta) * v)),
                   static_cast<int16_t>(std::lround(29500 + std::sin(theta) * u + std::cos(theta) * v))});
    test.push_back({static_cast<int16_t>(std::lround(29400 + u)), static_cast<int16_t>(std::lround(29600 + v))});
    idx.push_back(static_cast<uint16_t>(i));
  }
  float dx, dy, dt;
  ZqEstimateRotParms(&dx, &dy, &dt, ref.data(), test.data(), idx.data(), 200);
  EXPECT_NEAR(dt, theta, 0.2 * M_PI / 180.0);
  // Mapping the test centre (29400, 29600) must give the reference centre.
  EXPECT_NEAR(std::cos(dt) * 29400 - std::sin(dt) * 29600 + dx, 29500.0, 1.0);
  EXPECT_NEAR(std::sin(dt) * 29400 + std::cos(dt) * 29600 + dy, 29500.0, 1.0);
}

// ---- topology checks ----

TEST(TopologyCheck, BalancedDistancesPassAndOneSidedOnesFail) {
  // Pair 0 against partners whose B distances are alternately 1 pixel
  // longer and shorter (balanced), or all 1 pixel longer (one-sided).
  auto build = [](bool balanced, std::vector<ST_Point16s> *A, std::vector<ST_Point16s> *B) {
    A->assign(1, ST_Point16s{100, 100});
    B->assign(1, ST_Point16s{100, 100});
    for (int k = 0; k < 8; ++k) {
      const double a = k * M_PI / 4.0;
      const double r = 40.0 + 5 * k;
      const double rb = r + ((balanced && k % 2 == 1) ? -1.0 : 1.0);
      A->push_back({static_cast<int16_t>(std::lround(100 + r * std::cos(a))),
                    static_cast<int16_t>(std::lround(100 + r * std::sin(a)))});
      B->push_back({static_cast<int16_t>(std::lround(100 + rb * std::cos(a))),
                    static_cast<int16_t>(std::lround(100 + rb * std::sin(a)))});
    }
  };
  const uint16_t list[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  const int16_t state[9] = {};
  for (bool balanced : {true, false}) {
    SCOPED_TRACE(balanced ? "balanced" : "one-sided");
    std::vector<ST_Point16s> A, B;
    build(balanced, &A, &B);
    std::vector<ST_MatchPoint> fA, fB;
    for (size_t i = 0; i < A.size(); ++i) {
      fA.push_back(MP(A[i].x, A[i].y));
      fB.push_back(MP(B[i].x, B[i].y));
    }
    ZqPointTopologyCheckResetForTest();
    EXPECT_EQ(ZqPointTopologyCheck(A.data(), B.data(), 9, list, state, 12, 0), balanced ? 1 : 0);
    EXPECT_EQ(ZqPointTopologyCheck_32f(fA.data(), fB.data(), 9, list, state, 12, 0), balanced ? 1 : 0);
  }
  EXPECT_EQ(ZqPointTopologyCheck(nullptr, nullptr, 0, nullptr, nullptr, 12, 0), 1);
}

}  // namespace
