// The older image-quality scorers and the helpers that serve only them:
// block-variance scorers, corner-masked ZE4850 scorers, an integral-image
// dynamic threshold, Sobel structure planes, a Harris-like response, a
// histogram and a percentile stretch. Nothing in the library calls them.
// Images and validMap as in ZqImgQuality.h.
#ifndef SRC_ENHANCE_ZQIMGQUALITYLEGACY_H_
#define SRC_ENHANCE_ZQIMGQUALITYLEGACY_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 16 x 16 block-variance scorer over the centred part of the image whose
// sides are multiples of 16: area = valid percent, brightness =
// 100 (1 - |m - 128| / 128) of the valid mean m, quality = mean weight of
// the blocks with more than 191 valid pixels; validMap = valid.
// 0; -1 NULL; -2 allocation.
int32_t ZqImgQuality_ZE4850(const uint8_t *image, uint16_t width, uint16_t height, uint8_t *area,
                            uint8_t *quality, uint8_t *brightness, uint8_t *validMap);

// ZqImgQuality_ZE4850 with the general weight table; *zero is set to 0.
int32_t ZqImgQuality_Other_v2(const uint8_t *image, uint16_t width, uint16_t height,
                              uint8_t *area, uint8_t *quality, uint8_t *brightness,
                              uint8_t *zero, uint8_t *validMap);

// Corner-masked ZE4850 scorer on the 11 x 11 ridge masks and the region
// filter ZqGetConnectedArea_v3; validMap = corner and valid. 0; -1 NULL;
// -2 allocation; -3 a step failed.
int32_t ZqImgQuality_ZE4850_v3(const uint8_t *image, uint16_t width, uint16_t height,
                               uint8_t *area, uint8_t *quality, uint8_t *contrast,
                               uint8_t *validMap);

// Corner-masked ZE4850 scorer on 3 x 3 integral-image ridge masks and the
// region filter ZqGetConnectedArea_v2. 0; -1 NULL; -2 allocation; -3 a
// step failed.
int32_t ZqImgQuality_ZE4850_v2(const uint8_t *image, uint16_t width, uint16_t height,
                               uint8_t *area, uint8_t *quality, uint8_t *contrast,
                               uint8_t *validMap);

// Sets in validMap the valid (<= 250, eroded 5 x 5) pixels under the
// dilated (8 x 8) corner mask (response above 20); the ten middle
// arguments are not read. 0; -1 NULL image or internal validMap
// allocation; -2 other allocation.
int32_t ZqImgQuality_DO4851_Brun_v2(const uint8_t *image, uint16_t width, uint16_t height,
                                    void *unused0, void *unused1, void *unused2, void *unused3,
                                    void *unused4, void *unused5, void *unused6, void *unused7,
                                    void *unused8, void *unused9, uint8_t *validMap);

// out = 1 where pixel - (window mean, truncated) >= threshold (mode 1) or
// < threshold (other modes); windows clipped to the image. 0; -1 NULL; -2
// allocation.
int32_t ZqDynThreshold(const uint8_t *image, uint8_t *out, int32_t cols, int32_t rows,
                       int32_t window, int32_t threshold, int32_t mode);

// Sobel structure planes (int32, rows x cols) of the interior pixels:
// Ixx = Gx^2 >> 8, Iyy = Gy^2 >> 8, Ixy = |Gx Gy| >> 8; border entries
// untouched. 0; -1 NULL or a side of 0 or less.
int32_t ZqGetGrad_dxdy(const uint8_t *image, int32_t rows, int32_t cols, int32_t *Ixx,
                       int32_t *Iyy, int32_t *Ixy);

// R = |Ixx Iyy - Ixy^2| - k (Ixx + Iyy)^2 (single precision); out = |R|
// truncated and clipped to 255, written only where non-zero. 0; -1 NULL.
int32_t ZqCalResponse(const int32_t *Ixx, const int32_t *Iyy, const int32_t *Ixy, uint8_t *out,
                      int32_t rows, int32_t cols, float k);

// (width + 1) x (height + 1) integral image; row 0 and column 0 are 0.
// 0; -1 NULL or a negative side.
int32_t BaseImageIntergraterU8(const uint8_t *image, int32_t width, int32_t height,
                               int32_t *sums);

// Adds every pixel to histogram[256] (not cleared first). 0; -1 NULL.
int32_t ZqCreateHist_U8(const uint8_t *image, int32_t width, int32_t height, int32_t *histogram);

// Percentile stretch into out (out may be image): when the darkest and
// brightest tenths allow it and the image has more than 40 rows, maps the
// range of rows 20 .. height - 21 onto 0 .. 251; otherwise copies.
// 0; -1 NULL; -2 allocation.
int32_t ZqImgStretch(const uint8_t *image, int32_t height, int32_t width, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMGQUALITYLEGACY_H_
