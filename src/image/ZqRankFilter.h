// Rank filters: running minimum and maximum, shell sort, the five-pixel
// cross median and the square median. Buffers are gap-free and row-major.
// Nothing is logged.
#ifndef SRC_ZQRANKFILTER_H_
#define SRC_ZQRANKFILTER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Minimum and maximum over (2r + 1)^2, the window clipped at the borders.
// 0; -1 for NULL, sizes below 1, r below 0 or scratch refused.
int32_t ZqGetMaxMin16(const uint16_t *src, int32_t rows, int32_t cols, int32_t r,
                      uint16_t *minOut, uint16_t *maxOut);

// Maximum and minimum over (2ry + 1) rows x (2rx + 1) columns, borders
// reflected with the edge; a NULL output is skipped.
// 0; -1 for NULL src, sizes below 1, negative radii or scratch refused.
int32_t ZqBoxMinMaxFilter_u8(const uint8_t *src, int32_t width, int32_t height, int32_t rx,
                             int32_t ry, uint8_t *maxOut, uint8_t *minOut);

// Ascending shell sort in place (gaps n / 2, n / 4, ..., 1). Returns 0
// (-1 for NULL with n > 0).
int32_t ZqShellSort(int32_t *values, int32_t n);

// Median of each pixel and its four neighbours; a neighbour outside the
// image is replaced by the opposite one. dst must not be src.
// 0; -1 for NULL or an image narrower or shorter than 2 pixels.
int32_t ZqMedianCrossFilter(const uint8_t *src, uint16_t width, int32_t height, uint8_t *dst);

// (2r + 1)^2 median, borders reflected without the edge. dst may be src.
// 0 (also for an empty image, nothing written); -3 for NULL; -2 when
// scratch memory is refused (dst unwritten).
int32_t ZqMedianFilter(const uint8_t *src, uint16_t width, uint16_t height, uint16_t r,
                       uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQRANKFILTER_H_
