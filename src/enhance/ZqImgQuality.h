// Image-quality scores of a sensor image: how much of the sensor the finger
// covers (area, percent), how good the ridge pattern is (quality), how
// uniform it is (cond) and, on the ZE4850 family, the ridge contrast.
// Images are 8-bit, row-major, without gaps. validMap (optional) is a bit
// map of the image, bit i % 8 of byte i / 8 (least significant first) for
// pixel i = row x width + column, N / 8 + 1 bytes; scorers only set bits in
// it. Work buffers come from the counted heap and live for one call.
#ifndef SRC_ENHANCE_ZQIMGQUALITY_H_
#define SRC_ENHANCE_ZQIMGQUALITY_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Scores with the scorer of gSensorName: codes 8-11, 13, 14 go to
// ZqImgQuality_ZE4850_v4 without the caller's validMap (left untouched),
// every other code to ZqImgQuality_Other (contrast left untouched).
// Returns the scorer's result.
int32_t ZqImgQuality(const uint8_t *image, uint16_t width, uint16_t height, uint8_t *area,
                     uint8_t *quality, uint8_t *cond, uint8_t *contrast, uint8_t *validMap);

// ZqImgQuality for the rubber test: codes 8-11, 13, 14, 16 go to
// ZqImgQuality_ZE4850_v5.
int32_t ZqImgQualityRuber(const uint8_t *image, uint16_t width, uint16_t height, uint8_t *area,
                          uint8_t *quality, uint8_t *cond, uint8_t *contrast, uint8_t *validMap);

// General scorer by 9 x 9 local variance: textured pixels (6561 x variance
// above 648000) are marked in validMap and give area; quality and cond
// come from the spread of the variances and 8 x 8 block variances. An image
// with fewer than 8 rows or columns (no whole block) gets cond 0.
// 0; -1 NULL argument or internal validMap allocation; -2 allocation.
int32_t ZqImgQuality_Other(const uint8_t *image, uint16_t width, uint16_t height, uint8_t *area,
                           uint8_t *quality, uint8_t *cond, uint8_t *validMap);

// ZE4850-family scorer: ridges against an 11 x 11 local mean, filtered by
// connected regions (filter chosen by gSensorName), then the family's final
// adjustment. validMap receives the valid (unsaturated, border-cleared,
// closed) area. 0; -1 NULL argument; -2 allocation; -3 a threshold,
// morphology or region step failed (contrast may then already be written).
int32_t ZqImgQuality_ZE4850_v4(const uint8_t *image, uint16_t width, uint16_t height,
                               uint8_t *area, uint8_t *quality, uint8_t *contrast, uint8_t *cond,
                               uint8_t *validMap);

// ZqImgQuality_ZE4850_v4 with code 16 in the group of 9, 10, 13, 14 and
// ZqGetConnectedArea_v5 for every code but 8.
int32_t ZqImgQuality_ZE4850_v5(const uint8_t *image, uint16_t width, uint16_t height,
                               uint8_t *area, uint8_t *quality, uint8_t *contrast, uint8_t *cond,
                               uint8_t *validMap);

// Final quality of the ZE4850 scorers for sensor code `code` from the raw
// quality, contrast, cond and (code 8) the edge-to-tip ratio.
uint8_t ZqImgQualityAdjust_ZE4850(uint16_t code, uint8_t quality, uint8_t contrast, uint8_t cond,
                                  uint16_t edgeTipRatio);

// out = 1 where pixel >= rounded window x window box mean + offset (invert
// 0) or pixel <= mean + offset (invert non-zero), else 0. 0; -1 NULL; -2
// allocation; -3 the box filter failed (window not below both sides).
int32_t ZqDynThreshold_v2(const uint8_t *image, int32_t rows, int32_t cols, int32_t window,
                          int32_t offset, uint8_t invert, uint8_t *out);

// 100 x (pixels of 250 or less) / N; -1 NULL image or a zero side.
int32_t ZqGetImgArea_ZE4850(const uint8_t *image, uint16_t width, uint16_t height);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMGQUALITY_H_
