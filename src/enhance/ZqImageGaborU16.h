// Gabor filtering of an 8-bit image along its own ridge orientation.
#ifndef SRC_ENHANCE_ZQIMAGEGABORU16_H_
#define SRC_ENHANCE_ZQIMAGEGABORU16_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Writes the ridge direction (0..179 degrees, 0 in unwritten cells of an
// odd size) of each 2 x 2 block of the min-max stretched src into map
// (rows x cols), from half-resolution Sobel sums over 27 x 27 windows.
// 0; -1 NULL or a size below 1; -2 allocation.
int32_t ZqGaborOrientation(const uint8_t *src, int32_t rows, int32_t cols, uint8_t *map);

// dst = AutoGaborFilter16 of src stretched to 0..255, along the ridge
// orientation of ZqGaborOrientation. A failure of the filter bank itself
// is not reported. 0; -1 NULL or a size below 1; -2 allocation.
int32_t ZqImageGaborU16(const uint8_t *src, int32_t rows, int32_t cols, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMAGEGABORU16_H_
