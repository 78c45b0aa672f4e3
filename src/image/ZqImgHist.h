// 8-bit histogram tools: counts, min-max and percentile contrast stretches,
// and two drawings to look at (a histogram's bars, a 256-entry curve).
#ifndef SRC_ZQIMGHIST_H_
#define SRC_ZQIMGHIST_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Counts the pixels of the 8-bit image img whose value v lies in lo..hi
// into hist[v], after clearing hist[lo..hi]; hist holds at least hi + 1
// entries. 0 ok; -1 for a NULL image or histogram, missing data, or lo < 0
// or hi < lo; -2 for a depth other than 8; -3 for an empty image.
int32_t ZqCalcU8ImageHist(const ST_Image *img, int32_t *hist, int32_t lo, int32_t hi);

// Min-max stretch of the 8-bit image src to 0..255 into *dst (created when
// it holds NULL): out = ((v - lo) * 255 + (hi - lo) / 2) / (hi - lo); a
// flat image gives 255 everywhere. 0 ok; -1 for a NULL, non-8-bit or
// data-less source or a NULL dst address; -2 when *dst differs in size or
// depth or cannot be made.
int32_t ZqNormalizeU8Image(const ST_Image *src, ST_Image **dst);

// The same stretch on a bare width x height buffer (row stride = width);
// dst may be src. 0 ok (an empty image writes nothing), -1 for NULL.
int32_t Normalize_u8(const uint8_t *src, uint16_t width, uint16_t height, uint8_t *dst);

// Stretch between the grey levels where the twice (1, 2, 1)-smoothed
// histogram's count from below and from above crosses fraction * pixels;
// bounds that meet or cross give 255 everywhere. dst may be src. 0 ok, -1
// for NULL.
int32_t HistNormalize_u8(const uint8_t *src, uint16_t width, uint16_t height, uint8_t *dst,
                         float fraction);

// Draws hist[0..bins - 1] as white bars, scaled to the largest count, into
// *dst (8-bit, height rows x width columns, created when it holds NULL).
// 0 ok; -1 for a NULL histogram or dst address, bins or a size <= 0, a *dst
// of another size or depth, or a creation failure.
int32_t ZqCreateHistImage(const int32_t *hist, int32_t width, int32_t height, int32_t bins,
                          ST_Image **dst);

// Plots a 256-entry curve (grey 100) with the identity diagonal (grey 128)
// into *dst (8-bit, height rows x width columns, created when it holds
// NULL). 0 ok; -1 for a NULL curve or dst address, a size <= 0, a *dst of
// another size or depth, or a creation failure.
int32_t ZqCreatePixelExpImage(const int32_t *curve, int32_t width, int32_t height,
                              ST_Image **dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMGHIST_H_
