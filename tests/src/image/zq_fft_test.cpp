// The 2-D FFT against a direct DFT, its tables and shifts, and the
// frequency-domain filters.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "src/alloc_fault.h"
#include "src/image/fft/ZqFft.h"
#include "src/image/fft/ZqFftCore.h"

namespace {

using cd = std::complex<double>;
using zq_fft::fft2D;

// Deterministic pseudo-random values in [-1, 1).
std::vector<ST_Complex32f> Noise(int n, uint32_t seed) {
  std::vector<ST_Complex32f> v(n);
  for (auto &c : v) {
    seed = seed * 1664525u + 1013904223u;
    c.re = static_cast<float>((seed >> 8) / double(1 << 24) * 2 - 1);
    seed = seed * 1664525u + 1013904223u;
    c.im = static_cast<float>((seed >> 8) / double(1 << 24) * 2 - 1);
  }
  return v;
}

// Direct DFT in double precision, applied to columns and then rows (the
// 2-D DFT is separable), sign -1 forward.
std::vector<cd> Dft2(const std::vector<ST_Complex32f> &in, int rows, int cols) {
  std::vector<cd> a(in.size()), b(in.size());
  for (size_t i = 0; i < in.size(); ++i) a[i] = cd(in[i].re, in[i].im);
  for (int x = 0; x < cols; ++x)
    for (int u = 0; u < rows; ++u) {
      cd s = 0;
      for (int y = 0; y < rows; ++y)
        s += a[y * cols + x] * std::polar(1.0, -2 * M_PI * u * y / rows);
      b[u * cols + x] = s;
    }
  for (int u = 0; u < rows; ++u)
    for (int v = 0; v < cols; ++v) {
      cd s = 0;
      for (int x = 0; x < cols; ++x)
        s += b[u * cols + x] * std::polar(1.0, -2 * M_PI * v * x / cols);
      a[u * cols + v] = s;
    }
  return a;
}

struct Size {
  int rows, cols;
};
const Size kSizes[] = {{1, 64}, {2, 3}, {3, 5}, {7, 11},  {9, 25}, {64, 64}, {96, 80},
                       {1, 1},  {4, 1}, {3, 3}, {13, 17}, {6, 10}, {1, 360}};

TEST(Fft2D, MatchesTheDirectTransform) {
  for (const Size &s : kSizes) {
    SCOPED_TRACE(::testing::Message() << s.rows << " x " << s.cols);
    const int n = s.rows * s.cols;
    std::vector<ST_Complex32f> in = Noise(n, 7u + n), out(n);
    ASSERT_EQ(fft2D(in.data(), s.rows, s.cols, 0, out.data()), 0);
    std::vector<cd> want = Dft2(in, s.rows, s.cols);
    double peak = 0, err = 0;
    for (int i = 0; i < n; ++i) {
      peak = std::max(peak, std::abs(want[i]));
      err = std::max(err, std::abs(want[i] - cd(out[i].re, out[i].im)));
    }
    EXPECT_LT(err, 1e-4 * peak);
  }
}

TEST(Fft2D, InverseReturnsTheInputInPlace) {
  for (const Size &s : kSizes) {
    SCOPED_TRACE(::testing::Message() << s.rows << " x " << s.cols);
    const int n = s.rows * s.cols;
    const std::vector<ST_Complex32f> in = Noise(n, 99u + n);
    std::vector<ST_Complex32f> x = in;
    ASSERT_EQ(fft2D(x.data(), s.rows, s.cols, 0, x.data()), 0);
    ASSERT_EQ(fft2D(x.data(), s.rows, s.cols, 1, x.data()), 0);
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(x[i].re, in[i].re, 1e-4) << i;
      EXPECT_NEAR(x[i].im, in[i].im, 1e-4) << i;
    }
  }
}

TEST(Fft2D, RejectsBadArguments) {
  std::vector<ST_Complex32f> a(4);
  EXPECT_EQ(fft2D(nullptr, 2, 2, 0, a.data()), -1);
  EXPECT_EQ(fft2D(a.data(), 0, 2, 0, a.data()), -1);
  EXPECT_EQ(fft2D(a.data(), 2, 65536, 0, a.data()), -1);
  EXPECT_EQ(fft2D(a.data(), 2, 2, 2, a.data()), -1);
}

TEST(FftTables, FactorsAndTwiddles) {
  struct Case {
    int n;
    std::vector<int> factors;
  } cases[] = {
      {6, {2, 3}},  {360, {8, 5, 3, 3}}, {45, {5, 3, 3}}, {64, {64}},
      {49, {7, 7}}, {77, {11, 7}},       {97, {97}},      {96, {32, 3}},
  };
  for (const Case &c : cases) {
    int f[zq_fft::kMaxFactors];
    const int nf = zq_fft::fftFactorize(c.n, f);
    EXPECT_EQ(std::vector<int>(f, f + nf), c.factors) << c.n;
  }
  // w[k] = exp(-2 pi i k / n), including n = 3 (negative cosine).
  for (int n : {3, 8, 12, 25}) {
    int stages[zq_fft::kMaxFactors];
    const int ns = zq_fft::fftStages(n, stages);
    std::vector<int> perm(n);
    std::vector<ST_Complex32f> tw(n);
    zq_fft::fftInitTables(n, ns, stages, perm.data(), tw.data());
    for (int k = 0; k < n; ++k) {
      EXPECT_NEAR(tw[k].re, cos(2 * M_PI * k / n), 1e-6) << n << " " << k;
      EXPECT_NEAR(tw[k].im, -sin(2 * M_PI * k / n), 1e-6) << n << " " << k;
    }
    std::vector<int> sorted = perm;
    std::sort(sorted.begin(), sorted.end());
    for (int k = 0; k < n; ++k) EXPECT_EQ(sorted[k], k);  // a permutation
  }
}

TEST(FftShift, CentreAndBackAreInverse) {
  const int rows = 3, cols = 5;
  std::vector<ST_Complex32f> s(rows * cols);
  for (int i = 0; i < rows * cols; ++i) s[i] = {static_cast<float>(i), 0};
  ASSERT_EQ(zq_fft::fftShiftCenter(s.data(), rows, cols), 0);
  EXPECT_EQ(s[1 * cols + 2].re, 0);   // (0, 0) -> (rows/2, cols/2)
  EXPECT_EQ(s[2 * cols + 4].re, 7);   // (1, 2) -> (2, 4)
  EXPECT_EQ(s[0 * cols + 0].re, 13);  // (2, 3) -> (0, 0)
  ASSERT_EQ(zq_fft::fftShiftBack(s.data(), rows, cols), 0);
  for (int i = 0; i < rows * cols; ++i) EXPECT_EQ(s[i].re, i);
}

// ---- image transforms ------------------------------------------------------

TEST(ImgFft, ConstantImageHasOnlyTheZeroFrequency) {
  const int rows = 6, cols = 10;
  std::vector<uint8_t> img(rows * cols, 7);
  std::vector<ST_Complex32f> spectrum(rows * cols);
  ASSERT_EQ(imgFFT(img.data(), rows, cols, spectrum.data()), 0);
  EXPECT_FLOAT_EQ(spectrum[0].re, 7.0f * rows * cols);
  for (int i = 1; i < rows * cols; ++i) {
    EXPECT_NEAR(spectrum[i].re, 0, 1e-3) << i;
    EXPECT_NEAR(spectrum[i].im, 0, 1e-3) << i;
  }
  EXPECT_EQ(imgFFT(nullptr, rows, cols, spectrum.data()), -1);
  EXPECT_EQ(imgFFT(img.data(), 0, cols, spectrum.data()), -1);
}

TEST(ImgFft, RoundTripsAndClampingOfTheInverse) {
  const int rows = 7, cols = 11;
  std::vector<uint8_t> img(rows * cols);
  for (int i = 0; i < rows * cols; ++i) img[i] = static_cast<uint8_t>(i * 37);
  std::vector<ST_Complex32f> spectrum(rows * cols);
  ASSERT_EQ(imgFFT(img.data(), rows, cols, spectrum.data()), 0);
  std::vector<float> back(rows * cols);
  ASSERT_EQ(ZqRealImgIFFT_32f(spectrum.data(), rows, cols, back.data()), 0);
  for (int i = 0; i < rows * cols; ++i) EXPECT_NEAR(back[i], img[i], 1e-3) << i;

  // Values below 0 clamp to 0, above 255 to 255, others truncate.
  std::vector<float> f = {-10.0f, 300.0f, 12.7f, 254.9f, 0.4f, 128.5f};
  std::vector<ST_Complex32f> s(6);
  ASSERT_EQ(ZqImgFFT_32f(f.data(), 2, 3, s.data()), 0);
  std::vector<uint8_t> out(6, 77);
  ASSERT_EQ(realImgIFFT(s.data(), 2, 3, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 255, 12, 254, 0, 128}));
  EXPECT_EQ(realImgIFFT(nullptr, 2, 3, out.data()), -1);
}

TEST(ImgFft, AllocationFailuresAreReported) {
  using testing_support::FailAllocationsAfter;
  using testing_support::StopAllocFailures;
  const int rows = 6, cols = 10;
  std::vector<uint8_t> img(rows * cols, 7), out(rows * cols, 77);
  std::vector<ST_Complex32f> spectrum(rows * cols);
  ASSERT_EQ(imgFFT(img.data(), rows, cols, spectrum.data()), 0);
  // 8 x 8 goes through the blocks of lines (tables, then line buffers).
  std::vector<uint8_t> img8(64, 9), out8(64, 77);
  std::vector<ST_Complex32f> spectrum8(64);
  ASSERT_EQ(imgFFT(img8.data(), 8, 8, spectrum8.data()), 0);
  struct Case {
    const char *name;
    int ok;  // allocations that succeed
    std::function<int32_t()> run;
    int32_t want;
  } cases[] = {
      {"forward: no image buffer", 0,
       [&] { return imgFFT(img.data(), rows, cols, spectrum.data()); }, -2},
      {"forward: the transform fails", 1,
       [&] {
         std::vector<ST_Complex32f> s(rows * cols);
         return imgFFT(img.data(), rows, cols, s.data());
       },
       -3},
      {"inverse: no buffer", 0,
       [&] { return realImgIFFT(spectrum.data(), rows, cols, out.data()); }, -2},
      // The inverse transform itself fails: reported, out left as it was.
      {"inverse: the transform fails", 1,
       [&] { return realImgIFFT(spectrum.data(), rows, cols, out.data()); }, -2},
      {"transform tables", 0,
       [&] {
         std::vector<ST_Complex32f> s(rows * cols);
         return zq_fft::fft2D(spectrum.data(), rows, cols, 0, s.data());
       },
       -2},
      {"forward in blocks: no line buffer", 2,
       [&] {
         std::vector<ST_Complex32f> s(64);
         return imgFFT(img8.data(), 8, 8, s.data());
       },
       -2},
      {"inverse in blocks: no buffer of the transposed rows", 4,
       [&] { return realImgIFFT(spectrum8.data(), 8, 8, out8.data()); }, -2},
      {"shift", 0, [&] { return zq_fft::fftShiftCenter(spectrum.data(), rows, cols); }, -2},
      {"energy", 0, [&] { return fftFilterEnergy(spectrum.data(), rows, cols, 0, 1.0f); }, -1},
      {"root enhancement", 0,
       [&] { return ZqRootEnhance(spectrum.data(), rows, cols, spectrum.data(), 1.0f); }, -2},
  };
  const std::vector<ST_Complex32f> before = spectrum;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FailAllocationsAfter(c.ok);
    const int32_t rc = c.run();
    StopAllocFailures();
    EXPECT_EQ(rc, c.want);
  }
  EXPECT_EQ(out, std::vector<uint8_t>(rows * cols, 77));
  EXPECT_EQ(out8, std::vector<uint8_t>(64, 77));
  for (int i = 0; i < rows * cols; ++i) EXPECT_EQ(spectrum[i].re, before[i].re);
}

// ---- masks -----------------------------------------------------------------

// Centred offsets of entry (y, x) of an unshifted spectrum.
int Dy(int y, int rows) { return (y + rows / 2) % rows - rows / 2; }
int Dx(int x, int cols) { return (x + cols / 2) % cols - cols / 2; }

std::vector<ST_Complex32f> Ones(int n) { return std::vector<ST_Complex32f>(n, {1.0f, 2.0f}); }

TEST(FftMask, ClearsExactlyTheEllipseSets) {
  struct Case {
    const char *name;
    int rows, cols;
    std::function<int32_t(ST_Complex32f *)> run;
    std::function<bool(int dy, int dx)> cleared;
  } cases[] = {
      {"high pass 0.5 on 64 x 64: closed disc of radius 16", 64, 64,
       [](ST_Complex32f *s) { return fftHighPass(s, 64, 64, 0.5f); },
       [](int dy, int dx) { return dy * dy + dx * dx <= 256; }},
      {"low pass 0.5 on 32 rows x 64 cols: semi-axes 8 and 16", 32, 64,
       [](ST_Complex32f *s) { return fftLowPass(s, 64, 32, 0.5f); },
       [](int dy, int dx) { return 64 * dx * dx + 256 * dy * dy > 64 * 256; }},
      {"band filter takes (rows, cols)", 32, 64,
       [](ST_Complex32f *s) { return fftBandFilter(s, 32, 64, 0.5f); },
       [](int dy, int dx) { return 64 * dx * dx + 256 * dy * dy > 64 * 256; }},
      {"band filter 1.5 does nothing", 16, 16,
       [](ST_Complex32f *s) { return fftBandFilter(s, 16, 16, 1.5f); },
       [](int, int) { return false; }},
      {"band filter 0 keeps the zero frequency", 9, 12,
       [](ST_Complex32f *s) { return fftBandFilter(s, 9, 12, 0.0f); },
       [](int dy, int dx) { return dy != 0 || dx != 0; }},
      {"band filter 1.2: inscribed ellipse", 8, 12,
       [](ST_Complex32f *s) { return fftBandFilter(s, 8, 12, 1.2f); },
       [](int dy, int dx) { return 16 * dx * dx + 36 * dy * dy > 16 * 36; }},
      {"high pass 1.4: the whole inscribed ellipse", 8, 8,
       [](ST_Complex32f *s) { return fftHighPass(s, 8, 8, 1.4f); },
       [](int dy, int dx) { return dy * dy + dx * dx <= 16; }},
      {"odd sizes, 5 x 7 low pass 0.7: semi-axes 1 and 2", 5, 7,
       [](ST_Complex32f *s) { return fftLowPass(s, 7, 5, 0.7f); },
       [](int dy, int dx) { return dx * dx + 4 * dy * dy > 4; }},
      {"band: low 0.5 then high 0.25", 32, 32,
       [](ST_Complex32f *s) { return fftBandFilter2(s, 32, 32, 0.25f, 0.5f); },
       [](int dy, int dx) { return dy * dy + dx * dx > 64 || dy * dy + dx * dx <= 16; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ST_Complex32f> s = Ones(c.rows * c.cols);
    ASSERT_EQ(c.run(s.data()), 0);
    int wrong = 0;
    for (int y = 0; y < c.rows; ++y)
      for (int x = 0; x < c.cols; ++x) {
        const ST_Complex32f v = s[y * c.cols + x];
        const bool cleared = v.re == 0 && v.im == 0;
        if (cleared != c.cleared(Dy(y, c.rows), Dx(x, c.cols))) ++wrong;
        if (!cleared) {
          EXPECT_TRUE(v.re == 1 && v.im == 2);
        }
      }
    EXPECT_EQ(wrong, 0);
  }
  EXPECT_EQ(fftHighPass(nullptr, 8, 8, 0.5f), -1);
  EXPECT_EQ(fftBandFilter(nullptr, 8, 8, 0.5f), -1);
}

TEST(FftSpectrum, EnergyThreshold) {
  std::vector<ST_Complex32f> s = {{3, 4}, {1, 0}, {0, 0}, {0, -10}};  // |F| 5, 1, 0, 10; mean 4
  std::vector<ST_Complex32f> a = s;
  ASSERT_EQ(fftFilterEnergy(a.data(), 2, 2, 0, 0.0f), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i].re, s[i].re);
  a = s;
  ASSERT_EQ(fftFilterEnergy(a.data(), 2, 2, 0, 1.25f), 0);  // t = 5: clears |F| < 5
  EXPECT_EQ(a[0].re, 3);
  EXPECT_EQ(a[1].re, 0);
  EXPECT_EQ(a[3].im, -10);
  a = s;
  ASSERT_EQ(fftFilterEnergy(a.data(), 2, 2, 1, 1.25f), 0);  // clears |F| >= 5
  EXPECT_EQ(a[0].re, 0);
  EXPECT_EQ(a[1].re, 1);
  EXPECT_EQ(a[3].im, 0);
  // 256 x 256: every one of the 65536 entries counts.
  std::vector<ST_Complex32f> big(65536, {1, 0});
  big[65535] = {0.5f, 0};
  ASSERT_EQ(fftFilterEnergy(big.data(), 256, 256, 0, 1.0f), 0);
  EXPECT_EQ(big[65535].re, 0);
  EXPECT_EQ(big[0].re, 1);
}

TEST(FftSpectrum, DisplayScalesByTheGrownDivisor) {
  // f = c + v at (0, 0) and c elsewhere (2 x 2): F(0, 0) = 4c + v, the
  // other entries v (the minimum). Written centred: (0, 0) goes to (1, 1).
  struct Case {
    int c, v;
    uint8_t want;
  } cases[] = {
      {1, 2, 255},  // sum 12 < 4 * 4: divisor 4, 4 * 255 / 4
      {1, 5, 127},  // sum 24 >= 16: divisor doubled to 8, 4 * 255 / 8 truncated
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.v);
    std::vector<float> f = {static_cast<float>(c.c + c.v), static_cast<float>(c.c),
                            static_cast<float>(c.c), static_cast<float>(c.c)};
    std::vector<ST_Complex32f> s(4);
    ASSERT_EQ(ZqImgFFT_32f(f.data(), 2, 2, s.data()), 0);
    std::vector<uint8_t> out(4, 9);
    ASSERT_EQ(imgFttShow(s.data(), 2, 2, out.data()), 0);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, c.want}));
  }
}

TEST(FftSpectrum, RemoveConstKeepsCornersAndInterior) {
  const int rows = 4, cols = 5;
  std::vector<ST_Complex32f> s = Ones(rows * cols);
  ASSERT_EQ(ImgFFtRemoveConst(s.data(), cols, rows), 0);
  std::string got;
  for (int i = 0; i < rows * cols; ++i) got += s[i].re != 0 ? '#' : '.';
  EXPECT_EQ(got,
            "#...#"
            ".###."
            ".###."
            "#...#");
  EXPECT_EQ(ImgFFtRemoveConst(s.data(), 1, rows), -1);

  std::vector<uint8_t> img(rows * cols, 40), out(rows * cols);
  ASSERT_EQ(ImgRemoveFreq(img.data(), cols, rows, out.data()), 0);
  EXPECT_EQ(out, img);  // only the zero frequency: kept
}

// ---- root filter helpers ---------------------------------------------------

TEST(BoxFilter8u, ClippedWindows) {
  const std::vector<uint8_t> img = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::vector<float> out(9);
  ASSERT_EQ(ZqBoxFilter_8u(img.data(), 3, 3, 1, 1, out.data()), 0);
  EXPECT_FLOAT_EQ(out[0], (1 + 2 + 4 + 5) / 4.0f);
  EXPECT_FLOAT_EQ(out[4], 5.0f);
  EXPECT_FLOAT_EQ(out[5], (2 + 3 + 5 + 6 + 8 + 9) / 6.0f);
  ASSERT_EQ(ZqBoxFilter_8u(img.data(), 3, 3, 1, 0, out.data()), 0);
  EXPECT_FLOAT_EQ(out[0], 12.0f);
  EXPECT_FLOAT_EQ(out[4], 45.0f);

  // Radius 2 on 7 x 9 against the clipped-window definition.
  std::vector<uint8_t> big(63);
  for (int i = 0; i < 63; ++i) big[i] = static_cast<uint8_t>(i * 53 % 251);
  std::vector<float> b(63);
  ASSERT_EQ(ZqBoxFilter_8u(big.data(), 7, 9, 2, 1, b.data()), 0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      double s = 0;
      int n = 0;
      for (int yy = std::max(0, y - 2); yy <= std::min(6, y + 2); ++yy)
        for (int xx = std::max(0, x - 2); xx <= std::min(8, x + 2); ++xx, ++n)
          s += big[yy * 9 + xx];
      EXPECT_NEAR(b[y * 9 + x], s / n, 1e-4) << y << "," << x;
    }

  ASSERT_EQ(ZqBoxFilter_8u(img.data(), 3, 3, 0, 1, out.data()), 0);  // radius 0 copies
  for (int i = 0; i < 9; ++i) EXPECT_EQ(out[i], img[i]);
  EXPECT_EQ(ZqBoxFilter_8u(img.data(), 3, 3, 3, 1, out.data()), -1);
  EXPECT_EQ(ZqBoxFilter_8u(img.data(), 3, 5, 3, 1, out.data()), -1);  // not below rows
  EXPECT_EQ(ZqBoxFilter_8u(nullptr, 3, 3, 1, 1, out.data()), -1);
}

TEST(RemovePartDC, SubtractsTheLocalMean) {
  std::vector<uint8_t> flat(30, 90);
  std::vector<float> out(30, 5);
  ASSERT_EQ(ZqRemovePartDC_u8(flat.data(), 5, 6, 2, out.data()), 0);
  for (float v : out) EXPECT_NEAR(v, 0, 1e-4);
  ASSERT_EQ(ZqRemovePartDC_u8(flat.data(), 5, 6, 0, out.data()), 0);
  for (float v : out) EXPECT_EQ(v, 90);
  EXPECT_EQ(ZqRemovePartDC_u8(flat.data(), 5, 6, 5, out.data()), -3);
  EXPECT_EQ(ZqRemovePartDC_u8(flat.data(), 0, 6, 1, out.data()), -1);
}

TEST(RootEnhance, WeightsByRelativeLogMagnitude) {
  const std::vector<ST_Complex32f> in = {{0, 0}, {3, 4}, {0, 1}, {-1, 0}};  // |F| 0, 5, 1, 1
  std::vector<ST_Complex32f> out(4);
  ASSERT_EQ(ZqRootEnhance(in.data(), 2, 2, out.data(), 1.0f), 0);
  EXPECT_EQ(out[0].re, 0);
  EXPECT_FLOAT_EQ(out[1].re, 3);  // the largest keeps its value
  const float w = logf(2.0f) / logf(6.0f);
  EXPECT_NEAR(out[2].im, w, 1e-6);
  EXPECT_NEAR(out[3].re, -w, 1e-6);
  const std::vector<ST_Complex32f> zero(4, {0, 0});
  ASSERT_EQ(ZqRootEnhance(zero.data(), 2, 2, out.data(), 0.5f), 0);
  for (const auto &v : out) EXPECT_TRUE(v.re == 0 && v.im == 0);
  EXPECT_EQ(ZqRootEnhance(nullptr, 2, 2, out.data(), 1.0f), -1);
}

}  // namespace
