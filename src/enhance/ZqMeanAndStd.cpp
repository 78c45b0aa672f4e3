// Local mean and deviation from three integral images.
#include "src/enhance/ZqMeanAndStd.h"

#include <math.h>

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqIntegGraph.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace {

// Sum of the integral image integ (row length stride) over rows r0..r1 - 1
// and columns c0..c1 - 1, modulo 2^32.
uint32_t BoxSum(const uint32_t *integ, int64_t stride, int64_t r0, int64_t r1, int64_t c0,
                int64_t c1) {
  return integ[r1 * stride + c1] - integ[r0 * stride + c1] - integ[r1 * stride + c0] +
         integ[r0 * stride + c0];
}

}  // namespace

extern "C" int32_t ZqCalcMeanAndStd(const uint16_t *src, const uint8_t *mask, int32_t rows,
                                    int32_t cols, int32_t window, int32_t *mean, int32_t *dev) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || mask == NULL || mean == NULL || dev == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1 || window < 0, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  const int64_t stride = int64_t{cols} + 1;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint32_t *plane = scratch.Take<uint32_t>(n);
  uint32_t *s1 = scratch.Take<uint32_t>((int64_t{rows} + 1) * stride);
  uint32_t *s2 = scratch.Take<uint32_t>((int64_t{rows} + 1) * stride);
  uint32_t *cnt = scratch.Take<uint32_t>((int64_t{rows} + 1) * stride);
  ZQ_CHECK(plane == NULL || s1 == NULL || s2 == NULL || cnt == NULL, ZQ_ERR_ALLOC);

  for (int64_t i = 0; i < n; ++i) plane[i] = mask[i] != 0 ? src[i] : 0u;
  ZqGetIntegGraph_32u(plane, rows, cols, s1);
  for (int64_t i = 0; i < n; ++i) plane[i] *= plane[i];
  ZqGetIntegGraph_32u(plane, rows, cols, s2);
  for (int64_t i = 0; i < n; ++i) plane[i] = mask[i];
  ZqGetIntegGraph_32u(plane, rows, cols, cnt);

  const int64_t h = window / 2;
  int32_t lastDev = 0;
  for (int64_t r = 0; r < rows; ++r) {
    const int64_t r0 = r - h > 0 ? r - h : 0;
    const int64_t r1 = r + h + 1 < rows ? r + h + 1 : rows;
    for (int64_t c = 0; c < cols; ++c) {
      const int64_t c0 = c - h > 0 ? c - h : 0;
      const int64_t c1 = c + h + 1 < cols ? c + h + 1 : cols;
      const uint64_t k = BoxSum(cnt, stride, r0, r1, c0, c1);
      const int64_t i = r * cols + c;
      if (k == 0) {
        mean[i] = 0;
        dev[i] = lastDev;
        continue;
      }
      const uint64_t a = BoxSum(s1, stride, r0, r1, c0, c1);
      const uint64_t b = BoxSum(s2, stride, r0, r1, c0, c1);
      // 64-bit two's-complement arithmetic, wrapping like the stored
      // results expect rather than overflowing.
      const int64_t v =
          static_cast<int64_t>(b * k - a * a) / static_cast<int64_t>(k * k + 1);
      mean[i] = static_cast<int32_t>((a * 256 + k / 2) / k);
      if (v < 1) {
        lastDev = 1;
      } else {
        // Only wrapped sums of very large windows could leave int32 here.
        const int64_t d = static_cast<int64_t>(sqrtf(static_cast<float>(v))) * 256;
        lastDev = d > INT32_MAX ? INT32_MAX : static_cast<int32_t>(d);
      }
      dev[i] = lastDev;
    }
  }
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
