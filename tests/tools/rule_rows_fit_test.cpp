// Fitting false-accept rows: the given rows stay first and last, fitted
// regions hold their impostors and no genuine comparison, grow half-way
// towards the nearest genuine one, and respect the ranges and row count.
#include "tools/rule_rows_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using rule_rows::Covers;
using rule_rows::FitRows;
using rule_rows::Vec;

rule_rows::TableShape Shape(int max_rows) {
  return {max_rows, {6, 0, 9, 6, 51, 0}, {14, 1932, 75, 97, 92, 32}, {6, 0, 26, 24, 88, 13}, {14, 1047, 19, 72, 61, 8}};
}

const Vec kFirst{6, 0, 26, 24, 88, 13}, kLast{14, 1047, 19, 72, 61, 8};

TEST(RuleRowsFit, RegionsGrowHalfWayToTheNearestGenuineComparison) {
  struct Case {
    const char *name;
    std::vector<Vec> genuine;
    Vec want;
  };
  const Vec impostor{8, 600, 30, 50, 70, 10};
  const Case cases[] = {
      // Each column half-way to its end of the range: 14, 0, 75, 97, 92, 32.
      {"no genuine comparison", {}, {11, 300, 52, 73, 81, 21}},
      // The genuine vector blocks only the score column, at 12: the bound
      // stops half-way between 10 and 11.
      {"genuine blocks the score", {{10, 700, 35, 55, 75, 12}}, {11, 300, 52, 73, 81, 10}},
      // A genuine vector with a smaller blob (300) blocks the blob bound,
      // which stops half-way between 600 and 301.
      {"genuine blocks the blob", {{8, 300, 30, 50, 70, 10}}, {11, 451, 52, 73, 81, 21}},
  };
  for (const Case &c : cases) {
    const std::vector<Vec> rows = FitRows(Shape(10), {impostor}, c.genuine);
    ASSERT_EQ(rows.size(), 3u) << c.name;
    EXPECT_EQ(rows[0], kFirst) << c.name;
    EXPECT_EQ(rows[1], c.want) << c.name;
    EXPECT_EQ(rows[2], kLast) << c.name;
  }
}

// A grid of comparisons: impostors with few inliers and low agreement,
// genuine ones scattered through the same space.
void Grid(std::vector<Vec> *impostor, std::vector<Vec> *genuine) {
  for (int i = 0; i < 40; ++i) {
    impostor->push_back({7 + i % 7, 300 + 37 * i % 900, 20 + i % 30, 30 + 3 * (i % 15), 60 + i % 20, 8 + i % 6});
    genuine->push_back({9 + i % 5, 100 + 53 * i % 700, 35 + i % 25, 60 + i % 30, 72 + i % 15, 9 + i % 9});
  }
}

TEST(RuleRowsFit, FittedRowsHoldTheirImpostorsAndNoGenuineComparison) {
  std::vector<Vec> impostor, genuine;
  Grid(&impostor, &genuine);
  const std::vector<Vec> rows = FitRows(Shape(380), impostor, genuine);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows.front(), kFirst);
  EXPECT_EQ(rows.back(), kLast);
  const rule_rows::TableShape shape = Shape(380);
  for (size_t r = 1; r + 1 < rows.size(); ++r) {
    EXPECT_GE(rows[r][0], rows[r - 1][0]) << "row " << r << " out of order";
    for (int c = 0; c < rule_rows::kCols; ++c) {
      EXPECT_GE(rows[r][c], shape.lo[c]) << "row " << r << " column " << c;
      EXPECT_LE(rows[r][c], shape.hi[c]) << "row " << r << " column " << c;
    }
    for (const Vec &g : genuine) EXPECT_FALSE(Covers(rows[r], g)) << "row " << r;
  }
  // Every impostor that no genuine comparison dominates is cut by a row.
  for (const Vec &v : impostor) {
    bool dominated = false;
    for (const Vec &g : genuine) dominated = dominated || Covers(v, g);
    if (dominated) continue;
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Vec &row) { return Covers(row, v); }))
        << v[0] << "," << v[1] << "," << v[2] << "," << v[3] << "," << v[4] << "," << v[5];
  }
}

TEST(RuleRowsFit, NoRowWhereItWouldCutGenuineOrLeaveTheShape) {
  struct Case {
    const char *name;
    Vec impostor;
    std::vector<Vec> genuine;
  };
  const Case cases[] = {
      {"a genuine comparison measured the same", {8, 600, 30, 50, 70, 10}, {{8, 600, 30, 50, 70, 10}}},
      {"a genuine comparison measured worse", {8, 600, 30, 50, 70, 10}, {{7, 700, 20, 40, 60, 9}}},
      {"more inliers than the range holds", {15, 600, 30, 50, 70, 10}, {}},
      {"a given row holds it already", {6, 5, 20, 20, 80, 10}, {}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(FitRows(Shape(10), {c.impostor}, c.genuine), (std::vector<Vec>{kFirst, kLast})) << c.name;
  }
}

TEST(RuleRowsFit, RowCountStaysWithinTheTable) {
  std::vector<Vec> impostor, genuine;
  Grid(&impostor, &genuine);
  const std::vector<Vec> all = FitRows(Shape(380), impostor, genuine);
  ASSERT_GT(all.size(), 4u);
  for (size_t max : {size_t{2}, size_t{3}, all.size() - 1}) {
    const std::vector<Vec> rows = FitRows(Shape(static_cast<int>(max)), impostor, genuine);
    ASSERT_EQ(rows.size(), max);
    // The rows with the fewest inliers stay, and the given ones.
    EXPECT_EQ(rows.back(), kLast);
    for (size_t r = 0; r + 1 < max; ++r) EXPECT_EQ(rows[r], all[r]) << "max " << max << " row " << r;
  }
}

}  // namespace
