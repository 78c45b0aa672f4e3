// Sigmoid contrast curves on ST_Image images.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqLomoCurve.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::LibLogCapture;

// An 8-bit image of rows x cols (cols not a multiple of 4: padded rows)
// filled by f(y, x).
template <typename F>
ST_Image *Make(int rows, int cols, F f) {
  ST_Size size = {rows, cols};
  ST_Image *img = ZqCreateImage(&size, DEPTH_8U);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) img->imageData[y * img->rowBytes + x] = f(y, x);
  return img;
}

uint8_t At(const ST_Image *img, int y, int x) { return img->imageData[y * img->rowBytes + x]; }

TEST(ZqLomoU8Image, SingleLevelsMapToTheMiddleOrTheTop) {
  const int32_t start = ZqGetMallocCnts();
  for (uint8_t level : {1, 40, 60, 61, 128, 254}) {
    ST_Image *src = Make(5, 7, [&](int, int) { return level; });
    ST_Image *dst = nullptr;
    // _v1, r = 0: lo = hi = c = level, w = 1: T = 256 / 2.
    ASSERT_EQ(ZqLomoU8Image_v1(src, &dst, 0, 0, 1.0f), 0);
    ASSERT_NE(dst, nullptr);
    EXPECT_EQ(At(dst, 4, 6), 128) << int{level};
    EXPECT_EQ(m_testArray[level], 128);
    // _v2 with the flag: above 60 the straight line level / 1 * 256 -> 255.
    ASSERT_EQ(ZqLomoU8Image_v2(src, &dst, 0, 1, 1.0f), 0);
    EXPECT_EQ(At(dst, 2, 3), level > 60 ? 255 : 128) << int{level};
    ZqReleaseImage(&dst);
    ZqReleaseImage(&src);
  }
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqLomoU8Image, RangesByHand) {
  // Half 50, half 150, r = 0, s = 1: lo 50, hi 150, w 101, c 100:
  // T(50) = 97, T(150) = 159; above hi repeats 159, below lo is 0.
  ST_Image *src = Make(4, 6, [](int y, int) { return y < 2 ? 50 : 150; });
  ST_Image *dst = nullptr;
  ASSERT_EQ(ZqLomoU8Image_v1(src, &dst, 0, 0, 1.0f), 0);
  EXPECT_EQ(At(dst, 0, 0), 97);
  EXPECT_EQ(At(dst, 3, 5), 159);
  EXPECT_EQ(m_testArray[49], 0);
  EXPECT_EQ(m_testArray[200], 159);
  ZqReleaseImage(&src);

  // 100 and a saturated 255: without the flag lo 100, hi 255, c 178;
  // with it hi stops at 100 and 255 takes entry 100 (128).
  src = Make(4, 6, [](int y, int) { return y < 2 ? 100 : 255; });
  ASSERT_EQ(ZqLomoU8Image_v1(src, &dst, 0, 0, 1.0f), 0);
  EXPECT_EQ(At(dst, 0, 0), 97);
  EXPECT_EQ(At(dst, 3, 0), 159);
  ASSERT_EQ(ZqLomoU8Image_v1(src, &dst, 0, 1, 1.0f), 0);
  EXPECT_EQ(At(dst, 0, 0), 128);
  EXPECT_EQ(At(dst, 3, 0), 128);
  ZqReleaseImage(&src);
  ZqReleaseImage(&dst);

  // The base curve on a flat 100: the twice-smoothed histogram spreads
  // over 98..102, t = 59, lo 99, hi 101, c 100, w = 50:
  // T(0) = 31, T(100) = 128, T(255) = 245.
  src = Make(20, 30, [](int, int) { return 100; });
  ASSERT_EQ(ZqLomoU8Image(src, &dst, 0, 1.0f), 0);
  EXPECT_EQ(At(dst, 19, 29), 128);
  EXPECT_EQ(m_testArray[0], 31);
  EXPECT_EQ(m_testArray[255], 245);
  ZqReleaseImage(&src);
  ZqReleaseImage(&dst);
}

TEST(ZqLomoU8Image, SmoothedHistogramButSourcePixels) {
  // A 255 spike in a 10 field: the 3 x 3 mean hides it from the histogram
  // (levels 10 and 37), but the spike itself maps through the table: above
  // hi, it takes hi's entry.
  ST_Image *src = Make(6, 9, [](int y, int x) { return y == 3 && x == 4 ? 255 : 10; });
  ST_Image *dst = nullptr;
  ASSERT_EQ(ZqLomoU8Image_v1(src, &dst, 1, 0, 1.0f), 0);
  EXPECT_EQ(At(dst, 3, 4), m_testArray[37]);
  EXPECT_EQ(m_testArray[255], m_testArray[37]);
  EXPECT_EQ(At(dst, 0, 0), m_testArray[10]);
  ZqReleaseImage(&src);
  ZqReleaseImage(&dst);
}

TEST(ZqLomoU8Image, RefusalsAndMessages) {
  ST_Image *src = Make(4, 6, [](int, int) { return 9; });
  ST_Size other = {4, 5};
  ST_Image *wrong = ZqCreateImage(&other, DEPTH_8U);
  ST_Image *kept = wrong;
  {
    LibLogCapture log;
    EXPECT_EQ(ZqLomoU8Image(nullptr, &wrong, 0, 1.0f), -1);
    EXPECT_EQ(ZqLomoU8Image_v1(src, &wrong, 0, 0, 1.0f), -2);
    EXPECT_EQ(ZqLomoU8Image_v2(src, &wrong, 0, 0, 1.0f), -2);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "ZqLomoU8Image.........input image is not reliable",
                                  "ZqLomoU8Image.........size not reliable",
                                  "ZqLomoU8Image.........size not reliable"}));
  }
  EXPECT_EQ(wrong, kept);
  EXPECT_EQ(ZqLomoU8Image_v1(src, &wrong, -1, 0, 1.0f), -1);
  ZqReleaseImage(&wrong);
  ZqReleaseImage(&src);
}

}  // namespace
