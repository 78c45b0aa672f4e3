// Contours: records, single-polygon geometry, the quadrilateral overlap and
// the convex intersection, the latter against a double-precision clipper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "src/features/ZqContourProc.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using Poly = std::vector<ST_Point32f>;

ST_Point32f Pt(double x, double y) {
  ST_Point32f p = {static_cast<float>(x), static_cast<float>(y)};
  return p;
}

// Corners of an axis-aligned rectangle, clockwise on screen (y down).
Poly Rect(double x0, double y0, double x1, double y1) {
  return {Pt(x0, y0), Pt(x1, y0), Pt(x1, y1), Pt(x0, y1)};
}

Poly Reversed(Poly p) { return Poly(p.rbegin(), p.rend()); }

// ---- reference: Sutherland-Hodgman in double precision ----

struct D2 {
  double x, y;
};

double RefArea(const std::vector<D2> &p) {
  double s = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const D2 &a = p[(i + p.size() - 1) % p.size()], &b = p[i];
    s += a.x * b.y - a.y * b.x;
  }
  return std::fabs(s) / 2;
}

// Area of P clipped by the convex polygon Q (positive orientation: inside is
// where the cross product edge x (p - start) is non-negative).
double RefIntersectionArea(const Poly &P, const Poly &Q) {
  std::vector<D2> out;
  for (const auto &p : P) out.push_back({p.x, p.y});
  for (size_t k = 0; k < Q.size() && !out.empty(); ++k) {
    const D2 s = {Q[k].x, Q[k].y}, e = {Q[(k + 1) % Q.size()].x, Q[(k + 1) % Q.size()].y};
    auto side = [&](const D2 &p) { return (e.x - s.x) * (p.y - s.y) - (e.y - s.y) * (p.x - s.x); };
    std::vector<D2> in;
    in.swap(out);
    for (size_t i = 0; i < in.size(); ++i) {
      const D2 &cur = in[i], &prev = in[(i + in.size() - 1) % in.size()];
      const double sc = side(cur), sp = side(prev);
      if (sc >= 0) {
        if (sp < 0) out.push_back({prev.x + (cur.x - prev.x) * sp / (sp - sc), prev.y + (cur.y - prev.y) * sp / (sp - sc)});
        out.push_back(cur);
      } else if (sp >= 0) {
        out.push_back({prev.x + (cur.x - prev.x) * sp / (sp - sc), prev.y + (cur.y - prev.y) * sp / (sp - sc)});
      }
    }
  }
  return out.size() < 3 ? 0.0 : RefArea(out);
}

// Runs ZqPolygonInsection2 into a fresh contour of the callers' capacity.
float Intersect(const Poly &P, const Poly &Q, int *result = nullptr, ST_Contour *keep = nullptr) {
  ST_Contour c = ZqInitContours(33);
  float area = -1;
  const int r = ZqPolygonInsection2(static_cast<int32_t>(P.size()), P.data(),
                                    static_cast<int32_t>(Q.size()), Q.data(), &c, &area);
  if (result != nullptr) *result = r;
  if (keep != nullptr) {
    *keep = c;
  } else {
    ZqReleaseContours(&c);
  }
  return area;
}

// ---- records ----

TEST(ContourRecord, InitReplaceRelease) {
  for (int32_t n : {0, -3}) {
    const ST_Contour c = ZqInitContours(n);
    EXPECT_EQ(c.num, 0);
    EXPECT_EQ(c.capacity, 0);
    EXPECT_EQ(c.pts, nullptr);
  }
  ST_Contour c = ZqInitContours(5);
  ASSERT_NE(c.pts, nullptr);
  EXPECT_EQ(c.capacity, 5);
  EXPECT_EQ(c.pts[4].x, 0.0f);
  c.num = 3;
  EXPECT_EQ(ZqInitContours2(&c, 9), 0);
  EXPECT_EQ(c.num, 0);
  EXPECT_EQ(c.capacity, 9);
  EXPECT_EQ(ZqGetMallocCnts(), 1);
  EXPECT_EQ(ZqReleaseContours(&c), 0);
  EXPECT_EQ(c.pts, nullptr);
  EXPECT_EQ(c.capacity, 0);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
  EXPECT_EQ(ZqReleaseContours(nullptr), -1);
  EXPECT_EQ(ZqInitContours2(nullptr, 4), -1);
}

// ---- single polygons ----

TEST(ContourOrientation, AnticlockwiseIsReversedFirstRealTurnDecides) {
  struct Case {
    const char *what;
    Poly in;
    bool reversed;
  };
  const Case cases[] = {
      {"clockwise square", Rect(0, 0, 10, 10), false},
      {"anticlockwise square", Reversed(Rect(0, 0, 10, 10)), true},
      // The closing edge and the first edge are collinear: the turn after
      // them decides.
      {"straight start", {Pt(5, 0), Pt(10, 0), Pt(10, 10), Pt(0, 10), Pt(0, 0)}, false},
      {"straight start, anticlockwise", {Pt(5, 0), Pt(0, 0), Pt(0, 10), Pt(10, 10), Pt(10, 0)}, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ST_Contour k = ZqInitContours(static_cast<int32_t>(c.in.size()));
    for (size_t i = 0; i < c.in.size(); ++i) k.pts[i] = c.in[i];
    k.num = static_cast<int32_t>(c.in.size());
    ASSERT_EQ(ZqClockWiseContour(&k), 0);
    const Poly want = c.reversed ? Reversed(c.in) : c.in;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(k.pts[i].x, want[i].x) << i;
      EXPECT_EQ(k.pts[i].y, want[i].y) << i;
    }
    k.num = 2;
    EXPECT_EQ(ZqClockWiseContour(&k), -1);
    ZqReleaseContours(&k);
  }
  EXPECT_EQ(ZqClockWiseContour(nullptr), -1);
}

TEST(ContourMeasures, AreaRectangleAndCentroidDistance) {
  const Poly sq = Rect(0, 0, 10, 10);
  EXPECT_EQ(ZqContourArea(4, sq.data()), 100.0f);
  EXPECT_EQ(ZqContourArea(4, Reversed(sq).data()), 100.0f);
  EXPECT_EQ(ZqContourArea(0, sq.data()), 0.0f);
  EXPECT_EQ(ZqContourArea(4, nullptr), 0.0f);

  struct Case {
    const char *what;
    Poly p;
    int result;
    float area, side1, side2;
  };
  Poly pentagon;
  for (int k = 0; k < 5; ++k) pentagon.push_back(Pt(10 * std::cos(2 * M_PI * k / 5), 10 * std::sin(2 * M_PI * k / 5)));
  const Case cases[] = {
      {"square of side 10", sq, 0, 100.0f, 10.0f, 10.0f},
      {"4 x 9 rectangle", Rect(2, 3, 11, 7), 0, 36.0f, 4.0f, 9.0f},
      // Rounder than a square: no rectangle has its area and perimeter.
      {"regular pentagon", pentagon, -1, 237.76413f, 0.0f, 0.0f},
      {"no points", Poly{}, -1, 0.0f, 0.0f, 0.0f},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    float area = 9, s1 = 9, s2 = 9;
    EXPECT_EQ(ZqContourRectangle(static_cast<int32_t>(c.p.size()), c.p.data(), &area, &s1, &s2), c.result);
    EXPECT_NEAR(area, c.area, 1e-3);
    EXPECT_NEAR(s1, c.side1, 1e-4);
    EXPECT_NEAR(s2, c.side2, 1e-4);
  }
  float area = 9, s1 = 9;
  EXPECT_EQ(ZqContourRectangle(4, sq.data(), &area, &s1, nullptr), -1);
  EXPECT_EQ(area, 9.0f);

  // Distance from the centroid to the edge lines, signed by orientation.
  float d = 0;
  EXPECT_EQ(ZqConoturMinDst(4, sq.data(), &d), 0);
  EXPECT_FLOAT_EQ(d, -5.0f);
  EXPECT_EQ(ZqConoturMinDst(4, Reversed(Rect(0, 0, 10, 4)).data(), &d), 0);
  EXPECT_FLOAT_EQ(d, 2.0f);
  // A repeated point adds a zero-length edge, which has no line.
  const Poly dup = {Pt(0, 0), Pt(0, 0), Pt(0, 4), Pt(10, 4), Pt(10, 0)};
  EXPECT_EQ(ZqConoturMinDst(5, dup.data(), &d), 0);
  EXPECT_NEAR(d, 1.6f, 1e-5);  // centroid (4, 2.4) pulled towards the duplicate
  EXPECT_EQ(ZqConoturMinDst(0, sq.data(), &d), -1);
  EXPECT_EQ(d, 0.0f);
  EXPECT_EQ(ZqConoturMinDst(-1, sq.data(), &d), 0);
  EXPECT_EQ(d, 1e34f);
}

TEST(ContourInclusion, InsideBoundaryOutside) {
  // An L shape, so that a ray crosses the boundary more than once.
  const Poly L = {Pt(0, 0), Pt(10, 0), Pt(10, 4), Pt(4, 4), Pt(4, 10), Pt(0, 10)};
  struct Case {
    float x, y;
    int want;
  };
  const Case cases[] = {
      {2, 2, 1},   {8, 2, 1},   {2, 8, 1},    // inside, both arms
      {8, 8, -1},  {-1, 2, -1}, {12, 2, -1},  // the notch and beyond
      {0, 0, 0},   {4, 4, 0},   {10, 4, 0},   // vertices
      {5, 0, 0},   {7, 4, 0},                 // horizontal edges
      {10, 2, 0},  {4, 7, 0},   {0, 5, 0},    // vertical edges
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqContourIncludePoint(6, L.data(), Pt(c.x, c.y)), c.want) << c.x << "," << c.y;
    EXPECT_EQ(ZqContourIncludePoint(6, Reversed(L).data(), Pt(c.x, c.y)), c.want) << c.x << "," << c.y;
  }
  EXPECT_EQ(ZqContourIncludePoint(2, L.data(), Pt(2, 2)), -1);

  const Poly big = Rect(0, 0, 10, 10), small = Rect(2, 2, 5, 5), across = Rect(8, 8, 12, 12);
  EXPECT_EQ(ZqContourInclude(4, big.data(), 4, small.data()), 1);
  EXPECT_EQ(ZqContourInclude(4, small.data(), 4, big.data()), 1);
  EXPECT_EQ(ZqContourInclude(4, big.data(), 4, big.data()), 1);
  EXPECT_EQ(ZqContourInclude(4, big.data(), 4, across.data()), 0);
}

TEST(ContourPrimitives, AreaSignToleranceAndBetween) {
  struct SignCase {
    ST_Point32f a, b, c;
    int want;
  };
  const SignCase signs[] = {
      {Pt(0, 0), Pt(1, 0), Pt(0, 1), 1},
      {Pt(0, 0), Pt(0, 1), Pt(1, 0), -1},
      {Pt(0, 0), Pt(1, 0), Pt(0, 9e-6), 0},   // doubled area 9e-6: collinear
      {Pt(0, 0), Pt(1, 0), Pt(0, -9e-6), 0},
      {Pt(0, 0), Pt(1, 0), Pt(0, 2e-5), 1},
      {Pt(0, 0), Pt(1, 0), Pt(0, -2e-5), -1},
      {Pt(3, 3), Pt(6, 6), Pt(9, 9), 0},
  };
  for (const SignCase &s : signs) EXPECT_EQ(areaSign(s.a, s.b, s.c), s.want) << s.c.y;

  EXPECT_EQ(PointBetween(Pt(0, 0), Pt(4, 0), Pt(2, 7)), 1);  // x only
  EXPECT_EQ(PointBetween(Pt(4, 0), Pt(0, 0), Pt(4, 0)), 1);  // bounds included
  EXPECT_EQ(PointBetween(Pt(0, 0), Pt(4, 0), Pt(5, 0)), 0);
  EXPECT_EQ(PointBetween(Pt(1, 0), Pt(1, 4), Pt(9, 3)), 1);  // equal x: y decides
  EXPECT_EQ(PointBetween(Pt(1, 0), Pt(1, 4), Pt(1, 5)), 0);
  const ST_Point32f s = PointSub(Pt(5, 1), Pt(2, 3)), a = PointAdd(Pt(5, 1), Pt(2, 3));
  EXPECT_EQ(s.x, 3.0f);
  EXPECT_EQ(s.y, -2.0f);
  EXPECT_EQ(a.x, 7.0f);
  EXPECT_EQ(a.y, 4.0f);
}

// ---- sensor rectangle overlaps ----

ST_FullHMatrix Rigid(double theta, double dx, double dy) {
  const float c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  ST_FullHMatrix h = {c, -s, static_cast<float>(dx), s, c, static_cast<float>(dy), 0, 0, 1, static_cast<float>(theta)};
  return h;
}

TEST(SensorOverlap, IdentityShiftsRotationsAndMisses) {
  const int cols = 36, rows = 176;
  const ST_FullHMatrix id = Rigid(0, 0, 0);
  EXPECT_EQ(ZqCalcInterSectionArea(&id, cols, rows), 35.0f * 175.0f);
  const ST_FullHMatrix shifted = Rigid(0, 10, -20);
  EXPECT_EQ(ZqCalcInterSectionArea(&shifted, cols, rows), 25.0f * 155.0f);

  // Off the frame: nothing overlaps.
  const ST_FullHMatrix away = Rigid(0.3, 500, 0);
  ST_Contour c = ZqInitContours(8);
  c.num = 5;
  EXPECT_EQ(ZqCalcInterSectionContour(&away, cols, rows, &c), 0);
  EXPECT_EQ(c.num, 0);
  EXPECT_EQ(ZqCalcInterSectionArea(&away, cols, rows), 0.0f);

  // Touching at one corner: a crossing but no polygon.
  const ST_FullHMatrix corner = Rigid(0, cols - 1, rows - 1);
  EXPECT_EQ(ZqCalcInterSectionContour(&corner, cols, rows, &c), 1);
  EXPECT_LT(c.num, 3);

  // Rotations about the centre, against the reference clipper.
  const Poly R = Rect(0, 0, cols - 1, rows - 1);
  for (double deg : {5.0, 30.0, 45.0, 90.0, 150.0}) {
    SCOPED_TRACE(deg);
    const double t = deg * M_PI / 180.0, cx = (cols - 1) / 2.0, cy = (rows - 1) / 2.0;
    const ST_FullHMatrix h = Rigid(t, cx - std::cos(t) * cx + std::sin(t) * cy, cy - std::sin(t) * cx - std::cos(t) * cy);
    Poly M;
    for (const auto &p : R) M.push_back(Pt(h.a00 * p.x + h.a01 * p.y + h.a02, h.a10 * p.x + h.a11 * p.y + h.a12));
    const double want = RefIntersectionArea(M, R);
    EXPECT_EQ(ZqCalcInterSectionContour(&h, cols, rows, &c), 0);
    EXPECT_LE(c.num, 8);
    EXPECT_NEAR(ZqContourArea(c.num, c.pts), want, 1e-3 * want);
    // The result is convex and clockwise on screen.
    for (int i = 0; i < c.num; ++i) {
      EXPECT_GE(areaSign(c.pts[i], c.pts[(i + 1) % c.num], c.pts[(i + 2) % c.num]), 0) << i;
    }
  }
  ZqReleaseContours(&c);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(SensorOverlap, TooSmallContourIsRefusedNotOverrun) {
  // Two squares at 45 degrees overlap in an octagon: 8 points.
  const Poly A = Rect(0, 0, 10, 10);
  const Poly B = {Pt(5, -2.07), Pt(12.07, 5), Pt(5, 12.07), Pt(-2.07, 5)};
  ST_Contour small = ZqInitContours(4);
  small.num = 3;
  EXPECT_EQ(ZqCalcRotateRectInsection(A.data(), B.data(), &small), -1);
  EXPECT_EQ(small.num, 0);
  ST_Contour fits = ZqInitContours(8);
  EXPECT_EQ(ZqCalcRotateRectInsection(A.data(), B.data(), &fits), 0);
  EXPECT_EQ(fits.num, 8);
  ZqReleaseContours(&fits);
  ZqReleaseContours(&small);
  ST_Contour none = {0, 0, nullptr};
  EXPECT_EQ(ZqCalcRotateRectInsection(A.data(), B.data(), &none), -1);
  EXPECT_EQ(ZqCalcRotateRectInsection(A.data(), nullptr, &fits), -1);
}

TEST(SensorOverlap, TwoPlacementsAndTheirCommonPart) {
  const ST_FullHMatrix id = Rigid(0, 0, 0), right = Rigid(0, 10, 0), down = Rigid(0, 0, 50);
  float a1 = -1, a2 = -1, a12 = -1;
  EXPECT_EQ(ZqCalcInterSectionArea2(&id, &right, 36, 176, &a1, &a2, &a12), 0);
  EXPECT_EQ(a1, 35.0f * 175.0f);
  EXPECT_EQ(a2, 25.0f * 175.0f);
  EXPECT_NEAR(a12, 25.0f * 175.0f, 1e-2);
  EXPECT_EQ(ZqCalcInterSectionArea2(&right, &down, 36, 176, &a1, &a2, &a12), 0);
  EXPECT_NEAR(a12, 25.0f * 125.0f, 1e-2);
  EXPECT_EQ(ZqCalcInterSectionArea2(nullptr, &down, 36, 176, &a1, &a2, &a12), -1);
  EXPECT_EQ(a1, 0.0f);
  EXPECT_EQ(a12, 0.0f);
  ZqCalcInterSectionDemon();
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

// ---- convex intersection ----

TEST(ConvexIntersection, RectangleCasesAreExact) {
  struct Case {
    const char *what;
    Poly P, Q;
    float area;
  };
  const Case cases[] = {
      {"identical", Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), 100},
      {"overlapping corner", Rect(0, 0, 10, 10), Rect(5, 5, 15, 15), 25},
      {"cross", Rect(0, 4, 20, 8), Rect(8, 0, 10, 30), 8},
      {"shared left edge", Rect(0, 0, 10, 10), Rect(0, 0, 5, 10), 50},
      {"one inside the other", Rect(0, 0, 10, 10), Rect(2, 3, 6, 8), 20},
      {"other inside the one", Rect(2, 3, 6, 8), Rect(0, 0, 10, 10), 20},
      {"disjoint", Rect(0, 0, 10, 10), Rect(20, 0, 30, 10), 0},
      {"touching edge", Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    int r = 0;
    EXPECT_EQ(Intersect(c.P, c.Q, &r), c.area);
    EXPECT_GE(r, 1);
  }
}

TEST(ConvexIntersection, IdenticalPolygonComesBackWhole) {
  const Poly hex = {Pt(0, 0), Pt(6, -2), Pt(11, 1), Pt(12, 7), Pt(5, 10), Pt(-1, 6)};
  ST_Contour c;
  int r = 0;
  const float area = Intersect(hex, hex, &r, &c);
  EXPECT_NEAR(area, ZqContourArea(6, hex.data()), 1e-4);
  EXPECT_EQ(c.num, 6);
  EXPECT_EQ(r, 7);
  ZqReleaseContours(&c);
}

TEST(ConvexIntersection, AgreesWithReferenceClipperOnRandomPairs) {
  std::mt19937 rng(2718);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  // Convex polygon: points on an ellipse at sorted random angles, or a
  // rotated rectangle; clockwise on screen.
  auto polygon = [&](bool rect) {
    const double cx = 40 * u(rng), cy = 40 * u(rng), rx = 5 + 25 * u(rng), ry = 5 + 25 * u(rng);
    const double rot = M_PI / 2 * u(rng);
    std::vector<double> ang;
    if (rect) {
      ang = {0.25 * M_PI, 0.75 * M_PI, 1.25 * M_PI, 1.75 * M_PI};
    } else {
      const int k = 3 + static_cast<int>(6 * u(rng));
      for (int i = 0; i < k; ++i) ang.push_back(2 * M_PI * u(rng));
      std::sort(ang.begin(), ang.end());
    }
    Poly p;
    for (double a : ang) {
      const double x = rx * std::cos(a), y = ry * std::sin(a);
      p.push_back(Pt(cx + std::cos(rot) * x - std::sin(rot) * y, cy + std::sin(rot) * x + std::cos(rot) * y));
    }
    return p;
  };
  int overlapping = 0, contained = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    const Poly P = polygon(trial % 2 == 0), Q = polygon(trial % 3 == 0);
    auto area = [](const Poly &p) {
      std::vector<D2> d;
      for (const auto &q : p) d.push_back({q.x, q.y});
      return RefArea(d);
    };
    if (area(P) < 1.0 || area(Q) < 1.0) continue;  // slivers: no fair test
    const double want = RefIntersectionArea(P, Q);
    const float got = Intersect(P, Q);
    const double scale = std::max(want, 1.0);
    EXPECT_NEAR(got, want, 1e-3 * scale) << "trial " << trial;
    if (want > 0) ++overlapping;
    if (want > 0 && (std::fabs(want - area(P)) < 1e-6 * want || std::fabs(want - area(Q)) < 1e-6 * want)) {
      ++contained;
    }
  }
  EXPECT_GT(overlapping, 400);
  EXPECT_GT(contained, 10);
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

TEST(ConvexIntersection, ArgumentsAndCapacity) {
  const Poly A = Rect(0, 0, 10, 10), B = {Pt(5, -2.07), Pt(12.07, 5), Pt(5, 12.07), Pt(-2.07, 5)};
  ST_Contour c = ZqInitContours(33);
  float area = -1;
  EXPECT_EQ(ZqPolygonInsection2(2, A.data(), 4, B.data(), &c, &area), 0);
  EXPECT_EQ(area, 0.0f);
  area = -1;
  EXPECT_EQ(ZqPolygonInsection2(4, nullptr, 4, B.data(), &c, &area), -1);
  EXPECT_EQ(area, 0.0f);
  EXPECT_EQ(ZqPolygonInsection2(4, A.data(), 4, B.data(), nullptr, &area), -1);
  EXPECT_EQ(ZqPolygonInsection2(4, A.data(), 4, B.data(), &c, nullptr), -1);
  // The octagon needs 9 entries with the sentinel.
  ST_Contour small = ZqInitContours(6);
  area = -1;
  EXPECT_EQ(ZqPolygonInsection2(4, A.data(), 4, B.data(), &small, &area), -1);
  EXPECT_EQ(small.num, 0);
  EXPECT_EQ(area, 0.0f);
  EXPECT_EQ(ZqPolygonInsection2(4, A.data(), 4, B.data(), &c, &area), 9);
  EXPECT_EQ(c.num, 8);
  EXPECT_NEAR(area, RefIntersectionArea(A, B), 1e-3);
  ZqReleaseContours(&small);
  ZqReleaseContours(&c);
}

}  // namespace
