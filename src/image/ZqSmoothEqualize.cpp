// Histogram equalisation of 8-bit images.
#include <stdint.h>

#include "src/image/ZqSmooth.h"

extern "C" void ZqEqualizeHist(const uint8_t *src, int32_t width, int32_t height, uint8_t *dst) {
  if (src == nullptr || dst == nullptr || width < 1 || height < 1) return;
  const int64_t n = int64_t{width} * height;
  int64_t hist[256] = {};
  for (int64_t i = 0; i < n; ++i) ++hist[src[i]];
  uint8_t table[256];
  int64_t below = 0;
  for (int v = 0; v < 256; ++v) {
    below += hist[v];
    table[v] = static_cast<uint8_t>(below * 255 / n);
  }
  for (int64_t i = 0; i < n; ++i) dst[i] = table[src[i]];
}
