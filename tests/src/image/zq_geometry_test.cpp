// Affine fit and inverse, integer convex hulls.
#include <gtest/gtest.h>

#include <vector>

#include "src/image/ZqAffine.h"
#include "src/image/ZqConvexHull.h"
#include "src/image/ZqMemoryManager.h"

namespace {

void ExpectNear(const ST_HMatrix &got, const ST_HMatrix &want, float tol) {
  EXPECT_NEAR(got.a00, want.a00, tol);
  EXPECT_NEAR(got.a01, want.a01, tol);
  EXPECT_NEAR(got.a02, want.a02, tol);
  EXPECT_NEAR(got.a10, want.a10, tol);
  EXPECT_NEAR(got.a11, want.a11, tol);
  EXPECT_NEAR(got.a12, want.a12, tol);
}

ST_Point32f Apply(const ST_HMatrix &h, ST_Point32f p) {
  return {h.a00 * p.x + h.a01 * p.y + h.a02, h.a10 * p.x + h.a11 * p.y + h.a12};
}

const ST_HMatrix kIdentity = {1, 0, 0, 0, 1, 0};

TEST(Affine, InverseOfScaleAndShiftAndSingularCopy) {
  ST_HMatrix inv;
  const ST_HMatrix h = {2, 0, 4, 0, 2, 6};
  ZqHomoInvertTrans_32f(&h, &inv);
  ExpectNear(inv, {0.5f, 0, -2, 0, 0.5f, -3}, 1e-6f);

  const ST_HMatrix singular = {2, 4, 1, 1, 2, 3};  // a00 a11 == a01 a10
  ZqHomoInvertTrans_32f(&singular, &inv);
  ExpectNear(inv, singular, 0);

  // In place, and inverse of the inverse gives back the map.
  ST_HMatrix r = {0.8f, -0.6f, 12.5f, 0.6f, 0.8f, -3.25f};
  const ST_HMatrix orig = r;
  ZqHomoInvertTrans_32f(&r, &r);
  ST_Point32f p = Apply(r, Apply(orig, {7, -11}));
  EXPECT_NEAR(p.x, 7, 1e-4);
  EXPECT_NEAR(p.y, -11, 1e-4);
  ZqHomoInvertTrans_32f(&r, &r);
  ExpectNear(r, orig, 1e-5f);
}

TEST(Affine, FitRecoversExactMaps) {
  const ST_HMatrix maps[] = {
      {1, 0, 0, 0, 1, 0},
      {0.8f, -0.6f, 12.5f, 0.6f, 0.8f, -3.25f},  // rotation and shift
      {1.5f, 0.25f, -7, -0.5f, 0.75f, 20},       // general
  };
  const std::vector<ST_Point32f> src = {{3, 4}, {40, 7}, {12, 33}, {25, 25}, {50, 48}, {9, 60}};
  for (const ST_HMatrix &h : maps) {
    for (size_t n : {size_t{3}, src.size()}) {
      SCOPED_TRACE(n);
      std::vector<ST_Point32f> dst;
      for (size_t i = 0; i < n; ++i) dst.push_back(Apply(h, src[i]));
      ST_HMatrix got;
      ZqGetAffineTrans_32f(src.data(), dst.data(), static_cast<int32_t>(n), &got);
      ExpectNear(got, h, 1e-4f);
    }
  }
}

TEST(Affine, DegenerateFitsGiveTheIdentity) {
  ST_HMatrix got = {9, 9, 9, 9, 9, 9};
  ZqGetAffineTrans_32f(nullptr, nullptr, 0, &got);
  ExpectNear(got, kIdentity, 0);
  // Collinear points: the system is singular.
  const ST_Point32f line[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
  got = {9, 9, 9, 9, 9, 9};
  ZqGetAffineTrans_32f(line, line, 4, &got);
  ExpectNear(got, kIdentity, 0);
  // The solver alone with a zero matrix.
  const float m[36] = {}, b[6] = {1, 2, 3, 4, 5, 6};
  got = {9, 9, 9, 9, 9, 9};
  ZqSolve_6x6_32f(m, b, &got);
  ExpectNear(got, kIdentity, 0);
}

TEST(ConvexHull, SquareWithCentreThroughTheTieOrder) {
  // Keys: (4,0) 1, (4,4) and (2,2) both 1/sqrt(2) (kept in this order),
  // (0,4) 0; (2,2) enters the hull and is dropped by (0,4).
  std::vector<ST_Point32s> pts = {{4, 4}, {0, 0}, {2, 2}, {0, 4}, {4, 0}};
  std::vector<ST_Point32s> hull(5);
  int32_t count = 0, area = 0;
  ASSERT_EQ(ZqConvexHull(pts.data(), 5, hull.data(), &count, &area), 0);
  ASSERT_EQ(count, 4);
  const ST_Point32s want[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(hull[i].x, want[i].x) << i;
    EXPECT_EQ(hull[i].y, want[i].y) << i;
  }
  EXPECT_EQ(area, 16);
  // pts were sorted in place: pivot first, then by angle.
  EXPECT_EQ(pts[0].x, 0);
  EXPECT_EQ(pts[0].y, 0);
  EXPECT_EQ(pts[4].x, 0);
  EXPECT_EQ(pts[4].y, 4);
}

TEST(ConvexHull, SixteenBitEntryAndLimits) {
  struct Case {
    const char *name;
    std::vector<ST_Point16s> pts;
    int32_t rc, area;
  } cases[] = {
      {"triangle", {{0, 0}, {10, 0}, {0, 7}}, 0, 35},
      {"interior points ignored",
       {{5, 5}, {0, 0}, {10, 0}, {3, 2}, {10, 10}, {0, 10}, {6, 8}},
       0,
       100},
      {"negative coordinates", {{-3, -3}, {3, -3}, {3, 3}, {-3, 3}}, 0, 36},
      {"collinear", {{0, 0}, {5, 0}, {10, 0}}, 0, 0},
      {"two points", {{1, 1}, {4, 5}}, 0, 0},
      {"one point is undefined", {{1, 1}}, -1, -9},
      {"201 points", std::vector<ST_Point16s>(201, ST_Point16s{1, 2}), -1, -9},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    int32_t area = -9;
    EXPECT_EQ(ZqCalcConvexHull(c.pts.data(), static_cast<int32_t>(c.pts.size()), &area), c.rc);
    EXPECT_EQ(area, c.area);
  }
  // 200 points is the maximum: four corners and 196 points on an inner
  // line (none on a ray through a corner).
  std::vector<ST_Point16s> many;
  for (int i = 0; i < 196; ++i) many.push_back({static_cast<int16_t>(5 * i + 11), 500});
  many.insert(many.begin() + 50, {{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}});
  int32_t area = 0;
  EXPECT_EQ(ZqCalcConvexHull(many.data(), 200, &area), 0);
  EXPECT_EQ(area, 1000000);
}

TEST(ConvexHull, AreasAndOrientation) {
  const ST_Point32s a{0, 0}, b{4, 0}, c{0, 3};
  EXPECT_GT(ZqJudgeRotOri(a, b, c), 0);
  EXPECT_LT(ZqJudgeRotOri(a, c, b), 0);
  EXPECT_EQ(ZqCalcTriangleArea(a, b, c), 6);
  EXPECT_EQ(ZqCalcTriangleArea(a, b, {1, 1}), 2);
  const ST_Point32s poly[] = {{0, 0}, {4, 0}, {4, 4}};
  EXPECT_EQ(ZqCalcConvexHullArea(poly, 2), 0u);
  EXPECT_EQ(ZqCalcConvexHullArea(poly, 3), 8u);
}

TEST(ConvexHull, AllocationFailure) {
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(16);
  std::vector<ST_Point32s> pts = {{4, 4}, {0, 0}, {4, 0}}, hull(3);
  int32_t count = -1, area = -1;
  EXPECT_EQ(ZqConvexHull(pts.data(), 3, hull.data(), &count, &area), -2);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(pts[0].x, 4);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}

}  // namespace
