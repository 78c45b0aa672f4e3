// The consensus search shared by the float and the int16 registrations,
// written once over a variant policy. C++ only; included by the units that
// define the registration entry points.
//
// A Variant supplies:
//   using Point;                            the point record
//   static constexpr int kBadInput;         code for NULL sets / bad length
//   static constexpr bool kPool;            pool instead of heap memory
//   static constexpr bool kLogRowFailure;   log a failed row with its index
//   static float Dist(const Point &, const Point &);
//   static bool Triangle(const Point *P, const Point *Q, a, b, s);
//   static bool Inlier(const Point &p, const Point &q, cos, sin, dx, dy);
//   static void Estimate(dx, dy, dtheta, P, Q, indexes, count);
#ifndef SRC_FEATURES_ZQRANSACPROCEDURE_H_
#define SRC_FEATURES_ZQRANSACPROCEDURE_H_

#include <emmintrin.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

#include "src/features/ZqFullHMatrix.h"
#include "src/features/ZqRansac.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace zq_ransac {

// The rigid transform record {cos, -sin, dx, sin, cos, dy, 0, 0, 1, dtheta}.
inline ST_FullHMatrix RigidMatrix(float c, float s, float dx, float dy, float dtheta) {
  ST_FullHMatrix h;
  h.a00 = c;
  h.a01 = -s;
  h.a02 = dx;
  h.a10 = s;
  h.a11 = c;
  h.a12 = dy;
  h.a20 = 0.0f;
  h.a21 = 0.0f;
  h.a22 = 1.0f;
  h.dtheta = dtheta;
  return h;
}

// Working memory of one registration call: the n x n byte matrix as a row
// array and n rows, the 8-bit importances and the two candidate lists.
// Blocks are released in reverse order, as the pool requires.
class Work {
 public:
  Work(bool pool, const char *func) : pool_(pool), func_(func) {}
  ~Work() {
    Free(list1);
    Free(list0);
    Free(imp);
    if (rows != nullptr) {
      for (int i = rowsMade_ - 1; i >= 0; --i) Free(rows[i]);
      Free(rows);
    }
  }
  Work(const Work &) = delete;
  Work &operator=(const Work &) = delete;

  // Allocates everything for n pairs; false (logged) when memory is short.
  bool Make(uint16_t n, bool logRowFailure) {
    rows = static_cast<uint8_t **>(Alloc(static_cast<int32_t>(n * sizeof(uint8_t *))));
    if (rows == nullptr) {
      ZQ_LOG_FAIL_IN(func_, "ZqRansacNew", "pDArray == NULL");
      return false;
    }
    for (int i = 0; i < n; ++i) {
      rows[i] = static_cast<uint8_t *>(Alloc(n));
      if (rows[i] == nullptr) {
        if (logRowFailure) QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "ZqRansacNew...pDArray[%d] == NULL", i);
        return false;
      }
      rowsMade_ = i + 1;
    }
    imp = static_cast<uint8_t *>(Alloc(n));
    if (imp == nullptr) {
      ZQ_LOG_FAIL_IN(func_, "ZqRansacNew", "pImportance == NULL");
      return false;
    }
    // One spare entry each: the seed is appended after the kept entries.
    const int32_t listBytes = static_cast<int32_t>((n + 1) * sizeof(uint16_t));
    list0 = static_cast<uint16_t *>(Alloc(listBytes));
    if (list0 == nullptr) {
      ZQ_LOG_FAIL_IN(func_, "ZqRansacNew", "pConsTmp1 == NULL");
      return false;
    }
    list1 = static_cast<uint16_t *>(Alloc(listBytes));
    if (list1 == nullptr) {
      ZQ_LOG_FAIL_IN(func_, "ZqRansacNew", "pConsTmp2 == NULL");
      return false;
    }
    return true;
  }

  uint8_t **rows = nullptr;
  uint8_t *imp = nullptr;
  uint16_t *list0 = nullptr;
  uint16_t *list1 = nullptr;

 private:
  void *Alloc(int32_t bytes) { return pool_ ? ZqSafeAllocInMemBlock(bytes) : ZqSafeAlloc(bytes); }
  void Free(void *p) {
    if (p == nullptr) return;
    if (pool_) {
      ZqSafeFreeInMemBlock(p);
    } else {
      ZqSafeFree(p);
    }
  }

  bool pool_;
  const char *func_;
  int rowsMade_ = 0;
};

// Sum of the n bytes of row, in uint8 arithmetic (the count of its set
// entries when they are 0 or 1 and fewer than 256), sixteen at a time.
inline uint8_t ByteSum(const uint8_t *row, int n) {
  __m128i acc = _mm_setzero_si128();
  int m = 0;
  for (; m + 16 <= n; m += 16)
    acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(row + m)),
                                          _mm_setzero_si128()));
  uint64_t sum = static_cast<uint64_t>(_mm_cvtsi128_si64(acc)) +
                 static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
  for (; m < n; ++m) sum += row[m];
  return static_cast<uint8_t>(sum);
}

// The triangle matrix of seed s over the candidate list L, one triangle at
// a time: E[r][m] = E[m][r] = 1 for the pairs whose triangles around the
// seed agree, the diagonal 1. Rows must be cleared.
template <class V>
void TrianglesPlain(const typename V::Point *P, const typename V::Point *Q, const uint16_t *L,
                    uint16_t len, uint16_t s, uint8_t **E) {
  for (int r = 0; r < len; ++r) {
    E[r][r] = 1;
    if (L[r] == s) continue;
    for (int m = r + 1; m < len; ++m) {
      if (L[m] == s) continue;
      if (V::Triangle(P, Q, L[r], L[m], s)) E[r][m] = E[m][r] = 1;
    }
  }
}

// The pair matrix, one pair at a time: D[i][j] = 1 where the distances of
// pairs i and j agree within 2 pixels, the diagonal 1. Rows must be cleared.
template <class V>
void DistancesPlain(const typename V::Point *P, const typename V::Point *Q, uint16_t n,
                    uint8_t **D) {
  for (int i = 0; i < n; ++i) D[i][i] = 1;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const float dP = V::Dist(P[i], P[j]);
      const float dQ = V::Dist(Q[i], Q[j]);
      if (fabsf(dP - dQ) < 2.0f) D[i][j] = D[j][i] = 1;
    }
  }
}

// One pass over the candidate list L (len entries) of seed s: triangle
// matrix, best-connected part, two estimates. Returns the consensus size and
// leaves the set in L[0 .. N-1] and the transform in *out, or 0.
template <class V>
int SeedPass(const typename V::Point *P, const typename V::Point *Q, Work &w, uint16_t *L,
             uint16_t len, uint16_t s, ST_FullHMatrix *out) {
  uint8_t **E = w.rows;
  uint8_t *imp = w.imp;
  for (int r = 0; r < len; ++r) memset(E[r], 0, len);
  if constexpr (requires { V::Triangles(P, Q, L, len, s, E); }) {
    V::Triangles(P, Q, L, len, s, E);
  } else {
    TrianglesPlain<V>(P, Q, L, len, s, E);
  }
  memset(imp, 0, len);
  int best = 0;
  for (int r = 0; r < len; ++r) {
    const uint8_t sum = ByteSum(E[r], len);
    imp[r] = sum;
    if (sum > imp[best]) best = r;
  }
  if (len <= 2) return 0;

  int k = 0;
  for (int m = 0; m < len; ++m) {
    if (E[best][m] != 0 && imp[m] >= 4) L[k++] = L[m];
  }
  L[k] = s;
  const int count = k + 1;
  if (count <= 4) return 0;

  float dx = 0.0f, dy = 0.0f, dtheta = 0.0f;
  V::Estimate(&dx, &dy, &dtheta, P, Q, L, static_cast<uint16_t>(k));
  float sn, cs;
  sincosf(dtheta, &sn, &cs);
  int N = 0;
  for (int o = 0; o < count; ++o) {
    const uint16_t i = L[o];
    if (V::Inlier(P[i], Q[i], cs, sn, dx, dy)) L[N++] = i;
  }
  if (N <= 4) return 0;
  V::Estimate(&dx, &dy, &dtheta, P, Q, L, static_cast<uint16_t>(N));
  sincosf(dtheta, &sn, &cs);
  if (N != count && L[N - 1] != s) return 0;
  *out = RigidMatrix(cs, sn, dx, dy, dtheta);
  return N;
}

// The registration procedure; func names the entry point in the log.
template <class V>
int Register(const typename V::Point *P, const typename V::Point *Q, uint16_t n,
             ST_FullHMatrix *H, uint16_t *consensusSetIndex, const char *func) {
  if (P == nullptr || Q == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqRansacNew", "(refSet == NULL) || (testSet == NULL)");
    return V::kBadInput;
  }
  if (n < 3) {
    QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "ZqRansacNew...setLength < 3");
    return V::kBadInput;
  }
  if (n > ZQ_RANSAC_MAX_PAIRS) {
    ZQ_LOG_FAIL_IN(func, "ZqRansacNew", "setLength > 255");
    return V::kBadInput;
  }
  Work w(V::kPool, func);
  if (!w.Make(n, V::kLogRowFailure)) return ZQ_ERR_ALLOC;

  // Pairs whose mutual distances agree within 2 pixels.
  uint8_t **D = w.rows;
  if constexpr (requires { V::Distances(P, Q, n, D); }) {
    V::Distances(P, Q, n, D);
  } else {
    DistancesPlain<V>(P, Q, n, D);
  }
  // 8-bit importances: n <= 255 keeps every row sum exact.
  uint8_t *imp = w.imp;
  int first = 0, second = 0;
  uint8_t firstVal = 0, secondVal = 0;
  for (int i = 0; i < n; ++i) {
    const uint8_t sum = ByteSum(D[i], n);
    imp[i] = sum;
    if (sum > firstVal) {
      second = first;
      secondVal = firstVal;
      first = i;
      firstVal = sum;
    } else if (sum > secondVal) {
      second = i;
      secondVal = sum;
    }
  }
  const uint16_t seeds[2] = {static_cast<uint16_t>(first), static_cast<uint16_t>(second)};
  uint16_t *lists[2] = {w.list0, w.list1};
  uint16_t lens[2] = {0, 0};
  for (int m = 0; m < n; ++m) {
    if (imp[m] < 5) continue;
    for (int p = 0; p < 2; ++p) {
      if (D[seeds[p]][m] != 0) lists[p][lens[p]++] = static_cast<uint16_t>(m);
    }
  }

  for (int p = 0; p < 2; ++p) {
    if (lens[p] == 0) continue;
    ST_FullHMatrix found;
    const int N = SeedPass<V>(P, Q, w, lists[p], lens[p], seeds[p], &found);
    if (N == 0) continue;
    if (consensusSetIndex != nullptr) {
      for (int o = 0; o < N; ++o) consensusSetIndex[o] = lists[p][o];
    }
    if (H != nullptr) *H = found;
    return N;
  }
  return 0;
}

// Shared argument checks of the estimators; false (logged under func) when
// the outputs must stay untouched.
template <class Point>
bool EstimateArgsOk(const float *dx, const float *dy, const float *dtheta, const Point *P,
                    const Point *Q, const uint16_t *idx, uint16_t count, const char *func) {
  if (dx == nullptr || dy == nullptr || dtheta == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqEstimateRotParms", "(dx == NULL) || (dy == NULL) || (dtheta == NULL)");
    return false;
  }
  if (idx == nullptr || count == 0) {
    ZQ_LOG_FAIL_IN(func, "ZqEstimateRotParms", "(consensusSetIndex == NULL) || (consensusSetNums == 0)");
    return false;
  }
  if (P == nullptr || Q == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqEstimateRotParms", "(refSet == NULL) || (testSet == NULL)");
    return false;
  }
  return true;
}

// Writes the angle and the mean shift that maps Q onto P under it.
template <class Point>
void FinishEstimate(float *dx, float *dy, float *dtheta, float angle, const Point *P,
                    const Point *Q, const uint16_t *idx, uint16_t count) {
  float sn, cs;
  sincosf(angle, &sn, &cs);
  float sx = 0.0f, sy = 0.0f;
  for (int k = 0; k < count; ++k) {
    const Point &p = P[idx[k]];
    const Point &q = Q[idx[k]];
    const float qx = static_cast<float>(q.x), qy = static_cast<float>(q.y);
    sx += static_cast<float>(p.x) - (cs * qx - sn * qy);
    sy += static_cast<float>(p.y) - (sn * qx + cs * qy);
  }
  const float n = static_cast<float>(count);
  *dx = sx / n;
  *dy = sy / n;
  *dtheta = angle;
}

}  // namespace zq_ransac

#endif  // SRC_FEATURES_ZQRANSACPROCEDURE_H_
