#include "tools/rule_rows_fit.h"

#include <algorithm>

namespace rule_rows {
namespace {

Vec Signs(const Vec &sig, size_t n) { return sig.empty() ? Vec(kSig, kSig + std::min<size_t>(n, kCols)) : sig; }

bool CoversAny(const Vec &row, const std::vector<Vec> &vs, const Vec &sig) {
  for (const Vec &v : vs) {
    if (Covers(row, v, sig)) return true;
  }
  return false;
}

}  // namespace

bool Covers(const Vec &row, const Vec &v, const Vec &sig) {
  const Vec s = Signs(sig, row.size());
  for (size_t c = 0; c < row.size(); ++c) {
    if ((static_cast<long long>(row[c]) - v[c]) * s[c] < 0) return false;
  }
  return true;
}

std::vector<Vec> FitRows(const TableShape &t, const std::vector<Vec> &target, const std::vector<Vec> &avoided) {
  const size_t cols = t.first.size();
  const Vec sig = Signs(t.sig, cols);
  const Vec &first = t.first, &last = t.last;
  const bool has_last = !last.empty();
  std::vector<Vec> targets = target;
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
  std::vector<Vec> rows;
  for (const Vec &v : targets) {
    if (Covers(first, v, sig) || (has_last && Covers(last, v, sig))) continue;  // held already
    Vec row = v;
    bool in_range = true;
    for (size_t c = 0; c < cols; ++c) {
      // Hold the bound inside the range; a vector beyond the range's far
      // end cannot be held.
      if (sig[c] > 0) {
        row[c] = std::max(row[c], t.lo[c]);
        in_range = in_range && row[c] <= t.hi[c];
      } else {
        row[c] = std::min(row[c], t.hi[c]);
        in_range = in_range && row[c] >= t.lo[c];
      }
    }
    if (!in_range || CoversAny(row, avoided, sig)) continue;
    for (size_t c = 0; c < cols; ++c) {
      // The farthest bound in the range that takes in no avoided vector,
      // then half-way there.
      const int end = sig[c] > 0 ? t.hi[c] : t.lo[c];
      int reach = end;
      for (const Vec &g : avoided) {
        Vec probe = row;
        probe[c] = end;
        if (!Covers(probe, g, sig)) continue;
        const int stop = g[c] - sig[c];
        reach = sig[c] > 0 ? std::min(reach, stop) : std::max(reach, stop);
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
    bool inside = Covers(first, rows[i], sig) || rows[i][0] < first[0] ||
                  (has_last && (Covers(last, rows[i], sig) || rows[i][0] > last[0]));
    for (size_t j = 0; j < rows.size() && !inside; ++j) {
      if (j != i) inside = Covers(rows[j], rows[i], sig) && (rows[j] != rows[i] || j < i);
    }
    if (!inside) kept.push_back(rows[i]);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Vec &a, const Vec &b) { return a[0] < b[0]; });
  const int given = has_last ? 2 : 1;
  if (static_cast<int>(kept.size()) > t.max_rows - given) {
    kept.resize(static_cast<size_t>(std::max(t.max_rows - given, 0)));
  }
  std::vector<Vec> out{first};
  out.insert(out.end(), kept.begin(), kept.end());
  if (has_last) out.push_back(last);
  return out;
}

}  // namespace rule_rows
