// Mirrored border extension of a 16-bit image.
#include "src/enhance/ZqBorderExtention.h"

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/image/ZqSmooth.h"

extern "C" void ZqBorderExtention(const uint16_t *src, int32_t rows, int32_t cols,
                                  int32_t padRows, int32_t padCols, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || padRows < 0 || padCols < 0)
    return;
  const int64_t outCols = int64_t{cols} + 2 * int64_t{padCols};
  for (int64_t y = -int64_t{padRows}; y < rows + int64_t{padRows}; ++y) {
    const int32_t sy = ZqBorderInterpolate(static_cast<int32_t>(y), rows, ZQ_BORDER_REFLECT);
    const uint16_t *in = src + int64_t{sy} * cols;
    uint16_t *out = dst + (y + padRows) * outCols + padCols;
    for (int64_t x = -int64_t{padCols}; x < cols + int64_t{padCols}; ++x)
      out[x] = in[ZqBorderInterpolate(static_cast<int32_t>(x), cols, ZQ_BORDER_REFLECT)];
  }
  ZQ_TRACE_LEAVE();
}
