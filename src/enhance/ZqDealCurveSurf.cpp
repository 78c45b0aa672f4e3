// Curved-surface removal; see ZqDealCurveSurf.h.
#include "src/enhance/ZqDealCurveSurf.h"

#include <math.h>
#include <stddef.h>
#include <string.h>

#include "src/enhance/ImgAdaptHisteq.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/image/ZqBorderFill.h"
#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqSpatialFilter.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr uint16_t kValidAbove = 199;  // a pixel is valid above this value
constexpr int32_t kTiles = 12;         // equalisation tiles per side
constexpr float kClip = 0.04f;
constexpr uint16_t kSharpenRadius = 5;
constexpr float kSharpenFactor = 0.00052083336f;

// ZqSafeAlloc of count elements of `size` bytes; NULL when that exceeds the
// allocator's int32 length.
void *AllocArray(size_t count, size_t size) {
  const uint64_t bytes = static_cast<uint64_t>(count) * size;
  if (bytes > static_cast<uint64_t>(INT32_MAX)) return nullptr;
  return ZqSafeAlloc(static_cast<int32_t>(bytes));
}

// Sets every invalid pixel of img to 255.
void WhiteOutInvalid(uint8_t *img, const uint8_t *valid, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (valid[i] == 0) img[i] = 255;
  }
}

// Steps 1 to 3: removes each column's mean over its valid pixels and
// stretches the residuals of columns with a range into img (0..255);
// other pixels become 255, and a frame whose residuals are all equal gives
// 0 everywhere. When a work buffer cannot be allocated, img is left as is.
void ZqRemoveCurveSurf(const uint16_t *frame, const uint8_t *valid, int32_t rows, int32_t cols,
                       uint8_t *img) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  float *residual = static_cast<float *>(AllocArray(n, sizeof(float)));
  float *colsMean = static_cast<float *>(AllocArray(static_cast<size_t>(cols), sizeof(float)));
  float *colsDiff = static_cast<float *>(AllocArray(static_cast<size_t>(cols), sizeof(float)));
  if (residual == nullptr || colsMean == nullptr || colsDiff == nullptr) {
    QUORV_LOGE("%s...colsDiff malloc fail, ret = %d", __func__, -2);
    ZqSafeFree(colsDiff);
    ZqSafeFree(colsMean);
    ZqSafeFree(residual);
    return;
  }

  for (int32_t c = 0; c < cols; ++c) {
    uint32_t k = 0;
    uint16_t maxV = 0, minV = 0xFFFF;  // the true minimum, also above 4096
    uint64_t sum = 0;
    for (int32_t r = 0; r < rows; ++r) {
      const size_t i = static_cast<size_t>(r) * cols + c;
      if (valid[i] == 0) continue;
      ++k;
      sum += frame[i];
      if (frame[i] > maxV) maxV = frame[i];
      if (frame[i] < minV) minV = frame[i];
    }
    const float range = static_cast<float>(maxV) - static_cast<float>(minV);
    if (k > 0 && range > 0.0001f) {
      colsMean[c] = static_cast<float>(sum) / static_cast<float>(k);
      colsDiff[c] = range;
    } else {
      colsMean[c] = 0.0f;
      colsDiff[c] = -1.0f;
    }
  }

  float lo = 8192.0f, hi = -8192.0f;
  for (size_t i = 0; i < n; ++i) {
    if (valid[i] == 0) continue;
    const float v = static_cast<float>(frame[i]) - colsMean[i % static_cast<size_t>(cols)];
    residual[i] = v;
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }

  if (hi - lo < 0.00001f) {
    memset(img, 0, n);
  } else {
    const float span = hi - lo;
    for (size_t i = 0; i < n; ++i) {
      if (valid[i] != 0 && colsDiff[i % static_cast<size_t>(cols)] > 0.0f) {
        img[i] = static_cast<uint8_t>(lroundf((residual[i] - lo) * 255.0f / span));
      } else {
        img[i] = 255;
      }
    }
  }
  ZqSafeFree(colsDiff);
  ZqSafeFree(colsMean);
  ZqSafeFree(residual);
}

// Step 6: CLAHE over a copy mirrored (edge repeated) by 12 - (side mod 24) / 2
// on each side of each axis; the centre replaces img when the equalisation
// ran (both padded sides multiples of 12).
void Equalise(uint8_t *img, int32_t rows, int32_t cols) {
  const int32_t padV = 12 - ((rows % 24) / 2);
  const int32_t padH = 12 - ((cols % 24) / 2);
  const int32_t pRows = rows + 2 * padV, pCols = cols + 2 * padH;
  uint8_t *padded = static_cast<uint8_t *>(
      AllocArray(static_cast<size_t>(pRows) * static_cast<size_t>(pCols), 1));
  if (padded == nullptr) return;
  ZqMirrorFill_u8(img, rows, cols, padV, padH, padded);
  if (ImgAdaptHisteq(padded, static_cast<uint32_t>(pCols), static_cast<uint32_t>(pRows), 0, 255,
                     kTiles, kClip, kTiles, 256) == 0) {
    for (int32_t r = 0; r < rows; ++r) {
      memcpy(img + static_cast<size_t>(r) * cols,
             padded + static_cast<size_t>(r + padV) * pCols + padH, static_cast<size_t>(cols));
    }
  }
  ZqSafeFree(padded);
}

}  // namespace

extern "C" int32_t DealCurveSurfData(const uint16_t *frame, int32_t rows, int32_t cols,
                                     uint8_t *out) {
  if (frame == nullptr || out == nullptr || rows < 1 || cols < 1 || rows > 65535 ||
      cols > 65535) {
    return -1;
  }
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  uint8_t *valid = static_cast<uint8_t *>(AllocArray(n, 1));
  uint8_t *stretched = static_cast<uint8_t *>(AllocArray(n, 1));
  uint8_t *meanImg = static_cast<uint8_t *>(AllocArray(n, 1));
  if (valid == nullptr || stretched == nullptr || meanImg == nullptr) {
    QUORV_LOGE("%s...meanImg malloc fail, ret = %d", __func__, -2);
    ZqSafeFree(meanImg);
    ZqSafeFree(stretched);
    ZqSafeFree(valid);
    return -2;
  }
  for (size_t i = 0; i < n; ++i) valid[i] = frame[i] > kValidAbove ? 1 : 0;

  ZqRemoveCurveSurf(frame, valid, rows, cols, stretched);

  if (ZqMeanImage(stretched, rows, cols, 1, meanImg) != 0) memcpy(meanImg, stretched, n);
  WhiteOutInvalid(meanImg, valid, n);

  FastConv(meanImg, static_cast<uint16_t>(rows), static_cast<uint16_t>(cols), kSharpenRadius,
           kSharpenFactor);
  WhiteOutInvalid(meanImg, valid, n);

  Equalise(meanImg, rows, cols);
  WhiteOutInvalid(meanImg, valid, n);

  memcpy(out, meanImg, n);
  ZqSafeFree(meanImg);
  ZqSafeFree(stretched);
  ZqSafeFree(valid);
  return 0;
}
