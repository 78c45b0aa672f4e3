// Window sums of 8-bit images in 16-bit lanes, shared by the 8-bit box
// means: running column sums over a padded copy, then each output row's
// sums of 2a + 1 neighbouring column sums. Sums are kept modulo 2^16, so
// they are exact while the window total stays below 65536 (and their low
// byte is always exact). C++ only; not part of the library's interface.
#ifndef SRC_ZQBOXSUMS8U_H_
#define SRC_ZQBOXSUMS8U_H_

#include <emmintrin.h>
#include <stdint.h>

#include <cstring>

#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace zq {

// Largest window the 16-bit sums hold exactly: 255 * 257 = 65535.
constexpr int64_t kBoxSums16MaxArea = 257;

// Calls emit(i, sums) for each output row i < height with sums[j] = the
// window sum (modulo 2^16) over rows i - b .. i + b and columns j - a ..
// j + a, j < width, the image extended by ZqBorderInterpolate(`border`).
// Returns false when scratch memory is refused (nothing emitted).
template <typename Emit>
bool BoxSums16(const uint8_t *src, int32_t width, int32_t height, int32_t a, int32_t b,
               int32_t border, ScratchSource source, Emit emit) {
  const int64_t pw = int64_t{width} + 2 * int64_t{a};
  const int64_t ph = int64_t{height} + 2 * int64_t{b};
  const int32_t winX = 2 * a + 1, winY = 2 * b + 1;
  ScratchStack scratch(source);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  uint16_t *col = scratch.Take<uint16_t>(pw + 8);
  uint16_t *sums = scratch.Take<uint16_t>(int64_t{width} + 8);
  int32_t *colTab = scratch.Take<int32_t>(2 * int64_t{a});
  if (padded == nullptr || col == nullptr || sums == nullptr || (colTab == nullptr && a > 0))
    return false;
  for (int32_t t = 0; t < a; ++t) {
    colTab[t] = ZqBorderInterpolate(t - a, width, border);
    colTab[a + t] = ZqBorderInterpolate(width + t, width, border);
  }
  for (int64_t y = 0; y < ph; ++y) {
    const uint8_t *in =
        src + int64_t{ZqBorderInterpolate(static_cast<int32_t>(y - b), height, border)} * width;
    uint8_t *out = padded + y * pw;
    for (int32_t t = 0; t < a; ++t) {
      out[t] = in[colTab[t]];
      out[a + width + t] = in[colTab[a + t]];
    }
    std::memcpy(out + a, in, static_cast<size_t>(width));
  }
  const __m128i zero = _mm_setzero_si128();
  // col[x] += sign * row[x] over the padded width, eight lanes at a time.
  auto addRow = [&](const uint8_t *row, bool subtract) {
    int64_t x = 0;
    for (; x + 8 <= pw; x += 8) {
      const __m128i v =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(row + x)), zero);
      __m128i *c = reinterpret_cast<__m128i *>(col + x);
      const __m128i old = _mm_loadu_si128(c);
      _mm_storeu_si128(c, subtract ? _mm_sub_epi16(old, v) : _mm_add_epi16(old, v));
    }
    for (; x < pw; ++x) col[x] = static_cast<uint16_t>(subtract ? col[x] - row[x] : col[x] + row[x]);
  };
  std::memset(col, 0, sizeof(uint16_t) * static_cast<size_t>(pw));
  for (int32_t t = 0; t < winY; ++t) addRow(padded + t * pw, false);
  for (int32_t i = 0; i < height; ++i) {
    if (i > 0) {
      addRow(padded + (int64_t{i} + winY - 1) * pw, false);
      addRow(padded + (int64_t{i} - 1) * pw, true);
    }
    int64_t j = 0;
    for (; j + 8 <= width; j += 8) {
      __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(col + j));
      for (int32_t t = 1; t < winX; ++t)
        s = _mm_add_epi16(s, _mm_loadu_si128(reinterpret_cast<const __m128i *>(col + j + t)));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(sums + j), s);
    }
    for (; j < width; ++j) {
      uint16_t s = 0;
      for (int32_t t = 0; t < winX; ++t) s = static_cast<uint16_t>(s + col[j + t]);
      sums[j] = s;
    }
    emit(i, static_cast<const uint16_t *>(sums));
  }
  return true;
}

// out[j] = saturate_u8(f(sums[j])) for j < n, where f turns four sums
// (as exact floats) into four int32 results; lanes and the scalar tail use
// the same float operations.
template <typename F4, typename F1>
inline void FloatLanesToU8(const uint16_t *sums, int32_t n, F4 f4, F1 f1, uint8_t *out) {
  const __m128i zero = _mm_setzero_si128();
  int32_t j = 0;
  for (; j + 8 <= n; j += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(sums + j));
    const __m128i lo = f4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(s, zero)));
    const __m128i hi = f4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(s, zero)));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(lo, hi), zero);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + j), packed);
  }
  for (; j < n; ++j) {
    const int32_t v = f1(static_cast<float>(sums[j]));
    out[j] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

}  // namespace zq

#endif  // SRC_ZQBOXSUMS8U_H_
