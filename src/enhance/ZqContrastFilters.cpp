// 8-bit contrast filters; see ZqContrastFilters.h.
#include "src/enhance/ZqContrastFilters.h"

#include <math.h>
#include <string.h>

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

// Stretches out to 0..250 into img: integer part of (out - min) x 250 /
// range, 0 everywhere when the range is below 1e-6.
void StretchTo250(const float *out, int64_t n, uint8_t *img) {
  float lo = out[0], hi = out[0];
  for (int64_t i = 1; i < n; ++i) {
    lo = fminf(lo, out[i]);
    hi = fmaxf(hi, out[i]);
  }
  const float range = hi - lo;
  for (int64_t i = 0; i < n; ++i) {
    if (!(range >= 1e-6f)) {
      img[i] = 0;
      continue;
    }
    const float v = (out[i] - lo) * 250.0f / range;
    img[i] = static_cast<uint8_t>(v >= 250.0f ? 250 : static_cast<int32_t>(v));
  }
}

}  // namespace

extern "C" void ZqNormalize_32f_2_8u(const float *src, int32_t rows, int32_t cols, uint8_t *dst,
                                     float top) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) {
    QUORV_LOGE("[%s]...input error", __func__);
    return;
  }
  const int64_t n = int64_t{rows} * cols;
  float lo = src[0], hi = src[0];
  for (int64_t i = 1; i < n; ++i) {
    lo = fminf(lo, src[i]);
    hi = fmaxf(hi, src[i]);
  }
  const float s = hi - lo < 1e-6f ? 0.0f : top * (1.0f / (hi - lo));
  for (int64_t i = 0; i < n; ++i) {
    const float v = (src[i] - lo) * s;
    // Clipped to the byte range: a top above 255 (or rounding past it)
    // must not turn into an out-of-range conversion.
    dst[i] = static_cast<uint8_t>(v >= 255.0f ? 255 : (v > 0.0f ? static_cast<int32_t>(v) : 0));
  }
}

extern "C" int32_t ZqSegmentByLocalVariance(const uint8_t *img, int32_t rows, int32_t cols,
                                            int32_t window, uint8_t *mask, float thr) {
  ZQ_TRACE_ENTER();
  if (img == nullptr || mask == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  ScratchStack scratch(ScratchSource::kPool);
  uint16_t *a = scratch.Take<uint16_t>(n);
  uint16_t *b = scratch.Take<uint16_t>(n);
  if (a == nullptr || b == nullptr) {
    QUORV_LOGE("%s...malloc err, ret = %d", __func__, -2);
    return -2;
  }
  for (int64_t i = 0; i < n; ++i) {
    a[i] = img[i];
    b[i] = static_cast<uint16_t>(img[i] * img[i]);
  }
  int32_t ret = ZqBoxFilter_16u(a, rows, cols, window, a, 1);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqBoxFilter_16u 1 err, ret = %d", __func__, ret);
    return ret;
  }
  ret = ZqBoxFilter_16u(b, rows, cols, window, b, 1);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqBoxFilter_16u 2 err, ret = %d", __func__, ret);
    return ret;
  }
  const float limit = thr * thr;
  for (int64_t i = 0; i < n; ++i) {
    const float m = static_cast<float>(a[i]);
    mask[i] = limit < static_cast<float>(b[i]) - m * m ? 1 : 0;
  }
  ret = ZqErode(mask, rows, cols, 0, 7, 7, mask);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqErode err, ret = %d", __func__, ret);
    return ret;
  }
  ret = ZqDilate(mask, rows, cols, 0, 5, 5, mask);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqDilate err, ret = %d", __func__, ret);
    return ret;
  }
  ZQ_TRACE_LEAVE();
  return 0;
}

extern "C" int32_t ZqGrayMeanSub(uint8_t *img, int32_t rows, int32_t cols, int32_t window) {
  ZQ_TRACE_ENTER();
  if (img == nullptr || window < 3) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  ScratchStack scratch(ScratchSource::kPool);
  float *a = scratch.Take<float>(n);
  float *b = scratch.Take<float>(n);
  if (a == nullptr || b == nullptr) {
    QUORV_LOGE("%s...malloc err, ret = %d", __func__, -2);
    return -2;
  }
  for (int64_t i = 0; i < n; ++i) a[i] = b[i] = static_cast<float>(img[i]);
  int32_t ret = ZqBoxFilter_32f(a, rows, cols, 3, a, 1);
  if (ret == 0) ret = ZqBoxFilter_32f(b, rows, cols, window, b, 1);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqBoxFilter_32f err, ret = %d", __func__, ret);
    return ret;
  }
  for (int64_t i = 0; i < n; ++i) a[i] -= b[i];
  ZqNormalize_32f_2_8u(a, rows, cols, img, 254.0f);
  ZQ_TRACE_LEAVE();
  return 0;
}

extern "C" int32_t ZqLocalContrastEnhance(uint8_t *img, int32_t rows, int32_t cols,
                                          int32_t window) {
  ZQ_TRACE_ENTER();
  if (img == nullptr) {
    QUORV_LOGE("%s...src = NULL, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  ScratchStack scratch(ScratchSource::kPool);
  // The blur goes to a work copy, so a later failure leaves the caller's
  // image as it was.
  uint8_t *blur = scratch.Take<uint8_t>(n);
  float *a = scratch.Take<float>(n);
  float *b = scratch.Take<float>(n);
  if (blur == nullptr || a == nullptr || b == nullptr) {
    QUORV_LOGE("%s...malloc err, ret = %d", __func__, -2);
    return -2;
  }
  int32_t got = ZqGaussianBlur_8u(img, rows, cols, 3, nullptr, blur, -1.0f);
  if (got != 0) {
    const int32_t ret = got == -2 ? -2 : -3;
    QUORV_LOGE("%s...ZqGaussianBlur_8u() = %d, ret = %d", __func__, got, ret);
    return ret;
  }
  int64_t g = 0;
  for (int64_t i = 0; i < n; ++i) {
    a[i] = static_cast<float>(blur[i]);
    b[i] = a[i] * a[i];
    g += blur[i];
  }
  got = ZqBoxFilter_32f(a, rows, cols, window, a, 1);
  if (got != 0) {
    const int32_t ret = got == -2 ? -2 : -4;
    QUORV_LOGE("%s...ZqBoxFilter_32f(1) = %d, ret = %d", __func__, got, ret);
    return ret;
  }
  got = ZqBoxFilter_32f(b, rows, cols, window, b, 1);
  if (got != 0) {
    const int32_t ret = got == -2 ? -2 : -4;
    QUORV_LOGE("%s...ZqBoxFilter_32f(2) = %d, ret = %d", __func__, got, ret);
    return ret;
  }
  const float gain = static_cast<float>(g / n) * 0.2f;
  for (int64_t i = 0; i < n; ++i) {
    const float m = a[i];
    const float v = b[i] - m * m;
    const float d = v > 0.0f ? fmaxf(1.0f, sqrtf(v)) : 1.0f;
    const float p = static_cast<float>(blur[i]);
    a[i] = p + gain / d * (p - m);
  }
  StretchTo250(a, n, img);
  ZQ_TRACE_LEAVE();
  return 0;
}

extern "C" int32_t ZqLeeFilter(uint8_t *img, int32_t rows, int32_t cols, int32_t window,
                               float noise) {
  ZQ_TRACE_ENTER();
  if (img == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  ScratchStack scratch(ScratchSource::kPool);
  float *a = scratch.Take<float>(n);
  float *b = scratch.Take<float>(n);
  if (a == nullptr || b == nullptr) {
    QUORV_LOGE("%s...malloc err, ret = %d", __func__, -2);
    return -2;
  }
  for (int64_t i = 0; i < n; ++i) {
    a[i] = static_cast<float>(img[i]);
    b[i] = a[i] * a[i];
  }
  int32_t ret = ZqBoxFilter_32f(a, rows, cols, window, a, 1);
  if (ret == 0) ret = ZqBoxFilter_32f(b, rows, cols, window, b, 1);
  if (ret != 0) {
    QUORV_LOGE("%s...ZqBoxFilter_32f err, ret = %d", __func__, ret);
    return -3;
  }
  for (int64_t i = 0; i < n; ++i) {
    const float v = b[i] - a[i] * a[i];
    const float den = noise + v;
    const float k = den != 0.0f ? v / den : 0.0f;
    a[i] = a[i] * (1.0f - k) + k * static_cast<float>(img[i]);
  }
  StretchTo250(a, n, img);
  ZQ_TRACE_LEAVE();
  return 0;
}
