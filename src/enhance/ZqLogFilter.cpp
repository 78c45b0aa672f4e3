// Laplacian-of-Gaussian ridge filter.
#include "src/enhance/ZqLogFilter.h"

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqNormalize.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

extern "C" int32_t ZqLogFilter(const uint16_t *src, int32_t rows, int32_t cols, int32_t ksize,
                               uint16_t *dst) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || dst == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  float *f = scratch.Take<float>(n);
  ZQ_CHECK(f == NULL, ZQ_ERR_ALLOC);
  for (int64_t i = 0; i < n; ++i) f[i] = src[i];
  if (ZqLaplacian_32f(f, rows, cols, ksize, f, 1.0f) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqLaplacian_32f failed");
    return -3;
  }
  if (ZqGaussianBlur_32f(f, rows, cols, ksize, f, 1.0f) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqGaussianBlur_32f failed");
    return -4;
  }
  ZqNormalize_32f(f, rows, cols, f, 0.0f, 255.0f);
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<uint16_t>(static_cast<int32_t>(255.0f - f[i]));
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
