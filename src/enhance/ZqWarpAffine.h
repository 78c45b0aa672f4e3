// Rotation of an 8-bit image about its centre.
#ifndef SRC_ENHANCE_ZQWARPAFFINE_H_
#define SRC_ENHANCE_ZQWARPAFFINE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// dst (cols x rows, width first) = src rotated by angle (radians) about
// (cols / 2, rows / 2): every source pixel is spread bilinearly onto the
// four pixels around its rotated position (10-bit fixed point), the sums
// rounded and limited to 255. dst must not be src. 0; -1 NULL, a size
// below 1 or allocation.
int32_t ZqWarpAffine(const uint8_t *src, int32_t cols, int32_t rows, uint8_t *dst, float angle);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQWARPAFFINE_H_
