// The algorithm core's image checks: erosion, logo contrast, wet area, bad
// pixels, white bar and blob, white regions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "src/ZqAlg/ZqImageChecks.h"
#include "src/features/ZqAlgMode.h"
#include "zq_finger_image.h"

namespace {

// Zeros of a mask as (row, col) bounding box and count.
struct Zeros {
  int count, top, left, bottom, right;
};

Zeros FindZeros(const std::vector<uint8_t> &m, int cols) {
  Zeros z{0, 1 << 20, 1 << 20, -1, -1};
  for (size_t i = 0; i < m.size(); ++i)
    if (m[i] == 0) {
      const int y = static_cast<int>(i) / cols, x = static_cast<int>(i) % cols;
      ++z.count;
      z.top = std::min(z.top, y);
      z.left = std::min(z.left, x);
      z.bottom = std::max(z.bottom, y);
      z.right = std::max(z.right, x);
    }
  return z;
}

TEST(ZqErosionTest, ZeroRegionsGrowByRadiusWithoutCascade) {
  struct Case {
    int y, x, radius;
    Zeros want;
  };
  const int cols = 12, rows = 10;
  const Case cases[] = {
      {5, 6, 0, {1, 5, 6, 5, 6}},      // radius 0: unchanged
      {5, 6, 2, {25, 3, 4, 7, 8}},     // 5x5 square
      {0, 0, 2, {9, 0, 0, 2, 2}},      // clipped at the corner
      {9, 11, 1, {4, 8, 10, 9, 11}},   // clipped at the far corner
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> m(cols * rows, 1);
    m[c.y * cols + c.x] = 0;
    ASSERT_EQ(ZqErosion(m.data(), cols, rows, c.radius), 0);
    const Zeros z = FindZeros(m, cols);
    EXPECT_EQ(z.count, c.want.count) << c.y << "," << c.x << " r" << c.radius;
    EXPECT_EQ(z.top, c.want.top);
    EXPECT_EQ(z.left, c.want.left);
    EXPECT_EQ(z.bottom, c.want.bottom);
    EXPECT_EQ(z.right, c.want.right);
  }
  EXPECT_EQ(ZqErosion(nullptr, cols, rows, 1), -1);
}

TEST(ZqLogoImageEnhanceTest, FlatClearsAndTextureSpansTheRange) {
  std::vector<uint8_t> flat(40 * 30, 173);
  ASSERT_EQ(ZqLogoImageEnhance(flat.data(), 40, 30), 0);
  EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](uint8_t v) { return v == 0; }));

  std::vector<uint8_t> img = zq_test::FingerImage(64, 64);
  ASSERT_EQ(ZqLogoImageEnhance(img.data(), 64, 64), 0);
  EXPECT_EQ(*std::min_element(img.begin(), img.end()), 0);
  EXPECT_EQ(*std::max_element(img.begin(), img.end()), 254);
  EXPECT_EQ(ZqLogoImageEnhance(nullptr, 64, 64), -1);
}

TEST(ZqWetImageAreaPercentTest, DarkFlatIsWetFingerAndBrightAreNot) {
  std::vector<uint8_t> dark(96 * 96, 30), bright(96 * 96, 215);
  EXPECT_EQ(ZqWetImageAreaPercent(dark.data(), 96, 96), 100);
  EXPECT_EQ(ZqWetImageAreaPercent(bright.data(), 96, 96), 0);
  // Dark columns 0..39: only columns whose 11-wide window is all dark are
  // wet (0..34); the erosion grows them by 5 to 0..39, 40 of 96 columns.
  std::vector<uint8_t> part(96 * 96, 215);
  for (int y = 0; y < 96; ++y) std::fill_n(part.begin() + y * 96, 40, 30);
  EXPECT_EQ(ZqWetImageAreaPercent(part.data(), 96, 96), 41);
  std::vector<uint8_t> finger = zq_test::FingerImage(96, 96);
  EXPECT_EQ(ZqWetImageAreaPercent(finger.data(), 96, 96), 0);
  EXPECT_EQ(ZqWetImageAreaPercent(nullptr, 96, 96), -1);
}

TEST(ZqBadPixselDetectTest, SaturatedBlockCoreGrowsByTwo) {
  const int rows = 20, cols = 24;
  std::vector<uint8_t> img(rows * cols, 200), mask(rows * cols, 7);
  for (int y = 8; y < 13; ++y)
    for (int x = 10; x < 15; ++x) img[y * cols + x] = 255;
  // A lone saturated pixel has a 3x3 mean below 255 and is not bad.
  img[2 * cols + 2] = 255;
  ASSERT_EQ(ZqBadPixselDetect(img.data(), rows, cols, mask.data()), 0);
  const Zeros z = FindZeros(mask, cols);
  // 3x3 core (9..11, 11..13) grown by 2.
  EXPECT_EQ(z.count, 49);
  EXPECT_EQ(z.top, 7);
  EXPECT_EQ(z.left, 9);
  EXPECT_TRUE(std::all_of(mask.begin(), mask.end(), [](uint8_t v) { return v <= 1; }));
  EXPECT_EQ(ZqBadPixselDetect(nullptr, rows, cols, mask.data()), -1);
  EXPECT_EQ(ZqBadPixselDetect(img.data(), rows, cols, nullptr), -1);
}

TEST(ZqWhiteBlobDetectTest, WindowMeanBetweenCoveredRows) {
  const int rows = 96, cols = 96;
  std::vector<uint8_t> mask(rows * cols, 1);
  std::vector<uint8_t> white(rows * cols, 201), grey(rows * cols, 200);
  EXPECT_EQ(ZqWhiteBlobDetect(white.data(), mask.data(), rows, cols), 2);
  EXPECT_EQ(ZqWhiteBlobDetect(grey.data(), mask.data(), rows, cols), 0);
  // A bright band of 36 rows inside a grey image is found by a window.
  std::vector<uint8_t> band = grey;
  std::fill(band.begin() + 40 * cols, band.begin() + 76 * cols, 250);
  EXPECT_EQ(ZqWhiteBlobDetect(band.data(), mask.data(), rows, cols), 2);
  // Covered rows 10..46 only: the last lies 36 rows below the first.
  std::vector<uint8_t> shortMask(rows * cols, 0);
  std::fill(shortMask.begin() + 10 * cols, shortMask.begin() + 47 * cols, 1);
  EXPECT_EQ(ZqWhiteBlobDetect(white.data(), shortMask.data(), rows, cols), 0);
  std::vector<uint8_t> none(rows * cols, 0);
  EXPECT_EQ(ZqWhiteBlobDetect(white.data(), none.data(), rows, cols), 0);
}

TEST(ZqAbnormalImageDetectTest, OnlySensorTypesNineAndTen) {
  std::vector<uint8_t> white(96 * 96, 230);
  for (uint16_t type : {0, 3, 8, 11, 12}) {
    ZqSensorTypeSet(type);
    EXPECT_EQ(ZqAbnormalImageDetect(white.data(), 96, 96), 0) << type;
  }
  ZqSensorTypeSet(9);
  EXPECT_EQ(ZqAbnormalImageDetect(white.data(), 96, 96), 2);
  std::vector<uint8_t> finger = zq_test::FingerImage(96, 96);
  ZqSensorTypeSet(10);
  EXPECT_EQ(ZqAbnormalImageDetect(finger.data(), 96, 96), 0);
  ZqAlgModeResetForTest();
}

TEST(ZqGetWhiteAbnormalTest, ShareOfLargeWhiteRegions) {
  const int cols = 40, rows = 30;
  std::vector<uint8_t> img(rows * cols, 100);
  for (int y = 0; y < 15; ++y) std::fill_n(img.begin() + y * cols, cols, 220);  // 600 px
  for (int x = 0; x < 5; ++x) img[25 * cols + x] = 220;                        // 5 px
  uint8_t area = 77;
  ASSERT_EQ(ZqGetWhiteAbnormal(img.data(), cols, rows, 200, 250, &area), 0);
  EXPECT_EQ(area, 50);
  // The bounds are exclusive.
  ASSERT_EQ(ZqGetWhiteAbnormal(img.data(), cols, rows, 220, 250, &area), 0);
  EXPECT_EQ(area, 0);
  EXPECT_EQ(ZqGetWhiteAbnormal(nullptr, cols, rows, 200, 250, &area), -1);
  EXPECT_EQ(ZqGetWhiteAbnormal(img.data(), 0, rows, 200, 250, &area), -1);
}

}  // namespace
