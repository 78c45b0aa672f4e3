// Orientation field and orientation-guided envelope normalisation of a
// 16-bit image (the older enhancement pipeline's last step).
#ifndef SRC_ENHANCE_ZQORIREPAIR_H_
#define SRC_ENHANCE_ZQORIREPAIR_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Ridge orientation in whole degrees (0..179, 0 along a row) of every pixel
// from the smoothed gradient structure tensor (fixed sigma-1 kernel of
// ksize taps; sigma is passed on but not used). 0; -1 NULL or a size below
// 1; -2 allocation; -3 the smoothing failed.
int32_t ZqGetOriGraph(const uint16_t *src, int32_t rows, int32_t cols, int32_t ksize,
                      int32_t sigma, uint16_t *ori);

// dst = the maximum of src over the pixel and the points at distances
// 1..steps (at most 25) both ways along its orientation ori (taken modulo
// 180), those inside the image. dst must not overlap src. Does nothing for
// NULL or a size below 1.
void ZqTextureOriRepair(const uint16_t *src, const uint16_t *ori, int32_t rows, int32_t cols,
                        int32_t steps, uint16_t *dst);

// ZqTextureOriRepair across the orientation (ori + 90 modulo 180).
void ZqTextureVetOriRepair(const uint16_t *src, const uint16_t *ori, int32_t rows, int32_t cols,
                           int32_t steps, uint16_t *dst);

// Maps src onto 0..255 between its smoothed upper and lower envelopes
// (grey maximum and minimum along stepsAlong, then across stepsAcross,
// the orientation); 0 where they meet. dst may be src. 0; -1 NULL or a
// size below 1; -2 allocation; -3 orientation failed; -4 smoothing failed.
int32_t ZqOriRepair(const uint16_t *src, int32_t rows, int32_t cols, int32_t stepsAlong,
                    int32_t stepsAcross, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQORIREPAIR_H_
