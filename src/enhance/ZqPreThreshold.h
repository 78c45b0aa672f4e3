// Pre-threshold enhancement of small-sensor images: a band-pass image
// blended with an orientation-guided enhancement.
#ifndef SRC_ENHANCE_ZQPRETHRESHOLD_H_
#define SRC_ENHANCE_ZQPRETHRESHOLD_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Angles of ZqCordicAtan2, radians x 4096: entry k = round(4096 atan 2^-k).
extern const int16_t g_CordicAtanTable[16];

// integ ((rows + 1) x (cols + 1)) = the integral image of src with 32-bit
// wrapping sums (ZqGetIntegGraph_32u). 0.
int32_t ZqGetIntegGraphImg(const uint32_t *src, int32_t rows, int32_t cols, uint32_t *integ);

// Angle of the vector (a, b) in radians x 4096 (pi = 12868) from a
// four-step CORDIC, accurate to a few degrees; -pi..pi.
int32_t ZqCordicAtan2(int32_t a, int32_t b);

// Ridge direction (0..179 degrees) of each pixel of img (0..255 values)
// from Gaussian-smoothed (sigma 4, 25 taps) gradient moments and
// ZqCordicAtan2. 0; -1 NULL, a bad size or a failed smoothing.
int32_t ZqCordicOrientation(const uint16_t *img, int32_t rows, int32_t cols, uint16_t *ori);

// Local statistics stretch of src (0..255; valid pixels 1..254) over
// 19 x 19 windows, then ZqImageStrech255: dst gets 0..255. dst may equal
// src. 0; -1 NULL or a size below 1; -2 allocation; -4 the stretch
// collapsed (flat image).
int32_t ZqWhiteStrech(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst);

// The enhancement stage: white stretch, local range normalisation,
// oriented smoothing, Gabor filtering, smoothing and the contrast
// normalisation between the directional envelopes; dst gets 0..255 (may
// equal src). 0; non-zero when a step failed (dst then undefined).
int32_t ZqImageEnhanceSmall(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst);

// Band-pass (Gaussian sigma 1 minus sigma 6, on value x 256) of src,
// stretched to 0..255 over the valid pixels (1..254). dst may equal src.
// 0; non-zero on failure.
int32_t ZqGaussBandFilter(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst);

// dst = (65 band + 35 enhanced + 50) / 100 of src (0..255 values); dst may
// equal src and is written only on success. scratch is not used.
// 0; -1 NULL or a zero size; -2 allocation; -3 enhancement failed or a
// negative size; -5 band filter failed.
int32_t ZqPreThresholdProcess(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst,
                              void *scratch);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQPRETHRESHOLD_H_
