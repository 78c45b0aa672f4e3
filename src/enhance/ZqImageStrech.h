// Robust contrast bounds of the valid pixels of a 32-bit image and the
// contrast stretch between them.
#ifndef SRC_ENHANCE_ZQIMAGESTRECH_H_
#define SRC_ENHANCE_ZQIMAGESTRECH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bounds that cut 0.5 % of the valid (mask non-zero) pixels at each end,
// read from a 400-bin histogram between their minimum and maximum with
// linear bin splitting. Both are the minimum (0 without valid pixels) when
// the values do not spread. Does nothing for NULL or a size below 1.
void ZqGetBoundaryByHist(const int32_t *values, const uint8_t *mask, int32_t rows, int32_t cols,
                         int32_t *high, int32_t *low);

// Mean +- 3 standard deviations of the valid pixels (rounded integer mean,
// integer deviation, at least 1); both 0 with fewer than 101 valid pixels.
// Does nothing for NULL or a size below 1.
void ZqGetBoundaryBySigma(const int32_t *values, const uint8_t *mask, int32_t rows,
                          int32_t cols, int32_t *high, int32_t *low);

// Stretches every pixel, valid or not, from the tightest of the two pairs
// of bounds and the valid pixels' range onto 0..top (rounded, clamped);
// when those bounds collapse every pixel becomes 0.
// 0; -1 NULL or a size below 1.
int32_t ZqImageStrech(int32_t *values, const uint8_t *mask, int32_t rows, int32_t cols,
                      int32_t top);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMAGESTRECH_H_
