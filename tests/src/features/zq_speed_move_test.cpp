// Finger movement speed: the judge's decision table, the peak search and
// pairing on constructed images, and whole calls on synthetic frame pairs
// (identical, shifted, partly lifted, flat).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/features/ZqSpeedMove.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using Image = std::vector<uint8_t>;

class SpeedMove : public ::testing::Test {
 protected:
  void TearDown() override { ZqSpeedMoveResetForTest(); }
};

uint64_t Describe(uint32_t area, bool finger) {
  return (static_cast<uint64_t>(area) << 32) | (finger ? 1u : 0u);
}

// --- ZqSpeedFastJusitfy ------------------------------------------------------

TEST_F(SpeedMove, JudgeDecisionTable) {
  struct Case {
    const char *what;
    float cost;
    int16_t dx, dy;       // displacement of the best pair
    uint32_t a1, a2;      // covered areas
    bool f1, f2;          // finger flags
    int32_t want;
  };
  const Case cases[] = {
      {"in place, same area", 0.0f, 0, 0, 80, 80, true, true, 0},
      {"small drift", 4.0f, 2, 2, 80, 70, true, true, 0},
      {"in place, area +21", 1.0f, 0, 2, 80, 59, true, true, 1},
      {"in place, area +20 is still", 1.0f, 1, 1, 60, 80, true, true, 0},
      {"moved 3 with area change", 1.0f, 3, 0, 80, 50, true, true, 2},
      {"moved 15 is still", 1.0f, 9, 12, 80, 80, true, true, 0},
      {"moved 16", 1.0f, 16, 0, 80, 80, true, true, 2},
      {"patches too different", 30.5f, 0, 0, 80, 80, true, true, 2},
      {"cost 30 is the same place", 30.0f, 0, 0, 80, 80, false, false, 0},
      {"finger and no finger", 0.0f, 0, 0, 80, 80, true, false, 2},
  };
  for (const Case &k : cases) {
    ST_SpeedFeat best = {k.cost, 40, 30, static_cast<int16_t>(40 + k.dx),
                         static_cast<int16_t>(30 + k.dy)};
    ST_SpeedFeat pairs[2] = {best, {99.0f, 0, 0, 60, 60}};  // only the first counts
    EXPECT_EQ(ZqSpeedFastJusitfy(pairs, 2, Describe(k.a1, k.f1), Describe(k.a2, k.f2)), k.want)
        << k.what;
  }
  // Without pairs only the area counts (the flags do not).
  EXPECT_EQ(ZqSpeedFastJusitfy(nullptr, 0, Describe(10, true), Describe(31, false)), 2);
  EXPECT_EQ(ZqSpeedFastJusitfy(nullptr, 0, Describe(30, true), Describe(10, false)), 0);
  ST_SpeedFeat one = {0.0f, 1, 1, 1, 1};
  EXPECT_EQ(ZqSpeedFastJusitfy(&one, 0, Describe(10, true), Describe(10, true)), 0);
}

TEST_F(SpeedMove, SettingsMoveTheLimits) {
  ST_SpeedFeat p = {12.0f, 10, 10, 18, 10};  // 8 px, cost 12
  const uint64_t s = Describe(50, true), t = Describe(60, true);
  EXPECT_EQ(ZqSpeedFastJusitfy(&p, 1, s, t), 0);
  ZqSetMoveSpeedDstDiver(7.5f);
  EXPECT_EQ(ZqSpeedFastJusitfy(&p, 1, s, t), 2);
  ZqSpeedMoveResetForTest();
  ZqSetMoveSpeedAreaDiver(9.0f);
  EXPECT_EQ(ZqSpeedFastJusitfy(&p, 1, s, t), 2);
  ZqSpeedMoveResetForTest();
  ZqSetMoveSpeedHistDiverLimit(11.0f);
  EXPECT_EQ(ZqSpeedFastJusitfy(&p, 1, s, t), 2);
}

// --- Peaks and pairs ---------------------------------------------------------

// Vertical stripes of period 8: every stripe edge has the same magnitude,
// and equal values do not disqualify a peak, so peaks abound.
Image Stripes(int rows, int cols) {
  Image img(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) img[r * cols + c] = (c / 4) % 2 ? 200 : 60;
  return img;
}

struct Peaks {
  ST_MvKeyPoints list{0, nullptr};
  Peaks() { EXPECT_EQ(ZqMvKeyPointsInit(&list), 0); }
  ~Peaks() { EXPECT_EQ(ZQMvKeyPointsUnInit(&list), 0); }
  int X(int i) const { return static_cast<int>(list.points[i] & 0xFFFF); }
  int Y(int i) const { return static_cast<int>(list.points[i] >> 16); }
};

TEST_F(SpeedMove, PeakSearchStopsAtFiftyInScanOrder) {
  const int rows = 60, cols = 64;
  const Image img = Stripes(rows, cols);
  Peaks p;
  ASSERT_EQ(ZqCalculateMagnitudePoint(img.data(), rows, cols, &p.list), 0);
  ASSERT_EQ(p.list.count, 50);
  for (int i = 0; i < 50; ++i) {
    EXPECT_GE(p.X(i), 7);
    EXPECT_LE(p.X(i), cols - 8);
    EXPECT_GE(p.Y(i), 7);
    if (i > 0) {
      EXPECT_TRUE(p.Y(i) > p.Y(i - 1) || (p.Y(i) == p.Y(i - 1) && p.X(i) > p.X(i - 1))) << i;
    }
  }
  EXPECT_EQ(p.Y(0), 7);  // the first scanned row already holds peaks
}

TEST_F(SpeedMove, PeakSearchSkipsFlatWeakAndSmallImages) {
  struct Case {
    const char *what;
    int rows, cols;
    Image img;
  };
  Image dot(40 * 40, 100);
  dot[20 * 40 + 20] = 101;  // smoothed away below magnitude 2
  Image blob(40 * 40, 100);
  for (int r = 16; r < 24; ++r)
    for (int c = 16; c < 24; ++c) blob[r * 40 + c] = 180;
  const Case cases[] = {
      {"flat", 40, 40, Image(40 * 40, 128)},
      {"faint dot", 40, 40, dot},
      {"14 rows", 14, 64, Stripes(14, 64)},
      {"14 columns", 64, 14, Stripes(64, 14)},
  };
  for (const Case &k : cases) {
    Peaks p;
    p.list.count = 9;
    ASSERT_EQ(ZqCalculateMagnitudePoint(k.img.data(), k.rows, k.cols, &p.list), 0) << k.what;
    EXPECT_EQ(p.list.count, 0) << k.what;
  }
  // A bright square: its strongest gradient lies on the box-mean ring
  // around it, and no two peaks lie within 10 px unless they tie.
  Peaks p;
  ASSERT_EQ(ZqCalculateMagnitudePoint(blob.data(), 40, 40, &p.list), 0);
  ASSERT_GT(p.list.count, 0);
  for (int i = 0; i < p.list.count; ++i) {
    EXPECT_GE(p.X(i), 13);
    EXPECT_LE(p.X(i), 26);
    EXPECT_GE(p.Y(i), 13);
    EXPECT_LE(p.Y(i), 26);
  }
  EXPECT_EQ(ZqCalculateMagnitudePoint(nullptr, 40, 40, &p.list), -1);
  EXPECT_EQ(ZqCalculateMagnitudePoint(blob.data(), 40, 40, nullptr), -1);
}

uint32_t Pack(int x, int y) { return static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x); }

TEST_F(SpeedMove, PatchesMarkOutsidePositions) {
  const int rows = 30, cols = 40;
  Image img(rows * cols);
  for (int i = 0; i < rows * cols; ++i) img[i] = static_cast<uint8_t>(i % 251);
  std::vector<int16_t> patch(225, 0);
  zq_search_feat_pair_helper(img.data(), rows, cols, Pack(cols - 3, 2), patch.data());
  for (int r = 0; r < 15; ++r)
    for (int c = 0; c < 15; ++c) {
      const int y = 2 - 7 + r, x = cols - 3 - 7 + c;
      const int want = (y < 0 || x >= cols) ? -1 : img[y * cols + x];
      ASSERT_EQ(patch[r * 15 + c], want) << r << "," << c;
    }
}

TEST_F(SpeedMove, PairingIsGreedyAndIgnoresBrightness) {
  // Two distinct textures at A and B; the second image is the first made
  // 10 levels brighter. Listed as (A, B) and (B, A), the cheapest pairs are
  // A-A and B-B at cost 0, in that order (row-major first on ties).
  const int rows = 40, cols = 60;
  Image img1(rows * cols);
  uint32_t seed = 7;
  for (uint8_t &v : img1) {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<uint8_t>(40 + (seed >> 16) % 150);
  }
  Image img2 = img1;
  for (uint8_t &v : img2) v = static_cast<uint8_t>(v + 10);
  const uint32_t a = Pack(12, 15), b = Pack(45, 22);
  const uint32_t points1[2] = {a, b}, points2[2] = {b, a};
  ST_SpeedFeat out[2] = {};
  ASSERT_EQ(ZqSearchFeatPair(img1.data(), img2.data(), rows, cols, 2, points1, 2, points2, out), 0);
  EXPECT_EQ(out[0].cost, 0.0f);
  EXPECT_EQ(out[0].x1, 12);
  EXPECT_EQ(out[0].x2, 12);
  EXPECT_EQ(out[1].cost, 0.0f);
  EXPECT_EQ(out[1].x1, 45);
  EXPECT_EQ(out[1].y2, 22);

  // Only min(count1, count2) pairs are written.
  ST_SpeedFeat one[2] = {{-1.0f, 0, 0, 0, 0}, {-1.0f, 0, 0, 0, 0}};
  ASSERT_EQ(ZqSearchFeatPair(img1.data(), img2.data(), rows, cols, 1, points1, 2, points2, one), 0);
  EXPECT_EQ(one[0].x2, 12);
  EXPECT_EQ(one[1].cost, -1.0f);
  // Nothing to pair: nothing written; a missing image is refused.
  ASSERT_EQ(ZqSearchFeatPair(img1.data(), img2.data(), rows, cols, 0, points1, 2, points2, one), 0);
  EXPECT_EQ(one[1].cost, -1.0f);
  EXPECT_EQ(ZqSearchFeatPair(img1.data(), nullptr, rows, cols, 2, points1, 2, points2, out), -2);
  EXPECT_EQ(ZqSearchFeatPair(nullptr, nullptr, rows, cols, 2, points1, 2, points2, out), -2);
}

TEST_F(SpeedMove, ListsAndPairBuffers) {
  EXPECT_EQ(ZqMvKeyPointsInit(nullptr), -1);
  EXPECT_EQ(ZQMvKeyPointsUnInit(nullptr), -1);
  EXPECT_EQ(ZqSpeedFeatCreate(0, 50), nullptr);
  EXPECT_EQ(ZqSpeedFeatCreate(10, -1), nullptr);
  ST_SpeedFeat *f = ZqSpeedFeatCreate(80, 50);
  ASSERT_NE(f, nullptr);
  f[49].cost = 1.0f;  // 50 are there
  ZqSafeFree(f);
}

// --- Whole calls on synthetic frames -----------------------------------------

// A 96 x 96 window cut at (x0, y0) from a larger press of one finger.
Image Window(int x0, int y0) {
  static const Image big = [] {
    const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(33, 3));
    fingers::ImpressionParams p;
    p.width = 160;
    p.height = 140;
    p.contact.radius = 1.6;
    p.sensor.noise = 1.0;
    return fingers::Render(master, p).frame.gray;
  }();
  Image w(96 * 96);
  for (int r = 0; r < 96; ++r)
    for (int c = 0; c < 96; ++c) w[r * 96 + c] = big[(y0 + r) * 160 + x0 + c];
  return w;
}

// The window with its last `rows` rows lifted off the sensor (white).
Image Lifted(Image img, int rows) {
  std::fill(img.end() - rows * 96, img.end(), 255);
  return img;
}

TEST_F(SpeedMove, SyntheticPairs) {
  Image halfWhite(96 * 96, 200);
  std::fill(halfWhite.begin() + 48 * 96, halfWhite.end(), 255);
  struct Case {
    const char *what;
    Image a, b;
    int32_t want;
  };
  const Case cases[] = {
      {"identical", Window(30, 20), Window(30, 20), 0},
      {"shifted 5 px", Window(30, 20), Window(35, 20), 0},
      {"shifted 20 px", Window(30, 20), Window(50, 20), 2},
      {"shifted 14 px diagonally", Window(30, 20), Window(40, 30), 0},
      {"shifted 12, 12 (17 px)", Window(30, 20), Window(42, 32), 2},
      // The upper rows still match in place; the area drops 31 points.
      {"bottom third lifted", Window(30, 20), Lifted(Window(30, 20), 30), 1},
      {"bottom sixth lifted", Window(30, 20), Lifted(Window(30, 20), 16), 0},
      {"flat and flat", Image(96 * 96, 200), Image(96 * 96, 180), 0},
      // No peaks in the flat frame: the area change alone decides.
      {"flat and half white", Image(96 * 96, 200), halfWhite, 2},
  };
  for (const Case &k : cases) {
    EXPECT_EQ(ZqSpeedFastJustifyExampProcess(k.a.data(), k.b.data(), 96, 96), k.want) << k.what;
  }
  const Image img = Window(0, 0);
  EXPECT_EQ(ZqSpeedFastJustifyExampProcess(nullptr, img.data(), 96, 96), -1);
  EXPECT_EQ(ZqSpeedFastJustifyExampProcess(img.data(), nullptr, 96, 96), -1);
  EXPECT_EQ(ZqSpeedFastJustifyExampProcess(img.data(), img.data(), 0, 96), -1);
}

}  // namespace
