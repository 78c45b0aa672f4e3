// In-place 8-bit contrast filters of the sample front end (local variance
// foreground mask, band-pass by mean subtraction, local contrast gain,
// speckle filter) and the float-to-8-bit stretch they share. Images are
// row-major, rows x cols, without gaps; work buffers come from the
// pool-or-heap pair. A failing filter leaves the image as it was.
#ifndef SRC_ENHANCE_ZQCONTRASTFILTERS_H_
#define SRC_ENHANCE_ZQCONTRASTFILTERS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// mask = 1 where thr^2 < (window box mean of img^2) - (box mean of img)^2,
// then eroded 7 x 7 and dilated 5 x 5. 0; -1 NULL; -2 allocation;
// otherwise the failing box filter's, erosion's or dilation's code.
int32_t ZqSegmentByLocalVariance(const uint8_t *img, int32_t rows, int32_t cols, int32_t window,
                                 uint8_t *mask, float thr);

// img = (3 x 3 box mean - window box mean) stretched to 0..254. 0; -1 NULL
// or window below 3; -2 allocation; otherwise the box filter's code.
int32_t ZqGrayMeanSub(uint8_t *img, int32_t rows, int32_t cols, int32_t window);

// Gaussian 3 blur b, then out = b + (integer mean of b) x 0.2 / d x (b - m)
// with m, d the window mean and standard deviation (d at least 1),
// stretched to 0..250 (0 for a flat result). 0; -1 NULL; -2 allocation;
// -3 the blur failed otherwise; -4 a box filter failed otherwise.
int32_t ZqLocalContrastEnhance(uint8_t *img, int32_t rows, int32_t cols, int32_t window);

// Lee speckle filter: out = A (1 - k) + k img with A the window mean,
// v the window variance, k = v / (noise + v) (0 when that is 0 / 0),
// stretched to 0..250 (0 for a flat result). 0; -1 NULL; -2 allocation;
// -3 a box filter failed.
int32_t ZqLeeFilter(uint8_t *img, int32_t rows, int32_t cols, int32_t window, float noise);

// dst = integer part of (src - min) x top / (max - min); 0 everywhere when
// max - min is below 1e-6. Writes nothing for NULL or a side below 1.
void ZqNormalize_32f_2_8u(const float *src, int32_t rows, int32_t cols, uint8_t *dst, float top);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQCONTRASTFILTERS_H_
