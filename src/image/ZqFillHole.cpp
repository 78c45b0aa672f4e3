// Hole filling; see ZqFillHole.h.
#include "src/image/ZqFillHole.h"

#include "src/image/ZqFloodFill.h"
#include "src/image/ZqScratch.h"

int32_t ZqFillHole(uint8_t *mask, int32_t rows, int32_t cols) {
  if (mask == nullptr || rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  ST_Point16u *stack = scratch.Take<ST_Point16u>(n);
  if (stack == nullptr) return -2;

  int32_t label = 2;
  auto flood = [&](int32_t x, int32_t y) {
    if (label >= 256 || mask[int64_t{y} * cols + x] != 0) return;
    int32_t count = 0;
    ZqFloodFill(mask, rows, cols, 0, x, y, label, stack, &count);
    ++label;
  };
  for (int32_t x = 0; x < cols; ++x) flood(x, 0);
  for (int32_t x = 0; x < cols; ++x) flood(x, rows - 1);
  for (int32_t y = 0; y < rows; ++y) flood(0, y);
  for (int32_t y = 0; y < rows; ++y) flood(cols - 1, y);
  for (int64_t i = 0; i < n; ++i) mask[i] = mask[i] <= 1 ? 1 : 0;
  return 0;
}
