#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "src/heap_failure_at.h"
#include "src/lib_log_capture.h"
#include "src/image/ZqImgResize.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_test_image.h"

namespace {

using testing_support::HeapFailureAt;
using testing_support::At;
using testing_support::Fill;
using testing_support::ImagePtr;
using testing_support::LibLogCapture;
using testing_support::NewImage;
using testing_support::Paint;

// A doubled plane f with row slope sr and column slope sc, away from the
// borders: outputs of one phase lie on a plane of the source's slopes, the
// second output of a pair comes after the first in the source's order, and
// each 2 x 2 block averages to its source sample.
void ExpectDoubledPlane(const ST_Image *img, const ST_Image *src, float sr, float sc) {
  for (int r = 3; r + 2 < img->height - 3; ++r) {
    for (int c = 3; c + 2 < img->width - 3; ++c) {
      EXPECT_NEAR(At<float>(img, r, c + 2) - At<float>(img, r, c), sc, 1e-4f) << r << "," << c;
      EXPECT_NEAR(At<float>(img, r + 2, c) - At<float>(img, r, c), sr, 1e-4f) << r << "," << c;
    }
  }
  for (int r = 4; r + 1 < img->height - 3; r += 2) {
    for (int c = 4; c + 1 < img->width - 3; c += 2) {
      EXPECT_GT((At<float>(img, r + 1, c) - At<float>(img, r, c)) * sr, 0.0f) << r << "," << c;
      EXPECT_GT((At<float>(img, r, c + 1) - At<float>(img, r, c)) * sc, 0.0f) << r << "," << c;
      float mean = (At<float>(img, r, c) + At<float>(img, r, c + 1) + At<float>(img, r + 1, c) +
                    At<float>(img, r + 1, c + 1)) / 4;
      EXPECT_NEAR(mean, At<float>(src, r / 2, c / 2), 1e-4f) << r << "," << c;
    }
  }
}

TEST(ZqInterpolateCubic, WeightsAtKnownPositions) {
  struct Case {
    float x;
    float w[4];
  } cases[] = {
      {0.25f, {-0.10546875f, 0.87890625f, 0.26171875f, -0.03515625f}},
      {0.75f, {-0.03515625f, 0.26171875f, 0.87890625f, -0.10546875f}},
      {0.0f, {0.0f, 1.0f, 0.0f, 0.0f}},
      {0.5f, {-0.09375f, 0.59375f, 0.59375f, -0.09375f}},
  };
  for (const Case &c : cases) {
    float w[4];
    ZqInterpolateCubic(w, c.x);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(w[k], c.w[k]) << "x " << c.x << " k " << k;
  }
}

TEST(ZqInterpolateCubic, WeightsSumToOneAndMirror) {
  for (int s = 0; s < 100; ++s) {
    const float x = s / 100.0f;
    float w[4], m[4];
    ZqInterpolateCubic(w, x);
    ZqInterpolateCubic(m, 1.0f - x);
    EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1.0f, 1e-6f) << x;
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(w[k], m[3 - k], 1e-6f) << x;
  }
  LibLogCapture log;
  ZqInterpolateCubic(nullptr, 0.5f);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ZqInterpolateCubic...coeffs == NULL"});
}

TEST(ZqResize, FloatModeZeroTakesEverySecondPixel) {
  struct Case {
    int srcRows, srcCols, dstRows, dstCols;
  } cases[] = {{10, 14, 5, 7}, {9, 13, 5, 7}, {9, 13, 4, 6}, {6, 11, 1, 2}};
  for (const Case &c : cases) {
    ImagePtr src = NewImage(c.srcRows, c.srcCols, DEPTH_32F);
    ImagePtr dst = NewImage(c.dstRows, c.dstCols, DEPTH_32F);
    Fill<float>(src.get(), [](int r, int col) { return r * 100.0f + col; });
    ASSERT_EQ(ZqResize(src.get(), dst.get(), 0), 0);
    for (int r = 0; r < c.dstRows; ++r)
      for (int col = 0; col < c.dstCols; ++col)
        EXPECT_EQ(At<float>(dst.get(), r, col), 2 * r * 100.0f + 2 * col) << r << "," << col;
  }
}

TEST(ZqResize, FloatModeZeroRefusesTargetsBeyondHalfTheSource) {
  // The decimation reads rows and columns 0, 2, 4, ...: a same-size target
  // would read past the source.
  for (auto [rows, cols] : {std::pair{10, 14}, {6, 14}, {10, 8}}) {
    ImagePtr src = NewImage(10, 14, DEPTH_32F);
    ImagePtr dst = NewImage(rows, cols, DEPTH_32F);
    Paint(dst.get(), 0x5a);
    LibLogCapture log;
    EXPECT_EQ(ZqResize(src.get(), dst.get(), 0), -1) << rows << "x" << cols;
    EXPECT_EQ(log.Messages().size(), 1u);
    for (int i = 0; i < dst->imageSize; ++i) ASSERT_EQ(dst->imageData[i], 0x5a);
  }
}

TEST(ZqResize, ByteModeZeroTakesNearestSample) {
  struct Case {
    int srcRows, srcCols, dstRows, dstCols;
  } cases[] = {{7, 5, 3, 10}, {5, 7, 11, 3}, {6, 9, 6, 9}, {3, 13, 2, 6}};
  for (const Case &c : cases) {
    ImagePtr src = NewImage(c.srcRows, c.srcCols, DEPTH_8U);
    ImagePtr dst = NewImage(c.dstRows, c.dstCols, DEPTH_8U);
    Fill<uint8_t>(src.get(), [](int r, int col) { return static_cast<uint8_t>(r * 16 + col); });
    ASSERT_EQ(ZqResize(src.get(), dst.get(), 0), 0);
    const float sw = static_cast<float>(c.srcCols) / c.dstCols;
    const float sh = static_cast<float>(c.srcRows) / c.dstRows;
    for (int r = 0; r < c.dstRows; ++r) {
      for (int col = 0; col < c.dstCols; ++col) {
        int sr = static_cast<int>(r * sh), sc = static_cast<int>(col * sw);
        EXPECT_EQ(At<uint8_t>(dst.get(), r, col), sr * 16 + sc)
            << c.srcRows << "x" << c.srcCols << " -> " << r << "," << col;
      }
    }
  }
}

TEST(ZqResize, CubicDoublingKeepsConstantsAndLines) {
  // Float: a plane stays a plane within each phase where the whole window
  // is inside, and a constant stays constant everywhere (edge taps are
  // renormalised).
  ImagePtr src = NewImage(6, 9, DEPTH_32F);
  ImagePtr dst = NewImage(12, 18, DEPTH_32F);
  Fill<float>(src.get(), [](int r, int c) { return 40.0f + 3.0f * r + 2.0f * c; });
  ASSERT_EQ(ZqResize(src.get(), dst.get(), 2), 0);
  ExpectDoubledPlane(dst.get(), src.get(), 3.0f, 2.0f);
  Fill<float>(src.get(), [](int, int) { return 7.5f; });
  ASSERT_EQ(ZqResize(src.get(), dst.get(), 2), 0);
  for (int r = 0; r < 12; ++r)
    for (int c = 0; c < 18; ++c) EXPECT_NEAR(At<float>(dst.get(), r, c), 7.5f, 1e-5f);

  // 8-bit: a constant stays within one grey level (truncation).
  ImagePtr src8 = NewImage(5, 7, DEPTH_8U);
  ImagePtr dst8 = NewImage(10, 14, DEPTH_8U);
  Fill<uint8_t>(src8.get(), [](int, int) { return uint8_t{200}; });
  ASSERT_EQ(ZqResize(src8.get(), dst8.get(), 2), 0);
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 14; ++c) EXPECT_NEAR(At<uint8_t>(dst8.get(), r, c), 200, 1) << r << "," << c;
}

TEST(ZqResize, RefusalsAndOtherModes) {
  ImagePtr f = NewImage(4, 6, DEPTH_32F);
  ImagePtr f2 = NewImage(2, 3, DEPTH_32F);
  ImagePtr b = NewImage(2, 3, DEPTH_8U);
  ImagePtr w16 = NewImage(4, 6, DEPTH_16U);
  ImagePtr empty = NewImage(0, 3, DEPTH_32F);
  struct Case {
    const ST_Image *src;
    ST_Image *dst;
    int mode;
    int ret;
    const char *message;  // nullptr: none
  } cases[] = {
      {nullptr, f2.get(), 0, -1, "ZqResize...(srcImg == NULL) || (dstImg == NULL)"},
      {f.get(), nullptr, 0, -1, "ZqResize...(srcImg == NULL) || (dstImg == NULL)"},
      {w16.get(), f2.get(), 0, 2, "ZqResize...srcImage depth not support!"},
      {f.get(), empty.get(), 0, -1, "ZqResize...(widthDst <= 0) || (heightDst <= 0)"},
      {f.get(), b.get(), 0, -1, "ZqResize...dstImg->depth != srcImg->depth"},
      {f.get(), f2.get(), 1, 0, nullptr},
      {f.get(), f2.get(), 3, 0, nullptr},
      {f.get(), f2.get(), -1, 0, nullptr},
  };
  Fill<float>(f.get(), [](int r, int c) { return 1.0f + r + c; });
  for (const Case &c : cases) {
    Paint(f2.get(), 0x33);
    Paint(b.get(), 0x33);
    LibLogCapture log;
    EXPECT_EQ(ZqResize(c.src, c.dst, c.mode), c.ret) << c.mode;
    std::vector<std::string> expected;
    if (c.message) expected.push_back(c.message);
    EXPECT_EQ(log.Messages(), expected);
    for (int i = 0; i < f2->imageSize; ++i) ASSERT_EQ(f2->imageData[i], 0x33);
    for (int i = 0; i < b->imageSize; ++i) ASSERT_EQ(b->imageData[i], 0x33);
  }
}

TEST(ZqResize, CubicAllocationFailuresAreReportedWithoutLeaks) {
  ImagePtr src = NewImage(3, 5, DEPTH_32F);
  ImagePtr dst = NewImage(6, 10, DEPTH_32F);
  const char *messages[] = {"ZqResize...arrayCoff1 == NULL", "ZqResize...arrayCoff2 == NULL",
                            "ZqResize...arrayXY == NULL"};
  for (int nth = 0; nth < 3; ++nth) {
    Paint(dst.get(), 0x44);
    const int32_t start = ZqGetMallocCnts();
    LibLogCapture log;
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqResize(src.get(), dst.get(), 2), -1);
      EXPECT_TRUE(fail.Fired());
    }
    std::vector<std::string> got = log.Messages();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), messages[nth]);
    EXPECT_EQ(ZqGetMallocCnts(), start);
    for (int i = 0; i < dst->imageSize; ++i) ASSERT_EQ(dst->imageData[i], 0x44);
  }
}

TEST(ZqDoubleImageByCubic, ConstantAndPlane) {
  ImagePtr src = NewImage(5, 6, DEPTH_32F);
  ImagePtr dst = NewImage(10, 12, DEPTH_32F);
  Fill<float>(src.get(), [](int, int) { return 100.0f; });
  ASSERT_EQ(ZqDoubleImageByCubic(src.get(), dst.get()), 1);
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 12; ++c) EXPECT_NEAR(At<float>(dst.get(), r, c), 100.0f, 0.02f) << r << "," << c;

  ImagePtr ramp = NewImage(7, 9, DEPTH_32F);
  ImagePtr big = NewImage(14, 18, DEPTH_32F);
  Fill<float>(ramp.get(), [](int r, int c) { return 10.0f + 5.0f * r - 3.0f * c; });
  ASSERT_EQ(ZqDoubleImageByCubic(ramp.get(), big.get()), 1);
  ExpectDoubledPlane(big.get(), ramp.get(), 5.0f, -3.0f);
}

TEST(ZqDoubleImageByCubic, ShortLinesStayConstant) {
  // Lines shorter than the four taps are renormalised by the weights used.
  for (auto [rows, cols] : {std::pair{1, 2}, {1, 3}, {2, 5}, {3, 2}, {4, 3}}) {
    ImagePtr src = NewImage(rows, cols, DEPTH_32F);
    ImagePtr dst = NewImage(2 * rows, 2 * cols, DEPTH_32F);
    Fill<float>(src.get(), [](int, int) { return 50.0f; });
    ASSERT_EQ(ZqDoubleImageByCubic(src.get(), dst.get()), 1) << rows << "x" << cols;
    for (int r = 0; r < 2 * rows; ++r)
      for (int c = 0; c < 2 * cols; ++c)
        EXPECT_NEAR(At<float>(dst.get(), r, c), 50.0f, 0.01f) << rows << "x" << cols;
  }
}

TEST(ZqDoubleImageByCubic, RefusesMismatchedImagesAndFailedScratch) {
  ImagePtr src = NewImage(4, 6, DEPTH_32F);
  ImagePtr swapped = NewImage(12, 8, DEPTH_32F);
  ImagePtr bytes = NewImage(8, 12, DEPTH_8U);
  ImagePtr dst = NewImage(8, 12, DEPTH_32F);
  LibLogCapture log;
  EXPECT_EQ(ZqDoubleImageByCubic(nullptr, dst.get()), 0);
  EXPECT_EQ(ZqDoubleImageByCubic(src.get(), swapped.get()), 0);
  EXPECT_EQ(ZqDoubleImageByCubic(src.get(), bytes.get()), 0);
  EXPECT_EQ(log.Messages().size(), 3u);
  // Allocations: the scratch record, its data and two tap tables.
  for (int nth = 0;; ++nth) {
    const int32_t start = ZqGetMallocCnts();
    HeapFailureAt fail(nth);
    const int32_t ret = ZqDoubleImageByCubic(src.get(), dst.get());
    EXPECT_EQ(ZqGetMallocCnts(), start);
    if (!fail.Fired()) {
      EXPECT_EQ(ret, 1);
      EXPECT_EQ(nth, 4);
      break;
    }
    EXPECT_EQ(ret, 0) << nth;
  }
}

}  // namespace
