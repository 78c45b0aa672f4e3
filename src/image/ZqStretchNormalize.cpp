// Min-max normalisations into 8 bits and the local histogram equalisation
// of the stretch filters.
#include <cmath>
#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqStretch.h"

namespace {

// Integer part of v stored as a byte (modulo 256), kept defined for any v.
uint8_t TruncToByte(float v) {
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
  return static_cast<uint8_t>(static_cast<int64_t>(v));
}

template <typename Sample>
void Normalize(const Sample *src, int rows, int cols, uint8_t *dst, float lo, float range,
               bool reciprocal) {
  if (src == nullptr || dst == nullptr || rows <= 0 || cols <= 0) return;
  const int64_t n = int64_t{rows} * cols;
  Sample mn = src[0], mx = src[0];
  for (int64_t i = 1; i < n; ++i) {
    if (src[i] < mn) mn = src[i];
    if (src[i] > mx) mx = src[i];
  }
  const float spread = static_cast<float>(mx) - static_cast<float>(mn);
  float scale = 0;
  if (spread >= 0.000001f) scale = reciprocal ? range * (1 / spread) : range / spread;
  for (int64_t i = 0; i < n; ++i)
    dst[i] = TruncToByte((static_cast<float>(src[i]) - static_cast<float>(mn)) * scale + lo);
}

}  // namespace

extern "C" void curved_surface_img_normalize_16u_2_8u(const uint16_t *src, int rows, int cols,
                                                      int lo, int hi, uint8_t *dst) {
  // Every sample counts, also beyond 65535 of them.
  Normalize(src, rows, cols, dst, static_cast<float>(lo), static_cast<float>(hi - lo), false);
}

extern "C" void curved_surface_img_normalize_32f_2_8u(const float *src, int rows, int cols,
                                                      uint8_t *dst, float lo, float hi) {
  Normalize(src, rows, cols, dst, lo, hi - lo, true);
}

extern "C" int curved_surface_img_localequalizehist_v2(const uint8_t *src, const void * /*aux*/,
                                                       int rows, int cols, uint8_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return ZQ_ERR_PARAM;
  constexpr int32_t kPad = 27;
  const int64_t pRows = int64_t{rows} + 2 * kPad;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *padded = scratch.Take<uint8_t>(pRows * cols);
  if (padded == nullptr) {
    QUORV_LOGE("'%s' malloc memory fail, ret = %d", "curved_surface_img_localequalizehist_v2",
               ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  // Reflection with the edge row repeated, repeated again for images of
  // fewer than 27 rows.
  for (int64_t y = -kPad; y < rows + kPad; ++y)
    std::memcpy(padded + (y + kPad) * cols,
                src + int64_t{ZqBorderInterpolate(static_cast<int32_t>(y), rows,
                                                  ZQ_BORDER_REFLECT)} * cols,
                static_cast<size_t>(cols));
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      const uint8_t v = padded[(y + kPad) * int64_t{cols} + x];
      int32_t below = 0, total = 0;
      for (int32_t cx = x - 1; cx <= x + 1; ++cx) {
        if (cx < 0 || cx >= cols) continue;
        for (int32_t k = 0; k < 2 * kPad + 1; ++k) below += padded[(y + k) * int64_t{cols} + cx] <= v;
        total += 2 * kPad + 1;
      }
      dst[int64_t{y} * cols + x] = static_cast<uint8_t>(below * 255 / total);
    }
  return ZQ_OK;
}
