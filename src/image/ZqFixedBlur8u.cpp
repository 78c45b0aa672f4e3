// The 8-bit fixed-point separable blur in 16-bit lanes: for a symmetric
// kernel the paired and the tap-by-tap sums agree, so every output is
// sum_j (p[j] + p[n - 1 - j]) * k[j] (+ centre), formed eight at a time
// with multiply-adds of 16-bit pairs into 32-bit sums.
#include <emmintrin.h>
#include <stdint.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "src/image/ZqSeparable.h"

namespace zq {

namespace {

// The kernel's weights as (term, weight) pairs: term t < half is the sum of
// taps t and n - 1 - t, term half the centre. Pairs of terms share one
// 32-bit weight lane: low half weight of the first, high half the second.
struct PairedWeights {
  int32_t terms;   // half + 1
  int32_t pairs;   // ceil(terms / 2)
  __m128i w[32];   // enough for kernels of up to 127 taps
};

bool MakeWeights(const int32_t *k, int32_t n, PairedWeights *pw) {
  const int32_t half = n / 2;
  pw->terms = half + 1;
  pw->pairs = (pw->terms + 1) / 2;
  if (pw->pairs > 32) return false;
  for (int32_t p = 0; p < pw->pairs; ++p) {
    const int32_t a = k[2 * p];
    const int32_t b = 2 * p + 1 < pw->terms ? k[2 * p + 1] : 0;
    pw->w[p] = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(b) << 16) |
                                                   (static_cast<uint32_t>(a) & 0xFFFFu)));
  }
  return true;
}

// acc (8 lanes as two halves) = sum over terms of term(t) * k[t], with
// term(t) eight 16-bit values.
template <int32_t kTaps, typename Term>
inline __attribute__((always_inline)) void Accumulate(const PairedWeights &pw, Term term,
                                                      __m128i &lo, __m128i &hi) {
  const int32_t terms = kTaps > 0 ? kTaps / 2 + 1 : pw.terms;
  const int32_t pairs = kTaps > 0 ? (kTaps / 2 + 2) / 2 : pw.pairs;
  lo = hi = _mm_setzero_si128();
#pragma GCC unroll 8
  for (int32_t p = 0; p < pairs; ++p) {
    const __m128i a = term(2 * p);
    const __m128i b = 2 * p + 1 < terms ? term(2 * p + 1) : _mm_setzero_si128();
    lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), pw.w[p]));
    hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), pw.w[p]));
  }
}

inline __m128i Load16(const uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
inline __m128i Load8x16(const int16_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
inline __m128i Load8x8(const uint8_t *p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)),
                           _mm_setzero_si128());
}

}  // namespace

namespace {

// Whether the weights are q * 2^z with 255 * sum |q| and every column
// sum within 16 bits; z (at most 16) is set either way.
bool FitsSixteenBits(const int32_t *k, int32_t n, int32_t *z) {
  *z = 16;
  int64_t total = 0;
  for (int32_t j = 0; j < n; ++j) {
    if (k[j] != 0) *z = std::min(*z, __builtin_ctz(static_cast<uint32_t>(k[j])));
    total += std::abs(int64_t{k[j]});
  }
  const int64_t qTotal = total >> *z;
  const int64_t work = ((255 * qTotal) >> (16 - *z)) + 1;
  return 255 * qTotal <= 32767 && work * qTotal <= 32767;
}

}  // namespace

bool FixedBlur8uFitsLanes(const int32_t *k, int32_t n) {
  if ((n & 1) == 0 || n > 127) return false;
  int64_t total = 0;
  bool narrow = true;
  for (int32_t j = 0; j < n; ++j) {
    if (k[j] != k[n - 1 - j]) return false;
    narrow = narrow && k[j] <= 32767 && k[j] >= -32768;
    total += std::abs(int64_t{k[j]});
  }
  int32_t z;
  if (FitsSixteenBits(k, n, &z)) return true;
  // Row sums of 8-bit pixels and column sums of their shifted results must
  // stay in 32 bits, pairs of row results in 16 bits, weights in 16 bits.
  const int64_t rowBound = 255 * total;
  const int64_t work = (rowBound >> 16) + 1;
  return narrow && rowBound < INT32_MAX && 2 * work <= 32767 && work * total < INT32_MAX;
}

namespace {

// The blur for kTaps taps known when compiling (0: n at run time).
template <int32_t kTaps>
int32_t Blur(const uint8_t *src, int32_t rows, int32_t cols, const int32_t *k, int32_t taps,
             uint8_t *dst, ScratchSource source, BorderIndexFn border) {
  const int32_t n = kTaps > 0 ? kTaps : taps;
  const int32_t R = n / 2;
  ScratchStack scratch(source);
  uint8_t *ext = nullptr;
  int16_t *ring = nullptr;
  const int16_t **rp = nullptr;
  int32_t *colTab = nullptr;
  if ((ext = scratch.Take<uint8_t>(cols + 2 * R)) == nullptr ||
      (ring = scratch.Take<int16_t>(static_cast<int64_t>(n) * cols)) == nullptr ||
      (rp = scratch.Take<const int16_t *>(n)) == nullptr ||
      (colTab = scratch.Take<int32_t>(2 * R)) == nullptr)
    return ZQ_ERR_ALLOC;
  PairedWeights pw;
  if (!MakeWeights(k, n, &pw)) return ZQ_ERR_PARAM;
  for (int32_t t = 0; t < R; ++t) {
    colTab[t] = border(t - R, cols, 4);
    colTab[R + t] = border(cols + t, cols, 4);
  }
  // Exact scalar form of one output: sum_j k[j] * at(j).
  auto scalar = [&](auto at) {
    int64_t acc = 0;
    for (int32_t j = 0; j < n; ++j) acc += int64_t{k[j]} * at(j);
    return acc >> 16;
  };
  // Row pass of source row y into ring slot y mod n.
  auto rowPass = [&](int32_t y) {
    const uint8_t *in = src + static_cast<int64_t>(y) * cols;
    for (int32_t t = 0; t < R; ++t) {
      ext[t] = in[colTab[t]];
      ext[cols + R + t] = in[colTab[R + t]];
    }
    std::memcpy(ext + R, in, static_cast<size_t>(cols));
    int16_t *out = ring + static_cast<int64_t>(y % n) * cols;
    int32_t x = 0;
    for (; x + 8 <= cols; x += 8) {
      __m128i lo, hi;
      Accumulate<kTaps>(
          pw,
          [&](int32_t t) {
            const __m128i a = Load8x8(ext + x + t);
            return t == R ? a : _mm_add_epi16(a, Load8x8(ext + x + n - 1 - t));
          },
          lo, hi);
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x),
                       _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16)));
    }
    for (; x < cols; ++x) out[x] = static_cast<int16_t>(scalar([&](int32_t j) { return ext[x + j]; }));
  };
  // Output row y reads source rows y - R .. y + R, reflected; all of them
  // lie within n consecutive rows ending at min(y + R, rows - 1), so a ring
  // of n row results suffices, and a source row is consumed before dst
  // (which may be src) overwrites it.
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  int32_t done = 0;  // source rows through the row pass
  for (int32_t y = 0; y < rows; ++y) {
    for (const int32_t last = y + R < rows ? y + R : rows - 1; done <= last; ++done) rowPass(done);
    const bool inside = y >= R && y + R < rows;
    for (int32_t t = 0, slot = (y + n - R) % n; t < n; ++t, slot = slot + 1 == n ? 0 : slot + 1)
      rp[t] = ring + static_cast<int64_t>(inside ? slot : border(y - R + t, rows, 4) % n) * cols;
    uint8_t *out = dst + static_cast<int64_t>(y) * cols;
    int32_t x = 0;
    for (; x + 8 <= cols; x += 8) {
      __m128i lo, hi;
      Accumulate<kTaps>(
          pw,
          [&](int32_t t) {
            const __m128i a = Load8x16(rp[t] + x);
            return t == R ? a : _mm_add_epi16(a, Load8x16(rp[n - 1 - t] + x));
          },
          lo, hi);
      // The low byte of each shifted sum, as the scalar cast keeps it.
      lo = _mm_and_si128(_mm_srai_epi32(lo, 16), lowByte);
      hi = _mm_and_si128(_mm_srai_epi32(hi, 16), lowByte);
      _mm_storel_epi64(reinterpret_cast<__m128i *>(out + x),
                       _mm_packus_epi16(_mm_packs_epi32(lo, hi), _mm_setzero_si128()));
    }
    for (; x < cols; ++x)
      out[x] = static_cast<uint8_t>(scalar([&](int32_t j) { return int64_t{rp[j][x]}; }));
  }
  return ZQ_OK;
}

// The blur in plain 16-bit lanes for kernels whose weights are q * 2^(16 -
// shift) with small q: (sum k p) >> 16 is then (sum q p) >> shift exactly,
// and with 255 * sum |q| below 2^15 every sum fits 16 bits.
template <int32_t kTaps>
int32_t Blur16(const uint8_t *src, int32_t rows, int32_t cols, const int32_t *k, int32_t taps,
               const int16_t *q, int32_t shift, uint8_t *dst, ScratchSource source,
               BorderIndexFn border) {
  const int32_t n = kTaps > 0 ? kTaps : taps;
  const int32_t R = n / 2;
  ScratchStack scratch(source);
  uint8_t *ext = nullptr;
  int16_t *ring = nullptr;
  const int16_t **rp = nullptr;
  int32_t *colTab = nullptr;
  if ((ext = scratch.Take<uint8_t>(cols + 2 * R)) == nullptr ||
      (ring = scratch.Take<int16_t>(static_cast<int64_t>(n) * cols)) == nullptr ||
      (rp = scratch.Take<const int16_t *>(n)) == nullptr ||
      (colTab = scratch.Take<int32_t>(2 * R)) == nullptr)
    return ZQ_ERR_ALLOC;
  __m128i qw[64];
  for (int32_t t = 0; t <= R; ++t) qw[t] = _mm_set1_epi16(q[t]);
  const __m128i sh = _mm_cvtsi32_si128(shift);
  // sum over terms t of (pixel pair t) * q[t], eight 16-bit lanes.
  auto sum16 = [&](auto term) {
    __m128i acc = _mm_mullo_epi16(term(R), qw[R]);
#pragma GCC unroll 8
    for (int32_t t = 0; t < R; ++t) acc = _mm_add_epi16(acc, _mm_mullo_epi16(term(t), qw[t]));
    return acc;
  };
  for (int32_t t = 0; t < R; ++t) {
    colTab[t] = border(t - R, cols, 4);
    colTab[R + t] = border(cols + t, cols, 4);
  }
  // Exact scalar form of one output: sum_j k[j] * at(j).
  auto scalar = [&](auto at) {
    int64_t acc = 0;
    for (int32_t j = 0; j < n; ++j) acc += int64_t{k[j]} * at(j);
    return acc >> 16;
  };
  // Row pass of source row y into ring slot y mod n.
  auto rowPass = [&](int32_t y) {
    const uint8_t *in = src + static_cast<int64_t>(y) * cols;
    for (int32_t t = 0; t < R; ++t) {
      ext[t] = in[colTab[t]];
      ext[cols + R + t] = in[colTab[R + t]];
    }
    std::memcpy(ext + R, in, static_cast<size_t>(cols));
    int16_t *out = ring + static_cast<int64_t>(y % n) * cols;
    int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= cols; x += 16) {
      __m128i a[64], b[64];  // pixel pair sums of terms 0 .. R, low and high eight
      for (int32_t t = 0; t <= R; ++t) {
        const __m128i p = Load16(ext + x + t);
        a[t] = _mm_unpacklo_epi8(p, zero);
        b[t] = _mm_unpackhi_epi8(p, zero);
        if (t < R) {
          const __m128i o = Load16(ext + x + n - 1 - t);
          a[t] = _mm_add_epi16(a[t], _mm_unpacklo_epi8(o, zero));
          b[t] = _mm_add_epi16(b[t], _mm_unpackhi_epi8(o, zero));
        }
      }
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x),
                       _mm_sra_epi16(sum16([&](int32_t t) { return a[t]; }), sh));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x + 8),
                       _mm_sra_epi16(sum16([&](int32_t t) { return b[t]; }), sh));
    }
    for (; x + 8 <= cols; x += 8) {
      const __m128i acc = sum16([&](int32_t t) {
        const __m128i a = Load8x8(ext + x + t);
        return t == R ? a : _mm_add_epi16(a, Load8x8(ext + x + n - 1 - t));
      });
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_sra_epi16(acc, sh));
    }
    for (; x < cols; ++x) out[x] = static_cast<int16_t>(scalar([&](int32_t j) { return ext[x + j]; }));
  };
  // Output row y reads source rows y - R .. y + R, reflected; all of them
  // lie within n consecutive rows ending at min(y + R, rows - 1), so a ring
  // of n row results suffices, and a source row is consumed before dst
  // (which may be src) overwrites it.
  const __m128i lowByte = _mm_set1_epi16(0xFF);
  int32_t done = 0;  // source rows through the row pass
  for (int32_t y = 0; y < rows; ++y) {
    for (const int32_t last = y + R < rows ? y + R : rows - 1; done <= last; ++done) rowPass(done);
    const bool inside = y >= R && y + R < rows;
    for (int32_t t = 0, slot = (y + n - R) % n; t < n; ++t, slot = slot + 1 == n ? 0 : slot + 1)
      rp[t] = ring + static_cast<int64_t>(inside ? slot : border(y - R + t, rows, 4) % n) * cols;
    uint8_t *out = dst + static_cast<int64_t>(y) * cols;
    int32_t x = 0;
    for (; x + 16 <= cols; x += 16) {
      auto half = [&](int32_t at) {
        const __m128i acc = sum16([&](int32_t t) {
          const __m128i a = Load8x16(rp[t] + at);
          return t == R ? a : _mm_add_epi16(a, Load8x16(rp[n - 1 - t] + at));
        });
        return _mm_and_si128(_mm_sra_epi16(acc, sh), lowByte);
      };
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packus_epi16(half(x), half(x + 8)));
    }
    for (; x + 8 <= cols; x += 8) {
      const __m128i acc = sum16([&](int32_t t) {
        const __m128i a = Load8x16(rp[t] + x);
        return t == R ? a : _mm_add_epi16(a, Load8x16(rp[n - 1 - t] + x));
      });
      // The low byte of each shifted sum, as the scalar cast keeps it.
      const __m128i v = _mm_and_si128(_mm_sra_epi16(acc, sh), lowByte);
      _mm_storel_epi64(reinterpret_cast<__m128i *>(out + x),
                       _mm_packus_epi16(v, _mm_setzero_si128()));
    }
    for (; x < cols; ++x)
      out[x] = static_cast<uint8_t>(scalar([&](int32_t j) { return int64_t{rp[j][x]}; }));
  }
  return ZQ_OK;
}

}  // namespace

int32_t RunFixedBlur8uLanes(const uint8_t *src, int32_t rows, int32_t cols, const int32_t *k,
                            int32_t n, uint8_t *dst, ScratchSource source, BorderIndexFn border) {
  // Weights sharing a power of two: q = k / 2^z, the shift 16 - z.
  int32_t z;
  if (FitsSixteenBits(k, n, &z)) {
    int16_t q[64];
    for (int32_t t = 0; t <= n / 2; ++t) q[t] = static_cast<int16_t>(k[t] / (int32_t{1} << z));
    const int32_t shift = 16 - z;
    switch (n) {
      case 3: return Blur16<3>(src, rows, cols, k, n, q, shift, dst, source, border);
      case 5: return Blur16<5>(src, rows, cols, k, n, q, shift, dst, source, border);
      case 7: return Blur16<7>(src, rows, cols, k, n, q, shift, dst, source, border);
      default: return Blur16<0>(src, rows, cols, k, n, q, shift, dst, source, border);
    }
  }
  switch (n) {
    case 3: return Blur<3>(src, rows, cols, k, n, dst, source, border);
    case 5: return Blur<5>(src, rows, cols, k, n, dst, source, border);
    case 7: return Blur<7>(src, rows, cols, k, n, dst, source, border);
    case 9: return Blur<9>(src, rows, cols, k, n, dst, source, border);
    default: return Blur<0>(src, rows, cols, k, n, dst, source, border);
  }
}

}  // namespace zq
