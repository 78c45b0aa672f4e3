// Contour records and single-polygon geometry.
#include "src/features/ZqContourProc.h"

#include <math.h>
#include <stdint.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr float kNoDistance = 1e34f;

// Zeroed array of n points, or NULL (logged under func) when n is too large
// for the allocator or the allocation fails.
ST_Point32f *NewPoints(int32_t n, const char *func) {
  ST_Point32f *p = nullptr;
  if (n <= INT32_MAX / static_cast<int32_t>(sizeof(ST_Point32f))) {
    p = static_cast<ST_Point32f *>(ZqSafeAlloc(n * static_cast<int32_t>(sizeof(ST_Point32f))));
  }
  if (p == nullptr) QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s... ZqSafeAlloc() == null", func);
  return p;
}

}  // namespace

extern "C" ST_Contour ZqInitContours(int32_t n) {
  ST_Contour c = {0, 0, nullptr};
  if (n < 1) return c;
  c.pts = NewPoints(n, __func__);
  if (c.pts != nullptr) c.capacity = n;
  return c;
}

extern "C" int ZqInitContours2(ST_Contour *c, int32_t n) {
  if (c == nullptr) return -1;
  ZqSafeFree(c->pts);
  c->pts = nullptr;
  c->num = 0;
  c->capacity = 0;
  if (n < 1) return 0;
  c->pts = NewPoints(n, __func__);
  if (c->pts == nullptr) return -1;
  c->capacity = n;
  return 0;
}

extern "C" int ZqReleaseContours(ST_Contour *c) {
  if (c == nullptr) return -1;
  ZqSafeFree(c->pts);
  c->pts = nullptr;
  c->num = 0;
  c->capacity = 0;
  return 0;
}

extern "C" int ZqClockWiseContour(ST_Contour *c) {
  if (c == nullptr || c->pts == nullptr || c->num < 3) return -1;
  ST_Point32f *P = c->pts;
  const int n = c->num;
  const float bx = P[0].x - P[n - 1].x, by = P[0].y - P[n - 1].y;
  for (int i = 1; i < n; ++i) {
    const float dx = P[i].x - P[i - 1].x, dy = P[i].y - P[i - 1].y;
    const float cross = bx * dy - by * dx;
    if (cross == 0.0f) continue;  // straight on: the next turn decides
    if (cross < 0.0f) {
      for (int j = 0; j < n / 2; ++j) PointSwap(&P[j], &P[n - 1 - j]);
    }
    break;
  }
  return 0;
}

extern "C" float ZqContourArea(int32_t n, const ST_Point32f *P) {
  if (P == nullptr || n <= 0) return 0.0f;
  float sum = 0.0f;
  ST_Point32f prev = P[n - 1];
  for (int i = 0; i < n; ++i) {
    sum += prev.x * P[i].y - prev.y * P[i].x;
    prev = P[i];
  }
  return fabsf(sum / 2.0f);
}

extern "C" int ZqConoturMinDst(int32_t n, const ST_Point32f *P, float *out) {
  if (out == nullptr || (n > 0 && P == nullptr)) return -1;
  if (n == 0) {
    *out = 0.0f;
    return -1;
  }
  if (n < 0) {
    *out = kNoDistance;
    return 0;
  }
  float cx = 0.0f, cy = 0.0f;
  for (int i = 0; i < n; ++i) {
    cx += P[i].x;
    cy += P[i].y;
  }
  cx /= static_cast<float>(n);
  cy /= static_cast<float>(n);
  float best = kNoDistance;
  ST_Point32f p = P[n - 1];
  for (int i = 0; i < n; ++i) {
    const float ex = P[i].x - p.x, ey = P[i].y - p.y;
    const float len = sqrtf(ex * ex + ey * ey);
    // A zero-length edge has no line (its distance would be 0 / 0).
    if (len > 0.0f) {
      const float dist = (ey * (cx - p.x) - ex * (cy - p.y)) / len;
      if (dist < best) best = dist;
    }
    p = P[i];
  }
  *out = best;
  return 0;
}

extern "C" int ZqContourRectangle(int32_t n, const ST_Point32f *P, float *area, float *side1,
                                  float *side2) {
  if (area == nullptr || side1 == nullptr || side2 == nullptr) return -1;
  *area = 0.0f;
  *side1 = 0.0f;
  *side2 = 0.0f;
  if (n == 0 || (n > 0 && P == nullptr)) return -1;
  const float a = ZqContourArea(n, P);
  *area = a;
  double perimeter = 0.0;
  for (int i = 0; i < n; ++i) {
    const ST_Point32f &prev = P[i == 0 ? n - 1 : i - 1];
    const double dx = static_cast<double>(P[i].x) - prev.x;
    const double dy = static_cast<double>(P[i].y) - prev.y;
    perimeter += sqrt(dx * dx + dy * dy);
  }
  const double s = perimeter / 2.0;
  const double disc = s * s - 4.0 * a;
  if (disc < 0.0) return -1;
  const double r = sqrt(disc);
  *side1 = static_cast<float>((s - r) / 2.0);
  *side2 = static_cast<float>((s + r) / 2.0);
  return 0;
}

extern "C" int ZqContourIncludePoint(int32_t n, const ST_Point32f *P, ST_Point32f q) {
  if (P == nullptr || n < 3) return -1;
  int crossings = 0;
  ST_Point32f p1 = P[n - 1];
  for (int i = 0; i < n; ++i) {
    const ST_Point32f p2 = P[i];
    const ST_Point32f a = p1;
    p1 = p2;
    if (q.y >= a.y && q.y >= p2.y) {
      if (q.y == p2.y && q.x == p2.x) return 0;
      if (q.y == p2.y && q.y == a.y &&
          ((a.x <= q.x && q.x <= p2.x) || (p2.x <= q.x && q.x <= a.x))) {
        return 0;
      }
      continue;
    }
    if (q.y < a.y && q.y < p2.y) continue;
    if (q.x > a.x && q.x > p2.x) continue;
    double c = (static_cast<double>(q.y) - a.y) * (static_cast<double>(p2.x) - a.x) -
               (static_cast<double>(q.x) - a.x) * (static_cast<double>(p2.y) - a.y);
    if (c == 0.0) return 0;
    if (a.y > p2.y) c = -c;
    if (c > 0.0) ++crossings;
  }
  return crossings % 2 == 1 ? 1 : -1;
}

extern "C" int ZqContourInclude(int32_t nA, const ST_Point32f *A, int32_t nB,
                                const ST_Point32f *B) {
  auto allIn = [](int32_t nOuter, const ST_Point32f *outer, int32_t nInner,
                  const ST_Point32f *inner) {
    if (inner == nullptr && nInner > 0) return false;
    for (int i = 0; i < nInner; ++i) {
      if (ZqContourIncludePoint(nOuter, outer, inner[i]) == -1) return false;
    }
    return true;
  };
  if (allIn(nA, A, nB, B)) return 1;
  return allIn(nB, B, nA, A) ? 1 : 0;
}

extern "C" ST_Point32f PointSub(ST_Point32f a, ST_Point32f b) {
  ST_Point32f r = {a.x - b.x, a.y - b.y};
  return r;
}

extern "C" ST_Point32f PointAdd(ST_Point32f a, ST_Point32f b) {
  ST_Point32f r = {a.x + b.x, a.y + b.y};
  return r;
}

extern "C" void PointSwap(ST_Point32f *a, ST_Point32f *b) {
  if (a == nullptr || b == nullptr) return;
  const ST_Point32f t = *a;
  *a = *b;
  *b = t;
}
