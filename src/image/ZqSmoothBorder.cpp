// Border indices and the int32 border extension of the smoothing file.
#include <stdint.h>

#include "src/image/ZqSmooth.h"

extern "C" int32_t ZqBorderInterpolate(int32_t p, int32_t len, int32_t type) {
  if (static_cast<uint32_t>(p) < static_cast<uint32_t>(len)) return p;
  if (type < ZQ_BORDER_CONSTANT || type > ZQ_BORDER_REFLECT_101) return p;
  if (len <= 0 || type == ZQ_BORDER_CONSTANT) return -1;
  if (type == ZQ_BORDER_REPLICATE) return p < 0 ? 0 : len - 1;
  if (type == ZQ_BORDER_WRAP) {
    int32_t q = p % len;
    return q < 0 ? q + len : q;
  }
  if (len == 1) return 0;
  // The reflections repeat with a period of 2 len (edge repeated) or
  // 2 len - 2 (edge not repeated); fold p into one period.
  const int64_t period = type == ZQ_BORDER_REFLECT ? 2 * int64_t{len} : 2 * int64_t{len} - 2;
  int64_t q = p % period;
  if (q < 0) q += period;
  if (q >= len) q = type == ZQ_BORDER_REFLECT ? period - 1 - q : period - q;
  return static_cast<int32_t>(q);
}

extern "C" void ZqBorderExtention_32s(const int32_t *src, int32_t rows, int32_t cols,
                                      int32_t padV, int32_t padH, int32_t *dst, int32_t mirror) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || padV < 0 || padH < 0) return;
  const int64_t outCols = int64_t{cols} + 2 * int64_t{padH};
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x)
      dst[(y + int64_t{padV}) * outCols + x + padH] = src[int64_t{y} * cols + x];
  if (mirror <= 0) return;
  for (int64_t y = -int64_t{padV}; y < rows + int64_t{padV}; ++y) {
    int32_t sy = ZqBorderInterpolate(static_cast<int32_t>(y), rows, ZQ_BORDER_REFLECT);
    int32_t *out = dst + (y + padV) * outCols;
    const int32_t *in = src + int64_t{sy} * cols;
    for (int64_t x = -int64_t{padH}; x < cols + int64_t{padH}; ++x) {
      if (y >= 0 && y < rows && x >= 0 && x < cols) continue;
      out[x + padH] = in[ZqBorderInterpolate(static_cast<int32_t>(x), cols, ZQ_BORDER_REFLECT)];
    }
  }
}
