// Polygons (contours) of float points and their geometry: creation, area,
// orientation, the equal-area-and-perimeter rectangle, point inclusion,
// the overlap polygon of two quadrilaterals (the sensor rectangle and its
// image under a transform) and the intersection of two convex polygons.
//
// Image coordinates: x is the column, y the row (growing downwards). A
// positive cross product b.x d.y - b.y d.x of two successive edges is a
// clockwise turn on screen; the convex intersection expects polygons in that
// orientation (as ZqClockWiseContour leaves them).
#ifndef SRC_FEATURES_ZQCONTOURPROC_H_
#define SRC_FEATURES_ZQCONTOURPROC_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// A polygon: num points in use out of capacity allocated (counted heap).
typedef struct ST_Contour {
  int32_t num;
  int32_t capacity;
  ST_Point32f *pts;
} ST_Contour;

// Capacity the overlap polygon of two quadrilaterals needs.
#define ZQ_RECT_INSECTION_POINTS 8

// {0, n, n zeroed points}; {0, 0, NULL} when n < 1 or the points cannot be
// allocated (logged "ZqInitContours... ZqSafeAlloc() == null").
ST_Contour ZqInitContours(int32_t n);

// Frees c's points, then gives it n fresh ones (num 0, capacity n): 0, or -1
// for a NULL c or a failed allocation (logged; c is then {0, 0, NULL}).
// n < 1 leaves c empty and returns 0.
int ZqInitContours2(ST_Contour *c, int32_t n);

// Frees c's points and zeroes num, capacity and pts: 0, or -1 for NULL.
int ZqReleaseContours(ST_Contour *c);

// Reverses c's points when its first turn (skipping straight ones) is
// anticlockwise on screen: 0, or -1 for NULL or fewer than 3 points.
int ZqClockWiseContour(ST_Contour *c);

// 1 when q lies inside the polygon P[0 .. n-1], 0 on its boundary, -1
// outside, for n < 3 or a NULL P.
int ZqContourIncludePoint(int32_t n, const ST_Point32f *P, ST_Point32f q);

// 1 when every point of B lies inside or on A, or every point of A inside or
// on B; else 0.
int ZqContourInclude(int32_t nA, const ST_Point32f *A, int32_t nB, const ST_Point32f *B);

// Overlap polygon of the quadrilaterals A[0..3] and B[0..3] into out (at most
// 8 points, clockwise): 0, or 1 when fewer than 3 points remain but an edge
// crossing was found; -1 (out->num 0 when out is given) for a NULL argument,
// a capacity too small for the points, or a failed allocation.
int ZqCalcRotateRectInsection(const ST_Point32f *A, const ST_Point32f *B, ST_Contour *out);

// Absolute shoelace area of P[0 .. n-1]; 0 for NULL P or n <= 0.
float ZqContourArea(int32_t n, const ST_Point32f *P);

// Writes the smallest signed distance from the centroid of P to the lines of
// its edges (1e34 for no edge): 0; n = 0 writes 0 and returns -1; n < 0
// writes 1e34; -1 without writing for a NULL out or (n > 0) NULL P.
int ZqConoturMinDst(int32_t n, const ST_Point32f *P, float *out);

// The rectangle with P's area and perimeter: *area, *side1 <= *side2. -1
// without writing for a NULL output; otherwise all three are zeroed first
// and -1 is returned for n = 0, a NULL P, or no such rectangle; else 0.
int ZqContourRectangle(int32_t n, const ST_Point32f *P, float *area, float *side1, float *side2);

// Overlap of the cols x rows sensor rectangle with its image under H, as
// ZqCalcRotateRectInsection; -1 for a NULL argument.
int ZqCalcInterSectionContour(const ST_FullHMatrix *H, int32_t cols, int32_t rows, ST_Contour *out);

// Area of ZqCalcInterSectionContour's polygon (0 when it has fewer than 3
// points, for a NULL H, or when memory is short).
float ZqCalcInterSectionArea(const ST_FullHMatrix *H, int32_t cols, int32_t rows);

// Zeroes the three areas, then writes the overlap areas of the sensor
// rectangle with its images under H1 and H2 and the area common to both
// overlaps: 0, or -1 for a NULL argument.
int ZqCalcInterSectionArea2(const ST_FullHMatrix *H1, const ST_FullHMatrix *H2, int32_t cols,
                            int32_t rows, float *area1, float *area2, float *area12);

// Runs the two-overlap computation on a 36 x 176 rectangle shifted by
// (18, -44) and by (-18, 44); the results are discarded.
void ZqCalcInterSectionDemon(void);

// Intersection of the convex polygons P[0 .. n-1] and Q[0 .. m-1] (both
// clockwise on screen) into out, and its area into *area. Returns the
// number of entries written counting a leading sentinel (the point count
// plus one); 0 with area 0 when n or m is below 3; -1 for a NULL out or
// area, a NULL P, Q or out array, or when out's capacity is too small
// (area 0, out->num 0). When the polygons only touch or are disjoint the
// area is 0.
int ZqPolygonInsection2(int32_t n, const ST_Point32f *P, int32_t m, const ST_Point32f *Q,
                        ST_Contour *out, float *area);

// a - b.
ST_Point32f PointSub(ST_Point32f a, ST_Point32f b);
// a + b.
ST_Point32f PointAdd(ST_Point32f a, ST_Point32f b);
// Exchanges *a and *b.
void PointSwap(ST_Point32f *a, ST_Point32f *b);
// Sign of the doubled signed area of (a, b, c): 1 above 1e-5, -1 below
// -1e-5, else 0 (collinear).
int areaSign(ST_Point32f a, ST_Point32f b, ST_Point32f c);
// 1 when c lies between a and b (on x, or on y when a.x = b.x), else 0.
int PointBetween(ST_Point32f a, ST_Point32f b, ST_Point32f c);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_Contour) == 16, "ST_Contour is num, capacity, pts");
#endif

#endif  // SRC_FEATURES_ZQCONTOURPROC_H_
