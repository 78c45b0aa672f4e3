// Local range stretch: each pixel stretched by its window's minimum and
// maximum.
#ifndef SRC_ENHANCE_ZQLOCALQUATI_H_
#define SRC_ENHANCE_ZQLOCALQUATI_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out = (pixel - lo) x 254 / (hi - lo) in float, truncated, lo and hi the
// minimum and maximum of the (2r + 1)^2 window clipped to the image, where
// hi - lo > 1; elsewhere out keeps what the caller put there.
// 0; -1 NULL, a side below 1 or r below 0; -2 allocation.
int32_t ZqLocalQuati_u8(const uint8_t *image, int32_t rows, int32_t cols, int32_t r, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQLOCALQUATI_H_
