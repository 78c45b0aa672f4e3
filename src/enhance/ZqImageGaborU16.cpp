// Orientation-guided Gabor filtering.
#include "src/enhance/ZqImageGaborU16.h"

#include <math.h>
#include <string.h>

#include "src/enhance/ZqCalcDirection.h"
#include "src/image/ZqGabor.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr int32_t kWindow = 13;  // half side of the orientation window

// Stretches src into b by its minimum and maximum; a flat image is copied.
void Stretch(const uint8_t *src, int64_t n, uint8_t *b) {
  uint32_t mn = 255, mx = 0;
  for (int64_t i = 0; i < n; ++i) {
    mn = src[i] < mn ? src[i] : mn;
    mx = src[i] > mx ? src[i] : mx;
  }
  for (int64_t i = 0; i < n; ++i)
    b[i] = mx > mn ? static_cast<uint8_t>((src[i] - mn) * 255u / (mx - mn)) : src[i];
}

// Orientation of the stretched image b into map; false on allocation failure.
bool Orientation(const uint8_t *b, int32_t rows, int32_t cols, uint8_t *map) {
  const int32_t hr = rows / 2, hc = cols / 2;
  if (hr < 1 || hc < 1) return true;
  const int64_t n = int64_t{rows} * cols, hn = int64_t{hr} * hc;
  const int64_t in = int64_t{hr + 1} * (hc + 1);
  uint16_t *wide = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 2)));
  uint16_t *half = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 2)));
  int64_t *iy = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(in * 8)));
  int64_t *ix = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(in * 8)));
  const bool ok = wide != nullptr && half != nullptr && iy != nullptr && ix != nullptr;
  if (ok) {
    for (int64_t i = 0; i < n; ++i) wide[i] = b[i];
    ZqHalfImage_16u(wide, rows, cols, half);
    // Integral images of gx^2 - gy^2 and 2 gx gy over the inner pixels.
    const auto at = [&](int32_t y, int32_t x) -> int64_t { return half[int64_t{y} * hc + x]; };
    for (int32_t i = 0; i < hr; ++i) {
      int64_t sy = 0, sx = 0;
      for (int32_t j = 0; j < hc; ++j) {
        if (i > 0 && i + 1 < hr && j > 0 && j + 1 < hc) {
          const int64_t gx = (at(i - 1, j + 1) + 2 * at(i, j + 1) + at(i + 1, j + 1)) -
                             (at(i - 1, j - 1) + 2 * at(i, j - 1) + at(i + 1, j - 1));
          const int64_t gy = (at(i + 1, j - 1) + 2 * at(i + 1, j) + at(i + 1, j + 1)) -
                             (at(i - 1, j - 1) + 2 * at(i - 1, j) + at(i - 1, j + 1));
          sy += gx * gx - gy * gy;
          sx += 2 * gx * gy;
        }
        const int64_t k = int64_t{i + 1} * (hc + 1) + j + 1;
        iy[k] = iy[k - (hc + 1)] + sy;
        ix[k] = ix[k - (hc + 1)] + sx;
      }
    }
    const auto box = [&](const int64_t *s, int32_t y0, int32_t y1, int32_t x0, int32_t x1) {
      return s[int64_t{y1} * (hc + 1) + x1] - s[int64_t{y0} * (hc + 1) + x1] -
             s[int64_t{y1} * (hc + 1) + x0] + s[int64_t{y0} * (hc + 1) + x0];
    };
    for (int32_t i = 0; i < hr; ++i) {
      const int32_t y0 = i - kWindow < 0 ? 0 : i - kWindow;
      const int32_t y1 = i + kWindow + 1 > hr ? hr : i + kWindow + 1;
      for (int32_t j = 0; j < hc; ++j) {
        const int32_t x0 = j - kWindow < 0 ? 0 : j - kWindow;
        const int32_t x1 = j + kWindow + 1 > hc ? hc : j + kWindow + 1;
        const double Y = static_cast<double>(box(iy, y0, y1, x0, x1));
        const double X = static_cast<double>(box(ix, y0, y1, x0, x1));
        double a = atan2(Y, X);
        if (a < 0) a += 6.2831854820251465;
        const int32_t e = static_cast<int32_t>(a * 57.29578 * 0.5 + 0.5);
        int32_t o = 135 - e;
        if (o < 0) o += 180;
        const uint8_t v = static_cast<uint8_t>(o);
        uint8_t *m = map + int64_t{2 * i} * cols + 2 * j;
        m[0] = m[1] = v;
        m[cols] = m[cols + 1] = v;
      }
    }
  }
  ZqSafeFree(ix);
  ZqSafeFree(iy);
  ZqSafeFree(half);
  ZqSafeFree(wide);
  return ok;
}

}  // namespace

extern "C" int32_t ZqGaborOrientation(const uint8_t *src, int32_t rows, int32_t cols,
                                      uint8_t *map) {
  if (src == nullptr || map == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  uint8_t *b = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  if (b == nullptr) return -2;
  Stretch(src, n, b);
  memset(map, 0, static_cast<size_t>(n));
  const bool ok = Orientation(b, rows, cols, map);
  ZqSafeFree(b);
  return ok ? 0 : -2;
}

extern "C" int32_t ZqImageGaborU16(const uint8_t *src, int32_t rows, int32_t cols,
                                   uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  // The filter bank addresses images with 16-bit sides.
  if (rows > 65535 || cols > 65535) return -1;
  const int64_t n = int64_t{rows} * cols;
  uint8_t *b = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  uint8_t *map = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  int32_t ret = -2;
  if (b != nullptr && map != nullptr) {
    Stretch(src, n, b);
    if (Orientation(b, rows, cols, map)) {
      AutoGaborFilter16(b, map, static_cast<uint16_t>(rows), static_cast<uint16_t>(cols), 12, 5,
                        1.0f, 1.9f, 3, dst);
      ret = 0;
    }
  }
  ZqSafeFree(map);
  ZqSafeFree(b);
  return ret;
}
