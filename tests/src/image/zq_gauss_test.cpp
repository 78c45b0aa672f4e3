#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "src/heap_failure_at.h"
#include "src/lib_log_capture.h"
#include "src/image/ZqFastGaussBlur.h"
#include "src/image/ZqGaussSmooth.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_test_image.h"

namespace {

using testing_support::HeapFailureAt;
using testing_support::At;
using testing_support::Fill;
using testing_support::ImagePtr;
using testing_support::LibLogCapture;
using testing_support::NewImage;

using Grid = std::vector<std::vector<double>>;

Grid Read(const ST_Image *img) {
  Grid g(img->height, std::vector<double>(img->width));
  for (int r = 0; r < img->height; ++r)
    for (int c = 0; c < img->width; ++c) g[r][c] = At<float>(img, r, c);
  return g;
}

ImagePtr RandomImage(int rows, int cols, unsigned seed) {
  ImagePtr img = NewImage(rows, cols, DEPTH_32F);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(0.0f, 255.0f);
  Fill<float>(img.get(), [&](int, int) { return value(rng); });
  return img;
}

// Mean over the size x size window (radius size / 2) clipped to the grid.
Grid BoxMean(const Grid &g, int size) {
  const int r = size / 2, rows = static_cast<int>(g.size()), cols = static_cast<int>(g[0].size());
  if (r < 1) return g;
  Grid out = g;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double sum = 0;
      int n = 0;
      for (int yy = std::max(0, y - r); yy <= std::min(rows - 1, y + r); ++yy)
        for (int xx = std::max(0, x - r); xx <= std::min(cols - 1, x + r); ++xx, ++n) sum += g[yy][xx];
      out[y][x] = sum / n;
    }
  return out;
}

void ExpectNearGrid(const ST_Image *img, const Grid &want, double tol, const std::string &what) {
  for (int r = 0; r < img->height; ++r)
    for (int c = 0; c < img->width; ++c)
      ASSERT_NEAR(At<float>(img, r, c), want[r][c], tol) << what << " at " << r << "," << c;
}

TEST(FastBoxBlurPass, MatchesClippedBoxMeans) {
  struct Case {
    int rows, cols;
  } shapes[] = {{13, 17}, {6, 3}, {1, 9}, {9, 1}, {2, 3}};
  for (const Case &s : shapes) {
    for (int16_t size : {0, 1, 2, 3, 4, 5, 9, 21}) {
      ImagePtr src = RandomImage(s.rows, s.cols, 7u + size);
      ImagePtr dst = NewImage(s.rows, s.cols, DEPTH_32F);
      ASSERT_EQ(FastBoxBlurPass(src.get(), dst.get(), size), 1);
      ExpectNearGrid(dst.get(), BoxMean(Read(src.get()), size), 1e-3,
                     std::to_string(s.rows) + "x" + std::to_string(s.cols) + " size " +
                         std::to_string(size));
    }
  }
}

// The box pass in float as the smoothing defines it, one row after the
// other: running column sums (add the row entering the window, then take
// away the one leaving it), then running sums along the row; each sum is
// scaled by the reciprocal of the window's pixel count. The kernel must
// give exactly these floats.
std::vector<float> SequentialBoxPass(const ST_Image *src, int size) {
  const int r = size / 2, w = src->width, h = src->height;
  std::vector<float> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out[static_cast<size_t>(y) * w + x] = At<float>(src, y, x);
  if (r < 1) return out;
  auto recip = [](int n) { return 1.0f / static_cast<float>(n); };
  std::vector<float> col(w, 0.0f);
  for (int y = 0; y <= std::min(r, h - 1); ++y)
    for (int x = 0; x < w; ++x) col[x] += At<float>(src, y, x);
  for (int y = 0; y < h; ++y) {
    if (y > 0) {
      if (y + r < h)
        for (int x = 0; x < w; ++x) col[x] += At<float>(src, y + r, x);
      if (y - r - 1 >= 0)
        for (int x = 0; x < w; ++x) col[x] -= At<float>(src, y - r - 1, x);
    }
    const int rows = std::min(h - 1, y + r) - std::max(0, y - r) + 1;
    float sum = 0.0f;
    for (int x = 0; x <= std::min(r, w - 1); ++x) sum += col[x];
    for (int x = 0; x < w; ++x) {
      if (x > 0 && x + r < w) sum += col[x + r] - (x - r - 1 >= 0 ? col[x - r - 1] : 0.0f);
      else if (x > 0 && x - r - 1 >= 0) sum -= col[x - r - 1];
      const int cols = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
      out[static_cast<size_t>(y) * w + x] = sum * recip(rows * cols);
    }
  }
  return out;
}

// Sets the four-lane-only hook for a scope.
class FourLanesOnly {
 public:
  explicit FourLanesOnly(bool on) { FastBoxBlurFourLanesForTest(on ? 1 : 0); }
  ~FourLanesOnly() { FastBoxBlurFourLanesForTest(0); }
};

void ExpectBits(const ST_Image *img, const std::vector<float> &want, const std::string &what) {
  for (int y = 0; y < img->height; ++y)
    for (int x = 0; x < img->width; ++x) {
      const float got = At<float>(img, y, x);
      const float expected = want[static_cast<size_t>(y) * img->width + x];
      ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
          << what << " at " << y << "," << x << ": " << got << " vs " << expected;
    }
}

// Bit for bit, on the four-lane and (where the processor has them) the
// eight-lane registers, over shapes that end blocks of rows early and late,
// widths that are not whole blocks of columns, windows wider and taller
// than the image, and the windows the detector uses.
TEST(FastBoxBlurPass, GivesTheSequentialPassBitForBit) {
  const int shapes[][2] = {{1, 1},  {1, 9},   {9, 1},   {7, 5},   {8, 8},   {9, 13},
                           {16, 3}, {17, 29}, {23, 40}, {96, 96}, {61, 47}, {2, 100},
                           {33, 8}, {18, 15}, {40, 17}, {35, 66}};
  for (bool four : {false, true}) {
    FourLanesOnly lanes(four);
    for (const auto &shape : shapes) {
      for (int16_t size : {3, 5, 9, 21}) {
        ImagePtr src = RandomImage(shape[0], shape[1], 91u * shape[0] + shape[1] + size);
        ImagePtr dst = NewImage(shape[0], shape[1], DEPTH_32F);
        ASSERT_EQ(FastBoxBlurPass(src.get(), dst.get(), size), 1);
        ExpectBits(dst.get(), SequentialBoxPass(src.get(), size),
                   std::string(four ? "four lanes " : "") + std::to_string(shape[0]) + "x" +
                       std::to_string(shape[1]) + " size " + std::to_string(size));
      }
    }
  }
}

TEST(FastBoxBlurPass, ConstantStaysConstantIncludingCorners) {
  for (int16_t size : {3, 5, 9, 11, 21}) {  // 11 and 21: windows above 89 pixels
    ImagePtr src = NewImage(12, 19, DEPTH_32F);
    ImagePtr dst = NewImage(12, 19, DEPTH_32F);
    Fill<float>(src.get(), [](int, int) { return 77.0f; });
    ASSERT_EQ(FastBoxBlurPass(src.get(), dst.get(), size), 1);
    for (int r = 0; r < 12; ++r)
      for (int c = 0; c < 19; ++c) ASSERT_NEAR(At<float>(dst.get(), r, c), 77.0f, 1e-4f) << size;
  }
}

TEST(FastBoxBlurPass, Refusals) {
  ImagePtr a = NewImage(4, 6, DEPTH_32F);
  ImagePtr swapped = NewImage(6, 4, DEPTH_32F);
  ImagePtr bytes = NewImage(4, 6, DEPTH_8U);
  LibLogCapture log;
  EXPECT_EQ(FastBoxBlurPass(a.get(), a.get(), 3), 0);  // the running sums need two buffers
  EXPECT_EQ(FastBoxBlurPass(a.get(), swapped.get(), 3), 0);
  EXPECT_EQ(FastBoxBlurPass(a.get(), bytes.get(), 3), 0);
  EXPECT_EQ(FastBoxBlurPass(nullptr, a.get(), 3), 0);
  EXPECT_EQ(log.Messages().size(), 4u);
}

// The box chains of each mode byte and level.
struct Chain {
  uint8_t mode;
  uint16_t level;
  std::vector<int16_t> sizes;
};
const std::vector<Chain> &Chains() {
  static const std::vector<Chain> chains = {
      {0, 0, {3, 3, 3, 3}},   {0, 1, {3, 3, 3, 5}},   {0, 2, {3, 3, 5}},
      {0, 3, {3, 3, 5}},      {0, 4, {3, 3, 5}},      {0, 5, {3, 3, 5}},
      {16, 0, {}},            {16, 1, {3, 3, 3, 5}},  {16, 2, {3, 3, 5}},
      {16, 3, {3, 3, 5}},     {16, 4, {3, 3, 5}},     {16, 5, {}},
      {4, 0, {3, 3, 3, 3}},   {4, 1, {3, 3, 3}},      {4, 2, {3, 3, 3}},
      {4, 3, {3, 3, 5}},      {4, 4, {3, 3, 5}},      {4, 5, {3, 3, 5}},
      {255, 0, {3, 3, 3, 3}}, {255, 1, {3, 3, 3}},    {255, 5, {3, 3, 5}},
  };
  return chains;
}

TEST(FastGaussBlur, PassChainsPerModeAndLevel) {
  for (const Chain &ch : Chains()) {
    const std::string what = "mode " + std::to_string(ch.mode) + " level " + std::to_string(ch.level);
    ImagePtr src = RandomImage(11, 16, 100u + ch.level);
    ImagePtr dst = NewImage(11, 16, DEPTH_32F);
    Grid chain = Read(src.get()), before_last = chain;
    for (int16_t size : ch.sizes) {
      before_last = chain;
      chain = BoxMean(chain, size);
    }
    ASSERT_EQ(FastGaussBlur(src.get(), dst.get(), ch.level, ch.mode), 1) << what;
    ExpectNearGrid(dst.get(), chain, 1e-3, what);
    // src is the second buffer of the chain: it ends with the last result
    // after an even number of passes, with the one before after an odd one.
    const bool even = ch.sizes.size() % 2 == 0;
    ExpectNearGrid(src.get(), even ? chain : before_last, 1e-3, what + " (src)");
    if (!even) {
      double diff = 0;
      for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 16; ++c) diff += std::fabs(At<float>(src.get(), r, c) - At<float>(dst.get(), r, c));
      EXPECT_GT(diff, 1.0) << what;
    }
  }
}

// The whole chain gives the sequential passes' floats in dst, and in src
// the last result (even chains) or the one before (odd chains), in place or
// not, on either register width.
TEST(FastGaussBlur, ChainsGiveTheSequentialPassesBitForBit) {
  const int shapes[][2] = {{1, 1}, {5, 3}, {19, 23}, {40, 37}, {17, 96}};
  for (bool four : {false, true}) {
    FourLanesOnly lanes(four);
    for (const Chain &ch : Chains()) {
      for (const auto &shape : shapes) {
        for (bool inPlace : {false, true}) {
          const std::string what = std::string(four ? "four lanes " : "") + "mode " +
                                   std::to_string(ch.mode) + " level " + std::to_string(ch.level) +
                                   " " + std::to_string(shape[0]) + "x" + std::to_string(shape[1]) +
                                   (inPlace ? " in place" : "");
          ImagePtr src = RandomImage(shape[0], shape[1], 7u * ch.level + shape[1]);
          ImagePtr dst = NewImage(shape[0], shape[1], DEPTH_32F);
          std::vector<float> chain = SequentialBoxPass(src.get(), 0), beforeLast = chain;
          ImagePtr step = NewImage(shape[0], shape[1], DEPTH_32F);
          for (int16_t size : ch.sizes) {
            beforeLast = chain;
            Fill<float>(step.get(), [&](int r, int c) { return chain[static_cast<size_t>(r) * shape[1] + c]; });
            chain = SequentialBoxPass(step.get(), size);
          }
          ST_Image *out = inPlace ? src.get() : dst.get();
          ASSERT_EQ(FastGaussBlur(src.get(), out, ch.level, ch.mode), 1) << what;
          ExpectBits(out, chain, what);
          if (!inPlace) ExpectBits(src.get(), ch.sizes.size() % 2 == 0 ? chain : beforeLast, what + " (src)");
        }
      }
    }
  }
}

TEST(FastGaussBlur, InPlaceAndRefusals) {
  ImagePtr img = RandomImage(9, 14, 3);
  Grid want = Read(img.get());
  for (int16_t size : {3, 3, 5}) want = BoxMean(want, size);
  ASSERT_EQ(FastGaussBlur(img.get(), img.get(), 2, 0), 1);
  ExpectNearGrid(img.get(), want, 1e-3, "in place");

  ImagePtr other = NewImage(14, 9, DEPTH_32F);
  LibLogCapture log;
  EXPECT_EQ(FastGaussBlur(img.get(), img.get(), 6, 0), 0);
  EXPECT_EQ(FastGaussBlur(img.get(), other.get(), 1, 0), 0);
  EXPECT_EQ(FastGaussBlur(nullptr, other.get(), 1, 0), 0);
  EXPECT_EQ(log.Messages().size(), 3u);
}

TEST(FastGaussBlur, EveryFailedAllocationIsReported) {
  // Allocations: the scratch record (its data is a kept block), then one
  // column-sum row per pass. A pass that cannot run fails the whole blur.
  ImagePtr src = RandomImage(8, 12, 5);
  ImagePtr dst = NewImage(8, 12, DEPTH_32F);
  for (int nth = 0;; ++nth) {
    const int32_t start = ZqGetMallocCnts();
    LibLogCapture log;
    HeapFailureAt fail(nth);
    const int32_t ret = FastGaussBlur(src.get(), dst.get(), 1, 0);
    EXPECT_EQ(ZqGetMallocCnts(), start);
    if (!fail.Fired()) {
      EXPECT_EQ(ret, 1);
      EXPECT_EQ(nth, 1 + 4);
      break;
    }
    EXPECT_EQ(ret, 0) << nth;
  }
}

TEST(ZqIntiGaussPyrPara, ReproducesTheCompiledInLevels) {
  ASSERT_EQ(ZqIntiGaussPyrPara(1, 6, 1.6f, 0.5f), 0);
  ASSERT_EQ(gGaussPyrPara.count, 6u);
  for (int j = 0; j < 6; ++j) {
    EXPECT_EQ(gGaussPyrPara.kernelSize[j], GaussKernelSize[j]) << j;
    for (int i = 0; i < GaussKernelSize[j] / 2 + 1; ++i)
      EXPECT_FLOAT_EQ(gGaussPyrPara.kernel[j][i], GaussKernelExp[j][i]) << j << "," << i;
  }
  EXPECT_NEAR(gGaussPyrPara.kernel[5][1], 0.94898f, 1e-5f);
  ZqReleaseGaussPyrPara();
  EXPECT_EQ(gGaussPyrPara.count, 0u);
}

TEST(ZqIntiGaussPyrPara, SigmasOfAnOctave) {
  // Not doubled, five levels: k = sqrt(2), sigma0 = sqrt(1.6^2 - 0.5^2).
  ASSERT_EQ(ZqIntiGaussPyrPara(0, 5, 1.6f, 0.5f), 0);
  const double k = std::sqrt(2.0);
  double sigma[5] = {std::sqrt(1.6 * 1.6 - 0.25), 1.6 * std::sqrt(k * k - 1)};
  for (int j = 2; j < 5; ++j) sigma[j] = sigma[j - 1] * k;
  const int sizes[5] = {11, 11, 15, 21, 29};
  ASSERT_EQ(gGaussPyrPara.count, 5u);
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(gGaussPyrPara.kernelSize[j], sizes[j]) << j;
    for (int i = 0; i <= sizes[j] / 2; ++i)
      EXPECT_NEAR(gGaussPyrPara.kernel[j][i], std::exp(-i * i / (2 * sigma[j] * sigma[j])), 1e-6)
          << j << "," << i;
  }
  ZqReleaseGaussPyrPara();
}

TEST(ZqIntiGaussPyrPara, RefusalsKeepTheEarlierParameters) {
  ASSERT_EQ(ZqIntiGaussPyrPara(1, 6, 1.6f, 0.5f), 0);
  const uint16_t *sizes = gGaussPyrPara.kernelSize;
  struct Case {
    uint8_t doubled;
    int32_t levels;
    float sigma, initSigma;
  } cases[] = {
      {1, 3, 1.6f, 0.5f},  {1, 6, 0.0f, 0.5f},  {1, 6, 1.6f, 0.0f},   {1, 6, -1.0f, 0.5f},
      {1, 6, 1.0f, 0.5f},  // no blur left to add: sigma equals the doubled input's
      {0, 6, 0.4f, 0.5f},  {0, 6, 20000.0f, 0.5f},  // a kernel wider than 65535
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqIntiGaussPyrPara(c.doubled, c.levels, c.sigma, c.initSigma), -1)
        << c.levels << " " << c.sigma << " " << c.initSigma;
    EXPECT_EQ(gGaussPyrPara.count, 6u);
    EXPECT_EQ(gGaussPyrPara.kernelSize, sizes);
  }
  ZqReleaseGaussPyrPara();
}

TEST(ZqIntiGaussPyrPara, AllocationFailuresLeaveItEmpty) {
  const int32_t start = ZqGetMallocCnts();
  for (int nth = 0;; ++nth) {
    HeapFailureAt fail(nth);
    const int32_t ret = ZqIntiGaussPyrPara(1, 4, 1.6f, 0.5f);
    if (!fail.Fired()) {
      EXPECT_EQ(ret, 0);
      EXPECT_EQ(nth, 2 + 4);
      break;
    }
    EXPECT_EQ(ret, -2) << nth;
    EXPECT_EQ(gGaussPyrPara.count, 0u);
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
  ZqReleaseGaussPyrPara();
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

// Normalised full kernel of a compiled-in level.
std::vector<double> Kernel(int level) {
  const int size = GaussKernelSize[level], c = size / 2;
  std::vector<double> k(size);
  double sum = 0;
  for (int i = 0; i < size; ++i) sum += k[i] = GaussKernelExp[level][std::abs(i - c)];
  for (double &v : k) v /= sum;
  return k;
}

TEST(ZqGaussianSmooth, ImpulseResponsesInsideAndAtTheCorner) {
  for (int level = 0; level < 6; ++level) {
    const std::vector<double> k = Kernel(level);
    const int c = static_cast<int>(k.size()) / 2;
    // Every output around the inner impulse has its whole window inside.
    ImagePtr src = NewImage(41, 47, DEPTH_32F);
    ImagePtr dst = NewImage(41, 47, DEPTH_32F);
    At<float>(src.get(), 20, 23) = 1000.0f;
    At<float>(src.get(), 0, 0) = 1000.0f;
    ASSERT_EQ(ZqGaussianSmooth(src.get(), dst.get(), level), 0);
    for (int a = -c; a <= c; ++a)
      for (int b = -c; b <= c; ++b)
        ASSERT_NEAR(At<float>(dst.get(), 20 + a, 23 + b), 1000.0 * k[c + a] * k[c + b], 1e-3)
            << level << " " << a << "," << b;
    // At the corner only the taps inside count, renormalised by their
    // weight, in both passes.
    double inside = 0;
    for (int t = c; t < static_cast<int>(k.size()); ++t) inside += k[t];
    EXPECT_NEAR(At<float>(dst.get(), 0, 0), 1000.0 * (k[c] / inside) * (k[c] / inside), 1e-2) << level;
  }
}

TEST(ZqGaussianSmooth, ConstantStaysAndRunTimeKernelsAgree) {
  ImagePtr flat = NewImage(7, 12, DEPTH_32F);  // smaller than the widest kernel
  Fill<float>(flat.get(), [](int, int) { return 42.0f; });
  ImagePtr random = RandomImage(14, 20, 11);
  ASSERT_EQ(ZqIntiGaussPyrPara(1, 6, 1.6f, 0.5f), 0);
  for (int level = 0; level < 6; ++level) {
    ImagePtr out = NewImage(7, 12, DEPTH_32F);
    ASSERT_EQ(ZqGaussianSmooth(flat.get(), out.get(), level), 0);
    for (int r = 0; r < 7; ++r)
      for (int c = 0; c < 12; ++c) ASSERT_NEAR(At<float>(out.get(), r, c), 42.0f, 1e-4f) << level;

    ImagePtr a = NewImage(14, 20, DEPTH_32F);
    ASSERT_EQ(ZqGaussianSmooth(random.get(), a.get(), level), 0);
    ImagePtr b(ZqCloneImage(random.get()));
    ASSERT_EQ(ZqGaussianSmooth_debug(b.get(), b.get(), level), 0);  // in place
    ExpectNearGrid(b.get(), Read(a.get()), 1e-4, "level " + std::to_string(level));
  }
  ZqReleaseGaussPyrPara();
}

TEST(ZqGaussianSmooth, Refusals) {
  ImagePtr a = NewImage(6, 8, DEPTH_32F);
  ImagePtr swapped = NewImage(8, 6, DEPTH_32F);
  {
    LibLogCapture log;
    EXPECT_EQ(ZqGaussianSmooth(a.get(), a.get(), 6), -1);
    EXPECT_EQ(ZqGaussianSmooth(a.get(), a.get(), -1), -1);
    EXPECT_EQ(ZqGaussianSmooth(a.get(), swapped.get(), 0), -1);
    EXPECT_EQ(ZqGaussianSmooth_debug(a.get(), a.get(), 0), -1);  // no parameters yet
    EXPECT_EQ(log.Messages().size(), 4u);
  }
  // A run-time level whose kernel is a single tap.
  ASSERT_EQ(ZqIntiGaussPyrPara(0, 4, 0.15f, 0.1f), 0);
  ASSERT_EQ(gGaussPyrPara.kernelSize[0], 1);
  LibLogCapture log;
  EXPECT_EQ(ZqGaussianSmooth_debug(a.get(), a.get(), 0), -1);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ZqGaussianSmooth...ksize < 3"});
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Lines()[0].find("error at ZqGaussianSmooth_debug("), std::string::npos);
  ZqReleaseGaussPyrPara();
}

TEST(ZqGaussianSmooth, AllocationFailures) {
  ImagePtr src = RandomImage(6, 9, 2);
  ImagePtr dst = NewImage(6, 9, DEPTH_32F);
  const char *last[] = {"ZqGaussianSmooth...pKernel == NULL", "ZqGaussianSmooth...pImg == NULL",
                        "ZqGaussianSmooth...pImg == NULL", "ZqGaussianSmooth...pTemp == NULL"};
  for (int nth = 0; nth < 4; ++nth) {
    const int32_t start = ZqGetMallocCnts();
    LibLogCapture log;
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqGaussianSmooth(src.get(), dst.get(), 2), -1);
      EXPECT_TRUE(fail.Fired());
    }
    ASSERT_FALSE(log.Messages().empty());
    EXPECT_EQ(log.Messages().back(), last[nth]);
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
}

}  // namespace
