// Border index rules and a 16.16 fixed-point separable Gaussian of 16-bit
// images.
#ifndef SRC_ENHANCE_ZQGAUSSFILTERQ16_H_
#define SRC_ENHANCE_ZQGAUSSFILTERQ16_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Maps index p onto 0..len - 1: unchanged inside; outside, type 0 clamps,
// type 1 mirrors repeating the edge (-1 -> 0), type 2 mirrors without it
// (-1 -> 1; len 1 gives 0), type 3 wraps; any other type (or a len below
// 1) gives -1 for an outside index.
int32_t ZqBorderIndex(int32_t p, int32_t len, int32_t type);

// Separable Gaussian of ksize taps (sigma = sigmaQ16 / 65536; derived from
// ksize when not positive) with 16.16 integer weights and mirrored borders
// (ZqBorderIndex type 2). dst may equal src; cols is at most 256.
// 0; -1 NULL, rows or ksize below 1, cols 0 or above 256; -2 ksize 1 (src
// copied to dst); -3 allocation; -5 cols negative.
int32_t ZqGaussFilterQ16_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t sigmaQ16,
                             int32_t ksize, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQGAUSSFILTERQ16_H_
