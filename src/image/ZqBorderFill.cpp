#include "src/image/ZqBorderFill.h"

#include "src/image/ZqCommon.h"
#include "src/image/ZqSmooth.h"

namespace {

template <typename In, typename Out>
int32_t Fill(const In *src, int32_t rows, int32_t cols, int32_t padV, int32_t padH, Out *dst,
             int32_t rule) {
  if (src == nullptr || dst == nullptr || rows < 0 || cols < 0 || padV < 0 || padH < 0)
    return ZQ_ERR_PARAM;
  if (rows == 0 || cols == 0) return ZQ_OK;
  const int64_t outCols = int64_t{cols} + 2 * int64_t{padH};
  for (int64_t y = -int64_t{padV}; y < rows + int64_t{padV}; ++y) {
    const In *in = src + int64_t{ZqBorderInterpolate(static_cast<int32_t>(y), rows, rule)} * cols;
    Out *out = dst + (y + padV) * outCols + padH;
    for (int64_t x = 0; x < cols; ++x) out[x] = static_cast<Out>(in[x]);
    for (int64_t x = 1; x <= padH; ++x) {
      out[-x] = static_cast<Out>(in[ZqBorderInterpolate(static_cast<int32_t>(-x), cols, rule)]);
      out[cols - 1 + x] =
          static_cast<Out>(in[ZqBorderInterpolate(static_cast<int32_t>(cols - 1 + x), cols, rule)]);
    }
  }
  return ZQ_OK;
}

}  // namespace

extern "C" int32_t ImgFilledByMirror(const uint8_t *src, uint16_t height, uint16_t width,
                                     uint16_t r, uint8_t *dst) {
  return Fill(src, height, width, r, r, dst, ZQ_BORDER_REFLECT_101);
}

extern "C" int32_t ZqMirrorFill_u8(const uint8_t *src, int32_t rows, int32_t cols, int32_t padV,
                                   int32_t padH, uint8_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REFLECT);
}

extern "C" int32_t ZqExtendFill_u8(const uint8_t *src, int32_t rows, int32_t cols, int32_t padV,
                                   int32_t padH, uint8_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REPLICATE);
}

extern "C" int32_t ZqMirrorFill_int(const int32_t *src, int32_t rows, int32_t cols,
                                    int32_t padV, int32_t padH, int32_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REFLECT);
}

extern "C" int32_t ZqMirrorFill_int2(const uint8_t *src, int32_t rows, int32_t cols,
                                     int32_t padV, int32_t padH, int32_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REFLECT);
}

extern "C" int32_t ZqMirrorFillShort2Int(const uint16_t *src, int32_t rows, int32_t cols,
                                         int32_t padV, int32_t padH, int32_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REFLECT);
}

extern "C" int32_t ZqBorderFill_u16(const uint16_t *src, uint16_t rows, uint16_t cols,
                                    uint16_t padH, uint16_t padV, uint16_t *dst) {
  return Fill(src, rows, cols, padV, padH, dst, ZQ_BORDER_REPLICATE);
}
