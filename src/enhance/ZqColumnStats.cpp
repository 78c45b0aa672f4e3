// Column statistics, white-bar strength and column normalisation; see
// ZqColumnStats.h.
#include "src/enhance/ZqColumnStats.h"

#include <math.h>

#include <array>

#include "src/enhance/ZqContrastFilters.h"
#include "src/enhance/ZqEnhanceTrace.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

using ColumnArray = std::array<float, kZqMaxStatCols>;

constexpr float kCountingDev = 6.0f;

// Mean of the deviations above 6 among columns first .. first + count - 1;
// *counted receives how many there were (the mean is 0 without any).
float CountingMean(const float *dev, int32_t first, int32_t count, int32_t *counted) {
  float sum = 0.0f;
  int32_t k = 0;
  for (int32_t c = first; c < first + count; ++c) {
    if (dev[c] > kCountingDev) {
      sum += dev[c];
      ++k;
    }
  }
  *counted = k;
  return k > 0 ? sum / static_cast<float>(k) : 0.0f;
}

}  // namespace

extern "C" void ZqCalcMeanDeviationInCol(const uint8_t *img, const uint8_t *mask, int32_t rows,
                                         int32_t cols, float *dev, float *mean) {
  if (img == nullptr || mask == nullptr || dev == nullptr || mean == nullptr || cols < 1 ||
      cols > kZqMaxStatCols)
    return;
  for (int32_t c = 0; c < cols; ++c) {
    int64_t count = 0, s1 = 0, s2 = 0;
    for (int32_t r = 0; r < rows; ++r) {
      const int64_t i = int64_t{r} * cols + c;
      if (mask[i] == 0) continue;
      ++count;
      s1 += img[i];
      s2 += int64_t{img[i]} * img[i];
    }
    if (s2 > 0x7fffffff)
      QUORV_LOGE("[%s]...sum2[%d](= %d) > 0x7fffffff", __func__, c,
                 static_cast<int32_t>(static_cast<uint32_t>(s2)));
    if (count == 0) {
      dev[c] = 1.0f;
      mean[c] = 0.0f;
      continue;
    }
    const int32_t q = static_cast<int32_t>((count * s2 - s1 * s1) / (count * count));
    dev[c] = q > 1 ? sqrtf(static_cast<float>(q)) : 1.0f;
    mean[c] = static_cast<float>(s1 / count);
  }
}

extern "C" float ZqCalcDeviation(const float *dev, const float *mean, int32_t cols) {
  if (dev == nullptr || mean == nullptr || cols < 8) return 0.0f;
  int32_t nl = 0, nr = 0, nm = 0;
  const float left = CountingMean(dev, 0, 4, &nl);
  const float right = CountingMean(dev, cols - 4, 4, &nr);
  const int32_t centre = cols / 2 - 3;
  const float middle = CountingMean(dev, centre, 7, &nm);
  float brightness = 0.0f;
  for (int32_t c = centre; c < centre + 7; ++c) brightness += mean[c];
  brightness /= 7.0f;
  const float s = nr > 0 && left > kCountingDev && right > kCountingDev
                      ? (right + left) * 0.5f - middle
                      : 0.0f;
  return middle <= 30.0f && brightness >= 168.0f ? s : 0.0f;
}

extern "C" void ZqCalcVerticalDeviation(const uint8_t *img, const uint8_t *mask, int32_t rows,
                                        int32_t cols, float *out) {
  if (out == nullptr) return;
  *out = 0.0f;
  if (img == nullptr || mask == nullptr || cols < 8 || cols > kZqMaxStatCols) return;
  ColumnArray dev{}, mean{};
  ZqCalcMeanDeviationInCol(img, mask, rows, cols, dev.data(), mean.data());
  *out = ZqCalcDeviation(dev.data(), mean.data(), cols);
}

extern "C" int32_t ZqNormalizeAndEnhance(uint8_t *img, int32_t rows, int32_t cols) {
  ZQ_TRACE_ENTER();
  if (img == nullptr || rows < 1 || cols < 1 || cols > kZqMaxStatCols) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = int64_t{rows} * cols;
  ScratchStack scratch(ScratchSource::kPool);
  uint8_t *mask = scratch.Take<uint8_t>(n);
  float *f = scratch.Take<float>(n);
  if (mask == nullptr || f == nullptr) {
    QUORV_LOGE("%s...malloc error, ret = %d", __func__, -2);
    return -2;
  }
  for (int64_t i = 0; i < n; ++i) {
    mask[i] = img[i] < 251;
    f[i] = static_cast<float>(img[i]);
  }
  ColumnArray dev{}, mean{};
  ZqCalcMeanDeviationInCol(img, mask, rows, cols, dev.data(), mean.data());
  for (int64_t i = 0; i < n; ++i) {
    const int32_t c = static_cast<int32_t>(i % cols);
    f[i] = static_cast<float>(static_cast<double>(f[i] - mean[c]) /
                              (static_cast<double>(dev[c]) + 1e-6));
  }
  ZqNormalize_32f_2_8u(f, rows, cols, img, 250.0f);
  for (int64_t i = 0; i < n; ++i)
    if (mask[i] == 0) img[i] = 254;
  QUORV_LOGV("[%s]...leave, ret = %d", __func__, 0);
  return 0;
}
