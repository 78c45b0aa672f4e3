#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqInterp3D.h"
#include "zq_test_image.h"

namespace {

using testing_support::At;
using testing_support::Fill;
using testing_support::ImagePtr;
using testing_support::LibLogCapture;
using testing_support::NewImage;

// A quadratic q(x) = (x - x0)^T A (x - x0) + q0 over x = (row, col, interval).
struct Quadratic {
  double A[3][3];
  double x0[3];
  double q0;
  double operator()(double r, double c, double i) const {
    const double d[3] = {r - x0[0], c - x0[1], i - x0[2]};
    double q = q0;
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) q += d[a] * A[a][b] * d[b];
    return q;
  }
};

// A two-octave DoG stack of three intervals: octave 0 (14 x 18) holds noise
// far from any quadratic, octave 1 (7 x 9) samples q.
class DogStack {
 public:
  explicit DogStack(const Quadratic &q) {
    for (int o = 0; o < 2; ++o) {
      for (int i = 0; i < 3; ++i) {
        images_.push_back(NewImage(o == 0 ? 14 : 7, o == 0 ? 18 : 9, DEPTH_32F));
        ST_Image *img = images_.back().get();
        if (o == 0) {
          Fill<float>(img, [i](int r, int c) { return 1e4f * ((r * 7 + c * 3 + i) % 5); });
        } else {
          Fill<float>(img, [&q, i](int r, int c) { return static_cast<float>(q(r, c, i)); });
        }
        octaves_[o][i] = img;
      }
      pyramid_[o] = octaves_[o];
    }
  }
  ST_Image ***get() { return pyramid_; }

 private:
  std::vector<ImagePtr> images_;
  ST_Image *octaves_[2][3];
  ST_Image **pyramid_[2];
};

TEST(ZqInterpStep, RecoversTheExtremumOfAQuadratic) {
  const Quadratic cases[] = {
      {{{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}, {3.3, 3.8, 1.2}, 5},
      {{{-2, 0, 0}, {0, -0.5, 0}, {0, 0, -1}}, {2.6, 4.45, 0.7}, -1},
      // Mixed terms exercise every off-diagonal entry of the Hessian.
      {{{2, 0.3, -0.4}, {0.3, 1.5, 0.2}, {-0.4, 0.2, 1}}, {3.21, 4.37, 0.88}, 0.5},
      {{{0.8, -0.5, 0.1}, {-0.5, 3, 0.6}, {0.1, 0.6, 2}}, {2.75, 3.6, 1.4}, 2},
  };
  for (const Quadratic &q : cases) {
    DogStack dog(q);
    float xi = 99, xr = 99, xc = 99;
    ZqInterpStep(dog.get(), 1, 1, 3, 4, &xi, &xr, &xc);
    EXPECT_NEAR(xr, q.x0[0] - 3, 1e-5) << q.x0[0];
    EXPECT_NEAR(xc, q.x0[1] - 4, 1e-5) << q.x0[0];
    EXPECT_NEAR(xi, q.x0[2] - 1, 1e-5) << q.x0[0];
    // The contrast there is the quadratic's extreme value; with no offset it
    // is the sample's own.
    EXPECT_NEAR(ZqInterpContr(dog.get(), 1, 1, 3, 4, xi, xr, xc), q.q0, 1e-4) << q.x0[0];
    EXPECT_FLOAT_EQ(ZqInterpContr(dog.get(), 1, 1, 3, 4, 0, 0, 0), static_cast<float>(q(3, 4, 1)));
  }
}

TEST(ZqDeriv3D, DerivativesAndHessianInRowColumnIntervalOrder) {
  // q = r^2 + 2 c^2 + 3 i^2 + 0.5 r c - 0.25 r i + 0.75 c i.
  Quadratic q = {{{1, 0.25, -0.125}, {0.25, 2, 0.375}, {-0.125, 0.375, 3}}, {0, 0, 0}, 0};
  DogStack dog(q);
  float d[3], H[9];
  ZqDeriv3D(dog.get(), 1, 1, 3, 4, d);
  ZqHessian3D(dog.get(), 1, 1, 3, 4, H);
  // Gradient 2 A x at (3, 4, 1).
  const double x[3] = {3, 4, 1};
  for (int a = 0; a < 3; ++a) {
    double g = 0;
    for (int b = 0; b < 3; ++b) g += 2 * q.A[a][b] * x[b];
    EXPECT_NEAR(d[a], g, 1e-4) << a;
    for (int b = 0; b < 3; ++b) EXPECT_NEAR(H[3 * a + b], 2 * q.A[a][b], 1e-4) << a << "," << b;
  }
}

TEST(ZqInvert3D, IdentitySymmetricAndSingular) {
  const float I[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float out[9];
  ZqInvert3D(I, out);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(out[k], I[k]);

  const float H[9] = {4, 1, -2, 1, 3, 0.5f, -2, 0.5f, 5};
  ZqInvert3D(H, out);
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      float p = 0;
      for (int k = 0; k < 3; ++k) p += H[3 * a + k] * out[3 * k + b];
      EXPECT_NEAR(p, a == b ? 1.0f : 0.0f, 1e-6f) << a << "," << b;
    }

  const float singular[9] = {1, 2, 3, 2, 4, 6, 3, 6, 9};
  ZqInvert3D(singular, out);
  bool nonFinite = false;
  for (float v : out) nonFinite |= !std::isfinite(v);
  EXPECT_TRUE(nonFinite);
}

TEST(ZqMaxValueIndex, FirstLargest) {
  struct Case {
    std::vector<int16_t> values;
    uint16_t n;
    int16_t index;
  } cases[] = {
      {{3, 7, 7, 1}, 4, 1}, {{-5, -2, -9}, 3, 1}, {{9, 3}, 1, 0},
      {{1, 2}, 0, 0},       {{1, 5, 2, 8}, 3, 1}, {{-32768, -32768, 32767}, 3, 2},
  };
  for (const Case &c : cases) EXPECT_EQ(ZqMaxValueIndex(c.values.data(), c.n), c.index) << c.n;

  // Past 32768 values the index would not fit the result: only the first
  // 32768 are searched.
  std::vector<int16_t> many(40000, 0);
  many[20000] = 5;
  many[35000] = 9;
  EXPECT_EQ(ZqMaxValueIndex(many.data(), 40000), 20000);
}

TEST(ZqGetPixel, ReadsFloatsByRow) {
  ImagePtr img = NewImage(3, 5, DEPTH_32F);
  At<float>(img.get(), 2, 4) = 6.5f;
  At<float>(img.get(), 1, 0) = -1.25f;
  EXPECT_EQ(ZqGetPixel(img.get(), 2, 4), 6.5f);
  EXPECT_EQ(ZqGetPixel(img.get(), 1, 0), -1.25f);
}

TEST(ScaleSpaceInterpolation, NullArgumentsAreLoggedAndWriteNothing) {
  LibLogCapture log;
  float d[3] = {7, 7, 7}, H[9] = {7}, xi = 7, xr = 7, xc = 7;
  EXPECT_EQ(ZqGetPixel(nullptr, 0, 0), 0.0f);
  ZqDeriv3D(nullptr, 0, 1, 1, 1, d);
  ZqHessian3D(nullptr, 0, 1, 1, 1, H);
  EXPECT_EQ(ZqInterpContr(nullptr, 0, 1, 1, 1, 0, 0, 0), 0.0f);
  EXPECT_EQ(ZqMaxValueIndex(nullptr, 4), 0);
  ZqInterpStep(nullptr, 0, 1, 1, 1, &xi, &xr, &xc);  // silent
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqGetPixel...img == NULL", "ZqDeriv3D...dogPyr == NULL",
                                "ZqHessian3D...dogPyr == NULL", "ZqInterpContr...dogPyr == NULL",
                                "ZqMaxValueIndex...s == NULL"}));
  EXPECT_EQ(d[0], 7);
  EXPECT_EQ(H[0], 7);
  EXPECT_EQ(xi + xr + xc, 21);

  Quadratic q = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {3.2, 4.1, 1.1}, 0};
  DogStack dog(q);
  ZqInterpStep(dog.get(), 1, 1, 3, 4, &xi, nullptr, &xc);
  EXPECT_EQ(xi + xc, 14);
}

}  // namespace
