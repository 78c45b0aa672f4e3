// Block maps on synthetic fingers: the block directions follow the finger's
// true ridge flow, high curvature gathers at its cores and deltas, and far
// off the finger there is no direction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "detect_steps.h"
#include "fingers/synth_fingers.h"

namespace {

using minutiae_test::GreyImage;

// The master's ridges as an 8-bit image: dark ridges on the finger, the empty
// sensor's grey off it.
GreyImage FingerImage(const fingers::MasterFinger &m) {
  GreyImage img{m.width, m.height, std::vector<unsigned char>(m.ridge.size())};
  for (size_t i = 0; i < m.ridge.size(); ++i) {
    const double on = m.footprint[i];
    const double grey = 127.0 - 100.0 * m.ridge[i];
    img.pixels[i] = static_cast<unsigned char>(std::lround(on * grey + (1.0 - on) * 215.0));
  }
  return img;
}

// Block direction of a ridge running along (cos theta, sin theta): direction
// 0 is a vertical ridge, each step 11.25 degrees clockwise as displayed.
int BlockDirection(double theta) {
  const int d = static_cast<int>(std::lround((theta - M_PI / 2) / (M_PI / 16)));
  return ((d % 16) + 16) % 16;
}

TEST(LfsFingerMapsTest, DirectionsFollowTheRidgeFlowOfEveryClass) {
  for (int finger = 0; finger < 5; ++finger) {
    const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(7, finger));
    SCOPED_TRACE(fingers::FingerClassName(m.params.finger_class));
    const minutiae_test::Maps maps = minutiae_test::RunMaps(FingerImage(m));
    ASSERT_EQ(maps.rc, 0);
    int on_finger = 0, with = 0, close = 0;
    std::vector<fingers::Point> high, high_inside;  // off and on the finger's edge
    for (int by = 0; by < maps.mh; ++by) {
      for (int bx = 0; bx < maps.mw; ++bx) {
        const int b = by * maps.mw + bx, d = maps.direction[b];
        const double cx = bx * 8 + 4, cy = by * 8 + 4;
        // Blocks whose whole DFT window lies off the finger, or on it.
        bool off = true, inside = true;
        for (int dy = -16; dy <= 16; dy += 8) {
          for (int dx = -16; dx <= 16; dx += 8) {
            off = off && m.FootprintAt(cx + dx, cy + dy) == 0.0;
            inside = inside && m.FootprintAt(cx + dx, cy + dy) == 1.0;
          }
        }
        if (maps.high_curve[b]) (inside ? high_inside : high).push_back({cx, cy});
        if (off) {
          EXPECT_EQ(d, -1) << bx << ", " << by;
          EXPECT_EQ(maps.low_contrast[b], 1) << bx << ", " << by;
          continue;
        }
        if (m.FootprintAt(cx, cy) < 1.0) continue;
        ++on_finger;
        if (d < 0) continue;
        ++with;
        const int gap = std::abs(BlockDirection(m.OrientationAt(cx, cy)) - d);
        close += std::min(gap, 16 - gap) <= 1;
      }
    }
    EXPECT_GE(with, on_finger * 9 / 10);
    EXPECT_GE(close, with * 97 / 100);

    // Every singular point well inside the image has high curvature near
    // it, and away from the finger's edge most high-curvature blocks are
    // near one.
    high.insert(high.end(), high_inside.begin(), high_inside.end());
    std::vector<fingers::Point> singular = m.cores;
    singular.insert(singular.end(), m.deltas.begin(), m.deltas.end());
    auto near = [](const fingers::Point &a, const std::vector<fingers::Point> &set) {
      for (const fingers::Point &b : set)
        if (std::hypot(a.x - b.x, a.y - b.y) <= 24.0) return true;
      return false;
    };
    for (const fingers::Point &p : singular) {
      if (p.x < 24 || p.y < 24 || p.x > m.width - 24 || p.y > m.height - 24) continue;
      EXPECT_TRUE(near(p, high)) << "singular point at " << p.x << ", " << p.y;
    }
    if (singular.empty()) {
      EXPECT_TRUE(high.empty());
    } else {
      const auto n = std::count_if(high_inside.begin(), high_inside.end(),
                                   [&](const fingers::Point &p) { return near(p, singular); });
      EXPECT_GE(n * 4, static_cast<long>(high_inside.size()) * 3);
    }
  }
}

}  // namespace
