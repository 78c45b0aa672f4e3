// Overlap polygons: two quadrilaterals (the sensor rectangle against its
// image under a transform) and two convex polygons.
#include <float.h>
#include <math.h>
#include <stdint.h>

#include "src/features/ZqContourProc.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

// Edge crossings (4 x 4) and contained corners (4 + 4).
constexpr int kMaxRectPoints = 24;
// Output capacity of the convex intersection in the two-overlap routine.
constexpr int kPolygonCapacity = 33;

float Cross(ST_Point32f u, ST_Point32f w) { return u.x * w.y - u.y * w.x; }

float Dist2(ST_Point32f a, ST_Point32f b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// True when every edge value e.x (p.y - o.y) - e.y (p.x - o.x) of the
// quadrilateral Q (edges e from corners o) has the same sign (>= 0 or < 0).
bool InsideQuad(ST_Point32f p, const ST_Point32f *Q, const ST_Point32f *e) {
  int nonNegative = 0;
  for (int k = 0; k < 4; ++k) {
    const float v = e[k].x * (p.y - Q[k].y) - e[k].y * (p.x - Q[k].x);
    if (v >= 0.0f) ++nonNegative;
  }
  return nonNegative == 4 || nonNegative == 0;
}

// Removes P[j] by moving the last point into its place.
void RemoveAt(ST_Point32f *P, int *count, int j) {
  P[j] = P[*count - 1];
  --*count;
}

// Reduces the points to ZQ_RECT_INSECTION_POINTS: repeatedly drops the later
// point of the closest pair (only near-duplicates within the tolerance of
// the crossings can get this far).
void ReduceToEight(ST_Point32f *P, int *count) {
  while (*count > ZQ_RECT_INSECTION_POINTS) {
    int drop = 1;
    float best = FLT_MAX;
    for (int i = 0; i < *count; ++i) {
      for (int j = i + 1; j < *count; ++j) {
        const float d = Dist2(P[i], P[j]);
        if (d < best) {
          best = d;
          drop = j;
        }
      }
    }
    RemoveAt(P, count, drop);
  }
}

// The sensor rectangle's corners, in order.
void SensorRect(int32_t cols, int32_t rows, ST_Point32f R[4]) {
  const float w = static_cast<float>(cols - 1), h = static_cast<float>(rows - 1);
  R[0] = {0.0f, 0.0f};
  R[1] = {w, 0.0f};
  R[2] = {w, h};
  R[3] = {0.0f, h};
}

ST_Point32f Map(const ST_FullHMatrix &H, ST_Point32f p) {
  ST_Point32f r = {H.a00 * p.x + H.a01 * p.y + H.a02, H.a10 * p.x + H.a11 * p.y + H.a12};
  return r;
}

bool SamePoint(ST_Point32f a, ST_Point32f b) { return a.x == b.x && a.y == b.y; }

// Collector of the convex intersection: a sentinel in slot 0, then the points,
// each only when it differs from the last entry; refuses to pass capacity.
class Collector {
 public:
  explicit Collector(ST_Contour *out) : out_(out) {
    out_->pts[0] = {FLT_MAX, FLT_MAX};
    entries_ = 1;
  }
  void Add(ST_Point32f p) {
    if (SamePoint(p, out_->pts[entries_ - 1])) return;
    if (entries_ >= out_->capacity) {
      overflow_ = true;
      return;
    }
    out_->pts[entries_++] = p;
  }
  int entries() const { return entries_; }
  bool overflow() const { return overflow_; }
  // Moves the points down over the sentinel; returns their number.
  int Settle() {
    for (int i = 1; i < entries_; ++i) out_->pts[i - 1] = out_->pts[i];
    return entries_ - 1;
  }

 private:
  ST_Contour *out_;
  int entries_ = 0;
  bool overflow_ = false;
};

enum class Inside { kUnknown, kP, kQ };

// True when every point of A lies inside or on the polygon B.
bool AllInside(int32_t nA, const ST_Point32f *A, int32_t nB, const ST_Point32f *B) {
  for (int i = 0; i < nA; ++i) {
    if (ZqContourIncludePoint(nB, B, A[i]) == -1) return false;
  }
  return true;
}

}  // namespace

extern "C" int areaSign(ST_Point32f a, ST_Point32f b, ST_Point32f c) {
  const float bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
  const double s = static_cast<double>(bx) * cy - static_cast<double>(cx) * by;
  if (s > 0.00001) return 1;
  if (s < -0.00001) return -1;
  return 0;
}

extern "C" int PointBetween(ST_Point32f a, ST_Point32f b, ST_Point32f c) {
  if (a.x != b.x) return (a.x <= c.x && c.x <= b.x) || (b.x <= c.x && c.x <= a.x) ? 1 : 0;
  return (a.y <= c.y && c.y <= b.y) || (b.y <= c.y && c.y <= a.y) ? 1 : 0;
}

extern "C" int ZqCalcRotateRectInsection(const ST_Point32f *A, const ST_Point32f *B,
                                         ST_Contour *out) {
  if (out == nullptr) return -1;
  if (A == nullptr || B == nullptr || out->pts == nullptr) {
    out->num = 0;
    return -1;
  }
  auto *P = static_cast<ST_Point32f *>(
      ZqSafeAlloc(static_cast<int32_t>(kMaxRectPoints * sizeof(ST_Point32f))));
  if (P == nullptr) {
    out->num = 0;
    return -1;
  }
  ST_Point32f eA[4], eB[4];
  for (int i = 0; i < 4; ++i) {
    eA[i] = PointSub(A[(i + 1) % 4], A[i]);
    eB[i] = PointSub(B[(i + 1) % 4], B[i]);
  }
  int count = 0;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const float h = eB[j].x * eA[i].y - eB[j].y * eA[i].x;
      if (fabsf(h) < 0.000001f) continue;
      const float o = B[j].y - A[i].y, w = B[j].x - A[i].x;
      const float t = (eB[j].x * o - eB[j].y * w) / h;
      const float u = (o * eA[i].x - w * eA[i].y) / h;
      if (t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f) {
        P[count++] = {A[i].x + t * eA[i].x, A[i].y + t * eA[i].y};
      }
    }
  }
  const int crossings = count;
  for (int i = 0; i < 4; ++i) {
    if (InsideQuad(A[i], B, eB)) P[count++] = A[i];
  }
  for (int i = 0; i < 4; ++i) {
    if (InsideQuad(B[i], A, eA)) P[count++] = B[i];
  }
  if (count == 0) {
    out->num = 0;
    ZqSafeFree(P);
    return 0;
  }
  for (int i = 1; i < count; ++i) {
    for (int k = 0; k < i; ++k) {
      if (Dist2(P[i], P[k]) <= 1e-16f) {
        RemoveAt(P, &count, i);
        --i;  // look at the point moved into slot i
        break;
      }
    }
  }
  ReduceToEight(P, &count);
  for (int k = 1; k < count - 1; ++k) {
    for (int d = k + 1; d < count; ++d) {
      if (Cross(PointSub(P[k], P[k - 1]), PointSub(P[d], P[k - 1])) < 0.0f) PointSwap(&P[k], &P[d]);
    }
  }
  if (count > out->capacity) {
    out->num = 0;
    ZqSafeFree(P);
    return -1;
  }
  for (int i = 0; i < count; ++i) out->pts[i] = P[i];
  out->num = count;
  ZqSafeFree(P);
  if (count >= 3) {
    ZqClockWiseContour(out);
    return 0;
  }
  return crossings > 0 ? 1 : 0;
}

extern "C" int ZqCalcInterSectionContour(const ST_FullHMatrix *H, int32_t cols, int32_t rows,
                                         ST_Contour *out) {
  if (H == nullptr || out == nullptr) return -1;
  ST_Point32f R[4], M[4];
  SensorRect(cols, rows, R);
  for (int i = 0; i < 4; ++i) M[i] = Map(*H, R[i]);
  return ZqCalcRotateRectInsection(R, M, out);
}

extern "C" float ZqCalcInterSectionArea(const ST_FullHMatrix *H, int32_t cols, int32_t rows) {
  if (H == nullptr) return 0.0f;
  ST_Contour c = ZqInitContours(ZQ_RECT_INSECTION_POINTS);
  if (c.pts == nullptr) return 0.0f;
  float area = 0.0f;
  ZqCalcInterSectionContour(H, cols, rows, &c);
  if (c.num >= 3) area = ZqContourArea(c.num, c.pts);
  ZqReleaseContours(&c);
  return area;
}

extern "C" int ZqCalcInterSectionArea2(const ST_FullHMatrix *H1, const ST_FullHMatrix *H2,
                                       int32_t cols, int32_t rows, float *area1, float *area2,
                                       float *area12) {
  if (area1 == nullptr || area2 == nullptr || area12 == nullptr) return -1;
  *area1 = 0.0f;
  *area2 = 0.0f;
  *area12 = 0.0f;
  if (H1 == nullptr || H2 == nullptr) return -1;
  ST_Contour c1 = ZqInitContours(ZQ_RECT_INSECTION_POINTS);
  ST_Contour c2 = ZqInitContours(ZQ_RECT_INSECTION_POINTS);
  ST_Contour c12 = ZqInitContours(kPolygonCapacity);
  if (c1.pts != nullptr && c2.pts != nullptr && c12.pts != nullptr) {
    ZqCalcInterSectionContour(H1, cols, rows, &c1);
    ZqCalcInterSectionContour(H2, cols, rows, &c2);
    if (c1.num >= 3) *area1 = ZqContourArea(c1.num, c1.pts);
    if (c2.num >= 3) *area2 = ZqContourArea(c2.num, c2.pts);
    if (c1.num >= 3 && c2.num >= 3) ZqPolygonInsection2(c1.num, c1.pts, c2.num, c2.pts, &c12, area12);
  }
  ZqReleaseContours(&c12);
  ZqReleaseContours(&c2);
  ZqReleaseContours(&c1);
  return 0;
}

extern "C" void ZqCalcInterSectionDemon(void) {
  const float shifts[2][2] = {{18.0f, -44.0f}, {-18.0f, 44.0f}};
  const ST_FullHMatrix id = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  for (const auto &s : shifts) {
    ST_FullHMatrix moved = id;
    moved.a02 = s[0];
    moved.a12 = s[1];
    float a1, a2, a12;
    ZqCalcInterSectionArea2(&id, &moved, 36, 176, &a1, &a2, &a12);
  }
}

extern "C" int ZqPolygonInsection2(int32_t n, const ST_Point32f *P, int32_t m,
                                   const ST_Point32f *Q, ST_Contour *out, float *area) {
  if (out == nullptr || area == nullptr) return -1;
  if (n <= 2 || m <= 2) {
    *area = 0.0f;
    return 0;
  }
  *area = 0.0f;
  if (P == nullptr || Q == nullptr || out->pts == nullptr || out->capacity < 1) {
    out->num = 0;
    return -1;
  }
  Collector col(out);
  const ST_Point32f origin = {0.0f, 0.0f};
  int a = 0, b = 0, aa = 0, ba = 0;
  Inside inflag = Inside::kUnknown;
  bool firstPoint = true;
  bool earlyEnd = false;
  do {
    const int a1 = (a + n - 1) % n, b1 = (b + m - 1) % m;
    const ST_Point32f A = PointSub(P[a], P[a1]);
    const ST_Point32f B = PointSub(Q[b], Q[b1]);
    const int cross = areaSign(origin, A, B);
    const int aHB = areaSign(Q[b1], Q[b], P[a]);
    const int bHA = areaSign(P[a1], P[a], Q[b]);

    // Segment P[a1]P[a] against Q[b1]Q[b].
    const ST_Point32f sa = P[a1], sb = P[a], sc = Q[b1], sd = Q[b];
    const double ax = sa.x, ay = sa.y, bx = sb.x, by = sb.y;
    const double cx = sc.x, cy = sc.y, dx = sd.x, dy = sd.y;
    const double S = ax * (dy - cy) + bx * (cy - dy) + dx * (by - ay) + cx * (ay - by);
    if (S != 0.0) {
      const float s = static_cast<float>((ax * (dy - cy) + cx * (ay - dy) + dx * (cy - ay)) / S);
      const float t = static_cast<float>((ax * (by - cy) + bx * (cy - ay) + cx * (ay - by)) / S);
      if (s >= 0.0f && s <= 1.0f && t >= 0.0f && t <= 1.0f) {
        const ST_Point32f p = {sa.x + s * (sb.x - sa.x), sa.y + s * (sb.y - sa.y)};
        if (inflag == Inside::kUnknown && firstPoint) {
          col.Add(p);
          aa = ba = 0;
          firstPoint = false;
        }
        col.Add(p);
        if (aHB > 0) {
          inflag = Inside::kP;
        } else if (bHA > 0) {
          inflag = Inside::kQ;
        }
      }
    } else if (areaSign(sa, sb, sc) == 0) {
      // Collinear edges: the shared segment, when they run opposite ways,
      // is the whole intersection.
      const bool cIn = PointBetween(sa, sb, sc) != 0, dIn = PointBetween(sa, sb, sd) != 0;
      const bool aIn = PointBetween(sc, sd, sa) != 0, bIn = PointBetween(sc, sd, sb) != 0;
      const ST_Point32f *h = nullptr, *g = nullptr;
      if (cIn && dIn) {
        h = &sc, g = &sd;
      } else if (aIn && bIn) {
        h = &sa, g = &sb;
      } else if (cIn && bIn) {
        h = &sc, g = &sb;
      } else if (cIn && aIn) {
        h = &sc, g = &sa;
      } else if (dIn && bIn) {
        h = &sd, g = &sb;
      } else if (dIn && aIn) {
        h = &sd, g = &sa;
      }
      const double dot = static_cast<double>(A.x) * B.x + static_cast<double>(A.y) * B.y;
      if (h != nullptr && dot < 0.0) {
        col.Add(*h);
        col.Add(*g);
        earlyEnd = true;
        break;
      }
    }
    if (cross == 0 && aHB < 0 && bHA < 0) {
      earlyEnd = true;  // disjoint
      break;
    }
    bool advanceB;
    bool collect = true;
    if (cross == 0 && aHB == 0 && bHA == 0) {
      advanceB = inflag == Inside::kP;
      collect = false;
    } else {
      advanceB = (cross < 0 && aHB > 0) || (cross >= 0 && bHA <= 0);
    }
    if (advanceB) {
      if (collect && inflag == Inside::kQ) col.Add(Q[b]);
      b = (b + 1) % m;
      ++ba;
    } else {
      if (collect && inflag == Inside::kP) col.Add(P[a]);
      a = (a + 1) % n;
      ++aa;
    }
  } while (((aa < n) || (ba < m)) && (aa < 2 * n) && (ba < 2 * m) && !col.overflow());

  if (col.overflow()) {
    out->num = 0;
    *area = 0.0f;
    return -1;
  }
  if (earlyEnd) {
    const int entries = col.entries();
    out->num = col.Settle();
    return entries;
  }
  if (col.entries() < 2) {
    // No boundary crossing: one polygon may hold the other whole.
    const ST_Point32f *inner = nullptr;
    int count = 0;
    if (AllInside(n, P, m, Q)) {
      inner = P, count = n;
    } else if (AllInside(m, Q, n, P)) {
      inner = Q, count = m;
    }
    if (inner == nullptr) {
      out->num = 0;
      return 1;
    }
    if (count > out->capacity) {
      out->num = 0;
      return -1;
    }
    for (int i = 0; i < count; ++i) out->pts[i] = inner[i];
    out->num = count;
    *area = ZqContourArea(count, out->pts);
    return count + 1;
  }
  int num = col.Settle();
  *area = ZqContourArea(num, out->pts);
  if (num > 1 && SamePoint(out->pts[num - 1], out->pts[0])) --num;
  out->num = num;
  return num + 1;
}
