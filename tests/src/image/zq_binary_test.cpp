// Thinning, branch points, binary comparison under a transform and the
// bright-column count.
#include <gtest/gtest.h>

#include <vector>

#include "src/image/ZqBinSimilarity.h"
#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqImageChecks.h"
#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqThinning.h"
#include "zq_mask_fixture.h"

namespace {

using zq_test::FromText;
using zq_test::Mask;
using zq_test::ToText;

const ST_HMatrix kIdentity = {1, 0, 0, 0, 1, 0};

// True when some 2 x 2 block is all set (the skeleton is not one pixel thin).
bool HasBlock(const Mask &m) {
  for (int y = 0; y + 1 < m.rows; ++y)
    for (int x = 0; x + 1 < m.cols; ++x)
      if (m.at(y, x) && m.at(y + 1, x) && m.at(y, x + 1) && m.at(y + 1, x + 1)) return true;
  return false;
}

// Number of 8-connected regions of a copy of m.
int Regions8(const Mask &m) {
  Mask c = m;
  int n = 0;
  std::vector<std::pair<int, int>> st;
  for (int y = 0; y < c.rows; ++y)
    for (int x = 0; x < c.cols; ++x) {
      if (c.at(y, x) != 1) continue;
      ++n;
      st.push_back({y, x});
      c.at(y, x) = 2;
      while (!st.empty()) {
        auto [py, px] = st.back();
        st.pop_back();
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int ny = py + dy, nx = px + dx;
            if (ny < 0 || nx < 0 || ny >= c.rows || nx >= c.cols || c.at(ny, nx) != 1) continue;
            c.at(ny, nx) = 2;
            st.push_back({ny, nx});
          }
      }
    }
  return n;
}

// A "Y" three pixels thick: two arms from the top corners meet a stem.
Mask DrawY() {
  Mask m(40, 40);
  for (int i = 0; i < 14; ++i) {
    m.Box(4 + i, 5 + i, 4 + i, 7 + i);    // left arm
    m.Box(4 + i, 32 - i, 4 + i, 34 - i);  // right arm
  }
  m.Box(17, 18, 35, 21);  // stem
  return m;
}

TEST(Thinning, ThickBarBecomesOnePixelLine) {
  Mask m(11, 30);
  m.Box(4, 3, 6, 26);
  m.at(1, 1) = 1;      // isolated pixel
  m.Box(9, 5, 9, 12);  // a thin line: its ends stay
  ASSERT_EQ(ZqThinImage(m.data(), 11, 30, m.data()), 0);
  EXPECT_FALSE(HasBlock(m)) << ::testing::PrintToString(ToText(m));
  for (int x = 5; x <= 24; ++x) {
    int n = 0;
    for (int y = 4; y <= 6; ++y) n += m.at(y, x);
    EXPECT_EQ(n, 1) << "column " << x << ::testing::PrintToString(ToText(m));
  }
  EXPECT_EQ(m.at(1, 1), 1);
  EXPECT_EQ(m.at(9, 5), 1);
  EXPECT_EQ(m.at(9, 12), 1);
}

TEST(Thinning, BorderIsClearedAndSmallImagesOnlyLoseTheirBorder) {
  Mask m(2, 3, 1);
  ASSERT_EQ(ZqThinImage(m.data(), 2, 3, m.data()), 0);
  EXPECT_EQ(m.Count(0), 6);
  Mask full(5, 5, 1);
  Mask out(5, 5, 7);
  ASSERT_EQ(ZqThinImage(full.data(), 5, 5, out.data()), 0);
  EXPECT_EQ(full.Count(1), 25);  // source untouched
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(out.at(0, i) + out.at(4, i) + out.at(i, 0) + out.at(i, 4), 0);
  }
  EXPECT_EQ(ZqThinImage(nullptr, 5, 5, out.data()), -1);
}

TEST(Thinning, YSkeletonHasOneBranchPoint) {
  Mask m = DrawY();
  ASSERT_EQ(ZqThinImage(m.data(), 40, 40, m.data()), 0);
  EXPECT_FALSE(HasBlock(m)) << ::testing::PrintToString(ToText(m));
  EXPECT_EQ(Regions8(m), 1);
  std::vector<ST_Point16s> pts(100);
  int32_t n = 0;
  EXPECT_EQ(ZqGetIPoints(m.data(), 40, 40, pts.data(), &n, 100, 4), n);
  ASSERT_GE(n, 1);
  for (int i = 0; i < n; ++i) {  // all at the junction
    EXPECT_NEAR(pts[i].x, 19.5, 4);
    EXPECT_NEAR(pts[i].y, 17, 4);
  }
  Mask y = DrawY();
  int32_t count = -1;
  ASSERT_EQ(ZqCountSkeletonBranches(y.data(), 40, 40, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(y.px, m.px);  // thinned in place
}

TEST(Thinning, BranchPointLimitsAndMargin) {
  // A plus: its centre has A = 4.
  Mask plus(15, 15);
  plus.Box(7, 2, 7, 12);
  plus.Box(2, 7, 12, 7);
  std::vector<ST_Point16s> pts(4);
  int32_t n = -1;
  EXPECT_EQ(ZqGetIPoints(plus.data(), 15, 15, pts.data(), &n, 4, 0), 1);
  EXPECT_EQ(pts[0].x, 7);
  EXPECT_EQ(pts[0].y, 7);
  EXPECT_EQ(ZqGetIPoints(plus.data(), 15, 15, pts.data(), &n, 0, 0), 0);  // max 0
  EXPECT_EQ(ZqGetIPoints(plus.data(), 15, 15, pts.data(), &n, 4, 8), 0);  // margin hides it
  EXPECT_EQ(ZqGetIPoints(plus.data(), 15, 15, pts.data(), &n, 4, 7), 1);  // only row 7 scanned
}

TEST(Thinning, MinutiaInfoCountsBranchesOfTheDarkPhase) {
  Mask y = DrawY();
  for (uint8_t &p : y.px) p = p ? 0 : 1;  // dark Y on a bright field
  int32_t count = -1;
  ASSERT_EQ(ZqGetMinutiaInfo(y.data(), 40, 40, &count), 0);
  EXPECT_EQ(count, 1);
}

TEST(Thinning, AllocationFailureLeavesTheImage) {
  Mask y = DrawY();
  const Mask before = y;
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(64);
  int32_t count = -1;
  EXPECT_EQ(ZqCountSkeletonBranches(y.data(), 40, 40, &count), -2);
  EXPECT_EQ(y.px, before.px);
  EXPECT_EQ(count, -1);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}

// ---- comparison under a transform -----------------------------------------

TEST(SimScore, OverlapAgreementAndRounding) {
  Mask valid(6, 8, 1), bin(6, 8), inv(6, 8);
  for (int i = 0; i < 48; ++i) bin.px[i] = (i * 7 % 5) < 2;
  for (int i = 0; i < 48; ++i) inv.px[i] = !bin.px[i];
  Mask half = bin;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) half.at(y, x) = !bin.at(y, x);
  struct Case {
    const char *name;
    const Mask *test;
    ST_HMatrix h;
    float score;
    int compared, overlap;
  } cases[] = {
      {"equal images, identity", &bin, kIdentity, 1.0f, 48, 48},
      {"inverted", &inv, kIdentity, 0.0f, 48, 48},
      {"half the rows differ", &half, kIdentity, 0.5f, 48, 48},
      // x - 0.4 rounds back to x (also at x = 0: -0.4 -> 0).
      {"shift -0.4 rounds to 0", &bin, {1, 0, -0.4f, 0, 1, 0}, 1.0f, 48, 48},
      // x - 0.5 rounds away from zero: column 0 maps to -1.
      {"shift -0.5 loses a column", &bin, {1, 0, -0.5f, 0, 1, 0}, 1.0f, 42, 42},
      {"two rows down", &bin, {1, 0, 0, 0, 1, 2}, -1.0f, 32, 32},
      {"outside entirely", &bin, {1, 0, 100, 0, 1, 0}, 0.0f, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    uint16_t out[2] = {9, 9};
    float s =
        ZqCalcSimScore(valid.data(), bin.data(), valid.data(), c.test->data(), 6, 8, &c.h, out);
    if (c.score >= 0) {
      EXPECT_FLOAT_EQ(s, c.score);
    }
    EXPECT_EQ(out[0], c.compared);
    EXPECT_EQ(out[1], c.overlap);
  }
}

TEST(SimScore, ValidMasksLimitTheComparison) {
  Mask bin(4, 4), test(4, 4), refValid(4, 4, 1), testValid(4, 4, 1);
  test.Box(0, 0, 3, 1);          // left half differs
  refValid.Box(0, 0, 3, 0, 0);   // column 0 of the reference invalid
  testValid.Box(0, 1, 3, 1, 0);  // column 1 of the test invalid
  uint16_t out[2];
  float s = ZqCalcSimScore(refValid.data(), bin.data(), testValid.data(), test.data(), 4, 4,
                           &kIdentity, out);
  EXPECT_EQ(out[0], 8);  // columns 2 and 3
  EXPECT_EQ(out[1], 16);
  EXPECT_FLOAT_EQ(s, 1.0f);
  EXPECT_FLOAT_EQ(ZqCalcSimScore(refValid.data(), bin.data(), testValid.data(), test.data(), 0, 4,
                                 &kIdentity, out),
                  0.0f);
  EXPECT_EQ(out[0] + out[1], 0);
}

TEST(BinFeature, OutsidePixelsBecomeOneThenBranchesAreCounted) {
  // Reference all 0; test a dark Y (0) on bright (1), shifted 3 columns
  // right so that its last 3 columns map outside.
  Mask refBin(40, 40), valid(40, 40, 1);
  Mask test = DrawY();
  for (uint8_t &p : test.px) p = p ? 0 : 1;
  test.Box(0, 37, 39, 39, 0);  // becomes 1 (outside)
  const ST_HMatrix h = {1, 0, 3, 0, 1, 0};
  float agree = -1;
  uint8_t pct = 0;
  int32_t branches = -1;
  ASSERT_EQ(ZqCalcBinFeature(valid.data(), refBin.data(), valid.data(), test.data(), 40, 40, &h,
                             &agree, &pct, &branches),
            0);
  EXPECT_EQ(pct, 100);
  EXPECT_EQ(branches, 1);
  // Agreement: the Y's pixels (test 0) inside the overlap over 40 x 37.
  Mask y = DrawY();
  int ones = 0;
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 37; ++c) ones += y.at(r, c);
  EXPECT_FLOAT_EQ(agree, static_cast<float>(ones) / (40 * 37));

  // Half the overlap invalid: 50 %, rounded.
  Mask test2(4, 5, 1), half(4, 5, 1);
  half.Box(0, 0, 1, 4, 0);
  uint8_t pct2 = 0;
  ASSERT_EQ(ZqCalcBinFeature(valid.data(), refBin.data(), half.data(), test2.data(), 4, 5,
                             &kIdentity, &agree, &pct2, &branches),
            0);
  EXPECT_EQ(pct2, 50);
  EXPECT_EQ(ZqCalcBinFeature(nullptr, refBin.data(), half.data(), test2.data(), 4, 5, &kIdentity,
                             &agree, &pct2, &branches),
            -1);
}

TEST(Diversity, SumsSurvivingRegionsOfEachDifferenceMask) {
  Mask ref(20, 20), test(20, 20), valid(20, 20, 1), testValid(20, 20);
  testValid.Box(3, 0, 15, 19);  // compared rows 3..15
  test.Box(4, 2, 6, 4);         // A: 9 pixels
  test.Box(4, 8, 6, 10);        // A: 9 pixels
  test.Box(10, 2, 11, 3);       // A: 4 pixels, below the minimum area
  ref.Box(10, 10, 13, 13);      // B: 16 pixels
  int16_t diff = -1, span = -1;
  ASSERT_EQ(ZqGetDiversity(ref.data(), test.data(), valid.data(), testValid.data(), &kIdentity, 20,
                           20, &diff, &span),
            0);
  EXPECT_EQ(diff, 18);  // 9 + 9 beats 16: regions are summed, not the largest taken
  EXPECT_EQ(span, 12);

  ref.Box(10, 10, 14, 14);  // B: 25 pixels now
  ASSERT_EQ(ZqGetDiversity(ref.data(), test.data(), valid.data(), testValid.data(), &kIdentity, 20,
                           20, &diff, &span),
            0);
  EXPECT_EQ(diff, 25);

  Mask none(20, 20);
  ASSERT_EQ(ZqGetDiversity(ref.data(), test.data(), valid.data(), none.data(), &kIdentity, 20, 20,
                           &diff, &span),
            0);
  EXPECT_EQ(diff, 0);
  EXPECT_EQ(span, -20);
}

TEST(Diversity, MapsThroughTheTransformAndFailsOnShortPool) {
  // Test pixels shifted by the transform land on the reference block.
  Mask ref(12, 12), test(12, 12), valid(12, 12, 1);
  ref.Box(2, 5, 4, 7);
  test.Box(2, 2, 4, 4);
  const ST_HMatrix h = {1, 0, 3, 0, 1, 0};
  int16_t diff = -1, span = -1;
  ASSERT_EQ(
      ZqGetDiversity(ref.data(), test.data(), valid.data(), valid.data(), &h, 12, 12, &diff, &span),
      0);
  EXPECT_EQ(diff, 0);
  EXPECT_EQ(span, 11);

  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(700);  // room for the masks, not for the labelling
  diff = span = 77;
  EXPECT_EQ(
      ZqGetDiversity(ref.data(), test.data(), valid.data(), valid.data(), &h, 12, 12, &diff, &span),
      -3);
  EXPECT_EQ(diff + span, 154);
  ZqInitMemBlock(32);
  EXPECT_EQ(
      ZqGetDiversity(ref.data(), test.data(), valid.data(), valid.data(), &h, 12, 12, &diff, &span),
      -2);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}

// ---- bright columns --------------------------------------------------------

TEST(WhiteLineDetect, CountsBrightColumnsBetweenFirstAndLastMeasured) {
  struct Case {
    const char *name;
    int cols;
    std::vector<int> bright;  // columns of value 200 (others 100)
    int saturated;            // a column of 255 (not measured), -1 none
    int want;
  } cases[] = {
      {"two bright columns", 20, {5, 6}, -1, 2},
      {"the last measured column is not counted", 20, {5, 17}, -1, 1},
      {"saturated pixels are not measured", 20, {5}, 8, 1},
      {"wider than 100 columns", 150, {20, 120, 121}, -1, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const int rows = 20;
    Mask img(rows, c.cols, 100);
    for (int x : c.bright) img.Box(0, x, rows - 1, x, 200);
    if (c.saturated >= 0) img.Box(0, c.saturated, rows - 1, c.saturated, 255);
    int32_t n = -1;
    ASSERT_EQ(ZqWhiteLineDetect(img.data(), rows, c.cols, 150, &n), 0);
    EXPECT_EQ(n, c.want);
  }
  Mask white(20, 20, 255);
  int32_t n = -1;
  ASSERT_EQ(ZqWhiteLineDetect(white.data(), 20, 20, 0, &n), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(ZqWhiteLineDetect(nullptr, 20, 20, 0, &n), -1);
}

}  // namespace
