// Border indices, resizing, box filters, kernels, separable filters, the
// Laplacian, Gaussian blurs and histogram equalisation of the smoothing
// file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqSmooth.h"

namespace {

using testing_support::SmallPool;

TEST(ZqBorderInterpolate, TypesAndRepeatedReflections) {
  struct Case {
    int32_t p, len, type, want;
  } cases[] = {
      {-1, 5, 4, 1},  {5, 5, 4, 3},  {-1, 5, 2, 0},   {6, 5, 3, 1},   {-3, 5, 1, 0},
      {7, 5, 0, -1},  {-2, 1, 4, 0}, {-1, 5, 3, 4},   {-1, 5, 1, 0},  {-3, 1, 4, 0},
      {9, 5, 1, 4},   {2, 5, 0, 2},  {3, 5, 9, 3},    {-7, 5, 9, -7}, {-5, 5, 3, 0},
      {-6, 5, 3, 4},  {10, 5, 3, 0}, {-2, 5, 2, 1},   {5, 5, 2, 4},   {-1, 2, 4, 1},
      // Pads wider than the line keep reflecting: never outside 0..len-1.
      {-6, 5, 4, 2},  {9, 5, 4, 1},  {12, 5, 4, 4},   {-5, 5, 2, 4},  {-11, 5, 2, 0},
      {-5, 1, 2, 0},  {INT32_MIN, 3, 4, 0},          {INT32_MAX, 3, 2, 1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqBorderInterpolate(c.p, c.len, c.type), c.want)
        << c.p << " " << c.len << " " << c.type;
}

TEST(ZqBorderExtention32s, MirrorsWithTheEdgeOrLeavesMargins) {
  const std::vector<int32_t> src = {1, 2, 3, 4, 5, 6};  // 2 x 3
  std::vector<int32_t> dst(4 * 7, 99);
  ZqBorderExtention_32s(src.data(), 2, 3, 1, 2, dst.data(), 1);
  EXPECT_EQ(dst, (std::vector<int32_t>{2, 1, 1, 2, 3, 3, 2,  //
                                       2, 1, 1, 2, 3, 3, 2,  //
                                       5, 4, 4, 5, 6, 6, 5,  //
                                       5, 4, 4, 5, 6, 6, 5}));
  std::fill(dst.begin(), dst.end(), 99);
  ZqBorderExtention_32s(src.data(), 2, 3, 1, 2, dst.data(), 0);
  EXPECT_EQ(dst, (std::vector<int32_t>{99, 99, 99, 99, 99, 99, 99,  //
                                       99, 99, 1,  2,  3,  99, 99,  //
                                       99, 99, 4,  5,  6,  99, 99,  //
                                       99, 99, 99, 99, 99, 99, 99}));
}

TEST(ZqResize, FixedPointCases) {
  // All 255 from 4 x 4 to 2 x 2: 4096 * 4096 * 255 + 0x800000 needs more
  // than 31 bits.
  std::vector<uint8_t> white(16, 255), out(4, 0);
  ZqResize_8u(white.data(), 4, 4, out.data(), 2, 2);
  EXPECT_EQ(out, std::vector<uint8_t>(4, 255));

  std::vector<uint8_t> block = {0, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ZqResize_8u(block.data(), 4, 4, out.data(), 2, 2);
  EXPECT_EQ(out, (std::vector<uint8_t>{191, 0, 0, 0}));

  std::vector<uint16_t> full(16, 65535), out16(4, 0);
  ZqResize_16u(full.data(), 4, 4, out16.data(), 2, 2);
  EXPECT_EQ(out16, std::vector<uint16_t>(4, 65535));

  // 2 x 2 to 2 x 4: columns at Q12 positions -1024, 1024, 3072, 5120.
  std::vector<uint8_t> ramp = {0, 100, 0, 100}, wide(8, 7);
  ZqResize_8u(ramp.data(), 2, 2, wide.data(), 2, 4);
  EXPECT_EQ(wide, (std::vector<uint8_t>{0, 25, 75, 100, 0, 25, 75, 100}));
}

TEST(ZqResize, SameSizeIsIdentityAndTooSmallSourcesAreRefused) {
  std::mt19937 rng(3);
  std::vector<uint8_t> src(5 * 7);
  for (auto &v : src) v = static_cast<uint8_t>(rng());
  std::vector<uint8_t> dst(src.size(), 0);
  ZqResize_8u(src.data(), 5, 7, dst.data(), 5, 7);
  EXPECT_EQ(dst, src);
  std::vector<uint16_t> src16(5 * 7), dst16(5 * 7);
  for (auto &v : src16) v = static_cast<uint16_t>(rng());
  ZqResize_16u(src16.data(), 5, 7, dst16.data(), 5, 7);
  EXPECT_EQ(dst16, src16);

  // One row or one column would make the second tap read outside.
  std::vector<uint8_t> line = {1, 2, 3}, untouched(6, 9);
  ZqResize_8u(line.data(), 1, 3, untouched.data(), 2, 3);
  ZqResize_8u(line.data(), 3, 1, untouched.data(), 3, 2);
  ZqResize_8u(nullptr, 2, 2, untouched.data(), 2, 2);
  EXPECT_EQ(untouched, std::vector<uint8_t>(6, 9));
}

// A 4 x 5 image with v = 10 y + x; its 3 x 3 reflect-101 window sums, by
// hand: 3 * (row part) + 3 * (column part), row parts 20 30 60 70, column
// parts 2 3 6 9 10.
const std::vector<int32_t> kRamp = {0,  1,  2,  3,  4,  10, 11, 12, 13, 14,
                                    20, 21, 22, 23, 24, 30, 31, 32, 33, 34};
const std::vector<int32_t> kRampSums = {66,  69,  78,  87,  90,  96,  99,  108, 117, 120,
                                        186, 189, 198, 207, 210, 216, 219, 228, 237, 240};

template <typename T>
std::vector<T> Cast(const std::vector<int32_t> &v) {
  return std::vector<T>(v.begin(), v.end());
}

TEST(ZqBoxFilter, SumsAndMeansOfEveryMember) {
  // Rounded means (s + 4) / 9 and truncated means s / 9.
  const std::vector<int32_t> rounded = {7,  8,  9,  10, 10, 11, 11, 12, 13, 13,
                                        21, 21, 22, 23, 23, 24, 24, 25, 26, 27};
  std::vector<int32_t> truncated;
  for (int32_t s : kRampSums) truncated.push_back(s / 9);

  for (int32_t k : {2, 3}) {  // an even k acts as k + 1
    std::vector<uint8_t> u8(20);
    auto src8 = Cast<uint8_t>(kRamp);
    ASSERT_EQ(ZqBoxFilter_8u_v2(src8.data(), 4, 5, k, u8.data(), 1), 0);
    EXPECT_EQ(u8, Cast<uint8_t>(rounded)) << k;
    ASSERT_EQ(ZqBoxFilter_8u_v2(src8.data(), 4, 5, k, u8.data(), 0), 0);
    EXPECT_EQ(u8, Cast<uint8_t>(kRampSums)) << k;

    std::vector<uint16_t> u16(20);
    auto src16 = Cast<uint16_t>(kRamp);
    ASSERT_EQ(ZqBoxFilter_16u(src16.data(), 4, 5, k, u16.data(), 1), 0);
    EXPECT_EQ(u16, Cast<uint16_t>(rounded)) << k;
    ASSERT_EQ(ZqBoxFilter_16u(src16.data(), 4, 5, k, u16.data(), 0), 0);
    EXPECT_EQ(u16, Cast<uint16_t>(kRampSums)) << k;

    std::vector<int32_t> s32(20);
    ASSERT_EQ(ZqBoxFilter_32s(kRamp.data(), 4, 5, k, s32.data(), 1), 0);
    EXPECT_EQ(s32, truncated) << k;
    ASSERT_EQ(ZqBoxFilter_32s(kRamp.data(), 4, 5, k, s32.data(), 0), 0);
    EXPECT_EQ(s32, kRampSums) << k;

    std::vector<float> f32(20);
    auto srcf = Cast<float>(kRamp);
    ASSERT_EQ(ZqBoxFilter_32f(srcf.data(), 4, 5, k, f32.data(), 1), 0);
    for (size_t i = 0; i < 20; ++i) EXPECT_NEAR(f32[i], kRampSums[i] / 9.0f, 1e-4f) << i;
    ASSERT_EQ(ZqBoxFilter_32f(srcf.data(), 4, 5, k, f32.data(), 0), 0);
    EXPECT_EQ(f32, Cast<float>(kRampSums));
  }
}

TEST(ZqBoxFilter, UnnormalisedSumsKeepTheirLowBitsAndMeansTruncateTowardZero) {
  std::vector<uint8_t> c8(4 * 5, 100), o8(20);
  ASSERT_EQ(ZqBoxFilter_8u_v2(c8.data(), 4, 5, 3, o8.data(), 0), 0);
  EXPECT_EQ(o8, std::vector<uint8_t>(20, 900 & 0xff));
  std::vector<uint16_t> c16(4 * 5, 60000), o16(20);
  ASSERT_EQ(ZqBoxFilter_16u(c16.data(), 4, 5, 3, o16.data(), 0), 0);
  EXPECT_EQ(o16, std::vector<uint16_t>(20, 540000 & 0xffff));
  ASSERT_EQ(ZqBoxFilter_16u(c16.data(), 4, 5, 3, o16.data(), 1), 0);
  EXPECT_EQ(o16, std::vector<uint16_t>(20, 60000));
  std::vector<int32_t> neg(4 * 5, 0), o32(20);
  neg[2 * 5 + 2] = -10;  // -10 / 9 truncates to -1
  ASSERT_EQ(ZqBoxFilter_32s(neg.data(), 4, 5, 3, o32.data(), 1), 0);
  EXPECT_EQ(o32[2 * 5 + 2], -1);
  EXPECT_EQ(o32[0], 0);
}

TEST(ZqBoxFilter, KOfOneCopiesAndInPlaceMatches) {
  std::mt19937 rng(5);
  std::vector<uint8_t> src(6 * 9);
  for (auto &v : src) v = static_cast<uint8_t>(rng());
  std::vector<uint8_t> out(src.size());
  ASSERT_EQ(ZqBoxFilter_8u_v2(src.data(), 6, 9, 1, out.data(), 1), 0);
  EXPECT_EQ(out, src);
  std::vector<float> f(src.begin(), src.end()), fo(f.size());
  ASSERT_EQ(ZqBoxFilter_32f(f.data(), 6, 9, 1, fo.data(), 0), 0);
  EXPECT_EQ(fo, f);
  std::vector<int32_t> s(src.begin(), src.end()), so(s.size());
  ASSERT_EQ(ZqBoxFilter_32s(s.data(), 6, 9, 1, so.data(), 0), 0);
  EXPECT_EQ(so, s);
  std::vector<uint16_t> h(src.begin(), src.end()), ho(h.size());
  ASSERT_EQ(ZqBoxFilter_16u(h.data(), 6, 9, 1, ho.data(), 0), 0);
  EXPECT_EQ(ho, h);

  ASSERT_EQ(ZqBoxFilter_8u_v2(src.data(), 6, 9, 5, out.data(), 1), 0);
  std::vector<uint8_t> inplace = src;
  ASSERT_EQ(ZqBoxFilter_8u_v2(inplace.data(), 6, 9, 5, inplace.data(), 1), 0);
  EXPECT_EQ(inplace, out);
}

TEST(ZqBoxFilter, RefusesBadArgumentsAndShortPools) {
  std::vector<float> f(4 * 5, 1.0f), o(20, 7.0f);
  struct Case {
    const float *src;
    float *dst;
    int32_t rows, cols, k;
  } cases[] = {
      {nullptr, o.data(), 4, 5, 3}, {f.data(), nullptr, 4, 5, 3}, {f.data(), o.data(), 4, 5, 0},
      {f.data(), o.data(), 4, 5, 5}, {f.data(), o.data(), 4, 5, 4}, {f.data(), o.data(), 0, 5, 3},
      {f.data(), o.data(), 4, 0, 3}, {f.data(), o.data(), 4, 5, -1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqBoxFilter_32f(c.src, c.rows, c.cols, c.k, c.dst, 1), -1)
        << c.rows << " " << c.cols << " " << c.k;
  EXPECT_EQ(o, std::vector<float>(20, 7.0f));

  for (int size : {64, 128, 200}) {
    SmallPool pool(size);
    EXPECT_EQ(ZqBoxFilter_32f(f.data(), 4, 5, 3, o.data(), 1), -2) << size;
    EXPECT_EQ(o, std::vector<float>(20, 7.0f));
  }
  SmallPool pool(4096);  // enough: the blocks come back, the pool is whole again
  EXPECT_EQ(ZqBoxFilter_32f(f.data(), 4, 5, 3, o.data(), 1), 0);
  EXPECT_EQ(ZqBoxFilter_32f(f.data(), 4, 5, 3, o.data(), 1), 0);
  EXPECT_EQ(o, std::vector<float>(20, 1.0f));
}

TEST(ZqBoxFilter32sNoneInterpolate, OutsideCountsAsZero) {
  std::vector<int32_t> ones(2 * 3, 1), out(6, -5);
  ASSERT_EQ(ZqBoxFilter_32s_NoneInterpolate(ones.data(), 2, 3, 3, out.data()), 0);
  EXPECT_EQ(out, (std::vector<int32_t>{4, 6, 4, 4, 6, 4}));
  std::vector<int32_t> big(4 * 5);
  ASSERT_EQ(ZqBoxFilter_32s_NoneInterpolate(kRamp.data(), 4, 5, 0, big.data()), 0);
  EXPECT_EQ(big, kRamp);
  ASSERT_EQ(ZqBoxFilter_32s_NoneInterpolate(kRamp.data(), 4, 5, 4, big.data()), 0);
  // 5 x 5 window at (0, 0): rows 0..2, columns 0..2 of the ramp.
  EXPECT_EQ(big[0], 0 + 1 + 2 + 10 + 11 + 12 + 20 + 21 + 22);
  EXPECT_EQ(ZqBoxFilter_32s_NoneInterpolate(nullptr, 2, 3, 3, out.data()), -1);
  SmallPool pool(64);
  EXPECT_EQ(ZqBoxFilter_32s_NoneInterpolate(ones.data(), 2, 3, 3, out.data()), -2);
}

TEST(ZqGetSobelKernels, TapsByOrderAndSize) {
  struct Case {
    int32_t ksize, order;
    std::vector<int32_t> taps;
  } cases[] = {
      {5, 0, {1, 4, 6, 4, 1}},  {5, 1, {-1, -2, 0, 2, 1}}, {5, 2, {1, 0, -2, 0, 1}},
      {3, 0, {1, 2, 1}},        {3, 1, {-1, 0, 1}},        {3, 2, {1, -2, 1}},
      {3, 3, {1, -2, 1}},       {1, 0, {1}},               {1, 2, {1}},
      {7, 0, {1, 6, 15, 20, 15, 6, 1}},  {7, 1, {-1, -4, -5, 0, 5, 4, 1}},
  };
  for (const Case &c : cases) {
    std::vector<int32_t> kx(c.ksize), ky(c.ksize);
    ASSERT_EQ(ZqGetSobelKernels(kx.data(), ky.data(), c.order, 0, c.ksize), 0);
    EXPECT_EQ(kx, c.taps) << c.ksize << " " << c.order;
    ASSERT_EQ(ZqGetSobelKernels(ky.data(), kx.data(), 0, c.order, c.ksize), 0);
    EXPECT_EQ(kx, c.taps) << c.ksize << " " << c.order;
  }
  std::vector<int32_t> k(40);
  for (int32_t bad : {0, 2, 4, 33, 35, -1})
    EXPECT_EQ(ZqGetSobelKernels(k.data(), k.data(), 1, 0, bad), -1) << bad;
  EXPECT_EQ(ZqGetSobelKernels(nullptr, k.data(), 1, 0, 3), -1);
  SmallPool pool(16);
  EXPECT_EQ(ZqGetSobelKernels(k.data(), k.data(), 1, 0, 3), -2);
}

TEST(ZqGetGaussianKernel, FixedTablesAndComputedSigma) {
  struct Case {
    int32_t ksize;
    float sigma;
    std::vector<float> taps;
  } fixed[] = {
      {1, 0, {1}},
      {3, -1, {0.25f, 0.5f, 0.25f}},
      {5, 0, {0.0625f, 0.25f, 0.375f, 0.25f, 0.0625f}},
      {7, 0, {0.03125f, 0.109375f, 0.21875f, 0.28125f, 0.21875f, 0.109375f, 0.03125f}},
  };
  for (const Case &c : fixed) {
    std::vector<float> k(c.ksize);
    ZqGetGaussianKernel(k.data(), c.ksize, c.sigma);
    EXPECT_EQ(k, c.taps) << c.ksize;
  }
  // ksize 9, sigma 0: sigma = ((9 - 1) * 0.5 - 1) * 0.3 + 0.8 = 1.7;
  // ksize 3, sigma 2: no table once sigma is positive.
  for (auto [ksize, sigma, s] : {std::tuple{9, 0.0f, 1.7}, std::tuple{3, 2.0f, 2.0}}) {
    std::vector<float> k(ksize);
    ZqGetGaussianKernel(k.data(), ksize, sigma);
    double sum = 0, norm = 0;
    for (int i = 0; i < ksize; ++i) norm += std::exp(-std::pow(i - ksize / 2, 2) / (2 * s * s));
    for (int i = 0; i < ksize; ++i) {
      sum += k[i];
      EXPECT_NEAR(k[i], std::exp(-std::pow(i - ksize / 2, 2) / (2 * s * s)) / norm, 1e-6) << i;
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);
  }
}

TEST(ZqRowFilter, AsymmetricKernelsDifferInTheGroupsOfFour) {
  // A shift kernel: tap by tap it takes row[i + 2]; paired with the weight
  // of tap 0 (zero) it gives 0. The first four outputs are a group, the
  // fifth is computed tap by tap.
  const int32_t shift[3] = {0, 0, 65536};
  const uint8_t row[7] = {10, 20, 30, 40, 50, 60, 70};
  int32_t out[5];
  ZqRowFilter_8u(row, 5, shift, 3, out);
  EXPECT_EQ(std::vector<int32_t>(out, out + 5), (std::vector<int32_t>{0, 0, 0, 0, 70}));
  // A symmetric kernel gives the plain correlation everywhere.
  const int32_t sym[3] = {16384, 32768, 16384};
  ZqRowFilter_8u(row, 5, sym, 3, out);
  EXPECT_EQ(std::vector<int32_t>(out, out + 5), (std::vector<int32_t>{20, 30, 40, 50, 60}));
  // 16-bit pixels at the top of the range need more than 32 bits.
  const uint16_t high[7] = {65535, 65535, 65535, 65535, 65535, 65535, 65535};
  ZqRowFilter_16u(high, 5, sym, 3, out);
  EXPECT_EQ(std::vector<int32_t>(out, out + 5), std::vector<int32_t>(5, 65535));
  const int32_t r0[5] = {65535, 65535, 65535, 65535, 65535};
  const int32_t *rows[3] = {r0, r0, r0};
  uint16_t col[5];
  ZqColumnFilter_16u(rows, 5, sym, 3, col);
  EXPECT_EQ(std::vector<uint16_t>(col, col + 5), std::vector<uint16_t>(5, 65535));
}

// Separable Gaussian in double precision with reflect-101 borders.
std::vector<double> ReferenceBlur(const std::vector<double> &src, int rows, int cols,
                                  const std::vector<double> &k) {
  const int R = static_cast<int>(k.size()) / 2;
  auto idx = [](int p, int n) { return ZqBorderInterpolate(p, n, 4); };
  std::vector<double> tmp(src.size()), out(src.size());
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double s = 0;
      for (int j = -R; j <= R; ++j) s += k[j + R] * src[y * cols + idx(x + j, cols)];
      tmp[y * cols + x] = s;
    }
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double s = 0;
      for (int j = -R; j <= R; ++j) s += k[j + R] * tmp[idx(y + j, rows) * cols + x];
      out[y * cols + x] = s;
    }
  return out;
}

std::vector<double> DoubleKernel(int ksize, double sigma) {
  std::vector<float> f(ksize | 1);
  ZqGetGaussianKernel(f.data(), ksize | 1, static_cast<float>(sigma));
  return std::vector<double>(f.begin(), f.end());
}

// Both fixed-point passes truncate, so a blur lies up to 2 below the exact
// value: it must be within 1 of the truncated double reference, computed
// with the 16.16 taps (their rounding is part of the method and, on 16-bit
// pixels, worth several grey levels).
TEST(ZqGaussianBlur, FixedPointWithinOneOfDoubleReference) {
  const int rows = 37, cols = 53;
  std::mt19937 rng(11);
  std::vector<uint8_t> s8(rows * cols);
  std::vector<uint16_t> s16(rows * cols);
  for (auto &v : s8) v = static_cast<uint8_t>(rng());
  for (auto &v : s16) v = static_cast<uint16_t>(rng());
  for (auto [ksize, sigma] : {std::pair{3, 0.0f}, std::pair{5, -1.0f}, std::pair{7, 0.0f},
                              std::pair{6, 0.0f}, std::pair{9, 0.0f}, std::pair{11, 2.5f},
                              std::pair{5, 0.8f}}) {
    auto k = DoubleKernel(ksize, sigma);
    for (double &t : k) t = std::round(t * 65536) / 65536;
    std::vector<uint8_t> o8(s8.size());
    ASSERT_EQ(ZqGaussianBlur_8u(s8.data(), rows, cols, ksize, nullptr, o8.data(), sigma), 0);
    auto ref8 = ReferenceBlur(std::vector<double>(s8.begin(), s8.end()), rows, cols, k);
    std::vector<uint16_t> o16(s16.size());
    ASSERT_EQ(ZqGaussianBlur_16u(s16.data(), rows, cols, ksize, nullptr, o16.data(), sigma), 0);
    auto ref16 = ReferenceBlur(std::vector<double>(s16.begin(), s16.end()), rows, cols, k);
    for (size_t i = 0; i < s8.size(); ++i) {
      ASSERT_NEAR(o8[i], std::floor(ref8[i]), 1.0) << ksize << " " << sigma << " at " << i;
      ASSERT_NEAR(o16[i], std::floor(ref16[i]), 1.0) << ksize << " " << sigma << " at " << i;
    }
  }
}

TEST(ZqGaussianBlur, FloatMatchesReferenceAndConstantsStayExact) {
  const int rows = 9, cols = 14;
  std::mt19937 rng(13);
  std::vector<float> f(rows * cols), fo(rows * cols);
  for (auto &v : f) v = static_cast<float>(rng() % 1000) / 7.0f;
  for (auto [ksize, sigma] : {std::pair{3, 0.0f}, std::pair{8, 0.0f}, std::pair{5, 1.3f}}) {
    ASSERT_EQ(ZqGaussianBlur_32f(f.data(), rows, cols, ksize, fo.data(), sigma), 0);
    auto ref = ReferenceBlur(std::vector<double>(f.begin(), f.end()), rows, cols,
                             DoubleKernel(ksize, sigma));
    for (size_t i = 0; i < f.size(); ++i) ASSERT_NEAR(fo[i], ref[i], 1e-3) << ksize << " " << i;
  }
  // The fixed tables sum to exactly 65536: constants come back unchanged,
  // also at the top of the 16-bit range.
  for (int ksize : {1, 3, 5, 7}) {
    std::vector<uint8_t> c8(rows * cols, 201), o8(c8.size());
    ASSERT_EQ(ZqGaussianBlur_8u(c8.data(), rows, cols, ksize, nullptr, o8.data(), 0), 0);
    EXPECT_EQ(o8, c8) << ksize;
    std::vector<uint16_t> c16(rows * cols, 65535), o16(c16.size());
    ASSERT_EQ(ZqGaussianBlur_16u(c16.data(), rows, cols, ksize, nullptr, o16.data(), 0), 0);
    EXPECT_EQ(o16, c16) << ksize;
  }
}

TEST(ZqGaussianBlur, CallerKernelInPlaceAndFailures) {
  const int rows = 6, cols = 11;
  std::mt19937 rng(17);
  std::vector<uint8_t> src(rows * cols);
  for (auto &v : src) v = static_cast<uint8_t>(rng());
  const int32_t k3[3] = {16384, 32768, 16384};
  std::vector<uint8_t> a(src.size()), b(src.size());
  ASSERT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, 3, k3, a.data(), 5.0f), 0);
  ASSERT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, 3, nullptr, b.data(), -1), 0);
  EXPECT_EQ(a, b);
  // An even size takes one tap more: the caller's kernel has ksize | 1 taps.
  ASSERT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, 2, k3, b.data(), 0), 0);
  EXPECT_EQ(a, b);
  std::vector<uint8_t> inplace = src;
  ASSERT_EQ(ZqGaussianBlur_8u(inplace.data(), rows, cols, 3, k3, inplace.data(), 0), 0);
  EXPECT_EQ(inplace, a);

  EXPECT_EQ(ZqGaussianBlur_8u(nullptr, rows, cols, 3, k3, a.data(), 0), -1);
  EXPECT_EQ(ZqGaussianBlur_8u(src.data(), 0, cols, 3, k3, a.data(), 0), -1);
  EXPECT_EQ(ZqGaussianBlur_16u(nullptr, rows, cols, 3, nullptr, nullptr, 0), -1);
  EXPECT_EQ(ZqGaussianBlur_32f(nullptr, rows, cols, 3, nullptr, 0), -1);
  std::vector<float> f(rows * cols, 1.0f);
  EXPECT_EQ(ZqGaussianBlur_32f(f.data(), rows, cols, 0, f.data(), 0), -1);
  SmallPool pool(128);
  EXPECT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, 3, nullptr, a.data(), 0), -2);
  EXPECT_EQ(ZqGaussianBlur_32f(f.data(), rows, cols, 3, f.data(), 0), -2);
}

TEST(ZqLaplacian32f, SecondDerivativesOfAParaboloid) {
  // f = x^2 + y^2: with ksize 3, d2 = 1 -2 1 and s = 1 2 1, each term gives
  // 2 * 4 = 8 inside the image.
  const int rows = 6, cols = 9;
  std::vector<float> f(rows * cols), out(f.size());
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) f[y * cols + x] = static_cast<float>(x * x + y * y);
  ASSERT_EQ(ZqLaplacian_32f(f.data(), rows, cols, 3, out.data(), 0.5f), 0);
  for (int y = 1; y < rows - 1; ++y)
    for (int x = 1; x < cols - 1; ++x) EXPECT_FLOAT_EQ(out[y * cols + x], 8.0f) << y << " " << x;
  // At (0, 0) the reflect-101 border makes the row f(1), f(0), f(1):
  // d2 gives 2 per term, s gives 4: 2 * 4 + 4 * 2 = 16.
  EXPECT_FLOAT_EQ(out[0], 0.5f * 16.0f);
  // ksize 1: d2 = s = 1, so dst = 2 * src * scale; in place.
  std::vector<float> g = f;
  ASSERT_EQ(ZqLaplacian_32f(g.data(), rows, cols, 1, g.data(), 1.0f), 0);
  for (size_t i = 0; i < f.size(); ++i) EXPECT_FLOAT_EQ(g[i], 2 * f[i]);
  EXPECT_EQ(ZqLaplacian_32f(f.data(), rows, cols, 33, out.data(), 1.0f), -3);
  EXPECT_EQ(ZqLaplacian_32f(nullptr, rows, cols, 3, out.data(), 1.0f), -1);
  SmallPool pool(256);
  EXPECT_EQ(ZqLaplacian_32f(f.data(), rows, cols, 3, out.data(), 1.0f), -2);
}

TEST(ZqEqualizeHist, CumulativeTable) {
  std::vector<uint8_t> half = {0, 255, 0, 255, 255, 0}, out(6);
  ZqEqualizeHist(half.data(), 3, 2, out.data());
  EXPECT_EQ(out, (std::vector<uint8_t>{127, 255, 127, 255, 255, 127}));
  std::vector<uint8_t> img = {0, 0, 10, 10, 10, 200};
  ZqEqualizeHist(img.data(), 2, 3, img.data());
  EXPECT_EQ(img, (std::vector<uint8_t>{85, 85, 212, 212, 212, 255}));
  std::vector<uint8_t> untouched(4, 9);
  ZqEqualizeHist(half.data(), 0, 2, untouched.data());
  EXPECT_EQ(untouched, std::vector<uint8_t>(4, 9));
}

}  // namespace
