// Orientation fields and oriented filters: the half-resolution reduction,
// the block gradient direction, the oriented Gaussian and the Gabor
// orientation, checked on flat images, impulses and oriented sinusoids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "src/enhance/ZqCalcDirection.h"
#include "src/enhance/ZqGaussDirConvol.h"
#include "src/enhance/ZqImageGaborU16.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// 128 + amp cos(2 pi (x cos a + y sin a) / period) with y down, so the
// grey-level gradient points along a (degrees) and the ridges run across it.
std::vector<uint16_t> Sinusoid(int rows, int cols, double angleDeg, double period, double amp,
                               uint16_t scale = 1) {
  std::vector<uint16_t> img(static_cast<size_t>(rows) * cols);
  const double a = angleDeg * kPi / 180.0;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const double v = 128 + amp * std::cos(2 * kPi * (x * std::cos(a) + y * std::sin(a)) / period);
      img[static_cast<size_t>(y) * cols + x] =
          static_cast<uint16_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))) * scale);
    }
  return img;
}

std::vector<uint8_t> To8(const std::vector<uint16_t> &v) {
  return std::vector<uint8_t>(v.begin(), v.end());
}

// Distance between two directions in degrees, modulo 180.
int AngleDiff(int a, int b) {
  const int d = std::abs(a - b) % 180;
  return d > 90 ? 180 - d : d;
}

// Largest angle error over the pixels at least `margin` from the border.
int WorstInterior(const std::vector<uint8_t> &map, int rows, int cols, int margin, int truth) {
  int worst = 0;
  for (int y = margin; y < rows - margin; ++y)
    for (int x = margin; x < cols - margin; ++x)
      worst = std::max(worst, AngleDiff(map[static_cast<size_t>(y) * cols + x], truth));
  return worst;
}

TEST(HalfImage, BinomialAverageAtEvenPixelsAndEdgeCopies) {
  const int rows = 10, cols = 10;
  struct Case {
    int y, x, value;
    int hi, hj, expect;  // half pixel and its value
  };
  const Case cases[] = {
      {4, 4, 160, 2, 2, 40},  // centre weight 4/16
      {5, 4, 160, 2, 2, 20},  // edge neighbour 2/16
      {5, 4, 160, 3, 2, 20},  // the same pixel seen from below
      {5, 5, 160, 2, 2, 10},  // corner neighbour 1/16
      {5, 5, 15, 2, 2, 0},    // rounded down
      {9, 4, 160, 4, 2, 160}, // bottom row copies the last source row
      {4, 9, 160, 2, 4, 160}, // last column copies the last source column
      {3, 3, 160, 1, 1, 10},
  };
  for (const Case &c : cases) {
    std::vector<uint16_t> src(rows * cols, 0), half(25, 7);
    src[c.y * cols + c.x] = static_cast<uint16_t>(c.value);
    ZqHalfImage_16u(src.data(), rows, cols, half.data());
    EXPECT_EQ(half[c.hi * 5 + c.hj], c.expect) << c.y << "," << c.x;
    int others = 0;
    for (int k = 0; k < 25; ++k) others += k == c.hi * 5 + c.hj ? 0 : (half[k] == 7);
    EXPECT_EQ(others, 0) << "every half pixel is written";
  }
}

TEST(CalcDirection, FlatImageIs180AndOddEdgesStayAsFilled) {
  const struct {
    int rows, cols;
  } sizes[] = {{16, 16}, {17, 15}, {9, 5}};
  for (const auto &s : sizes) {
    std::vector<uint16_t> src(s.rows * s.cols, 90);
    std::vector<uint8_t> map(src.size(), 3);
    ASSERT_EQ(ZqCalcDirection(src.data(), s.rows, s.cols, 2, map.data()), 0);
    for (int y = 0; y < s.rows; ++y)
      for (int x = 0; x < s.cols; ++x) {
        const bool unwritten = (s.rows % 2 && y == s.rows - 1) || (s.cols % 2 && x == s.cols - 1);
        EXPECT_EQ(map[y * s.cols + x], unwritten ? 3 : 180) << s.rows << "x" << s.cols;
      }
  }
}

// The gradient direction of oriented sinusoids, in 8-bit levels, at full
// contrast (T1, T2 sums beyond 32 bits) and scaled by 256 (products beyond
// 32 bits): all give the same direction. Period 9 lies within 3 degrees;
// period 7 is near the half-resolution limit and within 5.
TEST(CalcDirection, SinusoidsGiveTheGradientDirection) {
  const int rows = 64, cols = 64;
  const double angles[] = {0, 30, 60, 90, 135};
  const struct {
    double period, amp;
    uint16_t scale;
    int tolerance;
  } kinds[] = {{9, 60, 1, 3}, {7, 60, 1, 5}, {10, 60, 1, 5}, {9, 300, 1, 3}, {8, 100, 256, 5}};
  for (double a : angles)
    for (const auto &k : kinds) {
      const std::vector<uint16_t> src = Sinusoid(rows, cols, a, k.period, k.amp, k.scale);
      std::vector<uint8_t> map(src.size(), 0);
      ASSERT_EQ(ZqCalcDirection(src.data(), rows, cols, 2, map.data()), 0);
      EXPECT_LE(WorstInterior(map, rows, cols, 8, static_cast<int>(a)), k.tolerance)
          << "angle " << a << " period " << k.period << " amp " << k.amp << " x" << k.scale;
    }
}

TEST(CalcDirection, RefusesNullAndTinyImagesWriteNothing) {
  std::vector<uint16_t> src(4, 50);
  std::vector<uint8_t> map(4, 9);
  EXPECT_EQ(ZqCalcDirection(nullptr, 2, 2, 2, map.data()), -1);
  EXPECT_EQ(ZqCalcDirection(src.data(), 2, 2, 2, nullptr), -1);
  EXPECT_EQ(ZqCalcDirection(src.data(), 2, 2, -1, map.data()), -1);
  EXPECT_EQ(ZqCalcDirection(src.data(), 1, 4, 2, map.data()), 0);
  EXPECT_EQ(map, std::vector<uint8_t>(4, 9));
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(GaussDirConvol, FlatImageIsUnchanged) {
  for (int r : {0, 3, 5}) {
    std::vector<uint16_t> src(20 * 24, 200), dst(src.size(), 1);
    ASSERT_EQ(ZqGaussDirConvol(src.data(), 24, 20, r, dst.data(), 1.2f, 0.1f), 0);
    for (uint16_t v : dst) ASSERT_NEAR(v, 200, 1) << "radius " << r;
  }
}

TEST(GaussDirConvol, InPlaceEqualsSeparateBuffers) {
  for (double a : {0.0, 45.0, 100.0}) {
    std::vector<uint16_t> src = Sinusoid(30, 37, a, 8, 90);
    for (size_t i = 0; i < src.size(); i += 7) src[i] = static_cast<uint16_t>(src[i] ^ 0x1F);
    std::vector<uint16_t> out(src.size()), same = src;
    ASSERT_EQ(ZqGaussDirConvol(src.data(), 37, 30, 5, out.data(), 1.2f, 0.1f), 0);
    ASSERT_EQ(ZqGaussDirConvol(same.data(), 37, 30, 5, same.data(), 1.2f, 0.1f), 0);
    EXPECT_EQ(same, out) << a;
    EXPECT_NE(out, src) << "the noise is smoothed";
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

// A weighted mean of the pixels inside the image: values stay within the
// range of the input, and a wide kernel pulls an isolated spike down.
TEST(GaussDirConvol, OutputIsANormalisedMeanOfTheNeighbourhood) {
  std::vector<uint16_t> src(21 * 21, 1000), dst(src.size());
  src[10 * 21 + 10] = 60000;
  src[0] = 50;  // corner: only a quarter of the kernel is inside
  ASSERT_EQ(ZqGaussDirConvol(src.data(), 21, 21, 5, dst.data(), 1.2f, 2.0f), 0);
  for (uint16_t v : dst) {
    ASSERT_GE(v, 49);
    ASSERT_LE(v, 60000);
  }
  EXPECT_LT(dst[10 * 21 + 10], 10000);
  EXPECT_GT(dst[10 * 21 + 10], 1000);
  EXPECT_GT(dst[0], 50);
  EXPECT_LT(dst[0], 1000);
}

TEST(GaussDirConvol, RefusesBadArguments) {
  std::vector<uint16_t> img(16, 5);
  EXPECT_EQ(ZqGaussDirConvol(nullptr, 4, 4, 3, img.data(), 1.2f, 0.1f), -1);
  EXPECT_EQ(ZqGaussDirConvol(img.data(), 4, 4, 3, nullptr, 1.2f, 0.1f), -1);
  EXPECT_EQ(ZqGaussDirConvol(img.data(), 0, 4, 3, img.data(), 1.2f, 0.1f), -1);
  EXPECT_EQ(ZqGaussDirConvol(img.data(), 4, 4, -1, img.data(), 1.2f, 0.1f), -1);
}

TEST(GaborOrientation, FlatImageIs135AndOddEdgesAreZero) {
  for (const auto &s : {std::pair<int, int>{20, 20}, {21, 19}}) {
    std::vector<uint8_t> src(s.first * s.second, 77), map(src.size(), 9);
    ASSERT_EQ(ZqGaborOrientation(src.data(), s.first, s.second, map.data()), 0);
    for (int y = 0; y < s.first; ++y)
      for (int x = 0; x < s.second; ++x) {
        const bool odd = (s.first % 2 && y == s.first - 1) || (s.second % 2 && x == s.second - 1);
        EXPECT_EQ(map[y * s.second + x], odd ? 0 : 135);
      }
  }
}

TEST(GaborOrientation, SinusoidsGiveTheRidgeDirection) {
  const int rows = 64, cols = 64;
  for (double a : {0.0, 30.0, 60.0, 90.0, 135.0})
    for (double period : {7.0, 9.0, 10.0}) {
      // Low contrast: the min-max stretch brings it to full range.
      const std::vector<uint8_t> src = To8(Sinusoid(rows, cols, a, period, 30));
      std::vector<uint8_t> map(src.size());
      ASSERT_EQ(ZqGaborOrientation(src.data(), rows, cols, map.data()), 0);
      const int ridge = (static_cast<int>(a) + 90) % 180;
      EXPECT_LE(WorstInterior(map, rows, cols, 8, ridge), period == 9.0 ? 3 : 5)
          << a << " period " << period;
    }
}

// The Gabor output follows the ridges of a noisy sinusoid: it correlates
// with the clean pattern better than the noisy input does.
TEST(ImageGaborU16, CleansANoisySinusoid) {
  const int rows = 48, cols = 48;
  for (double a : {20.0, 110.0}) {
    const std::vector<uint16_t> clean = Sinusoid(rows, cols, a, 9, 60);
    std::vector<uint8_t> noisy(clean.size());
    uint32_t seed = 12345;
    for (size_t i = 0; i < clean.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      const int n = static_cast<int>((seed >> 16) % 81) - 40;
      noisy[i] = static_cast<uint8_t>(std::min(255, std::max(0, clean[i] + n)));
    }
    std::vector<uint16_t> out(clean.size());
    ASSERT_EQ(ZqImageGaborU16(noisy.data(), rows, cols, out.data()), 0);
    const auto corr = [&](auto get) {
      double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, n = 0;
      for (int y = 6; y < rows - 6; ++y)
        for (int x = 6; x < cols - 6; ++x) {
          const size_t i = static_cast<size_t>(y) * cols + x;
          const double u = clean[i], v = get(i);
          sx += u, sy += v, sxx += u * u, syy += v * v, sxy += u * v, n += 1;
        }
      return (sxy - sx * sy / n) / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
    };
    const double cin = corr([&](size_t i) { return static_cast<double>(noisy[i]); });
    const double cout = corr([&](size_t i) { return static_cast<double>(out[i]); });
    EXPECT_GT(cout, 0.9) << a;
    EXPECT_GT(cout, cin) << a;
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(ImageGaborU16, RefusesNullAndEmpty) {
  std::vector<uint8_t> src(4, 1);
  std::vector<uint16_t> dst(4, 9);
  EXPECT_EQ(ZqImageGaborU16(nullptr, 2, 2, dst.data()), -1);
  EXPECT_EQ(ZqImageGaborU16(src.data(), 2, 2, nullptr), -1);
  EXPECT_EQ(ZqImageGaborU16(src.data(), 0, 2, dst.data()), -1);
  EXPECT_EQ(ZqImageGaborU16(src.data(), 2, -1, dst.data()), -1);
  EXPECT_EQ(dst, std::vector<uint16_t>(4, 9));
}

}  // namespace
