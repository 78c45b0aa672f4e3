#include "src/image/ZqConvolve.h"

#include <algorithm>
#include <cmath>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace {

int32_t PadToInt(const uint8_t *src, int32_t h, int32_t w, int32_t v, int32_t u, int32_t *dst) {
  return ZqMirrorFill_int2(src, h, w, v, u, dst);
}
int32_t PadToInt(const uint16_t *src, int32_t h, int32_t w, int32_t v, int32_t u, int32_t *dst) {
  return ZqMirrorFillShort2Int(src, h, w, v, u, dst);
}
int32_t PadToInt(const int32_t *src, int32_t h, int32_t w, int32_t v, int32_t u, int32_t *dst) {
  return ZqMirrorFill_int(src, h, w, v, u, dst);
}

// 16.16 truncation of a float tap, kept inside int32.
int32_t FixedTap(float k) {
  double v = std::trunc(static_cast<double>(k) * 65536.0);
  if (!(v > INT32_MIN)) return INT32_MIN;  // also NaN
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// `store(index, value)` writes one output from the unlimited value.
template <typename In, typename Store>
int32_t Convolve(const In *src, int32_t width, int32_t height, const float *kernel, int32_t kw,
                 int32_t kh, bool dstMissing, Store store) {
  if ((kw % 2 == 0 && kh % 2 == 0) || (kw == 1 && kh == 1)) return ZQ_ERR_PARAM;
  if (src == nullptr || kernel == nullptr || dstMissing || width < 1 || height < 1 || kw < 1 ||
      kh < 1)
    return ZQ_ERR_PARAM;
  const int32_t padV = kh / 2, padH = kw / 2;
  const int64_t pw = int64_t{width} + 2 * int64_t{padH};
  const int64_t ph = int64_t{height} + 2 * int64_t{padV};
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  int32_t *padded = scratch.Take<int32_t>(pw * ph);
  int32_t *taps = scratch.Take<int32_t>(int64_t{kw} * kh);
  if (padded == nullptr || taps == nullptr) return ZQ_ERR_ALLOC;
  PadToInt(src, height, width, padV, padH, padded);
  for (int64_t i = 0; i < int64_t{kw} * kh; ++i) taps[i] = FixedTap(kernel[i]);
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      int64_t sum = 0;
      for (int32_t k = 0; k < kh; ++k) {
        const int32_t *row = padded + (int64_t{i} + k) * pw + j;
        const int32_t *tap = taps + int64_t{k} * kw;
        for (int32_t l = 0; l < kw; ++l) sum += int64_t{tap[l]} * row[l];
      }
      int64_t v = sum > 0 ? (sum + 0x8000) >> 16 : (sum - 0x8000) >> 16;
      store(int64_t{i} * width + j, v);
    }
  }
  return ZQ_OK;
}

}  // namespace

extern "C" int32_t ZqConvole(const uint8_t *src, int32_t width, int32_t height,
                             const float *kernel, int32_t kw, int32_t kh, uint8_t *dst) {
  return Convolve(src, width, height, kernel, kw, kh, dst == nullptr, [dst](int64_t i, int64_t v) {
    dst[i] = static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
  });
}

extern "C" int32_t ZqConvole16(const uint16_t *src, int32_t width, int32_t height,
                               const float *kernel, int32_t kw, int32_t kh, uint16_t *dst,
                               uint16_t max) {
  return Convolve(src, width, height, kernel, kw, kh, dst == nullptr,
                  [dst, max](int64_t i, int64_t v) {
                    dst[i] = static_cast<uint16_t>(std::clamp<int64_t>(v, 0, max));
                  });
}

extern "C" int32_t ZqConvole32(const int32_t *src, int32_t width, int32_t height,
                               const float *kernel, int32_t kw, int32_t kh, int32_t *dst) {
  return Convolve(src, width, height, kernel, kw, kh, dst == nullptr,
                  [dst](int64_t i, int64_t v) { dst[i] = static_cast<int32_t>(v); });
}

extern "C" int32_t ZqConvoleU82Int(const uint8_t *src, int32_t width, int32_t height,
                                   const float *kernel, int32_t kw, int32_t kh, int32_t *dst) {
  return Convolve(src, width, height, kernel, kw, kh, dst == nullptr,
                  [dst](int64_t i, int64_t v) { dst[i] = static_cast<int32_t>(v); });
}
