// Local normalisation of a 16-bit image.
#ifndef SRC_ENHANCE_ZQLOCALNORMALIZE_H_
#define SRC_ENHANCE_ZQLOCALNORMALIZE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Each pixel minus the local mean, over the local deviation, of the
// unsaturated (<= 254) pixels in its window x window neighbourhood, then
// stretched onto 0..255 (ZqImageStrech). dst is written only in the last
// step and may be src. 0; -1 NULL or a size below 1; -2 allocation; -3 the
// mean and deviation failed; -4 the stretch failed.
int32_t ZqLocalNormalize(const uint16_t *src, int32_t rows, int32_t cols, int32_t window,
                         uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQLOCALNORMALIZE_H_
