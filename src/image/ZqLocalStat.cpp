#include "src/image/ZqLocalStat.h"

#include <cmath>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

extern "C" int32_t ZqLocalMeanVar(const uint8_t *src, uint16_t width, uint16_t height,
                                  uint16_t r, float *mean, float *var) {
  if (src == nullptr || mean == nullptr || var == nullptr) return ZQ_ERR_PARAM;
  if (width == 0 || height == 0) return ZQ_OK;
  // Padded size in full width: no 16-bit wrap.
  const int64_t pw = int64_t{width} + 2 * int64_t{r};
  const int64_t ph = int64_t{height} + 2 * int64_t{r};
  const int32_t win = 2 * r + 1;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  if (padded == nullptr) return ZQ_ERR_ALLOC;
  if (ImgFilledByMirror(src, height, width, r, padded) != ZQ_OK) return ZQ_ERR_STEP;
  int32_t *squares = scratch.Take<int32_t>(pw * ph);
  // Column sums in 64 bits: 255^2 * d passes 32 bits for large windows.
  uint64_t *colSum = scratch.Take<uint64_t>(pw);
  uint64_t *colSq = scratch.Take<uint64_t>(pw);
  if (squares == nullptr || colSum == nullptr || colSq == nullptr) return ZQ_ERR_ALLOC;
  for (int64_t i = 0; i < pw * ph; ++i) squares[i] = int32_t{padded[i]} * padded[i];
  const float d = static_cast<float>(int64_t{win} * win);
  const float inv = d > 1 ? 1.0f / ((d - 1) * d) : 0.0f;
  for (int32_t t = 0; t < win; ++t)
    for (int64_t x = 0; x < pw; ++x) {
      colSum[x] += padded[t * pw + x];
      colSq[x] += static_cast<uint64_t>(squares[t * pw + x]);
    }
  for (int32_t i = 0; i < height; ++i) {
    if (i > 0) {
      const int64_t enter = (int64_t{i} + win - 1) * pw, leave = (int64_t{i} - 1) * pw;
      for (int64_t x = 0; x < pw; ++x) {
        colSum[x] = colSum[x] + padded[enter + x] - padded[leave + x];
        colSq[x] = colSq[x] + static_cast<uint64_t>(squares[enter + x]) -
                   static_cast<uint64_t>(squares[leave + x]);
      }
    }
    uint64_t s = 0, sq = 0;
    for (int32_t t = 0; t < win; ++t) {
      s += colSum[t];
      sq += colSq[t];
    }
    for (int32_t j = 0; j < width; ++j) {
      if (j > 0) {
        s = s + colSum[j + win - 1] - colSum[j - 1];
        sq = sq + colSq[j + win - 1] - colSq[j - 1];
      }
      const float fs = static_cast<float>(s), fsq = static_cast<float>(sq);
      const int64_t at = int64_t{i} * width + j;
      mean[at] = fs / d;
      var[at] = (d * fsq - fs * fs) * inv;
    }
  }
  return ZQ_OK;
}

namespace {

// The working copy: the source, or 255 - v when `invert`.
uint8_t *WorkingCopy(ScratchStack &scratch, const uint8_t *src, int64_t n, bool invert) {
  uint8_t *work = scratch.Take<uint8_t>(n);
  if (work == nullptr) return nullptr;
  for (int64_t i = 0; i < n; ++i) work[i] = invert ? static_cast<uint8_t>(255 - src[i]) : src[i];
  return work;
}

}  // namespace

extern "C" int32_t ZqLocalThreshold(const uint8_t *src, uint16_t width, uint16_t height,
                                    uint8_t invert, int32_t r, uint8_t *dst, float k) {
  if (invert > 1 || src == nullptr || dst == nullptr || r < 0 || r > UINT16_MAX)
    return ZQ_ERR_PARAM;
  const int64_t n = int64_t{width} * height;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *work = WorkingCopy(scratch, src, n, invert == 1);
  float *mean = scratch.Take<float>(n);
  float *var = scratch.Take<float>(n);
  if (work == nullptr || mean == nullptr || var == nullptr) return ZQ_ERR_ALLOC;
  if (ZqLocalMeanVar(work, width, height, static_cast<uint16_t>(r), mean, var) != ZQ_OK)
    return ZQ_ERR_STEP;
  for (int64_t i = 0; i < n; ++i) {
    float t = mean[i] * (1 - k) + std::sqrt(var[i]) * (k / 128) * mean[i];
    dst[i] = t > static_cast<float>(work[i]) ? 255 : 0;
  }
  return ZQ_OK;
}

extern "C" int32_t ZqLocalAvergeThreshold(const uint8_t *src, uint16_t width, uint16_t height,
                                          uint8_t keep, int32_t r, int32_t offset,
                                          uint8_t *dst) {
  if (keep > 1 || src == nullptr || dst == nullptr || r < 0 || r > UINT16_MAX)
    return ZQ_ERR_PARAM;
  const int64_t n = int64_t{width} * height;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *work = WorkingCopy(scratch, src, n, keep == 0);
  uint8_t *mean = scratch.Take<uint8_t>(n);
  if (work == nullptr || mean == nullptr) return ZQ_ERR_ALLOC;
  if (MeanImage(work, width, height, static_cast<uint16_t>(r), mean) != ZQ_OK) return ZQ_ERR_STEP;
  for (int64_t i = 0; i < n; ++i)
    dst[i] = static_cast<float>(work[i]) >= static_cast<float>(offset) + static_cast<float>(mean[i])
                 ? 255
                 : 0;
  return ZQ_OK;
}
