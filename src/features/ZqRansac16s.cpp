// Registration of int16 points (ZqRansacNew) and the int16 estimator.
#include <math.h>
#include <stdint.h>

#include "src/features/ZqGeomMath.h"
#include "src/features/ZqRansac.h"
#include "src/features/ZqRansacProcedure.h"

namespace {

// Mapped coordinate v rounded half away from zero, minus ref, within 1.
// Done in wide integers: a far-off point never wraps into range.
bool WithinOnePixel(float v, int16_t ref) {
  const int64_t d = static_cast<int64_t>(ZqRoundHalfAway(v)) - ref;
  return d >= -1 && d <= 1;
}

struct Int16Variant {
  using Point = ST_Point16s;
  static constexpr int kBadInput = ZQ_ERR_PARAM;
  static constexpr bool kPool = false;
  static constexpr bool kLogRowFailure = true;

  // Single-precision root of the float sum of the squared differences.
  static float Dist(const Point &a, const Point &b) {
    const float dx = static_cast<float>(a.x - b.x);
    const float dy = static_cast<float>(a.y - b.y);
    return sqrtf(dx * dx + dy * dy);
  }
  static bool Triangle(const Point *P, const Point *Q, uint16_t a, uint16_t b, uint16_t s) {
    return fabsf(ZqGetAngle(P[a], P[s], P[b]) - ZqGetAngle(Q[a], Q[s], Q[b])) < 3.0f;
  }
  static bool Inlier(const Point &p, const Point &q, float c, float s, float dx, float dy) {
    const float qx = static_cast<float>(q.x), qy = static_cast<float>(q.y);
    return WithinOnePixel(c * qx - s * qy + dx, p.x) && WithinOnePixel(s * qx + c * qy + dy, p.y);
  }
  static void Estimate(float *dx, float *dy, float *dtheta, const Point *P, const Point *Q,
                       const uint16_t *idx, uint16_t count) {
    ZqEstimateRotParms(dx, dy, dtheta, P, Q, idx, count);
  }
};

}  // namespace

extern "C" int ZqRansacNew(const ST_Point16s *refSet, const ST_Point16s *testSet,
                           uint16_t setLength, ST_FullHMatrix *H, uint16_t *consensusSetIndex) {
  return zq_ransac::Register<Int16Variant>(refSet, testSet, setLength, H, consensusSetIndex,
                                           __func__);
}

extern "C" void ZqEstimateRotParms(float *dx, float *dy, float *dtheta, const ST_Point16s *refSet,
                                   const ST_Point16s *testSet, const uint16_t *consensusSetIndex,
                                   uint16_t consensusSetNums) {
  if (!zq_ransac::EstimateArgsOk(dx, dy, dtheta, refSet, testSet, consensusSetIndex,
                                 consensusSetNums, __func__)) {
    return;
  }
  // Integer sums, exact in double (every term is an integer of at most 2^31 and
  // the totals stay below 2^53 for any set that fits the sensor): equal to
  // 32-bit sums wherever those do not wrap, and right where they would.
  const uint16_t *S = consensusSetIndex;
  const int n = consensusSetNums;
  double g1 = 0.0, g2 = 0.0, sumPx = 0.0, sumPy = 0.0, sumQx = 0.0, sumQy = 0.0;
  for (int k = 0; k < n; ++k) {
    const ST_Point16s &p = refSet[S[k]];
    const ST_Point16s &q = testSet[S[k]];
    const int64_t qx = q.x, qy = q.y, px = p.x, py = p.y;
    g1 += static_cast<double>(qx * px + qy * py);
    g2 += static_cast<double>(qx * py - px * qy);
    sumPx += p.x;
    sumPy += p.y;
    sumQx += q.x;
    sumQy += q.y;
  }
  const double g3 = -(sumPx * sumQx) - sumPy * sumQy;
  const double g4 = sumPx * sumQy - sumPy * sumQx;
  const float dot = static_cast<float>(n * g1 + g3);
  const float cross = static_cast<float>(n * g2 + g4);
  zq_ransac::FinishEstimate(dx, dy, dtheta, ZqArctan(dot, cross), refSet, testSet, S,
                            consensusSetNums);
}
