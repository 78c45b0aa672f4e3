// Rounding, distances, vertex angles, the polynomial arctangent, sine and
// cosine, and the medians, against hand values and double computations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "src/features/ZqGeomMath.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

TEST(Rounding, HalfAwayFromZeroFloorAndCeil) {
  struct Case {
    float v;
    int32_t round, floor, ceil;
  };
  const Case cases[] = {
      {-2.5f, -3, -3, -2}, {2.5f, 3, 2, 3},   {2.3f, 2, 2, 3},   {-2.3f, -2, -3, -2},
      {0.0f, 0, 0, 0},     {-0.0f, 0, 0, 0},  {3.0f, 3, 3, 3},   {-3.0f, -3, -3, -3},
      {0.5f, 1, 0, 1},     {-0.5f, -1, -1, 0}, {1e6f + 0.5f, 1000001, 1000000, 1000001},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqRoundHalfAway(c.v), c.round) << c.v;
    EXPECT_EQ(ZqFloor(c.v), c.floor) << c.v;
    EXPECT_EQ(ZqCeil(c.v), c.ceil) << c.v;
  }
}

TEST(Rounding, OutOfRangeSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ZqRoundHalfAway(3e9f), INT32_MAX);
  EXPECT_EQ(ZqRoundHalfAway(-3e9f), INT32_MIN);
  EXPECT_EQ(ZqRoundHalfAway(-2147483648.0f), INT32_MIN);
  EXPECT_EQ(ZqRoundHalfAway(std::numeric_limits<float>::infinity()), INT32_MAX);
  EXPECT_EQ(ZqRoundHalfAway(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Distance, SquaredAndRoot) {
  const ST_Point16s o = {0, 0}, p = {3, -4}, q = {-3, 4};
  EXPECT_EQ(ZqGetDist2(&o, &p), 25);
  EXPECT_EQ(ZqGetDist(&o, &p), 5.0f);
  EXPECT_EQ(ZqGetDist2(&p, &q), 100);
  EXPECT_EQ(ZqGetDist(&p, &p), 0.0f);
  // Opposite corners of the int16 range: no wrap; the squared distance
  // 2 * 65535^2 does not fit int32 and saturates.
  const ST_Point16s lo = {INT16_MIN, INT16_MIN}, hi = {INT16_MAX, INT16_MAX};
  EXPECT_EQ(ZqGetDist2(&lo, &hi), INT32_MAX);
  EXPECT_NEAR(ZqGetDist(&lo, &hi), 65535.0 * std::sqrt(2.0), 0.01);
  const ST_Point16s a = {INT16_MIN, 0}, b = {INT16_MAX, 0};
  EXPECT_EQ(ZqGetDist(&a, &b), 65535.0f);
}

TEST(VertexAngle, HandValuesForBothVariants) {
  struct Case {
    int16_t fx, fy, vx, vy, sx, sy;
    float degrees;
  };
  const Case cases[] = {
      {1, 0, 0, 0, -2, 0, 180.0f},  // opposite rays
      {1, 0, 0, 0, 3, 0, 0.0f},     // same ray
      {0, 0, 0, 0, 3, 0, 90.0f},    // first equals vertex
      {5, 5, 5, 5, 5, 5, 90.0f},    // both rays empty
      {11, 7, 10, 7, 10, 12, 90.0f},
      {1, 0, 0, 0, 1, 1, 45.0f},
      {2, 0, 0, 0, -1, 1, 135.0f},
  };
  for (const Case &c : cases) {
    const float got = ZqGetAngle({c.fx, c.fy}, {c.vx, c.vy}, {c.sx, c.sy});
    EXPECT_NEAR(got, c.degrees, 1e-4) << c.sx << "," << c.sy;
    const ST_MatchPoint f = {float(c.fx), float(c.fy), 9.0f, 1, 2};
    const ST_MatchPoint v = {float(c.vx), float(c.vy), -9.0f, 3, 4};
    const ST_MatchPoint s = {float(c.sx), float(c.sy), 0.5f, 5, 6};
    EXPECT_EQ(ZqGetAngle_32f(f, v, s), got);
  }
}

// The registration's triangle test takes the angle gap from the cosines and
// skips acosf where it can: its answer must equal the plain comparison of
// the two angles for every pair, most of all near 3 degrees and near the
// ends of the cosine range where acos is steep.
TEST(VertexAngle, GapTestFromCosinesMatchesPlainComparison) {
  auto angle = [](float c) { return c >= 1.0f ? 0.0f : c <= -1.0f ? 180.0f : acosf(c) * 57.295776f; };
  auto plain = [&](float c1, float c2) { return std::fabs(angle(c1) - angle(c2)) < 3.0f; };
  std::mt19937 rng(20261210);
  std::uniform_real_distribution<float> cosine(-1.02f, 1.02f), end(0.98f, 1.0001f);
  std::uniform_real_distribution<float> gapDeg(2.9f, 3.1f), anyGap(0.0f, 8.0f);
  for (int k = 0; k < 300000; ++k) {
    float c1 = k % 3 == 0 ? (k % 2 ? end(rng) : -end(rng)) : cosine(rng);
    const float a1 = angle(c1) / 57.295776f;
    const float g = (k % 2 ? gapDeg(rng) : anyGap(rng)) / 57.295776f;
    const float c2 = k % 5 == 0 ? cosine(rng) : std::cos(a1 + (k % 4 < 2 ? g : -g));
    ASSERT_EQ(ZqAngleGapBelow3(c1, c2) != 0, plain(c1, c2)) << c1 << " " << c2;
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float edge[][2] = {{nan, 0.5f}, {0.5f, nan}, {1.5f, 1.0f}, {-1.0f, -3.0f}, {1.0f, 0.9986f},
                           {0.0f, 0.0f}, {0.0f, 0.05233f}, {0.0f, 0.05237f}};
  for (const auto &e : edge) EXPECT_EQ(ZqAngleGapBelow3(e[0], e[1]) != 0, plain(e[0], e[1])) << e[0] << " " << e[1];
  // And the cosine is the one the vertex angle is taken of.
  std::uniform_real_distribution<float> coord(-60.0f, 60.0f);
  for (int k = 0; k < 20000; ++k) {
    const ST_MatchPoint f = {coord(rng), coord(rng), 0, 0, 0}, v = {coord(rng), coord(rng), 0, 0, 0};
    const ST_MatchPoint s = k % 2 ? ST_MatchPoint{2 * v.x - f.x, 2 * v.y - f.y, 0, 0, 0}
                                  : ST_MatchPoint{coord(rng), coord(rng), 0, 0, 0};
    ASSERT_EQ(ZqGetAngle_32f(f, v, s), angle(ZqGetAngleCos_32f(f, v, s))) << k;
  }
}

// The arctangent series worked in double, with the same branches.
double SeriesAtanRef(double x, double y) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const double t = std::min(ax, ay) / std::max(ax, ay);
  double a = t - t * t * t / 3 + std::pow(t, 5) / 5 - std::pow(t, 7) / 7 + std::pow(t, 9) / 15;
  if (ay > ax) a = M_PI / 2 - a;
  if (x > 0) return y < 0 ? -a : a;
  a = M_PI - a;
  return y > 0 ? a : -a;
}

TEST(Arctan, HandValues) {
  EXPECT_EQ(ZqArctan(1, 1), 0.7853982f);
  EXPECT_EQ(ZqArctan(2, -2), -0.7853982f);
  EXPECT_EQ(ZqArctan(-3, 3), 2.3561945f);
  EXPECT_EQ(ZqArctan(-1, -1), -2.3561945f);
  EXPECT_EQ(ZqArctan(-1, 0), -3.1415927f);
  EXPECT_EQ(ZqArctan(0, 0), 0.0f);
  EXPECT_EQ(ZqArctan(1e-11f, -1e-11f), 0.0f);
  EXPECT_EQ(ZqArctan(0, 2), 1.5707964f);
  EXPECT_EQ(ZqArctan(0, -2), -1.5707964f);
  EXPECT_EQ(ZqArctan(5, 0), 0.0f);
  // 30 degrees: the 1/15 coefficient gives 0.52345, not atan's 0.5236.
  const float a30 = ZqArctan(std::cos(M_PI / 6), std::sin(M_PI / 6));
  EXPECT_NEAR(a30, 0.52345, 2e-5);
  EXPECT_GT(std::fabs(a30 - M_PI / 6), 1e-4);
}

TEST(Arctan, SweepMatchesDoubleSeriesWithinFloatError) {
  for (int deg = -179; deg <= 180; ++deg) {
    for (double r : {0.01, 1.0, 250.0}) {
      const float x = static_cast<float>(r * std::cos(deg * M_PI / 180));
      const float y = static_cast<float>(r * std::sin(deg * M_PI / 180));
      const float got = ZqArctan(x, y);
      // A y a hair above 0 on the negative x axis rounds to +pi.
      EXPECT_GE(got, -3.1415927f) << deg;
      EXPECT_LE(got, 3.1415927f) << deg;
      const float ax = std::fabs(x), ay = std::fabs(y);
      if (static_cast<int>(10 * (std::min(ax, ay) / std::max(ax, ay))) > 9) continue;
      EXPECT_NEAR(got, SeriesAtanRef(x, y), 2e-6) << deg << " r " << r;
      // And an approximation of atan2 to within the series' own error.
      EXPECT_NEAR(got, std::atan2(y, x), 2e-2) << deg;
    }
  }
}

TEST(SinCos, ExactPointsAndQuadrants) {
  EXPECT_EQ(Zqsin(0), 0.0f);
  EXPECT_EQ(ZqCos(0), 1.0f);
  EXPECT_EQ(ZqCos(6.2831855f), 1.0f);
  EXPECT_EQ(ZqCos(-6.2831855f), 1.0f);
  EXPECT_EQ(Zqsin(-6.2831855f), 0.0f);
  for (int i = -1440; i <= 1440; i += 7) {
    const double v = i * M_PI / 360;  // -4 pi .. 4 pi in quarter-degree steps
    EXPECT_NEAR(Zqsin(static_cast<float>(v)), std::sin(v), 2e-4) << v;
    EXPECT_NEAR(ZqCos(static_cast<float>(v)), std::cos(v), 2e-4) << v;
  }
  // Symmetric quadrant pairs agree in magnitude.
  for (float u : {0.1f, 0.7f, 1.3f}) {
    EXPECT_NEAR(Zqsin(3.1415927f - u), Zqsin(u), 1e-6) << u;
    EXPECT_NEAR(ZqCos(3.1415927f + u), -ZqCos(u), 1e-6) << u;
    EXPECT_NEAR(Zqsin(-u), -Zqsin(u), 1e-6) << u;
  }
}

TEST(SinCos, HugeAndInfiniteArgumentsReturn) {
  // The turn-by-turn reduction must end even when a turn changes nothing.
  for (float v : {1e9f, -1e9f, std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity()}) {
    // Whatever turn the reduction stops at, the result is NaN or stays
    // within the polynomials' range: never a large finite value.
    for (float r : {Zqsin(v), ZqCos(v)}) {
      EXPECT_TRUE(std::isnan(r) || std::fabs(r) <= 1.01f) << v << " gives " << r;
    }
  }
}

// Upper median by an independent route.
float UpperMedian(std::vector<float> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

TEST(Median, HandValuesAndRandomArraysForBothVariants) {
  const std::vector<std::vector<float>> hand = {
      {5, 1, 4, 2, 3, 8, 7, 6}, {7}, {3, 1, 2}, {2, 2, 1, 1}, {-1, -5}, {4, 4, 4}};
  const float want[] = {5, 7, 2, 2, -1, 4};
  std::mt19937 rng(25);
  std::vector<std::vector<float>> all = hand;
  for (int n = 1; n <= 40; ++n) {
    std::vector<float> v(n);
    for (float &e : v) e = static_cast<float>(static_cast<int>(rng() % 9) - 4);
    all.push_back(v);
  }
  for (size_t k = 0; k < all.size(); ++k) {
    const std::vector<float> copy = all[k];
    const float expected = k < hand.size() ? want[k] : UpperMedian(all[k]);
    for (auto fn : {ZqGetMiddleValue, ZqGetMiddleValue1}) {
      float out = 1234.0f;
      EXPECT_EQ(fn(all[k].data(), static_cast<uint32_t>(all[k].size()), &out), 0);
      EXPECT_EQ(out, expected) << "array " << k;
      EXPECT_EQ(all[k], copy) << "input changed";
    }
  }
}

TEST(Median, BadArgumentsWriteNothing) {
  for (auto fn : {ZqGetMiddleValue, ZqGetMiddleValue1}) {
    float out = -7.0f;
    {
      LibLogCapture log;
      EXPECT_EQ(fn(nullptr, 4, &out), 0);
      EXPECT_EQ(log.Messages(), std::vector<std::string>{"GetMiddleValue...pData == NULL"});
    }
    const float one = 3.0f;
    EXPECT_EQ(fn(&one, 0, &out), 0);  // an empty array has no median
    EXPECT_EQ(fn(&one, 1, nullptr), 0);
    EXPECT_EQ(out, -7.0f);
  }
}

}  // namespace
