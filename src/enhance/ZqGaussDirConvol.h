// Oriented Gaussian smoothing of a 16-bit image along its own gradient
// field.
#ifndef SRC_ENHANCE_ZQGAUSSDIRCONVOL_H_
#define SRC_ENHANCE_ZQGAUSSDIRCONVOL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Smooths src (cols x rows, width first) with one of 13 oriented Gaussians
// of (2 radius + 1)^2 taps per pixel, chosen by ZqCalcDirection(src, 2);
// the taps inside the image are normalised by their own weight sum. dst
// may equal src. 0; -1 allocation or bad argument; -2 allocation of the
// in-place copy.
int32_t ZqGaussDirConvol(const uint16_t *src, int32_t cols, int32_t rows, int32_t radius,
                         uint16_t *dst, float aspect, float spread);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQGAUSSDIRCONVOL_H_
