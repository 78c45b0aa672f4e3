// The identify retry's contrast normalisations: tail cuts, the remap, the
// margin fill and the windows that cannot be built.
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "src/FpSensorLib/quorv_hist_normalize.h"

namespace {

constexpr int kCols = 80;
constexpr int kRows = 64;

std::vector<uint8_t> Flat(uint8_t g, int cols = kCols, int rows = kRows) {
  return std::vector<uint8_t>(static_cast<size_t>(cols) * rows, g);
}

TEST(HistNormalizeTest, FlatImageOfAnyInnerGreyBecomesBlack) {
  for (int g : {1, 2, 100, 214, 253, 254}) {
    std::vector<uint8_t> img = Flat(static_cast<uint8_t>(g));
    std::vector<uint8_t> out(img.size(), 77);
    ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 0, 0, out.data(), 0.001f, 0.001f), 0);
    EXPECT_EQ(out, Flat(0)) << "grey " << g << ": v = g + 1 and u = g - 1, so every pixel is 0";
  }
}

// 5120 pixels, tails 0.001: cut counts of 5. Four pixels of 10 and four of
// 240 stay below the counts, so the cuts land one level past the fifth.
TEST(HistNormalizeTest, TailsCutAtTheFifthPixelAndStretchBetween) {
  std::vector<uint8_t> img = Flat(128);
  for (int i = 0; i < 4; ++i) img[i] = 10;
  for (int i = 0; i < 4; ++i) img[100 + i] = 240;
  img[200] = 60;   // fifth darkest: the lower cut closes after it, v = 61
  img[300] = 200;  // fifth brightest: u = 199
  std::vector<uint8_t> out(img.size());
  ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 0, 0, out.data(), 0.001f, 0.001f), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[200], 0) << "60 <= v";
  EXPECT_EQ(out[100], 255);
  EXPECT_EQ(out[300], 255) << "200 >= u";
  const uint8_t mid = static_cast<uint8_t>(
      static_cast<int>(static_cast<float>(128 - 61) * (255.0f / static_cast<float>(199 - 61))));
  EXPECT_EQ(out[500], mid);
}

// 256 pixels of one grey level would wrap an 8-bit bin to 0 and move the
// cut: with 300 dark pixels and tail counts of 256 the lower cut must close
// right after the dark level.
TEST(HistNormalizeTest, BinsCountPastTwoHundredFiftyFive) {
  std::vector<uint8_t> img = Flat(150);
  for (int i = 0; i < 300; ++i) img[i] = 20;
  const float tail = 256.0f / 5120.0f;  // (int)(tail * 5120) = 256
  std::vector<uint8_t> out(img.size());
  ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 0, 0, out.data(), 0.0f, tail), 0);
  // v = 21, u = 255 (upper count 0): 150 maps into the stretch, not to 0.
  const uint8_t expect = static_cast<uint8_t>(
      static_cast<int>(static_cast<float>(150 - 21) * (255.0f / static_cast<float>(255 - 21))));
  EXPECT_EQ(out[1000], expect);
  EXPECT_EQ(out[0], 0);
}

// m is (cols - cm) x (rows - rm), not the window's count: with margins 10
// and 8 on 80 x 64, m = 70 x 56 = 3920 and a tail of 2.5/3920 cuts 2 pixels,
// where the window (60 x 48 = 2880) would give 1.
TEST(HistNormalizeTest, MarginsShapeTheCountAndAreFilledWithHalfTheUpperCut) {
  std::vector<uint8_t> img = Flat(100);
  img[20 * kCols + 20] = 30;  // one dark pixel inside the window
  img[0] = 0;                 // margin pixels are not counted
  img[1] = 0;
  const float tail = 2.5f / 3920.0f;  // counts: 2 here, 1 on the window
  std::vector<uint8_t> out(img.size(), 9);
  ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 10, 8, out.data(), 0.0f, tail), 0);
  // Lower count 2: bins 30 (1 pixel) and 100 (2879) pass it, v = 101; u = 255.
  EXPECT_EQ(out[30 * kCols + 40], 0) << "100 <= v = 101; a count of 1 would stop at v = 31";
  for (int y : {0, 7, 56, 63}) EXPECT_EQ(out[y * kCols + 40], 255 >> 1) << "row " << y;
  for (int x : {0, 9, 70, 79}) EXPECT_EQ(out[30 * kCols + x], 255 >> 1) << "col " << x;
}

TEST(HistNormalizeTest, InPlaceGivesTheSameAsACopy) {
  std::vector<uint8_t> img(static_cast<size_t>(kCols) * kRows);
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>((i * 37) % 251);
  std::vector<uint8_t> out(img.size());
  ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 3, 2, out.data(), 0.01f, 0.02f), 0);
  ASSERT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 3, 2, img.data(), 0.01f, 0.02f), 0);
  EXPECT_EQ(img, out);
}

TEST(HistNormalizeTest, MinMaxStretchesTheWindowAndFillsMarginsOnlyWhenAsked) {
  std::vector<uint8_t> img = Flat(90);
  img[10 * kCols + 10] = 40;
  img[20 * kCols + 20] = 240;
  img[0] = 0;  // margin, outside the window
  std::vector<uint8_t> out(img.size(), 7);
  ASSERT_EQ(quorv_HistNormalizeU8_(img.data(), kCols, kRows, 2, out.data()), 0);
  EXPECT_EQ(out[10 * kCols + 10], 0);
  EXPECT_EQ(out[20 * kCols + 20], 255);
  EXPECT_EQ(out[30 * kCols + 30],
            static_cast<uint8_t>(static_cast<int>((90 - 40) * (255.0f / (240 - 40)))));
  EXPECT_EQ(out[0], 240 >> 1);

  std::vector<uint8_t> flat = Flat(77);
  std::vector<uint8_t> out0(flat.size(), 7);
  ASSERT_EQ(quorv_HistNormalizeU8_(flat.data(), kCols, kRows, 0, out0.data()), 0);
  EXPECT_EQ(out0, Flat(0)) << "a uniform window becomes 0; margin 0 fills nothing";
  ASSERT_EQ(quorv_HistNormalizeU8_(flat.data(), kCols, kRows, 1, out0.data()), 0);
  EXPECT_EQ(out0[0], 77 >> 1);
  EXPECT_EQ(out0[kCols + 1], 0);
}

// Margins that leave no window would index outside the image: refused,
// nothing written.
TEST(HistNormalizeTest, RefusesNullSizesAndMarginsWithoutAWindow) {
  std::vector<uint8_t> img = Flat(50);
  std::vector<uint8_t> out(img.size(), 3);
  struct Case {
    const uint8_t *src;
    uint8_t *dst;
    int16_t cols, rows, cm, rm;
  } cases[] = {
      {nullptr, out.data(), kCols, kRows, 0, 0}, {img.data(), nullptr, kCols, kRows, 0, 0},
      {img.data(), out.data(), 0, kRows, 0, 0},  {img.data(), out.data(), kCols, -1, 0, 0},
      {img.data(), out.data(), kCols, kRows, 40, 0}, {img.data(), out.data(), kCols, kRows, 0, 32},
      {img.data(), out.data(), kCols, kRows, 200, 0}, {img.data(), out.data(), kCols, kRows, -1, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(quorv_HistNormalizeU8(c.src, c.cols, c.rows, c.cm, c.rm, c.dst, 0.001f, 0.001f), -1)
        << c.cols << "x" << c.rows << " margins " << c.cm << "," << c.rm;
    if (c.cm == c.rm) {
      EXPECT_EQ(quorv_HistNormalizeU8_(c.src, c.cols, c.rows, c.cm, c.dst), -1);
    }
  }
  EXPECT_EQ(quorv_HistNormalizeU8_(img.data(), kCols, kRows, 32, out.data()), -1);
  EXPECT_EQ(out, Flat(3)) << "nothing written";
  EXPECT_EQ(quorv_HistNormalizeU8(img.data(), kCols, kRows, 39, 31, out.data(), 0.001f, 0.001f), 0)
      << "a 2 x 2 window is still a window";
}

}  // namespace
