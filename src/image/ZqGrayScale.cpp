#include "src/image/ZqGrayScale.h"

#include "src/image/ZqCommon.h"

extern "C" int32_t ZqGrayScale_32f(const float *src, int32_t width, int32_t height,
                                   uint8_t *dst) {
  if (src == nullptr || dst == nullptr) return ZQ_ERR_PARAM;
  if (width < 1 || height < 1) return ZQ_OK;
  const int64_t n = int64_t{width} * height;
  float mn = src[0], mx = src[0];
  for (int64_t i = 1; i < n; ++i) {
    if (src[i] < mn) mn = src[i];
    if (src[i] > mx) mx = src[i];
  }
  if (mx == mn) {
    for (int64_t i = 0; i < n; ++i) dst[i] = 255;
    return ZQ_OK;
  }
  const float scale = 255 / (mx - mn);
  for (int64_t i = 0; i < n; ++i) {
    float v = (src[i] - mn) * scale;
    dst[i] = !(v > 0) ? 0 : (v > 255 ? 255 : static_cast<uint8_t>(v));  // NaN gives 0
  }
  return ZQ_OK;
}
