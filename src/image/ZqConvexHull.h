// Integer convex hulls (Graham scan) and polygon areas.
#ifndef SRC_ZQCONVEXHULL_H_
#define SRC_ZQCONVEXHULL_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// (p2.y - p0.y)(p1.x - p0.x) - (p2.x - p0.x)(p1.y - p0.y): positive when
// p0, p1, p2 turn counter-clockwise (y up), 0 when collinear.
int32_t ZqJudgeRotOri(ST_Point32s p0, ST_Point32s p1, ST_Point32s p2);

// |ZqJudgeRotOri(p0, p1, p2)| / 2, truncated.
int32_t ZqCalcTriangleArea(ST_Point32s p0, ST_Point32s p1, ST_Point32s p2);

// Sum of the fan triangles (p0, pk, pk+1), k = 1 .. n - 2; 0 for n < 3 or
// NULL.
uint32_t ZqCalcConvexHullArea(const ST_Point32s *poly, int32_t n);

// Graham scan: reorders pts in place (pivot, the first point of smallest y,
// first; the rest by increasing angle, ties in their order), writes the
// hull (room for n points), its count and its area. 0; -1 for NULL or
// n < 2; -2 when the key block cannot be had (pts unchanged).
int32_t ZqConvexHull(ST_Point32s *pts, int32_t n, ST_Point32s *hull, int32_t *hullCount,
                     int32_t *area);

// Area of the convex hull of n 16-bit points (pts not changed). 0; -1 for
// NULL, n < 2 or n > 200 (nothing written); -2.
int32_t ZqCalcConvexHull(const ST_Point16s *pts, int32_t n, int32_t *area);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQCONVEXHULL_H_
