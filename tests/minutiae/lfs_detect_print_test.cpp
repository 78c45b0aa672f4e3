// The framework's image-to-print conversion running the real detector on
// synthetic fingers: at most 200 rows, sorted by x then y, angles in
// -179..180.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fingers/synth_fingers.h"
#include "framework/fpdev.h"
#include "framework/fpi_img.h"
#include "framework/fpi_xyt.h"
#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"

namespace {

fp_img *FingerImg(int finger, int width, int height, uint16_t flags) {
  fingers::MasterParams p = fingers::PopulationFinger(23, finger);
  p.width = width;
  p.height = height;
  const fingers::MasterFinger m = fingers::MakeMaster(p);
  fp_img *img = fpi_img_new(m.ridge.size());
  img->width = width;
  img->height = height;
  img->flags = flags;
  for (size_t i = 0; i < m.ridge.size(); ++i) {
    const double on = m.footprint[i];
    img->data[i] = static_cast<unsigned char>(
        std::lround(on * (127.0 - 100.0 * m.ridge[i]) + (1.0 - on) * 215.0));
  }
  return img;
}

TEST(LfsDetectPrintTest, SyntheticFingersBecomeSortedBoundedRecords) {
  for (int finger = 0; finger < 5; ++finger) {
    for (const uint16_t flags : {uint16_t{0}, uint16_t{FP_IMG_PARTIAL}}) {
      SCOPED_TRACE(testing::Message() << "finger " << finger << " flags " << flags);
      fp_img *img = FingerImg(finger, 256, 360, flags);
      const int n = fpi_img_detect_minutiae(img);
      ASSERT_GT(n, 10);
      ASSERT_NE(img->binarized, nullptr);
      xyt_record xyt;
      std::memset(&xyt, 0, sizeof xyt);
      fpi_minutiae_to_xyt(img->minutiae, img->width, img->height, &xyt);
      EXPECT_EQ(xyt.count, std::min(n, XYT_MAX_MINUTIAE));
      for (int i = 0; i < xyt.count; ++i) {
        EXPECT_GE(xyt.theta[i], -179);
        EXPECT_LE(xyt.theta[i], 180);
        EXPECT_GE(xyt.x[i], 0);
        EXPECT_LT(xyt.x[i], 256);
        EXPECT_GT(xyt.y[i], 0);
        EXPECT_LE(xyt.y[i], 360);
        if (i > 0) {
          const int a[] = {xyt.x[i - 1], xyt.y[i - 1], xyt.theta[i - 1]};
          const int b[] = {xyt.x[i], xyt.y[i], xyt.theta[i]};
          EXPECT_LE(bz_compare_x_y(a, b), 0) << "row " << i;
        }
      }
      fp_img_free(img);
    }
  }
}

TEST(LfsDetectPrintTest, ManyFeaturesAreCutToTwoHundredRows) {
  // Vertical ridges of period 12, each cut for 22 rows in every 56, the
  // cuts staggered from ridge to ridge: over 200 ridge endings.
  fp_img *img = FingerImg(0, 256, 360, 0);
  for (int y = 0; y < 360; ++y)
    for (int x = 0; x < 256; ++x) {
      const double v = 127.0 + 120.0 * std::cos(2.0 * M_PI * x / 12.0);
      const bool cut = (y + (x / 12) * 28) % 56 < 22 && x % 12 != 0;
      img->data[y * 256 + x] = cut ? 247 : static_cast<unsigned char>(std::lround(v));
    }
  const int n = fpi_img_detect_minutiae(img);
  ASSERT_GT(n, XYT_MAX_MINUTIAE);
  xyt_record xyt;
  fpi_minutiae_to_xyt(img->minutiae, img->width, img->height, &xyt);
  EXPECT_EQ(xyt.count, XYT_MAX_MINUTIAE);
  fp_img_free(img);
}

}  // namespace
