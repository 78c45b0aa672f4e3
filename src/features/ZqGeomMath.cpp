#include "src/features/ZqGeomMath.h"

#include <math.h>
#include <stddef.h>
#include <stdint.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;
constexpr float kTwoPi = 6.2831855f;
// 3 pi / 2, compared in double precision.
constexpr double kThreeHalfPi = 4.71238898038469;
constexpr float kRadToDeg = 57.295776f;

using zq_geom::CosBetween;

// The angle in degrees of cosine c, single precision.
float AngleOfCos(float c) {
  if (c >= 1.0f) return 0.0f;
  if (c <= -1.0f) return 180.0f;
  return acosf(c) * kRadToDeg;
}

// Angle in degrees between (ux, uy) and (wx, wy), single precision.
float AngleBetween(float ux, float uy, float wx, float wy) {
  return AngleOfCos(CosBetween(ux, uy, wx, wy));
}

// Sine series u - u^3/6 + u^5/120 - c7 u^7.
float SinPoly(float u) {
  const float u2 = u * u;
  const float u3 = u2 * u;
  const float u5 = u3 * u2;
  const float u7 = u5 * u2;
  return u - 0.16666667f * u3 + 0.008333334f * u5 - 0.0001921968f * u7;
}

// Cosine series 1 - u^2/2 + u^4/24 - u^6/720 + c8 u^8.
float CosPoly(float u) {
  const float u2 = u * u;
  const float u4 = u2 * u2;
  const float u6 = u4 * u2;
  const float u8 = u6 * u2;
  return 1.0f - 0.5f * u2 + 0.041666668f * u4 - 0.0013888889f * u6 + 0.000024173858f * u8;
}

// v reduced into [0, 2 pi) one turn at a time. Stops early when a turn no
// longer changes v (infinite or huge arguments), so it always ends.
float ReduceTurns(float v) {
  while (v < 0.0f) {
    const float next = v + kTwoPi;
    if (next == v) break;
    v = next;
  }
  while (v >= kTwoPi) {
    const float next = v - kTwoPi;
    if (next == v) break;
    v = next;
  }
  return v;
}

// Squared distance of a and b, exact.
int64_t DistSquared(const ST_Point16s *a, const ST_Point16s *b) {
  const int64_t dx = static_cast<int64_t>(a->x) - b->x;
  const int64_t dy = static_cast<int64_t>(a->y) - b->y;
  return dx * dx + dy * dy;
}

// Largest element count whose float copy still fits a ZqSafeAlloc length.
constexpr uint32_t kMaxMedianCount = static_cast<uint32_t>(INT32_MAX) / sizeof(float);

// Checks the median arguments and returns a ZqSafeAlloc copy of pData, or
// NULL (logged) when nothing may be written.
float *CopyForMedian(const float *pData, uint32_t count, const float *pMiddle) {
  if (pData == NULL) {
    ZQ_LOG_FAIL("GetMiddleValue", "pData == NULL");
    return NULL;
  }
  if (pMiddle == NULL) {
    ZQ_LOG_FAIL("GetMiddleValue", "pMiddle == NULL");
    return NULL;
  }
  if (count == 0 || count > kMaxMedianCount) {
    ZQ_LOG_FAIL("GetMiddleValue", "count out of range");
    return NULL;
  }
  auto *buf = static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(count * sizeof(float))));
  if (buf == NULL) return NULL;  // ZqSafeAlloc logged it
  for (uint32_t i = 0; i < count; ++i) buf[i] = pData[i];
  return buf;
}

// Index of the first smallest value of buf[from .. count-1].
uint32_t IndexOfMin(const float *buf, uint32_t from, uint32_t count) {
  uint32_t best = from;
  for (uint32_t j = from + 1; j < count; ++j) {
    if (buf[j] < buf[best]) best = j;
  }
  return best;
}

}  // namespace

int32_t ZqRoundHalfAway(float v) {
  const float r = v >= 0.0f ? v + 0.5f : v - 0.5f;
  // Saturate instead of converting an out-of-range value (undefined).
  if (!(r > -2147483904.0f)) return r != r ? 0 : INT32_MIN;
  if (r >= 2147483648.0f) return INT32_MAX;
  return static_cast<int32_t>(r);
}

ST_Point ZqInitPoint(int32_t x, int32_t y) {
  ST_Point p;
  p.x = x;
  p.y = y;
  return p;
}

int32_t ZqFloor(float v) {
  const int32_t r = ZqRoundHalfAway(v);
  return v - static_cast<float>(r) < 0.0f ? r - 1 : r;
}

int32_t ZqCeil(float v) {
  const int32_t r = ZqRoundHalfAway(v);
  return static_cast<float>(r) - v < 0.0f ? r + 1 : r;
}

float ZqGetDist(const ST_Point16s *a, const ST_Point16s *b) {
  return sqrtf(static_cast<float>(DistSquared(a, b)));
}

int32_t ZqGetDist2(const ST_Point16s *a, const ST_Point16s *b) {
  const int64_t d2 = DistSquared(a, b);
  return d2 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(d2);
}

float ZqGetAngle(ST_Point16s first, ST_Point16s vertex, ST_Point16s second) {
  return AngleBetween(static_cast<float>(first.x - vertex.x), static_cast<float>(first.y - vertex.y),
                      static_cast<float>(second.x - vertex.x),
                      static_cast<float>(second.y - vertex.y));
}

float ZqGetAngle_32f(ST_MatchPoint first, ST_MatchPoint vertex, ST_MatchPoint second) {
  return AngleBetween(first.x - vertex.x, first.y - vertex.y, second.x - vertex.x,
                      second.y - vertex.y);
}

float ZqGetAngleCos_32f(ST_MatchPoint first, ST_MatchPoint vertex, ST_MatchPoint second) {
  return zq_geom::AngleCos32f(first, vertex, second);
}

int ZqAngleGapBelow3(float c1, float c2) {
  const int bound = zq_geom::AngleGapBelow3Bound(c1, c2);
  if (bound >= 0) return bound;
  return fabsf(AngleOfCos(c1) - AngleOfCos(c2)) < 3.0f;
}

float ZqArctan(float x, float y) {
  const float ax = fabsf(x);
  const float ay = fabsf(y);
  if (ax < 1e-10f && ay < 1e-10f) return 0.0f;
  const float t = (ax < ay ? ax : ay) / (ax > ay ? ax : ay);
  if (static_cast<int32_t>(10.0f * t) > 9) {
    if (x > 0.0f) return y > 0.0f ? kQuarterPi : -kQuarterPi;
    return y > 0.0f ? kThreeQuarterPi : -kThreeQuarterPi;
  }
  const float t2 = t * t;
  const float t3 = t2 * t;
  const float t5 = t3 * t2;
  const float t7 = t5 * t2;
  const float t9 = t7 * t2;
  // The last coefficient is 1/15, not 1/9.
  float a = t - 0.33333334f * t3 + 0.2f * t5 - 0.14285715f * t7 + 0.06666667f * t9;
  if (ay > ax) a = kHalfPi - a;
  if (x > 0.0f) return y < 0.0f ? -a : a;
  a = kPi - a;
  return y > 0.0f ? a : -a;
}

float Zqsin(float v) {
  v = ReduceTurns(v);
  if (v <= kHalfPi) return SinPoly(v);
  if (v <= kPi) return SinPoly(kPi - v);
  if (static_cast<double>(v) <= kThreeHalfPi) return -SinPoly(v - kPi);
  return -SinPoly(kTwoPi - v);
}

float ZqCos(float v) {
  v = ReduceTurns(v);
  if (v <= kHalfPi) return CosPoly(v);
  if (v <= kPi) return -CosPoly(kPi - v);
  if (static_cast<double>(v) <= kThreeHalfPi) return -CosPoly(v - kPi);
  return CosPoly(kTwoPi - v);
}

int ZqGetMiddleValue(const float *pData, uint32_t count, float *pMiddle) {
  float *buf = CopyForMedian(pData, count, pMiddle);
  if (buf == NULL) return 0;
  const uint32_t half = count / 2;
  for (uint32_t i = 0; i <= half; ++i) {
    const uint32_t m = IndexOfMin(buf, i, count);
    const float tmp = buf[i];
    buf[i] = buf[m];
    buf[m] = tmp;
  }
  *pMiddle = buf[half];
  ZqSafeFree(buf);
  return 0;
}

int ZqGetMiddleValue1(const float *pData, uint32_t count, float *pMiddle) {
  float *buf = CopyForMedian(pData, count, pMiddle);
  if (buf == NULL) return 0;
  const uint32_t half = count / 2;
  for (uint32_t i = 0; i < half; ++i) buf[IndexOfMin(buf, i, count)] = buf[i];
  *pMiddle = buf[IndexOfMin(buf, half, count)];
  ZqSafeFree(buf);
  return 0;
}
