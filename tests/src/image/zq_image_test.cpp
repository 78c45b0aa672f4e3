#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::LibLogCapture;

TEST(ZqCreateImage, RowBytesTable) {
  struct Case {
    int32_t rows, cols, depth, rowBytes;
  } cases[] = {
      {3, 5, DEPTH_8U, 8},     {3, 33, DEPTH_1U, 8},   {3, 32, DEPTH_1U, 4},
      {3, 3, DEPTH_16S, 8},    {3, 5, DEPTH_32F, 20},  {3, 5, DEPTH_32S, 20},
      {2, 3, DEPTH_8S, 4},     {2, 3, DEPTH_16U, 8},   {2, 3, DEPTH_64F, 24},
      {1, 1, DEPTH_1U, 4},     {0, 7, DEPTH_8U, 8},    {4, 0, DEPTH_32F, 0},
  };
  const int32_t start = ZqGetMallocCnts();
  for (const Case &c : cases) {
    ST_Size size = {c.rows, c.cols};
    ST_Image *img = ZqCreateImage(&size, c.depth);
    ASSERT_NE(img, nullptr) << c.cols << " " << c.depth;
    EXPECT_EQ(img->depth, c.depth);
    EXPECT_EQ(img->width, c.cols);
    EXPECT_EQ(img->height, c.rows);
    EXPECT_EQ(img->rowBytes, c.rowBytes) << c.cols << " " << c.depth;
    EXPECT_EQ(img->imageSize, c.rowBytes * c.rows);
    ASSERT_NE(img->imageData, nullptr);
    for (int32_t i = 0; i < img->imageSize; ++i) ASSERT_EQ(img->imageData[i], 0);
    ZqReleaseImage(&img);
    EXPECT_EQ(img, nullptr);
  }
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqCreateImage, RefusalsAndTheirMessages) {
  struct Case {
    int32_t rows, cols, depth;
    std::vector<std::string> messages;
  } cases[] = {
      {3, 5, 2, {"ZqInitImageHeader...depth error"}},
      {3, 5, static_cast<int32_t>(0x80000001u), {"ZqInitImageHeader...depth error"}},
      {3, 5, static_cast<int32_t>(0x80000040u), {"ZqInitImageHeader...depth error"}},
      {3, 5, 0, {"ZqInitImageHeader...depth error"}},
      {-1, 5, DEPTH_8U, {"ZqInitImageHeader...pSize->col < 0 || pSize->row < 0"}},
      {3, -5, DEPTH_8U, {"ZqInitImageHeader...pSize->col < 0 || pSize->row < 0"}},
      {65536, 65536, DEPTH_8U,
       {"ZqInitImageHeader...(SINT64)image->imageSize != imageSizeTmp",
        "ZqCreateImageData...(SINT64)img->imageSize != imageSizeTmp",
        "ZqCreateImage...img->imageData malloc fail"}},
      {1, INT32_MAX, DEPTH_64F,
       {"ZqInitImageHeader...(SINT64)image->imageSize != imageSizeTmp",
        "ZqCreateImageData...(SINT64)img->imageSize != imageSizeTmp",
        "ZqCreateImage...img->imageData malloc fail"}},
  };
  const int32_t start = ZqGetMallocCnts();
  for (const Case &c : cases) {
    LibLogCapture log;
    ST_Size size = {c.rows, c.cols};
    EXPECT_EQ(ZqCreateImage(&size, c.depth), nullptr) << c.rows << " " << c.cols;
    EXPECT_EQ(log.Messages(), c.messages) << c.rows << " " << c.cols << " " << c.depth;
  }
  LibLogCapture log;
  EXPECT_EQ(ZqCreateImage(nullptr, DEPTH_8U), nullptr);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ZqCreateImage...pSize == NULL"});
  EXPECT_EQ(ZqGetMallocCnts(), start);  // no half-made record is left behind
}

TEST(ZqCreateImageData, RefusesBadRecords) {
  LibLogCapture log;
  ZqCreateImageData(nullptr);
  ST_Image has_data = {DEPTH_8U, 4, 1, 4, 4, reinterpret_cast<uint8_t *>(&has_data)};
  ZqCreateImageData(&has_data);
  ST_Image wrong_size = {DEPTH_8U, 4, 2, 4, 4, nullptr};
  ZqCreateImageData(&wrong_size);
  EXPECT_EQ(wrong_size.imageData, nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqCreateImageData...img == NULL",
                                "ZqCreateImageData...img->imageData != 0",
                                "ZqCreateImageData...(SINT64)img->imageSize != imageSizeTmp"}));
}

TEST(ZqReleaseImage, NullCases) {
  LibLogCapture log;
  ST_Image *none = nullptr;
  ZqReleaseImage(&none);
  ZqReleaseImageHeader(&none);
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(log.Messages().empty());
  ZqReleaseImage(nullptr);
  ZqReleaseImageHeader(nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"ZqReleaseImage...image == NULL",
                                                      "ZqReleaseImageHeader...image == NULL"}));
}

TEST(ZqCloneImage, DeepCopyAndRecordWithoutData) {
  const int32_t start = ZqGetMallocCnts();
  ST_Size size = {3, 5};
  ST_Image *src = ZqCreateImage(&size, DEPTH_16U);
  for (int32_t i = 0; i < src->imageSize; ++i) src->imageData[i] = static_cast<uint8_t>(i * 7);
  ST_Image *copy = ZqCloneImage(src);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->imageData, src->imageData);
  EXPECT_EQ(std::memcmp(copy, src, offsetof(ST_Image, imageData)), 0);
  EXPECT_EQ(std::memcmp(copy->imageData, src->imageData, src->imageSize), 0);

  ST_Image header_only = *src;
  header_only.imageData = nullptr;
  ST_Image *bare = ZqCloneImage(&header_only);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->imageData, nullptr);
  EXPECT_EQ(bare->imageSize, src->imageSize);

  LibLogCapture log;
  EXPECT_EQ(ZqCloneImage(nullptr), nullptr);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"ZqCloneImage...src == NULL"});
  ZqReleaseImage(&src);
  ZqReleaseImage(&copy);
  ZqReleaseImage(&bare);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

// The destination may be either source; every pixel, also those after the
// last group of four, is b - a as one subtraction gives it.
TEST(ZqSubImage, InPlaceAndOddSizesGiveEveryDifference) {
  struct Case {
    const char *what;
    int rows, cols, into;  // into: 0 separate image, 1 the first source, 2 the second
  };
  const Case cases[] = {
      {"separate 3x7", 3, 7, 0}, {"into the first 5x5", 5, 5, 1},
      {"into the second 1x3", 1, 3, 2}, {"into the second 4x9", 4, 9, 2},
  };
  for (const Case &c : cases) {
    ST_Size size = {c.rows, c.cols};
    ST_Image *a = ZqCreateImage(&size, DEPTH_32F);
    ST_Image *b = ZqCreateImage(&size, DEPTH_32F);
    ST_Image *d = ZqCreateImage(&size, DEPTH_32F);
    const int n = c.rows * c.cols;
    std::vector<float> want(n);
    for (int i = 0; i < n; ++i) {
      const float va = 0.1f * static_cast<float>(i * i) - 3.3f, vb = 7.7f / static_cast<float>(i + 1);
      std::memcpy(a->imageData + 4 * i, &va, 4);
      std::memcpy(b->imageData + 4 * i, &vb, 4);
      want[i] = vb - va;
    }
    ST_Image *out = c.into == 1 ? a : c.into == 2 ? b : d;
    ZqSubImage(a, b, out);
    for (int i = 0; i < n; ++i) {
      float got;
      std::memcpy(&got, out->imageData + 4 * i, 4);
      EXPECT_EQ(std::memcmp(&got, &want[i], 4), 0) << c.what << " pixel " << i;
    }
    for (ST_Image **img : {&a, &b, &d}) ZqReleaseImage(img);
  }
}

TEST(ZqSubImage, DifferenceOfFloatImages) {
  ST_Size size = {2, 3};
  ST_Image *a = ZqCreateImage(&size, DEPTH_32F);
  ST_Image *b = ZqCreateImage(&size, DEPTH_32F);
  ST_Image *d = ZqCreateImage(&size, DEPTH_32F);
  auto *fa = reinterpret_cast<float *>(a->imageData);
  auto *fb = reinterpret_cast<float *>(b->imageData);
  for (int i = 0; i < 6; ++i) {
    fa[i] = 0.5f * i;
    fb[i] = 10.0f - i;
  }
  ZqSubImage(a, b, d);
  auto *fd = reinterpret_cast<float *>(d->imageData);
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(fd[i], 10.0f - 1.5f * i) << i;

  ST_Size small = {1, 3};
  ST_Image *s = ZqCreateImage(&small, DEPTH_32F);
  std::memset(d->imageData, 0, d->imageSize);
  LibLogCapture log;
  ZqSubImage(a, b, nullptr);
  ZqSubImage(a, s, d);  // second image too small: nothing written
  EXPECT_EQ(fd[0], 0.0f);
  std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], "ZqCloneImage...(src1 == NULL) || (src2 == NULL) || (dst == NULL)");
  for (ST_Image **img : {&a, &b, &d, &s}) ZqReleaseImage(img);
}

}  // namespace
