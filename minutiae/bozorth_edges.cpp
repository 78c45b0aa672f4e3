// Edge construction of one print and the count of edges that take part.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "minutiae/bozorth_tables.h"
#include "minutiae/lfs_numeric.h"

namespace bozorth {
namespace {

// theta brought into -179..180; the identity for every valid record, and it
// keeps the angle arithmetic below in range for a damaged one.
int64_t NormalTheta(int32_t theta) {
  int64_t t = theta % 360;
  if (t > 180) t -= 360;
  if (t <= -180) t += 360;
  return t;
}

// True when the two directions point exactly opposite ways.
bool Opposite(int64_t tj, int64_t tk) {
  return tk > 0 ? tk == tj + 180 : tk + 180 == tj;
}

// Angle of the line from minutia j to minutia k, degrees -90..90.
int32_t JoinAngle(int64_t dx, int64_t dy) {
  if (dx == 0) return 90;
  const float ratio = static_cast<float>(dy) / static_cast<float>(dx);
  return nearest_int(static_cast<double>(std::atan(ratio) * 57.295776f));
}

}  // namespace

int BuildEdges(const xyt_record &print, EdgeTable *table) {
  const int n = std::clamp(print.count, 0, XYT_MAX_MINUTIAE);
  int m = 0;
  for (int j = 0; j + 1 < n && m < kMaxEdges; j++) {
    const int64_t tj = NormalTheta(print.theta[j]);
    for (int k = j + 1; k < n; k++) {
      const int64_t tk = NormalTheta(print.theta[k]);
      if (Opposite(tj, tk)) continue;
      const int64_t dx = static_cast<int64_t>(print.x[k]) - print.x[j];
      const int64_t dy = static_cast<int64_t>(print.y[k]) - print.y[j];
      if (dx > kMaxEdgeSqDist || dx < -kMaxEdgeSqDist || dy > kMaxEdgeSqDist ||
          dy < -kMaxEdgeSqDist || dx * dx + dy * dy > kMaxEdgeSqDist) {
        if (dx > 125) break;  // rows are ordered by x: every later k is farther
        continue;
      }
      const int32_t join = JoinAngle(dx, dy);
      int64_t b1 = join - tj;
      if (b1 > 180) b1 -= 360;
      if (b1 <= -180) b1 += 360;
      int64_t b2 = join - tk;
      if (b2 > 0) {
        b2 -= 180;
      } else if (b2 < -359) {
        b2 += 540;
      } else {
        b2 += 180;
      }
      Edge &e = table->rows[m];
      e.sq_dist = static_cast<int32_t>(dx * dx + dy * dy);
      e.beta_lo = static_cast<int32_t>(std::min(b1, b2));
      e.beta_hi = static_cast<int32_t>(std::max(b1, b2));
      e.first = j + 1;
      e.second = k + 1;
      e.join_theta = join + (b1 >= b2 ? kMarked : 0);
      if (++m == kMaxEdges) break;
    }
  }
  table->count = m;
  for (int i = 0; i < m; i++) table->order[i] = i;
  const Edge *rows = table->rows;
  // Equal keys stay in creation order through the row index.
  std::sort(table->order, table->order + m, [rows](int32_t a, int32_t b) {
    const Edge &ea = rows[a];
    const Edge &eb = rows[b];
    if (ea.sq_dist != eb.sq_dist) return ea.sq_dist < eb.sq_dist;
    if (ea.beta_lo != eb.beta_lo) return ea.beta_lo < eb.beta_lo;
    if (ea.beta_hi != eb.beta_hi) return ea.beta_hi < eb.beta_hi;
    return a < b;
  });
  return m;
}

int EdgesToUse(const EdgeTable &table) {
  const int m = table.count;
  // The short edges lead the sorted order: find the first longer one.
  int lo = 0, hi = m;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (table.Sorted(mid).sq_dist <= kShortEdgeSqDist) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  const int t = std::min(m, lo + 1);
  return t >= kMinEdgeCount ? t : std::min(m, kMinEdgeCount);
}

}  // namespace bozorth

extern "C" int bz_compare_x_y(const void *a, const void *b) {
  const int32_t *ra = static_cast<const int32_t *>(a);
  const int32_t *rb = static_cast<const int32_t *>(b);
  if (ra[0] != rb[0]) return ra[0] < rb[0] ? -1 : 1;
  if (ra[1] != rb[1]) return ra[1] < rb[1] ? -1 : 1;
  return 0;
}
