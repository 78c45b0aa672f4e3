// Running-sum box filters of the smoothing file.
#include <stdint.h>

#include <cstring>

#include "src/image/ZqBoxSums8u.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSeparable.h"
#include "src/image/ZqSmooth.h"

namespace {

template <typename Pixel>
int32_t BoxFilter(const Pixel *src, int32_t rows, int32_t cols, int32_t k, Pixel *dst,
                  uint8_t normalise) {
  if (src == nullptr || dst == nullptr || cols < 1 || rows <= 0 || k <= 0 || k >= cols ||
      k >= rows)
    return ZQ_ERR_PARAM;
  if (k == 1) {
    if (dst != src) std::memmove(dst, src, sizeof(Pixel) * static_cast<size_t>(rows) * cols);
    return ZQ_OK;
  }
  return zq::RunBoxFilter(src, rows, cols, k, dst, normalise != 0, zq::ScratchSource::kPool,
                          ZqBorderInterpolate);
}

}  // namespace

extern "C" int32_t ZqBoxFilter_32s_NoneInterpolate(const int32_t *src, int32_t rows,
                                                   int32_t cols, int32_t k, int32_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || k < 0) return ZQ_ERR_PARAM;
  const int32_t R = k / 2;
  const int32_t W = 2 * R + 1;
  const int64_t pRows = int64_t{rows} + 2 * R;
  const int64_t pCols = int64_t{cols} + 2 * R;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  int32_t *padded = scratch.Take<int32_t>(pRows * pCols);
  int32_t *hsum = scratch.Take<int32_t>(pRows * pCols);
  if (padded == nullptr || hsum == nullptr) return ZQ_ERR_ALLOC;
  // Fresh blocks are zeroed: everything outside the image counts as 0.
  ZqBorderExtention_32s(src, rows, cols, R, R, padded, 0);
  for (int64_t y = 0; y < pRows; ++y) {
    const int32_t *in = padded + y * pCols;
    int32_t *h = hsum + y * pCols;
    int64_t s = 0;
    for (int32_t j = 0; j < W; ++j) s += in[j];
    h[0] = static_cast<int32_t>(s);
    for (int32_t x = 1; x < cols; ++x) {
      s += in[x + 2 * R] - int64_t{in[x - 1]};
      h[x] = static_cast<int32_t>(s);
    }
  }
  for (int32_t x = 0; x < cols; ++x) {
    int64_t s = 0;
    for (int32_t t = 0; t < W; ++t) s += hsum[t * pCols + x];
    dst[x] = static_cast<int32_t>(s);
    for (int32_t y = 1; y < rows; ++y) {
      s += hsum[(y + 2 * R) * pCols + x] - int64_t{hsum[(y - 1) * pCols + x]};
      dst[int64_t{y} * cols + x] = static_cast<int32_t>(s);
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqBoxFilter_32s(const int32_t *src, int32_t rows, int32_t cols, int32_t k,
                                   int32_t *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

extern "C" int32_t ZqBoxFilter_32f(const float *src, int32_t rows, int32_t cols, int32_t k,
                                   float *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

extern "C" int32_t ZqBoxFilter_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t k,
                                   uint16_t *dst, uint8_t normalise) {
  return BoxFilter(src, rows, cols, k, dst, normalise);
}

// Exact (n + e / 2) / e for n + e / 2 below 256 e through a 16-bit
// multiply-high: with m = ceil(2^K / e) the quotient is (n' * m) >> K
// whenever n' * e < 2^K. Usable when m fits 16 bits.
struct RoundedDivider {
  uint16_t half = 0, m = 0;
  int shift = 0;  // K - 16
  bool ok = false;
  explicit RoundedDivider(int64_t e) {
    const int64_t top = 256 * e;  // bound on n + e / 2
    int k = 16;
    while (k < 40 && (int64_t{1} << k) <= top * e) ++k;
    const int64_t mul = ((int64_t{1} << k) + e - 1) / e;
    ok = e <= zq::kBoxSums16MaxArea && mul <= 0xFFFF;
    half = static_cast<uint16_t>(e / 2);
    m = static_cast<uint16_t>(mul);
    shift = k - 16;
  }
};

extern "C" int32_t ZqBoxFilter_8u_v2(const uint8_t *src, int32_t rows, int32_t cols, int32_t k,
                                     uint8_t *dst, uint8_t normalise) {
  const int32_t W = (k / 2) * 2 + 1;
  if (k < 2 || W > 31 || k >= cols || k >= rows || src == nullptr || dst == nullptr)
    return BoxFilter(src, rows, cols, k, dst, normalise);
  // Windows up to 31 pixels wide: 16-bit window sums. Their low byte is the
  // raw output; the mean is divided exactly by a multiply-high.
  const RoundedDivider div(int64_t{W} * W);
  if (normalise != 0 && !div.ok) return BoxFilter(src, rows, cols, k, dst, normalise);
  const __m128i half = _mm_set1_epi16(static_cast<int16_t>(div.half));
  const __m128i mul = _mm_set1_epi16(static_cast<int16_t>(div.m));
  const __m128i shift = _mm_cvtsi32_si128(div.shift);
  const __m128i lowByte = _mm_set1_epi16(0xFF);
  const bool done = zq::BoxSums16(
      src, cols, rows, k / 2, k / 2, ZQ_BORDER_REFLECT_101, zq::ScratchSource::kPool,
      [&](int32_t i, const uint16_t *sums) {
        uint8_t *out = dst + int64_t{i} * cols;
        int32_t j = 0;
        for (; j + 8 <= cols; j += 8) {
          __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(sums + j));
          if (normalise != 0)
            s = _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(s, half), mul), shift);
          s = _mm_packus_epi16(_mm_and_si128(s, lowByte), _mm_setzero_si128());
          _mm_storel_epi64(reinterpret_cast<__m128i *>(out + j), s);
        }
        for (; j < cols; ++j) {
          const uint32_t s = sums[j];
          out[j] = static_cast<uint8_t>(
              normalise != 0 ? ((s + div.half) * uint32_t{div.m}) >> (16 + div.shift) : s);
        }
      });
  return done ? ZQ_OK : ZQ_ERR_ALLOC;
}
