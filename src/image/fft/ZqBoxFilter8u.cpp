// Clipped box filter into floats and local-mean removal.
#include <string.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"

int32_t ZqBoxFilter_8u(const uint8_t *img, int32_t rows, int32_t cols, int32_t r, uint8_t normalise,
                       float *out) {
  ZQ_CHECK(img == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows <= 0 || cols <= 0, ZQ_ERR_PARAM);
  ZQ_CHECK(r < 0 || r >= rows || r >= cols, ZQ_ERR_PARAM);
  // Column sums of the current window of rows, and reciprocals of the
  // clipped window sizes (1 .. (2r + 1)^2, filled where used).
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  int32_t *colSum = heapScratch.Take<int32_t>(cols);
  ZQ_CHECK(colSum == NULL, ZQ_ERR_ALLOC);
  for (int32_t x = 0; x < cols; ++x) {
    int32_t s = 0;
    for (int32_t y = 0; y <= r && y < rows; ++y) s += img[int64_t{y} * cols + x];
    colSum[x] = s;
  }
  for (int32_t y = 0; y < rows; ++y) {
    if (y > 0) {
      const int32_t add = y + r, drop = y - r - 1;
      for (int32_t x = 0; x < cols; ++x) {
        if (add < rows) colSum[x] += img[int64_t{add} * cols + x];
        if (drop >= 0) colSum[x] -= img[int64_t{drop} * cols + x];
      }
    }
    const int32_t h = (y + r < rows ? y + r : rows - 1) - (y - r > 0 ? y - r : 0) + 1;
    int64_t s = 0;
    for (int32_t x = 0; x <= r && x < cols; ++x) s += colSum[x];
    float *o = out + int64_t{y} * cols;
    for (int32_t x = 0; x < cols; ++x) {
      if (x > 0) {
        if (x + r < cols) s += colSum[x + r];
        if (x - r - 1 >= 0) s -= colSum[x - r - 1];
      }
      float v = static_cast<float>(s);
      if (normalise) {
        const int32_t w = (x + r < cols ? x + r : cols - 1) - (x - r > 0 ? x - r : 0) + 1;
        v *= 1.0f / static_cast<float>(w * h);
      }
      o[x] = v;
    }
  }
  return ZQ_OK;
}

int32_t ZqRemovePartDC_u8(const uint8_t *img, int32_t rows, int32_t cols, int32_t radius,
                          float *out) {
  ZQ_CHECK(img == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows <= 0 || cols <= 0, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  if (radius == 0) {
    for (int64_t i = 0; i < n; ++i) out[i] = img[i];
    return ZQ_OK;
  }
  const int32_t rc = ZqBoxFilter_8u(img, rows, cols, radius, 1, out);
  ZQ_CHECK(rc != ZQ_OK, ZQ_ERR_STEP);
  for (int64_t i = 0; i < n; ++i) out[i] = static_cast<float>(img[i]) - out[i];
  return ZQ_OK;
}
