// Palm, dirt and physical-range checks on constructed images.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "src/enhance/ZqImgSimpleChecks.h"

namespace {

using Image = std::vector<uint8_t>;

template <typename F>
Image Make(int rows, int cols, F f) {
  Image img(static_cast<size_t>(rows) * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) img[static_cast<size_t>(y) * cols + x] = static_cast<uint8_t>(f(y, x));
  return img;
}

TEST(ZqImgPhysicsArea, CountsElevenTo243) {
  const Image four = {10, 11, 243, 244};
  EXPECT_EQ(ZqImgPhysicsArea(four.data(), 2, 2), 50);
  const Image seven = {0, 11, 12, 100, 200, 243, 255};  // 5 of 7: 71.4 %
  EXPECT_EQ(ZqImgPhysicsArea(seven.data(), 7, 1), 71);
  EXPECT_EQ(ZqImgPhysicsArea(four.data(), 0, 2), 0);  // no pixel: 0, no division
  EXPECT_EQ(ZqImgPhysicsArea(nullptr, 2, 2), -1);
}

TEST(ZqPalmDetect, SmallNonZeroDifferencesEverywhereMeanPalm) {
  std::mt19937 rng(3);
  struct Case {
    const char *name;
    int rows, cols;
    Image img;
    int32_t want;
  };
  const Case cases[] = {
      // Every pixel equals its median: no difference counts.
      {"flat", 30, 40, Image(1200, 120), 0},
      // Noise of +-10 around 100: nearly every pixel differs a little.
      {"fine noise", 30, 40, Make(30, 40, [&](int, int) { return 90 + rng() % 21; }), -3},
      // Full-range noise: most differences leave -28 .. 32.
      {"coarse noise", 30, 40, Make(30, 40, [&](int, int) { return rng() % 256; }), 0},
      // No pixel: 0.82 x 0 > 0 fails, reported as palm.
      {"empty", 0, 40, Image(1, 100), -3},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqPalmDetect(c.img.data(), c.rows, c.cols), c.want) << c.name;
  EXPECT_EQ(ZqPalmDetect(nullptr, 4, 4), -1);
}

// 64 x 64 image of 8 x 8 blocks: dark blocks alternate lo and hi in a
// checkerboard; the first `white` blocks (row-major) are 255.
Image DirtBlocks(int lo, int hi, int white) {
  return Make(64, 64, [&](int y, int x) {
    const int b = (y / 8) * 8 + x / 8;
    if (b < white) return 255;
    return ((y / 8 + x / 8) % 2) ? hi : lo;
  });
}

TEST(ZqDirtyDetect, AreaLimitDeviationAndBlockMean) {
  // 58 of 64 blocks dark: e = 90.
  const Image spread = DirtBlocks(100, 180, 6);  // deviation 40, block mean 140
  struct Case {
    const char *name;
    Image img;
    int32_t limit, want;
  };
  const Case cases[] = {
      {"e 90 not below 80", spread, 80, 0},
      {"limit 150 acts as 80", spread, 150, 0},
      {"e 90 below 95", spread, 95, 1},
      {"only the low byte: 356 is 100", spread, 356, 1},
      {"even dark blocks: deviation 0", DirtBlocks(100, 100, 6), 80, 2},
      {"too wide a spread: deviation 105", DirtBlocks(10, 220 - 1, 6), 80, 2},
      {"dark block mean 70 below 80", DirtBlocks(30, 110, 6), 80, 2},
      // No dark block at all and limit 0: never 1; the empty set's deviation
      // and mean are neither below nor above a bound.
      {"no dark block, limit 0", Image(64 * 64, 240), 0, 0},
      {"no dark block, limit 80", Image(64 * 64, 240), 80, 1},
  };
  for (const Case &c : cases) EXPECT_EQ(ZqDirtyDetect(c.img.data(), 64, 64, c.limit), c.want) << c.name;
  EXPECT_EQ(ZqDirtyDetect(nullptr, 64, 64, 80), -1);
}

TEST(ZqDirtyDetect, NarrowRightEdgeBlocksCountEveryRow) {
  // 66 x 8: eight white blocks and a 2-pixel-wide block whose rows 1..7 are
  // dark. The narrow block is dark (14 of 16 pixels), e = 16 * 100 / 528 = 3,
  // which is not below the limit 1.
  const Image img = Make(8, 66, [](int y, int x) { return x >= 64 && y > 0 ? 100 : 255; });
  EXPECT_NE(ZqDirtyDetect(img.data(), 66, 8, 1), 1);
  EXPECT_EQ(ZqDirtyDetect(img.data(), 66, 8, 4), 1);
}

}  // namespace
