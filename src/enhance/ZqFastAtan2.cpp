// Polynomial arctangent and affine decomposition.
#include "src/enhance/ZqFastAtan2.h"

#include <math.h>

#include "src/enhance/ZqEnhanceTrace.h"

namespace {

// Degrees of atan(t) for 0 <= t <= 1, single precision throughout.
float AtanPoly(float t) {
  const float t2 = t * t;
  return t * (((-2.5397243f * t2 + 8.914f) * t2 - 18.667446f) * t2 + 57.283623f);
}

// The linear part of an affine map under the row/column names of the
// decomposition: [a11 a12; a21 a22] (tx and ty are not used).
struct Linear {
  float a11, a12, a21, a22;
};

Linear LinearPart(const ST_HMatrix &m) { return Linear{m.a00, m.a01, m.a10, m.a11}; }

}  // namespace

extern "C" float ZqFastAtan2(float y, float x) {
  ZQ_TRACE_ENTER();
  const float eps = 2.220446e-16f;
  const float ax = fabsf(x), ay = fabsf(y);
  float a = ax >= ay ? AtanPoly(ay / (ax + eps)) : 90.0f - AtanPoly(ax / (ay + eps));
  if (x < 0) a = 180.0f - a;
  if (y < 0) a = 360.0f - a;
  ZQ_TRACE_LEAVE();
  return a;
}

extern "C" void ZqCalcMatrixInfo(const ST_HMatrix *m, float *angle, float *shear,
                                 float *scaleDevX, float *scaleDevY) {
  ZQ_TRACE_ENTER();
  if (m == nullptr || angle == nullptr || shear == nullptr || scaleDevX == nullptr ||
      scaleDevY == nullptr)
    return;
  const Linear a = LinearPart(*m);
  const float l1 = sqrtf(a.a11 * a.a11 + a.a21 * a.a21);
  const float l2 = sqrtf(a.a12 * a.a12 + a.a22 * a.a22);
  *angle = ZqFastAtan2(a.a21 - a.a12, a.a11 + a.a22);
  // pi is 3.14 here on purpose: stored thresholds were tuned with it, so a
  // pure rotation reports a shear of about 0.0456 degrees.
  double c = 0.0;
  if (fabsf(l1 * l2) > 1e-6f) {
    c = (a.a11 * a.a12 + a.a21 * a.a22) / (l1 * l2);
    // Rounding can carry the cosine of (anti)parallel axes past 1, where
    // acos has no value; clamp so a degenerate map reports its full shear.
    c = c > 1.0 ? 1.0 : (c < -1.0 ? -1.0 : c);
  }
  *shear = static_cast<float>(fabs(180.0 * acos(c) / 3.14 - 90.0));
  *scaleDevX = l1 - 1.0f;
  *scaleDevY = l2 - 1.0f;
  ZQ_TRACE_LEAVE();
}
