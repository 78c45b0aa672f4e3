// The crop-and-standardise chain of the no-finger input preparation, the
// bounding-range search and the window copy.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "src/image/ZqMemoryManager.h"
#include "src/netModel/input_preprocess_tool_no_finger.h"

namespace {

// 20 rows x 16 columns of 255 with a dark 6 x 10 block at rows 5..10,
// columns 3..12, a row of exactly 8 dark pixels and a column of exactly 5.
std::vector<float> Page() {
  std::vector<float> img(20 * 16, 255.0f);
  for (int y = 5; y <= 10; ++y) {
    for (int x = 3; x <= 12; ++x) img[y * 16 + x] = static_cast<float>(y * 16 + x) / 4;
  }
  for (int x = 0; x < 8; ++x) img[15 * 16 + x] = 0.0f;  // 8 dark: not a row
  for (int y = 0; y < 5; ++y) img[y * 16 + 14] = 0.0f;  // 5 dark: not a column
  return img;
}

TEST(CropChain, CutKeepsRowsAndColumnsWithEnoughDarkPixels) {
  const std::vector<float> img = Page();
  ST_ImgCropInfo info = {0, 0, 0, 0.0f};
  float *crop = cut_white_margin(img.data(), 20, 16, &info);
  ASSERT_NE(crop, nullptr);
  EXPECT_EQ(info.rows, 6);
  EXPECT_EQ(info.cols, 10);
  EXPECT_EQ(info.count, 60);
  double sum = 0.0;
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 10; ++x) {
      EXPECT_EQ(crop[y * 10 + x], img[(y + 5) * 16 + x + 3]);
      sum += img[(y + 5) * 16 + x + 3];
    }
  }
  EXPECT_EQ(info.sum, static_cast<float>(sum));
  ZqSafeFree(crop);
  const std::vector<float> white(20 * 16, 255.0f);
  EXPECT_EQ(cut_white_margin(white.data(), 20, 16, &info), nullptr);
}

TEST(CropChain, StandardiseRemovesTheMeanAndDividesByDeviationPlusATenth) {
  std::vector<float> v = {1, 2, 3, 4};
  const ST_ImgCropInfo info = {2, 2, 4, 10.0f};
  ASSERT_EQ(img_std_deal_v2(v.data(), &info), 0);
  const float scale = static_cast<float>(std::sqrt(5.0 / 3.0) + double{0.1f});
  const std::vector<float> want = {-1.5f / scale, -0.5f / scale, 0.5f / scale, 1.5f / scale};
  EXPECT_EQ(v, want);
  // One value only loses its mean (no division by 0); no values: nothing.
  std::vector<float> one = {7.0f};
  const ST_ImgCropInfo single = {1, 1, 1, 7.0f};
  img_std_deal_v2(one.data(), &single);
  EXPECT_EQ(one[0], 0.0f);
  const ST_ImgCropInfo none = {0, 0, 0, 3.0f};
  img_std_deal_v2(one.data(), &none);
  EXPECT_EQ(one[0], 0.0f);
}

TEST(CropChain, FillCopiesAllButTheLastRowAndColumnIntoALargerZeroBlock) {
  const std::vector<float> crop = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ST_ImgCropInfo info = {3, 3, 9, 45.0f};
  float *fill = fill_margin(crop.data(), &info, 4, 5);
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(info.rows, 4);
  EXPECT_EQ(info.cols, 5);
  EXPECT_EQ(info.count, 20);
  const std::vector<float> want = {1, 2, 0, 0, 0, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<float>(fill, fill + 20), want);
  ZqSafeFree(fill);
  // A crop at least as large as the target is left alone.
  ST_ImgCropInfo big = {3, 3, 9, 45.0f};
  EXPECT_EQ(fill_margin(crop.data(), &big, 3, 2), nullptr);
  EXPECT_EQ(big.count, 9);
}

TEST(CropChain, WholeChainTakesTheCentredWindow) {
  const std::vector<float> img = Page();
  const int32_t heap_blocks = gMallocCnts;
  // Crop 6 x 10, target 4 x 6: offsets 1 and 2 into the standardised crop.
  ST_ImgCropInfo info = {0, 0, 0, 0.0f};
  float *crop = cut_white_margin(img.data(), 20, 16, &info);
  ASSERT_NE(crop, nullptr);
  img_std_deal_v2(crop, &info);
  std::vector<float> dst(24, -9.0f);
  ASSERT_EQ(input_process_tool_no_finger(img.data(), 20, 16, 0, 4, 6, dst.data()), 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst[y * 6 + x], crop[(y + 1) * 10 + x + 2]);
  }
  ZqSafeFree(crop);
  // A target larger than the crop: the filled block, window at offset 0.
  std::vector<float> large(8 * 12, -9.0f);
  ASSERT_EQ(input_process_tool_no_finger(img.data(), 20, 16, 0, 8, 12, large.data()), 0);
  EXPECT_NE(large[4 * 12 + 8], 0.0f);  // crop row 4, column 8
  EXPECT_EQ(large[5 * 12 + 0], 0.0f);  // the crop's last row is not copied
  EXPECT_EQ(large[0 * 12 + 9], 0.0f);  // nor its last column
  const std::vector<float> white(20 * 16, 255.0f);
  EXPECT_EQ(input_process_tool_no_finger(white.data(), 20, 16, 0, 4, 6, dst.data()), -1);
  EXPECT_EQ(gMallocCnts, heap_blocks);
}

TEST(ValidRange, BoundsAreTheOuterRowsAndColumnsWithNonZeroSums) {
  std::vector<float> img(5 * 4, 0.0f);
  img[1 * 4 + 2] = 3.0f;
  img[3 * 4 + 0] = -1.0f;
  img[2 * 4 + 0] = 2.0f, img[2 * 4 + 1] = -2.0f;  // row sum 0: not a bound
  int32_t top, bottom, left, right;
  ASSERT_EQ(get_valid_range(img.data(), 5, 4, &top, &bottom, &left, &right), 0);
  EXPECT_EQ(top, 1);
  EXPECT_EQ(bottom, 3);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 2);
  img.assign(img.size(), 0.0f);
  img[4 * 4 + 3] = std::numeric_limits<float>::quiet_NaN();  // NaN counts as not 0
  ASSERT_EQ(get_valid_range(img.data(), 5, 4, &top, &bottom, &left, &right), 0);
  EXPECT_EQ(top, 4);
  EXPECT_EQ(right, 3);
  img.assign(img.size(), 0.0f);
  ASSERT_EQ(get_valid_range(img.data(), 5, 4, &top, &bottom, &left, &right), 0);
  EXPECT_EQ(top + bottom + left + right, -4);
}

TEST(ValidRange, WindowCopyPlacesTheRectangleAtTheTarget) {
  std::vector<float> src(4 * 5);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<float>(i);
  std::vector<float> dst(3 * 4, 0.0f);
  const int32_t rect[4] = {1, 2, 2, 3};  // left, right, top, bottom
  ASSERT_EQ(get_big_img_to_small_img_FP32(src.data(), 5, dst.data(), 4, 1, 2, rect), 0);
  const std::vector<float> want = {0, 0, 0, 0, 0, 0, 11, 12, 0, 0, 16, 17};
  EXPECT_EQ(dst, want);
}

}  // namespace
