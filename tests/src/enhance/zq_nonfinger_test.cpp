// The no-finger decision: its features on constructed images, the network
// against a double-precision evaluation, the table-set choice, the settings
// and the strict threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqNonFingerDetect.h"
#include "src/enhance/ZqNonFingerFeatures.h"
#include "src/enhance/ZqNonFingerSettings.h"

namespace {

using Image = std::vector<uint8_t>;

// rows x cols image with pixel (y, x) = f(y, x).
template <typename F>
Image Make(int rows, int cols, F f) {
  Image img(static_cast<size_t>(rows) * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) img[static_cast<size_t>(y) * cols + x] = static_cast<uint8_t>(f(y, x));
  return img;
}

class NonFinger : public ::testing::Test {
 protected:
  void TearDown() override { NonFingerSettingsResetForTest(); }
};

// --- Local stretch ---------------------------------------------------------

TEST(NonFingerLocalStretch, TwoAndThreeLevelWindowsByTheTable) {
  struct Case {
    const char *name;
    int levels;            // window values a .. a + levels - 1
    std::vector<int> want;  // output for a, a + 1, ...
  };
  const Case cases[] = {
      {"a, a+1 stretch to the ends", 2, {0, 255}},
      {"a, a+1, a+2 use R[2] = 125", 3, {0, 125, 250}},
  };
  for (const Case &c : cases) {
    const int a = 77;
    // Column x holds a + x % levels, so every 11 x 11 window holds all levels.
    const Image img = Make(14, 17, [&](int, int x) { return a + x % c.levels; });
    Image out(img.size(), 1);
    ASSERT_EQ(NonFingerLocalStretch(img.data(), 14, 17, out.data()), 0) << c.name;
    for (size_t i = 0; i < img.size(); ++i)
      ASSERT_EQ(out[i], c.want[img[i] - a]) << c.name << " pixel " << i;
  }
}

TEST(NonFingerLocalStretch, MatchesBruteForceWindowsOnNoise) {
  // Reference: the 11 x 11 window (reflected without the edge) scanned in
  // full for every pixel; catches any slip of the running histograms.
  std::mt19937 rng(5);
  const int rows = 23, cols = 31;
  // Blocks of different ranges so that minima and maxima move in both ways.
  const Image img = Make(rows, cols, [&](int y, int x) {
    const int base = (y / 6 * 37 + x / 7 * 53) % 200;
    return base + static_cast<int>(rng() % (1 + (x + y) % 40));
  });
  auto reflect = [](int p, int n) { return p < 0 ? -p : p >= n ? 2 * n - 2 - p : p; };
  Image out(img.size());
  ASSERT_EQ(NonFingerLocalStretch(img.data(), rows, cols, out.data()), 0);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      int lo = 255, hi = 0;
      for (int dy = -5; dy <= 5; ++dy)
        for (int dx = -5; dx <= 5; ++dx) {
          const int v = img[reflect(y + dy, rows) * cols + reflect(x + dx, cols)];
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
      const int p = img[y * cols + x];
      int want = p;
      if (hi > lo) {
        const float r = hi - lo == 2 ? 125.0f : 255.0f / static_cast<float>(hi - lo);
        want = std::min(255, static_cast<int>(static_cast<float>(p - lo) * r + 0.5f));
      }
      ASSERT_EQ(out[y * cols + x], want) << y << "," << x;
    }
  }
}

// --- Co-occurrence ---------------------------------------------------------

TEST(NonFingerGlcm, ColumnStripesGiveTheHandContrast) {
  // Columns alternate 0 and 255 (levels 0 and 7): right, down-right and
  // down-left pairs cross columns, down pairs do not. 10 rows x 6 columns:
  // cross = 10*5 + 9*5 + 9*5 = 140, same = 9*6 = 54, pairs = 194.
  const Image img = Make(10, 6, [](int, int x) { return x % 2 ? 255 : 0; });
  float m[64];
  ASSERT_EQ(NonFingerGlcm(img.data(), 6, 10, m), 0);
  float f[3];
  ASSERT_EQ(NonFingerGlcmFeatures(m, f), 0);
  const double cross = 140.0 / 194.0, same = 54.0 / 194.0;
  EXPECT_NEAR(f[0], 49.0 * cross, 1e-4);
  EXPECT_NEAR(f[1], same + cross / 50.0, 1e-6);
  EXPECT_NEAR(f[2], 7.0 * cross, 1e-5);
}

TEST(NonFingerGlcm, PairsAreOrderedAndNormalisedByTheirCount) {
  struct Case {
    const char *name;
    int rows, cols;
    Image img;
    std::vector<std::pair<int, float>> want;  // non-zero entries (index, value)
  };
  const Case cases[] = {
      // One right pair (0, 7): row = pixel level, column = neighbour level.
      {"1x2 left dark", 1, 2, {0, 255}, {{0 * 8 + 7, 1.0f}}},
      {"1x2 left bright", 1, 2, {255, 0}, {{7 * 8 + 0, 1.0f}}},
      // 2 x 2: pixel 0 pairs with right (1), down-right (3), down (2);
      // pixel 1 with down (3) and down-left (2); pixel 2 with right (3).
      {"2x2 levels 0 1 2 3", 2, 2, {0, 32, 64, 96},
       {{0 * 8 + 1, 1 / 6.f}, {0 * 8 + 3, 1 / 6.f}, {0 * 8 + 2, 1 / 6.f},
        {1 * 8 + 3, 1 / 6.f}, {1 * 8 + 2, 1 / 6.f}, {2 * 8 + 3, 1 / 6.f}}},
      // A single pixel has no pair: all zero, not 0 / 0.
      {"1x1", 1, 1, {200}, {}},
  };
  for (const Case &c : cases) {
    float m[64];
    ASSERT_EQ(NonFingerGlcm(c.img.data(), c.cols, c.rows, m), 0) << c.name;
    std::vector<float> want(64, 0.0f);
    for (auto [i, v] : c.want) want[i] = v;
    for (int i = 0; i < 64; ++i) EXPECT_FLOAT_EQ(m[i], want[i]) << c.name << " entry " << i;
  }
  float m[64], f[3];
  EXPECT_EQ(NonFingerGlcm(nullptr, 2, 2, m), -1);
  EXPECT_EQ(NonFingerGlcmFeatures(nullptr, f), -1);
}

// --- Gradient histogram ----------------------------------------------------

TEST(NonFingerGradHist, RampsFallInTheirBins) {
  // A ramp of slope k has Sobel magnitude 8k at every interior pixel.
  struct Case {
    int k;
    bool vertical;
    int bin;  // -1: nothing above 10
  };
  const Case cases[] = {{1, false, -1}, {5, false, 0}, {15, true, 1},  {30, false, 2},
                        {60, true, 3},  {80, false, 4}, {110, true, 5}};
  for (const Case &c : cases) {
    const int rows = c.vertical ? 255 / c.k + 1 : 7, cols = c.vertical ? 6 : 255 / c.k + 1;
    const Image img = Make(std::min(rows, 12), std::min(cols, 12), [&](int y, int x) {
      return c.k * (c.vertical ? y : x);
    });
    float out[7];
    ASSERT_EQ(NonFingerGradHist(img.data(), std::min(rows, 12), std::min(cols, 12), out), 0);
    for (int b = 0; b < 6; ++b)
      EXPECT_FLOAT_EQ(out[b], b == c.bin ? 1.0f : 0.0f) << "k " << c.k << " bin " << b;
    EXPECT_FLOAT_EQ(out[6], c.bin < 0 ? 0.0f : 8.0f * c.k) << "k " << c.k;
  }
}

TEST(NonFingerGradHist, LargeImagesAreNormalisedOverEveryPixel) {
  // Two-pixel stripes give g = 800 (last bin) at every interior pixel.
  // 250 x 200 has 49104 counted pixels (more than a 16-bit count holds);
  // 300 columns have texture only right of column 259 (beyond 8-bit sides).
  struct Case {
    int rows, cols, firstTextured;
  };
  for (const Case &c : {Case{200, 250, 0}, Case{10, 300, 260}}) {
    const Image img = Make(c.rows, c.cols, [&](int, int x) {
      return x < c.firstTextured ? 0 : (x / 2) % 2 ? 200 : 0;
    });
    float out[7];
    ASSERT_EQ(NonFingerGradHist(img.data(), c.rows, c.cols, out), 0);
    EXPECT_FLOAT_EQ(out[5], 1.0f) << c.cols;
    EXPECT_FLOAT_EQ(out[6], 800.0f) << c.cols;
  }
}

TEST(NonFingerGradHist, SidesBelowThreeCountNothing) {
  const Image img = Make(2, 40, [](int, int x) { return x * 6; });
  float out[7] = {9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(NonFingerGradHist(img.data(), 2, 40, out), 0);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(NonFingerGradHist(nullptr, 5, 5, out), -1);
}

// --- The feature vector ----------------------------------------------------

TEST(NonFingerFeatures, FlatImageHasNoTexture) {
  const Image img(64 * 48, 140);
  float f[17];
  ASSERT_EQ(NonFingerFeatures(img.data(), 64, 48, f), 0);
  for (int base : {0, 3}) {
    EXPECT_EQ(f[base + 0], 0.0f) << base;  // contrast
    EXPECT_EQ(f[base + 1], 1.0f) << base;  // homogeneity
    EXPECT_EQ(f[base + 2], 0.0f) << base;  // dissimilarity
  }
  for (int k = 6; k < 17; ++k) EXPECT_EQ(f[k], 0.0f) << k;
}

TEST(NonFingerFeatures, SampledHalfSeesEveryFourthPixel) {
  // Stripes of period 8: the full image pairs mostly equal neighbours, the
  // 1/4 sample alternates every column (levels 0 and 7 after stretching).
  const Image img = Make(40, 48, [](int, int x) { return (x / 4) % 2 ? 200 : 20; });
  float f[17];
  ASSERT_EQ(NonFingerFeatures(img.data(), 48, 40, f), 0);
  // Sample 10 x 12: cross = 10*11 + 2*9*11 = 308 of 4*120 - 36 - 30 + 2 = 416.
  EXPECT_NEAR(f[3], 49.0 * 308 / 416, 1e-4);
  // Full 40 x 48: 11 stripe edges per row, crossed by right, down-right and
  // down-left pairs: 11 * (40 + 2 * 39) = 1298 of 7418 pairs.
  EXPECT_NEAR(f[0], 49.0 * 1298 / 7418, 1e-4);
}

// Vertical stripes 4 pixels wide on a frame wider than high: the median
// keeps them, and only the pixels whose 3 x 3 neighbourhoods straddle a
// stripe edge have a gradient, 4 x 180 = 720 each, above every share of
// features 6 to 9.
TEST(NonFingerFeatures, GradientsFollowTheRowsOfAWideFrame) {
  const Image img = Make(40, 44, [](int, int x) { return (x / 4) % 2 ? 200 : 20; });
  float f[17];
  ASSERT_EQ(NonFingerFeatures(img.data(), 44, 40, f), 0);
  for (int k = 6; k < 10; ++k) EXPECT_EQ(f[k], 0.0f) << k;
  EXPECT_FLOAT_EQ(f[10], 720.0f);
}

// The texture and gradient features do not depend on which side of the
// frame is the longer: a frame and its transpose give the same gradient
// shares and means, on the full image and on its sample.
TEST(NonFingerFeatures, GradientFeaturesOfAFrameAndItsTransposeAgree) {
  const int rows = 40, cols = 56;
  auto f = [](int y, int x) { return ((x * x + 3 * y * y + x * y) / 23) % 3 * 90 + 20; };
  const Image img = Make(rows, cols, f);
  const Image transposed = Make(cols, rows, [&](int y, int x) { return f(x, y); });
  float a[17], b[17];
  ASSERT_EQ(NonFingerFeatures(img.data(), cols, rows, a), 0);
  ASSERT_EQ(NonFingerFeatures(transposed.data(), rows, cols, b), 0);
  for (int k = 6; k < 17; ++k) EXPECT_NEAR(a[k], b[k], 1e-4f * (1.0f + std::fabs(a[k]))) << k;
  // The fixture has gradients in both halves.
  EXPECT_GT(a[10], 0.0f);
  EXPECT_GT(a[16], 0.0f);
}

// --- Network ---------------------------------------------------------------

// A table set with every entry drawn at random, kept alive by its vectors.
struct RandomNet {
  std::vector<float> avg, sigma, w1, b1, w2, b2, w3, b3;
  ST_NonFingerNet net;
  explicit RandomNet(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.5f, 1.5f), pos(0.2f, 3.0f);
    auto fill = [&](std::vector<float> &v, size_t n, auto &d) {
      v.resize(n);
      for (auto &x : v) x = d(rng);
    };
    fill(avg, 17, u);
    fill(sigma, 17, pos);
    fill(w1, 13 * 17, u);
    fill(b1, 13, u);
    fill(w2, 13 * 13, u);
    fill(b2, 13, u);
    fill(w3, 2 * 13, u);
    fill(b3, 2, u);
    net = {avg.data(), sigma.data(), reinterpret_cast<const float(*)[17]>(w1.data()),
           b1.data(),  reinterpret_cast<const float(*)[13]>(w2.data()),    b2.data(),
           reinterpret_cast<const float(*)[13]>(w3.data()),               b3.data()};
  }
};

// The network in double precision, straight from the layer equations, with
// row j of a weight table holding unit j's inputs.
double ReferenceP(const RandomNet &n, const float *feat) {
  double x[17], h1[13], h2[13], o[2];
  for (int k = 0; k < 17; ++k) x[k] = (feat[k] - double{n.avg[k]}) / n.sigma[k];
  for (int j = 0; j < 13; ++j) {
    double a = n.b1[j];
    for (int k = 0; k < 17; ++k) a += x[k] * n.w1[j * 17 + k];
    h1[j] = std::tanh(std::clamp(a, -45.0, 45.0));
  }
  for (int j = 0; j < 13; ++j) {
    double a = n.b2[j];
    for (int k = 0; k < 13; ++k) a += h1[k] * n.w2[j * 13 + k];
    h2[j] = std::tanh(std::clamp(a, -45.0, 45.0));
  }
  for (int j = 0; j < 2; ++j) {
    o[j] = n.b3[j];
    for (int k = 0; k < 13; ++k) o[j] += h2[k] * n.w3[j * 13 + k];
  }
  return 1.0 / (1.0 + std::exp(o[1] - o[0]));
}

TEST(NonFingerForward, MatchesADoubleEvaluation) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(-3.0f, 3.0f);
  for (unsigned seed = 1; seed <= 20; ++seed) {
    const RandomNet n(seed);
    float feat[17];
    for (float &f : feat) f = u(rng);
    float p = -1.0f;
    ASSERT_EQ(NonFingerForward(&n.net, feat, &p), 0);
    const double want = ReferenceP(n, feat);
    EXPECT_NEAR(p, want, 1e-5 * want) << "seed " << seed;
  }
  float p;
  const RandomNet n(1);
  EXPECT_EQ(NonFingerForward(nullptr, n.avg.data(), &p), -1);
}

TEST(NonFingerForward, LargePreActivationsSaturate) {
  // Pre-activations far beyond 45 must give tanh = +-1, not inf / inf.
  RandomNet n(3);
  for (float &w : n.w1) w = 1e6f;
  for (float &w : n.w2) w = -1e6f;
  float feat[17];
  for (int k = 0; k < 17; ++k) feat[k] = n.avg[k] + n.sigma[k];
  float p = -1.0f;
  ASSERT_EQ(NonFingerForward(&n.net, feat, &p), 0);
  EXPECT_NEAR(p, ReferenceP(n, feat), 1e-5);
}

TEST(NonFingerSelectNet, FollowsTheSensorTable) {
  struct Case {
    uint16_t name, module;
    uint8_t type;
    const float(*want)[17];
  };
  const Case cases[] = {
      {8, 1, 1, HID1_COFF_W_FW4845_HL_TYPE1},     {8, 1, 0, HID1_COFF_W_FW4845_HL_TYPE0},
      {8, 1, 2, HID1_COFF_W_FW4845_HL_TYPE0},     {8, 2, 1, HID1_COFF_W_FW4845_MATTE_LOGO},
      {8, 2, 0, HID1_COFF_W_FW4845_MATTE_LOGO},   {8, 0, 1, HID1_COFF_W_FW4845_MATTE_TYPE1},
      {8, 3, 1, HID1_COFF_W_FW4845_MATTE_TYPE1},  {8, 0xFFFF, 1, HID1_COFF_W_FW4845_MATTE_TYPE1},
      {8, 0, 0, HID1_COFF_W_FW4845_MATTE_TYPE0},  {8, 7, 255, HID1_COFF_W_FW4845_MATTE_TYPE0},
      {9, 1, 1, HID1_COFF_W_ZE4850_MATTE},        {10, 2, 0, HID1_COFF_W_ZE4850_MATTE},
      {0, 1, 1, HID1_COFF_W},                     {7, 1, 1, HID1_COFF_W},
      {11, 1, 1, HID1_COFF_W},                    {16, 2, 0, HID1_COFF_W},
  };
  for (const Case &c : cases) {
    const ST_NonFingerNet *net = NonFingerSelectNet(c.name, c.module, c.type);
    ASSERT_NE(net, nullptr);
    EXPECT_EQ(net->w1, c.want) << c.name << "/" << c.module << "/" << int{c.type};
  }
  // Each set's eight tables travel together.
  const ST_NonFingerNet *ze = NonFingerSelectNet(9, 0, 0);
  EXPECT_EQ(ze->avg, NORM_COFF_AVG_ZE4850_MATTE);
  EXPECT_EQ(ze->sigma, NORM_COFF_SIGMA_ZE4850_MATTE);
  EXPECT_EQ(ze->b1, HID1_COFF_B_ZE4850_MATTE);
  EXPECT_EQ(ze->w2, HID2_COFF_W_ZE4850_MATTE);
  EXPECT_EQ(ze->b2, HID2_COFF_B_ZE4850_MATTE);
  EXPECT_EQ(ze->w3, OUT_COFF_W_ZE4850_MATTE);
  EXPECT_EQ(ze->b3, OUT_COFF_B_ZE4850_MATTE);
}

TEST(NonFingerTables, DefaultSetCarriesTheGivenValues) {
  const float avg[17] = {1.57f, 0.67f, 0.81f, 9.12f, 0.38f, 2.3f,  0.55f, 0.25f,  0.19f,
                         0.01f, 117.5f, 0.13f, 0.24f, 0.38f, 0.18f, 0.06f, 291.68f};
  const float sigma[17] = {0.76f, 0.09f, 0.28f, 4.59f, 0.14f, 0.8f,  0.29f, 0.14f, 0.17f,
                           0.04f, 64.03f, 0.07f, 0.08f, 0.08f, 0.08f, 0.05f, 73.29f};
  for (int k = 0; k < 17; ++k) {
    EXPECT_EQ(NORM_COFF_AVG[k], avg[k]) << k;
    EXPECT_EQ(NORM_COFF_SIGMA[k], sigma[k]) << k;
  }
  EXPECT_EQ(OUT_COFF_B[0], 0.32144916f);
  EXPECT_EQ(OUT_COFF_B[1], -0.32125193f);
}

// --- Settings and decision -------------------------------------------------

TEST_F(NonFinger, SettersKeepTheLowBitsAndStartFromTheDefaults) {
  EXPECT_EQ(gSensorName, 0);
  EXPECT_EQ(gModuleType, 0);
  EXPECT_EQ(gNoneFingerType, 0);
  EXPECT_EQ(gNoneFingerThr, 0.7f);
  SetSensorName(0x10008);
  SetModuleType(0x30002);
  SetNoneFingerThr(0x101, 0.25f);
  EXPECT_EQ(gSensorName, 8);
  EXPECT_EQ(gModuleType, 2);
  EXPECT_EQ(gNoneFingerType, 1);
  EXPECT_EQ(gNoneFingerThr, 0.25f);
}

TEST_F(NonFinger, DecisionIsStrictlyAboveTheThreshold) {
  const Image img = Make(48, 48, [](int y, int x) { return (x / 3 + y / 5) % 2 ? 190 : 60; });
  float p = -1.0f;
  const int32_t first = NonFingerDetect(img.data(), 48, 48, &p);
  ASSERT_TRUE(first == 0 || first == -5);
  ASSERT_GT(p, 0.0f);
  ASSERT_LT(p, 1.0f);
  float again = -1.0f;
  SetNoneFingerThr(0, p);
  EXPECT_EQ(NonFingerDetect(img.data(), 48, 48, &again), -5);
  EXPECT_EQ(again, p);
  SetNoneFingerThr(0, std::nextafter(p, 0.0f));
  EXPECT_EQ(NonFingerDetect(img.data(), 48, 48, &again), 0);
}

TEST_F(NonFinger, NullImageWritesNothing) {
  float p = 42.0f;
  EXPECT_EQ(NonFingerDetect(nullptr, 10, 10, &p), -1);
  EXPECT_EQ(p, 42.0f);
}

TEST_F(NonFinger, DefaultTablesTellFingersFromEmptyFrames) {
  // The default set through NonFingerDetect: pressed fingers pass; empty,
  // grazed, flat, dirty and white frames do not.
  const fingers::MasterFinger master = fingers::MakeMaster({});
  for (uint64_t seed = 1; seed <= 3; ++seed) {
    fingers::ImpressionParams ip = fingers::RandomImpression(master, seed, {96, 96});
    const fingers::Impression imp = fingers::Render(master, ip);
    float p = 0.0f;
    EXPECT_EQ(NonFingerDetect(imp.frame.gray.data(), 96, 96, &p), 0) << "finger " << seed << " p " << p;
  }
  for (auto kind : {fingers::NonFingerKind::kEmpty, fingers::NonFingerKind::kEdgeTouch,
                    fingers::NonFingerKind::kFlatObject, fingers::NonFingerKind::kDirty,
                    fingers::NonFingerKind::kWhite}) {
    fingers::NonFingerParams np;
    np.kind = kind;
    const fingers::Frame f = fingers::RenderNonFinger(np);
    float p = 1.0f;
    EXPECT_EQ(NonFingerDetect(f.gray.data(), 96, 96, &p), -5)
        << fingers::NonFingerKindName(kind) << " p " << p;
  }
}

}  // namespace
