// Local range normalisation.
#include "src/enhance/ZqLocalRangeNormalize.h"

#include <string.h>

#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqRankFilter.h"

extern "C" int32_t ZqLocalRangeNormalize_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                             int32_t radius, uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  if (radius <= 0) {
    memmove(dst, src, static_cast<size_t>(n) * 2);
    return 0;
  }
  uint16_t *mn = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 2)));
  uint16_t *mx = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 2)));
  int32_t ret = -1;
  if (mn != nullptr && mx != nullptr && ZqGetMaxMin16(src, rows, cols, radius, mn, mx) == 0) {
    for (int64_t i = 0; i < n; ++i) {
      if (mn[i] < mx[i]) {
        const uint32_t d = uint32_t{mx[i]} - mn[i] + 1;
        dst[i] = static_cast<uint16_t>(((uint32_t{src[i]} - mn[i]) * 256 + d / 2) / d);
      } else {
        dst[i] = 255;
      }
    }
    ret = 0;
  }
  ZqSafeFree(mx);
  ZqSafeFree(mn);
  return ret;
}
