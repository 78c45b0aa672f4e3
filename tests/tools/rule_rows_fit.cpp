#include "tools/rule_rows_fit.h"

#include <algorithm>

namespace rule_rows {
namespace {

bool CoversAny(const Vec &row, const std::vector<Vec> &vs) {
  for (const Vec &v : vs) {
    if (Covers(row, v)) return true;
  }
  return false;
}

}  // namespace

bool Covers(const Vec &row, const Vec &v) {
  for (int c = 0; c < kCols; ++c) {
    if ((row[c] - v[c]) * kSig[c] < 0) return false;
  }
  return true;
}

std::vector<Vec> FitRows(const TableShape &t, const std::vector<Vec> &impostor, const std::vector<Vec> &genuine) {
  const Vec first(t.first, t.first + kCols), last(t.last, t.last + kCols);
  std::vector<Vec> impostors = impostor;
  std::sort(impostors.begin(), impostors.end());
  impostors.erase(std::unique(impostors.begin(), impostors.end()), impostors.end());
  std::vector<Vec> rows;
  for (const Vec &v : impostors) {
    if (Covers(first, v) || Covers(last, v)) continue;  // cut already
    Vec row = v;
    bool in_range = true;
    for (int c = 0; c < kCols; ++c) {
      // Hold the bound inside the range; a vector beyond the range's far
      // end cannot be covered.
      if (kSig[c] > 0) {
        row[c] = std::max(row[c], t.lo[c]);
        in_range = in_range && row[c] <= t.hi[c];
      } else {
        row[c] = std::min(row[c], t.hi[c]);
        in_range = in_range && row[c] >= t.lo[c];
      }
    }
    if (!in_range || CoversAny(row, genuine)) continue;
    for (int c = 0; c < kCols; ++c) {
      // The farthest bound in the range that takes in no genuine vector,
      // then half-way there.
      const int end = kSig[c] > 0 ? t.hi[c] : t.lo[c];
      int reach = end;
      for (const Vec &g : genuine) {
        Vec probe = row;
        probe[c] = end;
        if (!Covers(probe, g)) continue;
        const int stop = g[c] - kSig[c];
        reach = kSig[c] > 0 ? std::min(reach, stop) : std::max(reach, stop);
      }
      row[c] += (reach - row[c]) / 2;
    }
    rows.push_back(row);
  }
  // Drop regions inside another one (of two equal ones the first stays) and
  // those a given row covers, and rows that would precede the first given
  // row or follow the last.
  std::vector<Vec> kept;
  for (size_t i = 0; i < rows.size(); ++i) {
    bool inside = Covers(first, rows[i]) || Covers(last, rows[i]) || rows[i][0] < first[0] || rows[i][0] > last[0];
    for (size_t j = 0; j < rows.size() && !inside; ++j) {
      if (j != i) inside = Covers(rows[j], rows[i]) && (rows[j] != rows[i] || j < i);
    }
    if (!inside) kept.push_back(rows[i]);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Vec &a, const Vec &b) { return a[0] < b[0]; });
  if (static_cast<int>(kept.size()) > t.max_rows - 2) kept.resize(static_cast<size_t>(std::max(t.max_rows - 2, 0)));
  std::vector<Vec> out{first};
  out.insert(out.end(), kept.begin(), kept.end());
  out.push_back(last);
  return out;
}

}  // namespace rule_rows
