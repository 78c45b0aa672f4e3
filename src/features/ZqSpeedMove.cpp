// Finger movement speed; see ZqSpeedMove.h.
#include "src/features/ZqSpeedMove.h"

#include <float.h>
#include <math.h>
#include <stddef.h>

#include <algorithm>

#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqNonFingerDetect.h"
#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr float kAreaDiver = 20.0f;
constexpr float kDstDiver = 15.0f;
constexpr float kHistDiverLimit = 30.0f;

float areaDiver = kAreaDiver;
float dstDiver = kDstDiver;
float histDiverLimit = kHistDiverLimit;

constexpr int32_t kHalfPatch = ZQ_MV_PATCH_SIDE / 2;       // 7
constexpr int32_t kPatchSize = ZQ_MV_PATCH_SIDE * ZQ_MV_PATCH_SIDE;
constexpr int32_t kPeakReach = 10;                          // 21 x 21 window
constexpr float kMinMagnitude = 2.0f;

inline int32_t PointX(uint32_t p) { return static_cast<int16_t>(p & 0xFFFFu); }
inline int32_t PointY(uint32_t p) { return static_cast<int16_t>(p >> 16); }
inline uint32_t PackPoint(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
         static_cast<uint16_t>(x);
}

// Sobel magnitude of m over the inner pixels, borders copied from their
// inner neighbours.
void Magnitude(const uint8_t *m, int32_t rows, int32_t cols, float *g) {
  auto M = [&](int32_t r, int32_t c) { return static_cast<int32_t>(m[static_cast<size_t>(r) * cols + c]); };
  auto G = [&](int32_t r, int32_t c) -> float & { return g[static_cast<size_t>(r) * cols + c]; };
  for (int32_t r = 1; r < rows - 1; ++r) {
    for (int32_t c = 1; c < cols - 1; ++c) {
      const int32_t gx = (M(r - 1, c + 1) + 2 * M(r, c + 1) + M(r + 1, c + 1)) -
                         (M(r - 1, c - 1) + 2 * M(r, c - 1) + M(r + 1, c - 1));
      const int32_t gy = (M(r + 1, c - 1) + 2 * M(r + 1, c) + M(r + 1, c + 1)) -
                         (M(r - 1, c - 1) + 2 * M(r - 1, c) + M(r - 1, c + 1));
      G(r, c) = sqrtf(static_cast<float>(gx * gx + gy * gy));
    }
  }
  for (int32_t c = 1; c < cols - 1; ++c) {
    G(0, c) = G(1, c);
    G(rows - 1, c) = G(rows - 2, c);
  }
  for (int32_t r = 0; r < rows; ++r) {
    G(r, 0) = G(r, 1);
    G(r, cols - 1) = G(r, cols - 2);
  }
}

// True when no pixel within kPeakReach of (r, c) has a larger magnitude.
bool IsLocalMax(const float *g, int32_t rows, int32_t cols, int32_t r, int32_t c) {
  const float v = g[static_cast<size_t>(r) * cols + c];
  const int32_t r0 = std::max(r - kPeakReach, 0), r1 = std::min(r + kPeakReach, rows - 1);
  const int32_t c0 = std::max(c - kPeakReach, 0), c1 = std::min(c + kPeakReach, cols - 1);
  for (int32_t y = r0; y <= r1; ++y) {
    const float *row = g + static_cast<size_t>(y) * cols;
    for (int32_t x = c0; x <= c1; ++x) {
      if (row[x] > v) return false;
    }
  }
  return true;
}

// Patch cost: sqrt(sum (d - mean d)^2) / k over the k positions held by
// both patches, d = p1 - p2; FLT_MAX when there is none or it is not finite.
float PatchCost(const int16_t *p1, const int16_t *p2) {
  int32_t k = 0, sum = 0;
  for (int32_t i = 0; i < kPatchSize; ++i) {
    if (p1[i] < 0 || p2[i] < 0) continue;
    ++k;
    sum += p1[i] - p2[i];
  }
  if (k == 0) return FLT_MAX;
  const float mean = static_cast<float>(sum) / static_cast<float>(k);
  float dev = 0.0f;
  for (int32_t i = 0; i < kPatchSize; ++i) {
    if (p1[i] < 0 || p2[i] < 0) continue;
    const float d = static_cast<float>(p1[i] - p2[i]) - mean;
    dev += d * d;
  }
  const float cost = sqrtf(dev) / static_cast<float>(k);
  return isfinite(cost) ? cost : FLT_MAX;
}

// Covered area in the upper 32 bits, the finger flag in the low byte.
uint64_t Describe(const uint8_t *img, uint16_t width, uint16_t height) {
  const int32_t area = ZqGetImgArea_ZE4850(img, width, height);
  float p = 0.0f;
  const uint64_t finger = NonFingerDetect(img, width, height, &p) == 0 ? 1 : 0;
  return (static_cast<uint64_t>(static_cast<uint32_t>(area)) << 32) | finger;
}

}  // namespace

extern "C" {

void ZqSetMoveSpeedAreaDiver(float v) { areaDiver = v; }
void ZqSetMoveSpeedDstDiver(float v) { dstDiver = v; }
void ZqSetMoveSpeedHistDiverLimit(float v) { histDiverLimit = v; }

void ZqSpeedMoveResetForTest(void) {
  areaDiver = kAreaDiver;
  dstDiver = kDstDiver;
  histDiverLimit = kHistDiverLimit;
}

int32_t ZqMvKeyPointsInit(ST_MvKeyPoints *list) {
  ZQ_CHECK(list == NULL, -1);
  list->count = 0;
  list->points = static_cast<uint32_t *>(ZqSafeAlloc(ZQ_MV_MAX_POINTS * sizeof(uint32_t)));
  ZQ_CHECK(list->points == NULL, -2);
  return 0;
}

int32_t ZQMvKeyPointsUnInit(ST_MvKeyPoints *list) {
  ZQ_CHECK(list == NULL, -1);
  ZqSafeFree(list->points);
  list->points = NULL;
  list->count = 0;
  return 0;
}

ST_SpeedFeat *ZqSpeedFeatCreate(int32_t n, int32_t max) {
  const int32_t count = std::min(n, max);
  if (count <= 0) return NULL;
  return static_cast<ST_SpeedFeat *>(
      ZqSafeAlloc(static_cast<int32_t>(static_cast<size_t>(count) * sizeof(ST_SpeedFeat))));
}

void zq_search_feat_pair_helper(const uint8_t *img, int32_t rows, int32_t cols, uint32_t point,
                                int16_t *patch) {
  const int32_t x = PointX(point), y = PointY(point);
  int16_t *out = patch;
  for (int32_t r = y - kHalfPatch; r <= y + kHalfPatch; ++r) {
    for (int32_t c = x - kHalfPatch; c <= x + kHalfPatch; ++c) {
      const bool inside = r >= 0 && r < rows && c >= 0 && c < cols;
      *out++ = inside ? img[static_cast<size_t>(r) * cols + c] : -1;
    }
  }
}

int32_t ZqCalculateMagnitudePoint(const uint8_t *img, int32_t rows, int32_t cols,
                                  ST_MvKeyPoints *list) {
  ZQ_CHECK(img == NULL || list == NULL || list->points == NULL, -1);
  list->count = 0;
  // The peak scan needs 15 rows and columns; MeanImage takes 16-bit sides.
  if (rows < ZQ_MV_PATCH_SIDE || cols < ZQ_MV_PATCH_SIDE) return 0;
  ZQ_CHECK(rows > 65535 || cols > 65535, -1);
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  ZQ_CHECK(n * sizeof(float) > static_cast<size_t>(INT32_MAX), -3);

  uint8_t *m = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  ZQ_CHECK(m == NULL, -2);
  float *g = static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(n * sizeof(float))));
  if (g == NULL) {
    ZQ_LOG_FAIL("ZqCalculateMagnitudePoint", "g == NULL");
    ZqSafeFree(m);
    return -3;
  }
  if (MeanImage(img, static_cast<uint16_t>(cols), static_cast<uint16_t>(rows), 2, m) != 0) {
    ZQ_LOG_FAIL("ZqCalculateMagnitudePoint", "MeanImage() != 0");
    ZqSafeFree(g);
    ZqSafeFree(m);
    return -4;
  }
  Magnitude(m, rows, cols, g);

  for (int32_t r = kHalfPatch; r <= rows - kHalfPatch - 1; ++r) {
    for (int32_t c = kHalfPatch; c <= cols - kHalfPatch - 1; ++c) {
      if (g[static_cast<size_t>(r) * cols + c] < kMinMagnitude) continue;
      if (!IsLocalMax(g, rows, cols, r, c)) continue;
      list->points[list->count++] = PackPoint(c, r);
      if (list->count == ZQ_MV_MAX_POINTS) goto done;
    }
  }
done:
  ZqSafeFree(g);
  ZqSafeFree(m);
  return 0;
}

int32_t ZqSearchFeatPair(const uint8_t *img1, const uint8_t *img2, int32_t rows, int32_t cols,
                         int16_t count1, const uint32_t *points1, int16_t count2,
                         const uint32_t *points2, ST_SpeedFeat *out) {
  if (count1 <= 0 || count2 <= 0) return 0;
  // Either image missing would be read through; refuse both cases.
  ZQ_CHECK(img1 == NULL || img2 == NULL, -2);
  ZQ_CHECK(points1 == NULL || points2 == NULL || out == NULL, -2);

  const size_t n1 = static_cast<size_t>(count1), n2 = static_cast<size_t>(count2);
  ZQ_CHECK(n1 * n2 * sizeof(float) > static_cast<size_t>(INT32_MAX), -2);
  float *cost = static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(n1 * n2 * sizeof(float))));
  int16_t *patches = static_cast<int16_t *>(
      ZqSafeAlloc(static_cast<int32_t>((n1 + n2) * kPatchSize * sizeof(int16_t))));
  if (cost == NULL || patches == NULL) {
    ZQ_LOG_FAIL("ZqSearchFeatPair", "cost == NULL || patches == NULL");
    ZqSafeFree(patches);
    ZqSafeFree(cost);
    return -2;
  }
  int16_t *patches2 = patches + n1 * kPatchSize;
  for (size_t i = 0; i < n1; ++i)
    zq_search_feat_pair_helper(img1, rows, cols, points1[i], patches + i * kPatchSize);
  for (size_t j = 0; j < n2; ++j)
    zq_search_feat_pair_helper(img2, rows, cols, points2[j], patches2 + j * kPatchSize);
  for (size_t i = 0; i < n1; ++i)
    for (size_t j = 0; j < n2; ++j)
      cost[i * n2 + j] = PatchCost(patches + i * kPatchSize, patches2 + j * kPatchSize);

  const size_t pairs = std::min(n1, n2);
  for (size_t p = 0; p < pairs; ++p) {
    size_t best = 0;
    for (size_t k = 1; k < n1 * n2; ++k) {
      if (cost[k] < cost[best]) best = k;
    }
    const size_t i = best / n2, j = best % n2;
    out[p].cost = cost[best];
    out[p].x1 = static_cast<int16_t>(PointX(points1[i]));
    out[p].y1 = static_cast<int16_t>(PointY(points1[i]));
    out[p].x2 = static_cast<int16_t>(PointX(points2[j]));
    out[p].y2 = static_cast<int16_t>(PointY(points2[j]));
    for (size_t k = 0; k < n2; ++k) cost[i * n2 + k] = FLT_MAX;
    for (size_t k = 0; k < n1; ++k) cost[k * n2 + j] = FLT_MAX;
  }
  ZqSafeFree(patches);
  ZqSafeFree(cost);
  return 0;
}

int32_t ZqSpeedFastJusitfy(const ST_SpeedFeat *pairs, int32_t count, uint64_t s1, uint64_t s2) {
  const int64_t area1 = static_cast<int32_t>(static_cast<uint32_t>(s1 >> 32));
  const int64_t area2 = static_cast<int32_t>(static_cast<uint32_t>(s2 >> 32));
  const float areaChange = static_cast<float>(area1 > area2 ? area1 - area2 : area2 - area1);
  const bool areaChanged = areaChange > areaDiver;
  if (pairs == NULL || count <= 0) return areaChanged ? ZQ_SPEED_MOVED : ZQ_SPEED_STILL;

  const ST_SpeedFeat &best = pairs[0];
  if (best.cost > histDiverLimit) return ZQ_SPEED_MOVED;
  const float dx = static_cast<float>(best.x1 - best.x2);
  const float dy = static_cast<float>(best.y1 - best.y2);
  const float dist = sqrtf(dx * dx + dy * dy);
  if ((s1 & 0xFFu) != (s2 & 0xFFu)) return ZQ_SPEED_MOVED;
  if (dist < 3.0f) {
    if (areaChanged) return ZQ_SPEED_PRESSED;
    return dist > dstDiver ? ZQ_SPEED_MOVED : ZQ_SPEED_STILL;
  }
  return areaChanged || dist > dstDiver ? ZQ_SPEED_MOVED : ZQ_SPEED_STILL;
}

int32_t ZqSpeedFastJustifyExampProcess(const uint8_t *img1, const uint8_t *img2, uint16_t width,
                                       uint16_t height) {
  ZQ_CHECK(img1 == NULL || img2 == NULL, ZQ_SPEED_FAIL);
  ZQ_CHECK(width == 0 || height == 0, ZQ_SPEED_FAIL);
  const uint64_t s1 = Describe(img1, width, height);
  const uint64_t s2 = Describe(img2, width, height);

  ST_MvKeyPoints list1 = {0, NULL}, list2 = {0, NULL};
  int32_t result = ZQ_SPEED_FAIL;
  if (ZqMvKeyPointsInit(&list1) == 0 && ZqMvKeyPointsInit(&list2) == 0 &&
      ZqCalculateMagnitudePoint(img1, height, width, &list1) == 0 &&
      ZqCalculateMagnitudePoint(img2, height, width, &list2) == 0) {
    const int32_t m = std::min(list1.count, list2.count);
    if (m == 0) {
      result = ZqSpeedFastJusitfy(NULL, 0, s1, s2);
    } else {
      ST_SpeedFeat *pairs = ZqSpeedFeatCreate(m, ZQ_MV_MAX_POINTS);
      if (pairs != NULL) {
        const int32_t ret =
            ZqSearchFeatPair(img1, img2, height, width, static_cast<int16_t>(list1.count),
                             list1.points, static_cast<int16_t>(list2.count), list2.points, pairs);
        if (ret != 0) {
          // The zeroed pairs read as a match in place; the result stands.
          QUORV_LOGE("%s...ZqSearchFeatPair failed, ret = %d", __func__, ret);
        }
        result = ZqSpeedFastJusitfy(pairs, m, s1, s2);
        ZqSafeFree(pairs);
      }
    }
  }
  ZQMvKeyPointsUnInit(&list2);
  ZQMvKeyPointsUnInit(&list1);
  return result;
}

}  // extern "C"
