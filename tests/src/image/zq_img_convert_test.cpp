#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "src/heap_failure_at.h"
#include "src/lib_log_capture.h"
#include "src/image/ZqImgHist.h"
#include "src/image/ZqImgProc.h"
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

// Pixel (r, c) of an image of any depth as double; Set writes one.
double Get(const ST_Image *img, int r, int c) {
  switch (static_cast<uint32_t>(img->depth)) {
    case DEPTH_8U: return At<uint8_t>(img, r, c);
    case static_cast<uint32_t>(DEPTH_8S): return At<int8_t>(img, r, c);
    case DEPTH_16U: return At<uint16_t>(img, r, c);
    case static_cast<uint32_t>(DEPTH_16S): return At<int16_t>(img, r, c);
    case static_cast<uint32_t>(DEPTH_32S): return At<int32_t>(img, r, c);
    case DEPTH_32F: return At<float>(img, r, c);
    case DEPTH_64F: return At<double>(img, r, c);
  }
  ADD_FAILURE() << "depth " << img->depth;
  return 0;
}
void Set(const ST_Image *img, int r, int c, double v) {
  switch (static_cast<uint32_t>(img->depth)) {
    case DEPTH_8U: At<uint8_t>(img, r, c) = static_cast<uint8_t>(v); return;
    case static_cast<uint32_t>(DEPTH_8S): At<int8_t>(img, r, c) = static_cast<int8_t>(v); return;
    case DEPTH_16U: At<uint16_t>(img, r, c) = static_cast<uint16_t>(v); return;
    case static_cast<uint32_t>(DEPTH_16S): At<int16_t>(img, r, c) = static_cast<int16_t>(v); return;
    case static_cast<uint32_t>(DEPTH_32S): At<int32_t>(img, r, c) = static_cast<int32_t>(v); return;
    case DEPTH_32F: At<float>(img, r, c) = static_cast<float>(v); return;
    case DEPTH_64F: At<double>(img, r, c) = v; return;
  }
  ADD_FAILURE() << "depth " << img->depth;
}

TEST(ZqFour2One, MeansOfTwoByTwoBlocksPerDepth) {
  // Values near each type's ends: the four-pixel sums overflow the type and,
  // for signed 32-bit pixels, 32 bits.
  struct Case {
    int32_t depth;
    double lo, hi;
    bool integer;
  } cases[] = {
      {DEPTH_8U, 0, 255, true},
      {DEPTH_8S, -128, 127, true},
      {DEPTH_16U, 0, 65535, true},
      {DEPTH_16S, -32768, 32767, true},
      {DEPTH_32S, INT32_MIN, INT32_MAX, true},
      {DEPTH_32F, -1e6, 1e6, false},
      {DEPTH_64F, -1e12, 1e12, false},
  };
  for (const Case &c : cases) {
    ImagePtr src = NewImage(6, 10, c.depth);  // 5 output columns: rows padded for 8-bit
    for (int r = 0; r < 6; ++r)
      for (int col = 0; col < 10; ++col) {
        // Mostly extremes, with a few steps between them.
        double t = ((r * 7 + col * 3) % 5) / 4.0;
        double v = c.lo + (c.hi - c.lo) * (t < 0.5 ? t * 0.1 : 1 - (1 - t) * 0.1);
        Set(src.get(), r, col, c.integer ? std::floor(v) : v);
      }
    ImagePtr dst(ZqFour2One(src.get()));
    ASSERT_NE(dst, nullptr) << c.depth;
    EXPECT_EQ(dst->depth, c.depth);
    ASSERT_EQ(dst->height, 3);
    ASSERT_EQ(dst->width, 5);
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 5; ++col) {
        long double sum = 0;
        for (int k = 0; k < 4; ++k) sum += Get(src.get(), 2 * r + k / 2, 2 * col + k % 2);
        long double want = c.integer ? std::trunc(sum / 4) : sum / 4;
        EXPECT_NEAR(Get(dst.get(), r, col), static_cast<double>(want),
                    c.integer ? 0 : std::fabs(static_cast<double>(want)) * 1e-6)
            << "depth " << c.depth << " at " << r << "," << col;
      }
  }
}

TEST(ZqFour2One, RefusesOddSizesAndBadImages) {
  ImagePtr odd_w = NewImage(4, 5, DEPTH_32F);
  ImagePtr odd_h = NewImage(3, 6, DEPTH_32F);
  ImagePtr bits = NewImage(4, 8, DEPTH_1U);
  ST_Image bare = {DEPTH_8U, 6, 4, 32, 8, nullptr};
  LibLogCapture log;
  EXPECT_EQ(ZqFour2One(nullptr), nullptr);
  EXPECT_EQ(ZqFour2One(odd_w.get()), nullptr);
  EXPECT_EQ(ZqFour2One(odd_h.get()), nullptr);
  EXPECT_EQ(ZqFour2One(bits.get()), nullptr);
  EXPECT_EQ(ZqFour2One(&bare), nullptr);
  EXPECT_EQ(log.Messages().size(), 5u);
}

TEST(ZqCovertImgforStore, StretchesEveryDepthToBytes) {
  struct Case {
    int32_t depth;
    std::vector<double> in;    // 3 columns x 2 rows, row by row
    std::vector<int> out;
  } cases[] = {
      {DEPTH_8U, {0, 7, 255, 1, 2, 3}, {0, 7, 255, 1, 2, 3}},
      {DEPTH_16U, {100, 300, 100, 300, 200, 100}, {0, 255, 0, 255, 127, 0}},
      // All values negative: the maximum is the largest of them, not 0.
      {DEPTH_16S, {-5, -3, -4, -5, -5, -3}, {0, 255, 127, 0, 0, 255}},
      // The range spans 2^32 - 1.
      {DEPTH_32S, {INT32_MIN, INT32_MAX, 0, 0, INT32_MIN, INT32_MAX}, {0, 255, 127, 127, 0, 255}},
      {DEPTH_32F, {0.25, 0.5, 0.75, 0.25, 0.25, 0.75}, {0, 127, 255, 0, 0, 255}},
      // A flat image has no range: all 0.
      {DEPTH_32F, {3, 3, 3, 3, 3, 3}, {0, 0, 0, 0, 0, 0}},
      // Depths without a stretch stay 0.
      {DEPTH_64F, {1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0}},
      {DEPTH_8S, {1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    ImagePtr src = NewImage(2, 3, c.depth);
    for (int i = 0; i < 6; ++i) Set(src.get(), i / 3, i % 3, c.in[i]);
    ImagePtr dst(ZqCovertImgforStore(src.get()));
    ASSERT_NE(dst, nullptr);
    EXPECT_EQ(dst->depth, DEPTH_8U);
    std::vector<int> got;
    for (int i = 0; i < 6; ++i) got.push_back(At<uint8_t>(dst.get(), i / 3, i % 3));
    EXPECT_EQ(got, c.out) << "depth " << c.depth;
  }
  LibLogCapture log;
  EXPECT_EQ(ZqCovertImgforStore(nullptr), nullptr);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ZqCovertImgforStore...src == NULL"});
}

TEST(ZqConvertScale, ScalesEveryPixelRowByRow) {
  ImagePtr src = NewImage(3, 5, DEPTH_8U);  // 5 bytes in rows of 8
  ImagePtr dst = NewImage(3, 5, DEPTH_32F);
  Fill<uint8_t>(src.get(), [](int r, int c) { return static_cast<uint8_t>(10 * r + c); });
  ZqConvertScale(src.get(), dst.get(), 0.5f, -1.0f);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(At<float>(dst.get(), r, c), (10 * r + c) * 0.5f - 1.0f);
}

TEST(ZqConvertScale, RefusalsWriteNothing) {
  ImagePtr src = NewImage(3, 5, DEPTH_8U);
  ImagePtr dst = NewImage(3, 5, DEPTH_32F);
  ImagePtr wide = NewImage(3, 6, DEPTH_32F);
  ImagePtr tall = NewImage(4, 5, DEPTH_32F);
  ImagePtr bytes = NewImage(3, 5, DEPTH_8U);
  struct Case {
    const ST_Image *src;
    ST_Image *dst;
    float scale;
    const char *message;
  } cases[] = {
      {nullptr, dst.get(), 1, "ZqConvertScale...(srcImg == NULL) || (dstImg == NULL) || (scale == 0)"},
      {src.get(), dst.get(), 0, "ZqConvertScale...(srcImg == NULL) || (dstImg == NULL) || (scale == 0)"},
      {src.get(), wide.get(), 1, "ZqConvertScale...dstImg->width != srcImg->width"},
      {src.get(), tall.get(), 1, "ZqConvertScale...dstImg->height != srcImg->height"},
      {src.get(), bytes.get(), 1, "ZqConvertScale...(srcImg->depth != DEPTH_8U) || (dstImg->depth != DEPTH_32F)"},
  };
  Paint(src.get(), 9);
  for (const Case &c : cases) {
    Paint(dst.get(), 0x5a);
    Paint(bytes.get(), 0x5a);
    LibLogCapture log;
    ZqConvertScale(c.src, c.dst, c.scale, 0);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{c.message});
    for (int i = 0; i < dst->imageSize; ++i) ASSERT_EQ(dst->imageData[i], 0x5a);
    for (int i = 0; i < bytes->imageSize; ++i) ASSERT_EQ(bytes->imageData[i], 0x5a);
  }
}

TEST(ZqFloatImage2U8, TruncatesAndLimits) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> in = {-0.5f, 0.0f, 0.5f, 1.0f, 1.01f, 3.0f, nan, 0.1f, 1e30f, 0.999f};
  const std::vector<int> want = {0, 0, 127, 255, 255, 255, 0, 25, 255, 254};
  ImagePtr src = NewImage(2, 5, DEPTH_32F);
  for (int i = 0; i < 10; ++i) At<float>(src.get(), i / 5, i % 5) = in[i];
  ST_Image *dst = nullptr;  // created by the call: 5 bytes in rows of 8
  ZqFloatImage2U8(src.get(), &dst);
  ASSERT_NE(dst, nullptr);
  ImagePtr owned(dst);
  std::vector<int> got;
  for (int i = 0; i < 10; ++i) got.push_back(At<uint8_t>(dst, i / 5, i % 5));
  EXPECT_EQ(got, want);
}

TEST(ZqFloatImage2U8, RefusesMismatchedTargets) {
  ImagePtr src = NewImage(2, 5, DEPTH_32F);
  ImagePtr wide = NewImage(2, 6, DEPTH_8U);
  ImagePtr tall = NewImage(3, 5, DEPTH_8U);
  ImagePtr floats = NewImage(2, 5, DEPTH_32F);
  struct Case {
    ST_Image *dst;
    const char *message;
  } cases[] = {
      {wide.get(), "ZqFloatImage2U8......dstImg->width != srcImg->width"},
      {tall.get(), "ZqFloatImage2U8......dstImg->height != srcImg->height"},
      {floats.get(), "ZqFloatImage2U8...(srcImg->depth != DEPTH_32F) || ((*dstImg)->depth != DEPTH_8U)"},
  };
  Fill<float>(src.get(), [](int, int) { return 0.5f; });
  for (const Case &c : cases) {
    Paint(c.dst, 0x5a);
    ST_Image *dst = c.dst;
    LibLogCapture log;
    ZqFloatImage2U8(src.get(), &dst);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(dst, c.dst);
    for (int i = 0; i < c.dst->imageSize; ++i) ASSERT_EQ(c.dst->imageData[i], 0x5a);
  }
}

TEST(ZqThreasholdImageU8, BandAndInverseBand) {
  ImagePtr src = NewImage(2, 5, DEPTH_8U);
  const std::vector<int> in = {0, 9, 10, 11, 19, 20, 21, 255, 15, 10};
  for (int i = 0; i < 10; ++i) At<uint8_t>(src.get(), i / 5, i % 5) = static_cast<uint8_t>(in[i]);
  for (uint8_t flag : {0, 1}) {
    ST_Image *dst = nullptr;
    ASSERT_EQ(ZqThreasholdImageU8(src.get(), &dst, 10, 20, flag), 0);
    ImagePtr owned(dst);
    for (int i = 0; i < 10; ++i) {
      bool inside = in[i] >= 10 && in[i] <= 20;
      EXPECT_EQ(At<uint8_t>(dst, i / 5, i % 5), inside == (flag == 0) ? 255 : 0) << in[i];
    }
  }
  ImagePtr other = NewImage(5, 2, DEPTH_8U);
  ST_Image *swapped = other.get();
  LibLogCapture log;
  EXPECT_EQ(ZqThreasholdImageU8(src.get(), &swapped, 0, 1, 0), -2);
  EXPECT_EQ(ZqThreasholdImageU8(nullptr, &swapped, 0, 1, 0), -1);
  EXPECT_EQ(log.Messages().size(), 2u);
}

TEST(ZqCalcU8ImageHist, CountsTheBandAndChecksFirst) {
  ImagePtr img = NewImage(3, 5, DEPTH_8U);
  Fill<uint8_t>(img.get(), [](int r, int c) { return static_cast<uint8_t>(r + c); });  // 0..6
  std::vector<int32_t> hist(10, -7);
  ASSERT_EQ(ZqCalcU8ImageHist(img.get(), hist.data(), 0, 7), 0);
  EXPECT_EQ(hist, (std::vector<int32_t>{1, 2, 3, 3, 3, 2, 1, 0, -7, -7}));
  // A band from 2: entries 2..4 cleared and counted, the others untouched.
  std::fill(hist.begin(), hist.end(), -7);
  ASSERT_EQ(ZqCalcU8ImageHist(img.get(), hist.data(), 2, 4), 0);
  EXPECT_EQ(hist, (std::vector<int32_t>{-7, -7, 3, 3, 3, -7, -7, -7, -7, -7}));

  ImagePtr floats = NewImage(3, 5, DEPTH_32F);
  ImagePtr empty = NewImage(0, 5, DEPTH_8U);
  std::fill(hist.begin(), hist.end(), -7);
  LibLogCapture log;
  EXPECT_EQ(ZqCalcU8ImageHist(nullptr, hist.data(), 0, 7), -1);
  EXPECT_EQ(ZqCalcU8ImageHist(img.get(), nullptr, 0, 7), -1);
  EXPECT_EQ(ZqCalcU8ImageHist(img.get(), hist.data(), 5, 4), -1);
  EXPECT_EQ(ZqCalcU8ImageHist(floats.get(), hist.data(), 0, 7), -2);
  EXPECT_EQ(ZqCalcU8ImageHist(empty.get(), hist.data(), 0, 7), -3);
  EXPECT_EQ(log.Messages().size(), 5u);
  EXPECT_EQ(hist, std::vector<int32_t>(10, -7));  // refused calls clear nothing
}

TEST(Normalize, MinMaxStretchOnImagesAndBuffers) {
  struct Case {
    std::vector<uint8_t> in;  // 2 rows x 5 columns
    std::vector<uint8_t> out;
  } cases[] = {
      {{10, 20, 10, 20, 10, 20, 20, 10, 10, 20}, {0, 255, 0, 255, 0, 255, 255, 0, 0, 255}},
      {{7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, std::vector<uint8_t>(10, 255)},
      // (v - lo) * 255 / (hi - lo), rounded: 15 -> (5 * 255 + 5) / 10 = 128.
      {{10, 15, 20, 11, 19, 10, 10, 10, 10, 10}, {0, 128, 255, 26, 230, 0, 0, 0, 0, 0}},
      {{0, 255, 1, 254, 128, 0, 0, 0, 0, 0}, {0, 255, 1, 254, 128, 0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> buf(10);
    ASSERT_EQ(Normalize_u8(c.in.data(), 5, 2, buf.data()), 0);
    EXPECT_EQ(buf, c.out);

    ImagePtr src = NewImage(2, 5, DEPTH_8U);
    for (int i = 0; i < 10; ++i) At<uint8_t>(src.get(), i / 5, i % 5) = c.in[i];
    ST_Image *dst = nullptr;
    ASSERT_EQ(ZqNormalizeU8Image(src.get(), &dst), 0);
    ImagePtr owned(dst);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(At<uint8_t>(dst, i / 5, i % 5), c.out[i]) << i;
  }
  std::vector<uint8_t> in(4, 3), out(4, 9);
  EXPECT_EQ(Normalize_u8(in.data(), 0, 2, out.data()), 0);  // empty: nothing written
  EXPECT_EQ(out, std::vector<uint8_t>(4, 9));
  LibLogCapture log;
  EXPECT_EQ(Normalize_u8(nullptr, 2, 2, out.data()), -1);
  EXPECT_EQ(ZqNormalizeU8Image(nullptr, nullptr), -1);
  EXPECT_EQ(log.Messages().size(), 2u);
}

TEST(HistNormalize_u8, BoundsFromTheSmoothedHistogram) {
  // Two grey levels, 640 pixels each. Smoothing twice spreads each level
  // over five bins (1, 4, 6, 4, 1) / 16; with fraction 0.1 (m = 128) the
  // count from below crosses m at bin 59 (40 -> 200: 200 is nearer) and the
  // count from above at bin 181.
  std::vector<uint8_t> img(1280);
  for (size_t i = 0; i < img.size(); ++i) img[i] = i % 2 ? 180 : 60;
  std::vector<uint8_t> out(img.size());
  ASSERT_EQ(HistNormalize_u8(img.data(), 40, 32, out.data(), 0.1f), 0);
  for (size_t i = 0; i < img.size(); ++i) {
    // lo 59, hi 181: ((v - 59) * 255 + 61) / 122.
    ASSERT_EQ(out[i], img[i] == 60 ? 2 : 253) << i;
  }
  // In place, with the same result.
  ASSERT_EQ(HistNormalize_u8(img.data(), 40, 32, img.data(), 0.1f), 0);
  EXPECT_EQ(img, out);
}

TEST(HistNormalize_u8, FlatImagesAndCrossedBounds) {
  // Smoothing spreads a single level over bins v - 2 .. v + 2, so a flat
  // image maps to mid-grey; at the ends of the range it stays there. A
  // fraction of 1 or more makes the bounds cross: all white.
  struct Case {
    uint8_t value;
    float fraction;
    uint8_t out;
  } cases[] = {{100, 0.1f, 128}, {100, -1.0f, 128}, {0, 0.1f, 0},
               {255, 0.1f, 255}, {100, 1.0f, 255},  {100, 7.0f, 255}};
  for (const Case &c : cases) {
    std::vector<uint8_t> img(6 * 4, c.value), out(img.size());
    ASSERT_EQ(HistNormalize_u8(img.data(), 6, 4, out.data(), c.fraction), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(img.size(), c.out)) << int{c.value} << " " << c.fraction;
  }
  LibLogCapture log;
  EXPECT_EQ(HistNormalize_u8(nullptr, 1, 1, nullptr, 0.1f), -1);
}

// Rows of an 8-bit image as strings: '#' 255, '.' 0, 'o' 100, '+' 128.
std::vector<std::string> Picture(const ST_Image *img) {
  std::vector<std::string> rows;
  for (int r = 0; r < img->height; ++r) {
    std::string s;
    for (int c = 0; c < img->width; ++c) {
      switch (At<uint8_t>(img, r, c)) {
        case 255: s += '#'; break;
        case 0: s += '.'; break;
        case 100: s += 'o'; break;
        case 128: s += '+'; break;
        default: s += '?';
      }
    }
    rows.push_back(s);
  }
  return rows;
}

TEST(ZqCreateHistImage, DrawsBarsScaledToTheLargestCount) {
  struct Case {
    std::vector<int32_t> hist;
    std::vector<std::string> picture;  // 6 rows x 9 columns
  } cases[] = {
      {{2, 4, 0}, {"...###...", "...###...", "...###...", "######...", "######...", "######..."}},
      {{3, 1, 2}, {"###......", "###......", "###...###", "###...###", "#########", "#########"}},
      {{0, 0, 0}, std::vector<std::string>(6, ".........")},
  };
  for (const Case &c : cases) {
    ST_Image *dst = nullptr;
    ASSERT_EQ(ZqCreateHistImage(c.hist.data(), 9, 6, 3, &dst), 0);
    ImagePtr owned(dst);
    EXPECT_EQ(Picture(dst), c.picture);
  }
  ImagePtr wrong = NewImage(9, 6, DEPTH_8U);
  ST_Image *swapped = wrong.get();
  int32_t hist[3] = {1, 2, 3};
  LibLogCapture log;
  EXPECT_EQ(ZqCreateHistImage(hist, 9, 6, 3, &swapped), -1);
  EXPECT_EQ(ZqCreateHistImage(hist, 9, 6, 0, &swapped), -1);
  EXPECT_EQ(ZqCreateHistImage(nullptr, 9, 6, 3, &swapped), -1);
  EXPECT_EQ(log.Messages().size(), 3u);
}

TEST(ZqCreatePixelExpImage, PlotsCurveAndDiagonal) {
  // 256 columns: one per entry. 10 rows.
  std::vector<int32_t> curve(256);
  for (int k = 0; k < 256; ++k) curve[k] = 255 - k;  // the falling diagonal
  ST_Image *dst = nullptr;
  ASSERT_EQ(ZqCreatePixelExpImage(curve.data(), 256, 10, &dst), 0);
  ImagePtr owned(dst);
  auto column = [&](int k) {
    std::string s;
    for (int r = 0; r < 10; ++r) s += Picture(dst)[r][k];
    return s;
  };
  // k = 0: curve at j = 0 (rows 0, 1), diagonal at g = 10 (row 9).
  EXPECT_EQ(column(0), "oo.......+");
  // k = 255: curve at j = 10 (rows 8, 9), diagonal at g = 0 (row 0).
  EXPECT_EQ(column(255), "+.......oo");
  // k = 128: curve j = 10 - 4 = 6 (rows 4..7), then the diagonal
  // g = (int)(10 - 5.02) = 4 over rows 3 and 4.
  EXPECT_EQ(column(128), "...++ooo..");

  // Curve values whose product with the height overflows 32 bits land above
  // the image (rows 0 and 1); negative ones below it.
  std::fill(curve.begin(), curve.end(), INT32_MAX);
  ST_Image *high = nullptr;
  ASSERT_EQ(ZqCreatePixelExpImage(curve.data(), 256, 10, &high), 0);
  ImagePtr high_owned(high);
  EXPECT_EQ(Picture(high)[0][128], 'o');
  EXPECT_EQ(Picture(high)[1][128], 'o');
  std::fill(curve.begin(), curve.end(), INT32_MIN);
  ST_Image *low = nullptr;
  ASSERT_EQ(ZqCreatePixelExpImage(curve.data(), 256, 10, &low), 0);
  ImagePtr low_owned(low);
  for (int r = 0; r < 10; ++r) EXPECT_NE(Picture(low)[r][128], 'o') << r;

  LibLogCapture log;
  EXPECT_EQ(ZqCreatePixelExpImage(nullptr, 256, 10, &dst), -1);
  EXPECT_EQ(log.Messages().size(), 1u);
}

TEST(ImageCreatingConversions, CreationFailuresLeakNothing) {
  ImagePtr f = NewImage(4, 6, DEPTH_32F);
  ImagePtr b = NewImage(4, 6, DEPTH_8U);
  int32_t hist[2] = {1, 2}, curve[256] = {0};
  for (int nth = 0; nth < 2; ++nth) {
    const int32_t start = ZqGetMallocCnts();
    LibLogCapture log;
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqFour2One(f.get()), nullptr);
    }
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqCovertImgforStore(f.get()), nullptr);
    }
    ST_Image *dst = nullptr;
    {
      HeapFailureAt fail(nth);
      ZqFloatImage2U8(f.get(), &dst);
      EXPECT_EQ(dst, nullptr);
    }
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqThreasholdImageU8(b.get(), &dst, 0, 1, 0), -2);
    }
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqNormalizeU8Image(b.get(), &dst), -2);
    }
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqCreateHistImage(hist, 6, 4, 2, &dst), -1);
    }
    {
      HeapFailureAt fail(nth);
      EXPECT_EQ(ZqCreatePixelExpImage(curve, 6, 4, &dst), -1);
    }
    EXPECT_EQ(dst, nullptr);
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
}

}  // namespace
