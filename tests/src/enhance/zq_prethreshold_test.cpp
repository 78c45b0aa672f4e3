// The pre-threshold enhancement and its integer building blocks: border
// indices, the fixed-point Gaussian, the CORDIC orientation, the local
// statistics stretch, the robust 0..255 stretch, the local range
// normalisation and the directional maximum filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "src/enhance/ZqGaussFilterQ16.h"
#include "src/enhance/ZqImageStrech255.h"
#include "src/enhance/ZqLocalRangeNormalize.h"
#include "src/enhance/ZqMagicTables.h"
#include "src/enhance/ZqOriMaxFilter.h"
#include "src/enhance/ZqPreThreshold.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// 128 + amp cos(2 pi (x cos a + y sin a) / period) (+ seeded noise), y down.
std::vector<uint16_t> Sinusoid(int rows, int cols, double angleDeg, double period, double amp,
                               int noise = 0, int offset = 0) {
  std::vector<uint16_t> img(static_cast<size_t>(rows) * cols);
  const double a = angleDeg * kPi / 180.0;
  uint32_t seed = 777;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int n = noise > 0 ? static_cast<int>((seed >> 16) % (2 * noise + 1)) - noise : 0;
      const double v =
          128 + offset + n + amp * std::cos(2 * kPi * (x * std::cos(a) + y * std::sin(a)) / period);
      img[static_cast<size_t>(y) * cols + x] =
          static_cast<uint16_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
    }
  return img;
}

int AngleDiff(int a, int b) {
  const int d = std::abs(a - b) % 180;
  return d > 90 ? 180 - d : d;
}

TEST(BorderIndex, MapsOutsideIndicesByType) {
  const struct {
    int p, len, type, expect;
  } cases[] = {
      {-1, 10, 2, 1},  {10, 10, 2, 8},  {5, 1, 2, 0},   {25, 10, 2, 7}, {-4, 3, 2, 0},
      {-3, 3, 2, 1},   {-1, 10, 1, 0},  {10, 10, 1, 9}, {-4, 3, 1, 2},  {-7, 3, 1, 0},
      {-3, 10, 0, 0},  {12, 10, 0, 9},  {-1, 10, 3, 9}, {23, 10, 3, 3}, {-21, 10, 3, 9},
      {4, 10, 9, 4},   {-1, 10, 9, -1}, {11, 10, -1, -1}, {0, 1, 1, 0}, {-2, 1, 1, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ZqBorderIndex(c.p, c.len, c.type), c.expect)
        << c.p << " in " << c.len << " type " << c.type;
}

// A double-precision separable Gaussian with the same mirrored border.
std::vector<double> ReferenceGauss(const std::vector<uint16_t> &src, int rows, int cols,
                                   double sigma, int k) {
  std::vector<double> w(k), t(src.size()), out(src.size());
  double sum = 0;
  for (int i = 0; i < k; ++i) sum += w[i] = std::exp(-std::pow(i - (k - 1) / 2.0, 2) / (2 * sigma * sigma));
  for (double &v : w) v /= sum;
  const int h = k / 2;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double s = 0;
      for (int i = 0; i < k; ++i) s += w[i] * src[y * cols + ZqBorderIndex(x - h + i, cols, 2)];
      t[y * cols + x] = s;
    }
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double s = 0;
      for (int i = 0; i < k; ++i) s += w[i] * t[ZqBorderIndex(y - h + i, rows, 2) * cols + x];
      out[y * cols + x] = s;
    }
  return out;
}

TEST(GaussFilterQ16, AgreesWithADoubleGaussian) {
  const struct {
    int rows, cols, sigmaQ16, ksize;
    double sigma;
  } cases[] = {
      {23, 13, 65536, 7, 1.0},  {30, 37, 262144, 25, 4.0}, {9, 5, 393216, 31, 6.0},
      {12, 256, 65535, 5, 65535 / 65536.0}, {11, 14, 0, 9, 1.7},  // sigma from ksize
  };
  for (const auto &c : cases) {
    std::vector<uint16_t> src(static_cast<size_t>(c.rows) * c.cols);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint16_t>((i * 7919u) % 4001u);
    std::vector<uint16_t> out(src.size());
    ASSERT_EQ(ZqGaussFilterQ16_16u(src.data(), c.rows, c.cols, c.sigmaQ16, c.ksize, out.data()), 0);
    const std::vector<double> ref = ReferenceGauss(src, c.rows, c.cols, c.sigma, c.ksize);
    // Truncated weights and two truncating passes: never above the
    // reference, and at most a few levels below it.
    double below = 0, above = 0;
    for (size_t i = 0; i < src.size(); ++i) {
      below = std::max(below, ref[i] - out[i]);
      above = std::max(above, out[i] - ref[i]);
    }
    EXPECT_LE(below, 3.5) << c.rows << "x" << c.cols << " k " << c.ksize;
    EXPECT_LE(above, 0.01) << c.rows << "x" << c.cols << " k " << c.ksize;
    std::vector<uint16_t> same = src;
    ASSERT_EQ(ZqGaussFilterQ16_16u(same.data(), c.rows, c.cols, c.sigmaQ16, c.ksize, same.data()), 0);
    EXPECT_EQ(same, out) << "in place";
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(GaussFilterQ16, RefusalsAndTheOneTapCopy) {
  std::vector<uint16_t> src(6 * 300, 11), dst(src.size(), 0);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint16_t>(i);
  EXPECT_EQ(ZqGaussFilterQ16_16u(src.data(), 6, 5, 65536, 1, dst.data()), -2);
  EXPECT_TRUE(std::equal(src.begin(), src.begin() + 30, dst.begin()));
  std::fill(dst.begin(), dst.end(), 0);
  const struct {
    const uint16_t *s;
    uint16_t *d;
    int rows, cols, ksize, expect;
  } cases[] = {
      {nullptr, dst.data(), 6, 5, 5, -1}, {src.data(), nullptr, 6, 5, 5, -1},
      {src.data(), dst.data(), 0, 5, 5, -1}, {src.data(), dst.data(), 6, 0, 5, -1},
      {src.data(), dst.data(), 6, 5, 0, -1}, {src.data(), dst.data(), 6, -5, 5, -5},
      {src.data(), dst.data(), 6, 257, 5, -1},  // byte border indices: width <= 256
  };
  for (const auto &c : cases)
    EXPECT_EQ(ZqGaussFilterQ16_16u(c.s, c.rows, c.cols, 65536, c.ksize, c.d), c.expect)
        << c.rows << "x" << c.cols << " k " << c.ksize;
  EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint16_t v) { return v == 0; }));
}

TEST(CordicAtan2, AxesAndDiagonalsAreExact) {
  const struct {
    int a, b, z;
  } cases[] = {
      {5, 0, 0},          {-5, 0, 12868},       {0, 0, 12868},      {0, 7, 6434},
      {0, -7, -6434},     {1000, 1000, 3217},   {-1000, 1000, 9651}, {-1000, -1000, -9651},
      {1000, -1000, -3217},
  };
  for (const auto &c : cases) EXPECT_EQ(ZqCordicAtan2(c.a, c.b), c.z) << c.a << "," << c.b;
}

// Four steps leave at most atan(2^-3) (about 7.1 degrees) of the angle.
TEST(CordicAtan2, WithinFourStepAccuracyAroundTheCircle) {
  for (int d = 0; d < 3600; d += 7) {
    const double t = d / 10.0 * kPi / 180.0;
    const int a = static_cast<int>(std::lround(1.0e6 * std::cos(t)));
    const int b = static_cast<int>(std::lround(1.0e6 * std::sin(t)));
    double err = ZqCordicAtan2(a, b) / 4096.0 - std::atan2(b, a);
    err = std::remainder(err, 2 * kPi);
    EXPECT_LE(std::fabs(err) * 180 / kPi, 7.3) << d / 10.0;
  }
}

TEST(CordicOrientation, SinusoidsGiveTheRidgeDirection) {
  const int rows = 64, cols = 64;
  for (double a : {0.0, 30.0, 60.0, 90.0, 135.0, 170.0}) {
    const std::vector<uint16_t> img = Sinusoid(rows, cols, a, 9, 100);
    std::vector<uint16_t> ori(img.size(), 999);
    ASSERT_EQ(ZqCordicOrientation(img.data(), rows, cols, ori.data()), 0);
    const int ridge = (static_cast<int>(a) + 90) % 180;
    int worst = 0;
    for (int y = 12; y < rows - 12; ++y)
      for (int x = 12; x < cols - 12; ++x) worst = std::max(worst, AngleDiff(ori[y * cols + x], ridge));
    EXPECT_LE(worst, 4) << a;
    for (uint16_t o : ori) ASSERT_LT(o, 180);
  }
}

TEST(WhiteStrech, ExactlyInvariantToAGreyOffset) {
  const int rows = 40, cols = 44;
  const std::vector<uint16_t> base = Sinusoid(rows, cols, 25, 8, 60, 20);
  std::vector<uint16_t> ref(base.size());
  ASSERT_EQ(ZqWhiteStrech(base.data(), rows, cols, ref.data()), 0);
  EXPECT_EQ(*std::max_element(ref.begin(), ref.end()), 255);
  EXPECT_EQ(*std::min_element(ref.begin(), ref.end()), 0);
  for (int off : {-40, 7, 45}) {
    const std::vector<uint16_t> moved = Sinusoid(rows, cols, 25, 8, 60, 20, off);
    ASSERT_TRUE(std::all_of(moved.begin(), moved.end(), [](uint16_t v) { return v >= 1 && v <= 254; }));
    std::vector<uint16_t> out(base.size());
    ASSERT_EQ(ZqWhiteStrech(moved.data(), rows, cols, out.data()), 0);
    EXPECT_EQ(out, ref) << off;
  }
}

TEST(WhiteStrech, FlatOrSaturatedImagesCollapse) {
  for (uint16_t v : {uint16_t{128}, uint16_t{0}, uint16_t{255}}) {
    std::vector<uint16_t> img(30 * 30, v), out(img.size(), 7);
    EXPECT_EQ(ZqWhiteStrech(img.data(), 30, 30, out.data()), -4) << v;
    EXPECT_EQ(out, std::vector<uint16_t>(img.size(), 7));
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(ImageStrech255, StretchesARampAndRefusesCollapse) {
  const int rows = 20, cols = 50;
  std::vector<int32_t> v(rows * cols);
  std::vector<uint8_t> mask(v.size(), 1);
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int32_t>(i) * 3 - 1000;
  ASSERT_EQ(ZqImageStrech255(v.data(), mask.data(), rows, cols), 0);
  EXPECT_EQ(v.front(), 0);
  EXPECT_EQ(v.back(), 255);
  EXPECT_NEAR(v[v.size() / 2], 128, 2);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));

  std::vector<int32_t> flat(v.size(), 77);
  EXPECT_EQ(ZqImageStrech255(flat.data(), mask.data(), rows, cols), -4);
  EXPECT_EQ(flat, std::vector<int32_t>(v.size(), 0));
  std::vector<uint8_t> none(v.size(), 0);
  EXPECT_EQ(ZqImageStrech255(v.data(), none.data(), rows, cols), -4);
  EXPECT_EQ(ZqImageStrech255(nullptr, mask.data(), rows, cols), -1);
  EXPECT_EQ(ZqImageStrech255(v.data(), mask.data(), 0, cols), -1);
}

TEST(BoundaryByHistInt, WorkedBoundsAndTheMaximumStartingAtZero) {
  const struct {
    std::vector<std::pair<int32_t, int>> values;  // value, count
    int32_t hi, lo;
  } cases[] = {
      // 100 at 0 and 100 at 399: T = 399, each end bin holds 39900, and
      // both walks step one bin down: high (398 * 399 + 200) / 399.
      {{{0, 100}, {399, 100}}, 398, 0},
      // All -500: the maximum starting at 0 gives a range of 500; the whole
      // weight sits in bin 0, which the downward walk never visits.
      {{{-500, 200}}, -500, -500},
      {{{700, 200}}, 0, 0},  // no spread
  };
  for (const auto &c : cases) {
    std::vector<int32_t> v;
    for (const auto &e : c.values) v.insert(v.end(), e.second, e.first);
    std::vector<uint8_t> mask(v.size(), 1);
    int32_t hi = 1, lo = 1;
    ZqGetBoundaryByHistInt(v.data(), mask.data(), 1, static_cast<int32_t>(v.size()), &hi, &lo);
    EXPECT_EQ(hi, c.hi) << c.values[0].first;
    EXPECT_EQ(lo, c.lo) << c.values[0].first;
    std::vector<uint8_t> none(v.size(), 0);
    ZqGetBoundaryByHistInt(v.data(), none.data(), 1, static_cast<int32_t>(v.size()), &hi, &lo);
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(lo, 0);
  }
}

TEST(LocalRangeNormalize, WorkedValuesFlatWindowsAndCopy) {
  const std::vector<uint16_t> src = {10, 20, 30, 30, 30, 30};
  std::vector<uint16_t> dst(6, 1);
  ASSERT_EQ(ZqLocalRangeNormalize_16u(src.data(), 1, 6, 1, dst.data()), 0);
  // (0 * 256 + 5) / 11, (10 * 256 + 10) / 21, (10 * 256 + 5) / 11, then flat.
  EXPECT_EQ(dst, (std::vector<uint16_t>{0, 122, 233, 255, 255, 255}));
  std::vector<uint16_t> same = src;
  ASSERT_EQ(ZqLocalRangeNormalize_16u(same.data(), 1, 6, 1, same.data()), 0);
  EXPECT_EQ(same, dst);
  ASSERT_EQ(ZqLocalRangeNormalize_16u(src.data(), 1, 6, 0, dst.data()), 0);
  EXPECT_EQ(dst, src);
  EXPECT_EQ(ZqLocalRangeNormalize_16u(nullptr, 1, 6, 1, dst.data()), -1);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(OriMaxFilter, TablesDifferFromTheTextureTablesOnlyAtSixty) {
  for (int o = 0; o < 180; ++o)
    for (int k = 1; k <= 25; ++k) {
      EXPECT_EQ(g_MagicTable_3_Bin[o][k - 1], g_MagicTable_3[o][k - 1]);
      const int expect = o == 60 && k % 2 == 1 ? (k + 1) / 2 : g_MagicTable_2[o][k - 1];
      EXPECT_EQ(g_MagicTable_2_Bin[o][k - 1], expect) << o << " step " << k;
    }
}

// A single bright pixel is spread along (or, for the crossing filter,
// across) the orientation, three steps each way.
TEST(OriMaxFilter, SpreadsAPeakAlongTheOrientation) {
  const int rows = 11, cols = 11, c = 5;
  const struct {
    int ori;
    bool across;
    std::vector<std::pair<int, int>> lit;  // (dx, dy) from the peak
  } cases[] = {
      {0, false, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {-1, 0}, {-2, 0}, {-3, 0}}},
      {90, false, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, -1}, {0, -2}, {0, -3}}},
      {0, true, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, -1}, {0, -2}, {0, -3}}},
      {60, false, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {-1, -1}, {-1, -2}, {-2, -3}}},
      {240, false, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {-1, -1}, {-1, -2}, {-2, -3}}},
  };
  for (const auto &t : cases) {
    std::vector<uint16_t> src(rows * cols, 100), ori(src.size(), static_cast<uint16_t>(t.ori)), dst(src.size());
    src[c * cols + c] = 900;
    const int ret = t.across ? ZqOriVetMaxFilter_16u(src.data(), ori.data(), rows, cols, dst.data())
                             : ZqOriMaxFilter_16u(src.data(), ori.data(), rows, cols, dst.data());
    ASSERT_EQ(ret, 0);
    std::vector<uint16_t> expect(src.size(), 100);
    for (const auto &d : t.lit) expect[(c - d.second) * cols + c - d.first] = 900;
    EXPECT_EQ(dst, expect) << t.ori << (t.across ? " across" : "");
  }
}

TEST(OriMaxFilter, BordersAndRefusals) {
  std::vector<uint16_t> src = {5, 1, 1, 1, 9}, ori(5, 0), dst(5);
  ASSERT_EQ(ZqOriMaxFilter_16u(src.data(), ori.data(), 1, 5, dst.data()), 0);
  EXPECT_EQ(dst, (std::vector<uint16_t>{5, 9, 9, 9, 9}));
  ASSERT_EQ(ZqOriMaxFilter_16u(src.data(), ori.data(), 1, 5, src.data()), 0);
  EXPECT_EQ(src, dst);
  EXPECT_EQ(ZqOriMaxFilter_16u(nullptr, ori.data(), 1, 5, dst.data()), -1);
  EXPECT_EQ(ZqOriVetMaxFilter_16u(src.data(), nullptr, 1, 5, dst.data()), -1);
  EXPECT_EQ(ZqOriMaxFilter_16u(src.data(), ori.data(), 0, 5, dst.data()), -1);
}

TEST(PreThresholdProcess, FlatImageFailsWithoutWriting) {
  std::vector<uint16_t> img(32 * 32, 140), dst(img.size(), 3);
  EXPECT_EQ(ZqPreThresholdProcess(img.data(), 32, 32, dst.data(), nullptr), -3);
  EXPECT_EQ(dst, std::vector<uint16_t>(img.size(), 3));
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(PreThresholdProcess, Refusals) {
  std::vector<uint16_t> img(16, 1);
  EXPECT_EQ(ZqPreThresholdProcess(nullptr, 4, 4, img.data(), nullptr), -1);
  EXPECT_EQ(ZqPreThresholdProcess(img.data(), 4, 4, nullptr, nullptr), -1);
  EXPECT_EQ(ZqPreThresholdProcess(img.data(), 0, 4, img.data(), nullptr), -1);
  EXPECT_EQ(ZqPreThresholdProcess(img.data(), 4, -4, img.data(), nullptr), -3);
}

// A noisy low-contrast ridge pattern comes out at full range, following
// the clean ridges; in place gives the same result.
TEST(PreThresholdProcess, EnhancesANoisyRidgePattern) {
  const int rows = 56, cols = 56;
  for (double a : {15.0, 80.0, 140.0}) {
    const std::vector<uint16_t> noisy = Sinusoid(rows, cols, a, 9, 25, 30);
    const std::vector<uint16_t> clean = Sinusoid(rows, cols, a, 9, 25);
    std::vector<uint16_t> out(noisy.size(), 0);
    ASSERT_EQ(ZqPreThresholdProcess(noisy.data(), rows, cols, out.data(), nullptr), 0);
    EXPECT_LE(*std::max_element(out.begin(), out.end()), 255);
    EXPECT_GE(*std::max_element(out.begin(), out.end()) - *std::min_element(out.begin(), out.end()), 200);
    int agree = 0, total = 0, agreeIn = 0;
    for (int y = 4; y < rows - 4; ++y)
      for (int x = 4; x < cols - 4; ++x) {
        const size_t i = static_cast<size_t>(y) * cols + x;
        if (std::abs(clean[i] - 128) < 8) continue;  // too near a ridge flank to call
        ++total;
        agree += (out[i] >= 128) == (clean[i] >= 128);
        agreeIn += (noisy[i] >= 128) == (clean[i] >= 128);
      }
    EXPECT_GE(agree, total * 0.95) << a;
    EXPECT_GT(agree, agreeIn) << a;
    std::vector<uint16_t> same = noisy;
    ASSERT_EQ(ZqPreThresholdProcess(same.data(), rows, cols, same.data(), nullptr), 0);
    EXPECT_EQ(same, out);
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

}  // namespace
