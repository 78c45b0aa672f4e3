// The weak-area fallback of identification: partial matches of several
// sub-templates of one finger, each too weak alone, registered together.
#include <stdlib.h>

#include "src/ZqAlg/ZqVerifyByTemplateParts.h"
#include "src/features/ZqGeomMath.h"
#include "src/features/ZqRansac.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_alg {

namespace {

// A group whose areas agreed this well passes without a success run.
constexpr float kGroupRatio = 0.85f;
// Test points this close (on both axes) to an earlier one are duplicates.
constexpr int32_t kDuplicateDistance = 2;

int16_t ToPixel(float v) {
  if (!(v > -32768.0f && v < 32767.0f)) return 0;
  return static_cast<int16_t>(ZqRoundHalfAway(v));
}

int32_t AreaPoints(const ST_QuorvMatchArea &a) {
  if (a.pointNum < 0) return 0;
  return a.pointNum < ZQ_AREA_POINTS_MAX ? a.pointNum : ZQ_AREA_POINTS_MAX;
}

// The three work arrays, released on every path.
struct Work {
  ST_Point16s *ref = nullptr;
  ST_Point16s *test = nullptr;
  uint16_t *index = nullptr;
  ~Work() {
    ZqSafeFree(index);
    ZqSafeFree(test);
    ZqSafeFree(ref);
  }
};

// Zeroes the later duplicates of every kept test point and compacts the
// pairs left; returns their number.
int32_t DropDuplicates(ST_Point16s *ref, ST_Point16s *test, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (test[i].x == 0 && test[i].y == 0) continue;
    for (int32_t j = i + 1; j < n; ++j) {
      if (abs(test[j].x - test[i].x) <= kDuplicateDistance &&
          abs(test[j].y - test[i].y) <= kDuplicateDistance)
        test[j] = ST_Point16s{0, 0};
    }
  }
  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (test[i].x == 0 && test[i].y == 0) continue;
    ref[kept] = ref[i];
    test[kept] = test[i];
    ++kept;
  }
  return kept;
}

}  // namespace

int PoolWeakAreas(ST_QuorvAreaMatchToplogy *pool, const WeakPoolRule &rule, int32_t *verifyScores,
                  int32_t *verifyFingerId, int32_t *finger) {
  const int32_t areas = pool->areaNum < ZQ_AREAS_MAX ? pool->areaNum : ZQ_AREAS_MAX;
  int32_t capacity = 1;
  for (int32_t a = 0; a < areas; ++a) capacity += AreaPoints(pool->areas[a]);
  Work w;
  w.ref =
      static_cast<ST_Point16s *>(ZqSafeAlloc(capacity * static_cast<int32_t>(sizeof(ST_Point16s))));
  w.test =
      static_cast<ST_Point16s *>(ZqSafeAlloc(capacity * static_cast<int32_t>(sizeof(ST_Point16s))));
  w.index = static_cast<uint16_t *>(ZqSafeAlloc(capacity * static_cast<int32_t>(sizeof(uint16_t))));
  if (w.ref == nullptr || w.test == nullptr || w.index == nullptr) {
    QUORV_LOGE("%s...tempPointPos == NULL", "ZqVerifyByTemplate");
    return -2;
  }
  for (int32_t a = 0; a < areas; ++a) {
    ST_QuorvMatchArea &head = pool->areas[a];
    if (head.usedFlg != 0) continue;
    int32_t n = 0;
    float ratio = head.ratio;
    for (int32_t b = a; b < areas; ++b) {
      ST_QuorvMatchArea &area = pool->areas[b];
      if (area.usedFlg != 0 && b != a) continue;
      if (b != a && area.fingerId != head.fingerId) continue;
      area.usedFlg = 1;
      if (area.ratio > ratio) ratio = area.ratio;
      for (int32_t p = 0; p < AreaPoints(area); ++p, ++n) {
        w.ref[n] = ST_Point16s{ToPixel(area.tempPoints[p].x), ToPixel(area.tempPoints[p].y)};
        w.test[n] = ST_Point16s{ToPixel(area.samplePoints[p].x), ToPixel(area.samplePoints[p].y)};
      }
    }
    if (n < rule.threshold) continue;
    n = DropDuplicates(w.ref, w.test, n);
    for (int32_t i = 0; i < n; ++i) w.index[i] = static_cast<uint16_t>(i);
    ST_FullHMatrix h{};
    int inliers = ZqRansacNew(w.ref, w.test, static_cast<uint16_t>(n), &h, w.index);
    if (inliers < 0) inliers = 0;
    QUORV_LOGD("%s...area group finger = %d, points = %d, inliers = %d, ratio = %f",
               "ZqVerifyByTemplate", head.fingerId, n, inliers, static_cast<double>(ratio));
    if (inliers > *verifyScores) {
      *verifyScores = inliers;
      *verifyFingerId = head.fingerId;
    }
    const bool accept =
        rule.adjustMatchEn == 1
            ? inliers >= rule.threshold && (rule.successRun != 0 || ratio >= kGroupRatio)
            : rule.adjustMatchEn == 0 && inliers > rule.threshold + 2;
    if (accept) {
      *finger = head.fingerId;
      return 0;
    }
  }
  return -1;
}

}  // namespace zq_alg
