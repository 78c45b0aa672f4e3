// Registration of float match points: the three variants and the float
// estimator.
#include <immintrin.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

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

// The vector paths below are taken where the processor can, unless a test
// asked for the plain ones.
bool gPlainOnly = false;

bool UseEightLanes() { return !gPlainOnly && __builtin_cpu_supports("avx2"); }

// Room for a list of pairs and one vector's overrun.
constexpr int kLanePad = 8;
constexpr int kSoaLen = ZQ_RANSAC_MAX_PAIRS + kLanePad;

// The 0 / -1 lanes of mask as 0 / 1 bytes at out[0 .. 7].
__attribute__((target("avx2"))) inline void StoreFlags(__m256i mask, uint8_t *out) {
  const __m128i w = _mm_packs_epi32(_mm256_castsi256_si128(mask), _mm256_extracti128_si256(mask, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i *>(out),
                   _mm_and_si128(_mm_packs_epi16(w, w), _mm_set1_epi8(1)));
}

// Copies the upper half of the len x len byte matrix M onto its lower half
// (M[r][m] = M[m][r] for m < r), eight rows at a time: one 8-byte read of
// row m gives its entries for rows r0 .. r0 + 7.
void MirrorUpper(uint8_t **M, int len) {
  for (int r0 = 0; r0 < len; r0 += 8) {
    const int rows = len - r0 < 8 ? len - r0 : 8;
    if (rows == 8) {
      uint8_t *const d0 = M[r0], *const d1 = M[r0 + 1], *const d2 = M[r0 + 2], *const d3 = M[r0 + 3];
      uint8_t *const d4 = M[r0 + 4], *const d5 = M[r0 + 5], *const d6 = M[r0 + 6], *const d7 = M[r0 + 7];
      for (int m = 0; m < r0; ++m) {
        uint64_t v;
        memcpy(&v, M[m] + r0, sizeof(v));
        d0[m] = static_cast<uint8_t>(v);
        d1[m] = static_cast<uint8_t>(v >> 8);
        d2[m] = static_cast<uint8_t>(v >> 16);
        d3[m] = static_cast<uint8_t>(v >> 24);
        d4[m] = static_cast<uint8_t>(v >> 32);
        d5[m] = static_cast<uint8_t>(v >> 40);
        d6[m] = static_cast<uint8_t>(v >> 48);
        d7[m] = static_cast<uint8_t>(v >> 56);
      }
    } else {
      for (int r = r0; r < r0 + rows; ++r)
        for (int m = 0; m < r0; ++m) M[r][m] = M[m][r];
    }
    // The block on the diagonal.
    for (int r = r0 + 1; r < r0 + rows; ++r)
      for (int m = r0; m < r; ++m) M[r][m] = M[m][r];
  }
}

// DistancesPlain eight pairs at a time over the upper half, each lane the
// differences, squares, sum and square root of Dist32f, then mirrored.
__attribute__((target("avx2"))) void DistancesEight(const ST_MatchPoint *P, const ST_MatchPoint *Q,
                                                    uint16_t n, uint8_t **D) {
  alignas(32) float px[kSoaLen] = {}, py[kSoaLen] = {}, qx[kSoaLen] = {}, qy[kSoaLen] = {};
  for (int i = 0; i < n; ++i) {
    px[i] = P[i].x;
    py[i] = P[i].y;
    qx[i] = Q[i].x;
    qy[i] = Q[i].y;
  }
  const __m256 two = _mm256_set1_ps(2.0f);
  const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  for (int i = 0; i < n; ++i) {
    const __m256 pxi = _mm256_set1_ps(px[i]), pyi = _mm256_set1_ps(py[i]);
    const __m256 qxi = _mm256_set1_ps(qx[i]), qyi = _mm256_set1_ps(qy[i]);
    D[i][i] = 1;
    int j = i + 1;
    for (; j + 8 <= n; j += 8) {
      const __m256 dxP = _mm256_sub_ps(pxi, _mm256_loadu_ps(px + j));
      const __m256 dyP = _mm256_sub_ps(pyi, _mm256_loadu_ps(py + j));
      const __m256 dxQ = _mm256_sub_ps(qxi, _mm256_loadu_ps(qx + j));
      const __m256 dyQ = _mm256_sub_ps(qyi, _mm256_loadu_ps(qy + j));
      const __m256 dP = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dxP, dxP), _mm256_mul_ps(dyP, dyP)));
      const __m256 dQ = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dxQ, dxQ), _mm256_mul_ps(dyQ, dyQ)));
      const __m256 gap = _mm256_and_ps(_mm256_sub_ps(dP, dQ), magnitude);
      const __m256i near = _mm256_castps_si256(_mm256_cmp_ps(gap, two, _CMP_LT_OQ));
      StoreFlags(near, D[i] + j);
    }
    for (; j < n; ++j)
      D[i][j] = fabsf(Dist32f(P[i], P[j]) - Dist32f(Q[i], Q[j])) < 2.0f ? 1 : 0;
  }
  MirrorUpper(D, n);
}

// The rays from the seed to each pair of a candidate list, on both sides,
// with their squared lengths: the operands of CosBetween.
struct Rays {
  alignas(32) float ux[kSoaLen], uy[kSoaLen], norm[kSoaLen];
  void Make(const ST_MatchPoint *X, const uint16_t *L, uint16_t len, uint16_t s) {
    for (int r = 0; r < len; ++r) {
      ux[r] = X[L[r]].x - X[s].x;
      uy[r] = X[L[r]].y - X[s].y;
      norm[r] = ux[r] * ux[r] + uy[r] * uy[r];
    }
    for (int r = len; r < len + kLanePad; ++r) ux[r] = uy[r] = norm[r] = 0.0f;
  }
};

// CosBetween of ray r against the eight rays from m on.
__attribute__((target("avx2"))) inline __m256 CosEight(const Rays &R, int r, int m) {
  __m256 p = _mm256_mul_ps(_mm256_set1_ps(R.norm[r]), _mm256_loadu_ps(R.norm + m));
  p = _mm256_blendv_ps(p, _mm256_set1_ps(1.0f), _mm256_cmp_ps(p, _mm256_setzero_ps(), _CMP_EQ_OQ));
  const __m256 dot = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(R.ux[r]), _mm256_loadu_ps(R.ux + m)),
                                   _mm256_mul_ps(_mm256_set1_ps(R.uy[r]), _mm256_loadu_ps(R.uy + m)));
  return _mm256_div_ps(dot, _mm256_sqrt_ps(p));
}

// A cosine clamped to [-1, 1] as AngleGapBelow3Bound takes it (NaN kept),
// four lanes widened to double.
__attribute__((target("avx2"))) inline __m256d Clamped(__m128 c) {
  __m128 v = _mm_blendv_ps(c, _mm_set1_ps(-1.0f), _mm_cmplt_ps(c, _mm_set1_ps(-1.0f)));
  v = _mm_blendv_ps(v, _mm_set1_ps(1.0f), _mm_cmpgt_ps(c, _mm_set1_ps(1.0f)));
  return _mm256_cvtps_pd(v);
}

// AngleGapBelow3Bound on four lanes: bit l of *yes where it gives 1, of
// *open where it gives -1.
__attribute__((target("avx2"))) inline void BoundFour(__m128 cP, __m128 cQ, uint32_t *yes,
                                                      uint32_t *open) {
  const __m256d lo = Clamped(cP), hi = Clamped(cQ);
  const __m256d d = _mm256_sub_pd(lo, hi);
  const __m256d far = _mm256_or_pd(_mm256_cmp_pd(d, _mm256_set1_pd(0.06), _CMP_GE_OQ),
                                   _mm256_cmp_pd(d, _mm256_set1_pd(-0.06), _CMP_LE_OQ));
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
  // Where d is a number neither side is NaN, and max is fmax.
  const __m256d m = _mm256_max_pd(_mm256_and_pd(lo, magnitude), _mm256_and_pd(hi, magnitude));
  const double k = 0.0518 * 0.0518;
  const __m256d near = _mm256_cmp_pd(
      _mm256_mul_pd(d, d),
      _mm256_mul_pd(_mm256_set1_pd(k), _mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(m, m))),
      _CMP_LT_OQ);
  *yes = static_cast<uint32_t>(_mm256_movemask_pd(_mm256_andnot_pd(far, near)));
  const __m256d decided = _mm256_or_pd(far, near);
  *open = static_cast<uint32_t>(_mm256_movemask_pd(_mm256_andnot_pd(decided, _mm256_set1_pd(-1.0))));
}

// TrianglesPlain of the vertex-angle test eight triangles at a time: both
// cosines by the operations of AngleCos32f, the bounds of
// AngleGapBelow3Bound in double, and ZqAngleGapBelow3 where they leave the
// answer open.
__attribute__((target("avx2"))) void AngleTrianglesEight(const ST_MatchPoint *P,
                                                         const ST_MatchPoint *Q, const uint16_t *L,
                                                         uint16_t len, uint16_t s, uint8_t **E) {
  Rays rp, rq;
  rp.Make(P, L, len, s);
  rq.Make(Q, L, len, s);
  // Where the seed stands in the list (the entries are distinct), or -1.
  int seedAt = -1;
  for (int r = 0; r < len && seedAt < 0; ++r)
    if (L[r] == s) seedAt = r;
  for (int r = 0; r < len; ++r) {
    E[r][r] = 1;
    if (L[r] == s) continue;
    for (int m = r + 1; m < len; m += 8) {
      const __m256 cP = CosEight(rp, r, m), cQ = CosEight(rq, r, m);
      uint32_t yesLo, openLo, yesHi, openHi;
      BoundFour(_mm256_castps256_ps128(cP), _mm256_castps256_ps128(cQ), &yesLo, &openLo);
      BoundFour(_mm256_extractf128_ps(cP, 1), _mm256_extractf128_ps(cQ, 1), &yesHi, &openHi);
      const uint32_t yes = yesLo | (yesHi << 4), open = openLo | (openHi << 4);
      const int lanes = len - m < 8 ? len - m : 8;
      // Lanes past the list or on the seed take no part.
      uint32_t part = (1u << lanes) - 1u;
      if (seedAt >= m && seedAt < m + 8) part &= ~(1u << (seedAt - m));
      uint32_t agree = yes & part;
      if ((open & part) != 0) {
        alignas(32) float cp[8], cq[8];
        _mm256_store_ps(cp, cP);
        _mm256_store_ps(cq, cQ);
        for (uint32_t o = open & part; o != 0; o &= o - 1) {
          const int l = __builtin_ctz(o);
          if (ZqAngleGapBelow3(cp[l], cq[l]) != 0) agree |= 1u << l;
        }
      }
      const __m128i bit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
      const __m128i set =
          _mm_cmpeq_epi8(_mm_and_si128(_mm_set1_epi8(static_cast<char>(agree)), bit), bit);
      alignas(16) uint8_t flags[16];
      _mm_store_si128(reinterpret_cast<__m128i *>(flags), _mm_and_si128(set, _mm_set1_epi8(1)));
      memcpy(E[r] + m, flags, static_cast<size_t>(lanes));
    }
  }
  MirrorUpper(E, len);
}

// The all-pairs sums of ZqEstimateRotParms_32f: the terms of each reference
// point against every test point made eight at a time, by the same products
// and differences, then added in the same order as the plain double loop.
__attribute__((target("avx2"))) void CrossSumsEight(const ST_MatchPoint *P, const ST_MatchPoint *Q,
                                                    const uint16_t *S, int n, float *g3,
                                                    float *g4) {
  alignas(32) float qx[kSoaLen] = {}, qy[kSoaLen] = {};
  alignas(32) float t3[kSoaLen], t4[kSoaLen];
  for (int j = 0; j < n; ++j) {
    qx[j] = Q[S[j]].x;
    qy[j] = Q[S[j]].y;
  }
  const __m256 sign = _mm256_set1_ps(-0.0f);
  float s3 = *g3, s4 = *g4;
  for (int i = 0; i < n; ++i) {
    const __m256 px = _mm256_set1_ps(P[S[i]].x), py = _mm256_set1_ps(P[S[i]].y);
    for (int j = 0; j < n; j += 8) {
      const __m256 x = _mm256_load_ps(qx + j), y = _mm256_load_ps(qy + j);
      _mm256_store_ps(t3 + j, _mm256_sub_ps(_mm256_xor_ps(_mm256_mul_ps(px, x), sign),
                                            _mm256_mul_ps(py, y)));
      _mm256_store_ps(t4 + j, _mm256_sub_ps(_mm256_mul_ps(px, y), _mm256_mul_ps(py, x)));
    }
    for (int j = 0; j < n; ++j) {
      s3 += t3[j];
      s4 += t4[j];
    }
  }
  *g3 = s3;
  *g4 = s4;
}

struct FloatBase {
  using Point = ST_MatchPoint;
  static constexpr bool kLogRowFailure = false;
  static float Dist(const Point &a, const Point &b) { return Dist32f(a, b); }
  static void Estimate(float *dx, float *dy, float *dtheta, const Point *P, const Point *Q,
                       const uint16_t *idx, uint16_t count) {
    ZqEstimateRotParms_32f(dx, dy, dtheta, P, Q, idx, count);
  }
  static void Distances(const Point *P, const Point *Q, uint16_t n, uint8_t **D) {
    if (UseEightLanes()) {
      DistancesEight(P, Q, n, D);
    } else {
      zq_ransac::DistancesPlain<FloatBase>(P, Q, n, D);
    }
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
  static void Triangles(const Point *P, const Point *Q, const uint16_t *L, uint16_t len,
                        uint16_t s, uint8_t **E) {
    if (UseEightLanes()) {
      AngleTrianglesEight(P, Q, L, len, s, E);
    } else {
      zq_ransac::TrianglesPlain<AngleVariant>(P, Q, L, len, s, E);
    }
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

extern "C" void ZqRansacPlainForTest(int32_t on) { gPlainOnly = on != 0; }

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
  if (n <= ZQ_RANSAC_MAX_PAIRS && UseEightLanes()) {
    CrossSumsEight(refSet, testSet, S, n, &g3, &g4);
  } else {
    for (int i = 0; i < n; ++i) {
      const ST_MatchPoint &p = refSet[S[i]];
      for (int j = 0; j < n; ++j) {
        const ST_MatchPoint &q = testSet[S[j]];
        g3 += -(p.x * q.x) - p.y * q.y;
        g4 += p.x * q.y - p.y * q.x;
      }
    }
  }
  const float fn = static_cast<float>(n);
  const float angle = ZqArctan(fn * g1 + g3, fn * g2 + g4);
  zq_ransac::FinishEstimate(dx, dy, dtheta, angle, refSet, testSet, S, consensusSetNums);
}
