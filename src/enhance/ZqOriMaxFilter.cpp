// Directional maximum filters.
#include "src/enhance/ZqOriMaxFilter.h"

#include <string.h>

#include "src/image/ZqMemoryManager.h"

namespace {

int32_t OriMax(const uint16_t *src, const uint16_t *ori, int32_t rows, int32_t cols,
               uint16_t *dst, bool across) {
  if (src == nullptr || ori == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  const uint16_t *in = src;
  uint16_t *copy = nullptr;
  if (dst == src) {
    copy = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 2)));
    if (copy == nullptr) return -1;
    memcpy(copy, src, static_cast<size_t>(n) * 2);
    in = copy;
  }
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      const int64_t p = int64_t{r} * cols + c;
      int32_t o = ori[p] % 180;
      if (across) o = o < 90 ? o + 90 : o - 90;
      uint16_t m = in[p];
      for (int k = 0; k < 3; ++k) {
        const int32_t dx = g_MagicTable_2_Bin[o][k], dy = g_MagicTable_3_Bin[o][k];
        for (int sgn = -1; sgn <= 1; sgn += 2) {
          const int32_t y = r + sgn * dy, x = c + sgn * dx;
          if (y < 0 || y >= rows || x < 0 || x >= cols) continue;
          const uint16_t v = in[int64_t{y} * cols + x];
          m = v > m ? v : m;
        }
      }
      dst[p] = m;
    }
  }
  ZqSafeFree(copy);
  return 0;
}

}  // namespace

extern "C" int32_t ZqOriMaxFilter_16u(const uint16_t *src, const uint16_t *ori, int32_t rows,
                                      int32_t cols, uint16_t *dst) {
  return OriMax(src, ori, rows, cols, dst, false);
}

extern "C" int32_t ZqOriVetMaxFilter_16u(const uint16_t *src, const uint16_t *ori, int32_t rows,
                                         int32_t cols, uint16_t *dst) {
  return OriMax(src, ori, rows, cols, dst, true);
}
