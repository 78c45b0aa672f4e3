// The 4845 contrast normalisation and its smoothing, on small frames whose
// results follow by hand from the formula.
#include "drivers/zq4845/zq4845_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Smooth5, MeanOverTheClippedWindow) {
  std::vector<float> v = {0, 0, 5, 0, 0, 0};
  zq4845_smooth5(v.data(), static_cast<unsigned>(v.size()));
  // k=0: (0+0+5)/3; k=1: (0+0+5+0)/4; k=2..3: 5/5; k=4: (5+0+0+0)/4; k=5: 0.
  const std::vector<float> expected = {5.0f / 3, 1.25f, 1, 1, 1.25f, 0};
  for (size_t k = 0; k < v.size(); ++k) EXPECT_FLOAT_EQ(v[k], expected[k]) << k;
}

TEST(Smooth5, UsesTheInputNotTheValuesAlreadyWritten) {
  std::vector<float> v = {10, 0, 0};
  zq4845_smooth5(v.data(), 3);
  EXPECT_FLOAT_EQ(v[0], 10.0f / 3);
  EXPECT_FLOAT_EQ(v[1], 10.0f / 3);
  EXPECT_FLOAT_EQ(v[2], 10.0f / 3);
}

TEST(NormalizeContrast, UniformFramesGiveZeros) {
  for (int16_t level : {int16_t{0}, int16_t{900}, int16_t{-32768}, int16_t{32767}}) {
    std::vector<int16_t> raw(80 * 64, level);
    Bytes img(raw.size(), 0xAA);
    zq4845_normalize_contrast(raw.data(), 80, 64, img.data());
    EXPECT_EQ(img, Bytes(raw.size(), 0)) << level;
  }
}

TEST(NormalizeContrast, SmallFrameWithTheFullRangeByHand) {
  // Negated and shifted: v = 32767 - s = {0, 32767, 65535, 16383}, M = 65535.
  // Four samples never fill a window to the level 75: the walk runs out and
  // the limit stays 250, so T = M and pixel = trunc(255 v / (M + 1e-6)).
  const std::vector<int16_t> raw = {32767, 0, -32768, 16384};
  Bytes img(4);
  zq4845_normalize_contrast(raw.data(), 2, 2, img.data());
  // 255*32767/65535.000001 = 127.498; 255*65535/65535.000001 = 254.99999999;
  // 255*16383/65535.000001 = 63.748.
  EXPECT_EQ(img, (Bytes{0, 127, 254, 63}));
}

TEST(NormalizeContrast, TailHeavyFrameUsesTheLevelAndLimit200) {
  // v = 1000 - s: one sample at 0 (bin 0), one at 400 (bin 102), seven at
  // 900 (bin 230) and one at 1000 (bin 255). The mass above bin 200 beats
  // 0.8 x the mass below, so the level is head x 100 / tail (about 25, far
  // above any window of the two low samples): the walk runs out, the limit
  // is 200 and T = trunc(200 x 1000 / 250) = 800.
  const std::vector<int16_t> raw = {1000, 600, 100, 100, 100, 100, 100, 100, 100, 0};
  Bytes img(raw.size());
  zq4845_normalize_contrast(raw.data(), 5, 2, img.data());
  // 255*400/800.000001 = 127.49999; 900 and 1000 pass 800 and saturate.
  EXPECT_EQ(img, (Bytes{0, 127, 255, 255, 255, 255, 255, 255, 255, 255}));
}

TEST(NormalizeContrast, HeadHeavyFrameKeepsTheWholeRange) {
  // The mirror image of the frame above: most samples low, so T = M = 1000.
  const std::vector<int16_t> raw = {1000, 1000, 1000, 1000, 1000, 1000, 1000, 600, 100, 0};
  Bytes img(raw.size());
  zq4845_normalize_contrast(raw.data(), 5, 2, img.data());
  // 255*400/1000.000001 = 101.99999; 255*900/1000.000001 = 229.49999.
  EXPECT_EQ(img, (Bytes{0, 0, 0, 0, 0, 0, 0, 101, 229, 254}));
}

// A frame of `count` samples at v = peak (v = 1000 - sample), one at 0 and
// one at 1000, so M = 1000; returns the image.
Bytes PeakFrame(int count, int peak) {
  std::vector<int16_t> raw(static_cast<size_t>(count) + 2, static_cast<int16_t>(1000 - peak));
  raw[0] = 1000;
  raw[1] = 0;
  Bytes img(raw.size());
  zq4845_normalize_contrast(raw.data(), static_cast<unsigned>(raw.size()), 1, img.data());
  return img;
}

TEST(NormalizeContrast, WalkStoppingAtALowPositionKeepsTheWholeRange) {
  // 2000 samples in bin 30: the walk from 240 meets the level 75 only on the
  // flank of that peak, below 50, so the limit becomes 250 and T = M.
  Bytes img = PeakFrame(2000, 120);
  EXPECT_EQ(img[0], 0);
  EXPECT_EQ(img[1], 254);
  EXPECT_EQ(img[2], 30);  // trunc(255 x 120 / 1000.000001)
}

TEST(NormalizeContrast, WalkStoppingAboveTheMassStretchesFrom30Beyond) {
  // 2000 samples in bin 151: the walk stops on the upper flank of the peak,
  // between 151 and 165, so t = p + 30 and T = 4t lies within 724..780; the
  // brightest sample saturates.
  Bytes img = PeakFrame(2000, 590);
  EXPECT_EQ(img[1], 255);
  EXPECT_GE(img[2], 192);  // 255 x 590 / 780
  EXPECT_LE(img[2], 207);  // 255 x 590 / 724
}

TEST(NormalizeContrast, LeavesTheSamplesAlone) {
  std::vector<int16_t> raw = {5, -7, 300, -32768};
  const std::vector<int16_t> copy = raw;
  Bytes img(4);
  zq4845_normalize_contrast(raw.data(), 4, 1, img.data());
  EXPECT_EQ(raw, copy);
}

TEST(NormalizeContrast, EmptyFramesAndNullPointersDoNothing) {
  Bytes img(4, 0xAA);
  const int16_t raw[4] = {1, 2, 3, 4};
  zq4845_normalize_contrast(raw, 0, 4, img.data());
  zq4845_normalize_contrast(nullptr, 2, 2, img.data());
  zq4845_normalize_contrast(raw, 2, 2, nullptr);
  EXPECT_EQ(img, Bytes(4, 0xAA));
}

TEST(Zq4845Hooks, DoNothing) {
  EXPECT_EQ(zq4845_match_hook(0), 0);
  EXPECT_EQ(zq4845_match_hook(1), 0);
  EXPECT_EQ(zq4845_reserved_stub(), 0);
}

}  // namespace
