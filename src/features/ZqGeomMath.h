// Small numeric functions of geometric verification: rounding, distances,
// the angle at a vertex, polynomial arctangent, sine and cosine, median.
// All reentrant, single precision unless stated.
#ifndef SRC_FEATURES_ZQGEOMMATH_H_
#define SRC_FEATURES_ZQGEOMMATH_H_

#include <math.h>
#include <stdint.h>

#include "src/features/ZqMatchPoint.h"
#include "src/features/ZqPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// v rounded half away from zero: trunc(v + 0.5) for v >= 0, else
// trunc(v - 0.5); v must fit int32.
int32_t ZqRoundHalfAway(float v);

// The ST_Point {x, y}.
ST_Point ZqInitPoint(int32_t x, int32_t y);

// Floor of v, through ZqRoundHalfAway.
int32_t ZqFloor(float v);

// Ceiling of v, through ZqRoundHalfAway.
int32_t ZqCeil(float v);

// sqrtf of ZqGetDist2(a, b).
float ZqGetDist(const ST_Point16s *a, const ST_Point16s *b);

// Squared distance of a and b, summed in int32 from the int16 differences.
int32_t ZqGetDist2(const ST_Point16s *a, const ST_Point16s *b);

// Angle at vertex between the rays to first and to second, degrees 0 .. 180;
// a zero-length ray gives 90.
float ZqGetAngle(ST_Point16s first, ST_Point16s vertex, ST_Point16s second);

// ZqGetAngle on the x, y of three match points.
float ZqGetAngle_32f(ST_MatchPoint first, ST_MatchPoint vertex, ST_MatchPoint second);

// The cosine ZqGetAngle_32f takes the angle of (not clamped; NaN stays NaN).
float ZqGetAngleCos_32f(ST_MatchPoint first, ST_MatchPoint vertex, ST_MatchPoint second);

// fabsf(angle(c1) - angle(c2)) < 3.0f for the angles in degrees that
// ZqGetAngle_32f makes of cosines c1 and c2, bit for bit, calling acosf only
// where bounds on its slope leave the answer open.
int ZqAngleGapBelow3(float c1, float c2);

// Polynomial approximation of atan2(y, x) in [-pi, pi); 0 when both
// magnitudes are below 1e-10.
float ZqArctan(float x, float y);

// Polynomial approximation of sin(v); v finite and not huge.
float Zqsin(float v);

// Polynomial approximation of cos(v); v finite and not huge.
float ZqCos(float v);

// Writes the median of pData[0 .. count-1] (the upper middle value for an
// even count) to *pMiddle by partial selection on a copy; returns 0. A NULL
// pData, NULL pMiddle, count 0 or a failed copy leaves *pMiddle unwritten.
int ZqGetMiddleValue(const float *pData, uint32_t count, float *pMiddle);

// Same result as ZqGetMiddleValue, by dropping the smallest value per round.
int ZqGetMiddleValue1(const float *pData, uint32_t count, float *pMiddle);

#ifdef __cplusplus
}

// Inline parts of the vertex-angle functions for the registration's inner
// loop; the functions above give the same bits.
namespace zq_geom {

// Cosine of the angle between (ux, uy) and (wx, wy), single precision; 0
// for a zero-length vector.
inline float CosBetween(float ux, float uy, float wx, float wy) {
  float p = (ux * ux + uy * uy) * (wx * wx + wy * wy);
  if (p == 0.0f) p = 1.0f;
  return (ux * wx + uy * wy) / sqrtf(p);
}

// ZqGetAngleCos_32f.
inline float AngleCos32f(const ST_MatchPoint &first, const ST_MatchPoint &vertex,
                         const ST_MatchPoint &second) {
  return CosBetween(first.x - vertex.x, first.y - vertex.y, second.x - vertex.x,
                    second.y - vertex.y);
}

// ZqAngleGapBelow3 where bounds decide it (0 or 1), else -1. acos has slope
// -1 / sqrt(1 - c^2): at least 1 in size, and at most 1 / sqrt(1 - m^2)
// between c1 and c2 when both lie in [-m, m]. Where these bounds put the
// gap at 0.06 rad (3.4 degrees) or more, or below 0.0518 rad (2.97
// degrees), no rounding of acosf can change the answer.
inline int AngleGapBelow3Bound(float c1, float c2) {
  const double lo = c1 < -1.0f ? -1.0 : c1 > 1.0f ? 1.0 : c1;
  const double hi = c2 < -1.0f ? -1.0 : c2 > 1.0f ? 1.0 : c2;
  const double d = lo - hi;
  if (d >= 0.06 || d <= -0.06) return 0;
  const double m = fmax(fabs(lo), fabs(hi));
  if (d * d < 0.0518 * 0.0518 * (1.0 - m * m)) return 1;
  return -1;
}

}  // namespace zq_geom
#endif

#endif  // SRC_FEATURES_ZQGEOMMATH_H_
