// The orientation stage: the polynomial gradient angle, the histogram
// smoothing and peak rules, the gradient cache, and the weight tables.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqKeypointDescr.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using scale_space_test::ImagePtr;
using testing_support::LibLogCapture;

// Gradient of a 3 x 3 float patch whose centre has the given neighbours.
void Gradient(float left, float right, float up, float down, float *mag, float *ori) {
  const float patch[3][3] = {{0, up, 0}, {left, 0, right}, {0, down, 0}};
  ZqCalcGradMagOriAt(3 * sizeof(float), &patch[0][0], 1, 1, mag, ori);
}

TEST(GradMagOri, MatchesAtan2OverAllDirections) {
  // dx = right - left, dy = up - down; the series with TAN_TAB stays within
  // a couple of degrees of the true angle everywhere.
  float worst = 0;
  for (int a = 0; a < 720; ++a) {
    const double th = -M_PI + (a + 0.37) * (2 * M_PI / 720);
    const float dx = static_cast<float>(50 * std::cos(th)), dy = static_cast<float>(50 * std::sin(th));
    float mag, ori;
    Gradient(0, dx, dy, 0, &mag, &ori);
    EXPECT_NEAR(mag, 50.0f, 1e-3f);
    float diff = std::fabs(ori - std::atan2(dy, dx));
    if (diff > static_cast<float>(M_PI)) diff = 2 * static_cast<float>(M_PI) - diff;
    worst = std::max(worst, diff);
    EXPECT_GE(ori, -3.1415927f);
    EXPECT_LE(ori, 3.1415927f);
  }
  EXPECT_LT(worst, 0.035f);
  EXPECT_GT(worst, 0.001f);  // it is the polynomial, not libm
}

TEST(GradMagOri, TanTabCorrectsTheSeriesAtEachIntervalStart) {
  // TAN_TAB[k] = atan(t) - (t - t^3/3 + t^5/5 - t^7/7 + t^9/9) at t = k / 10.
  for (int k = 0; k < 10; ++k) {
    const double t = k / 10.0;
    const double series = t - std::pow(t, 3) / 3 + std::pow(t, 5) / 5 - std::pow(t, 7) / 7 + std::pow(t, 9) / 9;
    EXPECT_NEAR(TAN_TAB[k], std::atan(t) - series, 1.5e-6) << k;
  }
}

TEST(GradMagOri, AxesDiagonalsAndFlat) {
  struct Case {
    float dx, dy, ori;
  };
  const Case cases[] = {
      {5, 5, 0.7853982f},    {5, -5, -0.7853982f}, {-5, 5, 2.3561945f}, {-5, -5, -2.3561945f},
      {0, 0, 0.0f},          {7, 0, 0.0f},          {0, 7, 1.5707964f},  {0, -7, -1.5707964f},
      {-7, 0, -3.1415927f},  // dx <= 0 and dy not > 0: pi - 0, negated
  };
  for (const Case &c : cases) {
    float mag, ori;
    Gradient(0, c.dx, c.dy, 0, &mag, &ori);
    EXPECT_FLOAT_EQ(ori, c.ori) << c.dx << "," << c.dy;
  }
  // Up minus down: a brighter row above gives a positive angle.
  float mag, ori;
  Gradient(0, 0, 9, 1, &mag, &ori);
  EXPECT_FLOAT_EQ(mag, 8.0f);
  EXPECT_GT(ori, 0.0f);
}

// The gradient bin must be the bin of atan2f for every input: most of all
// just beside a bin edge, where the estimate hands over to atan2f, and at
// the angles atan2f treats apart (zeros of either sign, infinities, NaN,
// subnormal and huge components).
TEST(GradientOriBin, IsTheBinOfAtan2fEverywhere) {
  auto expect = [](float dx, float dy) {
    return ZqOriBin(atan2f(dy, dx));
  };
  int64_t checked = 0, mismatches = 0;
  auto check = [&](float dx, float dy) {
    ++checked;
    if (ZqGradientOriBin(dx, dy) != expect(dx, dy)) {
      if (++mismatches < 10) ADD_FAILURE() << "dx " << dx << " dy " << dy;
    }
  };
  // Around every edge (bin k starts at -pi + (k - 0.5) * 10 degrees), at
  // steps from 1e-7 to 1e-3 radians and several lengths.
  const double kPiD = 3.14159265358979323846;
  for (int k = 0; k <= 36; ++k) {
    const double edge = -kPiD + (k - 0.5) * kPiD / 18.0;
    for (int e = -4000; e <= 4000; ++e) {
      const double a = edge + e * 2.5e-7;
      for (double len : {1e-3, 0.7, 1.0, 37.5, 255.0, 1e5}) check(static_cast<float>(len * cos(a)), static_cast<float>(len * sin(a)));
    }
  }
  // Small integer and half-integer differences, as smoothed images give.
  for (int y = -64; y <= 64; ++y)
    for (int x = -64; x <= 64; ++x) check(0.5f * x, 0.5f * y);
  // Pseudo-random bit patterns of finite floats over many exponents.
  uint32_t st = 12345u;
  auto next = [&st]() {
    st = st * 1664525u + 1013904223u;
    return st;
  };
  for (int n = 0; n < 400000; ++n) {
    const float m = 1.0f + static_cast<float>(next() >> 8) / 16777216.0f;
    const int ex = static_cast<int>(next() % 60) - 30, ey = ex + static_cast<int>(next() % 9) - 4;
    const float dx = ldexpf(m, ex) * ((next() & 1) ? -1.0f : 1.0f);
    const float dy = ldexpf(1.0f + static_cast<float>(next() >> 8) / 16777216.0f, ey) * ((next() & 1) ? -1.0f : 1.0f);
    check(dx, dy);
  }
  const float unusual[] = {0.0f, -0.0f, 1e-45f, -1e-45f, 1e-38f, 1.0f, -1.0f, 3.4e38f, -3.4e38f,
                            INFINITY, -INFINITY, NAN};
  for (float dx : unusual)
    for (float dy : unusual) check(dx, dy);
  EXPECT_EQ(mismatches, 0) << "of " << checked;
}

// Several at a time and one at a time give the bins of ZqGradientOriBin,
// for every count (the groups' remainders) and every kind of component.
TEST(GradientOriBin, VectorAndPlainRowsAgree) {
  uint32_t st = 777u;
  auto next = [&st]() {
    st = st * 1664525u + 1013904223u;
    return st;
  };
  const float unusual[] = {0.0f, -0.0f, 1e-45f, INFINITY, -INFINITY, NAN, 3.4e38f};
  for (int n = 1; n <= 40; ++n) {
    for (int rep = 0; rep < 200; ++rep) {
      std::vector<float> dx(n), dy(n);
      for (int k = 0; k < n; ++k) {
        const uint32_t r = next();
        if (r % 16 == 0) {
          dx[k] = unusual[next() % 7];
          dy[k] = static_cast<float>(static_cast<int>(next() % 64) - 32);
        } else if (r % 16 == 1) {
          // Right at an edge of bin 3 (within a few units in the last place).
          const double a = -3.14159265358979323846 + 2.5 * 3.14159265358979323846 / 18.0 +
                           (static_cast<int>(next() % 200) - 100) * 1e-7;
          dx[k] = static_cast<float>(40.0 * cos(a));
          dy[k] = static_cast<float>(40.0 * sin(a));
        } else {
          dx[k] = static_cast<float>(static_cast<int32_t>(next())) / 1e7f;
          dy[k] = static_cast<float>(static_cast<int32_t>(next())) / 1e7f;
        }
      }
      std::vector<int32_t> wide(n, -1), plain(n, -2);
      ZqGradientOriBins(dx.data(), dy.data(), n, wide.data());
      ZqKeypointOriVectorBinsForTest(0);
      ZqGradientOriBins(dx.data(), dy.data(), n, plain.data());
      ZqKeypointOriVectorBinsForTest(1);
      for (int k = 0; k < n; ++k) {
        ASSERT_EQ(wide[k], plain[k]) << n << " " << k << " dx " << dx[k] << " dy " << dy[k];
        ASSERT_EQ(plain[k], ZqGradientOriBin(dx[k], dy[k])) << n << " " << k;
      }
    }
  }
}

TEST(OriHistogram, SmoothingIsCircularAndKeepsTheSum) {
  float h[36] = {};
  h[0] = 16;
  ZqSmoothOriHist(h);
  EXPECT_FLOAT_EQ(h[35], 4);
  EXPECT_FLOAT_EQ(h[0], 8);
  EXPECT_FLOAT_EQ(h[1], 4);
  ZqSmoothOriHist(h);
  EXPECT_FLOAT_EQ(h[34], 1);
  EXPECT_FLOAT_EQ(h[35], 4);
  EXPECT_FLOAT_EQ(h[0], 6);
  float sum = 0;
  for (float v : h) sum += v;
  EXPECT_FLOAT_EQ(sum, 16);
}

TEST(OriHistogram, DominantIsTheFirstLargest) {
  float h[36] = {};
  h[7] = 3;
  h[20] = 3;
  int32_t at = -1;
  EXPECT_FLOAT_EQ(ZqDominantOri(h, &at), 3);
  EXPECT_EQ(at, 7);
}

// A keypoint with data, freed by the fixture.
struct Keypoint {
  ST_DetectFeature *f = ZqNewFeature();
  ~Keypoint() {
    ZqSafeFree(f->ddata);
    ZqSafeFree(f);
  }
};

// Runs ZqAddGoodOriFeatures on hist and returns the copies' orientations.
std::vector<float> AddGood(const float *hist, ST_DetectFeature *feat) {
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ST_Seq *copies = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), storage);
  int32_t dom = 0;
  const float m = ZqDominantOri(hist, &dom);
  ZqAddGoodOriFeatures(copies, hist, dom, feat, 0.8f * m);
  std::vector<float> out;
  for (int k = 0; k < copies->total; ++k) {
    auto *c = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(copies, k));
    EXPECT_NE(c->ddata, feat->ddata);
    EXPECT_EQ(c->ddata->r, feat->ddata->r);
    EXPECT_EQ(c->contrast, feat->contrast);
    out.push_back(c->ori);
    ZqSafeFree(c->ddata);
  }
  ZqReleaseMemStorage(&storage);
  return out;
}

// Angle of fractional bin position p.
float BinAngle(float p) { return p * 6.2831855f * 0.027777778f - 3.1415927f; }

TEST(AddGoodOri, SecondPeakAtEightTenthsGivesOneCopy) {
  struct Case {
    float second;
    size_t copies;
  };
  for (const Case &c : {Case{0.8f, 1}, Case{0.79f, 0}}) {
    float h[36] = {};
    h[9] = 10;                       // symmetric peak: lands on its bin
    h[27] = c.second * 10;
    Keypoint kp;
    kp.f->ddata->r = 12;
    kp.f->contrast = 3;
    const std::vector<float> copies = AddGood(h, kp.f);
    EXPECT_FLOAT_EQ(kp.f->ori, BinAngle(9)) << c.second;
    ASSERT_EQ(copies.size(), c.copies) << c.second;
    if (!copies.empty()) {
      EXPECT_FLOAT_EQ(copies[0], BinAngle(27));
    }
  }
}

TEST(AddGoodOri, PeakAtBinZeroWrapsBelowZero) {
  // p = 0 + 0.5 (l - r) / (l - 2 v + r) = -0.3 with l = 8, v = 10, r = 2.
  float h[36] = {};
  h[35] = 8;
  h[0] = 10;
  h[1] = 2;
  Keypoint kp;
  AddGood(h, kp.f);
  EXPECT_NEAR(kp.f->ori, BinAngle(35.7f), 1e-5);
}

TEST(AddGoodOri, FlatTopKeepsTheOldOrientation) {
  float h[36] = {};
  h[4] = 5;
  h[5] = 5;
  Keypoint kp;
  kp.f->ori = 0;
  EXPECT_TRUE(AddGood(h, kp.f).empty());
  EXPECT_EQ(kp.f->ori, 0.0f);
}

TEST(AddGoodOri, NullArgumentsAreLogged) {
  LibLogCapture log;
  float h[36] = {};
  ZqAddGoodOriFeatures(nullptr, h, 0, nullptr, 0);
  ASSERT_EQ(log.Messages().size(), 1u);
  EXPECT_EQ(log.Messages()[0],
            "ZqAddGoodOriFeatures...(features == NULL) || (hist == NULL) || (feat == NULL)");
}

// A one-octave pyramid of 8 x 8 images: gauss levels and a cleared cache.
struct CachePyr {
  std::vector<ImagePtr> gauss, dog;
  ST_Image *g[6], *d[6];
  ST_Image **gp = g, **dp = d;
  CachePyr() {
    ST_Size size = {8, 8};
    for (int i = 0; i < 6; ++i) {
      gauss.emplace_back(ZqCreateImage(&size, DEPTH_32F));
      dog.emplace_back(ZqCreateImage(&size, DEPTH_32F));
      g[i] = gauss.back().get();
      d[i] = dog.back().get();
    }
  }
  static float &At(ST_Image *img, int r, int c) {
    return reinterpret_cast<float *>(img->imageData + r * img->rowBytes)[c];
  }
};

TEST(GradientCache, ComputesOnceAndStoresInTheClearedSlots) {
  CachePyr p;
  // Level 2: a ramp to the right, dx = 2 at (3, 3).
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) CachePyr::At(p.g[2], r, c) = static_cast<float>(c);
  float mag, ori;
  ZqCachedGradient(&p.gp, &p.dp, 0, 2, 3, 3, 0, &mag, &ori);
  EXPECT_FLOAT_EQ(mag, 2);
  EXPECT_FLOAT_EQ(ori, 0);
  // Orientation in slot intv - 1, magnitude in slot intv + 2.
  EXPECT_FLOAT_EQ(CachePyr::At(p.d[1], 3, 3), 0);
  EXPECT_FLOAT_EQ(CachePyr::At(p.d[4], 3, 3), 2);
  // Once cached, the image is no longer read.
  CachePyr::At(p.g[2], 3, 4) = 100;
  ZqCachedGradient(&p.gp, &p.dp, 0, 2, 3, 3, 0, &mag, &ori);
  EXPECT_FLOAT_EQ(mag, 2);
  // A pixel whose cached pair is (0, 0) is computed again.
  CachePyr::At(p.g[2], 3, 4) = 3;
  CachePyr::At(p.d[4], 3, 3) = 0;
  CachePyr::At(p.g[2], 3, 2) = 3;
  ZqCachedGradient(&p.gp, &p.dp, 0, 2, 3, 3, 0, &mag, &ori);
  EXPECT_FLOAT_EQ(mag, 0);
  CachePyr::At(p.g[2], 3, 4) = 9;
  ZqCachedGradient(&p.gp, &p.dp, 0, 2, 3, 3, 0, &mag, &ori);
  EXPECT_FLOAT_EQ(mag, 6);
  // The atan2f flavour stores libm's angle.
  CachePyr::At(p.g[2], 3, 4) = 4;
  CachePyr::At(p.g[2], 2, 5) = 4;
  CachePyr::At(p.g[2], 4, 5) = 1;
  ZqCachedGradient(&p.gp, &p.dp, 0, 1, 3, 5, 1, &mag, &ori);
  EXPECT_FLOAT_EQ(ori, 0.0f);  // level 1 is flat
  ZqCachedGradient(&p.gp, &p.dp, 0, 2, 3, 5, 1, &mag, &ori);
  EXPECT_FLOAT_EQ(ori, atan2f(3.0f, 2.0f));
  EXPECT_FLOAT_EQ(CachePyr::At(p.d[1], 3, 5), atan2f(3.0f, 2.0f));
}

TEST(WeightTables, GaussiansOfTheIntervalScales) {
  // Orientation: sigma 1.5 * 1.6 * 2^(s/3); descriptor: D = 8 hw^2.
  const double oriSigma[3] = {3.0238, 3.8097, 4.8};
  const double descrD[3] = {292.59, 464.46, 737.28};
  const int sides[3] = {10, 12, 15};
  for (int s = 1; s <= 3; ++s) {
    EXPECT_FLOAT_EQ(ZqOriWeight(s, 0, 0), 1.0f);
    EXPECT_NEAR(ZqOriWeight(s, 3, -4), std::exp(-25 / (2 * oriSigma[s - 1] * oriSigma[s - 1])), 1e-4);
    EXPECT_GT(ZqOriWeight(s, sides[s - 1] - 1, 0), 0.0f);
    EXPECT_EQ(ZqOriWeight(s, sides[s - 1], 0), 0.0f);
    EXPECT_NEAR(ZqDescrWeight(s, -15, 15), std::exp(-450 / descrD[s - 1]), 1e-4);
  }
  EXPECT_EQ(ZqOriWeight(4, 0, 0), 0.0f);
}

TEST(OriStage, NullInputsAreLoggedWithTheStageName) {
  LibLogCapture log;
  ZqCalcMfsFeatureOris(nullptr, nullptr, nullptr, nullptr);
  ZqCalcBriskFeatureOris(nullptr, nullptr, nullptr, nullptr);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], "ZqCalcMfsFeatureOris...(features == NULL) || (gauss_pyr == NULL) || (dogPyr == NULL)");
  EXPECT_EQ(m[1], "ZqCalcBriskFeatureOris...(features == NULL) || (gauss_pyr == NULL) || (dogPyr == NULL)");
}

}  // namespace
