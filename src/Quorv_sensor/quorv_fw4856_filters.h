// Two 8-bit image filters of the FW4856 code: a 3 x 3 Gaussian and a local
// contrast enhancement.
#ifndef SRC_QUORV_SENSOR_QUORV_FW4856_FILTERS_H_
#define SRC_QUORV_SENSOR_QUORV_FW4856_FILTERS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 3 x 3 Gaussian (1 2 1 / 2 4 2 / 1 2 1, >> 4) of the interior in place; the
// border rows and columns keep their values, an image under 3 x 3 is left
// unchanged. 1 on success, -1 when the work copy cannot be allocated or the
// arguments are unusable (NULL image, a size below 1).
int ZQ_GS_Filtering(uint8_t *image, int width, int height);

// Local contrast enhancement in place: Gaussian, stretch to 0..255,
// new = gain x (pixel - 11 x 11 local mean) + local mean clamped to 0..255
// with gain min(5, 0.8 x image mean / 0.0001), then a final Gaussian.
// 0 on success, -1 (image unchanged) when a work buffer cannot be allocated
// or the arguments are unusable.
int ZQLocEnhance(uint8_t *image, int width, int height);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_FW4856_FILTERS_H_
