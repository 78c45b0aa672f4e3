// A small enhancement switch over the 3 x 3 median and mean filters.
#ifndef SRC_ZQIMAGEENHANCE_H_
#define SRC_ZQIMAGEENHANCE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// type 2: 3 x 3 median; type 3: 3 x 3 median, 3 x 3 mean, then a stretch
// to (int)((254 / (max - min)) * (v - min)) (all 0 for a flat image or one
// of fewer than two pixels); any other type: 3 x 3 mean. dst may be src.
// 0; -1 for NULL; otherwise the failing filter's result (-2 scratch
// refused, -3 inner step).
int32_t ZqImageEnhance(const uint8_t *src, uint16_t height, uint16_t width, uint8_t type,
                       uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMAGEENHANCE_H_
