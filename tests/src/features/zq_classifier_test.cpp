// The rule-table look-ups and the shapes of the generated tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/features/ZqClassifier.h"
#include "src/features/ZqFarRuleTable.h"
#include "src/features/ZqRuleListData.h"

namespace {

// Feature vector of the rule tables: elements 0 .. 56.
std::vector<int32_t> VectorFor(const ST_FarRuleTable &t, int row) {
  std::vector<int32_t> vec(57, 0);
  for (int c = 0; c < t.nC; ++c) vec[t.nIndex[c]] = t.puchdata[row * t.nC + c];
  return vec;
}

int32_t RunFar(const ST_FarRuleTable &t, const std::vector<int32_t> &vec) {
  int32_t out = -99;
  ZqCheckFAR(t.nR, t.nC, t.puchdata, t.nIndex, t.nSig, vec.data(), 7, &out);
  return out;
}

TEST(CheckFAR, EqualVectorMatchesAndSignMinusOneColumnIsALowerBound) {
  const ST_FarRuleTable t1 = ZqFarRuleTableGet(1);
  std::vector<int32_t> vec = VectorFor(t1, 0);
  EXPECT_EQ(RunFar(t1, vec), 7);
  vec[10] = -1;  // row 0 needs at least 0 in element 10; row 1 needs 1047
  EXPECT_EQ(RunFar(t1, vec), -99);
  vec[10] = 5000;  // above both lower bounds
  EXPECT_EQ(RunFar(t1, vec), 7);
}

TEST(CheckFAR, EachColumnBoundOnASmallTable) {
  // One row; columns test elements 2 (<= 10), 0 (>= 20) and 5 (<= 30).
  const int32_t data[] = {10, 20, 30};
  const int32_t index[] = {2, 0, 5};
  const int32_t sig[] = {1, -1, 1};
  struct Case {
    int32_t e0, e2, e5;
    bool match;
  };
  const Case cases[] = {
      {20, 10, 30, true},   {21, -50, -50, true}, {19, 10, 30, false},
      {20, 11, 30, false},  {20, 10, 31, false},  {INT32_MIN, 10, 30, false},
      {INT32_MAX, INT32_MIN, INT32_MIN, true},    {20, INT32_MAX, 30, false},
  };
  for (const Case &c : cases) {
    std::vector<int32_t> vec(6, 0);
    vec[0] = c.e0;
    vec[2] = c.e2;
    vec[5] = c.e5;
    int32_t out = 0;
    ZqCheckFAR(1, 3, data, index, sig, vec.data(), 3, &out);
    EXPECT_EQ(out, c.match ? 3 : 0) << c.e0 << " " << c.e2 << " " << c.e5;
  }
}

TEST(CheckFAR, EmptyShapesAndNullPointersWriteNothing) {
  const ST_FarRuleTable t = ZqFarRuleTableGet(2);
  const std::vector<int32_t> vec = VectorFor(t, 0);
  int32_t out = 5;
  ZqCheckFAR(0, t.nC, t.puchdata, t.nIndex, t.nSig, vec.data(), 1, &out);
  ZqCheckFAR(-3, t.nC, t.puchdata, t.nIndex, t.nSig, vec.data(), 1, &out);
  ZqCheckFAR(t.nR, 0, t.puchdata, t.nIndex, t.nSig, vec.data(), 1, &out);
  ZqCheckFAR(t.nR, t.nC, nullptr, t.nIndex, t.nSig, vec.data(), 1, &out);
  ZqCheckFAR(t.nR, t.nC, t.puchdata, t.nIndex, t.nSig, nullptr, 1, &out);
  ZqCheckFAR(t.nR, t.nC, t.puchdata, t.nIndex, t.nSig, vec.data(), 1, nullptr);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(ZqFarRuleTableGet(0).nR, 0);
  EXPECT_EQ(ZqFarRuleTableGet(9).nC, 0);
}

TEST(RuleTables, LayoutAndKnownRows) {
  struct Expect {
    std::vector<int32_t> index, sig, first, last;
  };
  const std::vector<int32_t> ci = {15, 10, 11, 12, 13, 17}, cs = {1, -1, 1, 1, 1, 1};
  const Expect want[8] = {
      {ci, cs, {6, 0, 26, 24, 88, 13}, {14, 1047, 19, 72, 61, 8}},
      {ci, cs, {6, 0, 30, 33, 88, 14}, {14, 1047, 19, 72, 61, 8}},
      {ci, cs, {5, 0, 31, 62, 89, 19}, {13, 149, 41, 51, 66, 8}},
      {ci, cs, {6, 0, 13, 34, 90, 12}, {14, 575, 18, 80, 71, 11}},
      {ci, cs, {6, 9, 26, 37, 87, 12}, {20, 0, 0, 72, 83, 20}},
      {ci, cs, {6, 0, 26, 32, 90, 8}, {12, 501, 27, 55, 63, 7}},
      {{50, 51, 52, 53, 54, 55, 56}, {1, 1, 1, 1, 1, 1, 1}, {6, 6, 20, 53, 211, 198, 5},
       {14, 20, 42, 16, 200, 185, 4}},
      {ci, cs, {6, 0, 20, 33, 90, 12}, {13, 867, 18, 89, 65, 8}},
  };
  for (int k = 1; k <= 8; ++k) {
    const ST_FarRuleTable t = ZqFarRuleTableGet(k);
    const Expect &w = want[k - 1];
    ASSERT_EQ(t.nC, static_cast<int32_t>(w.index.size())) << k;
    ASSERT_GE(t.nR, 2) << k;
    EXPECT_EQ(std::vector<int32_t>(t.nIndex, t.nIndex + t.nC), w.index) << k;
    EXPECT_EQ(std::vector<int32_t>(t.nSig, t.nSig + t.nC), w.sig) << k;
    EXPECT_EQ(std::vector<int32_t>(t.puchdata, t.puchdata + t.nC), w.first) << k;
    const int32_t *last = t.puchdata + (t.nR - 1) * t.nC;
    EXPECT_EQ(std::vector<int32_t>(last, last + t.nC), w.last) << k;
    for (int r = 1; r < t.nR; ++r) {
      EXPECT_LE(t.puchdata[(r - 1) * t.nC], t.puchdata[r * t.nC]) << k << " row " << r;
    }
  }
  // The named constants are the same tables.
  EXPECT_EQ(ZqFarRuleTableGet(7).puchdata, puchdata7);
  EXPECT_EQ(ZqFarRuleTableGet(8).nR, nR8);
}

TEST(RuleTables, FittedRowsStayWithinTheRowCountsAndColumnRanges) {
  struct Shape {
    int32_t max_rows;
    std::vector<int32_t> lo, hi;
  };
  const Shape shapes[8] = {
      {380, {6, 0, 9, 6, 51, 0}, {14, 1932, 75, 97, 92, 32}},
      {523, {6, 0, 9, 7, 51, 0}, {14, 1932, 82, 97, 94, 34}},
      {245, {5, 0, 25, 15, 61, 7}, {13, 263, 75, 98, 89, 49}},
      {363, {6, 0, 10, 13, 62, 8}, {14, 855, 61, 98, 90, 45}},
      {174, {6, 0, 0, 15, 72, 8}, {20, 587, 53, 98, 89, 50}},
      {409, {6, 0, 11, 13, 63, 7}, {12, 832, 83, 95, 93, 30}},
      {196, {6, 6, 2, 0, 175, 161, 0}, {14, 20, 86, 99, 215, 203, 10}},
      {361, {6, 0, 8, 8, 61, 7}, {13, 867, 84, 97, 94, 29}},
  };
  for (int k = 1; k <= 8; ++k) {
    const ST_FarRuleTable t = ZqFarRuleTableGet(k);
    const Shape &s = shapes[k - 1];
    ASSERT_EQ(t.nC, static_cast<int32_t>(s.lo.size())) << k;
    EXPECT_LE(t.nR, s.max_rows) << k;
    for (int r = 0; r < t.nR; ++r) {
      for (int c = 0; c < t.nC; ++c) {
        const int32_t v = t.puchdata[r * t.nC + c];
        EXPECT_TRUE(v >= s.lo[c] && v <= s.hi[c]) << "table " << k << " row " << r << " column " << c << ": " << v;
      }
    }
  }
}

TEST(FrList, VectorAtOrAboveEveryColumnOfARow) {
  // List 0 row 0 is {5, 2699, 158, 88, 25, 4}.
  const int16_t row0[6] = {5, 2699, 158, 88, 25, 4};
  EXPECT_EQ(ZqCheckFrList(row0, 0), 1);
  for (int c = 0; c < 6; ++c) {
    int16_t vec[6];
    std::copy(row0, row0 + 6, vec);
    vec[c] = static_cast<int16_t>(vec[c] - 1);
    EXPECT_EQ(ZqCheckFrList(vec, 0), 0) << "column " << c;
  }
  // List 1 last row {9, 2028, 498, 81, 6, 12}: dominated by a larger vector.
  const int16_t big[6] = {9, 3000, 600, 90, 6, 20};
  EXPECT_EQ(ZqCheckFrList(big, 1), 1);
  EXPECT_EQ(ZqCheckFrList(big, 0), 0);  // list 0 needs similarity gain >= 25 or 4 with 12 inliers
  const int16_t top[6] = {INT16_MAX, INT16_MAX, INT16_MAX, INT16_MAX, INT16_MAX, INT16_MAX};
  EXPECT_EQ(ZqCheckFrList(top, 2), 0);
  EXPECT_EQ(ZqCheckFrList(top, 255), 0);
  EXPECT_EQ(ZqCheckFrList(nullptr, 0), 0);
}

TEST(FaList, OffsetsPerTypeAndUnknownTypes) {
  struct Case {
    int type;
    int16_t vec[6];
    int32_t want;
  };
  const Case cases[] = {
      {1, {6, 22, 86, 66, 9, 1}, 1},
      {1, {6, 23, 86, 66, 9, 1}, 0},  // no offset on type 1
      {1, {0, 0, 0, 0, 0, 0}, 1},
      {2, {7, 9, 91, 19, 6, 0}, 1},
      {2, {7, 10, 91, 19, 6, 0}, 1},  // column 1 gets one more
      {2, {7, 10, 91, 20, 6, 0}, 1},  // and column 3
      {2, {7, 11, 91, 19, 6, 0}, 0},
      {2, {8, 9, 91, 19, 6, 0}, 0},   // column 0 has none
      {3, {7, 21, 89, 40, 1, 2}, 1},
      {3, {7, 20, 89, 39, 1, 3}, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqCheckFaList(c.vec, c.type), c.want) << "type " << c.type << " v1 " << c.vec[1];
  }
  const int16_t low[6] = {INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN};
  for (int type : {0, 4, -1}) EXPECT_EQ(ZqCheckFaList(low, type), 0) << type;
  EXPECT_EQ(ZqCheckFaList(nullptr, 1), 0);
}

TEST(RuleLists, SortedByFirstColumn) {
  using namespace zq_rules;
  struct List {
    const int16_t (*rows)[kListColumns];
    int32_t count;
  };
  const List lists[] = {{gFrList0_6dims, gFrList0Rows},
                        {gFrList1_6dims, gFrList1Rows},
                        {gMode4DO4851_WarpMatch_Fa_6dims, gMode4DO4851_WarpMatch_FaRows},
                        {gMode5FW4853_WarpMatch_Fa_6dims, gMode5FW4853_WarpMatch_FaRows},
                        {gMode5FW4855_WarpMatch_Fa_6dims, gMode5FW4855_WarpMatch_FaRows}};
  for (const List &l : lists) {
    ASSERT_GE(l.count, 1);
    for (int r = 1; r < l.count; ++r) EXPECT_LE(l.rows[r - 1][0], l.rows[r][0]);
  }
}

}  // namespace
