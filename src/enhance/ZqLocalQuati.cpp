// Local range stretch; see ZqLocalQuati.h.
#include "src/enhance/ZqLocalQuati.h"

#include "src/image/ZqRankFilter.h"
#include "src/image/ZqScratch.h"

extern "C" int32_t ZqLocalQuati_u8(const uint8_t *image, int32_t rows, int32_t cols, int32_t r,
                                   uint8_t *out) {
  if (image == nullptr || out == nullptr || rows < 1 || cols < 1 || r < 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *lo = scratch.Take<uint8_t>(n);
  uint8_t *hi = scratch.Take<uint8_t>(n);
  if (lo == nullptr || hi == nullptr) return -2;
  // Reflected windows (with the edge) hold exactly the clipped window's
  // values, so their extremes are the clipped ones.
  if (ZqBoxMinMaxFilter_u8(image, cols, rows, r, r, hi, lo) != 0) return -2;
  for (int64_t i = 0; i < n; ++i) {
    const int32_t range = hi[i] - lo[i];
    if (range <= 1) continue;
    const float v = static_cast<float>((image[i] - lo[i]) * 254) / static_cast<float>(range);
    out[i] = static_cast<uint8_t>(v);
  }
  return 0;
}
