// The older quality scorers and their helpers: integral image against
// brute force, the clipped dynamic threshold, Sobel planes and response on
// a step edge, the histogram, the percentile stretch, and the block-
// variance weight tables on stripes of known variance.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqImgQualityLegacy.h"

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

bool Bit(const Image &map, int i) { return (map[i / 8] >> (i % 8)) & 1; }

TEST(LegacyHelpers, IntegralImageMatchesBruteForce) {
  const int w = 13, h = 7;
  std::mt19937 rng(1);
  const Image img = Make(h, w, [&](int, int) { return rng() % 256; });
  std::vector<int32_t> sums((w + 1) * (h + 1), -5);
  ASSERT_EQ(BaseImageIntergraterU8(img.data(), w, h, sums.data()), 0);
  for (int y = 0; y <= h; ++y)
    for (int x = 0; x <= w; ++x) {
      int32_t want = 0;
      for (int yy = 0; yy < y; ++yy)
        for (int xx = 0; xx < x; ++xx) want += img[yy * w + xx];
      ASSERT_EQ(sums[y * (w + 1) + x], want) << y << "," << x;
    }
  EXPECT_EQ(BaseImageIntergraterU8(nullptr, w, h, sums.data()), -1);
}

TEST(LegacyHelpers, HistogramAddsToTheCallersCounts) {
  const Image img = {0, 5, 5, 255, 5, 0};
  std::vector<int32_t> hist(256, 0);
  hist[5] = 10;
  ASSERT_EQ(ZqCreateHist_U8(img.data(), 3, 2, hist.data()), 0);
  EXPECT_EQ(hist[0], 2);
  EXPECT_EQ(hist[5], 13);
  EXPECT_EQ(hist[255], 1);
  EXPECT_EQ(ZqCreateHist_U8(img.data(), 3, 2, nullptr), -1);
}

TEST(LegacyHelpers, DynThresholdUsesClippedWindowsAndTruncatedMeans) {
  // 1 x 4 row 0, 0, 0, 10 with window 3: the first pixel's window is
  // clipped to {0, 0}, the last one's to {0, 10} (mean 5); the third sees
  // {0, 0, 10}, mean 3 truncated. Differences 0, 0, -3, 5.
  const Image img = {0, 0, 0, 10};
  struct Case {
    int threshold, mode;
    Image want;
  };
  const Case cases[] = {
      {0, 1, {1, 1, 0, 1}}, {5, 1, {0, 0, 0, 1}}, {6, 1, {0, 0, 0, 0}},
      {0, 0, {0, 0, 1, 0}}, {-3, 2, {0, 0, 0, 0}}, {-2, 0, {0, 0, 1, 0}},
  };
  Image out(4, 9);
  for (const Case &c : cases) {
    ASSERT_EQ(ZqDynThreshold(img.data(), out.data(), 4, 1, 3, c.threshold, c.mode), 0);
    EXPECT_EQ(out, c.want) << c.threshold << " mode " << c.mode;
  }
  EXPECT_EQ(ZqDynThreshold(nullptr, out.data(), 4, 1, 3, 5, 1), -1);
}

TEST(LegacyHelpers, SobelPlanesAndResponseOnAStepEdge) {
  // Columns 0..2 are 0, columns 3..5 are 64: interior pixels next to the
  // step see Gx = 4 x 64 = 256, Gy = 0.
  const int rows = 4, cols = 6;
  const Image img = Make(rows, cols, [](int, int x) { return x >= 3 ? 64 : 0; });
  std::vector<int32_t> ixx(rows * cols, -1), iyy(rows * cols, -1), ixy(rows * cols, -1);
  ASSERT_EQ(ZqGetGrad_dxdy(img.data(), rows, cols, ixx.data(), iyy.data(), ixy.data()), 0);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const int i = y * cols + x;
      const bool border = y == 0 || x == 0 || y == rows - 1 || x == cols - 1;
      if (border) {
        EXPECT_EQ(ixx[i], -1) << i;
        continue;
      }
      EXPECT_EQ(ixx[i], (x == 2 || x == 3) ? 256 : 0) << i;
      EXPECT_EQ(iyy[i], 0) << i;
      EXPECT_EQ(ixy[i], 0) << i;
    }
  EXPECT_EQ(ZqGetGrad_dxdy(img.data(), 0, cols, ixx.data(), iyy.data(), ixy.data()), -1);

  // Response: an edge (Ixx only) gives |0| - k Ixx^2; a corner-like
  // structure gives a large value, clipped to 255; zeros leave out alone.
  const std::vector<int32_t> xx = {256, 100, 0, 20}, yy = {0, 100, 0, 20}, xy = {0, 0, 0, 20};
  Image out(4, 7);
  ASSERT_EQ(ZqCalResponse(xx.data(), yy.data(), xy.data(), out.data(), 1, 4, 0.01f), 0);
  EXPECT_EQ(out[0], 255);  // |0 - 655.36|
  EXPECT_EQ(out[1], 255);  // 10000 - 400
  EXPECT_EQ(out[2], 7);    // 0: not written
  EXPECT_EQ(out[3], 16);   // |0 - 0.01 x 1600|
  EXPECT_EQ(ZqCalResponse(nullptr, yy.data(), xy.data(), out.data(), 1, 4, 0.01f), -1);
}

TEST(LegacyHelpers, StretchMapsTheCentralRangeOntoTheFullScale) {
  // Values 100..139 by column on 60 rows: stretched from the centre rows'
  // 100..139 onto 0..250 (x = (p - 100) x 251 / 39 + rounding).
  const int rows = 60, cols = 40;
  const Image img = Make(rows, cols, [](int, int x) { return 100 + x; });
  Image out(img.size());
  ASSERT_EQ(ZqImgStretch(img.data(), rows, cols, out.data()), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[20], 129);          // 20 x 251 / 39 = 128.7
  EXPECT_EQ(out[cols - 2], 245);    // 38 x 251 / 39 = 244.6
  EXPECT_EQ(out[cols - 1], 255);    // 251 is above 250
  // 40 rows or fewer: copied unchanged.
  Image shortOut(40 * cols);
  ASSERT_EQ(ZqImgStretch(img.data(), 40, cols, shortOut.data()), 0);
  EXPECT_EQ(shortOut, Image(img.begin(), img.begin() + 40 * cols));
  EXPECT_EQ(ZqImgStretch(nullptr, rows, cols, out.data()), -1);
}

// Columns alternate 100 and 100 + d, so every 16 x 16 block has the
// population variance d^2 / 4; the two tables weight it differently.
TEST(LegacyScorers, BlockVarianceWeightTables) {
  struct Case {
    int d;
    int ze4850, other;
  };
  const Case cases[] = {
      {10, 0, 0},     // 25
      {14, 0, 10},    // 49
      {20, 20, 20},   // 100
      {64, 60, 80},   // 1024
      {100, 100, 80}, // 2500
      {140, 80, 60},  // 4900
  };
  const int w = 40, h = 36;  // centred 32 x 32: four blocks
  for (const Case &c : cases) {
    const Image img = Make(h, w, [&](int, int x) { return 100 + (x % 2) * c.d; });
    uint8_t area = 0, quality = 0, bright = 0, zero = 9;
    ASSERT_EQ(ZqImgQuality_ZE4850(img.data(), w, h, &area, &quality, &bright, nullptr), 0);
    EXPECT_EQ(quality, c.ze4850) << c.d;
    EXPECT_EQ(area, 100);
    ASSERT_EQ(ZqImgQuality_Other_v2(img.data(), w, h, &area, &quality, &bright, &zero, nullptr),
              0);
    EXPECT_EQ(quality, c.other) << c.d;
    EXPECT_EQ(zero, 0);
  }
}

TEST(LegacyScorers, BrightnessAreaAndBlocksWithTooFewValidPixels) {
  const int w = 32, h = 32;
  uint8_t area = 0, quality = 0, bright = 0;
  // Mean 128: brightness 100; mean 192 (|64| / 128): 50.
  for (auto [level, want] : {std::pair{128, 100}, std::pair{192, 50}, std::pair{64, 50}}) {
    const Image flat(w * h, static_cast<uint8_t>(level));
    ASSERT_EQ(ZqImgQuality_ZE4850(flat.data(), w, h, &area, &quality, &bright, nullptr), 0);
    EXPECT_EQ(bright, want) << level;
    EXPECT_EQ(quality, 0) << level;
  }
  // A block counts with more than 191 valid pixels of 256: saturating
  // every fourth row leaves 192 (counts, weight 60 for variance 1024); one
  // more saturated pixel per block leaves 191 (no block counts).
  for (int extra : {0, 1}) {
    const Image img = Make(h, w, [&](int y, int x) {
      const bool off = y % 4 == 0 || (extra && y % 16 == 1 && x % 16 == 0);
      return off ? 255 : 100 + (x % 2) * 64;
    });
    Image map(w * h / 8 + 1, 0);
    ASSERT_EQ(ZqImgQuality_ZE4850(img.data(), w, h, &area, &quality, &bright, map.data()), 0);
    EXPECT_EQ(area, extra ? 74 : 75);  // 764 or 768 of 1024
    EXPECT_EQ(quality, extra ? 0 : 60);
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(Bit(map, i), img[i] <= 250) << i;
  }
  // Fully saturated: area 0, brightness of mean 0 is 0.
  const Image white(w * h, 255);
  ASSERT_EQ(ZqImgQuality_ZE4850(white.data(), w, h, &area, &quality, &bright, nullptr), 0);
  EXPECT_EQ(area, 0);
  EXPECT_EQ(bright, 0);
  EXPECT_EQ(ZqImgQuality_ZE4850(nullptr, w, h, &area, &quality, &bright, nullptr), -1);
  EXPECT_EQ(ZqImgQuality_Other_v2(white.data(), w, h, &area, &quality, &bright, nullptr, nullptr),
            -1);
}

// The corner-masked scorers mark only valid pixels near corners: nothing on
// a flat or saturated frame, some of a finger, none of its saturated part.
TEST(LegacyScorers, CornerMaskedScorersMarkValidCornersOnly) {
  const int w = 64, h = 80;
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(32, 2));
  fingers::ImpressionParams p;
  p.width = w;
  p.height = h;
  Image finger = fingers::Render(master, p).frame.gray;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 4; ++x) finger[y * w + x] = 255;
  const Image flat(w * h, 120), white(w * h, 255);
  using Scorer = int32_t (*)(const uint8_t *, uint16_t, uint16_t, uint8_t *, uint8_t *,
                             uint8_t *, uint8_t *);
  for (Scorer score : {Scorer{ZqImgQuality_ZE4850_v2}, Scorer{ZqImgQuality_ZE4850_v3}}) {
    for (const Image *img : {&flat, &white}) {
      Image map(w * h / 8 + 1, 0);
      uint8_t area = 9, quality = 9, contrast = 9;
      ASSERT_EQ(score(img->data(), w, h, &area, &quality, &contrast, map.data()), 0);
      EXPECT_EQ(area, 0);
      EXPECT_EQ(quality, 0);
      EXPECT_EQ(map, Image(w * h / 8 + 1, 0));
    }
    Image map(w * h / 8 + 1, 0);
    uint8_t area = 0, quality = 0, contrast = 0;
    ASSERT_EQ(score(finger.data(), w, h, &area, &quality, &contrast, map.data()), 0);
    EXPECT_GT(area, 20);
    EXPECT_LE(area, 75);
    EXPECT_GT(quality, 0);
    EXPECT_LE(contrast, 100);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w / 4; ++x) ASSERT_FALSE(Bit(map, y * w + x)) << y << "," << x;
    EXPECT_EQ(score(nullptr, w, h, &area, &quality, &contrast, nullptr), -1);
  }

  Image map(w * h / 8 + 1, 0);
  ASSERT_EQ(ZqImgQuality_DO4851_Brun_v2(finger.data(), w, h, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        map.data()),
            0);
  int marked = 0;
  for (int i = 0; i < w * h; ++i) marked += Bit(map, i);
  EXPECT_GT(marked, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 4 + 2; ++x) ASSERT_FALSE(Bit(map, y * w + x)) << y << "," << x;
  EXPECT_EQ(ZqImgQuality_DO4851_Brun_v2(nullptr, w, h, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        map.data()),
            -1);
}

}  // namespace
