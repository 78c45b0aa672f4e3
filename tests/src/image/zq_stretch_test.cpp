// Stretch filters and curved-surface normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "src/alloc_failure.h"
#include "src/lib_log_capture.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqStretch.h"
#include "src/finger_frames.h"

namespace {

using testing_support::FailHeapAfter;
using testing_support::LibLogCapture;

TEST(ZqImgBorderInterpolate, Types) {
  struct Case {
    int p, len, type, want;
  } cases[] = {{-1, 5, 4, 1}, {5, 5, 4, 3},  {-1, 5, 2, 0}, {-1, 5, 3, 4}, {-1, 5, 1, 0},
               {7, 5, 0, -1}, {-3, 1, 4, 0}, {-2, 5, 4, 2}, {-2, 5, 2, 1}, {5, 5, 2, 4},
               {6, 5, 3, 1},  {-2, 5, 1, 0}, {6, 5, 1, 4},  {4, 5, 0, 4}, {-9, 5, 7, -9}};
  for (const Case &c : cases)
    EXPECT_EQ(ZqImgBorderInterpolate(c.p, c.len, c.type), c.want)
        << c.p << " " << c.len << " " << c.type;
}

TEST(ZqImgBoxFilter, SumsMeansAndRefusals) {
  // 4 x 5 ramp 10 y + x: 3 x 3 reflect-101 sums by hand (see the smoothing
  // tests): 3 * (20 30 60 70)[y] + 3 * (2 3 6 9 10)[x].
  std::vector<float> ramp(20), out(20);
  for (int i = 0; i < 20; ++i) ramp[i] = static_cast<float>(10 * (i / 5) + i % 5);
  const int rowPart[4] = {20, 30, 60, 70}, colPart[5] = {2, 3, 6, 9, 10};
  for (int ksize : {3, 2}) {
    ASSERT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, ksize, out.data(), 0), 0);
    for (int i = 0; i < 20; ++i)
      EXPECT_EQ(out[i], 3.0f * rowPart[i / 5] + 3.0f * colPart[i % 5]) << ksize << " " << i;
  }
  std::vector<float> flat(6 * 7, 2.5f), o(42);
  ASSERT_EQ(ZqImgBoxFilter(flat.data(), 6, 7, 3, o.data(), 1), 0);
  EXPECT_EQ(o, flat);
  ASSERT_EQ(ZqImgBoxFilter(flat.data(), 6, 7, 3, flat.data(), 0), 0);  // in place
  EXPECT_EQ(flat, std::vector<float>(42, 22.5f));
  ASSERT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, 1, out.data(), 1), 0);
  EXPECT_EQ(out, ramp);

  std::fill(out.begin(), out.end(), -1.0f);
  EXPECT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, 5, out.data(), 1), -1);  // ksize = cols
  EXPECT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, 4, out.data(), 1), -1);  // ksize = rows
  EXPECT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, 0, out.data(), 1), -1);
  EXPECT_EQ(ZqImgBoxFilter(nullptr, 4, 5, 3, out.data(), 1), -1);
  EXPECT_EQ(ZqImgBoxFilter(ramp.data(), 0, 5, 3, out.data(), 1), -1);
  LibLogCapture log;
  FailHeapAfter fail(2);
  EXPECT_EQ(ZqImgBoxFilter(ramp.data(), 4, 5, 3, out.data(), 1), -2);
  EXPECT_EQ(out, std::vector<float>(20, -1.0f));
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSafeAlloc...udata == NULL, size = 28",
                                "'ZqImgBoxFilter' malloc memory fail, ret = -2"}));
}

TEST(ZqImgGaussianblur, SmallKernelsMatchTheSmoothingFile) {
  const int rows = 7, cols = 10;
  std::mt19937 rng(29);
  std::vector<uint8_t> src(rows * cols);
  for (auto &v : src) v = static_cast<uint8_t>(rng());
  // ksize 3, sigma -1: weights 16384 32768 16384.
  const int32_t k3[3] = {16384, 32768, 16384};
  std::vector<uint8_t> a(src.size()), b(src.size());
  ASSERT_EQ(ZqImgGaussianblur(src.data(), rows, cols, 3, nullptr, a.data(), -1), 0);
  ASSERT_EQ(ZqImgGaussianblur(src.data(), rows, cols, 3, k3, b.data(), 0), 0);
  EXPECT_EQ(a, b);
  for (int ksize : {1, 3, 4, 5, 7}) {
    ASSERT_EQ(ZqImgGaussianblur(src.data(), rows, cols, ksize, nullptr, a.data(), 0), 0);
    ASSERT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, ksize, nullptr, b.data(), 0), 0);
    EXPECT_EQ(a, b) << ksize;
    std::vector<uint8_t> flat(rows * cols, 173);
    ASSERT_EQ(ZqImgGaussianblur(flat.data(), rows, cols, ksize, nullptr, flat.data(), 0), 0);
    EXPECT_EQ(flat, std::vector<uint8_t>(rows * cols, 173)) << ksize;
  }
}

TEST(ZqImgGaussianblur, TaylorKernelStaysWithinOneOfTheLibmOne) {
  // Larger kernels: e^x from 2.718281^n and a Taylor sum; the 16.16 taps may
  // differ from the libm ones by a unit, the blur by at most one grey level.
  const int rows = 31, cols = 45;
  std::mt19937 rng(31);
  std::vector<uint8_t> src(rows * cols);
  for (auto &v : src) v = static_cast<uint8_t>(rng());
  for (auto [ksize, sigma] : {std::pair{9, 0.0f}, std::pair{11, 2.0f}, std::pair{5, 1.1f}}) {
    std::vector<uint8_t> a(src.size()), b(src.size());
    ASSERT_EQ(ZqImgGaussianblur(src.data(), rows, cols, ksize, nullptr, a.data(), sigma), 0);
    ASSERT_EQ(ZqGaussianBlur_8u(src.data(), rows, cols, ksize, nullptr, b.data(), sigma), 0);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1) << ksize << " " << i;
  }
}

TEST(ZqImgGaussianblur, Refusals) {
  std::vector<uint8_t> src(12, 1), out(12, 9);
  EXPECT_EQ(ZqImgGaussianblur(nullptr, 3, 4, 3, nullptr, out.data(), 0), -1);
  EXPECT_EQ(ZqImgGaussianblur(src.data(), 3, 4, 3, nullptr, nullptr, 0), -1);
  EXPECT_EQ(ZqImgGaussianblur(src.data(), 0, 4, 3, nullptr, out.data(), 0), -1);
  EXPECT_EQ(ZqImgGaussianblur(src.data(), 3, 4, 0, nullptr, out.data(), 0), -1);
  for (int ok : {0, 2, 3}) {
    LibLogCapture log;
    FailHeapAfter fail(ok);
    EXPECT_EQ(ZqImgGaussianblur(src.data(), 3, 4, 3, nullptr, out.data(), 0), -2) << ok;
    ASSERT_FALSE(log.Messages().empty());
    EXPECT_EQ(log.Messages().back(), "'ZqImgGaussianblur' malloc memory fail, ret = -2");
  }
  EXPECT_EQ(out, std::vector<uint8_t>(12, 9));
}

TEST(CurvedSurfaceNormalize, SixteenBitAndFloat) {
  struct Case {
    std::vector<uint16_t> src;
    int rows, cols, lo, hi;
    std::vector<uint8_t> want;
  } cases[] = {
      {{100, 300}, 1, 2, 0, 255, {0, 255}},
      {{100, 150, 200, 250, 300, 100}, 2, 3, 10, 110, {10, 35, 60, 85, 110, 10}},
      {{7, 7, 7, 7}, 2, 2, 42, 200, {42, 42, 42, 42}},  // flat: lo
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> out(c.src.size(), 1);
    curved_surface_img_normalize_16u_2_8u(c.src.data(), c.rows, c.cols, c.lo, c.hi, out.data());
    EXPECT_EQ(out, c.want) << c.rows << " x " << c.cols;
  }
  // 256 x 256 = 65536 samples: every one of them is written.
  std::vector<uint16_t> big(65536);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint16_t>(i);
  std::vector<uint8_t> out(65536, 1);
  curved_surface_img_normalize_16u_2_8u(big.data(), 256, 256, 0, 255, out.data());
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[65535], 255);
  EXPECT_EQ(out[32768], 127);
  std::vector<uint8_t> keep(2, 9);
  curved_surface_img_normalize_16u_2_8u(nullptr, 1, 2, 0, 255, keep.data());
  curved_surface_img_normalize_16u_2_8u(big.data(), 0, 2, 0, 255, keep.data());
  EXPECT_EQ(keep, std::vector<uint8_t>(2, 9));

  const float f[6] = {-1.0f, 0.0f, 1.0f, 0.5f, -0.5f, 1.0f};
  uint8_t o[6];
  curved_surface_img_normalize_32f_2_8u(f, 2, 3, o, 0.0f, 255.0f);
  EXPECT_EQ(std::vector<uint8_t>(o, o + 6), (std::vector<uint8_t>{0, 127, 255, 191, 63, 255}));
  const float flat[3] = {3.0f, 3.0f, 3.0f};
  curved_surface_img_normalize_32f_2_8u(flat, 1, 3, o, 20.0f, 30.0f);
  EXPECT_EQ(std::vector<uint8_t>(o, o + 3), std::vector<uint8_t>(3, 20));
}

TEST(CurvedSurfaceLocalEqualize, TallNarrowWindows) {
  // 165 equal values: 255 everywhere.
  std::vector<uint8_t> flat(30 * 5, 80), out(150);
  ASSERT_EQ(curved_surface_img_localequalizehist_v2(flat.data(), nullptr, 30, 5, out.data()), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(150, 255));
  // One row: every padded row repeats it; windows of 110 or 165 values.
  std::vector<uint8_t> row = {10, 20, 30, 40}, o4(4);
  ASSERT_EQ(curved_surface_img_localequalizehist_v2(row.data(), nullptr, 1, 4, o4.data()), 0);
  EXPECT_EQ(o4, (std::vector<uint8_t>{127, 170, 170, 255}));
  // One column of 28 rows, 200 on row 0 and 100 below: row 0 is counted
  // twice (its reflection) in the windows of rows 0..26, once from row 27.
  std::vector<uint8_t> col(28, 100), oc(28);
  col[0] = 200;
  ASSERT_EQ(curved_surface_img_localequalizehist_v2(col.data(), nullptr, 28, 1, oc.data()), 0);
  EXPECT_EQ(oc[0], 255);  // the brightest pixel of its window
  EXPECT_EQ(oc[5], 53 * 255 / 55);
  EXPECT_EQ(oc[26], 53 * 255 / 55);
  EXPECT_EQ(oc[27], 54 * 255 / 55);
  // In place, and the refusals.
  ASSERT_EQ(curved_surface_img_localequalizehist_v2(col.data(), nullptr, 28, 1, col.data()), 0);
  EXPECT_EQ(col, oc);
  EXPECT_EQ(curved_surface_img_localequalizehist_v2(nullptr, nullptr, 28, 1, oc.data()), -1);
  EXPECT_EQ(curved_surface_img_localequalizehist_v2(col.data(), nullptr, 0, 1, oc.data()), -1);
  LibLogCapture log;
  FailHeapAfter fail(0);
  EXPECT_EQ(curved_surface_img_localequalizehist_v2(col.data(), nullptr, 28, 1, oc.data()), -2);
  EXPECT_EQ(log.Messages().back(),
            "'curved_surface_img_localequalizehist_v2' malloc memory fail, ret = -2");
}

// The non-linear stretch end to end on a synthetic 96 x 96 raw press whose
// background rises by 4000 counts towards the corners: normalise into 8
// bits, take away a box-filtered background, normalise again, blur and
// equalise locally. Afterwards ridges (high in raw samples) stand out
// equally in the middle and at the rim.
TEST(CurvedSurface, StretchOfASyntheticPressEndToEnd) {
  using testing_support::FingerPixel;
  const int rows = 96, cols = 96;
  const auto frame = testing_support::PressOnBowl(rows, cols, 1.0, 0, 0, 4000);

  std::vector<uint8_t> img(rows * cols);
  curved_surface_img_normalize_16u_2_8u(frame.raw.data(), rows, cols, 0, 255, img.data());
  std::vector<float> f(img.begin(), img.end()), background(f.size());
  ASSERT_EQ(ZqImgBoxFilter(f.data(), rows, cols, 15, background.data(), 1), 0);
  for (size_t i = 0; i < f.size(); ++i) f[i] -= background[i];
  curved_surface_img_normalize_32f_2_8u(f.data(), rows, cols, img.data(), 0.0f, 255.0f);
  ASSERT_EQ(ZqImgGaussianblur(img.data(), rows, cols, 3, nullptr, img.data(), 0), 0);
  std::vector<uint8_t> out(img.size());
  ASSERT_EQ(curved_surface_img_localequalizehist_v2(img.data(), nullptr, rows, cols, out.data()), 0);

  auto mean = [&](const auto &level, bool ridge, bool rim) {
    return testing_support::MeanOver(frame, level, [&](const FingerPixel &p) {
      return (ridge ? p.ridge : p.valley) && (rim ? p.rim : p.middle);
    });
  };
  // Before: the bowl lifts the rim's valleys above the middle's ridges.
  ASSERT_GT(mean(frame.raw, false, true), mean(frame.raw, true, false));
  // After: ridges high and valleys low in both places, at similar levels.
  for (bool rim : {false, true}) {
    EXPECT_GT(mean(out, true, rim), 170) << rim;
    EXPECT_LT(mean(out, false, rim), 85) << rim;
  }
  EXPECT_NEAR(mean(out, true, true), mean(out, true, false), 30);
  EXPECT_NEAR(mean(out, false, true), mean(out, false, false), 30);
}

}  // namespace
