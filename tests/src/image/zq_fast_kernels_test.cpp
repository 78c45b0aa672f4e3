// The fast paths of the hot 8-bit and float kernels against plain scalar
// versions (zq_kernel_reference.h), bit for bit, on seeded images of many
// odd sizes: uniform noise, pure black-and-white noise (which covers every
// ordering case of the rank filters) and smooth ramps with flat patches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqGaussSmooth.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqStretch.h"
#include "src/image/fft/ZqFft.h"
#include "src/image/fft/ZqFftBlocks.h"
#include "src/image/fft/ZqFftCore.h"
#include "zq_kernel_reference.h"

namespace {

struct Size {
  int32_t rows, cols;
};

// Many shapes: single pixels and lines, sizes around the vector widths
// (15, 16, 17, 31, 33), and the sensor sizes.
const Size kSizes[] = {{1, 1},   {1, 9},   {9, 1},   {2, 3},   {3, 2},    {5, 17},
                       {17, 5},  {15, 16}, {16, 15}, {31, 33}, {33, 31},  {47, 65},
                       {96, 96}, {97, 61}, {61, 97}, {160, 160}, {256, 360}};

enum class Pattern { kNoise, kBlackWhite, kRamp };

std::vector<uint8_t> MakeImage(Size s, Pattern p, uint32_t seed) {
  std::mt19937 rng(seed * 7919u + static_cast<uint32_t>(s.rows * 1000 + s.cols));
  std::vector<uint8_t> img(static_cast<size_t>(s.rows) * s.cols);
  for (int32_t y = 0; y < s.rows; ++y)
    for (int32_t x = 0; x < s.cols; ++x) {
      uint8_t &v = img[static_cast<size_t>(y) * s.cols + x];
      switch (p) {
        case Pattern::kNoise: v = static_cast<uint8_t>(rng()); break;
        case Pattern::kBlackWhite: v = (rng() % 3 == 0) ? 255 : 0; break;
        case Pattern::kRamp: v = ((x / 7 + y / 5) % 3 == 0) ? 200 : static_cast<uint8_t>(3 * x + 2 * y + rng() % 4); break;
      }
    }
  return img;
}

std::string Where(Size s, Pattern p, int param) {
  return std::to_string(s.rows) + "x" + std::to_string(s.cols) + " pattern " +
         std::to_string(static_cast<int>(p)) + " param " + std::to_string(param);
}

// Runs fn over every size and pattern with a fresh image.
template <typename Fn>
void ForEachImage(Fn fn) {
  for (Size s : kSizes)
    for (Pattern p : {Pattern::kNoise, Pattern::kBlackWhite, Pattern::kRamp})
      fn(s, p, MakeImage(s, p, static_cast<uint32_t>(p) + 1));
}

TEST(FastKernels, MedianFilterMatchesSortedWindows) {
  ForEachImage([](Size s, Pattern p, const std::vector<uint8_t> &img) {
    for (int r : {0, 1, 2, 3}) {
      std::vector<uint8_t> want(img.size()), got(img.size(), 7), inPlace = img;
      zq_ref::Median(img.data(), s.cols, s.rows, r, want.data());
      ASSERT_EQ(ZqMedianFilter(img.data(), static_cast<uint16_t>(s.cols),
                               static_cast<uint16_t>(s.rows), static_cast<uint16_t>(r), got.data()),
                0);
      ASSERT_EQ(got, want) << Where(s, p, r);
      ASSERT_EQ(ZqMedianFilter(inPlace.data(), static_cast<uint16_t>(s.cols),
                               static_cast<uint16_t>(s.rows), static_cast<uint16_t>(r),
                               inPlace.data()),
                0);
      ASSERT_EQ(inPlace, want) << "in place " << Where(s, p, r);
    }
  });
}

TEST(FastKernels, DilateAndErodeMatchWindowScans) {
  const std::pair<int, int> windows[] = {{1, 1}, {3, 3}, {2, 5}, {5, 2}, {4, 4}, {7, 1},
                                         {1, 7}, {15, 15}, {31, 31}, {40, 3}};
  for (int sixteen : {0, 1}) {
  ZqMorphologySixteenLanesForTest(sixteen);
  ForEachImage([&](Size s, Pattern p, const std::vector<uint8_t> &img) {
    for (auto [kx, ky] : windows)
      for (bool dilate : {true, false}) {
        std::vector<uint8_t> want(img.size()), got(img.size(), 7), inPlace = img;
        zq_ref::Morph(dilate, img.data(), s.rows, s.cols, kx, ky, want.data());
        auto run = dilate ? ZqDilate : ZqErode;
        ASSERT_EQ(run(img.data(), s.rows, s.cols, 0, kx, ky, got.data()), 0);
        ASSERT_EQ(got, want) << (dilate ? "dilate " : "erode ") << kx << " " << Where(s, p, ky);
        ASSERT_EQ(run(inPlace.data(), s.rows, s.cols, 0, kx, ky, inPlace.data()), 0);
        ASSERT_EQ(inPlace, want) << "in place " << Where(s, p, ky);
      }
  });
  }
  ZqMorphologySixteenLanesForTest(0);
}

TEST(FastKernels, BoxMeansMatchWindowSums) {
  ForEachImage([](Size s, Pattern p, const std::vector<uint8_t> &img) {
    for (int r : {0, 1, 2, 3, 7}) {
      std::vector<uint8_t> want(img.size()), got(img.size(), 7);
      // Running-sum box (reflect-101, rounded), mean and raw low byte.
      const int k = 2 * r + (r % 2);  // odd and even sizes of the same radius
      if (k >= 2 && k < s.rows && k < s.cols) {
        for (uint8_t norm : {uint8_t{1}, uint8_t{0}}) {
          zq_ref::Box8uV2(img.data(), s.rows, s.cols, k, want.data(), norm != 0);
          ASSERT_EQ(ZqBoxFilter_8u_v2(img.data(), s.rows, s.cols, k, got.data(), norm), 0);
          ASSERT_EQ(got, want) << "v2 norm " << int{norm} << " " << Where(s, p, k);
        }
      }
      // Integral box (reflect with the edge), separate half-widths.
      for (int b : {0, r, r + 1}) {
        zq_ref::BoxU8(img.data(), s.cols, s.rows, r, b, want.data());
        ASSERT_EQ(ZqBoxFilter_u8(img.data(), s.cols, s.rows, r, b, got.data()), 0);
        ASSERT_EQ(got, want) << "u8 b " << b << " " << Where(s, p, r);
      }
      // MeanImage (reflect-101, truncated), also in place.
      std::vector<uint8_t> inPlace = img;
      zq_ref::MeanImage(img.data(), s.cols, s.rows, r, want.data());
      ASSERT_EQ(MeanImage(inPlace.data(), static_cast<uint16_t>(s.cols),
                          static_cast<uint16_t>(s.rows), static_cast<uint16_t>(r),
                          inPlace.data()),
                0);
      ASSERT_EQ(inPlace, want) << "MeanImage " << Where(s, p, r);
    }
  });
}

TEST(FastKernels, FixedPointGaussiansMatchTapByTapSums) {
  // The computed kernels, a caller's symmetric kernel and an asymmetric
  // one: the groups of four pair taps under the left weight, the rest not.
  const std::vector<int32_t> symmetric = {-3000, 9000, 53536, 9000, -3000};
  const std::vector<int32_t> negative = {-1000, 4000, 20000, 19536, 20000, 4000, -1000};
  const std::vector<int32_t> lopsided = {1000, 30000, 20000, 9000, 5536};
  const std::vector<int32_t> wide = {40000, 70000, -44464, 70000, 40000};  // beyond 16 bits
  ForEachImage([&](Size s, Pattern p, const std::vector<uint8_t> &img) {
    struct Case {
      int ksize;
      float sigma;
      const std::vector<int32_t> *kernel;
    };
    const Case cases[] = {{3, 0, nullptr},  {5, 0, nullptr},    {7, 0, nullptr},
                          {9, 2.0f, nullptr}, {5, 0, &symmetric}, {7, 0, &negative},
                          {5, 0, &lopsided},  {5, 0, &wide}};
    for (const Case &c : cases) {
      const int32_t n = c.ksize | 1;
      std::vector<int32_t> k;
      if (c.kernel != nullptr) {
        k = *c.kernel;
      } else {
        std::vector<float> fk(n);
        ZqGetGaussianKernel(fk.data(), n, c.sigma);
        for (float v : fk) k.push_back(static_cast<int32_t>(std::lround(v * 65536.0)));
      }
      std::vector<uint8_t> want(img.size()), got = img;
      zq_ref::FixedBlur8u(img.data(), s.rows, s.cols, k.data(), n, want.data());
      ASSERT_EQ(ZqGaussianBlur_8u(got.data(), s.rows, s.cols, c.ksize, c.kernel ? k.data() : nullptr,
                                  got.data(), c.sigma),
                0);
      ASSERT_EQ(got, want) << "8u ksize " << c.ksize << " " << Where(s, p, c.kernel ? 1 : 0);
      if (c.kernel != nullptr) {
        got = img;
        ASSERT_EQ(ZqImgGaussianblur(got.data(), s.rows, s.cols, c.ksize, k.data(), got.data(), 0), 0);
        ASSERT_EQ(got, want) << "stretch " << Where(s, p, c.ksize);
      }
    }
  });
}

TEST(FastKernels, GaussianSmoothMatchesTapOrderSums) {
  for (int fourLanes : {0, 1}) {
  ZqGaussianSmoothFourLanesForTest(fourLanes);
  for (Size s : kSizes) {
    ST_Size size = {s.rows, s.cols};
    ST_Image *src = ZqCreateImage(&size, DEPTH_32F);
    ST_Image *dst = ZqCreateImage(&size, DEPTH_32F);
    ASSERT_NE(src, nullptr);
    ASSERT_NE(dst, nullptr);
    std::mt19937 rng(static_cast<uint32_t>(s.rows * 131 + s.cols));
    std::uniform_real_distribution<float> grey(-20.0f, 280.0f);
    std::vector<float> flat(static_cast<size_t>(s.rows) * s.cols), want(flat.size());
    for (int32_t y = 0; y < s.rows; ++y)
      for (int32_t x = 0; x < s.cols; ++x)
        ZqImgRow<float>(src, y)[x] = flat[static_cast<size_t>(y) * s.cols + x] = grey(rng);
    for (int level = 0; level < ZQ_GAUSS_LEVELS; ++level) {
      zq_ref::GaussSmooth(flat.data(), s.cols, s.rows, GaussKernelSize[level],
                          GaussKernelExp[level], want.data());
      ASSERT_EQ(ZqGaussianSmooth(src, dst, level), 0);
      for (int32_t y = 0; y < s.rows; ++y)
        ASSERT_EQ(std::memcmp(ZqImgRow<float>(dst, y), want.data() + static_cast<size_t>(y) * s.cols,
                              sizeof(float) * static_cast<size_t>(s.cols)),
                  0)
            << s.rows << "x" << s.cols << " level " << level << " row " << y << " four lanes "
            << fourLanes;
    }
    ZqReleaseImage(&dst);
    ZqReleaseImage(&src);
  }
  }
  ZqGaussianSmoothFourLanesForTest(0);
}

// ---- 2-D FFT ----------------------------------------------------------------

// Every line count the 2-D transform may carry at once: eight lines (AVX),
// four, and one at a time.
const int32_t kFftLanes[] = {8, 4, 1};

// fft2D as the scalar 1-D transform applied column by column, then row by
// row with the 1 / (rows cols) scale of the inverse.
std::vector<ST_Complex32f> ScalarFft2D(std::vector<ST_Complex32f> a, Size s, int direction) {
  const float scale = direction ? 1.0f / static_cast<float>(s.rows * s.cols) : 1.0f;
  auto lines = [&](int n, int count, int64_t lineStep, int64_t pointStep, float sc) {
    if (n < 2) {
      if (sc != 1.0f)
        for (auto &c : a) c = {c.re * sc, c.im * sc};
      return;
    }
    int stages[zq_fft::kMaxFactors];
    const int ns = zq_fft::fftStages(n, stages);
    std::vector<int> perm(n);
    std::vector<ST_Complex32f> tw(n), scratch(n), line(n);
    zq_fft::fftInitTables(n, ns, stages, perm.data(), tw.data());
    for (int l = 0; l < count; ++l) {
      for (int i = 0; i < n; ++i) line[i] = a[l * lineStep + i * pointStep];
      zq_fft::fftTransform1D(line.data(), n, ns, stages, perm.data(), tw.data(), scratch.data(),
                             direction, sc);
      for (int i = 0; i < n; ++i) a[l * lineStep + i * pointStep] = line[i];
    }
  };
  lines(s.rows, s.cols, 1, s.cols, 1.0f);
  lines(s.cols, s.rows, s.cols, 1, scale);
  return a;
}

template <class T>
bool SameBits(const std::vector<T> &a, const std::vector<T> &b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(T) * a.size()) == 0;
}

// Sides with every radix (2, 4, 3, 5 and the generic 7, 11, 13), multiples
// of eight and of four only (the blocks), and others (the line-by-line
// transform), around the sensor sizes.
const Size kFftSizes[] = {{1, 8},   {8, 1},   {2, 3},   {3, 5},   {4, 4},    {5, 7},
                          {7, 9},   {11, 6},  {13, 17}, {16, 15}, {30, 22},  {8, 8},
                          {4, 12},  {12, 20}, {24, 40}, {56, 8},  {8, 88},   {104, 16},
                          {36, 28}, {80, 64}, {80, 128}, {96, 96}, {100, 60}, {360, 256}};

// fft2D against the scalar lines in both directions, apart and in place,
// at every line count.
TEST(FastKernels, Fft2DMatchesScalarLines) {
  for (Size s : kFftSizes)
    for (int direction : {0, 1}) {
      std::mt19937 rng(static_cast<uint32_t>(s.rows * 77 + s.cols + direction));
      std::uniform_real_distribution<float> v(-100.0f, 300.0f);
      std::vector<ST_Complex32f> in(static_cast<size_t>(s.rows) * s.cols);
      for (auto &c : in) c = {v(rng), direction ? v(rng) : 0.0f};
      const std::vector<ST_Complex32f> want = ScalarFft2D(in, s, direction);
      for (int32_t lanes : kFftLanes) {
        SCOPED_TRACE(::testing::Message() << s.rows << "x" << s.cols << " direction " << direction
                                          << " lanes " << lanes);
        ZqFftLanesForTest(lanes);
        std::vector<ST_Complex32f> got(in.size()), inPlace = in;
        ASSERT_EQ(zq_fft::fft2D(in.data(), s.rows, s.cols, direction, got.data()), 0);
        ASSERT_EQ(zq_fft::fft2D(inPlace.data(), s.rows, s.cols, direction, inPlace.data()), 0);
        EXPECT_TRUE(SameBits(got, want));
        EXPECT_TRUE(SameBits(inPlace, want)) << "in place";
      }
    }
  ZqFftLanesForTest(8);
}

// Pixels for the image transforms: signed zeros among small values (a zero
// sum keeps the sign only when every term is -0), or values with infinities
// and NaNs.
std::vector<float> FftPixels(Size s, bool special, uint32_t seed) {
  std::mt19937 rng(seed + static_cast<uint32_t>(s.rows * 131 + s.cols));
  std::vector<float> img(static_cast<size_t>(s.rows) * s.cols);
  for (float &f : img) {
    const uint32_t r = rng();
    f = static_cast<float>(r % 511) - 255.0f;
    if (!special && r % 3 == 0) f = (r >> 8) % 2 ? -0.0f : 0.0f;
    if (special && r % 89 == 0) f = (r >> 8) % 2 ? NAN : -NAN;
    if (special && r % 97 == 1) f = (r >> 8) % 2 ? INFINITY : -INFINITY;
  }
  return img;
}

// The same value: the same bits, or NaN in both (a NaN's sign depends on
// which of two NaN operands the processor passes on; fftTransform1D and the
// lanes already differ in it).
bool SameValues(const float *a, const float *b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0 && !(std::isnan(a[i]) && std::isnan(b[i])))
      return false;
  return true;
}

// The image transforms at every line count against the scalar lines: the
// forward transforms of float and 8-bit images (in the caller's buffer and
// a spectrum overlapping the pixels), and the inverses back to floats and
// clamped bytes.
TEST(FastKernels, ImageFftMatchesScalarLines) {
  for (Size s : kFftSizes)
    for (bool special : {false, true}) {
      const std::vector<float> img = FftPixels(s, special, 5);
      const size_t n = img.size();
      std::vector<uint8_t> bytes(n);
      for (size_t i = 0; i < n; ++i)
        bytes[i] = std::isfinite(img[i]) ? static_cast<uint8_t>(static_cast<int>(img[i]) & 255) : 0;
      std::vector<ST_Complex32f> fromFloat(n), fromBytes(n);
      for (size_t i = 0; i < n; ++i) {
        fromFloat[i] = {img[i], 0.0f};
        fromBytes[i] = {static_cast<float>(bytes[i]), 0.0f};
      }
      const std::vector<ST_Complex32f> wantFloat = ScalarFft2D(fromFloat, s, 0);
      const std::vector<ST_Complex32f> wantBytes = ScalarFft2D(fromBytes, s, 0);
      // Inverse of the spectrum of the bytes (finite, so clamping is defined).
      const std::vector<ST_Complex32f> back = ScalarFft2D(wantBytes, s, 1);
      std::vector<float> wantReal(n);
      std::vector<uint8_t> wantClamped(n);
      for (size_t i = 0; i < n; ++i) {
        const float v = back[i].re;
        wantReal[i] = v;
        wantClamped[i] = v <= 0.0f ? 0 : v >= 255.0f ? 255 : static_cast<uint8_t>(v);
      }
      for (int32_t lanes : kFftLanes) {
        SCOPED_TRACE(::testing::Message() << s.rows << "x" << s.cols << " special " << special
                                          << " lanes " << lanes);
        ZqFftLanesForTest(lanes);
        std::vector<ST_Complex32f> spectrum(n);
        ASSERT_EQ(ZqImgFFT_32f(img.data(), s.rows, s.cols, spectrum.data()), 0);
        EXPECT_TRUE(SameValues(&spectrum[0].re, &wantFloat[0].re, 2 * n)) << "float pixels";
        // Pixels in the first half of the spectrum's own buffer.
        std::vector<ST_Complex32f> shared(n);
        std::memcpy(shared.data(), img.data(), n * sizeof(float));
        ASSERT_EQ(ZqImgFFT_32f(&shared[0].re, s.rows, s.cols, shared.data()), 0);
        EXPECT_TRUE(SameValues(&shared[0].re, &wantFloat[0].re, 2 * n)) << "overlapping";
        ASSERT_EQ(imgFFT(bytes.data(), s.rows, s.cols, spectrum.data()), 0);
        EXPECT_TRUE(SameBits(spectrum, wantBytes)) << "byte pixels";
        std::vector<float> real(n);
        ASSERT_EQ(ZqRealImgIFFT_32f(wantBytes.data(), s.rows, s.cols, real.data()), 0);
        EXPECT_TRUE(SameBits(real, wantReal)) << "inverse to floats";
        std::vector<uint8_t> clamped(n);
        ASSERT_EQ(realImgIFFT(wantBytes.data(), s.rows, s.cols, clamped.data()), 0);
        EXPECT_TRUE(SameBits(clamped, wantClamped)) << "inverse to bytes";
      }
    }
  ZqFftLanesForTest(8);
}

}  // namespace
