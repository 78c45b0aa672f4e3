// Valid area of a sensor image: the share not taken by the largest
// untextured region or by saturated pixels.
#ifndef SRC_ENHANCE_ZQVALIDAREA_H_
#define SRC_ENHANCE_ZQVALIDAREA_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// mask = 1 on the largest untextured region of at least 600 pixels, 0
// elsewhere. Textured: 9 x 9 variance (rounded box means of pixels and
// squares) above 81, or a pixel below 128; the textured mask is eroded
// 11 x 11 and dilated 3 x 3 before it is inverted. 0; -2 work buffers,
// -3, -4 the box means, -5 erosion, -6 dilation, -7 region labelling
// (each logged).
int32_t ZqSegmentByLocalVar_getValidArea(const uint8_t *image, int32_t rows, int32_t cols,
                                         uint8_t *mask);

// *percent = 100 - (pixels in the untextured region or above 250) x 100 /
// (rows x cols). 0; -1 NULL; -2 size below 1 or work mask allocation;
// -3 segmentation failure (logged).
int32_t ZqValidArea(const uint8_t *image, int32_t rows, int32_t cols, uint8_t *percent);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQVALIDAREA_H_
