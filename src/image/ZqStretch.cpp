// Border indices, box filter and Gaussian blur of the stretch filters.
#include "src/image/ZqStretch.h"

#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSeparable.h"
#include "src/image/ZqSmooth.h"

namespace {

int32_t BorderIndex(int32_t p, int32_t len, int32_t type) {
  return ZqImgBorderInterpolate(p, len, type);
}

void LogAllocFailure(const char *func) {
  QUORV_LOGE("'%s' malloc memory fail, ret = %d", func, ZQ_ERR_ALLOC);
}

// e^x as e^n * e^f: n the integer part (toward zero), e^n by repeated
// multiplication with 2.718281, e^f by the Taylor sum up to f^9 / 9!.
double TaylorExp(double x) {
  const int64_t n = static_cast<int64_t>(x);
  const double f = x - static_cast<double>(n);
  double en = 1;
  for (int64_t i = 0; i < (n < 0 ? -n : n); ++i) en *= 2.718281;
  if (n < 0) en = 1 / en;
  double ef = 1, term = 1;
  for (int k = 1; k <= 9; ++k) {
    term *= f / k;
    ef += term;
  }
  return en * ef;
}

}  // namespace

extern "C" int ZqImgBorderInterpolate(int p, int len, int type) {
  return ZqBorderInterpolate(p, len, type);
}

extern "C" int ZqImgBoxFilter(const float *src, int rows, int cols, int ksize, float *dst,
                              uint8_t normalize) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || ksize < 1 || ksize >= cols ||
      ksize >= rows)
    return ZQ_ERR_PARAM;
  if (ksize == 1) {
    if (dst != src) std::memmove(dst, src, sizeof(float) * static_cast<size_t>(rows) * cols);
    return ZQ_OK;
  }
  int ret = zq::RunBoxFilter(src, rows, cols, ksize, dst, normalize != 0, zq::ScratchSource::kHeap,
                             BorderIndex);
  if (ret != ZQ_OK) LogAllocFailure("ZqImgBoxFilter");
  return ret;
}

extern "C" int ZqImgGaussianblur(const uint8_t *src, int rows, int cols, int ksize,
                                 const int32_t *kernel, uint8_t *dst, float sigma) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || ksize < 1) return ZQ_ERR_PARAM;
  const int32_t h = ksize / 2;
  const int32_t n = 2 * h + 1;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  if (kernel == nullptr) {
    int32_t *fixed = scratch.Take<int32_t>(n);
    double *w = scratch.Take<double>(n);
    if (fixed == nullptr || w == nullptr) {
      LogAllocFailure("ZqImgGaussianblur");
      return ZQ_ERR_ALLOC;
    }
    static const double kSmall[4][7] = {
        {1},
        {0.25, 0.5, 0.25},
        {0.0625, 0.25, 0.375, 0.25, 0.0625},
        {0.03125, 0.109375, 0.21875, 0.28125, 0.21875, 0.109375, 0.03125},
    };
    if (ksize <= 7 && sigma <= 0) {
      for (int32_t i = 0; i < n; ++i) w[i] = kSmall[h][i];
    } else {
      const double s = sigma > 0 ? sigma : 0.3 * (h - 1) + 0.8;
      for (int32_t i = 0; i < n; ++i) w[i] = TaylorExp(-double(i - h) * (i - h) / (2 * s * s));
    }
    double sum = 0;
    for (int32_t i = 0; i < n; ++i) sum += w[i];
    for (int32_t i = 0; i < n; ++i) {
      double v = w[i] / sum;
      fixed[i] = static_cast<int32_t>(v >= 0 ? v * 65536 + 0.5 : v * 65536 - 0.5);
    }
    kernel = fixed;
  }
  int ret = zq::RunFixedBlur(src, rows, cols, kernel, n, dst, zq::ScratchSource::kHeap,
                             BorderIndex);
  if (ret != ZQ_OK) LogAllocFailure("ZqImgGaussianblur");
  return ret;
}
