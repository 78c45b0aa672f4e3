// Separable Gaussian blurs and the Laplacian of the smoothing file.
#include <stdint.h>

#include <cmath>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSeparable.h"
#include "src/image/ZqSmooth.h"

namespace {

using zq::ScratchSource;
using zq::ScratchStack;

// Fills out[0 .. cols + 2R) with row extended by R pixels on both sides.
void ExtendRow(const float *row, int32_t cols, int32_t R, float *out) {
  for (int32_t x = -R; x < cols + R; ++x)
    out[x + R] = row[ZqBorderInterpolate(x, cols, ZQ_BORDER_REFLECT_101)];
}

// Row pointers for rows -R .. rows + R - 1 of a rows x cols block, margins
// mirrored (reflect-101).
void MirrorRowPointers(const float *block, int32_t rows, int32_t cols, int32_t R,
                       const float **ptr) {
  for (int32_t y = -R; y < rows + R; ++y)
    ptr[y + R] = block + int64_t{ZqBorderInterpolate(y, rows, ZQ_BORDER_REFLECT_101)} * cols;
}

template <typename Pixel>
int32_t FixedGaussian(const Pixel *src, int32_t rows, int32_t cols, int32_t ksize,
                      const int32_t *kernel, Pixel *dst, float sigma) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || ksize < 1)
    return ZQ_ERR_PARAM;
  const int32_t n = ksize | 1;
  ScratchStack scratch(ScratchSource::kPool);
  if (kernel == nullptr) {
    float *fk = scratch.Take<float>(n);
    int32_t *ik = scratch.Take<int32_t>(n);
    if (fk == nullptr || ik == nullptr) return ZQ_ERR_ALLOC;
    ZqGetGaussianKernel(fk, n, sigma);
    for (int32_t i = 0; i < n; ++i) ik[i] = static_cast<int32_t>(std::lround(fk[i] * 65536.0));
    kernel = ik;
  }
  return zq::RunFixedBlur(src, rows, cols, kernel, n, dst, ScratchSource::kPool,
                          ZqBorderInterpolate);
}

}  // namespace

extern "C" int32_t ZqGaussianBlur_32f(const float *src, int32_t rows, int32_t cols,
                                      int32_t ksize, float *dst, float sigma) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || ksize < 1)
    return ZQ_ERR_PARAM;
  const int32_t n = ksize | 1;
  const int32_t R = n / 2;
  ScratchStack scratch(ScratchSource::kPool);
  float *kernel = scratch.Take<float>(n);
  float *ext = scratch.Take<float>(int64_t{cols} + 2 * R);
  float *work = scratch.Take<float>(int64_t{rows} * cols);
  const float **ptr = scratch.Take<const float *>(int64_t{rows} + 2 * R);
  if (kernel == nullptr || ext == nullptr || work == nullptr || ptr == nullptr)
    return ZQ_ERR_ALLOC;
  ZqGetGaussianKernel(kernel, n, sigma);
  for (int32_t y = 0; y < rows; ++y) {
    ExtendRow(src + int64_t{y} * cols, cols, R, ext);
    ZqRowFilter_32f(ext, cols, kernel, n, work + int64_t{y} * cols);
  }
  MirrorRowPointers(work, rows, cols, R, ptr);
  for (int32_t y = 0; y < rows; ++y)
    ZqColumnFilter_32f(ptr + y, cols, kernel, n, dst + int64_t{y} * cols);
  return ZQ_OK;
}

extern "C" int32_t ZqGaussianBlur_8u(const uint8_t *src, int32_t rows, int32_t cols,
                                     int32_t ksize, const int32_t *kernel, uint8_t *dst,
                                     float sigma) {
  return FixedGaussian(src, rows, cols, ksize, kernel, dst, sigma);
}

extern "C" int32_t ZqGaussianBlur_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                      int32_t ksize, const int32_t *kernel, uint16_t *dst,
                                      float sigma) {
  return FixedGaussian(src, rows, cols, ksize, kernel, dst, sigma);
}

extern "C" int32_t ZqLaplacian_32f(const float *src, int32_t rows, int32_t cols, int32_t ksize,
                                   float *dst, float scale) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || ksize < 1)
    return ZQ_ERR_PARAM;
  const int32_t m = ksize | 1;
  const int32_t R = m / 2;
  ScratchStack scratch(ScratchSource::kPool);
  int32_t *ik = scratch.Take<int32_t>(2 * int64_t{m});
  if (ik == nullptr) return ZQ_ERR_ALLOC;
  if (ZqGetSobelKernels(ik, ik + m, 2, 0, m) != ZQ_OK) return ZQ_ERR_STEP;
  float *d2 = scratch.Take<float>(2 * int64_t{m});
  float *ext = scratch.Take<float>(int64_t{cols} + 2 * R);
  float *a = scratch.Take<float>(int64_t{rows} * cols);
  float *b = scratch.Take<float>(int64_t{rows} * cols);
  const float **pa = scratch.Take<const float *>(int64_t{rows} + 2 * R);
  const float **pb = scratch.Take<const float *>(int64_t{rows} + 2 * R);
  float *o = scratch.Take<float>(cols);
  float *t = scratch.Take<float>(cols);
  if (d2 == nullptr || ext == nullptr || a == nullptr || b == nullptr || pa == nullptr ||
      pb == nullptr || o == nullptr || t == nullptr)
    return ZQ_ERR_ALLOC;
  float *s = d2 + m;
  for (int32_t i = 0; i < m; ++i) {
    d2[i] = static_cast<float>(ik[i]);
    s[i] = static_cast<float>(ik[m + i]);
  }
  for (int32_t y = 0; y < rows; ++y) {
    ExtendRow(src + int64_t{y} * cols, cols, R, ext);
    ZqRowFilter_32f(ext, cols, d2, m, a + int64_t{y} * cols);
    ZqRowFilter_32f(ext, cols, s, m, b + int64_t{y} * cols);
  }
  MirrorRowPointers(a, rows, cols, R, pa);
  MirrorRowPointers(b, rows, cols, R, pb);
  for (int32_t y = 0; y < rows; ++y) {
    ZqColumnFilter_32f(pa + y, cols, s, m, o);
    ZqColumnFilter_32f(pb + y, cols, d2, m, t);
    float *out = dst + int64_t{y} * cols;
    for (int32_t x = 0; x < cols; ++x) out[x] = (o[x] + t[x]) * scale;
  }
  return ZQ_OK;
}
