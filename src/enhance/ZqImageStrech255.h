// Robust bounds and the 0..255 contrast stretch of the pre-threshold
// enhancement.
#ifndef SRC_ENHANCE_ZQIMAGESTRECH255_H_
#define SRC_ENHANCE_ZQIMAGESTRECH255_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bounds cutting 0.5 % of the valid (mask non-zero) pixels at each end
// from a 400-bin split histogram between their minimum and the larger of
// their maximum and 0; the low bound is the top of the range when no bin
// passes upwards. Both 0 without valid pixels or spread. Does nothing for
// NULL or a size below 1.
void ZqGetBoundaryByHistInt(const int32_t *values, const uint8_t *mask, int32_t rows,
                            int32_t cols, int32_t *high, int32_t *low);

// Stretches every pixel from the tightest of the histogram bounds, the
// mean +- 3 deviation bounds and the valid range onto 0..255 (rounded,
// clamped). 0; -1 NULL or a size below 1; -4 when the bounds collapse
// (every pixel then becomes 0).
int32_t ZqImageStrech255(int32_t *values, const uint8_t *mask, int32_t rows, int32_t cols);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMAGESTRECH255_H_
