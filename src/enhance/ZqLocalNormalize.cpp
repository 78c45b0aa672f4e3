// Local normalisation: local mean and deviation, then a robust stretch.
#include "src/enhance/ZqLocalNormalize.h"

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqImageStrech.h"
#include "src/enhance/ZqMeanAndStd.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

extern "C" int32_t ZqLocalNormalize(const uint16_t *src, int32_t rows, int32_t cols,
                                    int32_t window, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || dst == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *mask = scratch.Take<uint8_t>(n);
  int32_t *mean = scratch.Take<int32_t>(n);
  int32_t *dev = scratch.Take<int32_t>(n);
  int32_t *o = scratch.Take<int32_t>(n);
  ZQ_CHECK(mask == NULL || mean == NULL || dev == NULL || o == NULL, ZQ_ERR_ALLOC);

  for (int64_t i = 0; i < n; ++i) mask[i] = src[i] <= 254 ? 1 : 0;
  if (ZqCalcMeanAndStd(src, mask, rows, cols, window, mean, dev) != ZQ_OK) {
    ZQ_LOG_FAIL(__func__, "ZqCalcMeanAndStd failed");
    return -3;
  }
  for (int64_t i = 0; i < n; ++i) {
    if (dev[i] <= 0) {
      o[i] = 0;
      continue;
    }
    // 64-bit: a saturated 16-bit pixel over a flat window leaves int32;
    // such a pixel saturates here instead of wrapping.
    const int64_t v = ((int64_t{src[i]} * 256 - mean[i]) * 4096 + dev[i] / 2) / dev[i];
    o[i] = static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : v));
  }
  if (ZqImageStrech(o, mask, rows, cols, 255) != ZQ_OK) {
    ZQ_LOG_FAIL(__func__, "ZqImageStrech failed");
    return -4;
  }
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<uint16_t>(o[i]);
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
