// Mirrored border of a 16-bit image.
#include "src/enhance/ZqMirrorFill.h"

#include "src/enhance/ZqBorderExtention.h"

extern "C" int32_t ZqMirrorFill_u16(const uint16_t *src, int32_t rows, int32_t cols,
                                    int32_t padRows, int32_t padCols, uint16_t *dst) {
  ZqBorderExtention(src, rows, cols, padRows, padCols, dst);
  return 0;
}
