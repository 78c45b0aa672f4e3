// Sixteen-lane 8-bit helpers of the integer image kernels, on the SSE2 that
// every x86-64 processor has. Integer lanes give exactly the scalar
// results. C++ only; not part of the library's interface.
#ifndef SRC_ZQLANES_H_
#define SRC_ZQLANES_H_

#include <emmintrin.h>
#include <stdint.h>

#include <algorithm>

namespace zq {

inline __m128i Load16(const uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
inline void Store16(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }

// Maximum (dilation) or minimum (erosion) order, on scalars and lanes.
struct MaxLanes {
  static uint8_t Pick(uint8_t a, uint8_t b) { return std::max(a, b); }
  static __m128i Pick(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
};
struct MinLanes {
  static uint8_t Pick(uint8_t a, uint8_t b) { return std::min(a, b); }
  static __m128i Pick(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
};

// out[x] = Pick(a[x], b[x]), x < n; out may be a (or b) when it does not
// run ahead of the other input's reads, i.e. out <= a and out <= b.
template <typename Order>
inline void PickLanes(const uint8_t *a, const uint8_t *b, int64_t n, uint8_t *out) {
  int64_t x = 0;
  for (; x + 16 <= n; x += 16) Store16(out + x, Order::Pick(Load16(a + x), Load16(b + x)));
  for (; x < n; ++x) out[x] = Order::Pick(a[x], b[x]);
}

// Lane-wise and scalar minimum and maximum under one name.
inline __m128i Min(__m128i a, __m128i b) { return _mm_min_epu8(a, b); }
inline __m128i Max(__m128i a, __m128i b) { return _mm_max_epu8(a, b); }
inline uint8_t Min(uint8_t a, uint8_t b) { return std::min(a, b); }
inline uint8_t Max(uint8_t a, uint8_t b) { return std::max(a, b); }

// Loads one value: sixteen lanes or a single pixel.
template <typename V>
inline V LoadAs(const uint8_t *p);
template <>
inline __m128i LoadAs<__m128i>(const uint8_t *p) { return Load16(p); }
template <>
inline uint8_t LoadAs<uint8_t>(const uint8_t *p) { return *p; }
inline void StoreAs(uint8_t *p, __m128i v) { Store16(p, v); }
inline void StoreAs(uint8_t *p, uint8_t v) { *p = v; }

// Runs body(x, V{}) over x = 0 .. n - 1: sixteen lanes at a time, then
// pixel by pixel.
template <typename Body>
inline void ForLanes(int64_t n, Body body) {
  int64_t x = 0;
  for (; x + 16 <= n; x += 16) body(x, __m128i{});
  for (; x < n; ++x) body(x, uint8_t{});
}

// out[x] = Pick over t < count of first[t * step + x], x < n; kCount > 0
// fixes count when compiling.
template <typename Order, int32_t kCount>
inline void PickWindowOf(const uint8_t *first, int64_t step, int32_t count, int64_t n,
                         uint8_t *out) {
  if (kCount > 0) count = kCount;
  int64_t x = 0;
  for (; x + 16 <= n; x += 16) {
    __m128i v = Load16(first + x);
#pragma GCC unroll 8
    for (int32_t t = 1; t < count; ++t) v = Order::Pick(v, Load16(first + t * step + x));
    Store16(out + x, v);
  }
  for (; x < n; ++x) {
    uint8_t v = first[x];
    for (int32_t t = 1; t < count; ++t) v = Order::Pick(v, first[t * step + x]);
    out[x] = v;
  }
}

// PickWindowOf with the small counts unrolled.
template <typename Order>
inline void PickWindow(const uint8_t *first, int64_t step, int32_t count, int64_t n,
                       uint8_t *out) {
  switch (count) {
    case 1: return PickWindowOf<Order, 1>(first, step, count, n, out);
    case 2: return PickWindowOf<Order, 2>(first, step, count, n, out);
    case 3: return PickWindowOf<Order, 3>(first, step, count, n, out);
    case 4: return PickWindowOf<Order, 4>(first, step, count, n, out);
    case 5: return PickWindowOf<Order, 5>(first, step, count, n, out);
    case 6: return PickWindowOf<Order, 6>(first, step, count, n, out);
    case 7: return PickWindowOf<Order, 7>(first, step, count, n, out);
    case 8: return PickWindowOf<Order, 8>(first, step, count, n, out);
    default: return PickWindowOf<Order, 0>(first, step, count, n, out);
  }
}

// Sorts a compare-exchange pair: a gets the minimum, b the maximum.
inline void SortPair(__m128i &a, __m128i &b) {
  const __m128i lo = _mm_min_epu8(a, b);
  b = _mm_max_epu8(a, b);
  a = lo;
}
inline void SortPair(uint8_t &a, uint8_t &b) {
  const uint8_t lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

}  // namespace zq

#endif  // SRC_ZQLANES_H_
