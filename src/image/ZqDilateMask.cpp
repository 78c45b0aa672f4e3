// Binary dilation of masks; see ZqMorphology.h.
#include <algorithm>

#include "src/image/ZqMorphology.h"

void ZqDilate_v2(const uint8_t *mask, int32_t rows, int32_t cols, int32_t a, int32_t b,
                 uint8_t *out) {
  if (mask == nullptr || out == nullptr || rows <= 0 || cols <= 0 || a < 0 || b < 0) return;
  const int64_t n = int64_t{rows} * cols;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      if (mask[int64_t{y} * cols + x] != 1) continue;
      const int32_t y0 = static_cast<int32_t>(std::max<int64_t>(0, int64_t{y} - b));
      const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(rows - 1, int64_t{y} + b));
      const int32_t x0 = static_cast<int32_t>(std::max<int64_t>(0, int64_t{x} - a));
      const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(cols - 1, int64_t{x} + a));
      for (int32_t yy = y0; yy <= y1; ++yy) {
        uint8_t *row = out + int64_t{yy} * cols;
        for (int32_t xx = x0; xx <= x1; ++xx)
          if (row[xx] == 0) row[xx] = 2;
      }
    }
  }
  for (int64_t i = 0; i < n; ++i)
    if (out[i] > 1) out[i] = 1;
}
