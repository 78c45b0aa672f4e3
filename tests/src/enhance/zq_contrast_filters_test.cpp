// 8-bit contrast filters and column statistics on constructed images:
// flat images, refusals, the 100-column guard, the white-bar strength on
// constructed arrays and the column normalisation's per-column invariance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "src/enhance/ZqColumnStats.h"
#include "src/enhance/ZqContrastFilters.h"

namespace {

using Image = std::vector<uint8_t>;

template <typename F>
Image Make(int rows, int cols, F f) {
  Image img(static_cast<size_t>(rows) * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      img[static_cast<size_t>(y) * cols + x] = static_cast<uint8_t>(f(y, x));
  return img;
}

Image Noise(int rows, int cols, unsigned seed, int lo = 0, int hi = 255) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(lo, hi);
  return Make(rows, cols, [&](int, int) { return dist(rng); });
}

// --- Filters --------------------------------------------------------------------

TEST(ContrastFilters, FlatImagesBecomeZero) {
  const int rows = 20, cols = 24;
  struct Case {
    const char *name;
    int32_t (*run)(uint8_t *, int32_t, int32_t);
  };
  const Case cases[] = {
      {"GrayMeanSub", [](uint8_t *p, int32_t r, int32_t c) { return ZqGrayMeanSub(p, r, c, 11); }},
      {"LocalContrastEnhance",
       [](uint8_t *p, int32_t r, int32_t c) { return ZqLocalContrastEnhance(p, r, c, 7); }},
      {"LeeFilter", [](uint8_t *p, int32_t r, int32_t c) { return ZqLeeFilter(p, r, c, 5, 10.0f); }},
      {"LeeFilter, no noise",
       [](uint8_t *p, int32_t r, int32_t c) { return ZqLeeFilter(p, r, c, 5, 0.0f); }},
  };
  for (const Case &c : cases) {
    Image img(rows * cols, 140);
    ASSERT_EQ(c.run(img.data(), rows, cols), 0) << c.name;
    EXPECT_EQ(img, Image(rows * cols, 0)) << c.name;
  }
}

TEST(ContrastFilters, StretchesToTheirTopAndRefuseBadInput) {
  const int rows = 20, cols = 24;
  const Image noise = Noise(rows, cols, 3, 0, 250);  // nothing saturated
  struct Case {
    const char *name;
    int32_t (*run)(uint8_t *, int32_t, int32_t);
    int top;
  };
  const Case cases[] = {
      {"GrayMeanSub", [](uint8_t *p, int32_t r, int32_t c) { return ZqGrayMeanSub(p, r, c, 11); },
       254},
      {"LocalContrastEnhance",
       [](uint8_t *p, int32_t r, int32_t c) { return ZqLocalContrastEnhance(p, r, c, 7); }, 250},
      {"LeeFilter", [](uint8_t *p, int32_t r, int32_t c) { return ZqLeeFilter(p, r, c, 5, 10.0f); },
       250},
      {"NormalizeAndEnhance",
       [](uint8_t *p, int32_t r, int32_t c) { return ZqNormalizeAndEnhance(p, r, c); }, 250},
  };
  for (const Case &c : cases) {
    Image img = noise;
    ASSERT_EQ(c.run(img.data(), rows, cols), 0) << c.name;
    EXPECT_EQ(*std::min_element(img.begin(), img.end()), 0) << c.name;
    // top x (1 / range) may land just under top for the largest value.
    EXPECT_LE(*std::max_element(img.begin(), img.end()), c.top) << c.name;
    EXPECT_GE(*std::max_element(img.begin(), img.end()), c.top - 1) << c.name;
    EXPECT_EQ(c.run(nullptr, rows, cols), -1) << c.name;
  }
  // Window below 3, or a window the image cannot hold: refused, image kept.
  Image img = noise;
  EXPECT_EQ(ZqGrayMeanSub(img.data(), rows, cols, 2), -1);
  EXPECT_EQ(ZqGrayMeanSub(img.data(), rows, cols, 21), -1);
  EXPECT_EQ(ZqLocalContrastEnhance(img.data(), rows, cols, 21), -4);
  EXPECT_EQ(ZqLeeFilter(img.data(), rows, cols, 21, 1.0f), -3);
  EXPECT_EQ(ZqLocalContrastEnhance(img.data(), 0, cols, 7), -3);
  EXPECT_EQ(img, noise);
}

// The band-pass keeps the order of a bright spot over a dark one: the spot
// maps to the top, the dark spot to 0, and the flat field in between.
TEST(ContrastFilters, GrayMeanSubIsALocalMeanDifference) {
  const int rows = 30, cols = 30;
  Image img(rows * cols, 100);
  for (int y = 6; y < 9; ++y)
    for (int x = 6; x < 9; ++x) img[y * cols + x] = 200;
  for (int y = 20; y < 23; ++y)
    for (int x = 20; x < 23; ++x) img[y * cols + x] = 10;
  ASSERT_EQ(ZqGrayMeanSub(img.data(), rows, cols, 11), 0);
  EXPECT_EQ(img[7 * cols + 7], 254);
  EXPECT_EQ(img[21 * cols + 21], 0);
  const uint8_t field = img[14 * cols + 0];
  EXPECT_GT(field, 0);
  EXPECT_LT(field, 254);
  EXPECT_EQ(img[0], field);  // far from both spots: no difference
}

TEST(SegmentByLocalVariance, MarksTheTexturedPatchOnly) {
  const int rows = 60, cols = 60;
  // A 30 x 30 checkerboard of 60 / 190 in a smooth ramp.
  const Image img = Make(rows, cols, [](int y, int x) {
    if (y >= 15 && y < 45 && x >= 15 && x < 45) return (x + y) % 2 ? 190 : 60;
    return 80 + x / 2;
  });
  Image mask(rows * cols, 7);
  ASSERT_EQ(ZqSegmentByLocalVariance(img.data(), rows, cols, 9, mask.data(), 9.0f), 0);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const int far = std::max(std::max(15 - y, y - 44), std::max(15 - x, x - 44));
      if (y >= 20 && y < 40 && x >= 20 && x < 40) {
        EXPECT_EQ(mask[y * cols + x], 1) << y << "," << x;
      } else if (far > 6) {
        EXPECT_EQ(mask[y * cols + x], 0) << y << "," << x;
      }
    }
  // Smooth: local variance at most thr^2 everywhere.
  const Image ramp = Make(rows, cols, [](int y, int x) { return 50 + x + y; });
  ASSERT_EQ(ZqSegmentByLocalVariance(ramp.data(), rows, cols, 9, mask.data(), 9.0f), 0);
  EXPECT_EQ(mask, Image(rows * cols, 0));

  EXPECT_EQ(ZqSegmentByLocalVariance(nullptr, rows, cols, 9, mask.data(), 9.0f), -1);
  EXPECT_EQ(ZqSegmentByLocalVariance(img.data(), rows, cols, 9, nullptr, 9.0f), -1);
  EXPECT_EQ(ZqSegmentByLocalVariance(img.data(), rows, cols, 61, mask.data(), 9.0f), -1);
}

TEST(Normalize32f, StretchesMinToZeroAndMaxToTop) {
  const std::vector<float> ramp = {-3.0f, -2.0f, -1.0f, 0.0f};
  Image out(4, 9);
  ZqNormalize_32f_2_8u(ramp.data(), 2, 2, out.data(), 250.0f);
  EXPECT_EQ(out, (Image{0, 83, 166, 250}));
  const std::vector<float> flat(4, 7.5f);
  ZqNormalize_32f_2_8u(flat.data(), 1, 4, out.data(), 250.0f);
  EXPECT_EQ(out, Image(4, 0));
  out.assign(4, 9);
  ZqNormalize_32f_2_8u(nullptr, 2, 2, out.data(), 250.0f);
  ZqNormalize_32f_2_8u(ramp.data(), 0, 4, out.data(), 250.0f);
  EXPECT_EQ(out, Image(4, 9));
}

// --- Column statistics ---------------------------------------------------------

TEST(ColumnStats, MeanAndDeviationOfMaskedRows) {
  // Column 0: 10, 20 (var 25); column 1: 10, 11 (var 0.25 -> 0 -> dev 1);
  // column 2: nothing masked; column 3: 100, 0 masked out, 3 (mean 51,
  // var 2352.25 -> 2352).
  const Image img = {10, 10, 77, 100,   //
                     20, 11, 77, 0,     //
                     250, 250, 77, 3};
  const Image mask = {1, 1, 0, 1,  //
                      1, 1, 0, 0,  //
                      0, 0, 0, 1};
  std::vector<float> dev(4, -1.0f), mean(4, -1.0f);
  ZqCalcMeanDeviationInCol(img.data(), mask.data(), 3, 4, dev.data(), mean.data());
  EXPECT_FLOAT_EQ(dev[0], 5.0f);
  EXPECT_FLOAT_EQ(mean[0], 15.0f);
  EXPECT_FLOAT_EQ(dev[1], 1.0f);
  EXPECT_FLOAT_EQ(mean[1], 10.0f);  // 21 / 2, integer division
  EXPECT_FLOAT_EQ(dev[2], 1.0f);
  EXPECT_FLOAT_EQ(mean[2], 0.0f);
  EXPECT_FLOAT_EQ(dev[3], std::sqrt(2352.0f));
  EXPECT_FLOAT_EQ(mean[3], 51.0f);
}

TEST(ColumnStats, WhiteBarStrengthOnConstructedArrays) {
  // 20 columns: edges (first and last four), centre (7..13, cols / 2 = 10),
  // and the rest.
  struct Case {
    const char *name;
    int cols;
    float edge, centre, other, centreMean;
    float want;
  };
  const Case cases[] = {
      {"bar", 20, 20, 8, 3, 168, 12},
      {"bar, odd width", 21, 20, 8, 3, 200, 12},
      {"no counting centre", 20, 20, 5, 3, 200, 20},
      {"centre too dark", 20, 20, 8, 3, 167.9f, 0},
      {"centre too busy", 20, 40, 31, 3, 200, 0},
      {"centre at 30", 20, 40, 30, 3, 200, 10},
      {"all at most 6", 20, 6, 6, 6, 255, 0},
      {"edges at 6.5", 8, 6.5f, 6.5f, 6.5f, 200, 0},  // centre overlaps the edges
  };
  for (const Case &c : cases) {
    std::vector<float> dev(c.cols, c.other), mean(c.cols, 100);
    for (int i = 0; i < 4; ++i) dev[i] = dev[c.cols - 1 - i] = c.edge;
    for (int i = c.cols / 2 - 3; i <= c.cols / 2 + 3; ++i) {
      dev[i] = c.centre;
      mean[i] = c.centreMean;
    }
    EXPECT_FLOAT_EQ(ZqCalcDeviation(dev.data(), mean.data(), c.cols), c.want) << c.name;
  }
  // L and R count only deviations above 6: one edge column of 30 among
  // three of 2 gives L = 30; a right edge without any gives 0.
  std::vector<float> dev(20, 2), mean(20, 200);
  dev[1] = 30;
  dev[17] = 10;
  dev[19] = 20;
  EXPECT_FLOAT_EQ(ZqCalcDeviation(dev.data(), mean.data(), 20), 22.5f);
  dev[17] = dev[19] = 2;
  EXPECT_FLOAT_EQ(ZqCalcDeviation(dev.data(), mean.data(), 20), 0.0f);
  EXPECT_FLOAT_EQ(ZqCalcDeviation(dev.data(), mean.data(), 7), 0.0f);
  EXPECT_FLOAT_EQ(ZqCalcDeviation(nullptr, mean.data(), 20), 0.0f);
}

// A bright, flat vertical bar between busy edges: the check measures it
// from the image; widths outside 8 .. 100 give 0 and read nothing past
// the fixed column arrays (ASan watches the 101-column case).
TEST(ColumnStats, VerticalDeviationOfAnImageAndTheWidthGuard) {
  const int rows = 40;
  for (int cols : {7, 8, 40, 100, 101, 160}) {
    std::mt19937 rng(cols);
    const Image img = Make(rows, cols, [&](int, int x) {
      const bool centre = x >= cols / 2 - 3 && x <= cols / 2 + 3;
      return centre ? 200 : static_cast<int>(60 + rng() % 120);
    });
    const Image mask(img.size(), 1);
    float out = -1.0f;
    ZqCalcVerticalDeviation(img.data(), mask.data(), rows, cols, &out);
    if (cols < 10 || cols > 100) {
      // 8 and 9 columns: the centre overlaps the edges, so no bar.
      EXPECT_EQ(out, 0.0f) << cols;
    } else {
      EXPECT_GT(out, 6.0f) << cols;  // a white bar
    }
  }
  float out = -1.0f;
  const Image img(40 * 40, 200);
  ZqCalcVerticalDeviation(nullptr, img.data(), 40, 40, &out);
  EXPECT_EQ(out, 0.0f);
  ZqCalcVerticalDeviation(img.data(), img.data(), 40, 40, nullptr);  // nothing to write
}

TEST(NormalizeAndEnhance, SaturatedPixelsBecome254AndWideImagesAreRefused) {
  // Flat 120 with a saturated patch: the rest becomes 0, the patch 254.
  const int rows = 10, cols = 12;
  Image img(rows * cols, 120);
  img[5] = 251;
  img[17] = 255;
  ASSERT_EQ(ZqNormalizeAndEnhance(img.data(), rows, cols), 0);
  for (int i = 0; i < rows * cols; ++i)
    EXPECT_EQ(img[i], i == 5 || i == 17 ? 254 : 0) << i;

  for (int wide : {101, 300}) {
    const Image noise = Noise(4, wide, 5);
    Image copy = noise;
    EXPECT_EQ(ZqNormalizeAndEnhance(copy.data(), 4, wide), -1) << wide;
    EXPECT_EQ(copy, noise) << wide;
  }
  const Image noise = Noise(4, 100, 5);
  Image copy = noise;
  EXPECT_EQ(ZqNormalizeAndEnhance(copy.data(), 4, 100), 0);
  EXPECT_NE(copy, noise);
  EXPECT_EQ(ZqNormalizeAndEnhance(copy.data(), 0, 100), -1);
}

// Each column is normalised by its own statistics, so a per-column gain
// and offset change the result by rounding only.
TEST(NormalizeAndEnhance, InvariantUnderPerColumnGainAndOffset) {
  const int rows = 30, cols = 16;
  const Image base = Noise(rows, cols, 9, 40, 100);
  Image scaled = base;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const int gain = 1 + x % 2, offset = 3 * x;
      scaled[y * cols + x] = static_cast<uint8_t>(base[y * cols + x] * gain + offset - 40 * (gain - 1));
    }
  Image a = base, b = scaled;
  ASSERT_EQ(ZqNormalizeAndEnhance(a.data(), rows, cols), 0);
  ASSERT_EQ(ZqNormalizeAndEnhance(b.data(), rows, cols), 0);
  for (int i = 0; i < rows * cols; ++i) EXPECT_NEAR(a[i], b[i], 3) << i;
}

}  // namespace
