// Approximate Gaussian smoothing of the keypoint detector's scale space by
// chains of box-mean passes, and the box pass itself.
#ifndef SRC_ZQFASTGAUSSBLUR_H_
#define SRC_ZQFASTGAUSSBLUR_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Number of levels of the box-pass tables (level 0..5) and the most passes
// of one level.
#define ZQ_FAST_GAUSS_LEVELS 6
#define ZQ_FAST_GAUSS_MAX_PASSES 6

// The box-pass list of `level` for the mode byte `mode` (0, 16, or any
// other): writes the box sizes into sizes[0 .. count - 1] (sizes may be
// NULL) and returns count; -1 for a level above 5.
int32_t FastGaussBlurPasses(uint16_t level, uint8_t mode, int16_t sizes[ZQ_FAST_GAUSS_MAX_PASSES]);

// Smooths the float image src for scale-space `level` (0..5) with the
// box-pass chain of `mode` (FastGaussBlurPasses) into dst, a float image of
// the same size. The passes alternate between src and a scratch image, so
// src is overwritten: after an even number of passes (none included) it
// equals dst, after an odd number it holds the result of the next-to-last
// pass. Returns 1, or 0 (logged) for NULL or mismatched images, a level
// above 5, or a failed allocation (scratch header, or data where the kept
// block cannot serve, or a pass's column sums).
int32_t FastGaussBlur(ST_Image *src, ST_Image *dst, uint16_t level, uint8_t mode);

// One box-mean pass between two different float images of the same size:
// each output pixel is the mean of the source pixels of the size x size
// window (radius size / 2) centred on it, clipped to the image; a radius
// below 1 copies the pixels. Cost per pixel does not depend on the size.
// Returns 1, or 0 (logged) for NULL, identical or mismatched images or a
// failed column-sum row (dst then unchanged).
int32_t FastBoxBlurPass(const ST_Image *src, ST_Image *dst, int16_t size);

// Frees the scratch blocks the blur keeps from call to call; the next blur
// allocates anew.
void FastGaussBlurReleaseBuffers(void);

// Test hook: on != 0 keeps the box passes on four-lane registers even where
// the processor offers eight-lane ones (same results either way).
void FastBoxBlurFourLanesForTest(int32_t on);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQFASTGAUSSBLUR_H_
