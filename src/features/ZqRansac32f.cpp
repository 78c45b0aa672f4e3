// Registration of float match points: the three variants and the float
// estimator.
#include <math.h>
#include <stdint.h>

#include "src/features/ZqGeomMath.h"
#include "src/features/ZqRansac.h"
#include "src/features/ZqRansacProcedure.h"

namespace {

float Dist32f(const ST_MatchPoint &a, const ST_MatchPoint &b) {
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  return sqrtf(dx * dx + dy * dy);
}

// Cross product (s - a) x (s - b) of one triangle around the seed s.
float SeedCross(const ST_MatchPoint &a, const ST_MatchPoint &s, const ST_MatchPoint &b) {
  const float ux = s.x - a.x, uy = s.y - a.y;
  const float wx = s.x - b.x, wy = s.y - b.y;
  return ux * wy - uy * wx;
}

// Triangles around the seed with the same orientation (a zero product
// passes) and third edges that agree within maxEdgeGap.
bool OrientedEdgeTest(const ST_MatchPoint *P, const ST_MatchPoint *Q, uint16_t a, uint16_t b,
                      uint16_t s, float maxEdgeGap) {
  const float cP = SeedCross(P[a], P[s], P[b]);
  const float cQ = SeedCross(Q[a], Q[s], Q[b]);
  if (cP * cQ < 0.0f) return false;
  return fabsf(Dist32f(P[b], P[a]) - Dist32f(Q[b], Q[a])) < maxEdgeGap;
}

// Residual of the test point mapped by (c, s, dx, dy) against the reference.
void Residual(const ST_MatchPoint &p, const ST_MatchPoint &q, float c, float s, float dx, float dy,
              float *rx, float *ry) {
  *rx = c * q.x - s * q.y + dx - p.x;
  *ry = s * q.x + c * q.y + dy - p.y;
}

struct FloatBase {
  using Point = ST_MatchPoint;
  static constexpr bool kLogRowFailure = false;
  static float Dist(const Point &a, const Point &b) { return Dist32f(a, b); }
  static void Estimate(float *dx, float *dy, float *dtheta, const Point *P, const Point *Q,
                       const uint16_t *idx, uint16_t count) {
    ZqEstimateRotParms_32f(dx, dy, dtheta, P, Q, idx, count);
  }
  // |rx| < 1.2 and |ry| < 1.2.
  static bool Inlier(const Point &p, const Point &q, float c, float s, float dx, float dy) {
    float rx, ry;
    Residual(p, q, c, s, dx, dy, &rx, &ry);
    return fabsf(rx) < 1.2f && fabsf(ry) < 1.2f;
  }
};

struct AngleVariant : FloatBase {
  static constexpr int kBadInput = ZQ_ERR_PARAM;
  static constexpr bool kPool = false;
  static bool Triangle(const Point *P, const Point *Q, uint16_t a, uint16_t b, uint16_t s) {
    const float cP = zq_geom::AngleCos32f(P[a], P[s], P[b]);
    const float cQ = zq_geom::AngleCos32f(Q[a], Q[s], Q[b]);
    const int bound = zq_geom::AngleGapBelow3Bound(cP, cQ);
    return bound >= 0 ? bound != 0 : ZqAngleGapBelow3(cP, cQ) != 0;
  }
};

struct EdgeVariant : FloatBase {
  static constexpr int kBadInput = 0;
  static constexpr bool kPool = false;
  static bool Triangle(const Point *P, const Point *Q, uint16_t a, uint16_t b, uint16_t s) {
    return OrientedEdgeTest(P, Q, a, b, s, 1.0f);
  }
};

struct Edge4850Variant : FloatBase {
  static constexpr int kBadInput = ZQ_ERR_PARAM;
  static constexpr bool kPool = true;
  static bool Triangle(const Point *P, const Point *Q, uint16_t a, uint16_t b, uint16_t s) {
    return OrientedEdgeTest(P, Q, a, b, s, 2.0f);
  }
  // |rx| + |ry| < 2.5.
  static bool Inlier(const Point &p, const Point &q, float c, float s, float dx, float dy) {
    float rx, ry;
    Residual(p, q, c, s, dx, dy, &rx, &ry);
    return fabsf(rx) + fabsf(ry) < 2.5f;
  }
};

}  // namespace

extern "C" int ZqRansacAngle_32f(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                                 uint16_t setLength, ST_FullHMatrix *H,
                                 uint16_t *consensusSetIndex) {
  return zq_ransac::Register<AngleVariant>(refSet, testSet, setLength, H, consensusSetIndex,
                                           __func__);
}

extern "C" int ZqRansacEdage_32f(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                                 uint16_t setLength, ST_FullHMatrix *H,
                                 uint16_t *consensusSetIndex) {
  return zq_ransac::Register<EdgeVariant>(refSet, testSet, setLength, H, consensusSetIndex,
                                          __func__);
}

extern "C" int ZqRansacEdage_32f_ZQ4850(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                                        uint16_t setLength, ST_FullHMatrix *H,
                                        uint16_t *consensusSetIndex) {
  return zq_ransac::Register<Edge4850Variant>(refSet, testSet, setLength, H, consensusSetIndex,
                                              __func__);
}

extern "C" void ZqEstimateRotParms_32f(float *dx, float *dy, float *dtheta,
                                       const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                                       const uint16_t *consensusSetIndex,
                                       uint16_t consensusSetNums) {
  if (!zq_ransac::EstimateArgsOk(dx, dy, dtheta, refSet, testSet, consensusSetIndex,
                                 consensusSetNums, __func__)) {
    return;
  }
  const uint16_t *S = consensusSetIndex;
  const int n = consensusSetNums;
  float g1 = 0.0f, g2 = 0.0f;
  for (int k = 0; k < n; ++k) {
    const ST_MatchPoint &p = refSet[S[k]];
    const ST_MatchPoint &q = testSet[S[k]];
    g1 += q.x * p.x + q.y * p.y;
    g2 += q.x * p.y - p.x * q.y;
  }
  // -(sum P.x)(sum Q.x) - (sum P.y)(sum Q.y) and (sum P.x)(sum Q.y) -
  // (sum P.y)(sum Q.x), term by term over all ordered pairs.
  float g3 = 0.0f, g4 = 0.0f;
  for (int i = 0; i < n; ++i) {
    const ST_MatchPoint &p = refSet[S[i]];
    for (int j = 0; j < n; ++j) {
      const ST_MatchPoint &q = testSet[S[j]];
      g3 += -(p.x * q.x) - p.y * q.y;
      g4 += p.x * q.y - p.y * q.x;
    }
  }
  const float fn = static_cast<float>(n);
  const float angle = ZqArctan(fn * g1 + g3, fn * g2 + g4);
  zq_ransac::FinishEstimate(dx, dy, dtheta, angle, refSet, testSet, S, consensusSetNums);
}
