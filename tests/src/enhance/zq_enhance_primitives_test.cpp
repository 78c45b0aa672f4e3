// Enhancement primitives: arctangent, affine decomposition, integral
// images, local statistics, robust bounds and stretch, local and min-max
// normalisation, the LoG filter and the mirrored border.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqBorderExtention.h"
#include "src/enhance/ZqFastAtan2.h"
#include "src/enhance/ZqImageStrech.h"
#include "src/enhance/ZqIntegGraph.h"
#include "src/enhance/ZqLocalNormalize.h"
#include "src/enhance/ZqLogFilter.h"
#include "src/enhance/ZqMeanAndStd.h"
#include "src/enhance/ZqNormalize.h"
#include "src/lib_log_capture.h"

namespace {

// The 8-bit grey image of a synthetic press, whole window in contact.
std::vector<uint8_t> FingerGray(int rows, int cols, int finger) {
  static const fingers::MasterFinger master =
      fingers::MakeMaster(fingers::PopulationFinger(29, finger));
  fingers::ImpressionParams p;
  p.width = cols;
  p.height = rows;
  p.contact.radius = 1.6;
  return fingers::Render(master, p).frame.gray;
}

TEST(ZqFastAtan2, QuadrantsAndAgreementWithLibm) {
  struct Case {
    float y, x, want;
  } cases[] = {{0, -1, 180}, {-1, 0, 270}, {1, 1, 45},   {0, 0, 0},     {1, 0, 90},
               {0, 1, 0},    {-1, -1, 225}, {1, -1, 135}, {-3, 4, 323.130102f}};
  for (const Case &c : cases)
    EXPECT_NEAR(ZqFastAtan2(c.y, c.x), c.want, 0.01) << c.y << " " << c.x;
  // Every tenth of a degree round the circle, at two radii.
  for (int k = 0; k < 3600; ++k) {
    const double a = k * M_PI / 1800;
    for (double r : {1e-3, 250.0}) {
      const float got = ZqFastAtan2(static_cast<float>(r * sin(a)), static_cast<float>(r * cos(a)));
      ASSERT_GE(got, 0.0f) << k;
      double err = std::fabs(got - k / 10.0);
      err = std::min(err, 360 - err);
      ASSERT_LT(err, 0.01) << k << " " << r;
    }
  }
}

TEST(ZqCalcMatrixInfo, RotationShearAndScale) {
  const float c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
  const float t10 = std::tan(M_PI / 18);
  // With pi taken as 3.14, a right angle reads 90.0456 degrees and a
  // 10-degree shear 80 * pi / 3.14 off a right angle.
  const float rightAngleShear = 180 * (M_PI / 2) / 3.14 - 90;
  const float shear10 = 90 - 180 * (80 * M_PI / 180) / 3.14;
  struct Case {
    const char *name;
    ST_HMatrix m;
    float angle, shear, sx, sy;
  } cases[] = {
      {"identity", {1, 0, 0, 0, 1, 0}, 0, rightAngleShear, 0, 0},
      {"translation only", {1, 0, 37, 0, 1, -12}, 0, rightAngleShear, 0, 0},
      {"rotation 30", {c30, -s30, 5, s30, c30, 5}, 30, rightAngleShear, 0, 0},
      {"rotation -30", {c30, s30, 0, -s30, c30, 0}, 330, rightAngleShear, 0, 0},
      {"scale", {1.1f, 0, 0, 0, 0.9f, 0}, 0, rightAngleShear, 0.1f, -0.1f},
      {"shear 10", {1, t10, 0, 0, 1, 0}, static_cast<float>(360 - std::atan(t10 / 2) * 180 / M_PI),
       shear10, 0, static_cast<float>(1 / std::cos(M_PI / 18) - 1)},
      {"zero", {0, 0, 0, 0, 0, 0}, 0, rightAngleShear, -1, -1},
  };
  for (const Case &c : cases) {
    float angle = -1, shear = -1, sx = -9, sy = -9;
    ZqCalcMatrixInfo(&c.m, &angle, &shear, &sx, &sy);
    EXPECT_NEAR(angle, c.angle, 0.02) << c.name;
    EXPECT_NEAR(shear, c.shear, 1e-4) << c.name;
    EXPECT_NEAR(sx, c.sx, 1e-5) << c.name;
    EXPECT_NEAR(sy, c.sy, 1e-5) << c.name;
  }
  EXPECT_NEAR(rightAngleShear, 0.0456, 1e-4);
}

TEST(ZqCalcMatrixInfo, ParallelAxesGiveFullShearNotNaN) {
  // Columns (k, k) and (3k, 3k): cos = 1 up to rounding, which may round
  // past 1 where acos has no value; the shear must read as a full 90.
  for (float k : {1.0f, 3.0f, 0.1f, 7.3f}) {
    const ST_HMatrix m{k, 3 * k, 0, k, 3 * k, 0};
    float angle, shear = -1, sx, sy;
    ZqCalcMatrixInfo(&m, &angle, &shear, &sx, &sy);
    ASSERT_FALSE(std::isnan(shear)) << k;
    EXPECT_NEAR(shear, 90, 0.05) << k;
  }
  float untouched = 5;
  ZqCalcMatrixInfo(nullptr, &untouched, &untouched, &untouched, &untouched);
  EXPECT_EQ(untouched, 5);
}

TEST(ZqGetIntegGraph, MatchesBruteForceAndWraps) {
  const int rows = 5, cols = 7;
  std::mt19937 rng(3);
  std::vector<uint32_t> src(rows * cols);
  for (auto &v : src) v = rng();  // large values: the sums wrap
  std::vector<uint32_t> integ((rows + 1) * (cols + 1), 0xDEADBEEF);
  ZqGetIntegGraph_32u(src.data(), rows, cols, integ.data());
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= cols; ++c) {
      uint32_t want = 0;
      for (int i = 0; i < r; ++i)
        for (int j = 0; j < c; ++j) want += src[i * cols + j];
      ASSERT_EQ(integ[r * (cols + 1) + c], want) << r << " " << c;
    }
  // The signed member gives the same bits.
  std::vector<int32_t> ssrc(src.begin(), src.end()), sinteg(integ.size());
  ZqGetIntegGraph_32s(ssrc.data(), rows, cols, sinteg.data());
  for (size_t i = 0; i < integ.size(); ++i) ASSERT_EQ(static_cast<uint32_t>(sinteg[i]), integ[i]);
  // Refusals touch nothing.
  std::vector<uint32_t> keep(integ.size(), 7);
  ZqGetIntegGraph_32u(nullptr, rows, cols, keep.data());
  ZqGetIntegGraph_32u(src.data(), 0, cols, keep.data());
  EXPECT_EQ(keep, std::vector<uint32_t>(integ.size(), 7));
}

// Reference local statistics: plain window loops, 64-bit sums.
void NaiveMeanAndStd(const std::vector<uint16_t> &src, const std::vector<uint8_t> &mask, int rows,
                     int cols, int window, std::vector<int32_t> *mean, std::vector<int32_t> *dev) {
  const int h = window / 2;
  int32_t last = 0;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      int64_t n = 0, s1 = 0, s2 = 0;
      for (int i = std::max(0, r - h); i <= std::min(rows - 1, r + h); ++i)
        for (int j = std::max(0, c - h); j <= std::min(cols - 1, c + h); ++j) {
          if (!mask[i * cols + j]) continue;
          n += mask[i * cols + j];
          s1 += src[i * cols + j];
          s2 += int64_t{src[i * cols + j]} * src[i * cols + j];
        }
      const int k = r * cols + c;
      if (n == 0) {
        (*mean)[k] = 0;
        (*dev)[k] = last;
        continue;
      }
      const int64_t v = (s2 * n - s1 * s1) / (n * n + 1);
      (*mean)[k] = static_cast<int32_t>((s1 * 256 + n / 2) / n);
      last = v < 1 ? 1 : static_cast<int32_t>(std::sqrt(static_cast<float>(v))) * 256;
      (*dev)[k] = last;
    }
}

TEST(ZqCalcMeanAndStd, AgreesWithWindowLoops) {
  const int rows = 13, cols = 17;
  std::mt19937 rng(11);
  std::vector<uint16_t> src(rows * cols);
  std::vector<uint8_t> mask(rows * cols);
  for (int i = 0; i < rows * cols; ++i) {
    src[i] = static_cast<uint16_t>(rng() % 256);
    mask[i] = rng() % 4 != 0;
  }
  for (int r = 3; r < 9; ++r)  // a hole wider than the small windows
    for (int c = 4; c < 12; ++c) mask[r * cols + c] = 0;
  for (int window : {0, 1, 3, 4, 9, 41}) {
    std::vector<int32_t> mean(rows * cols), dev(rows * cols), wm(rows * cols), wd(rows * cols);
    ASSERT_EQ(ZqCalcMeanAndStd(src.data(), mask.data(), rows, cols, window, mean.data(), dev.data()), 0);
    NaiveMeanAndStd(src, mask, rows, cols, window, &wm, &wd);
    EXPECT_EQ(mean, wm) << window;
    EXPECT_EQ(dev, wd) << window;
  }
}

TEST(ZqCalcMeanAndStd, HandCasesAndRefusals) {
  // Flat: mean 256 v, deviation 1 (variance below 1).
  std::vector<uint16_t> flat(4 * 5, 77);
  std::vector<uint8_t> ones(4 * 5, 1);
  std::vector<int32_t> mean(20), dev(20);
  ASSERT_EQ(ZqCalcMeanAndStd(flat.data(), ones.data(), 4, 5, 3, mean.data(), dev.data()), 0);
  EXPECT_EQ(mean, std::vector<int32_t>(20, 77 * 256));
  EXPECT_EQ(dev, std::vector<int32_t>(20, 1));

  // 4 x 3, window 3, valid pixels 10 30 60 in row 0 only. Pixel (1, 2)
  // sees 30 and 60: v = (2 * 4500 - 90^2) / 5 = 180, dev = 13 * 256; the
  // rows below see nothing and repeat it with mean 0.
  std::vector<uint16_t> img = {10, 30, 60, 5, 5, 5, 5, 5, 5, 5, 5, 5};
  std::vector<uint8_t> mask = {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  mean.assign(12, -1);
  dev.assign(12, -1);
  ASSERT_EQ(ZqCalcMeanAndStd(img.data(), mask.data(), 4, 3, 3, mean.data(), dev.data()), 0);
  EXPECT_EQ(mean[5], (90 * 256 + 1) / 2);
  EXPECT_EQ(dev[5], 13 * 256);
  for (int i = 6; i < 12; ++i) {
    EXPECT_EQ(mean[i], 0) << i;
    EXPECT_EQ(dev[i], 13 * 256) << i;
  }
  // No valid pixel at all: deviation 0 (nothing written before).
  std::vector<uint8_t> none(12, 0);
  ASSERT_EQ(ZqCalcMeanAndStd(img.data(), none.data(), 4, 3, 3, mean.data(), dev.data()), 0);
  EXPECT_EQ(dev, std::vector<int32_t>(12, 0));

  EXPECT_EQ(ZqCalcMeanAndStd(nullptr, mask.data(), 4, 3, 3, mean.data(), dev.data()), -1);
  EXPECT_EQ(ZqCalcMeanAndStd(img.data(), nullptr, 4, 3, 3, mean.data(), dev.data()), -1);
  EXPECT_EQ(ZqCalcMeanAndStd(img.data(), mask.data(), 4, 3, 3, nullptr, dev.data()), -1);
  EXPECT_EQ(ZqCalcMeanAndStd(img.data(), mask.data(), 0, 3, 3, mean.data(), dev.data()), -1);
  // A negative window would index outside the integral images.
  EXPECT_EQ(ZqCalcMeanAndStd(img.data(), mask.data(), 4, 3, -5, mean.data(), dev.data()), -1);
}

TEST(ZqGetBoundaryByHist, CutsHalfAPercentAtEachEnd) {
  // 200 valid values base + step x (0..199) (one pixel is 0.5 %), in
  // shuffled order, plus invalid outliers. Value number i lands in bin 2i
  // (weight (199 - i) step) and 2i + 1 (weight i step); the cumulative
  // weight first passes T = 199 step at bins 2 and 397, each nearer the
  // weight before it, so the cuts step down to bins 1 and 396:
  // (step 199 + 200) / 399 and (396 step 199 + 200) / 399 above the base.
  struct Case {
    int base, step, low, high;
  } cases[] = {{0, 1, 1, 198},       {1000, 1, 1001, 1198},     {-777, 1, -776, -579},
               {0, 10, 5, 1975},     {-50000, 10, -49995, -48025}};
  for (const Case &c : cases) {
    std::vector<int32_t> v;
    std::vector<uint8_t> m;
    for (int i = 0; i < 200; ++i) {
      v.push_back(c.base + c.step * ((i * 67) % 200));
      m.push_back(1);
    }
    for (int32_t out : {-100000, 100000}) {
      v.push_back(out);
      m.push_back(0);
    }
    int32_t high = 0, low = 0;
    ZqGetBoundaryByHist(v.data(), m.data(), 2, 101, &high, &low);
    EXPECT_EQ(low, c.low) << c.base << " " << c.step;
    EXPECT_EQ(high, c.high) << c.base << " " << c.step;
  }
  // No spread: both bounds are the minimum, 0 without valid pixels.
  std::vector<int32_t> flat(30, -4);
  std::vector<uint8_t> ones(30, 1), none(30, 0);
  int32_t high = 9, low = 9;
  ZqGetBoundaryByHist(flat.data(), ones.data(), 5, 6, &high, &low);
  EXPECT_EQ(high, -4);
  EXPECT_EQ(low, -4);
  ZqGetBoundaryByHist(flat.data(), none.data(), 5, 6, &high, &low);
  EXPECT_EQ(high, 0);
  EXPECT_EQ(low, 0);
}

TEST(ZqGetBoundaryBySigma, NeedsOneHundredAndOneValidPixels) {
  // 50 x 0, 50 x 20 and one 10: mean (1010 + 50) / 101 = 10, variance
  // (20100 + 50) / 101 - 100 = 99, s = 9. Without the 10 only 100 pixels
  // are valid. Invalid outliers never count.
  std::vector<int32_t> v;
  std::vector<uint8_t> m;
  for (int i = 0; i < 50; ++i) v.insert(v.end(), {0, 20, 5000});
  for (int i = 0; i < 50; ++i) m.insert(m.end(), {1, 1, 0});
  v.push_back(10);
  m.push_back(1);
  int32_t high = 0, low = 0;
  ZqGetBoundaryBySigma(v.data(), m.data(), 1, static_cast<int>(v.size()), &high, &low);
  EXPECT_EQ(high, 10 + 27);
  EXPECT_EQ(low, 10 - 27);
  m.back() = 0;
  ZqGetBoundaryBySigma(v.data(), m.data(), 1, static_cast<int>(v.size()), &high, &low);
  EXPECT_EQ(high, 0);
  EXPECT_EQ(low, 0);
  // Zero variance: mean +- 3.
  std::vector<int32_t> flat(120, 7);
  std::vector<uint8_t> ones(120, 1);
  ZqGetBoundaryBySigma(flat.data(), ones.data(), 10, 12, &high, &low);
  EXPECT_EQ(high, 10);
  EXPECT_EQ(low, 4);
}

TEST(ZqImageStrech, StretchesBetweenTheTightestBounds) {
  // 0..199 valid: histogram bounds 1 / 198, sigma bounds 100 +- 3 * 56,
  // range 0..199, so lo = 1 and hi = 198 (span 197).
  std::vector<int32_t> v;
  std::vector<uint8_t> m;
  for (int i = 0; i < 200; ++i) {
    v.push_back(i);
    m.push_back(1);
  }
  // Invalid pixels are rewritten too and clamp, even where (v - lo) x top
  // leaves 32 bits.
  v.insert(v.end(), {-5000, 5000, 2000000000, -2000000000});
  m.insert(m.end(), {0, 0, 0, 0});
  ASSERT_EQ(ZqImageStrech(v.data(), m.data(), 1, static_cast<int>(v.size()), 255), 0);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 0);                         // 98 / 197
  EXPECT_EQ(v[100], (99 * 255 + 98) / 197);   // 128
  EXPECT_EQ(v[198], 255);
  EXPECT_EQ(v[199], 255);                     // 256 clamped
  EXPECT_EQ(v[200], 0);
  EXPECT_EQ(v[201], 255);
  EXPECT_EQ(v[202], 255);
  EXPECT_EQ(v[203], 0);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.begin() + 200));

  // Collapsing bounds (flat, or too few valid pixels for the sigma bounds)
  // give one flat value.
  std::vector<int32_t> flat(150, 42);
  std::vector<uint8_t> ones(150, 1);
  ASSERT_EQ(ZqImageStrech(flat.data(), ones.data(), 10, 15, 255), 0);
  EXPECT_EQ(std::count(flat.begin(), flat.end(), flat[0]), 150);
  std::vector<int32_t> few = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  std::vector<uint8_t> tenOnes(10, 1);
  ASSERT_EQ(ZqImageStrech(few.data(), tenOnes.data(), 2, 5, 255), 0);
  EXPECT_EQ(std::count(few.begin(), few.end(), few[0]), 10);

  EXPECT_EQ(ZqImageStrech(nullptr, ones.data(), 10, 15, 255), -1);
  EXPECT_EQ(ZqImageStrech(flat.data(), nullptr, 10, 15, 255), -1);
  EXPECT_EQ(ZqImageStrech(flat.data(), ones.data(), 10, 0, 255), -1);
}

TEST(ZqLocalNormalize, ExactlyInvariantToAGreyOffset) {
  const int rows = 96, cols = 80;
  for (int finger : {0, 1, 2}) {
    const std::vector<uint8_t> gray = FingerGray(rows, cols, finger);
    std::vector<uint16_t> base(gray.begin(), gray.end());
    for (auto &p : base) p = std::min<uint16_t>(p, 200);
    std::vector<uint16_t> want(rows * cols);
    ASSERT_EQ(ZqLocalNormalize(base.data(), rows, cols, 9, want.data()), 0);
    EXPECT_EQ(*std::min_element(want.begin(), want.end()), 0);
    EXPECT_EQ(*std::max_element(want.begin(), want.end()), 255);
    for (int offset : {1, 17, 54}) {
      std::vector<uint16_t> shifted(base), got(rows * cols);
      for (auto &p : shifted) p = static_cast<uint16_t>(p + offset);
      ASSERT_EQ(ZqLocalNormalize(shifted.data(), rows, cols, 9, got.data()), 0);
      EXPECT_EQ(got, want) << finger << " " << offset;
    }
  }
}

// 10 rows of the same 12 greys: every row's output is the same. A window
// spanning the image lets every pixel see all 120, mean 1680 / 12 = 140 and
// deviation 59 (both x 256). Grey g becomes o = ((g - 140) x 2^20 + 7552) /
// 15104, the quotient rounded to the nearest: grey 206 gives 4582
// (4581.97). The stretch runs from the lowest o, -6455 (grey 47), to the
// histogram's upper bound 5247 and maps 4582 to (11037 x 255 + 5851) /
// 11702 = 241; a truncated 4581 would give 240. A window of 9 sees columns
// c - 4 to c + 4 only.
TEST(ZqLocalNormalize, RepeatedRowGivesTheWrittenOutput) {
  const int rows = 10, cols = 12;
  const std::vector<uint16_t> greys = {199, 105, 131, 216, 206, 175, 47, 159, 103, 206, 53, 80};
  struct Case {
    int window;
    std::vector<uint16_t> want;
  };
  const Case cases[] = {
      {31, {230, 88, 127, 255, 241, 194, 0, 169, 85, 241, 9, 50}},
      {9, {184, 0, 101, 224, 220, 171, 7, 160, 100, 255, 57, 75}},
  };
  std::vector<uint16_t> src;
  for (int r = 0; r < rows; ++r) src.insert(src.end(), greys.begin(), greys.end());
  for (const Case &c : cases) {
    std::vector<uint16_t> out(rows * cols);
    ASSERT_EQ(ZqLocalNormalize(src.data(), rows, cols, c.window, out.data()), 0);
    for (int r = 0; r < rows; ++r)
      EXPECT_EQ(std::vector<uint16_t>(out.begin() + r * cols, out.begin() + (r + 1) * cols),
                c.want)
          << "window " << c.window << " row " << r;
  }
}

TEST(ZqLocalNormalize, SaturatedPixelsDoNotEnterTheStatistics) {
  // Stuck pixels at 255 stay 255 while the rest move: the unsaturated
  // pixels' results must not change.
  const int rows = 64, cols = 64;
  std::vector<uint16_t> base(rows * cols);
  const std::vector<uint8_t> gray = FingerGray(rows, cols, 3);
  for (int i = 0; i < rows * cols; ++i) base[i] = std::min<uint16_t>(gray[i], 180);
  for (int i = 0; i < rows * cols; i += 37) base[i] = 255;
  std::vector<uint16_t> shifted(base), a(rows * cols), b(rows * cols);
  for (auto &p : shifted)
    if (p != 255) p = static_cast<uint16_t>(p + 30);
  ASSERT_EQ(ZqLocalNormalize(base.data(), rows, cols, 9, a.data()), 0);
  ASSERT_EQ(ZqLocalNormalize(shifted.data(), rows, cols, 9, b.data()), 0);
  for (int i = 0; i < rows * cols; ++i) {
    if (base[i] == 255) continue;
    ASSERT_EQ(a[i], b[i]) << i;
  }
}

TEST(ZqLocalNormalize, FlatSaturatedInPlaceAndRefusals) {
  std::vector<uint16_t> white(20 * 20, 255), out(400, 999);
  ASSERT_EQ(ZqLocalNormalize(white.data(), 20, 20, 9, out.data()), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), out[0]), 400);
  // Saturated 16-bit values over a flat window: no overflow (UBSan) and
  // still a flat result.
  std::vector<uint16_t> high(20 * 20, 65535);
  ASSERT_EQ(ZqLocalNormalize(high.data(), 20, 20, 9, out.data()), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), out[0]), 400);

  const std::vector<uint8_t> gray = FingerGray(40, 48, 0);
  std::vector<uint16_t> img(gray.begin(), gray.end()), sep(img.size());
  ASSERT_EQ(ZqLocalNormalize(img.data(), 40, 48, 9, sep.data()), 0);
  ASSERT_EQ(ZqLocalNormalize(img.data(), 40, 48, 9, img.data()), 0);
  EXPECT_EQ(img, sep);

  EXPECT_EQ(ZqLocalNormalize(nullptr, 4, 4, 9, out.data()), -1);
  EXPECT_EQ(ZqLocalNormalize(white.data(), 4, 4, 9, nullptr), -1);
  EXPECT_EQ(ZqLocalNormalize(white.data(), -1, 4, 9, out.data()), -1);
  out.assign(400, 999);
  EXPECT_EQ(ZqLocalNormalize(white.data(), 20, 20, -3, out.data()), -3);
  EXPECT_EQ(out, std::vector<uint16_t>(400, 999));
}

TEST(ZqNormalize, MinMaxOntoTheRange) {
  // 10..20 onto 0..255: s = 25.5, integer parts.
  std::vector<uint16_t> ramp = {10, 11, 12, 15, 19, 20};
  std::vector<uint16_t> out(6);
  ZqNormalize_16u(ramp.data(), 2, 3, 0, 255, out.data());
  EXPECT_EQ(out, (std::vector<uint16_t>{0, 25, 51, 127, 229, 255}));
  // low and high are 16-bit values; reversed bounds invert; in place.
  ZqNormalize_16u(ramp.data(), 2, 3, 65536 + 100, 65536 + 90, ramp.data());
  EXPECT_EQ(ramp, (std::vector<uint16_t>{100, 99, 98, 95, 91, 90}));
  std::vector<uint16_t> flat(6, 1234);
  ZqNormalize_16u(flat.data(), 2, 3, 7, 255, flat.data());
  EXPECT_EQ(flat, std::vector<uint16_t>(6, 7));
  ZqNormalize_16u(nullptr, 2, 3, 0, 255, out.data());
  ZqNormalize_16u(flat.data(), 0, 3, 0, 255, out.data());
  EXPECT_EQ(out, (std::vector<uint16_t>{0, 25, 51, 127, 229, 255}));

  std::vector<float> f = {-2, 0, 6}, fo(3);
  ZqNormalize_32f(f.data(), 1, 3, fo.data(), 10, 20);
  EXPECT_EQ(fo, (std::vector<float>{10, 12.5f, 20}));
  std::vector<float> ff(4, 3.5f);
  ZqNormalize_32f(ff.data(), 2, 2, ff.data(), -1, 1);
  EXPECT_EQ(ff, std::vector<float>(4, -1.0f));
}

TEST(ZqLogFilter, DarkLinesStayDarkAndRangeIsFull) {
  // Dark column lines every 8 pixels on a light ground.
  const int rows = 32, cols = 40;
  std::vector<uint16_t> img(rows * cols), out(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      img[r * cols + c] = static_cast<uint16_t>(140 + 80 * std::cos(2 * M_PI * c / 8));
  ASSERT_EQ(ZqLogFilter(img.data(), rows, cols, 9, out.data()), 0);
  EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
  EXPECT_EQ(*std::max_element(out.begin(), out.end()), 255);
  for (int r = 8; r < rows - 8; ++r)
    for (int c = 8; c < cols - 8; c += 8)
      EXPECT_GT(out[r * cols + c], out[r * cols + c + 4] + 100) << r << " " << c;
  EXPECT_EQ(ZqLogFilter(nullptr, rows, cols, 9, out.data()), -1);
  EXPECT_EQ(ZqLogFilter(img.data(), 0, cols, 9, out.data()), -1);
  EXPECT_EQ(ZqLogFilter(img.data(), rows, cols, 33, out.data()), -3);  // no Laplacian kernel
}

TEST(ZqBorderExtention, MirrorsRepeatingTheEdge) {
  // 2 x 3 image, pads of 2 rows and 2 columns: -1 -> 0, -2 -> 1.
  const std::vector<uint16_t> src = {1, 2, 3, 4, 5, 6};
  std::vector<uint16_t> dst(6 * 7, 0);
  ZqBorderExtention(src.data(), 2, 3, 2, 2, dst.data());
  const std::vector<uint16_t> want = {
      5, 4, 4, 5, 6, 6, 5,  //
      2, 1, 1, 2, 3, 3, 2,  //
      2, 1, 1, 2, 3, 3, 2,  //
      5, 4, 4, 5, 6, 6, 5,  //
      5, 4, 4, 5, 6, 6, 5,  //
      2, 1, 1, 2, 3, 3, 2,  //
  };
  EXPECT_EQ(dst, want);
  // A pad wider than the image keeps reflecting instead of reading outside.
  std::vector<uint16_t> wide(1 * 11, 0);
  ZqBorderExtention(src.data(), 1, 3, 0, 4, wide.data());
  EXPECT_EQ(wide, (std::vector<uint16_t>{3, 3, 2, 1, 1, 2, 3, 3, 2, 1, 1}));
  std::vector<uint16_t> keep(42, 9);
  ZqBorderExtention(nullptr, 2, 3, 2, 2, keep.data());
  ZqBorderExtention(src.data(), 2, 3, -1, 2, keep.data());
  EXPECT_EQ(keep, std::vector<uint16_t>(42, 9));
}

TEST(EnhanceTrace, EnterAndLeaveLinesAtLevelOne) {
  std::vector<uint16_t> img(12 * 12, 100), out(144);
  std::vector<std::string> lines;
  {
    testing_support::LibLogCapture log;
    g_loglevel = 1;
    ASSERT_EQ(ZqLocalNormalize(img.data(), 12, 12, 9, out.data()), 0);
    EXPECT_EQ(ZqLocalNormalize(nullptr, 12, 12, 9, out.data()), -1);
    lines = log.Lines();
    g_loglevel = 0;
  }
  // The operation's own pair wraps its steps' pairs; the refusal logs its
  // enter line and the failed condition, and no leave line.
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(testing_support::IsLibNoteLine(lines.front(), "ZqLocalNormalize...enter")) << lines.front();
  EXPECT_TRUE(testing_support::IsLibNoteLine(lines[lines.size() - 3], "ZqLocalNormalize...leave"));
  EXPECT_TRUE(testing_support::IsLibNoteLine(lines[lines.size() - 2], "ZqLocalNormalize...enter"));
  EXPECT_NE(lines.back().find("ZqLocalNormalize...src == NULL || dst == NULL"), std::string::npos)
      << lines.back();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &l) {
    return testing_support::IsLibNoteLine(l, "ZqCalcMeanAndStd...leave");
  }));
  // Level 2 silences the trace.
  testing_support::LibLogCapture quiet;
  g_loglevel = 2;
  ASSERT_EQ(ZqLocalNormalize(img.data(), 12, 12, 9, out.data()), 0);
  EXPECT_TRUE(quiet.Lines().empty());
  g_loglevel = 0;
}

}  // namespace
