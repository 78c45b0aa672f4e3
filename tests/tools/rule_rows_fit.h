// Rows of a false-accept rule table of the classifier (columns ransacNum,
// diffBlobSize, recurPct, overlapPct, uniformPct, matchScore; the second
// a lower bound, the others upper bounds) fitted on measurement vectors of
// impostor and genuine comparisons that reached the match threshold.
#pragma once

#include <vector>

namespace rule_rows {

inline constexpr int kCols = 6;
// +1: the vector's value must be at or below the row's; -1: at or above.
inline constexpr int kSig[kCols] = {1, -1, 1, 1, 1, 1};

using Vec = std::vector<int>;  // kCols values: a row, or a comparison's vector

// What a table must keep: at most max_rows rows, every value of column c
// within lo[c]..hi[c], first and last as its first and last rows.
struct TableShape {
  int max_rows;
  int lo[kCols], hi[kCols];
  int first[kCols], last[kCols];
};

// True when the row's region holds v (ZqCheckFAR's test).
bool Covers(const Vec &row, const Vec &v);

// The table's rows: first, then one region per impostor vector that no
// genuine vector dominates, grown column by column from the vector towards
// the column's bound, half-way to the first genuine vector it would take
// in, without the regions that another one (or a given row) covers, sorted
// by column 0 and between the given rows; last. No fitted row holds a
// genuine vector. Deterministic for its inputs (their order included).
std::vector<Vec> FitRows(const TableShape &shape, const std::vector<Vec> &impostor, const std::vector<Vec> &genuine);

}  // namespace rule_rows
