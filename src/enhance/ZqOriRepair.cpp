// Orientation field and orientation-guided envelope normalisation.
#include "src/enhance/ZqOriRepair.h"

#include <initializer_list>

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqFastAtan2.h"
#include "src/enhance/ZqMagicTables.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {

// Middle taps of the fixed 16.16 Gaussian (sigma 1) of the orientation
// field; they sum to 65533.
constexpr int32_t kOriTaps[9] = {8, 290, 3538, 15858, 26145, 15858, 3538, 290, 8};

// Stored form of a zero gradient product: (0 + 65026) / 2.
constexpr uint16_t kZeroProduct = 32513;

// Grey maximum along orientation o + turn of every pixel.
void MaxAlong(const uint16_t *src, const uint16_t *ori, int32_t rows, int32_t cols,
              int32_t steps, int32_t turn, uint16_t *dst) {
  if (steps > 25) steps = 25;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      const int64_t i = int64_t{r} * cols + c;
      const int32_t o = (ori[i] + turn) % 180;
      uint16_t m = src[i];
      for (int32_t k = 0; k < steps; ++k) {
        const int32_t dx = g_MagicTable_2[o][k], dy = g_MagicTable_3[o][k];
        for (int32_t sign : {1, -1}) {
          const int32_t y = r + sign * dy, x = c + sign * dx;
          if (y < 0 || y >= rows || x < 0 || x >= cols) continue;
          const uint16_t v = src[int64_t{y} * cols + x];
          if (v > m) m = v;
        }
      }
      dst[i] = m;
    }
  }
}

}  // namespace

extern "C" int32_t ZqGetOriGraph(const uint16_t *src, int32_t rows, int32_t cols, int32_t ksize,
                                 int32_t sigma, uint16_t *ori) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || ori == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  const int32_t taps = ksize < 1 ? 1 : (ksize & ~1) + 1;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint16_t *gxx = scratch.Take<uint16_t>(n);
  uint16_t *gyy = scratch.Take<uint16_t>(n);
  uint16_t *gxy = scratch.Take<uint16_t>(n);
  int32_t *kernel = scratch.Take<int32_t>(taps);
  ZQ_CHECK(gxx == NULL || gyy == NULL || gxy == NULL || kernel == NULL, ZQ_ERR_ALLOC);
  // The nine taps centred in a kernel of `taps` entries, the rest 0.
  for (int32_t j = -4; j <= 4; ++j) {
    const int32_t at = taps / 2 + j;
    if (at >= 0 && at < taps) kernel[at] = kOriTaps[j + 4];
  }

  for (int64_t i = 0; i < n; ++i) gxy[i] = kZeroProduct;
  for (int32_t r = 1; r + 1 < rows; ++r) {
    for (int32_t c = 1; c + 1 < cols; ++c) {
      const int64_t i = int64_t{r} * cols + c;
      const int32_t gx = int32_t{src[i + 1]} - src[i - 1];
      const int32_t gy = int32_t{src[i + cols]} - src[i - cols];
      // 16-bit stores, exact for 8-bit data.
      gxx[i] = static_cast<uint16_t>(static_cast<uint32_t>(gx) * static_cast<uint32_t>(gx));
      gyy[i] = static_cast<uint16_t>(static_cast<uint32_t>(gy) * static_cast<uint32_t>(gy));
      gxy[i] = static_cast<uint16_t>(
          (static_cast<int64_t>(gx) * gy + 65026) >> 1);
    }
  }
  const float unusedSigma = static_cast<float>(sigma);
  for (uint16_t *plane : {gxx, gyy, gxy}) {
    if (ZqGaussianBlur_16u(plane, rows, cols, ksize, kernel, plane, unusedSigma) != 0) {
      ZQ_LOG_FAIL(__func__, "ZqGaussianBlur_16u failed");
      return -3;
    }
  }
  for (int64_t i = 0; i < n; ++i) {
    const float t = ZqFastAtan2(static_cast<float>(2 * (2 * int32_t{gxy[i]} - 65025)),
                                static_cast<float>(int32_t{gxx[i]} - gyy[i]));
    int32_t v = static_cast<int32_t>(t * 0.5f + 0.5f) - 90;
    if (v < 0) v += 180;
    ori[i] = static_cast<uint16_t>(v < 179 ? v : 179);
  }
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}

extern "C" void ZqTextureOriRepair(const uint16_t *src, const uint16_t *ori, int32_t rows,
                                   int32_t cols, int32_t steps, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || ori == nullptr || dst == nullptr || rows < 1 || cols < 1) return;
  MaxAlong(src, ori, rows, cols, steps, 0, dst);
  ZQ_TRACE_LEAVE();
}

extern "C" void ZqTextureVetOriRepair(const uint16_t *src, const uint16_t *ori, int32_t rows,
                                      int32_t cols, int32_t steps, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || ori == nullptr || dst == nullptr || rows < 1 || cols < 1) return;
  MaxAlong(src, ori, rows, cols, steps, 90, dst);
  ZQ_TRACE_LEAVE();
}

extern "C" int32_t ZqOriRepair(const uint16_t *src, int32_t rows, int32_t cols,
                               int32_t stepsAlong, int32_t stepsAcross, uint16_t *dst) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || dst == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint16_t *ori = scratch.Take<uint16_t>(n);
  uint16_t *tmp = scratch.Take<uint16_t>(n);
  uint16_t *upper = scratch.Take<uint16_t>(n);
  uint16_t *lower = scratch.Take<uint16_t>(n);
  ZQ_CHECK(ori == NULL || tmp == NULL || upper == NULL || lower == NULL, ZQ_ERR_ALLOC);
  if (ZqGetOriGraph(src, rows, cols, 19, 1, ori) != ZQ_OK) {
    ZQ_LOG_FAIL(__func__, "ZqGetOriGraph failed");
    return -3;
  }
  ZqTextureOriRepair(src, ori, rows, cols, stepsAlong, tmp);
  ZqTextureVetOriRepair(tmp, ori, rows, cols, stepsAcross, upper);
  // The lower envelope is the upper one of the complemented image.
  for (int64_t i = 0; i < n; ++i) lower[i] = static_cast<uint16_t>(65535 - src[i]);
  ZqTextureOriRepair(lower, ori, rows, cols, stepsAlong, tmp);
  ZqTextureVetOriRepair(tmp, ori, rows, cols, stepsAcross, lower);
  for (int64_t i = 0; i < n; ++i) lower[i] = static_cast<uint16_t>(65535 - lower[i]);
  if (ZqGaussianBlur_16u(upper, rows, cols, 5, NULL, upper, 1.0f) != 0 ||
      ZqGaussianBlur_16u(lower, rows, cols, 5, NULL, lower, 1.0f) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqGaussianBlur_16u failed");
    return -4;
  }
  for (int64_t i = 0; i < n; ++i) {
    const int32_t u = upper[i], l = lower[i], s = src[i];
    if (l >= u) {
      dst[i] = 0;
      continue;
    }
    const int32_t span = u - l, above = s - l > 0 ? s - l : 0;
    dst[i] = static_cast<uint16_t>(((above < span ? above : span) * 255 + span / 2) / span);
  }
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
