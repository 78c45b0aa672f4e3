// Integer convex hulls; see ZqConvexHull.h.
#include "src/image/ZqConvexHull.h"

#include <math.h>
#include <stdlib.h>

#include <utility>

#include "src/image/ZqScratch.h"

int32_t ZqJudgeRotOri(ST_Point32s p0, ST_Point32s p1, ST_Point32s p2) {
  return (p2.y - p0.y) * (p1.x - p0.x) - (p2.x - p0.x) * (p1.y - p0.y);
}

int32_t ZqCalcTriangleArea(ST_Point32s p0, ST_Point32s p1, ST_Point32s p2) {
  return abs(ZqJudgeRotOri(p0, p1, p2)) / 2;
}

uint32_t ZqCalcConvexHullArea(const ST_Point32s *poly, int32_t n) {
  if (poly == nullptr || n < 3) return 0;
  uint32_t sum = 0;
  for (int32_t k = 1; k + 1 < n; ++k)
    sum += static_cast<uint32_t>(ZqCalcTriangleArea(poly[0], poly[k], poly[k + 1]));
  return sum;
}

int32_t ZqConvexHull(ST_Point32s *pts, int32_t n, ST_Point32s *hull, int32_t *hullCount,
                     int32_t *area) {
  if (pts == nullptr || hull == nullptr || hullCount == nullptr || area == nullptr || n < 2)
    return -1;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  float *key = scratch.Take<float>(n);
  if (key == nullptr) return -2;

  int32_t pivot = 0;
  for (int32_t i = 1; i < n; ++i)
    if (pts[i].y < pts[pivot].y) pivot = i;
  const ST_Point32s p = pts[pivot];
  for (int32_t i = 0; i < n; ++i) {
    if (i == pivot) {
      key[i] = 2.0f;
      continue;
    }
    const float dx = static_cast<float>(pts[i].x - p.x), dy = static_cast<float>(pts[i].y - p.y);
    const float d = sqrtf(dx * dx + dy * dy);
    key[i] = d < 1e-6f ? 0.0f : dx / d;
  }
  // Bubble sort by decreasing key; equal keys keep their order.
  for (bool swapped = true; swapped;) {
    swapped = false;
    for (int32_t i = 0; i + 1 < n; ++i) {
      if (key[i] < key[i + 1]) {
        std::swap(key[i], key[i + 1]);
        std::swap(pts[i], pts[i + 1]);
        swapped = true;
      }
    }
  }

  int32_t count = 2;
  hull[0] = pts[0];
  hull[1] = pts[1];
  for (int32_t i = 2; i < n; ++i) {
    while (ZqJudgeRotOri(hull[count - 2], hull[count - 1], pts[i]) < 0 && count > 2) --count;
    if (ZqJudgeRotOri(hull[count - 2], hull[count - 1], pts[i]) < 0) break;  // only the pivot left
    hull[count++] = pts[i];
  }
  *hullCount = count;
  *area = static_cast<int32_t>(ZqCalcConvexHullArea(hull, count));
  return 0;
}

int32_t ZqCalcConvexHull(const ST_Point16s *pts, int32_t n, int32_t *area) {
  if (pts == nullptr || area == nullptr || n < 2 || n > 200) return -1;
  ST_Point32s copy[200], hull[200];
  for (int32_t i = 0; i < n; ++i) copy[i] = ST_Point32s{pts[i].x, pts[i].y};
  int32_t count = 0, a = 0;
  const int32_t rc = ZqConvexHull(copy, n, hull, &count, &a);
  if (rc == 0) *area = a;
  return rc;
}
