// Laplacian-of-Gaussian ridge filter of a 16-bit image.
#ifndef SRC_ENHANCE_ZQLOGFILTER_H_
#define SRC_ENHANCE_ZQLOGFILTER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Laplacian (ksize taps, scale 1), then Gaussian blur (ksize taps, sigma
// 1), normalised onto 0..255 and inverted: dst = integer part of
// 255 - value. dst may be src. 0; -1 NULL or a size below 1; -2
// allocation; -3 the Laplacian failed; -4 the blur failed.
int32_t ZqLogFilter(const uint16_t *src, int32_t rows, int32_t cols, int32_t ksize,
                    uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQLOGFILTER_H_
