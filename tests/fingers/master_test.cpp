#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "fingers/measure.h"
#include "fingers/synth_fingers.h"

namespace {

using fingers::FingerClass;
using fingers::MasterFinger;
using fingers::MasterParams;
using fingers_test::AngleDifference;

constexpr double kPi = 3.14159265358979323846;

MasterParams Params(FingerClass c, uint64_t seed, int w = 192, int h = 240) {
  MasterParams p;
  p.seed = seed;
  p.finger_class = c;
  p.width = w;
  p.height = h;
  return p;
}

// Poincare index of the model field along a circle: the number of half
// turns the ridge direction makes, as a multiple of 1/2.
double PoincareIndex(const MasterFinger &m, double cx, double cy, double r) {
  constexpr int kSteps = 96;
  double total = 0;
  double prev = m.OrientationAt(cx + r, cy);
  for (int k = 1; k <= kSteps; ++k) {
    const double a = 2 * kPi * k / kSteps;
    const double cur = m.OrientationAt(cx + r * std::cos(a), cy + r * std::sin(a));
    double d = cur - prev;
    if (d > kPi / 2) d -= kPi;
    if (d < -kPi / 2) d += kPi;
    total += d;
    prev = cur;
  }
  return total / (2 * kPi);
}

// Every class has its singular points where the class says, with the right
// index; elsewhere the field turns by nothing.
TEST(MasterField, SingularPointsPerClass) {
  struct Case {
    FingerClass c;
    size_t cores, deltas;
    int delta_side;  // sign of (delta.x - core.x) for loops, 0 otherwise
  } cases[] = {
      {FingerClass::kArch, 0, 0, 0},     {FingerClass::kTentedArch, 1, 1, 0},
      {FingerClass::kLeftLoop, 1, 1, 1}, {FingerClass::kRightLoop, 1, 1, -1},
      {FingerClass::kWhorl, 2, 2, 0},
  };
  for (const Case &c : cases) {
    for (uint64_t seed : {3u, 11u}) {
      SCOPED_TRACE(std::string(fingers::FingerClassName(c.c)) + " seed " + std::to_string(seed));
      MasterParams p = Params(c.c, seed);
      p.iterations = 1;  // only the field matters here
      const MasterFinger m = fingers::MakeMaster(p);
      ASSERT_EQ(m.cores.size(), c.cores);
      ASSERT_EQ(m.deltas.size(), c.deltas);
      for (const fingers::Point &s : m.cores) EXPECT_NEAR(PoincareIndex(m, s.x, s.y, 6), 0.5, 1e-6);
      for (const fingers::Point &s : m.deltas) EXPECT_NEAR(PoincareIndex(m, s.x, s.y, 6), -0.5, 1e-6);
      if (c.delta_side != 0) {
        EXPECT_GT(c.delta_side * (m.deltas[0].x - m.cores[0].x), 10);
      }
      // A circle around every singular point at once sums their indices.
      EXPECT_NEAR(PoincareIndex(m, m.width / 2.0, m.height / 2.0, 0.8 * m.width),
                  0.5 * (double(c.cores) - double(c.deltas)), 1e-6);
      // Points off the singular points turn by nothing.
      EXPECT_NEAR(PoincareIndex(m, 20, 20, 8), 0.0, 1e-6);
    }
  }
}

// The grown ridges follow the model field and keep the configured period.
TEST(MasterGrowth, RidgesFollowFieldAndPeriod) {
  struct Case {
    FingerClass c;
    double period_min, period_max;
  } cases[] = {
      {FingerClass::kArch, 8, 10},      {FingerClass::kLeftLoop, 8, 10},
      {FingerClass::kWhorl, 8, 10},     {FingerClass::kRightLoop, 5.5, 6.5},
      {FingerClass::kTentedArch, 12, 13},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(fingers::FingerClassName(c.c)) + " period " +
                 std::to_string(c.period_min));
    MasterParams p = Params(c.c, 5);
    p.period_min = c.period_min;
    p.period_max = c.period_max;
    const MasterFinger m = fingers::MakeMaster(p);
    const fingers_test::Plane plane = fingers_test::FromFloats(m.width, m.height, m.ridge);
    double error_sum = 0;
    int blocks = 0;
    constexpr int kBlock = 16;
    for (int y = 0; y + kBlock <= m.height; y += kBlock) {
      for (int x = 0; x + kBlock <= m.width; x += kBlock) {
        if (m.FootprintAt(x, y) < 1 || m.FootprintAt(x + kBlock - 1, y + kBlock - 1) < 1 ||
            m.FootprintAt(x + kBlock - 1, y) < 1 || m.FootprintAt(x, y + kBlock - 1) < 1) {
          continue;
        }
        const double expected = m.OrientationAt(x + kBlock / 2.0 - 0.5, y + kBlock / 2.0 - 0.5);
        error_sum += AngleDifference(fingers_test::MeasureOrientation(plane, x, y, kBlock).direction,
                                     expected);
        ++blocks;
      }
    }
    ASSERT_GT(blocks, 60);
    EXPECT_LT(error_sum / blocks * 180 / kPi, 10.0);

    // Spectrum of the inner part of the finger.
    fingers_test::Plane inner{96, 96, {}};
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 96; ++x) inner.v.push_back(plane.At(x + m.width / 2 - 48, y + m.height / 2 - 48));
    }
    const double period = fingers_test::DominantPeriod(fingers_test::Spectrum(inner));
    EXPECT_GE(period, c.period_min - 0.4);
    EXPECT_LE(period, c.period_max + 0.4);
    // And it follows the period map, not just the range.
    double map_mean = 0;
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 96; ++x) map_mean += m.PeriodAt(x + m.width / 2 - 48, y + m.height / 2 - 48);
    }
    map_mean /= 96 * 96;
    EXPECT_NEAR(period, map_mean, 0.04 * map_mean);
  }
}

TEST(MasterGrowth, RejectsParametersOutOfRange) {
  auto with = [](auto change) {
    MasterParams p;
    change(p);
    return p;
  };
  const MasterParams bad[] = {
      with([](MasterParams &p) { p.width = 63; }),
      with([](MasterParams &p) { p.height = 4096; }),
      with([](MasterParams &p) { p.period_min = 2.5; }),
      with([](MasterParams &p) { p.period_max = 31; }),
      with([](MasterParams &p) { p.period_min = 10; p.period_max = 9; }),
      with([](MasterParams &p) { p.period_min = std::nan(""); }),
      with([](MasterParams &p) { p.iterations = 0; }),
  };
  for (const MasterParams &p : bad) EXPECT_THROW(fingers::MakeMaster(p), std::invalid_argument);
}

}  // namespace
