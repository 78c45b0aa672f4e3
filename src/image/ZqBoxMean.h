// Box means through integral images and running column sums.
// Buffers are gap-free and row-major. Nothing is logged.
#ifndef SRC_ZQBOXMEAN_H_
#define SRC_ZQBOXMEAN_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fills rows and columns 1.. of a zeroed (width + 1) x (height + 1)
// integral image: entry (i + 1, j + 1) = sum of src over rows 0..i and
// columns 0..j, wrapping modulo 2^32 (box sums stay exact while they fit).
void BaseImageIntergrater(const int32_t *src, int32_t width, int32_t height, int32_t *integral);

// Box mean over 2a + 1 columns by 2b + 1 rows, borders reflected with the
// edge: (int)(S / ((2a + 1)(2b + 1)) + 0.5) in float. dst may be src.
// 0; -1 for NULL, sizes below 1, a or b below 0, or scratch refused.
int32_t ZqIntBoxFilter(const int32_t *src, int32_t width, int32_t height, int32_t a, int32_t b,
                       int32_t *dst);

// ZqIntBoxFilter for 8-bit pixels, limited to 0..255.
int32_t ZqBoxFilter_u8(const uint8_t *src, int32_t width, int32_t height, int32_t a, int32_t b,
                       uint8_t *dst);

// ZqIntBoxFilter for 16-bit pixels, limited to 0..65535.
int32_t ZqBoxFilter_u16(const uint16_t *src, int32_t width, int32_t height, int32_t a,
                        int32_t b, uint16_t *dst);

// (2r + 1)^2 mean, borders reflected without the edge, truncated:
// (int)(sum * (1 / (2r + 1)^2)) in float. dst may be src.
// 0; -1 for NULL; -2 scratch refused; -3 border fill failed.
int32_t MeanImage(const uint8_t *src, uint16_t width, uint16_t height, uint16_t r, uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQBOXMEAN_H_
