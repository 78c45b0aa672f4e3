// The ZE4850-family quality scorers, their final adjustment, the dynamic
// threshold and the valid-area share; see ZqImgQuality.h.
#include <algorithm>

#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqImgQualityMasks.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

constexpr uint8_t kSaturation = 250;
constexpr int32_t kBorderRows = 6;

// Region filter of the ridge mask into outA and outB by sensor code;
// *ratio receives the edge-to-tip ratio (code 8 only). v5 selects the
// rubber-test filters. Codes without a filter leave both outputs empty.
int32_t RegionFilter(uint16_t code, bool v5, const uint8_t *ridge, int32_t rows, int32_t cols,
                     uint8_t *outA, uint8_t *outB, uint16_t *ratio) {
  auto filter = v5 ? ZqGetConnectedArea_v5 : ZqGetConnectedArea_v4;
  switch (code) {
    case 8:
      return ZqGetConnectedArea_v4_4845(ridge, rows, cols, 50, 20, 30, outA, outB, ratio);
    case 9: case 10: case 13: case 14:
      return filter(ridge, rows, cols, 50, 20, 30, outA, outB);
    case 16:
      return v5 ? filter(ridge, rows, cols, 50, 20, 30, outA, outB) : 0;
    case 11:
      return filter(ridge, rows, cols, 40, 10, 25, outA, outB);
    default:
      return 0;
  }
}

int32_t ScoreZe4850(const uint8_t *image, uint16_t width, uint16_t height, uint8_t *area,
                    uint8_t *quality, uint8_t *contrast, uint8_t *cond, uint8_t *validMap,
                    bool v5) {
  if (image == nullptr || area == nullptr || quality == nullptr || contrast == nullptr ||
      cond == nullptr)
    return -1;
  const int32_t w = width, h = height;
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *valid = scratch.Take<uint8_t>(n);
  uint8_t *ridge = scratch.Take<uint8_t>(n);
  uint8_t *strong = scratch.Take<uint8_t>(n);
  uint8_t *outA = scratch.Take<uint8_t>(n);
  uint8_t *outB = scratch.Take<uint8_t>(n);
  uint8_t *map = validMap != nullptr ? validMap : scratch.Take<uint8_t>(n / 8 + 1);
  if (valid == nullptr || ridge == nullptr || strong == nullptr || outA == nullptr ||
      outB == nullptr || map == nullptr)
    return -2;

  int64_t nValid = 0;
  if (zq::Ze4850Masks(image, w, h, valid, ridge, strong, &nValid, contrast) != 0) return -3;
  const uint16_t code = gSensorName;
  uint16_t ratio = 0;
  if (RegionFilter(code, v5, ridge, h, w, outA, outB, &ratio) != 0) return -3;

  int64_t nR = 0, nA = 0, nB = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (valid[i] == 0) continue;
    nR += ridge[i] != 0;
    nA += outA[i] != 0;
    nB += outB[i] != 0;
  }
  int64_t d = nR;
  const int64_t floorD = static_cast<int64_t>(0.35f * static_cast<float>(nValid));
  if (floorD > d) d = floorD;
  const uint8_t rawQuality = static_cast<uint8_t>(d > 0 ? 100 * nA / (d + 1) : 0);
  const uint8_t condValue = static_cast<uint8_t>(d > 0 ? 100 * nB / (d + 1) : 0);

  *area = static_cast<uint8_t>(n > 0 ? 100 * nValid / n : 0);
  *cond = condValue;
  *quality = ZqImgQualityAdjust_ZE4850(code, rawQuality, *contrast, condValue, ratio);
  zq::SetMapBits(valid, n, map);
  return 0;
}

}  // namespace

namespace zq {

int32_t Ze4850Masks(const uint8_t *image, int32_t w, int32_t h, uint8_t *valid, uint8_t *ridge,
                    uint8_t *strong, int64_t *nValid, uint8_t *contrast) {
  const int64_t n = int64_t{w} * h;
  int64_t count = 0;
  for (int64_t i = 0; i < n; ++i) {
    valid[i] = image[i] <= kSaturation;
    count += valid[i];
  }
  *nValid = count;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t *row = valid + int64_t{y} * w;
    if (y < kBorderRows || y >= h - kBorderRows) {
      std::fill(row, row + w, 0);
      continue;
    }
    for (int32_t x : {0, 1, w - 2, w - 1})
      if (x >= 0 && x < w) row[x] = 0;
  }
  if (ZqDynThreshold_v2(image, h, w, 11, 5, 0, ridge) != 0 ||
      ZqDynThreshold_v2(image, h, w, 11, 25, 0, strong) != 0)
    return -3;
  int64_t nRidge = 0, nStrong = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (valid[i] == 0) ridge[i] = strong[i] = 0;
    nRidge += ridge[i];
    nStrong += strong[i];
  }
  *contrast = static_cast<uint8_t>(nRidge > 0 ? 100 * nStrong / nRidge : 0);
  if (ZqDilate(valid, h, w, 0, 2, 2, valid) != 0 || ZqErode(valid, h, w, 0, 5, 5, valid) != 0)
    return -3;
  return 0;
}

void SetMapBits(const uint8_t *mask, int64_t n, uint8_t *map) {
  for (int64_t i = 0; i < n; ++i)
    if (mask[i] != 0) map[i >> 3] = static_cast<uint8_t>(map[i >> 3] | (1u << (i & 7)));
}

}  // namespace zq

extern "C" uint8_t ZqImgQualityAdjust_ZE4850(uint16_t code, uint8_t quality, uint8_t contrast,
                                             uint8_t cond, uint16_t edgeTipRatio) {
  const int32_t q = quality;
  if (code == 8) {
    const int32_t e = edgeTipRatio;
    if (e >= 15) return quality;
    if (e >= 8) return static_cast<uint8_t>(q > 70 ? q - 3 * (e - 7) : q);
    if (e == 7) {
      if (q > 60) return static_cast<uint8_t>(45 + q % 5);
      if (q > 50) return static_cast<uint8_t>(40 + q % 5);
      return quality;
    }
    if (e >= 4) return static_cast<uint8_t>(q > 50 ? 40 + q % 5 : q);
    return static_cast<uint8_t>(q > 40 ? 30 + q % 10 : q);
  }
  int32_t s = static_cast<uint8_t>(quality + contrast) / 2;
  if (q <= 49 && s > 50)
    s -= 5;
  else if (q >= 51 && s >= 36 && s <= 49)
    s += 15;
  return static_cast<uint8_t>(cond < 30 ? cond + 5 : s);
}

extern "C" int32_t ZqImgQuality_ZE4850_v4(const uint8_t *image, uint16_t width, uint16_t height,
                                          uint8_t *area, uint8_t *quality, uint8_t *contrast,
                                          uint8_t *cond, uint8_t *validMap) {
  return ScoreZe4850(image, width, height, area, quality, contrast, cond, validMap, false);
}

extern "C" int32_t ZqImgQuality_ZE4850_v5(const uint8_t *image, uint16_t width, uint16_t height,
                                          uint8_t *area, uint8_t *quality, uint8_t *contrast,
                                          uint8_t *cond, uint8_t *validMap) {
  return ScoreZe4850(image, width, height, area, quality, contrast, cond, validMap, true);
}

extern "C" int32_t ZqDynThreshold_v2(const uint8_t *image, int32_t rows, int32_t cols,
                                     int32_t window, int32_t offset, uint8_t invert,
                                     uint8_t *out) {
  if (image == nullptr || out == nullptr || rows < 0 || cols < 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *mean = scratch.Take<uint8_t>(n);
  if (mean == nullptr) return -2;
  if (ZqBoxFilter_8u_v2(image, rows, cols, window, mean, 1) != 0) return -3;
  for (int64_t i = 0; i < n; ++i) {
    const int32_t limit = int32_t{mean[i]} + offset;
    out[i] = invert == 0 ? image[i] >= limit : image[i] <= limit;
  }
  return 0;
}

extern "C" int32_t ZqGetImgArea_ZE4850(const uint8_t *image, uint16_t width, uint16_t height) {
  if (image == nullptr || width == 0 || height == 0) return -1;
  const int64_t n = int64_t{width} * height;
  int64_t valid = 0;
  for (int64_t i = 0; i < n; ++i) valid += image[i] <= kSaturation;
  return static_cast<int32_t>(100 * valid / n);
}
