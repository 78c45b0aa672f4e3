// Min-max normalisation of 16-bit and float images.
#include "src/enhance/ZqNormalize.h"

#include "src/enhance/ZqEnhanceTrace.h"

extern "C" void ZqNormalize_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t low,
                                int32_t high, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return;
  const int64_t n = int64_t{rows} * cols;
  const int32_t lo = static_cast<uint16_t>(low), hi = static_cast<uint16_t>(high);
  uint16_t mn = src[0], mx = src[0];
  for (int64_t i = 1; i < n; ++i) {
    if (src[i] < mn) mn = src[i];
    if (src[i] > mx) mx = src[i];
  }
  const float s = mx > mn ? static_cast<float>(hi - lo) / static_cast<float>(mx - mn) : 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float v = static_cast<float>(src[i] - mn) * s + static_cast<float>(lo);
    dst[i] = static_cast<uint16_t>(static_cast<int32_t>(v));
  }
  ZQ_TRACE_LEAVE();
}

extern "C" void ZqNormalize_32f(const float *src, int32_t rows, int32_t cols, float *dst,
                                float low, float high) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return;
  const int64_t n = int64_t{rows} * cols;
  float mn = src[0], mx = src[0];
  for (int64_t i = 1; i < n; ++i) {
    if (src[i] < mn) mn = src[i];
    if (src[i] > mx) mx = src[i];
  }
  const float s = mx - mn < 1e-6f ? 0.0f : 1.0f / (mx - mn);
  const float scale = (high - low) * s;
  for (int64_t i = 0; i < n; ++i) dst[i] = (src[i] - mn) * scale + low;
  ZQ_TRACE_LEAVE();
}
