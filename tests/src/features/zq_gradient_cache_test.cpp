// The gradient cache filled ahead of the stages: every pixel as the
// one-pixel gradient gives it, bit for bit, and detector outputs that do not
// change with the fill on or off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqGradientCache.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/image/ZqImage.h"

namespace {

using namespace scale_space_test;  // NOLINT

float &At(ST_Image *img, int r, int c) {
  return reinterpret_cast<float *>(img->imageData + r * img->rowBytes)[c];
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }

// Each field gives every branch of the arctangent: flat patches (tiny
// gradients), |dx| = |dy| (the whole-octant angles), both signs and -0,
// ratios in every tenth, huge values, and NaN or infinite pixels, whose
// neighbours must stay uncached. Widths leave columns after the groups of
// eight.
TEST(GradientCache, RowsEqualThePixelGradient) {
  struct Field {
    std::string what;
    float (*f)(int r, int c);
    bool special;  // holds NaN or infinite pixels
  };
  const std::vector<Field> fields = {
      {"smooth waves",
       [](int r, int c) { return 50.0f * std::sin(0.37f * c + 0.21f * r) + 3.0f * std::cos(1.3f * r * c); },
       false},
      {"integer steps (equal |dx|, |dy|, zeros, -0)",
       [](int r, int c) {
         const int v = ((r * 7 + c * 3) % 5) - 2;
         return v == 0 && c % 2 == 1 ? -0.0f : static_cast<float>(v);
       },
       false},
      {"columns only (dy 0 or -0)",
       [](int r, int c) {
         const int v = (c * c % 7) - 3;
         return v == 0 && r % 2 == 1 ? -0.0f : static_cast<float>(v);
       },
       false},
      {"rows only (dx 0)", [](int r, int) { return static_cast<float>((r * r % 5) - 2); }, false},
      {"ratios", [](int r, int c) { return 0.1f * r * (c % 11) - 0.05f * c * (r % 7); }, false},
      {"flat with tiny steps", [](int r, int c) { return ((r + c) % 4 == 0) ? 1e-12f : 0.0f; }, false},
      {"huge", [](int r, int c) { return ((r * 31 + c * 17) % 13) * 3e37f; }, false},
      {"NaN and infinity",
       [](int r, int c) {
         if ((r * 13 + c * 7) % 23 == 0) return std::numeric_limits<float>::quiet_NaN();
         if ((r * 5 + c * 11) % 29 == 0) return std::numeric_limits<float>::infinity();
         return static_cast<float>((r * 3 + c) % 9);
       },
       true},
  };
  for (const Field &fd : fields) {
    for (int cols : {3, 10, 17, 40}) {
      const int rows = 9;
      ST_Size size = {rows, cols};
      ST_Image *img = ZqCreateImage(&size, DEPTH_32F);
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) At(img, r, c) = fd.f(r, c);
      const float unset = -12345.0f;
      for (int r = 1; r < rows - 1; ++r) {
        std::vector<float> mag(cols, unset), ori(cols, unset);
        if (ZqGradientRow(img, r, mag.data(), ori.data()) == 0) GTEST_SKIP() << "no vector path";
        int written = 0;
        for (int c = 0; c < cols; ++c) {
          const bool inside = c >= 1 && c + 1 < cols;
          if (!SameBits(mag[c], unset) || !SameBits(ori[c], unset)) {
            ASSERT_TRUE(inside) << fd.what << " col " << c;
            float m, o;
            ZqCalcGradMagOriAt(img->rowBytes, reinterpret_cast<const float *>(img->imageData), r,
                               c, &m, &o);
            EXPECT_TRUE(SameBits(m, mag[c])) << fd.what << " " << r << "," << c << ": " << m
                                             << " vs " << mag[c];
            EXPECT_TRUE(SameBits(o, ori[c])) << fd.what << " " << r << "," << c << ": " << o
                                             << " vs " << ori[c];
            ++written;
          } else if (inside && !fd.special) {
            // Only the columns after the last group of eight are left.
            EXPECT_GE(c, 1 + (cols - 2) / 8 * 8) << fd.what << " " << r << "," << c;
          }
        }
        if (cols >= 10) {
          EXPECT_GT(written, 0) << fd.what << " row " << r;
        }
      }
      ZqReleaseImage(&img);
    }
  }
}

// The detector with float descriptors gives the same records, bit for bit,
// whether the cache is filled ahead or by the stages as they go.
TEST(GradientCache, DetectorOutputsDoNotDependOnTheFill) {
  struct Case {
    int rows, cols, finger;
    uint8_t fast;
  };
  for (const Case &c : {Case{96, 96, 4, 0}, Case{128, 80, 5, 1}, Case{56, 56, 3, 0}}) {
    Detection d[2];
    for (int on = 0; on < 2; ++on) {
      ZqAlgModeResetForTest();
      ImagePtr img = FingerImage(c.rows, c.cols, c.finger);
      ST_FeatExtractPara para = DefaultPara(img.get());
      para.fastMode = c.fast;
      ZqGradientCacheFillForTest(on);
      d[on] = Detect(ZqGetMfsFeatures, para);
    }
    ZqGradientCacheFillForTest(1);
    ZqAlgModeResetForTest();
    const std::string what = std::to_string(c.rows) + "x" + std::to_string(c.cols);
    ASSERT_EQ(d[0].ret, d[1].ret) << what;
    ASSERT_EQ(d[0].feat1.size(), d[1].feat1.size()) << what;
    ASSERT_EQ(d[0].feat2.size(), d[1].feat2.size()) << what;
    EXPECT_GT(d[0].feat1.size() + d[0].feat2.size(), 10u) << what;
    EXPECT_EQ(std::memcmp(d[0].feat1.data(), d[1].feat1.data(),
                          d[0].feat1.size() * sizeof(ST_Feature)),
              0)
        << what;
    EXPECT_EQ(std::memcmp(d[0].feat2.data(), d[1].feat2.data(),
                          d[0].feat2.size() * sizeof(ST_Feature)),
              0)
        << what;
  }
}

}  // namespace
