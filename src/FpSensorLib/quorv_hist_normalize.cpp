#include "src/FpSensorLib/quorv_hist_normalize.h"

#include <stddef.h>
#include <stdint.h>

#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/ZqAlg/ZqPreFilters.h"

namespace {

// The window of an image and the margins around it.
struct Window {
  int cols, rows;  // image size
  int cm, rm;      // column and row margins
  int x0() const { return cm; }
  int x1() const { return cols - cm; }
  int y0() const { return rm; }
  int y1() const { return rows - rm; }
};

// Margins the window cannot be built from: negative, or leaving no pixel.
bool Usable(const uint8_t *src, const uint8_t *dst, const Window &w) {
  if (src == nullptr || dst == nullptr || w.cols <= 0 || w.rows <= 0) return false;
  if (w.cm < 0 || w.rm < 0) return false;
  return w.x0() < w.x1() && w.y0() < w.y1();
}

// (int)(tail * m), truncated; out-of-range products are held to the int
// range instead of overflowing the conversion.
int64_t TailCount(float tail, float m) {
  const float product = tail * m;
  if (!(product > -2147483648.0f)) return product != product ? 0 : INT32_MIN;
  if (product >= 2147483648.0f) return INT32_MAX;
  return static_cast<int>(product);
}

// p <= v: 0; v < p < u: the single-precision stretch; else 255.
uint8_t Remap(int p, int v, int u) {
  if (p <= v) return 0;
  if (p < u) {
    return static_cast<uint8_t>(static_cast<int>(static_cast<float>(p - v) *
                                                 (255.0f / static_cast<float>(u - v))));
  }
  return 255;
}

void RemapWindow(const uint8_t *src, uint8_t *dst, const Window &w, int v, int u) {
  for (int y = w.y0(); y < w.y1(); ++y) {
    for (int x = w.x0(); x < w.x1(); ++x) {
      const size_t at = static_cast<size_t>(y) * w.cols + x;
      dst[at] = Remap(src[at], v, u);
    }
  }
}

// Top and bottom rows over every column, then left and right columns over
// every row.
void FillMargins(uint8_t *dst, const Window &w, uint8_t value) {
  for (int y = 0; y < w.rows; ++y) {
    const bool margin_row = y < w.rm || y >= w.rows - w.rm;
    for (int x = 0; x < w.cols; ++x) {
      if (margin_row || x < w.cm || x >= w.cols - w.cm) {
        dst[static_cast<size_t>(y) * w.cols + x] = value;
      }
    }
  }
}

}  // namespace

extern "C" {

int quorv_HistNormalizeU8(const uint8_t *src, int16_t cols, int16_t rows, int16_t columnMargin,
                          int16_t rowMargin, uint8_t *dst, float upperTail, float lowerTail) {
  const Window w{cols, rows, columnMargin, rowMargin};
  if (!Usable(src, dst, w)) return -1;

  uint32_t hist[256] = {};
  for (int y = w.y0(); y < w.y1(); ++y) {
    for (int x = w.x0(); x < w.x1(); ++x) ++hist[src[static_cast<size_t>(y) * w.cols + x]];
  }

  // Deliberately not the window's pixel count.
  const float m = static_cast<float>((w.cols - w.cm) * (w.rows - w.rm));
  const int64_t upper_count = TailCount(upperTail, m);
  const int64_t lower_count = TailCount(lowerTail, m);

  int v = 0, u = 0;
  bool lower_open = true, upper_open = true;
  int64_t lower_sum = 0, upper_sum = 0;
  for (int i = 0; i < 256; ++i) {
    if (lower_open) {
      if (lower_sum < lower_count) {
        lower_sum += hist[i];
      } else {
        v = i;
        lower_open = false;
      }
    }
    if (upper_open) {
      if (upper_sum < upper_count) {
        upper_sum += hist[255 - i];
      } else {
        u = 255 - i;
        upper_open = false;
      }
    }
  }

  RemapWindow(src, dst, w, v, u);
  FillMargins(dst, w, static_cast<uint8_t>(u >> 1));
  return 0;
}

int quorv_HistNormalizeU8_(const uint8_t *src, int16_t cols, int16_t rows, int16_t margin,
                           uint8_t *dst) {
  const Window w{cols, rows, margin, margin};
  if (!Usable(src, dst, w)) return -1;

  int lo = src[static_cast<size_t>(w.y0()) * w.cols + w.x0()];
  int hi = lo;
  for (int y = w.y0(); y < w.y1(); ++y) {
    for (int x = w.x0(); x < w.x1(); ++x) {
      const int p = src[static_cast<size_t>(y) * w.cols + x];
      if (p < lo) lo = p;
      if (p > hi) hi = p;
    }
  }
  RemapWindow(src, dst, w, lo, hi);
  if (margin > 0) FillMargins(dst, w, static_cast<uint8_t>(hi >> 1));
  return 0;
}

int quorv_RootFilter(const uint8_t *src, int cols, int rows, uint8_t *dst, float /*strength*/) {
  return g_quorvCore.RootFilter(src, cols, rows, 3, dst);
}

int quorv_NoiseFilter(uint8_t *src, uint8_t filter, int16_t cols, int16_t rows, uint8_t *dst,
                      float ratio) {
  return ZqNoiseFilter(src, filter, cols, rows, dst, ratio);
}

}  // extern "C"
