// The older quality scorers; see ZqImgQualityLegacy.h.
#include "src/enhance/ZqImgQualityLegacy.h"

#include <stdlib.h>

#include <algorithm>

#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqImgQualityMasks.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

constexpr uint8_t kSaturation = 250;

// A weight table: weight[i] applies below limit[i]; `last` from the final
// limit on.
struct WeightTable {
  float limit[10];
  int32_t weight[10];
  int32_t last;

  int32_t Of(float s) const {
    for (int i = 0; i < 10; ++i)
      if (s < limit[i]) return weight[i];
    return last;
  }
};

constexpr WeightTable kZe4850Weights = {
    {50, 100, 200, 400, 600, 1200, 2400, 4000, 6000, 8000},
    {0, 10, 20, 30, 40, 60, 80, 100, 80, 60},
    50};
constexpr WeightTable kOtherWeights = {
    {30, 100, 200, 400, 600, 800, 1200, 2000, 3200, 5000},
    {0, 10, 20, 30, 40, 60, 80, 100, 80, 60},
    50};

// The 16 x 16 block-variance scorer shared by ZqImgQuality_ZE4850 and
// ZqImgQuality_Other_v2.
int32_t BlockVarianceScore(const uint8_t *image, int32_t w, int32_t h, uint8_t *area,
                           uint8_t *quality, uint8_t *brightness, uint8_t *validMap,
                           const WeightTable &table) {
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *valid = scratch.Take<uint8_t>(n);
  uint8_t *map = validMap != nullptr ? validMap : scratch.Take<uint8_t>(n / 8 + 1);
  if (valid == nullptr || map == nullptr) return -2;

  int64_t count = 0, sum = 0;
  for (int64_t i = 0; i < n; ++i) {
    valid[i] = image[i] <= kSaturation;
    if (valid[i]) {
      ++count;
      sum += image[i];
    }
  }
  const int32_t areaPct =
      n > 0 ? static_cast<int32_t>(static_cast<float>(count * 100) / static_cast<float>(n)) : 0;
  const int32_t m = count > 0 ? static_cast<int32_t>(sum / count) : 0;
  const int32_t b = static_cast<int32_t>(100.0 * (1.0 - abs(m - 128) * 0.0078125));

  int32_t weights = 0, counted = 0;
  const int32_t hr = h / 16 * 16, wr = w / 16 * 16;
  const int32_t y0 = (h - hr) / 2, x0 = (w - wr) / 2;
  for (int32_t by = y0; by < y0 + hr; by += 16)
    for (int32_t bx = x0; bx < x0 + wr; bx += 16) {
      int64_t p = 0, r = 0, q = 0;
      for (int32_t y = by; y < by + 16; ++y)
        for (int32_t x = bx; x < bx + 16; ++x) {
          const int64_t i = int64_t{y} * w + x;
          if (!valid[i]) continue;
          ++p;
          r += image[i];
          q += int64_t{image[i]} * image[i];
        }
      if (p <= 191) continue;
      ++counted;
      weights += table.Of(static_cast<float>(q * p - r * r) / static_cast<float>(p * p));
    }
  *area = static_cast<uint8_t>(areaPct);
  *brightness = static_cast<uint8_t>(b);
  *quality = static_cast<uint8_t>(areaPct > 0 && counted > 0 ? weights / counted : 0);
  zq::SetMapBits(valid, n, map);
  return 0;
}

// Corner mask: structure planes, response with k = 0.01 above `limit`,
// dilated 8 x 8. 0; -2 allocation; -3 a step failed.
int32_t CornerMask(const uint8_t *image, int32_t w, int32_t h, int32_t limit, uint8_t *corner) {
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  int32_t *ixx = scratch.Take<int32_t>(n);
  int32_t *iyy = scratch.Take<int32_t>(n);
  int32_t *ixy = scratch.Take<int32_t>(n);
  if (ixx == nullptr || iyy == nullptr || ixy == nullptr) return -2;
  std::fill(corner, corner + n, 0);
  if (ZqGetGrad_dxdy(image, h, w, ixx, iyy, ixy) != 0 ||
      ZqCalResponse(ixx, iyy, ixy, corner, h, w, 0.01f) != 0)
    return -3;
  for (int64_t i = 0; i < n; ++i) corner[i] = corner[i] > limit;
  return ZqDilate(corner, h, w, 0, 8, 8, corner) == 0 ? 0 : -3;
}

// Region filter of an older generation, run again on its result when it
// ran out of labels.
template <typename Filter>
int32_t FilterRidges(Filter filter, uint8_t *mask, int32_t w, int32_t h) {
  for (int pass = 0; pass < 2; ++pass) {
    uint16_t labels = 0;
    if (filter(mask, h, w, 50, 0, 20, nullptr, &labels) != 0) return -3;
    if (labels < 256) break;
  }
  return 0;
}

// The corner-masked scores of _v2 and _v3 from their masks: area, quality
// (ridge count floored at 0.35 nValid when `floorD`) and validMap.
void CornerScores(const uint8_t *valid, const uint8_t *ridge, const uint8_t *filtered,
                  uint8_t *corner, int64_t n, int64_t nValid, bool floorD, uint8_t *area,
                  uint8_t *quality, uint8_t *map) {
  int64_t nCorner = 0, d = 0, kept = 0;
  for (int64_t i = 0; i < n; ++i) {
    corner[i] = corner[i] != 0 && valid[i] != 0;
    if (!corner[i]) continue;
    ++nCorner;
    d += ridge[i] != 0;
    kept += filtered[i] != 0;
  }
  if (floorD) {
    const int64_t least = static_cast<int64_t>(0.35f * static_cast<float>(nValid));
    if (least > d) d = least;
  }
  *area = static_cast<uint8_t>(n > 0 ? 100 * nCorner / n : 0);
  *quality = static_cast<uint8_t>(d > 0 ? 100 * kept / (d + 1) : 0);
  zq::SetMapBits(corner, n, map);
}

}  // namespace

extern "C" int32_t ZqImgQuality_ZE4850(const uint8_t *image, uint16_t width, uint16_t height,
                                       uint8_t *area, uint8_t *quality, uint8_t *brightness,
                                       uint8_t *validMap) {
  if (image == nullptr || area == nullptr || quality == nullptr || brightness == nullptr)
    return -1;
  return BlockVarianceScore(image, width, height, area, quality, brightness, validMap,
                            kZe4850Weights);
}

extern "C" int32_t ZqImgQuality_Other_v2(const uint8_t *image, uint16_t width, uint16_t height,
                                         uint8_t *area, uint8_t *quality, uint8_t *brightness,
                                         uint8_t *zero, uint8_t *validMap) {
  if (image == nullptr || area == nullptr || quality == nullptr || brightness == nullptr ||
      zero == nullptr)
    return -1;
  const int32_t ret = BlockVarianceScore(image, width, height, area, quality, brightness,
                                         validMap, kOtherWeights);
  if (ret == 0) *zero = 0;
  return ret;
}

extern "C" int32_t ZqImgQuality_ZE4850_v3(const uint8_t *image, uint16_t width, uint16_t height,
                                          uint8_t *area, uint8_t *quality, uint8_t *contrast,
                                          uint8_t *validMap) {
  if (image == nullptr || area == nullptr || quality == nullptr || contrast == nullptr)
    return -1;
  const int32_t w = width, h = height;
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *valid = scratch.Take<uint8_t>(n);
  uint8_t *ridge = scratch.Take<uint8_t>(n);
  uint8_t *strong = scratch.Take<uint8_t>(n);
  uint8_t *filtered = scratch.Take<uint8_t>(n);
  uint8_t *corner = scratch.Take<uint8_t>(n);
  uint8_t *map = validMap != nullptr ? validMap : scratch.Take<uint8_t>(n / 8 + 1);
  if (valid == nullptr || ridge == nullptr || strong == nullptr || filtered == nullptr ||
      corner == nullptr || map == nullptr)
    return -2;
  int64_t nValid = 0;
  if (zq::Ze4850Masks(image, w, h, valid, ridge, strong, &nValid, contrast) != 0) return -3;
  std::copy(ridge, ridge + n, filtered);
  if (FilterRidges(ZqGetConnectedArea_v3, filtered, w, h) != 0) return -3;
  const int32_t ret = CornerMask(image, w, h, 5, corner);
  if (ret != 0) return ret;
  CornerScores(valid, ridge, filtered, corner, n, nValid, true, area, quality, map);
  return 0;
}

extern "C" int32_t ZqImgQuality_ZE4850_v2(const uint8_t *image, uint16_t width, uint16_t height,
                                          uint8_t *area, uint8_t *quality, uint8_t *contrast,
                                          uint8_t *validMap) {
  if (image == nullptr || area == nullptr || quality == nullptr || contrast == nullptr)
    return -1;
  const int32_t w = width, h = height;
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *valid = scratch.Take<uint8_t>(n);
  uint8_t *ridge = scratch.Take<uint8_t>(n);
  uint8_t *strong = scratch.Take<uint8_t>(n);
  uint8_t *filtered = scratch.Take<uint8_t>(n);
  uint8_t *corner = scratch.Take<uint8_t>(n);
  uint8_t *map = validMap != nullptr ? validMap : scratch.Take<uint8_t>(n / 8 + 1);
  if (valid == nullptr || ridge == nullptr || strong == nullptr || filtered == nullptr ||
      corner == nullptr || map == nullptr)
    return -2;
  int32_t ret = ZqDynThreshold(image, ridge, w, h, 3, 5, 1);
  if (ret == 0) ret = ZqDynThreshold(image, strong, w, h, 3, 25, 1);
  if (ret != 0) return ret == -2 ? -2 : -3;
  int64_t nRidge = 0, nStrong = 0;
  for (int64_t i = 0; i < n; ++i) {
    nRidge += ridge[i];
    nStrong += strong[i];
    valid[i] = image[i] <= kSaturation;
  }
  *contrast = static_cast<uint8_t>(nRidge > 0 ? 100 * nStrong / nRidge : 0);
  if (ZqDilate(valid, h, w, 0, 2, 2, valid) != 0 || ZqErode(valid, h, w, 0, 5, 5, valid) != 0)
    return -3;
  std::copy(ridge, ridge + n, filtered);
  if (FilterRidges(ZqGetConnectedArea_v2, filtered, w, h) != 0) return -3;
  ret = CornerMask(image, w, h, 5, corner);
  if (ret != 0) return ret;
  CornerScores(valid, ridge, filtered, corner, n, 0, false, area, quality, map);
  return 0;
}

extern "C" int32_t ZqImgQuality_DO4851_Brun_v2(const uint8_t *image, uint16_t width,
                                               uint16_t height, void *, void *, void *, void *,
                                               void *, void *, void *, void *, void *, void *,
                                               uint8_t *validMap) {
  if (image == nullptr) return -1;
  const int32_t w = width, h = height;
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *map = validMap != nullptr ? validMap : scratch.Take<uint8_t>(n / 8 + 1);
  if (map == nullptr) return -1;
  uint8_t *harris = scratch.Take<uint8_t>(n);
  if (harris == nullptr) {
    QUORV_LOGE("%s...maskHarris malloc fail, ret = %d", __func__, -2);
    return -2;
  }
  uint8_t *valid = scratch.Take<uint8_t>(n);
  if (valid == nullptr) return -2;
  int32_t ret = CornerMask(image, w, h, 20, harris);
  if (ret != 0) return ret == -2 ? -2 : -3;
  for (int64_t i = 0; i < n; ++i) valid[i] = image[i] <= kSaturation;
  if (ZqErode(valid, h, w, 0, 5, 5, valid) != 0) return -3;
  for (int64_t i = 0; i < n; ++i) harris[i] = harris[i] != 0 && valid[i] != 0;
  zq::SetMapBits(harris, n, map);
  return 0;
}
