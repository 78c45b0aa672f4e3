// Local range normalisation of a 16-bit image.
#ifndef SRC_ENHANCE_ZQLOCALRANGENORMALIZE_H_
#define SRC_ENHANCE_ZQLOCALRANGENORMALIZE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// dst = ((src - mn) 256 + (mx - mn + 1) / 2) / (mx - mn + 1) with mn, mx
// over the (2 radius + 1)^2 window clipped at the borders, 255 where the
// window is flat; radius <= 0 copies. dst may equal src. 0; -1 NULL, a
// size below 1 or allocation.
int32_t ZqLocalRangeNormalize_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                  int32_t radius, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQLOCALRANGENORMALIZE_H_
