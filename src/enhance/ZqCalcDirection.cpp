// Half-resolution reduction and the block orientation field.
#include "src/enhance/ZqCalcDirection.h"

#include <math.h>
#include <stdlib.h>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

extern "C" void ZqHalfImage_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                uint16_t *half) {
  if (src == nullptr || half == nullptr) return;
  const int32_t hr = rows / 2, hc = cols / 2;
  if (hr < 1 || hc < 1) return;
  const auto at = [&](int32_t r, int32_t c) -> uint32_t { return src[int64_t{r} * cols + c]; };
  for (int32_t i = 1; i + 1 < hr; ++i) {
    for (int32_t j = 1; j + 1 < hc; ++j) {
      const int32_t r = 2 * i, c = 2 * j;
      const uint32_t s = 4 * at(r, c) +
                         2 * (at(r - 1, c) + at(r + 1, c) + at(r, c - 1) + at(r, c + 1)) +
                         at(r - 1, c - 1) + at(r - 1, c + 1) + at(r + 1, c - 1) + at(r + 1, c + 1);
      half[int64_t{i} * hc + j] = static_cast<uint16_t>(s / 16);
    }
  }
  for (int32_t i = 0; i < hr; ++i) {
    half[int64_t{i} * hc] = static_cast<uint16_t>(at(2 * i, 0));
    half[int64_t{i} * hc + hc - 1] = static_cast<uint16_t>(at(2 * i, cols - 1));
  }
  for (int32_t j = 0; j < hc; ++j) {
    half[j] = static_cast<uint16_t>(at(0, 2 * j));
    half[int64_t{hr - 1} * hc + j] = static_cast<uint16_t>(at(rows - 1, 2 * j));
  }
}

namespace {

// Sobel derivatives of the inner pixel (r, c) of a rows x cols image,
// along the columns (gx) and along the rows (gy).
void Sobel(const uint16_t *h, int32_t cols, int32_t r, int32_t c, int64_t *gx, int64_t *gy) {
  const auto at = [&](int32_t y, int32_t x) -> int64_t { return h[int64_t{y} * cols + x]; };
  *gx = (at(r - 1, c + 1) + 2 * at(r, c + 1) + at(r + 1, c + 1)) -
        (at(r - 1, c - 1) + 2 * at(r, c - 1) + at(r + 1, c - 1));
  *gy = (at(r + 1, c - 1) + 2 * at(r + 1, c) + at(r + 1, c + 1)) -
        (at(r - 1, c - 1) + 2 * at(r - 1, c) + at(r - 1, c + 1));
}

}  // namespace

extern "C" int32_t ZqCalcDirection(const uint16_t *src, int32_t rows, int32_t cols,
                                   int32_t boxRadius, uint8_t *map) {
  if (src == nullptr || map == nullptr || boxRadius < 0) return -1;
  const int32_t hr = rows / 2, hc = cols / 2;
  if (hr < 1 || hc < 1) return 0;
  const int64_t hn = int64_t{hr} * hc;
  uint16_t *half = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 2)));
  int64_t *w1 = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 8)));
  int64_t *w2 = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 8)));
  int32_t *t1 = static_cast<int32_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 4)));
  int32_t *t2 = static_cast<int32_t *>(ZqSafeAlloc(static_cast<int32_t>(hn * 4)));
  int32_t ret = -1;
  if (half != nullptr && w1 != nullptr && w2 != nullptr && t1 != nullptr && t2 != nullptr) {
    ZqHalfImage_16u(src, rows, cols, half);
    // T1 = 2 gx gy and T2 = gx^2 - gy^2 with gx, gy scaled by 16, formed in
    // 64 bits. Their window sums would overflow 32 bits on high-contrast
    // images, so both are scaled down by one common power of two until a
    // whole window of them fits; the angle of (T1, T2) does not change, and
    // for 8-bit pixels the scaling only drops factors of 2 that the
    // products carry anyway.
    int64_t peak = 0;
    for (int32_t i = 1; i + 1 < hr; ++i) {
      for (int32_t j = 1; j + 1 < hc; ++j) {
        int64_t gx, gy;
        Sobel(half, hc, i, j, &gx, &gy);
        gx *= 16;
        gy *= 16;
        const int64_t k = int64_t{i} * hc + j;
        w1[k] = 2 * gx * gy;
        w2[k] = gx * gx - gy * gy;
        peak = llabs(w1[k]) > peak ? llabs(w1[k]) : peak;
        peak = llabs(w2[k]) > peak ? llabs(w2[k]) : peak;
      }
    }
    const int64_t side = 2 * int64_t{boxRadius} + 1;
    const int64_t window = side * side;
    int shift = 0;
    while ((peak >> shift) > INT32_MAX / window) ++shift;
    for (int64_t k = 0; k < hn; ++k) {
      t1[k] = static_cast<int32_t>(w1[k] / (int64_t{1} << shift));
      t2[k] = static_cast<int32_t>(w2[k] / (int64_t{1} << shift));
    }
    if (ZqIntBoxFilter(t1, hc, hr, boxRadius, boxRadius, t1) == 0 &&
        ZqIntBoxFilter(t2, hc, hr, boxRadius, boxRadius, t2) == 0) {
      for (int32_t i = 0; i < hr; ++i) {
        for (int32_t j = 0; j < hc; ++j) {
          const int64_t k = int64_t{i} * hc + j;
          double a = atan2(static_cast<double>(t1[k]), static_cast<double>(t2[k]));
          if (a < 0) a += 6.2831854820251465;
          int32_t e = static_cast<int32_t>(a * 57.29578 * 0.5 + 0.5);
          if (e == 0) e = 180;
          const uint8_t v = static_cast<uint8_t>(e);
          uint8_t *m = map + int64_t{2 * i} * cols + 2 * j;
          m[0] = m[1] = v;
          m[cols] = m[cols + 1] = v;
        }
      }
      ret = 0;
    }
  }
  ZqSafeFree(t2);
  ZqSafeFree(t1);
  ZqSafeFree(w2);
  ZqSafeFree(w1);
  ZqSafeFree(half);
  return ret;
}
