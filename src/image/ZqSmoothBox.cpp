// Running-sum box filters of the smoothing file.
#include <stdint.h>

#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSeparable.h"
#include "src/image/ZqSmooth.h"

namespace {

template <typename Pixel>
int32_t BoxFilter(const Pixel *src, int32_t rows, int32_t cols, int32_t k, Pixel *dst,
                  uint8_t normalise) {
  if (src == nullptr || dst == nullptr || cols < 1 || rows <= 0 || k <= 0 || k >= cols ||
      k >= rows)
    return ZQ_ERR_PARAM;
  if (k == 1) {
    if (dst != src) std::memmove(dst, src, sizeof(Pixel) * static_cast<size_t>(rows) * cols);
    return ZQ_OK;
  }
  return zq::RunBoxFilter(src, rows, cols, k, dst, normalise != 0, zq::ScratchSource::kPool,
                          ZqBorderInterpolate);
}

}  // namespace

extern "C" int32_t ZqBoxFilter_32s_NoneInterpolate(const int32_t *src, int32_t rows,
                                                   int32_t cols, int32_t k, int32_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || k < 0) return ZQ_ERR_PARAM;
  const int32_t R = k / 2;
  const int32_t W = 2 * R + 1;
  const int64_t pRows = int64_t{rows} + 2 * R;
  const int64_t pCols = int64_t{cols} + 2 * R;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  int32_t *padded = scratch.Take<int32_t>(pRows * pCols);
  int32_t *hsum = scratch.Take<int32_t>(pRows * pCols);
  if (padded == nullptr || hsum == nullptr) return ZQ_ERR_ALLOC;
  // Fresh blocks are zeroed: everything outside the image counts as 0.
  ZqBorderExtention_32s(src, rows, cols, R, R, padded, 0);
  for (int64_t y = 0; y < pRows; ++y) {
    const int32_t *in = padded + y * pCols;
    int32_t *h = hsum + y * pCols;
    int64_t s = 0;
    for (int32_t j = 0; j < W; ++j) s += in[j];
    h[0] = static_cast<int32_t>(s);
    for (int32_t x = 1; x < cols; ++x) {
      s += in[x + 2 * R] - int64_t{in[x - 1]};
      h[x] = static_cast<int32_t>(s);
    }
  }
  for (int32_t x = 0; x < cols; ++x) {
    int64_t s = 0;
    for (int32_t t = 0; t < W; ++t) s += hsum[t * pCols + x];
    dst[x] = static_cast<int32_t>(s);
    for (int32_t y = 1; y < rows; ++y) {
      s += hsum[(y + 2 * R) * pCols + x] - int64_t{hsum[(y - 1) * pCols + x]};
      dst[int64_t{y} * cols + x] = static_cast<int32_t>(s);
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqBoxFilter_32s(const int32_t *src, int32_t rows, int32_t cols, int32_t k,
                                   int32_t *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

extern "C" int32_t ZqBoxFilter_32f(const float *src, int32_t rows, int32_t cols, int32_t k,
                                   float *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

extern "C" int32_t ZqBoxFilter_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t k,
                                   uint16_t *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

extern "C" int32_t ZqBoxFilter_8u_v2(const uint8_t *src, int32_t rows, int32_t cols, int32_t k,
                                     uint8_t *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}
