// Dry and wet skin as small capacitive sensors show them: dry ridges broken
// into dashes with pale, speckled gaps, the same places in every press;
// wet valleys filling. The figures are on the darkness before the sensor.
#include <gtest/gtest.h>

#include <vector>

#include "fingers/synth_fingers.h"

namespace {

using fingers::Impression;
using fingers::ImpressionParams;
using fingers::MasterFinger;

const MasterFinger &Master() {
  static const MasterFinger m = [] {
    fingers::MasterParams p = fingers::PopulationFinger(91, 3);
    p.width = 192;
    p.height = 240;
    return fingers::MakeMaster(p);
  }();
  return m;
}

// A rigid, firm, full-window press; the skin's look is the capacitive one.
Impression Press(uint64_t seed, double dryness, double wetness) {
  ImpressionParams p;
  p.seed = seed;
  p.center = {96, 120};
  p.distortion = 0;
  p.contact.radius = 1.4;
  p.skin.capacitive = true;
  p.skin.dryness = dryness;
  p.skin.wetness = wetness;
  return fingers::Render(Master(), p);
}

struct DryFigures {
  double broken = 0;       // share of ridge pixels that turned pale
  double speckled = 0;     // share of those that keep some darkness
  double gap_darkness = 0; // mean darkness in the gaps
  std::vector<bool> gaps;
};

DryFigures Dry(uint64_t seed, double dryness) {
  const Impression normal = Press(seed, 0, 0), dry = Press(seed, dryness, 0);
  DryFigures f;
  int ridge = 0, broken = 0, speckled = 0;
  double sum = 0;
  for (size_t i = 0; i < normal.darkness.size(); ++i) {
    const bool on_ridge = normal.darkness[i] > 0.6f;
    const bool gap = on_ridge && dry.darkness[i] < 0.35f;
    f.gaps.push_back(gap);
    ridge += on_ridge;
    if (!gap) continue;
    ++broken;
    speckled += dry.darkness[i] > 0.08f;
    sum += dry.darkness[i];
  }
  EXPECT_GT(ridge, 2000);
  f.broken = static_cast<double>(broken) / ridge;
  f.speckled = broken ? static_cast<double>(speckled) / broken : 0;
  f.gap_darkness = broken ? sum / broken : 0;
  return f;
}

TEST(CapacitiveSkin, DrierSkinBreaksMoreOfEachRidgeIntoPaleSpeckledGaps) {
  const double levels[] = {0.2, 0.5, 0.9};
  double last = 0;
  for (double d : levels) {
    const DryFigures f = Dry(5, d);
    EXPECT_GT(f.broken, last + 0.1) << "dryness " << d;
    last = f.broken;
    EXPECT_LT(f.gap_darkness, 0.25) << "dryness " << d;  // pale
    if (d >= 0.5) EXPECT_GT(f.speckled, 0.1) << "dryness " << d;  // not empty
  }
  EXPECT_LT(Dry(5, 0.2).broken, 0.3);   // mild: occasional breaks
  EXPECT_GT(Dry(5, 0.9).broken, 0.6);   // severe: dashes and specks
}

TEST(CapacitiveSkin, DryGapsRecurInEveryPressOfTheFinger) {
  const DryFigures a = Dry(11, 0.5), b = Dry(12, 0.5);
  size_t both = 0, either = 0;
  for (size_t i = 0; i < a.gaps.size(); ++i) {
    both += a.gaps[i] && b.gaps[i];
    either += a.gaps[i] || b.gaps[i];
  }
  ASSERT_GT(either, 500u);
  EXPECT_GT(static_cast<double>(both) / either, 0.5);
}

TEST(CapacitiveSkin, WetterSkinFillsTheValleysAndKeepsTheRidges) {
  const Impression normal = Press(7, 0, 0);
  double last_valley = 0;
  for (double w : {0.2, 0.5, 0.9}) {
    const Impression wet = Press(7, 0, w);
    double valley = 0, ridge = 0;
    int nv = 0, nr = 0;
    for (size_t i = 0; i < normal.darkness.size(); ++i) {
      if (normal.contact[i] < 0.95f) continue;
      if (normal.darkness[i] < 0.05f) valley += wet.darkness[i], ++nv;
      if (normal.darkness[i] > 0.8f) ridge += wet.darkness[i], ++nr;
    }
    ASSERT_GT(nv, 500);
    ASSERT_GT(nr, 500);
    valley /= nv;
    EXPECT_GT(valley, last_valley + 0.08) << "wetness " << w;
    last_valley = valley;
    EXPECT_GT(ridge / nr, 0.8) << "wetness " << w;
  }
  EXPECT_GT(last_valley, 0.45);  // severe: ridges merge over much of the window
}

TEST(CapacitiveSkin, RandomPressesDrawTheirSkinFromTheGivenMix) {
  fingers::Variation v;
  v.capacitive_skin = true;
  v.skin_change = 0.30;
  v.wet_change = 0.10;
  v.min_dryness = 0.4, v.max_dryness = 0.6;
  v.min_wetness = 0.7, v.max_wetness = 0.8;
  int dry = 0, wet = 0;
  const int n = 600;
  for (int k = 0; k < n; ++k) {
    const ImpressionParams p =
        fingers::RandomImpression(Master(), fingers::PressSeed(Master(), k), {96, 96}, v);
    EXPECT_TRUE(p.skin.capacitive);
    EXPECT_FALSE(p.skin.dryness > 0 && p.skin.wetness > 0);
    if (p.skin.dryness > 0) {
      ++dry;
      EXPECT_TRUE(p.skin.dryness >= 0.4 && p.skin.dryness <= 0.6) << p.skin.dryness;
    }
    if (p.skin.wetness > 0) {
      ++wet;
      EXPECT_TRUE(p.skin.wetness >= 0.7 && p.skin.wetness <= 0.8) << p.skin.wetness;
    }
  }
  EXPECT_NEAR(static_cast<double>(dry) / n, 0.30, 0.06);
  EXPECT_NEAR(static_cast<double>(wet) / n, 0.10, 0.04);
}

}  // namespace
