// Rows of a rule table or list fitted on measurement vectors: regions that
// hold the vectors to be caught (targets) and none of those to be spared
// (avoided). For a false-accept table the targets are impostor comparisons
// and the spared ones genuine; for a false-reject list it is the other way
// round. Each column bounds its element from above (sign +1: the vector's
// value at or below the row's) or from below (sign -1: at or above).
#pragma once

#include <vector>

namespace rule_rows {

// The classifier tables' columns (ransacNum, diffBlobSize, recurPct,
// overlapPct, uniformPct, matchScore) and their signs.
inline constexpr int kCols = 6;
inline constexpr int kSig[kCols] = {1, -1, 1, 1, 1, 1};

using Vec = std::vector<int>;  // a row, or a comparison's vector

// What a table must keep: at most max_rows rows, every value of column c
// within lo[c]..hi[c], first as its first row and last (when not empty) as
// its last; sig gives the columns' signs (the classifier's when empty).
struct TableShape {
  int max_rows;
  Vec lo, hi;
  Vec first, last;
  Vec sig = {};
};

// True when the row's region holds v (ZqCheckFAR's test) under the given
// signs (the classifier's when empty).
bool Covers(const Vec &row, const Vec &v, const Vec &sig = {});

// The table's rows: first, then one region per target vector that no
// avoided vector would fall into, grown column by column from the vector
// towards the column's far bound, half-way to the first avoided vector it
// would take in, without the regions that another one (or a given row)
// covers, sorted by column 0 and between the given rows; last. No fitted
// row holds an avoided vector. Deterministic for its inputs (their order
// included).
std::vector<Vec> FitRows(const TableShape &shape, const std::vector<Vec> &targets, const std::vector<Vec> &avoided);

}  // namespace rule_rows
