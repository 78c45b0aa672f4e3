// The seven border fills on small non-square images.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/image/ZqBorderFill.h"

namespace {

using Row = std::vector<int32_t>;

// Padded rows of the 1 x 3 row {1, 2, 3} and of the 2 x 3 image
// {1 2 3; 4 5 6} for each fill, by hand.
TEST(BorderFill, EachRuleOnHandMadeImages) {
  const uint8_t row[3] = {1, 2, 3};
  std::vector<uint8_t> out(7 * 5, 0);
  ASSERT_EQ(ImgFilledByMirror(row, 1, 3, 2, out.data()), 0);
  for (int y = 0; y < 5; ++y)  // one row reflects onto itself
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 7 * y, out.begin() + 7 * y + 7),
              (std::vector<uint8_t>{3, 2, 1, 2, 3, 2, 1}));
  ASSERT_EQ(ZqMirrorFill_u8(row, 1, 3, 0, 2, out.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 7),
            (std::vector<uint8_t>{2, 1, 1, 2, 3, 3, 2}));
  ASSERT_EQ(ZqExtendFill_u8(row, 1, 3, 0, 2, out.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 7),
            (std::vector<uint8_t>{1, 1, 1, 2, 3, 3, 3}));

  const uint8_t img[6] = {1, 2, 3, 4, 5, 6};
  const uint16_t img16[6] = {1, 2, 3, 4, 5, 6};
  const int32_t img32[6] = {1, 2, 3, 4, 5, 6};
  const Row mirrorEdge = {2, 1, 1, 2, 3, 3, 2, 2, 1, 1, 2, 3, 3, 2,
                          5, 4, 4, 5, 6, 6, 5, 5, 4, 4, 5, 6, 6, 5};  // padV 1, padH 2
  const Row replicate = {1, 1, 1, 2, 3, 3, 3, 1, 1, 1, 2, 3, 3, 3,
                         4, 4, 4, 5, 6, 6, 6, 4, 4, 4, 5, 6, 6, 6};
  std::vector<uint8_t> o8(28);
  std::vector<int32_t> o32(28);
  std::vector<uint16_t> o16(28);
  ASSERT_EQ(ZqMirrorFill_u8(img, 2, 3, 1, 2, o8.data()), 0);
  EXPECT_EQ(Row(o8.begin(), o8.end()), mirrorEdge);
  ASSERT_EQ(ZqMirrorFill_int(img32, 2, 3, 1, 2, o32.data()), 0);
  EXPECT_EQ(o32, mirrorEdge);
  ASSERT_EQ(ZqMirrorFill_int2(img, 2, 3, 1, 2, o32.data()), 0);
  EXPECT_EQ(o32, mirrorEdge);
  ASSERT_EQ(ZqMirrorFillShort2Int(img16, 2, 3, 1, 2, o32.data()), 0);
  EXPECT_EQ(o32, mirrorEdge);
  ASSERT_EQ(ZqExtendFill_u8(img, 2, 3, 1, 2, o8.data()), 0);
  EXPECT_EQ(Row(o8.begin(), o8.end()), replicate);
  ASSERT_EQ(ZqBorderFill_u16(img16, 2, 3, 2, 1, o16.data()), 0);  // (padH, padV)
  EXPECT_EQ(Row(o16.begin(), o16.end()), replicate);

  std::vector<uint8_t> o(4 * 5);
  ASSERT_EQ(ImgFilledByMirror(img, 2, 3, 1, o.data()), 0);
  EXPECT_EQ(Row(o.begin(), o.end()),
            (Row{5, 4, 5, 6, 5, 2, 1, 2, 3, 2, 5, 4, 5, 6, 5, 2, 1, 2, 3, 2}));
}

TEST(BorderFill, PadsWiderThanTheImageKeepReflecting) {
  const uint8_t two[2] = {7, 9};
  std::vector<uint8_t> out(8 * 7, 0);
  ASSERT_EQ(ImgFilledByMirror(two, 1, 2, 3, out.data()), 0);
  for (int y = 0; y < 7; ++y)
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8 * y, out.begin() + 8 * y + 8),
              (std::vector<uint8_t>{9, 7, 9, 7, 9, 7, 9, 7}));
  std::vector<uint8_t> wide(10, 0);
  ASSERT_EQ(ZqMirrorFill_u8(two, 1, 2, 0, 4, wide.data()), 0);
  EXPECT_EQ(wide, (std::vector<uint8_t>{7, 9, 9, 7, 7, 9, 9, 7, 7, 9}));
}

TEST(BorderFill, NullBuffersAndNegativeSizesAreRefused) {
  uint8_t px = 1, out[9] = {};
  uint16_t px16 = 1, out16[9] = {};
  int32_t out32[9] = {};
  EXPECT_EQ(ImgFilledByMirror(nullptr, 1, 1, 1, out), -1);
  EXPECT_EQ(ImgFilledByMirror(&px, 1, 1, 1, nullptr), -1);
  EXPECT_EQ(ZqBorderFill_u16(nullptr, 1, 1, 1, 1, out16), -1);
  EXPECT_EQ(ZqBorderFill_u16(&px16, 1, 1, 1, 1, nullptr), -1);
  EXPECT_EQ(ZqMirrorFill_u8(nullptr, 1, 1, 1, 1, out), -1);
  EXPECT_EQ(ZqExtendFill_u8(&px, 1, 1, -1, 1, out), -1);
  EXPECT_EQ(ZqMirrorFill_int2(&px, -1, 1, 1, 1, out32), -1);
  EXPECT_EQ(ZqMirrorFillShort2Int(&px16, 1, 1, 1, -2, out32), -1);
}

}  // namespace
