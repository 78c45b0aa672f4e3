// Gabor kernels and the orientation-steered Gabor filtering of ridge images.
#ifndef SRC_ZQGABOR_H_
#define SRC_ZQGABOR_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One kernel of a Gabor bank: size x size floats in row order.
typedef struct ST_GaborKernel {
  uint16_t size;  // 2 * radius + 1
  float *kernel;  // ZqSafeAlloc block, or NULL
} ST_GaborKernel;

// Fills entry (zero it before its first use) with the Gabor kernel of
// orientation theta (radians, [0, pi)): for offsets i (row) and j (column)
// in -radius..radius, u = j cos(theta) + i sin(theta), v = i cos(theta) -
// j sin(theta), value exp(-(u^2 + gamma^2 v^2) / (2 sigma^2)) *
// cos(phase + 2 pi u / period), divided by the sum of all values (unless
// that sum is 0 within 1e-10). An earlier kernel of the entry is freed. 0
// ok; -1 for a NULL entry, sigma <= 0, period 0 or a radius outside
// 0..11584; -2 for an allocation failure.
int32_t GenGaborFilter(ST_GaborKernel *entry, float gamma, float sigma, float theta, float phase,
                       int32_t period, int32_t radius);

// Gabor-filters the rows x cols 8-bit image src into dst (may be src). Each
// pixel's kernel comes from a bank of n kernels at theta = i pi / n: the
// one nearest its orientation byte (degrees, 0..180) turned by 90 degrees.
// The output is the kernel-weighted mean over the window clipped to the
// image, truncated and limited to 0..255; where the weighted sum is exactly
// 0 the source pixel is kept. 0 ok; -1 for NULL buffers, gamma or sigma
// <= 0.001, n 0, period 0 or radius <= 0 or above 11584; -2 for an
// allocation failure (logged).
int32_t AutoGaborFilter(const uint8_t *src, const uint8_t *orientation, uint16_t rows,
                        uint16_t cols, uint8_t n, int32_t period, float gamma, float sigma,
                        int32_t radius, uint8_t *dst);

// AutoGaborFilter with a 16-bit output limited to 0..65535.
int32_t AutoGaborFilter16(const uint8_t *src, const uint8_t *orientation, uint16_t rows,
                          uint16_t cols, uint8_t n, int32_t period, float gamma, float sigma,
                          int32_t radius, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQGABOR_H_
