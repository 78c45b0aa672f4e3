#include "src/image/ZqImageEnhance.h"

#include <algorithm>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqRankFilter.h"

extern "C" int32_t ZqImageEnhance(const uint8_t *src, uint16_t height, uint16_t width,
                                  uint8_t type, uint8_t *dst) {
  if (src == nullptr || dst == nullptr) return ZQ_ERR_PARAM;
  if (type == 2) return ZqMedianFilter(src, width, height, 1, dst);
  if (type != 3) return MeanImage(src, width, height, 1, dst);
  int32_t ret = ZqMedianFilter(src, width, height, 1, dst);
  if (ret != ZQ_OK) return ret;
  ret = MeanImage(dst, width, height, 1, dst);
  if (ret != ZQ_OK) return ret;
  const int64_t n = int64_t{width} * height;
  if (n == 0) return ZQ_OK;
  const auto [lo, hi] = std::minmax_element(dst, dst + n);
  const int32_t mn = *lo, mx = *hi;
  if (n < 2 || mx == mn) {
    std::fill(dst, dst + n, 0);
    return ZQ_OK;
  }
  const float gain = 254.0f / static_cast<float>(mx - mn);
  for (int64_t i = 0; i < n; ++i)
    dst[i] = static_cast<uint8_t>(static_cast<int32_t>(gain * static_cast<float>(dst[i] - mn)));
  return ZQ_OK;
}
