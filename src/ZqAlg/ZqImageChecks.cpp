#include "src/ZqAlg/ZqImageChecks.h"

#include <string.h>

#include <algorithm>

#include "src/enhance/ZqColumnStats.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/enhance/ZqWhiteAbnormal.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqLocalStat.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqRankFilter.h"

extern "C" {

int32_t ZqErosion(uint8_t *mask, uint16_t cols, uint16_t rows, uint16_t radius) {
  if (mask == nullptr) return ZQ_ERR_PARAM;
  const size_t n = static_cast<size_t>(cols) * rows;
  if (n == 0) return ZQ_OK;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *work = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (work == nullptr) return ZQ_ERR_ALLOC;
  memcpy(work, mask, n);
  const int r = radius;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      if (mask[static_cast<size_t>(y) * cols + x] != 0) continue;
      const int y0 = std::max(0, y - r), y1 = std::min(rows - 1, y + r);
      const int x0 = std::max(0, x - r), x1 = std::min(cols - 1, x + r);
      for (int yy = y0; yy <= y1; ++yy)
        memset(work + static_cast<size_t>(yy) * cols + x0, 0, x1 - x0 + 1);
    }
  }
  memcpy(mask, work, n);
  return ZQ_OK;
}

int32_t ZqLogoImageEnhance(uint8_t *img, uint16_t cols, uint16_t rows) {
  if (img == nullptr) return ZQ_ERR_PARAM;
  const size_t n = static_cast<size_t>(cols) * rows;
  if (n == 0) return ZQ_OK;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *mean = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (mean == nullptr) return ZQ_ERR_ALLOC;
  if (MeanImage(img, cols, rows, 5, mean) != 0) return ZQ_ERR_STEP;
  int lo = 255, hi = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t d = static_cast<uint8_t>(img[i] + 128u - mean[i]);
    img[i] = d;
    lo = std::min<int>(lo, d);
    hi = std::max<int>(hi, d);
  }
  if (static_cast<float>(hi - lo) <= 0.01f) {
    memset(img, 0, n);
    return ZQ_OK;
  }
  const float k = 254.0f / static_cast<float>(hi - lo);
  for (size_t i = 0; i < n; ++i)
    img[i] = static_cast<uint8_t>(static_cast<int>(k * static_cast<float>(img[i] - lo) + 0.5f));
  return ZQ_OK;
}

int32_t ZqWetImageAreaPercent(const uint8_t *img, uint16_t cols, uint16_t rows) {
  if (img == nullptr) return ZQ_ERR_PARAM;
  const size_t n = static_cast<size_t>(cols) * rows;
  if (n == 0) return ZQ_ERR_PARAM;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *smooth = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  uint8_t *mask = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  float *mean = scratch.Take<float>(static_cast<int64_t>(n));
  float *var = scratch.Take<float>(static_cast<int64_t>(n));
  if (smooth == nullptr || mask == nullptr || mean == nullptr || var == nullptr)
    return ZQ_ERR_ALLOC;
  int32_t ret = ZqMedianFilter(img, cols, rows, 1, smooth);
  if (ret != 0) return ret;
  ret = ZqLocalMeanVar(smooth, cols, rows, 5, mean, var);
  if (ret != 0) return ret;
  for (size_t i = 0; i < n; ++i) mask[i] = (mean[i] < 60.0f && var[i] < 200.0f) ? 0 : 255;
  ret = ZqErosion(mask, cols, rows, 5);
  if (ret != 0) return ret;
  const size_t wet = static_cast<size_t>(std::count(mask, mask + n, 0));
  return static_cast<int32_t>(100 * wet / n);
}

int32_t ZqBadPixselDetect(const uint8_t *img, uint16_t rows, uint16_t cols, uint8_t *mask) {
  if (img == nullptr || mask == nullptr) return ZQ_ERR_PARAM;
  const size_t n = static_cast<size_t>(cols) * rows;
  if (n == 0) return ZQ_OK;
  memset(mask, 1, n);
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *mean = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (mean == nullptr) {
    QUORV_LOGE("'%s' ZqSafeAlloc error, ret = %d", __func__, ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  int32_t ret = ZqMeanImage(img, rows, cols, 1, mean);
  if (ret != 0) {
    QUORV_LOGE("'%s' ZqMeanImage error, ret = %d", __func__, ret);
    return ZQ_ERR_ALLOC;
  }
  for (size_t i = 0; i < n; ++i)
    if (mean[i] == 255) mask[i] = 0;
  ret = ZqErosion(mask, cols, rows, 2);
  if (ret != 0) {
    QUORV_LOGE("'%s' ZqErosion error, ret = %d", __func__, ret);
    return ZQ_ERR_STEP;
  }
  return ZQ_OK;
}

int32_t ZqWhiteBarDetect(const uint8_t *img, const uint8_t *mask, int rows, int cols) {
  float deviation = 0.0f;
  ZqCalcVerticalDeviation(img, mask, rows, cols, &deviation);
  return deviation > 6.0f ? 1 : 0;
}

int32_t ZqWhiteBlobDetect(const uint8_t *img, const uint8_t *mask, int rows, int cols) {
  if (img == nullptr || mask == nullptr || rows <= 0 || cols <= 0) return 0;
  auto covered = [&](int y) {
    const uint8_t *m = mask + static_cast<size_t>(y) * cols;
    return m[0] && m[std::min(1, cols - 1)] && m[cols - 1] && m[std::max(0, cols - 2)];
  };
  int top = 0;
  for (int y = 0; y < rows; ++y)
    if (covered(y)) {
      top = y;
      break;
    }
  int bottom = -1;
  for (int y = rows - 1; y >= 0; --y)
    if (covered(y)) {
      bottom = y;
      break;
    }
  if (bottom < 0) return 0;
  const int end = bottom - 36;
  if (top >= end) return 0;
  const int c0 = 5, c1 = cols - 6;
  float best = 0.0f;
  for (int w = top; w < end; w += 10) {
    float mean = 0.0f;
    if (cols > 10) {
      uint32_t sum = 0;
      for (int y = w; y < w + 36; ++y)
        for (int x = c0; x <= c1; ++x) sum += img[static_cast<size_t>(y) * cols + x];
      mean = static_cast<float>(sum) / static_cast<float>(36 * (c1 - c0 + 1));
    }
    best = std::max(best, mean);
  }
  return best >= 201.0f ? 2 : 0;
}

int32_t ZqAbnormalImageDetect(const uint8_t *img, int rows, int cols) {
  const uint16_t type = ZqSensorTypeGet();
  if (img == nullptr || rows <= 0 || cols <= 0 || (type != 9 && type != 10)) return 0;
  const size_t n = static_cast<size_t>(cols) * rows;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *mask = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (mask == nullptr) return 0;
  for (size_t i = 0; i < n; ++i) mask[i] = img[i] < 251 ? 1 : 0;
  if (ZqWhiteBarDetect(img, mask, rows, cols) == 1) return 1;
  return ZqWhiteBlobDetect(img, mask, rows, cols);
}

int32_t ZqGetWhiteAbnormal(const uint8_t *img, uint16_t cols, uint16_t rows, uint8_t lo,
                           uint8_t hi, uint8_t *whiteArea) {
  int32_t ret = ZQ_OK;
  uint8_t area = 0;
  if (img == nullptr || whiteArea == nullptr || cols == 0 || rows == 0) {
    ret = ZQ_ERR_PARAM;
    QUORV_LOGE("%s...input err, ret = %d", __func__, ret);
  } else {
    *whiteArea = 0;
    const size_t n = static_cast<size_t>(cols) * rows;
    zq::ScratchStack scratch(zq::ScratchSource::kHeap);
    uint8_t *mask = scratch.Take<uint8_t>(static_cast<int64_t>(n));
    if (mask == nullptr) {
      ret = ZQ_ERR_ALLOC;
      QUORV_LOGE("%s...malloc err, ret = %d", __func__, ret);
    } else {
      for (size_t i = 0; i < n; ++i) mask[i] = (img[i] > lo && img[i] < hi) ? 1 : 0;
      const int32_t r =
          ZqGetConnectedArea_v6_getWhiteAbnormal(mask, rows, cols, 100, 0, whiteArea);
      if (r != 0) {
        ret = ZQ_ERR_STEP;
        QUORV_LOGE("%s...ZqGetConnectedArea_v6_getWhiteAbnormal() = %d, ret = %d", __func__, r,
                   ret);
      }
      area = *whiteArea;
    }
  }
  QUORV_LOGI("%s...white area = %d, ret = %d", __func__, area, ret);
  return ret;
}

}  // extern "C"
