// Forward-mapped rotation.
#include "src/enhance/ZqWarpAffine.h"

#include <math.h>

#include "src/image/ZqMemoryManager.h"

extern "C" int32_t ZqWarpAffine(const uint8_t *src, int32_t cols, int32_t rows, uint8_t *dst,
                                float angle) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  if (n * 4 > INT32_MAX) return -1;
  uint32_t *acc = static_cast<uint32_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 4)));
  if (acc == nullptr) return -1;
  const float c = cosf(angle), s = sinf(angle);
  const float hc = static_cast<float>(cols / 2), hr = static_cast<float>(rows / 2);
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      const float xc = static_cast<float>(x) - hc, yc = static_cast<float>(y) - hr;
      const float u = c * xc - s * yc + hc;
      const float v = s * xc + c * yc + hr;
      if (!(u > -1.0f && u < static_cast<float>(cols) && v > -1.0f &&
            v < static_cast<float>(rows)))
        continue;  // no corner inside (also keeps the casts in range)
      const int32_t x0 = static_cast<int32_t>(floorf(u)), y0 = static_cast<int32_t>(floorf(v));
      const float fx = u - static_cast<float>(x0), fy = v - static_cast<float>(y0);
      const float value = static_cast<float>(src[int64_t{y} * cols + x]) * 1024.0f;
      const float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
      for (int k = 0; k < 4; ++k) {
        const int32_t xx = x0 + (k & 1), yy = y0 + (k >> 1);
        if (xx < 0 || xx >= cols || yy < 0 || yy >= rows) continue;
        acc[int64_t{yy} * cols + xx] += static_cast<uint32_t>(w[k] * value);
      }
    }
  }
  // Several source pixels can land on one target; the sum saturates
  // instead of wrapping round in 8 bits.
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t v = (acc[i] + 512) / 1024;
    dst[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
  ZqSafeFree(acc);
  return 0;
}
