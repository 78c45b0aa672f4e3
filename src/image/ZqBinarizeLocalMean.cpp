// Local-mean binarisation; see ZqImageChecks.h.
#include <string.h>

#include "src/image/ZqImageChecks.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

int32_t ZqBinarizeLocalMean(const uint8_t *src, int32_t rows, int32_t cols, uint8_t *dst) {
  if (src == nullptr || dst == nullptr || rows <= 0 || cols <= 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *mean = scratch.Take<uint8_t>(n);
  if (mean == nullptr) return -2;
  memcpy(mean, src, static_cast<size_t>(n));
  if (ZqBoxFilter_8u_v2(mean, rows, cols, 11, mean, 1) != 0) return -3;
  for (int64_t i = 0; i < n; ++i) dst[i] = src[i] > mean[i] ? 1 : 0;
  return 0;
}
