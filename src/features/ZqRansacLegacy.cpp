#include "src/features/ZqRansacLegacy.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

#include "src/features/ZqRansac.h"
#include "src/features/ZqRansacProcedure.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqInterp3D.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr int kMaxRounds = 10;

// Squared distance of two int16 points, exact.
int64_t Dist2(const ST_Point16s &a, const ST_Point16s &b) {
  const int64_t dx = static_cast<int64_t>(a.x) - b.x;
  const int64_t dy = static_cast<int64_t>(a.y) - b.y;
  return dx * dx + dy * dy;
}

// Keeps rows and columns oldPos(0 .. kept-1) (increasing) of the matrix d,
// read with srcStride and written with dstStride <= srcStride. In place is
// safe: every entry moves to an address no later than its own, and no
// source still to be read lies before a written one.
template <class OldPos>
void CompactMatrix(uint8_t *d, int srcStride, int dstStride, int kept, OldPos oldPos) {
  for (int r = 0; r < kept; ++r) {
    const int from = oldPos(r) * srcStride;
    for (int c = 0; c < kept; ++c) d[r * dstStride + c] = d[from + oldPos(c)];
  }
}

// Row sums of the count x count matrix d (stride `stride`) into imp.
void RowSums(const uint8_t *d, int stride, int count, int16_t *imp) {
  for (int r = 0; r < count; ++r) {
    int sum = 0;
    for (int c = 0; c < count; ++c) sum += d[r * stride + c];
    imp[r] = static_cast<int16_t>(sum);
  }
}

// sin and cos of dtheta through the double-precision sincos, as floats.
void SinCosDouble(float dtheta, float *s, float *c) {
  double sd, cd;
  sincos(static_cast<double>(dtheta), &sd, &cd);
  *s = static_cast<float>(sd);
  *c = static_cast<float>(cd);
}

// The working memory of ZqRansac, released in one place.
struct LegacyWork {
  uint8_t *d = nullptr;
  int16_t *importance = nullptr;
  uint16_t *index = nullptr;
  ST_Point16s *ref2 = nullptr;
  ST_Point16s *test2 = nullptr;
  uint16_t *roundSet = nullptr;
  uint16_t *bestSet = nullptr;
  ~LegacyWork() {
    ZqSafeFree(bestSet);
    ZqSafeFree(roundSet);
    ZqSafeFree(test2);
    ZqSafeFree(ref2);
    ZqSafeFree(index);
    ZqSafeFree(importance);
    ZqSafeFree(d);
  }
  // False (logged) when a block cannot be had.
  bool Make(uint16_t n) {
    const int32_t shorts = static_cast<int32_t>(n * sizeof(uint16_t));
    const int32_t two = static_cast<int32_t>(2 * sizeof(ST_Point16s));
    if ((d = static_cast<uint8_t *>(ZqSafeAlloc(n * n))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "d == NULL");
    } else if ((importance = static_cast<int16_t *>(ZqSafeAlloc(shorts))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "ptImportance == NULL");
    } else if ((index = static_cast<uint16_t *>(ZqSafeAlloc(shorts))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "ptIndex == NULL");
    } else if ((ref2 = static_cast<ST_Point16s *>(ZqSafeAlloc(two))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "initRef2Pts == NULL");
    } else if ((test2 = static_cast<ST_Point16s *>(ZqSafeAlloc(two))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "initTest2Pts == NULL");
    } else if ((roundSet = static_cast<uint16_t *>(ZqSafeAlloc(shorts))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "roundSet == NULL");
    } else if ((bestSet = static_cast<uint16_t *>(ZqSafeAlloc(shorts))) == nullptr) {
      ZQ_LOG_FAIL("ZqRansac", "bestSet == NULL");
    } else {
      return true;
    }
    return false;
  }
};

}  // namespace

extern "C" int ZqRansac(const ST_Point16s *refSet, const ST_Point16s *testSet, uint16_t setLength,
                        ST_FullHMatrix *H, uint16_t *consensusSetIndex) {
  ZQ_CHECK((refSet == NULL) || (testSet == NULL), 0);
  const int n = setLength;
  if (n < 3) return 0;  // fewer than three candidates can exist
  ZQ_CHECK(setLength > ZQ_RANSAC_MAX_PAIRS, 0);
  LegacyWork w;
  if (!w.Make(setLength)) {
    if (H != NULL) *H = zq_ransac::RigidMatrix(1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    return 0;
  }
  const ST_Point16s *P = refSet;
  const ST_Point16s *Q = testSet;
  uint8_t *d = w.d;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const int64_t q2 = Dist2(Q[i], Q[j]);
      const int64_t p2 = Dist2(P[i], P[j]);
      const double gap = trunc(sqrt(static_cast<double>(q2)) - sqrt(static_cast<double>(p2)));
      if (q2 != 0 && p2 != 0 && fabs(gap) <= 3.0) d[i * n + j] = d[j * n + i] = 1;
    }
  }
  RowSums(d, n, n, w.importance);
  int m = 0;
  for (int i = 0; i < n; ++i) {
    if (w.importance[i] > 2) w.index[m++] = static_cast<uint16_t>(i);
  }
  if (m <= 2) return 0;
  if (m < n) {
    CompactMatrix(d, n, m, m, [&](int k) { return static_cast<int>(w.index[k]); });
    RowSums(d, m, m, w.importance);
  }

  const int half = n / 2;
  int best = 0, result = 0;
  bool early = false;
  float bdx = 0.0f, bdy = 0.0f, bdtheta = 0.0f;
  uint16_t left = static_cast<uint16_t>(m);
  for (int round = 0; round < kMaxRounds;) {
    if (!ZqFindCandi2Pts(w.ref2, w.test2, P, Q, d, w.importance, w.index,
                         static_cast<uint16_t>(m), &left)) {
      break;
    }
    float dx, dy, dtheta;
    ZqEstimateRotParms2Pts(w.ref2, w.test2, &dx, &dy, &dtheta);
    const int c = ZqGetConsensusSet(w.roundSet, P, Q, setLength, dx, dy, dtheta);
    if (c >= half || c >= best) {
      // Keep the set of the best round, not of the last one examined.
      if (c > 0) {
        ZqEstimateRotParms(&bdx, &bdy, &bdtheta, P, Q, w.roundSet, static_cast<uint16_t>(c));
        memcpy(w.bestSet, w.roundSet, static_cast<size_t>(c) * sizeof(uint16_t));
      }
      best = c;
      if (c >= half) {
        result = c;
        early = true;
        break;
      }
    }
    if (left <= 1) break;
    ZqUpdateItems(w.importance, w.index, static_cast<uint16_t>(m), &left, d,
                  static_cast<uint16_t>(c), w.roundSet);
    ++round;
    if (left <= 1) break;
  }
  if (!early) result = best;

  if (H != NULL) {
    float s, c;
    sincosf(bdtheta, &s, &c);
    *H = zq_ransac::RigidMatrix(c, s, bdx, bdy, bdtheta);
  }
  if (consensusSetIndex != NULL && result > 0) {
    memcpy(consensusSetIndex, w.bestSet, static_cast<size_t>(result) * sizeof(uint16_t));
  }
  return result;
}

extern "C" int ZqFindCandi2Pts(ST_Point16s *initRef2Pts, ST_Point16s *initTest2Pts,
                               const ST_Point16s *refSet, const ST_Point16s *testSet, uint8_t *d,
                               int16_t *ptImportance, uint16_t *ptIndex, uint16_t stride,
                               uint16_t *leftCount) {
  ZQ_CHECK((initRef2Pts == NULL) || (initTest2Pts == NULL) || (refSet == NULL) ||
               (testSet == NULL) || (d == NULL) || (ptImportance == NULL) ||
               (ptIndex == NULL) || (leftCount == NULL),
           0);
  int n = *leftCount;
  ZQ_CHECK(n > stride, 0);
  if (n <= 2) return 0;
  const int32_t bytes = static_cast<int32_t>(n * sizeof(int16_t));
  auto *tempImportance = static_cast<int16_t *>(ZqSafeAlloc(bytes));
  if (tempImportance == NULL) {
    ZQ_LOG_FAIL("ZqFindCandi2Pts", "tempImportance == NULL");
    return 0;
  }
  auto *tempIndex = static_cast<uint16_t *>(ZqSafeAlloc(bytes));
  if (tempIndex == NULL) {
    ZQ_LOG_FAIL("ZqFindCandi2Pts", "tempIndex == NULL");
    ZqSafeFree(tempImportance);
    return 0;
  }
  int found = 0;
  while (n > 2 && !found) {
    const int b = ZqMaxValueIndex(ptImportance, static_cast<uint16_t>(n));
    const uint8_t *rowB = d + b * stride;
    int k = 0;
    for (int j = 0; j < n; ++j) {
      if (rowB[j] == 1) {
        tempImportance[k] = ptImportance[j];
        tempIndex[k] = static_cast<uint16_t>(j);
        ++k;
      }
    }
    for (int tries = 0; tries < k && !found; ++tries) {
      const int q = ZqMaxValueIndex(tempImportance, static_cast<uint16_t>(k));
      const int c = tempIndex[q];
      const uint8_t *rowC = d + c * stride;
      for (int j = 0; j < n; ++j) {
        if (rowB[j] == 1 && rowC[j] == 1) {
          found = 1;
          break;
        }
      }
      if (found) {
        initRef2Pts[0] = refSet[ptIndex[b]];
        initRef2Pts[1] = refSet[ptIndex[c]];
        initTest2Pts[0] = testSet[ptIndex[b]];
        initTest2Pts[1] = testSet[ptIndex[c]];
      } else {
        tempImportance[q] = 0;
      }
    }
    if (found) break;
    // b has no usable neighbour: drop it, the importances stay as they are.
    --n;
    for (int j = b; j < n; ++j) {
      ptIndex[j] = ptIndex[j + 1];
      ptImportance[j] = ptImportance[j + 1];
    }
    CompactMatrix(d, stride, stride, n, [b](int k) { return k < b ? k : k + 1; });
  }
  *leftCount = static_cast<uint16_t>(n);
  ZqSafeFree(tempIndex);
  ZqSafeFree(tempImportance);
  return found;
}

extern "C" void ZqEstimateRotParms2Pts(const ST_Point16s ref[2], const ST_Point16s test[2],
                                       float *dx, float *dy, float *dtheta) {
  ZQ_CHECK_VOID((ref == NULL) || (test == NULL) || (dx == NULL) || (dy == NULL) ||
                (dtheta == NULL));
  const int64_t rx = static_cast<int64_t>(ref[0].x) - ref[1].x;
  const int64_t ry = static_cast<int64_t>(ref[0].y) - ref[1].y;
  const int64_t tx = static_cast<int64_t>(test[0].x) - test[1].x;
  const int64_t ty = static_cast<int64_t>(test[0].y) - test[1].y;
  float angle, s, c;
  if (rx + ty == 0 && ry == tx) {
    angle = 1.5707964f;
    s = 1.0f;
    c = -4.371139e-8f;
  } else if (ry + tx == 0 && rx == ty) {
    angle = 4.712389f;
    s = -1.0f;
    c = 1.1924881e-8f;
  } else {
    const int64_t dot = rx * tx + ry * ty;
    const int64_t cross = tx * ry - ty * rx;
    angle = static_cast<float>(atan(static_cast<double>(cross) / (static_cast<double>(dot) + 1e-10)));
    if (dot < 0) angle += 3.1415927f;
    if (angle < 0.0f) angle += 6.2831855f;
    SinCosDouble(angle, &s, &c);
  }
  const float t0x = test[0].x, t0y = test[0].y, t1x = test[1].x, t1y = test[1].y;
  *dx = ((ref[0].x - (c * t0x - s * t0y)) + (ref[1].x - (c * t1x - s * t1y))) / 2.0f;
  *dy = ((ref[0].y - (s * t0x + c * t0y)) + (ref[1].y - (s * t1x + c * t1y))) / 2.0f;
  *dtheta = angle;
}

extern "C" int ZqGetConsensusSet(uint16_t *consensusSetIndex, const ST_Point16s *refSet,
                                 const ST_Point16s *testSet, uint16_t setLength, float dx,
                                 float dy, float dtheta) {
  ZQ_CHECK((consensusSetIndex == NULL) || (refSet == NULL) || (testSet == NULL), 0);
  float s, c;
  SinCosDouble(dtheta, &s, &c);
  int count = 0;
  for (int j = 0; j < setLength; ++j) {
    const float qx = testSet[j].x, qy = testSet[j].y;
    const float rx = refSet[j].x - c * qx + s * qy - dx;
    const float ry = refSet[j].y - s * qx - c * qy - dy;
    if (fabsf(rx) + fabsf(ry) < 4.0f) consensusSetIndex[count++] = static_cast<uint16_t>(j);
  }
  return count;
}

extern "C" void ZqUpdateItems(int16_t *ptImportance, uint16_t *ptIndex, uint16_t stride,
                              uint16_t *leftCount, uint8_t *d, uint16_t consensusSetNums,
                              const uint16_t *consensusSetIndex) {
  ZQ_CHECK_VOID((ptImportance == NULL) || (ptIndex == NULL) || (leftCount == NULL) ||
                (d == NULL) || (consensusSetNums != 0 && consensusSetIndex == NULL));
  const int m = *leftCount;
  ZQ_CHECK_VOID(m > stride);
  if (m == 0) return;
  auto *newLeftPtIndex = static_cast<uint16_t *>(
      ZqSafeAlloc(static_cast<int32_t>(m * sizeof(uint16_t))));
  if (newLeftPtIndex == NULL) {
    ZQ_LOG_FAIL("ZqUpdateItems", "newLeftPtIndex == NULL");
    return;
  }
  // Both lists increase, so one forward walk marks every match; position 0
  // is searched like any other.
  int from = 0;
  for (int k = 0; k < consensusSetNums; ++k) {
    for (int p = from; p < m; ++p) {
      if (ptIndex[p] == consensusSetIndex[k]) {
        ptIndex[p] = ZQ_REMOVED_CANDIDATE;
        from = p + 1;
        break;
      }
    }
  }
  int kept = 0;
  for (int p = 0; p < m; ++p) {
    if (ptIndex[p] == ZQ_REMOVED_CANDIDATE) continue;
    ptIndex[kept] = ptIndex[p];
    ptImportance[kept] = ptImportance[p];
    newLeftPtIndex[kept] = static_cast<uint16_t>(p);
    ++kept;
  }
  if (kept > 1) {
    CompactMatrix(d, stride, stride, kept, [newLeftPtIndex](int k) {
      return static_cast<int>(newLeftPtIndex[k]);
    });
  }
  *leftCount = static_cast<uint16_t>(kept);
  ZqSafeFree(newLeftPtIndex);
}
