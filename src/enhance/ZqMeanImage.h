// The 3 x 3 (or any odd) box mean that the flag masks, the curved-surface
// removal and the pre-filters use.
#ifndef SRC_ENHANCE_ZQMEANIMAGE_H_
#define SRC_ENHANCE_ZQMEANIMAGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out = (2r + 1)^2 box mean of the rows x cols image, borders reflected
// without the edge, sum x (1 / (2r + 1)^2) in float, truncated. The padded
// copy is sized in full width (no 16-bit limit). out may be image.
// 0; -1 NULL, negative sizes or radius, sides or radius above 65535;
// -2 allocation.
int32_t ZqMeanImage(const uint8_t *image, int32_t rows, int32_t cols, int32_t r, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQMEANIMAGE_H_
