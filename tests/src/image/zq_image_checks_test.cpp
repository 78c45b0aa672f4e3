// Local-mean binarisation, minutia count, stripe similarity and the
// eraser-head judgement.
#include <gtest/gtest.h>

#include <vector>

#include "src/image/ZqImageChecks.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_mask_fixture.h"

namespace {

using zq_test::Mask;

// Vertical stripes of period 6 with a fork: a ridge that splits in two.
Mask Ridges(int rows, int cols) {
  Mask m(rows, cols, 200);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (x % 6 < 2) m.at(y, x) = 40;
  return m;
}

TEST(BinarizeLocalMean, ComparesWithTheRoundedBoxMean) {
  Mask img(12, 14, 100);
  img.at(5, 6) = 200;  // mean around it: (100 * 120 + 200) / 121 -> 101
  Mask out(12, 14, 9);
  ASSERT_EQ(ZqBinarizeLocalMean(img.data(), 12, 14, out.data()), 0);
  EXPECT_EQ(out.Count(1), 1);
  EXPECT_EQ(out.at(5, 6), 1);
  EXPECT_EQ(out.Count(0), 12 * 14 - 1);
  // In place.
  ASSERT_EQ(ZqBinarizeLocalMean(img.data(), 12, 14, img.data()), 0);
  EXPECT_EQ(img.px, out.px);
  // Sides of 11 or less: the box filter refuses.
  Mask small(11, 20, 5);
  EXPECT_EQ(ZqBinarizeLocalMean(small.data(), 11, 20, out.data()), -3);
  EXPECT_EQ(ZqBinarizeLocalMean(nullptr, 12, 14, out.data()), -1);
}

TEST(MinutiaDetect, SizesAndFailures) {
  int32_t count = -1;
  for (auto [rows, cols] : {std::pair{11, 40}, {40, 11}, {8, 8}}) {
    Mask img(rows, cols, 100);
    EXPECT_EQ(ZqMinutiaDetect(img.data(), rows, cols, &count), -3);
  }
  EXPECT_EQ(count, -1);
  Mask flat(30, 30, 100);
  // Flat: nothing is above its mean; the bright phase is empty and the
  // dark phase a solid block whose skeleton is a straight line.
  ASSERT_EQ(ZqMinutiaDetect(flat.data(), 30, 30, &count), 0);
  EXPECT_EQ(count, 0);
  Mask stripes = Ridges(40, 40);
  ASSERT_EQ(ZqMinutiaDetect(stripes.data(), 40, 40, &count), 0);
  EXPECT_EQ(count, 0);  // straight stripes: no branch points

  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(1000);
  EXPECT_EQ(ZqMinutiaDetect(flat.data(), 30, 30, &count), -2);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}

TEST(StripeSimilarity, EqualImagesScoreOne) {
  Mask a = Ridges(36, 40);
  float sim = -1;
  ASSERT_EQ(ZqCalcStripeSimilarity(a.data(), a.data(), 36, 40, 0, &sim), 0);
  EXPECT_FLOAT_EQ(sim, 1.0f);
  // Stripes shifted by three columns (half a period): the best shift of 0..3
  // realigns them.
  Mask b(36, 40, 200);
  for (int y = 0; y < 36; ++y)
    for (int x = 0; x < 40; ++x)
      if ((x + 3) % 6 < 2) b.at(y, x) = 40;
  float s0 = 0, s3 = 0;
  ASSERT_EQ(ZqCalcStripeSimilarity(a.data(), b.data(), 36, 40, 0, &s0), 0);
  ASSERT_EQ(ZqCalcStripeSimilarity(a.data(), b.data(), 36, 40, 3, &s3), 0);
  EXPECT_GT(s3, s0);
  EXPECT_FLOAT_EQ(s3, 1.0f);
  EXPECT_EQ(ZqCalcStripeSimilarity(a.data(), nullptr, 36, 40, 0, &sim), -1);
  Mask tiny(10, 10, 9);
  EXPECT_EQ(ZqCalcStripeSimilarity(tiny.data(), tiny.data(), 10, 10, 0, &sim), -4);
}

TEST(JudgeAbnormalErasehead, Outcomes) {
  Mask ridges = Ridges(36, 40);
  Mask white(36, 40, 251);
  Mask mostlyWhite = ridges;
  mostlyWhite.Box(0, 0, 35, 19, 255);  // more than 40 % at 251 or above
  Mask tiny(10, 10, 100);
  struct Case {
    const char *name;
    const Mask *ref;
    const Mask *img;
    int limit;
    float threshold;
    int want;
  } cases[] = {
      {"all white", nullptr, &white, 100, 0.5f, 1},
      {"mostly white", &ridges, &mostlyWhite, 100, 0.5f, 1},
      {"too many minutiae", nullptr, &ridges, -1, 0.5f, 2},
      {"no reference", nullptr, &ridges, 100, 0.5f, 0},
      {"similar to the reference", &ridges, &ridges, 100, 1.0f, 0},
      {"threshold above the best score", &ridges, &ridges, 100, 1.5f, 3},
      {"minutia count fails", nullptr, &tiny, 100, 0.5f, -2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ZqJudgeAbnormalErasehead(c.ref ? c.ref->data() : nullptr, c.img->data(), c.img->rows,
                                       c.img->cols, 0, c.limit, c.threshold),
              c.want);
  }
  EXPECT_EQ(ZqJudgeAbnormalErasehead(nullptr, nullptr, 36, 40, 0, 100, 0.5f), -1);
}

}  // namespace
