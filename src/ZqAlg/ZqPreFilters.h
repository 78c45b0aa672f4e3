// Pre-filters the sensor library may run on an image before extraction:
// bad-pixel repair, SPA smoothing, non-linear stretches, the FFT root
// filter, display smoothing, the coverage test of two images, padded
// adaptive equalisation, and forwarders to workers of other layers.
#ifndef SRC_ZQALG_ZQPREFILTERS_H_
#define SRC_ZQALG_ZQPREFILTERS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Result of the two stretches on success.
#define ZQ_STRETCH_DONE 9

// Repairs the pixels equal to 255 from their neighbours, in place.
// 0; -1 NULL; -2 allocation.
int32_t ZqBadPixRepair(uint8_t *img, uint16_t cols, uint16_t rows);

// SPA smoothing in place at the configured size: 0; -1 when it fails.
int32_t ZqSpaFilter(uint8_t *img);

// Band-pass, local equalisation and blur of a 16-bit frame into dst; the
// darkest raw pixels become 254. 9; -1 NULL; -2 allocation; -3, -4 box
// filter; -5 blur.
int32_t ZqNonLinearStretch(const uint16_t *raw, int rows, int cols, uint8_t *dst);

// The 8-bit twin: pixels of src above 250 become 254. dst may be src.
int32_t ZqNonLinearStretch_U8(const uint8_t *src, int rows, int cols, uint8_t *dst);

// img (a columns, b rows) less its local mean, through an FFT round trip,
// stretched to 0..254 (truncated) into dst. 0; -1 NULL; -2 allocation;
// -3 mean removal; -4 forward FFT; -6 inverse FFT.
int32_t ZqRootFilter(const uint8_t *img, int a, int b, uint16_t window, uint8_t *dst);

// SPA smoothing of img (a rows, b columns, whatever the configured sensor
// size) in place, then dst = local stretch of its 3x3 mean. 0; -1 bad input;
// -2 smoothing; -3 allocation; -4 mean; -5 stretch.
int32_t ZqImageSmooth(uint8_t *img, int a, int b, uint8_t *dst);

// 1 when the normalised correlation of the centred window of the two
// images exceeds thr, else 0; -1 NULL image or half 0.
int32_t ZqCoverArea(const uint8_t *img1, const uint8_t *img2, uint16_t rows, uint16_t cols,
                    uint16_t half, float thr);

// ImgAdaptHisteq on the image mirrored out to a whole number of tiles.
// 0; -1 NULL; -2 allocation.
int32_t ZqImgAdaptHisteq(uint8_t *img, uint32_t width, uint32_t height, uint8_t lo, uint8_t hi,
                         uint32_t tilesX, float clip, uint32_t tilesY, uint32_t bins);

// With SPA filtering on: smooths img and sets its background pixels as
// sample extraction would; sizes above the configured sensor are refused.
void ZqforUserSpa(uint8_t *img, uint16_t cols, uint16_t rows);

// FFTFilter unchanged.
int32_t ZqNoiseFilter(uint8_t *src, uint8_t filter, int32_t a, int32_t b, uint8_t *dst,
                      float ratio);

// DealCurveSurfData unchanged.
int32_t ZqDealCurveSurfData(const uint16_t *raw, int32_t rows, int32_t cols, uint8_t *dst);

// ZqMeanImage unchanged.
int32_t Zq_MeanImage(const uint8_t *img, uint16_t a, uint16_t b, int32_t radius, uint8_t *dst);

// ZqMirrorFill_u8 unchanged.
int32_t ZqMirrorFillU8(const uint8_t *img, int32_t rows, int32_t cols, int32_t top, int32_t left,
                       uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQPREFILTERS_H_
