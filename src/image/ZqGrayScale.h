// Float image to 8-bit grey levels by its own minimum and maximum.
#ifndef SRC_ZQGRAYSCALE_H_
#define SRC_ZQGRAYSCALE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out = (v - min) * (255 / (max - min)), truncated, limited to 0..255; all
// 255 when max = min. 0; -1 for NULL.
int32_t ZqGrayScale_32f(const float *src, int32_t width, int32_t height, uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQGRAYSCALE_H_
