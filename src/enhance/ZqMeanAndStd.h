// Local mean and deviation of the valid pixels of a 16-bit image.
#ifndef SRC_ENHANCE_ZQMEANANDSTD_H_
#define SRC_ENHANCE_ZQMEANANDSTD_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// For every pixel, over the window x window neighbourhood (half width
// window / 2, clipped at the borders) of the pixels whose mask byte is
// non-zero (each counted mask-byte times): mean = 256 x the rounded mean,
// dev = 256 x the integer part of the standard deviation, or 1 below a
// variance of 1. A window without valid pixels gives mean 0 and repeats the
// deviation last written in raster order (0 at first).
// 0; -1 NULL, a size below 1 or a negative window; -2 allocation.
int32_t ZqCalcMeanAndStd(const uint16_t *src, const uint8_t *mask, int32_t rows, int32_t cols,
                         int32_t window, int32_t *mean, int32_t *dev);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQMEANANDSTD_H_
