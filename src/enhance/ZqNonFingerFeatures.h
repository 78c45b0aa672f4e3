// Texture and gradient features of the no-finger decision: the local
// 11 x 11 stretch, the grey-level co-occurrence matrix and its three
// measures, the gradient-magnitude histogram, and the 17-feature vector
// built from them. Images are 8-bit, row-major, without gaps. Nothing logs.
#ifndef SRC_ENHANCE_ZQNONFINGERFEATURES_H_
#define SRC_ENHANCE_ZQNONFINGERFEATURES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out = (pixel - lo) * R[hi - lo] + 0.5, truncated and limited to 255, lo
// and hi the minimum and maximum of the 11 x 11 window (borders reflected
// without the edge); out = pixel where lo = hi. R[1] = 255, R[2] = 125,
// R[i] = 255 / i otherwise. 0; -1 NULL; -2 allocation; -3 border fill.
int32_t NonFingerLocalStretch(const uint8_t *image, uint16_t rows, uint16_t cols, uint8_t *out);

// 8 x 8 co-occurrence matrix of the levels v >> 5 (row: pixel, column:
// neighbour) over the right, down-right, down and down-left neighbours,
// divided by the number of pairs; all 0 when there is no pair.
// 0; -1 NULL.
int32_t NonFingerGlcm(const uint8_t *image, uint16_t cols, uint16_t rows, float *matrix);

// out[0] contrast, out[1] homogeneity, out[2] dissimilarity of a
// 64-entry co-occurrence matrix. 0; -1 NULL.
int32_t NonFingerGlcmFeatures(const float *matrix, float *out);

// Sobel magnitudes g of the interior pixels; those above 10 count: out[0]
// g < 100, out[1] < 200, out[2] < 400, out[3] < 600, out[4] < 800, out[5]
// the rest, out[6] the sum of g; all seven divided by the count when it is
// above 0. Sides below 3 count nothing. 0; -1 NULL; -2 allocation.
int32_t NonFingerGradHist(const uint8_t *image, uint16_t rows, uint16_t cols, float *out);

// The 17 features of width x height image (see NonFingerDetect).
// 0; -1 NULL; -2 allocation; -3 median; -4 stretch; -6, -9 co-occurrence;
// -7 gradients.
int32_t NonFingerFeatures(const uint8_t *image, uint16_t width, uint16_t height, float *feat);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQNONFINGERFEATURES_H_
