// Cubic-convolution coefficients, resizing of 8-bit and float images and the
// cubic doubling that starts the keypoint detector's scale space.
#ifndef SRC_ZQIMGRESIZE_H_
#define SRC_ZQIMGRESIZE_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Writes the four cubic-convolution weights (A = -0.75) of samples 0..3 for
// a position x in [0, 1) between samples 1 and 2; they sum to 1. A NULL
// array is logged ("ZqInterpolateCubic...coeffs == NULL").
void ZqInterpolateCubic(float *coeffs, float x);

// Resizes srcImg into dstImg's width and height; both DEPTH_8U or both
// DEPTH_32F. Mode 0: nearest sample on 8-bit images, decimation by two
// (dst(i, j) = src(2i, 2j)) on float images, whose target must then fit in
// half the source (rounded up). Mode 2: two-phase cubic interpolation
// (phases 0.25 and 0.75, made for doubling) over the taps inside the
// source. Returns 0 after a resize and for any other mode (nothing written),
// -1 for NULL images, missing data, an empty target or source, a depth
// mismatch, a float decimation target too large, or an allocation failure,
// and 2 for a source depth other than 8 and 32. Every refusal is logged.
int32_t ZqResize(const ST_Image *srcImg, ST_Image *dstImg, int32_t mode);

// Doubles the float image src into dst, a float image of exactly twice its
// width and height made by the caller, by separable cubic convolution; at
// the ends the dropped taps' share is made up by fixed gains (lines of 3
// samples or more) or by the weights used (shorter lines). Returns 1, or 0
// for NULL or mismatched images and allocation failure (logged).
int32_t ZqDoubleImageByCubic(const ST_Image *src, ST_Image *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMGRESIZE_H_
