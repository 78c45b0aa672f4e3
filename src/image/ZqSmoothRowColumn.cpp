// Separable row and column filters (float and 16.16 fixed point).
#include <stdint.h>

#include "src/image/ZqSeparable.h"
#include "src/image/ZqSmooth.h"

extern "C" void ZqRowFilter_32f(const float *row, int32_t n, const float *kernel, int32_t ksize,
                                float *out) {
  if (row == nullptr || kernel == nullptr || out == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    float s = 0;
    for (int32_t j = 0; j < ksize; ++j) s += row[i + j] * kernel[j];
    out[i] = s;
  }
}

extern "C" void ZqColumnFilter_32f(const float *const *rows, int32_t n, const float *kernel,
                                   int32_t ksize, float *out) {
  if (rows == nullptr || kernel == nullptr || out == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    float s = 0;
    for (int32_t j = 0; j < ksize; ++j) s += rows[j][i] * kernel[j];
    out[i] = s;
  }
}

extern "C" void ZqRowFilter_8u(const uint8_t *row, int32_t n, const int32_t *kernel,
                               int32_t ksize, int32_t *out) {
  zq::FixedRowFilter(row, n, kernel, ksize, out);
}

extern "C" void ZqColumnFilter_8u(const int32_t *const *rows, int32_t n, const int32_t *kernel,
                                  int32_t ksize, uint8_t *out) {
  zq::FixedColumnFilter(rows, n, kernel, ksize, out);
}

extern "C" void ZqRowFilter_16u(const uint16_t *row, int32_t n, const int32_t *kernel,
                                int32_t ksize, int32_t *out) {
  zq::FixedRowFilter(row, n, kernel, ksize, out);
}

extern "C" void ZqColumnFilter_16u(const int32_t *const *rows, int32_t n, const int32_t *kernel,
                                   int32_t ksize, uint16_t *out) {
  zq::FixedColumnFilter(rows, n, kernel, ksize, out);
}
