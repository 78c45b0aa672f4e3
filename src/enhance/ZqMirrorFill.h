// Mirrored border of a 16-bit image.
#ifndef SRC_ENHANCE_ZQMIRRORFILL_H_
#define SRC_ENHANCE_ZQMIRRORFILL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// dst ((rows + 2 padRows) x (cols + 2 padCols)) = src with margins mirrored
// repeating the edge pixel, as ZqBorderExtention. 0.
int32_t ZqMirrorFill_u16(const uint16_t *src, int32_t rows, int32_t cols, int32_t padRows,
                         int32_t padCols, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQMIRRORFILL_H_
