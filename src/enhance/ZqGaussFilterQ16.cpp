// Border index rules and the fixed-point Gaussian.
#include "src/enhance/ZqGaussFilterQ16.h"

#include <math.h>
#include <string.h>

#include "src/image/ZqMemoryManager.h"

extern "C" int32_t ZqBorderIndex(int32_t p, int32_t len, int32_t type) {
  if (p >= 0 && p < len) return p;
  if (type < 0 || type > 3 || len < 1) return -1;
  switch (type) {
    case 0:
      return p < 0 ? 0 : len - 1;
    case 1:
    case 2: {
      if (len == 1) return 0;
      // One period of the reflection is 2 len (type 1) or 2 len - 2.
      const int64_t period = type == 1 ? 2 * int64_t{len} : 2 * int64_t{len} - 2;
      int64_t q = p % period;
      if (q < 0) q += period;
      if (q < len) return static_cast<int32_t>(q);
      return static_cast<int32_t>(type == 1 ? period - 1 - q : period - q);
    }
    default: {
      int32_t q = p % len;
      return q < 0 ? q + len : q;
    }
  }
}

extern "C" int32_t ZqGaussFilterQ16_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                        int32_t sigmaQ16, int32_t ksize, uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || ksize < 1 || cols == 0) return -1;
  if (cols < 0) return -5;
  // The border table holds byte indices.
  if (cols > 256) return -1;
  const int64_t n = int64_t{rows} * cols;
  if (ksize == 1) {
    memmove(dst, src, static_cast<size_t>(n) * 2);
    return -2;
  }
  const int32_t h = ksize / 2;
  float sigma = static_cast<float>(sigmaQ16) / 65536.0f;
  if (sigma <= 0.0f) sigma = ((ksize - 1) * 0.5f - 1.0f) * 0.3f + 0.8f;
  float *wf = static_cast<float *>(ZqSafeAlloc(ksize * 4));
  uint32_t *W = static_cast<uint32_t *>(ZqSafeAlloc(ksize * 4));
  uint32_t *t = static_cast<uint32_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 4)));
  uint8_t *colIdx = static_cast<uint8_t *>(ZqSafeAlloc(cols + 2 * h));
  int32_t *rowIdx = static_cast<int32_t *>(ZqSafeAlloc((rows + 2 * h) * 4));
  int32_t ret = -3;
  if (wf != nullptr && W != nullptr && t != nullptr && colIdx != nullptr && rowIdx != nullptr) {
    const double s2 = 2.0 * static_cast<double>(sigma) * static_cast<double>(sigma);
    double sum = 0.0;
    for (int32_t i = 0; i < ksize; ++i) {
      const double d = i - (ksize - 1) / 2.0;
      wf[i] = static_cast<float>(exp(-d * d / s2));
      sum += wf[i];
    }
    const float scale = static_cast<float>(1.0 / sum);
    for (int32_t i = 0; i < ksize; ++i) W[i] = static_cast<uint32_t>(wf[i] * scale * 65536.0f);
    for (int32_t x = -h; x < cols + h; ++x)
      colIdx[x + h] = static_cast<uint8_t>(ZqBorderIndex(x, cols, 2));
    for (int32_t y = -h; y < rows + h; ++y) rowIdx[y + h] = ZqBorderIndex(y, rows, 2);
    for (int32_t y = 0; y < rows; ++y) {
      const uint16_t *row = src + int64_t{y} * cols;
      for (int32_t x = 0; x < cols; ++x) {
        uint64_t acc = 0;
        for (int32_t i = 0; i < ksize; ++i) acc += uint64_t{W[i]} * row[colIdx[x + i]];
        t[int64_t{y} * cols + x] = static_cast<uint32_t>(acc >> 16);
      }
    }
    for (int32_t y = 0; y < rows; ++y) {
      for (int32_t x = 0; x < cols; ++x) {
        int64_t acc = int64_t{W[h]} * t[int64_t{y} * cols + x];
        for (int32_t g = 1; g <= h; ++g) {
          acc += int64_t{W[h + g]} * (int64_t{t[int64_t{rowIdx[y + h - g]} * cols + x]} +
                                      t[int64_t{rowIdx[y + h + g]} * cols + x]);
        }
        dst[int64_t{y} * cols + x] = static_cast<uint16_t>(acc >> 16);
      }
    }
    ret = 0;
  }
  ZqSafeFree(rowIdx);
  ZqSafeFree(colIdx);
  ZqSafeFree(t);
  ZqSafeFree(W);
  ZqSafeFree(wf);
  return ret;
}
