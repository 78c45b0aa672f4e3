// Integral-image box means and the running mean.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqBoxMean.h"

namespace {

using testing_support::FailHeapAfter;

TEST(BoxMean, BorderRuleDiscriminator) {
  // A 9 in the middle of a 3 x 3 zero image. Reflection with the edge
  // (box filter) keeps one 9 in every window; reflection without the edge
  // (MeanImage) repeats it in the corner and side windows.
  std::vector<uint8_t> img(9, 0), out(9);
  img[4] = 9;
  ASSERT_EQ(ZqBoxFilter_u8(img.data(), 3, 3, 1, 1, out.data()), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(9, 1));
  ASSERT_EQ(MeanImage(img.data(), 3, 3, 1, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{4, 2, 4, 2, 1, 2, 4, 2, 4}));
}

TEST(BoxMean, NonSquareWindowsRoundingAndNegativeSums) {
  // 2 x 4, window 3 wide and 1 high, edge repeated.
  const std::vector<uint8_t> img = {0, 0, 1, 1, 30, 60, 90, 120};
  std::vector<uint8_t> out(8);
  ASSERT_EQ(ZqBoxFilter_u8(img.data(), 4, 2, 1, 0, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 1, 1, 40, 60, 90, 110}));
  // Window 1 wide and 3 high.
  ASSERT_EQ(ZqBoxFilter_u8(img.data(), 4, 2, 0, 1, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{10, 20, 31, 41, 20, 40, 60, 80}));
  // (int)(S / 3 + 0.5) truncates toward zero: -3 -> -2, -2 -> -1, -1 -> 0.
  const std::vector<int32_t> neg = {-3, -3, 0, 0};
  std::vector<int32_t> o32(4);
  ASSERT_EQ(ZqIntBoxFilter(neg.data(), 4, 1, 1, 0, o32.data()), 0);
  EXPECT_EQ(o32, (std::vector<int32_t>{-2, -1, 0, 0}));
  // In place.
  std::vector<int32_t> inplace = neg;
  ASSERT_EQ(ZqIntBoxFilter(inplace.data(), 4, 1, 1, 0, inplace.data()), 0);
  EXPECT_EQ(inplace, o32);
}

TEST(BoxMean, ConstantsSurviveLargeImagesAndWindows) {
  // 300 x 200 of 65535: the integral image passes 2^32 and wraps, the box
  // sums stay exact. The padded block of MeanImage exceeds 65535 pixels.
  const int w = 300, h = 200;
  std::vector<uint16_t> c16(w * h, 65535), o16(w * h);
  ASSERT_EQ(ZqBoxFilter_u16(c16.data(), w, h, 7, 3, o16.data()), 0);
  EXPECT_EQ(o16, c16);
  for (uint16_t r : {1, 2, 3, 7}) {
    std::vector<uint8_t> c8(w * h, 77), o8(w * h);
    ASSERT_EQ(MeanImage(c8.data(), w, h, r, o8.data()), 0);
    EXPECT_EQ(o8, c8) << r;
    ASSERT_EQ(ZqBoxFilter_u8(c8.data(), w, h, r, r, c8.data()), 0);  // in place
    EXPECT_EQ(c8, std::vector<uint8_t>(w * h, 77)) << r;
  }
}

TEST(BoxMean, MeanImageMatchesDirectWindowMeans) {
  // 5 x 7, r = 2: windows reflect without the edge; values by direct sums.
  const int w = 7, h = 5;
  std::vector<uint8_t> img(w * h), out(w * h);
  for (int i = 0; i < w * h; ++i) img[i] = static_cast<uint8_t>((i * 37) % 251);
  ASSERT_EQ(MeanImage(img.data(), w, h, 2, out.data()), 0);
  auto refl = [](int p, int n) { return p < 0 ? -p : (p >= n ? 2 * n - 2 - p : p); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int s = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) s += img[refl(y + dy, h) * w + refl(x + dx, w)];
      EXPECT_EQ(out[y * w + x], static_cast<int>(static_cast<float>(s) * (1.0f / 25)))
          << y << " " << x;
    }
}

TEST(BoxMean, RefusalsAndAllocationFailures) {
  std::vector<uint8_t> img(12, 5), out(12, 9);
  EXPECT_EQ(ZqBoxFilter_u8(nullptr, 4, 3, 1, 1, out.data()), -1);
  EXPECT_EQ(ZqBoxFilter_u8(img.data(), 0, 3, 1, 1, out.data()), -1);
  EXPECT_EQ(ZqBoxFilter_u8(img.data(), 4, 3, -1, 1, out.data()), -1);
  EXPECT_EQ(MeanImage(nullptr, 4, 3, 1, out.data()), -1);
  EXPECT_EQ(MeanImage(img.data(), 4, 3, 1, nullptr), -1);
  EXPECT_EQ(MeanImage(img.data(), 0, 3, 1, out.data()), 0);
  {
    FailHeapAfter fail(0);
    EXPECT_EQ(ZqBoxFilter_u8(img.data(), 4, 3, 1, 1, out.data()), -1);
    EXPECT_EQ(MeanImage(img.data(), 4, 3, 1, out.data()), -2);
  }
  {
    FailHeapAfter fail(1);  // the padded block, not the column sums
    EXPECT_EQ(MeanImage(img.data(), 4, 3, 1, out.data()), -2);
    EXPECT_EQ(ZqBoxFilter_u8(img.data(), 4, 3, 1, 1, out.data()), -1);
  }
  EXPECT_EQ(out, std::vector<uint8_t>(12, 9));
}

}  // namespace
