// Bilinear resizing of 8-bit and 16-bit images in 12-bit fixed point.
#include <stdint.h>

#include "src/image/ZqSmooth.h"

namespace {

// Source line and Q12 weights of one target position.
struct Tap {
  int32_t index;  // first source line; the second is index + 1
  int64_t w0;     // weight of index
  int64_t w1;     // weight of index + 1
};

Tap MakeTap(int32_t i, int32_t srcLen, int32_t dstLen) {
  int64_t y = ((int64_t{i} * 4096 + 2048) * srcLen) / dstLen - 2048;
  if (y < 0) return {0, 4096, 0};
  int32_t r = static_cast<int32_t>(y >> 12);
  int64_t f = y & 4095;
  if (r < srcLen - 1) return {r, 4096 - f, f};
  return {srcLen - 2, 0, 4096};
}

template <typename Pixel>
void Resize(const Pixel *src, int32_t srcRows, int32_t srcCols, Pixel *dst, int32_t dstRows,
            int32_t dstCols) {
  if (src == nullptr || dst == nullptr || srcRows < 2 || srcCols < 2 || dstRows < 1 ||
      dstCols < 1)
    return;
  for (int32_t i = 0; i < dstRows; ++i) {
    const Tap ty = MakeTap(i, srcRows, dstRows);
    const Pixel *r0 = src + int64_t{ty.index} * srcCols;
    const Pixel *r1 = r0 + srcCols;
    Pixel *out = dst + int64_t{i} * dstCols;
    for (int32_t j = 0; j < dstCols; ++j) {
      const Tap tx = MakeTap(j, srcCols, dstCols);
      const int32_t c = tx.index;
      // 64-bit: 4096 * 4096 * 65535 does not fit 32 bits.
      int64_t v = tx.w0 * (ty.w0 * r0[c] + ty.w1 * r1[c]) +
                  tx.w1 * (ty.w0 * r0[c + 1] + ty.w1 * r1[c + 1]) + 0x800000;
      out[j] = static_cast<Pixel>(v >> 24);
    }
  }
}

}  // namespace

extern "C" void ZqResize_8u(const uint8_t *src, int32_t srcRows, int32_t srcCols, uint8_t *dst,
                            int32_t dstRows, int32_t dstCols) {
  Resize(src, srcRows, srcCols, dst, dstRows, dstCols);
}

extern "C" void ZqResize_16u(const uint16_t *src, int32_t srcRows, int32_t srcCols,
                             uint16_t *dst, int32_t dstRows, int32_t dstCols) {
  Resize(src, srcRows, srcCols, dst, dstRows, dstCols);
}
