// The quality map and the reliability of minutiae.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "minutiae/lfs_list.h"
#include "minutiae/lfs_quality.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;

constexpr double kPpmm = 19.68503937007874;

struct BlockMaps {
  int mw, mh;
  std::vector<int> direction, low_contrast, low_flow, high_curve;
  BlockMaps(int w, int h)
      : mw(w), mh(h), direction(w * h, 3), low_contrast(w * h, 0), low_flow(w * h, 0),
        high_curve(w * h, 0) {}
  std::vector<int> Quality() const {
    int *q = nullptr;
    EXPECT_EQ(gen_quality_map(&q, direction.data(), low_contrast.data(), low_flow.data(),
                              high_curve.data(), mw, mh),
              0);
    std::vector<int> v(q, q + mw * mh);
    std::free(q);
    return v;
  }
};

TEST(LfsQualityTest, QualityMapLevels) {
  struct Case {
    const char *name;
    void (*mark)(BlockMaps &);  // changes block (5, 5) of an 11 x 11 map
    // Expected quality of blocks (5, 5), (3, 5) (two away), (2, 5) (three
    // away) and (1, 5) (outer rings).
    int at, near, far, ring;
  };
  const Case cases[] = {
      {"clean", [](BlockMaps &) {}, 4, 4, 4, 1},
      {"no direction", [](BlockMaps &m) { m.direction[5 * 11 + 5] = -1; }, 0, 2, 4, 1},
      {"low contrast", [](BlockMaps &m) { m.low_contrast[5 * 11 + 5] = 1; }, 0, 2, 4, 1},
      {"low flow", [](BlockMaps &m) { m.low_flow[5 * 11 + 5] = 1; }, 2, 3, 4, 1},
      {"high curvature", [](BlockMaps &m) { m.high_curve[5 * 11 + 5] = 1; }, 2, 3, 4, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    BlockMaps maps(11, 11);
    c.mark(maps);
    const std::vector<int> q = maps.Quality();
    EXPECT_EQ(q[5 * 11 + 5], c.at);
    EXPECT_EQ(q[5 * 11 + 3], c.near);
    EXPECT_EQ(q[5 * 11 + 2], c.far);
    EXPECT_EQ(q[5 * 11 + 1], c.ring);
    EXPECT_EQ(q[9 * 11 + 5], 1);  // row 9 of 11 is in the outer two rings
  }
}

TEST(LfsQualityTest, QualityMapRingBlocksWithoutDirectionStayZero) {
  BlockMaps maps(6, 6);
  maps.direction[0] = -1;
  maps.low_flow[1] = 1;
  const std::vector<int> q = maps.Quality();
  EXPECT_EQ(q[0], 0);
  EXPECT_EQ(q[1], 1);
}

// A 64 x 64 image and a 8 x 8 quality map of one level.
struct Scene {
  std::vector<unsigned char> image = std::vector<unsigned char>(64 * 64, 127);
  std::vector<int> qmap = std::vector<int>(64, 4);
  lfs_minutiae *list = nullptr;
  Scene() { EXPECT_EQ(alloc_minutiae(&list, 10), 0); }
  ~Scene() { release_minutiae(list); }
  void Push(int x, int y) {
    ASSERT_EQ(create_minutia(&list->list[list->count++], x, y, x, y - 1, 0, 0.99, 1, 0, 0), 0);
  }
  // Columns alternating between 127 - a and 127 + a, mirrored round column
  // 31 at 127: any window centred on column 31 has mean 127, and the 23
  // columns wide one a spread of a * sqrt(22 / 23).
  void Stripes(int a) {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const int d = x - 31;
        const int sign = d == 0 ? 0 : (d > 0 ? 1 : -1) * (std::abs(d) % 2 ? 1 : -1);
        image[y * 64 + x] = static_cast<unsigned char>(127 + a * sign);
      }
  }
  int Rate(int depth = 8) {
    return combined_miutia_quality(list, qmap.data(), 8, 8, 8, image.data(), 64, 64, depth,
                                   kPpmm);
  }
  double Reliability(int i) const { return list->list[i]->reliability; }
};

TEST(LfsQualityTest, ReliabilityFollowsTheLevelAndTheGreySpread) {
  struct Case {
    int level;
    int amplitude;  // stripes of 127 -/+ amplitude; the window's spread is about that
    double expected;
  };
  const Case cases[] = {
      {0, 100, 0.01}, {1, 100, 0.09}, {2, 100, 0.24}, {3, 100, 0.49}, {4, 100, 0.99},
      {4, 0, 0.50},   {4, 32, 0.50 + 0.49 * std::sqrt(22.0 / 23.0) / 2.0},
      {3, 32, 0.25 + 0.24 * std::sqrt(22.0 / 23.0) / 2.0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "level " << c.level << " amplitude " << c.amplitude);
    Scene s;
    s.Stripes(c.amplitude);
    std::fill(s.qmap.begin(), s.qmap.end(), c.level);
    s.Push(31, 30);
    ASSERT_EQ(s.Rate(), 0);
    EXPECT_NEAR(s.Reliability(0), c.expected, 1e-6);
  }
}

TEST(LfsQualityTest, ReliabilityWindowMustFitInsideTheImage) {
  // r = 11: the 23 x 23 window fits for 11 <= x < 53.
  Scene s;
  s.Stripes(100);
  for (const int x : {5, 10, 11, 52, 53}) s.Push(x, 30);
  ASSERT_EQ(s.Rate(), 0);
  EXPECT_DOUBLE_EQ(s.Reliability(0), 0.50);  // 5 pixels from the border
  EXPECT_DOUBLE_EQ(s.Reliability(1), 0.50);
  EXPECT_GT(s.Reliability(2), 0.9);
  EXPECT_GT(s.Reliability(3), 0.9);
  EXPECT_DOUBLE_EQ(s.Reliability(4), 0.50);
}

TEST(LfsQualityTest, ReliabilityRefusals) {
  {
    Scene s;
    s.Push(30, 30);
    StderrCapture err;
    EXPECT_EQ(s.Rate(16), -2);
    EXPECT_EQ(err.Text(),
              "ERROR : combined_miutia_quality : image must pixel depth = 16 must be 8 "
              "to compute reliability\n");
    EXPECT_EQ(s.Reliability(0), 0.99);
  }
  {
    Scene s;
    s.qmap[3 * 8 + 3] = 5;
    s.Push(30, 30);
    StderrCapture err;
    EXPECT_EQ(s.Rate(), -3);
    EXPECT_EQ(err.Text(),
              "ERROR : combined_miutia_quality : unexpected quality map value 5 "
              "not in range [0..4]\n");
  }
}

}  // namespace
