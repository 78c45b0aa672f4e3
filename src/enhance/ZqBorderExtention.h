// Mirrored border extension of a 16-bit image.
#ifndef SRC_ENHANCE_ZQBORDEREXTENTION_H_
#define SRC_ENHANCE_ZQBORDEREXTENTION_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// dst ((rows + 2 padRows) x (cols + 2 padCols)) gets src in the middle
// and margins mirrored with the edge pixel repeated (-1 -> 0, -2 -> 1);
// pads beyond the image side keep reflecting. Does nothing for NULL, a size
// below 1 or a negative pad.
void ZqBorderExtention(const uint16_t *src, int32_t rows, int32_t cols, int32_t padRows,
                       int32_t padCols, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQBORDEREXTENTION_H_
