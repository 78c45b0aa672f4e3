#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "fingers/measure.h"
#include "fingers/synth_fingers.h"

namespace {

using fingers::Impression;
using fingers::ImpressionParams;
using fingers::MasterFinger;
using fingers_test::Plane;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

// Masters shared by the cases of one test (each test runs in its own
// process).
const MasterFinger &Master(int finger) {
  static std::map<int, MasterFinger> cache;
  auto it = cache.find(finger);
  if (it == cache.end()) {
    fingers::MasterParams p = fingers::PopulationFinger(77, finger);
    p.width = 192;  // smaller than a full finger: enough for every window here
    p.height = 240;
    it = cache.emplace(finger, fingers::MakeMaster(p)).first;
  }
  return it->second;
}

Plane Gray(const Impression &imp) {
  return fingers_test::FromBytes(imp.frame.width, imp.frame.height, imp.frame.gray);
}

std::vector<double> Weights(const std::vector<float> &contact) {
  return std::vector<double>(contact.begin(), contact.end());
}

// A centred, firm, full-window press with a given pose.
ImpressionParams Press(const MasterFinger &m, uint64_t seed, double rotation, double dx = 0,
                       double dy = 0) {
  ImpressionParams p;
  p.seed = seed;
  p.center = {m.width / 2.0 + dx, m.height / 2.0 + dy};
  p.rotation = rotation;
  p.distortion = 1.0;
  p.contact.radius = 1.3;
  return p;
}

TEST(ImpressionPeriod, WithinConfiguredRangeAtEverySensorSize) {
  for (const fingers::SensorSize size : fingers::kSensorSizes) {
    for (int finger : {2, 4}) {
      for (int press = 0; press < 2; ++press) {
        const MasterFinger &m = Master(finger);
        const Impression imp =
            fingers::Render(m, fingers::RandomImpression(m, fingers::PressSeed(m, press), size));
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " finger " +
                     std::to_string(finger) + " press " + std::to_string(press));
        ASSERT_EQ(imp.frame.width, size.width);
        ASSERT_EQ(imp.frame.height, size.height);
        ASSERT_EQ(imp.frame.gray.size(), size_t(size.width) * size.height);
        const double period =
            fingers_test::DominantPeriod(fingers_test::Spectrum(Gray(imp), Weights(imp.contact)));
        EXPECT_GE(period, m.params.period_min - 0.5);
        EXPECT_LE(period, m.params.period_max + 0.5);
      }
    }
  }
}

// Orientation measured in the image agrees with the master's field carried
// through the known mapping, at any rotation.
TEST(ImpressionOrientation, AgreesWithMasterField) {
  const double rotations[] = {-35 * kDegree, -12 * kDegree, 0, 20 * kDegree, 35 * kDegree};
  for (int finger : {2, 3, 4}) {
    for (double rotation : rotations) {
      const MasterFinger &m = Master(finger);
      ImpressionParams p = Press(m, 9, rotation);
      p.width = p.height = 128;
      const Impression imp = fingers::Render(m, p);
      const Plane gray = Gray(imp);
      SCOPED_TRACE("finger " + std::to_string(finger) + " rotation " +
                   std::to_string(rotation / kDegree));
      double error_sum = 0;
      int blocks = 0;
      constexpr int kBlock = 16;
      for (int y = 0; y + kBlock <= p.height; y += kBlock / 2) {
        for (int x = 0; x + kBlock <= p.width; x += kBlock / 2) {
          bool full = true;
          for (int yy = y; yy < y + kBlock && full; ++yy) {
            for (int xx = x; xx < x + kBlock; ++xx) full &= imp.contact[yy * p.width + xx] >= 0.7f;
          }
          if (!full) continue;
          // Expected direction: the master's ridge direction at the block
          // centre, carried back into the window through the mapping.
          const double cx = x + kBlock / 2.0 - 0.5, cy = y + kBlock / 2.0 - 0.5;
          const fingers::Point mc = imp.ToMaster(cx, cy);
          const double theta = m.OrientationAt(mc.x, mc.y);
          const fingers::Point a = imp.FromMaster({mc.x - std::cos(theta), mc.y - std::sin(theta)});
          const fingers::Point b = imp.FromMaster({mc.x + std::cos(theta), mc.y + std::sin(theta)});
          const double expected = std::atan2(b.y - a.y, b.x - a.x);
          error_sum += fingers_test::AngleDifference(
              fingers_test::MeasureOrientation(gray, x, y, kBlock).direction, expected);
          ++blocks;
        }
      }
      ASSERT_GT(blocks, 40);
      EXPECT_LT(error_sum / blocks / kDegree, 10.0);
    }
  }
}

// Pairs the pixels of a that are firmly in contact with the samples of b at
// the same master points (known transform), where b is in contact too.
void Aligned(const Impression &a, const Impression &b, std::vector<double> *va,
             std::vector<double> *vb) {
  const Plane ga = Gray(a), gb = Gray(b);
  for (int y = 0; y < ga.height; ++y) {
    for (int x = 0; x < ga.width; ++x) {
      if (a.contact[y * ga.width + x] < 0.8f) continue;
      const fingers::Point q = b.FromMaster(a.ToMaster(x, y));
      if (q.x < 0 || q.y < 0 || q.x > gb.width - 1 || q.y > gb.height - 1) continue;
      const int qi = static_cast<int>(std::lround(q.y)) * gb.width + static_cast<int>(std::lround(q.x));
      if (b.contact[qi] < 0.8f) continue;
      va->push_back(ga.At(x, y));
      vb->push_back(fingers_test::Sample(gb, q.x, q.y));
    }
  }
}

TEST(ImpressionMatching, SameFingerCorrelatesDifferentFingersDoNot) {
  struct Case {
    int finger, other;  // other: a different finger of the same or another class
    double rotation_a, rotation_b;
    double dryness_b;
  } cases[] = {
      {3, 8, 0, 28 * kDegree, 0},             // two right loops
      {4, 9, -20 * kDegree, 15 * kDegree, 0},  // two whorls
      {3, 8, 10 * kDegree, -25 * kDegree, 0.5},  // second press dry
      {2, 3, 0, 0, 0},                         // left loop against right loop
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("finger " + std::to_string(c.finger) + " other " + std::to_string(c.other));
    const MasterFinger &m = Master(c.finger);
    const MasterFinger &other = Master(c.other);
    const Impression a = fingers::Render(m, Press(m, 1, c.rotation_a));
    ImpressionParams pb = Press(m, 2, c.rotation_b, 9, -7);
    pb.skin.dryness = c.dryness_b;
    const Impression b = fingers::Render(m, pb);
    const Impression b_other = fingers::Render(other, pb);

    std::vector<double> va, vb, wa, wb;
    Aligned(a, b, &va, &vb);
    Aligned(a, b_other, &wa, &wb);
    ASSERT_GT(va.size(), 3000u);
    ASSERT_GT(wa.size(), 3000u);
    const double same = fingers_test::Correlation(va, vb);
    const double different = fingers_test::Correlation(wa, wb);
    EXPECT_GT(same, 0.6);
    EXPECT_LT(std::fabs(different), 0.3);
    EXPECT_GT(same - different, 0.45);
  }
}

TEST(ImpressionMapping, FromMasterInvertsToMaster) {
  const MasterFinger &m = Master(1);
  for (double distortion : {0.0, 1.0, 2.0}) {
    ImpressionParams p = Press(m, 5, 0.4);
    p.distortion = distortion;
    p.contact.center_x = 0.3;
    const Impression imp = fingers::Render(m, p);
    for (int k = 0; k < 50; ++k) {
      const double x = -20 + 3.1 * k, y = 110 - 2.3 * k;
      const fingers::Point back = imp.FromMaster(imp.ToMaster(x, y));
      EXPECT_NEAR(back.x, x, 0.01) << distortion;
      EXPECT_NEAR(back.y, y, 0.01) << distortion;
    }
    // The pressure centre does not move under distortion.
    const fingers::Point c = imp.ToMaster(imp.distortion.cx, imp.distortion.cy);
    const double u = imp.distortion.cx - 47.5, v = imp.distortion.cy - 47.5;
    EXPECT_NEAR(c.x, p.center.x + std::cos(0.4) * u - std::sin(0.4) * v, 1e-9);
    EXPECT_NEAR(c.y, p.center.y + std::sin(0.4) * u + std::cos(0.4) * v, 1e-9);
  }
}

// Off the contact blob the window reads the bare sensor: background level
// plus bounded noise, and nothing of the ridges.
TEST(ImpressionContact, UncoveredPixelsReadTheEmptySensor) {
  const MasterFinger &m = Master(3);
  ImpressionParams p = Press(m, 4, 0.2);
  p.contact.radius = 0.55;
  p.contact.center_x = 0.15;  // blob hangs off the left edge
  p.contact.center_y = 0.6;
  p.sensor.noise = 3;
  p.sensor.offset = -10;
  const Impression imp = fingers::Render(m, p);
  int uncovered = 0, covered = 0;
  for (size_t i = 0; i < imp.contact.size(); ++i) {
    if (imp.contact[i] == 0.0f) {
      ++uncovered;
      // The generator's noise is bounded at 3.47 standard deviations.
      EXPECT_NEAR(imp.frame.gray[i], 215 - 10, 3 * 3.47 + 0.5) << i;
    } else if (imp.contact[i] > 0.9f) {
      ++covered;
    }
  }
  const int n = static_cast<int>(imp.contact.size());
  EXPECT_GT(uncovered, n / 3);
  EXPECT_GT(covered, n / 6);
  // Right half uncovered: the blob's centre lies in the left part.
  for (int y = 0; y < 96; ++y) EXPECT_EQ(imp.contact[y * 96 + 95], 0.0f) << y;
}

// Dry skin thins and breaks the ridges, wet skin merges them, a hard press
// widens them; the ridge period stays.
TEST(ImpressionSkin, DrynessWetnessAndPressureChangeRidgeWidth) {
  struct Case {
    const char *name;
    double pressure, dryness, wetness;
    int thinner_than;  // index of a case with clearly more dark pixels, or -1
  } cases[] = {
      {"dry", 0.5, 0.7, 0, 1},   {"light", 0.1, 0, 0, 2}, {"normal", 0.5, 0, 0, 3},
      {"hard", 0.9, 0, 0, -1},   {"normal", 0.5, 0, 0, 5}, {"damp", 0.5, 0, 0.3, 6},
      {"wet", 0.5, 0, 0.7, -1},
  };
  const MasterFinger &m = Master(4);
  std::vector<double> share;
  for (const Case &c : cases) {
    ImpressionParams p = Press(m, 6, 0.3);
    p.skin = {c.pressure, c.dryness, c.wetness};
    const Impression imp = fingers::Render(m, p);
    int dark = 0, firm = 0;
    for (size_t i = 0; i < imp.contact.size(); ++i) {
      if (imp.contact[i] < 0.9f) continue;
      ++firm;
      dark += imp.frame.gray[i] < 125;
    }
    ASSERT_GT(firm, 2000) << c.name;
    share.push_back(double(dark) / firm);
  }
  for (size_t i = 0; i < share.size(); ++i) {
    if (cases[i].thinner_than < 0) continue;
    EXPECT_GT(share[cases[i].thinner_than], share[i] + 0.04)
        << cases[i].name << " " << share[i] << " against " << cases[cases[i].thinner_than].name
        << " " << share[cases[i].thinner_than];
  }
  EXPECT_LT(share[0], 0.35);  // dry: thin, broken ridges
  EXPECT_GT(share[6], 0.68);  // wet: valleys largely filled
}

TEST(ImpressionSensor, RawSamplesMirrorGrayAndStuckPixelsAreListed) {
  const MasterFinger &m = Master(2);
  ImpressionParams p = Press(m, 8, -0.3);
  p.sensor.raw16 = true;
  p.sensor.bad_pixels = 6;
  p.sensor.gain = 1.1;
  const Impression imp = fingers::Render(m, p);
  ASSERT_EQ(imp.frame.raw.size(), imp.frame.gray.size());
  ASSERT_EQ(imp.bad_pixels.size(), 6u);
  std::vector<double> g, r;
  for (size_t i = 0; i < imp.frame.gray.size(); ++i) {
    const bool stuck = std::binary_search(imp.bad_pixels.begin(), imp.bad_pixels.end(), int(i));
    if (stuck) {
      // Stuck at one end of the scale, in both sample forms alike.
      EXPECT_TRUE(imp.frame.gray[i] == 0 || imp.frame.gray[i] == 255);
      EXPECT_EQ(imp.frame.raw[i], imp.frame.gray[i] == 0 ? 0 : 4095);
      continue;
    }
    EXPECT_LE(imp.frame.raw[i], 4095);
    g.push_back(imp.frame.gray[i]);
    r.push_back(imp.frame.raw[i]);
  }
  // Ridges are dark in the 8-bit image and high in the raw samples.
  EXPECT_LT(fingers_test::Correlation(g, r), -0.99);
  p.sensor.raw16 = false;
  EXPECT_TRUE(fingers::Render(m, p).frame.raw.empty());
}

TEST(ImpressionParams, RandomPressesVaryPoseWithinTheFinger) {
  const MasterFinger &m = Master(3);
  const fingers::Point pattern = m.PatternCenter();
  for (bool anywhere : {false, true}) {
    SCOPED_TRACE(anywhere ? "anywhere" : "around the pattern centre");
    fingers::Variation variation;
    variation.anywhere = anywhere;
    double min_rot = 0, max_rot = 0, max_dx = 0, max_dy = 0;
    for (int k = 0; k < 300; ++k) {
      const ImpressionParams p =
          fingers::RandomImpression(m, fingers::PressSeed(m, k), {96, 96}, variation);
      min_rot = std::min(min_rot, p.rotation);
      max_rot = std::max(max_rot, p.rotation);
      max_dx = std::max(max_dx, std::fabs(p.center.x - pattern.x));
      max_dy = std::max(max_dy, std::fabs(p.center.y - pattern.y));
      // The window's middle always lies on the finger.
      for (double d : {-28.0, 28.0}) {
        EXPECT_EQ(m.FootprintAt(p.center.x + d, p.center.y), 1.0) << k;
        EXPECT_EQ(m.FootprintAt(p.center.x, p.center.y + d), 1.0) << k;
      }
    }
    EXPECT_LT(min_rot, -30 * kDegree);
    EXPECT_GT(max_rot, 30 * kDegree);
    if (anywhere) {
      EXPECT_GT(max_dx, 0.25 * m.width);
      EXPECT_GT(max_dy, 0.25 * m.height);
    } else {
      // Presses of one finger stay close enough to overlap.
      EXPECT_GT(max_dx, 10);
      EXPECT_LT(std::max(max_dx, max_dy), 4 * variation.spread);
    }
  }
}

TEST(ImpressionParams, RejectsParametersOutOfRange) {
  fingers::MasterParams small;
  small.width = small.height = 64;
  const MasterFinger m = fingers::MakeMaster(small);
  auto with = [](auto change) {
    ImpressionParams p;
    change(p);
    return p;
  };
  const ImpressionParams bad[] = {
      with([](ImpressionParams &p) { p.width = 7; }),
      with([](ImpressionParams &p) { p.height = 1025; }),
      with([](ImpressionParams &p) { p.distortion = -0.1; }),
      with([](ImpressionParams &p) { p.skin.dryness = 1.5; }),
      with([](ImpressionParams &p) { p.skin.pressure = std::nan(""); }),
      with([](ImpressionParams &p) { p.contact.irregularity = 0.5; }),
      with([](ImpressionParams &p) { p.contact.aspect = 0; }),
      with([](ImpressionParams &p) { p.sensor.bad_pixels = -1; }),
      with([](ImpressionParams &p) { p.sensor.raw_max = 70000; }),
  };
  for (const ImpressionParams &p : bad) EXPECT_THROW(fingers::Render(m, p), std::invalid_argument);
}

}  // namespace

namespace {

// Share of dry gaps two presses of one pose have in common (intersection
// over union of the ridge pixels that dryness removed), with the gaps on the
// skin or drawn for each press.
double SharedDryGaps(bool on_skin) {
  const MasterFinger &m = Master(2);
  std::vector<bool> gaps[2];
  for (int press = 0; press < 2; ++press) {
    ImpressionParams p = Press(m, 40 + static_cast<uint64_t>(press), 0);
    p.distortion = 0;  // one pose: pixel i is the same skin in both presses
    const Impression full = fingers::Render(m, p);
    p.skin.dryness = 0.6;
    p.skin.dry_gaps_on_skin = on_skin;
    const Impression dry = fingers::Render(m, p);
    for (size_t i = 0; i < full.darkness.size(); ++i) {
      gaps[press].push_back(full.darkness[i] > 0.5f && dry.darkness[i] < 0.5f * full.darkness[i]);
    }
  }
  size_t both = 0, either = 0;
  for (size_t i = 0; i < gaps[0].size(); ++i) {
    both += gaps[0][i] && gaps[1][i];
    either += gaps[0][i] || gaps[1][i];
  }
  EXPECT_GT(either, 200u);
  return either > 0 ? static_cast<double>(both) / static_cast<double>(either) : 0;
}

}  // namespace

TEST(ImpressionSkin, DryGapsOnTheSkinRecurInEveryPress) {
  const double own = SharedDryGaps(false), on_skin = SharedDryGaps(true);
  // About 0.4 by chance (dryness 0.6 removes much of each ridge), about 0.8
  // when the skin decides.
  EXPECT_LT(own, 0.5);
  EXPECT_GT(on_skin, 0.7);
}
