// Fixed-point convolution with a float kernel (not flipped: a correlation).
// The kernel, kh rows x kw columns, is truncated to 16.16; each output is
// the 64-bit sum over the window of the image padded by kh / 2 rows and
// kw / 2 columns (reflection with the edge), brought back by
// (sum + 0x8000) >> 16 when sum > 0 and (sum - 0x8000) >> 16 (arithmetic)
// when sum <= 0, so a zero sum gives -1 before any limit.
// Results: 0; -1 when kw and kh are both even or both 1, for NULL buffers
// or sizes below 1; -2 when scratch memory is refused. dst may be src.
// Nothing is logged.
#ifndef SRC_ZQCONVOLVE_H_
#define SRC_ZQCONVOLVE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 8-bit convolution limited to 0..255.
int32_t ZqConvole(const uint8_t *src, int32_t width, int32_t height, const float *kernel,
                  int32_t kw, int32_t kh, uint8_t *dst);

// 16-bit convolution limited to 0..max.
int32_t ZqConvole16(const uint16_t *src, int32_t width, int32_t height, const float *kernel,
                    int32_t kw, int32_t kh, uint16_t *dst, uint16_t max);

// int32 convolution, not limited.
int32_t ZqConvole32(const int32_t *src, int32_t width, int32_t height, const float *kernel,
                    int32_t kw, int32_t kh, int32_t *dst);

// Convolution of 8-bit pixels into int32, not limited.
int32_t ZqConvoleU82Int(const uint8_t *src, int32_t width, int32_t height, const float *kernel,
                        int32_t kw, int32_t kh, int32_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQCONVOLVE_H_
