// Local statistics over a square window and the two local thresholds
// built on them. Buffers are gap-free and row-major; windows reflect
// without the edge. Nothing is logged.
#ifndef SRC_ZQLOCALSTAT_H_
#define SRC_ZQLOCALSTAT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Mean and sample variance over (2r + 1)^2 = d pixels, in float:
// mean = sum / d, var = (d * sumSq - sum^2) * 1 / ((d - 1) * d); var is 0
// for r = 0. 0; -1 for NULL; -2 scratch refused; -3 border fill failed.
int32_t ZqLocalMeanVar(const uint8_t *src, uint16_t width, uint16_t height, uint16_t r,
                       float *mean, float *var);

// Sauvola-style threshold of the source (invert 0) or of 255 - v
// (invert 1): 255 where mean * (1 - k) + sqrt(var) * (k / 128) * mean >
// pixel, else 0. 0; -1 for invert > 1, NULL, r outside 0..65535; -2; -3
// when the statistics fail.
int32_t ZqLocalThreshold(const uint8_t *src, uint16_t width, uint16_t height, uint8_t invert,
                         int32_t r, uint8_t *dst, float k);

// Mean threshold of the source (keep 1) or of 255 - v (keep 0; the
// opposite of ZqLocalThreshold's flag): 255 where pixel >= offset +
// MeanImage mean, compared as floats, else 0. 0; -1 for keep > 1, NULL, r
// outside 0..65535; -2; -3 when the mean fails.
int32_t ZqLocalAvergeThreshold(const uint8_t *src, uint16_t width, uint16_t height,
                               uint8_t keep, int32_t r, int32_t offset, uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQLOCALSTAT_H_
