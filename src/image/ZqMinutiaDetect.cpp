// Minutia count of an 8-bit image; see ZqImageChecks.h.
#include <string.h>

#include "src/image/ZqImageChecks.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqThinning.h"

namespace {

int32_t TenthRounded(int32_t v) {
  return static_cast<int32_t>(static_cast<float>(v) * 0.1f + 0.5f);
}

// Sets the top and bottom r rows and the left and right c columns to v.
void SetMargins(uint8_t *img, int32_t rows, int32_t cols, int32_t r, int32_t c, uint8_t v) {
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x)
      if (y < r || y >= rows - r || x < c || x >= cols - c) img[int64_t{y} * cols + x] = v;
}

}  // namespace

int32_t ZqMinutiaDetect(const uint8_t *image, int32_t rows, int32_t cols, int32_t *count) {
  if (image == nullptr || count == nullptr || rows <= 0 || cols <= 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *bin = scratch.Take<uint8_t>(n);
  if (bin == nullptr) return -2;
  uint8_t *work = scratch.Take<uint8_t>(n);
  if (work == nullptr) return -2;
  if (ZqBinarizeLocalMean(image, rows, cols, bin) != 0) return -3;
  const int32_t r = TenthRounded(rows), c = TenthRounded(cols);

  // Bright phase.
  memcpy(work, bin, static_cast<size_t>(n));
  SetMargins(work, rows, cols, r, c, 0);
  int32_t bright = 0;
  int32_t rc = ZqCountSkeletonBranches(work, rows, cols, &bright);
  if (rc != 0) return rc;
  // Dark phase: margins 1, then inverted so that they become 0.
  memcpy(work, bin, static_cast<size_t>(n));
  SetMargins(work, rows, cols, r, c, 1);
  for (int64_t i = 0; i < n; ++i) work[i] = work[i] == 0 ? 1 : 0;
  int32_t dark = 0;
  rc = ZqCountSkeletonBranches(work, rows, cols, &dark);
  if (rc != 0) return rc;
  *count = bright + dark;
  return 0;
}
