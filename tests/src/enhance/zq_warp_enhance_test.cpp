// The rarely used members of the orientation family: the 16-bit mirrored
// border, the forward-mapped rotation and the frequency-domain and
// directional 8-bit enhancement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "src/enhance/ZqEnHanceImg.h"
#include "src/enhance/ZqMirrorFill.h"
#include "src/enhance/ZqWarpAffine.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(MirrorFill, RepeatsTheEdgePixel) {
  const std::vector<uint16_t> src = {1, 2, 3, 4, 5, 6};
  std::vector<uint16_t> dst(4 * 7, 0);
  ASSERT_EQ(ZqMirrorFill_u16(src.data(), 2, 3, 1, 2, dst.data()), 0);
  EXPECT_EQ(dst, (std::vector<uint16_t>{2, 1, 1, 2, 3, 3, 2,  //
                                        2, 1, 1, 2, 3, 3, 2,  //
                                        5, 4, 4, 5, 6, 6, 5,  //
                                        5, 4, 4, 5, 6, 6, 5}));
}

std::vector<uint8_t> Numbered(int rows, int cols) {
  std::vector<uint8_t> v(rows * cols);
  for (int i = 0; i < rows * cols; ++i) v[i] = static_cast<uint8_t>(i * 3 + 1);
  return v;
}

// Quarter and half turns of an odd square image about its centre pixel
// are pixel permutations (y down, so a positive angle turns clockwise on
// screen): (x, y) goes to (c - (y - c), c + (x - c)) for a quarter turn.
TEST(WarpAffine, RightAnglesPermutePixels) {
  const int n = 9, c = 4;
  const std::vector<uint8_t> src = Numbered(n, n);
  const struct {
    double angle;
    int turns;
  } cases[] = {{0.0, 0}, {kPi / 2, 1}, {kPi, 2}, {-kPi / 2, 3}};
  for (const auto &t : cases) {
    std::vector<uint8_t> dst(src.size(), 0);
    ASSERT_EQ(ZqWarpAffine(src.data(), n, n, dst.data(), static_cast<float>(t.angle)), 0);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        int u = x, v = y;
        for (int k = 0; k < t.turns; ++k) {
          const int nu = c - (v - c), nv = c + (u - c);
          u = nu;
          v = nv;
        }
        EXPECT_EQ(dst[v * n + u], src[y * n + x]) << t.turns << " turns, " << x << "," << y;
      }
  }
}

// At 45 degrees the forward map lands more than one source pixel's weight
// on some targets: a bright flat image saturates instead of wrapping.
TEST(WarpAffine, OverlappingContributionsSaturate) {
  const int n = 31;
  std::vector<uint8_t> src(n * n, 240), dst(src.size(), 0);
  ASSERT_EQ(ZqWarpAffine(src.data(), n, n, dst.data(), static_cast<float>(kPi / 4)), 0);
  int lowInside = 0, full = 0;
  for (int y = 10; y < 21; ++y)
    for (int x = 10; x < 21; ++x) {
      lowInside += dst[y * n + x] < 120;
      full += dst[y * n + x] == 255;
    }
  EXPECT_EQ(lowInside, 0);
  EXPECT_GT(full, 0);
  EXPECT_EQ(dst[0], 0) << "the corners receive nothing";
  EXPECT_EQ(ZqWarpAffine(nullptr, n, n, dst.data(), 0.0f), -1);
  EXPECT_EQ(ZqWarpAffine(src.data(), 0, n, dst.data(), 0.0f), -1);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

struct ImageDeleter {
  void operator()(ST_Image *img) const { ZqReleaseImage(&img); }
};

// A noisy oriented sinusoid comes out closer to its clean pattern, for a
// square and an oblong image, into a new or a given destination.
TEST(EnHanceImg, CleansANoisySinusoid) {
  const struct {
    int rows, cols;
    double angle;
    bool given;
  } cases[] = {{48, 48, 30, false}, {40, 56, 120, true}};
  for (const auto &c : cases) {
    const ST_Size size = {c.rows, c.cols};
    std::unique_ptr<ST_Image, ImageDeleter> src(ZqCreateImage(&size, DEPTH_8U));
    std::vector<double> clean(c.rows * c.cols);
    uint32_t seed = 99;
    const double a = c.angle * kPi / 180;
    for (int y = 0; y < c.rows; ++y)
      for (int x = 0; x < c.cols; ++x) {
        clean[y * c.cols + x] = 128 + 60 * std::cos(2 * kPi * (x * std::cos(a) + y * std::sin(a)) / 9);
        seed = seed * 1103515245u + 12345u;
        const double noisy = clean[y * c.cols + x] + static_cast<int>((seed >> 16) % 91) - 45;
        src->imageData[y * src->rowBytes + x] = static_cast<uint8_t>(std::clamp(noisy, 0.0, 255.0));
      }
    ST_Image *out = c.given ? ZqCreateImage(&size, DEPTH_8U) : nullptr;
    ST_Image *const given = out;
    ASSERT_EQ(ZqEnHanceImg_u8(src.get(), &out), 0);
    ASSERT_NE(out, nullptr);
    if (c.given) {
      EXPECT_EQ(out, given);
    }
    const auto corr = [&](const ST_Image *img) {
      double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, n = 0;
      for (int y = 6; y < c.rows - 6; ++y)
        for (int x = 6; x < c.cols - 6; ++x) {
          const double u = clean[y * c.cols + x], v = img->imageData[y * img->rowBytes + x];
          sx += u, sy += v, sxx += u * u, syy += v * v, sxy += u * v, n += 1;
        }
      return (sxy - sx * sy / n) / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
    };
    EXPECT_GT(corr(out), corr(src.get())) << c.rows << "x" << c.cols;
    EXPECT_GT(corr(out), 0.8) << c.rows << "x" << c.cols;
    ZqReleaseImage(&out);
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(EnHanceImg, RefusesBadImages) {
  const ST_Size size = {8, 8}, other = {8, 9};
  ST_Image *src = ZqCreateImage(&size, DEPTH_8U);
  ST_Image *wrong = ZqCreateImage(&other, DEPTH_8U);
  ST_Image *out = wrong;
  EXPECT_EQ(ZqEnHanceImg_u8(src, &out), -1);
  EXPECT_EQ(out, wrong);
  EXPECT_EQ(ZqEnHanceImg_u8(nullptr, &out), -1);
  EXPECT_EQ(ZqEnHanceImg_u8(src, nullptr), -1);
  ZqReleaseImage(&wrong);
  ZqReleaseImage(&src);
}

}  // namespace
