// Small image checks of the algorithm core: mask erosion, logo-image
// contrast, wet area, bad pixels, and the white-bar, white-blob and
// white-region checks. Images are row-major 8-bit.
#ifndef SRC_ZQALG_ZQIMAGECHECKS_H_
#define SRC_ZQALG_ZQIMAGECHECKS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Zero regions of mask grow by radius pixels (the input decides, so no
// cascade). 0; -1 NULL; -2 allocation.
int32_t ZqErosion(uint8_t *mask, uint16_t cols, uint16_t rows, uint16_t radius);

// img = (img + 128 - 11x11 mean) stretched to 0..254; all 0 when flat.
// 0; -1 NULL; -2 allocation; -3 box mean failed.
int32_t ZqLogoImageEnhance(uint8_t *img, uint16_t cols, uint16_t rows);

// Percent of pixels in dark (mean < 60), flat (variance < 200) regions,
// grown by 5; -1 NULL; -2 allocation; else the failing step's code.
int32_t ZqWetImageAreaPercent(const uint8_t *img, uint16_t cols, uint16_t rows);

// mask = 1, 0 where the 3x3 mean is 255, grown by 2. 0; -1 NULL; -2
// allocation or mean; -3 erosion.
int32_t ZqBadPixselDetect(const uint8_t *img, uint16_t rows, uint16_t cols, uint8_t *mask);

// 1 when the column deviation of the masked image is above 6.0, else 0.
int32_t ZqWhiteBarDetect(const uint8_t *img, const uint8_t *mask, int rows, int cols);

// 2 when a 36-row window between the first and last fully covered rows has
// a mean of 201 or more, else 0.
int32_t ZqWhiteBlobDetect(const uint8_t *img, const uint8_t *mask, int rows, int cols);

// Sensor types 9 and 10 only: 1 for a white bar, 2 for a white blob; 0
// otherwise.
int32_t ZqAbnormalImageDetect(const uint8_t *img, int rows, int cols);

// *whiteArea = percent of the image in regions above 100 pixels where
// lo < pixel < hi. 0; -1 bad input; -2 allocation; -3 labelling.
int32_t ZqGetWhiteAbnormal(const uint8_t *img, uint16_t cols, uint16_t rows, uint8_t lo,
                           uint8_t hi, uint8_t *whiteArea);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQIMAGECHECKS_H_
