// Bright-column count; see ZqImageChecks.h.
#include <string.h>

#include "src/image/ZqImageChecks.h"
#include "src/image/ZqScratch.h"

namespace {

// round(v * 0.1) in single precision, half away from zero (v >= 0).
int32_t TenthRounded(int32_t v) {
  return static_cast<int32_t>(static_cast<float>(v) * 0.1f + 0.5f);
}

}  // namespace

int32_t ZqWhiteLineDetect(const uint8_t *image, int32_t rows, int32_t cols, int32_t threshold,
                          int32_t *count) {
  if (image == nullptr || count == nullptr || rows <= 0 || cols <= 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *mask = scratch.Take<uint8_t>(n);
  if (mask == nullptr) return -2;
  // Column sums and counts for any width (not a fixed table).
  int64_t *colSum = scratch.Take<int64_t>(cols);
  if (colSum == nullptr) return -2;
  int32_t *colCount = scratch.Take<int32_t>(cols);
  if (colCount == nullptr) return -2;

  for (int64_t i = 0; i < n; ++i) mask[i] = image[i] <= 250 ? 1 : 0;
  const int32_t r = TenthRounded(rows), c = TenthRounded(cols);
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      if (y < r || y >= rows - r || x < c || x >= cols - c) mask[int64_t{y} * cols + x] = 0;
    }
  }
  if (rows < n && image[rows] <= 250) mask[rows] = 1;

  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      const int64_t i = int64_t{y} * cols + x;
      if (mask[i] == 0) continue;
      ++colCount[x];
      colSum[x] += image[i];
    }
  }
  int32_t first = -1, last = -1;
  for (int32_t x = 0; x < cols; ++x) {
    if (colCount[x] == 0) continue;
    if (first < 0) first = x;
    last = x;
  }
  int32_t bright = 0;
  if (first >= 0 && last > first) {
    for (int32_t x = first; x < last; ++x)
      if ((colCount[x] > 0 ? colSum[x] / colCount[x] : -1) >= threshold) ++bright;
  }
  *count = bright;
  return 0;
}
