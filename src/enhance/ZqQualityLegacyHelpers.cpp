// Helpers of the older quality scorers: integral image, histogram,
// integral-image dynamic threshold, Sobel structure planes, corner response
// and percentile stretch; see ZqImgQualityLegacy.h.
#include <math.h>
#include <stdlib.h>

#include <algorithm>

#include "src/enhance/ZqImgQualityLegacy.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

extern "C" int32_t BaseImageIntergraterU8(const uint8_t *image, int32_t width, int32_t height,
                                          int32_t *sums) {
  if (image == nullptr || sums == nullptr || width < 0 || height < 0) return -1;
  const int64_t stride = int64_t{width} + 1;
  std::fill(sums, sums + stride, 0);
  for (int64_t y = 0; y < height; ++y) {
    int32_t *row = sums + (y + 1) * stride;
    const int32_t *above = row - stride;
    row[0] = 0;
    uint32_t line = 0;  // sums wrap in 32 bits rather than overflow
    for (int64_t x = 0; x < width; ++x) {
      line += image[y * width + x];
      row[x + 1] = static_cast<int32_t>(static_cast<uint32_t>(above[x + 1]) + line);
    }
  }
  return 0;
}

extern "C" int32_t ZqCreateHist_U8(const uint8_t *image, int32_t width, int32_t height,
                                   int32_t *histogram) {
  if (image == nullptr || histogram == nullptr) return -1;
  const int64_t n = width > 0 && height > 0 ? int64_t{width} * height : 0;
  for (int64_t i = 0; i < n; ++i) ++histogram[image[i]];
  return 0;
}

extern "C" int32_t ZqDynThreshold(const uint8_t *image, uint8_t *out, int32_t cols, int32_t rows,
                                  int32_t window, int32_t threshold, int32_t mode) {
  if (image == nullptr || out == nullptr || cols < 0 || rows < 0 || window < 0) return -1;
  ScratchStack scratch(ScratchSource::kHeap);
  const int64_t stride = int64_t{cols} + 1;
  int32_t *sums = scratch.Take<int32_t>(stride * (int64_t{rows} + 1));
  if (sums == nullptr) {
    QUORV_LOGE("%s...malloc error, ret = -1", __func__);
    return -2;
  }
  BaseImageIntergraterU8(image, cols, rows, sums);
  const int32_t half = window / 2;
  for (int32_t y = 0; y < rows; ++y) {
    const int32_t y0 = std::max(0, y - half), y1 = std::min(rows - 1, y - half + 2 * half);
    for (int32_t x = 0; x < cols; ++x) {
      const int32_t x0 = std::max(0, x - half), x1 = std::min(cols - 1, x - half + 2 * half);
      const int64_t sum = int64_t{sums[(y1 + 1) * stride + x1 + 1]} - sums[y0 * stride + x1 + 1] -
                          sums[(y1 + 1) * stride + x0] + sums[y0 * stride + x0];
      const int64_t count = int64_t{y1 - y0 + 1} * (x1 - x0 + 1);
      const int64_t diff = int64_t{image[int64_t{y} * cols + x]} - sum / count;
      out[int64_t{y} * cols + x] = mode == 1 ? diff >= threshold : diff < threshold;
    }
  }
  return 0;
}

extern "C" int32_t ZqGetGrad_dxdy(const uint8_t *image, int32_t rows, int32_t cols, int32_t *Ixx,
                                  int32_t *Iyy, int32_t *Ixy) {
  if (image == nullptr || Ixx == nullptr || Iyy == nullptr || Ixy == nullptr || rows <= 0 ||
      cols <= 0)
    return -1;
  for (int32_t y = 1; y + 1 < rows; ++y) {
    const uint8_t *up = image + int64_t{y - 1} * cols;
    const uint8_t *mid = up + cols;
    const uint8_t *down = mid + cols;
    for (int32_t x = 1; x + 1 < cols; ++x) {
      const int32_t gx = (up[x + 1] + 2 * mid[x + 1] + down[x + 1]) -
                         (up[x - 1] + 2 * mid[x - 1] + down[x - 1]);
      const int32_t gy = (down[x - 1] + 2 * down[x] + down[x + 1]) -
                         (up[x - 1] + 2 * up[x] + up[x + 1]);
      const int64_t i = int64_t{y} * cols + x;
      Ixx[i] = (gx * gx) >> 8;
      Iyy[i] = (gy * gy) >> 8;
      Ixy[i] = abs(gx * gy) >> 8;
    }
  }
  return 0;
}

extern "C" int32_t ZqCalResponse(const int32_t *Ixx, const int32_t *Iyy, const int32_t *Ixy,
                                 uint8_t *out, int32_t rows, int32_t cols, float k) {
  if (Ixx == nullptr || Iyy == nullptr || Ixy == nullptr || out == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  const int64_t n = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  for (int64_t i = 0; i < n; ++i) {
    const float xx = static_cast<float>(Ixx[i]), yy = static_cast<float>(Iyy[i]);
    const float xy = static_cast<float>(Ixy[i]);
    const float trace = xx + yy;
    const float r = fabsf(fabsf(xx * yy - xy * xy) - k * (trace * trace));
    const int32_t v = r >= 255.0f ? 255 : static_cast<int32_t>(r);
    if (v != 0) out[i] = static_cast<uint8_t>(v);
  }
  return 0;
}

extern "C" int32_t ZqImgStretch(const uint8_t *image, int32_t height, int32_t width,
                                uint8_t *out) {
  if (image == nullptr || out == nullptr || height < 0 || width < 0) return -1;
  ScratchStack scratch(ScratchSource::kHeap);
  int32_t *hist = scratch.Take<int32_t>(256);
  if (hist == nullptr) return -2;
  const int64_t n = int64_t{width} * height;
  ZqCreateHist_U8(image, width, height, hist);
  const int64_t c = llround(static_cast<double>(n) * 0.1);

  int32_t e = 0;
  int64_t below = 0;
  for (int32_t i = 1; i <= 250; ++i) {
    below += hist[i - 1];
    if (below >= c) {
      e = i;
      break;
    }
  }
  int32_t top = -1;
  int64_t above = 0;
  for (int32_t v = 249; v >= 0; --v) {
    above += hist[v + 1];
    if (above >= c) {
      top = v;
      break;
    }
  }

  bool stretched = false;
  if (top >= 0 && e < 2 * (250 - top) && height > 40) {
    uint8_t lo = 255, hi = 0;
    for (int64_t i = int64_t{20} * width; i < int64_t{height - 20} * width; ++i) {
      lo = std::min(lo, image[i]);
      hi = std::max(hi, image[i]);
    }
    if (hi > lo) {
      for (int64_t i = 0; i < n; ++i) {
        const double x = (image[i] - lo + 0.00001) * 251.0 / (hi - lo);
        out[i] = x > 250.0 ? 255 : (x < 0.0 ? 0 : static_cast<uint8_t>(x + 0.5));
      }
      stretched = true;
    }
  }
  if (!stretched && out != image) std::copy(image, image + n, out);
  return 0;
}
