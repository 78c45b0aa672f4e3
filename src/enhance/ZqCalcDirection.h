// Block ridge-orientation field of a 16-bit image from its half-resolution
// gradients.
#ifndef SRC_ENHANCE_ZQCALCDIRECTION_H_
#define SRC_ENHANCE_ZQCALCDIRECTION_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// half ((rows / 2) x (cols / 2)) gets the 1-2-1 binomial reduction of src
// at the even source pixels (rounded down); its first and last rows and
// columns copy the source pixels at the image edges. Does nothing for NULL
// or a half size below 1.
void ZqHalfImage_16u(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *half);

// Writes the gradient direction in whole degrees 1..180 (180 for 0) of
// each 2 x 2 block of src into map (rows x cols, filled by the caller; the
// last row or column of an odd size is left as it is), from half-resolution
// Sobel structure sums over (2 boxRadius + 1)^2 windows. 0; -1 allocation
// or a negative radius.
int32_t ZqCalcDirection(const uint16_t *src, int32_t rows, int32_t cols, int32_t boxRadius,
                        uint8_t *map);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQCALCDIRECTION_H_
