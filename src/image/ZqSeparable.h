// Shared bodies of the separable filters exported under two name sets (the
// smoothing file and the stretch filters): the running-sum box filter, the
// fixed-point row and column filters and the fixed-point Gaussian blur.
// C++ only; not part of the library's interface.
#ifndef SRC_ZQSEPARABLE_H_
#define SRC_ZQSEPARABLE_H_

#include <stdint.h>

#include <cstring>
#include <type_traits>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace zq {

// Border rule shared by the separable filters: position p of a line of len
// maps to a pixel index inside 0..len-1 (len >= 1).
using BorderIndexFn = int32_t (*)(int32_t p, int32_t len, int32_t type);

// Fixed-point correlation of outputs i = 0..count-1 into acc, tap j of
// output i read through at(j, i): taps j and ksize - 1 - j paired with the
// weight of tap j (centre once) when `paired`, else tap by tap. Integer
// sums, so the order of the additions does not matter.
template <typename At>
inline void FixedTaps(At at, int32_t count, const int32_t *k, int32_t ksize, bool paired,
                      int64_t *acc) {
  for (int32_t i = 0; i < count; ++i) acc[i] = 0;
  if (paired) {
    const int32_t half = ksize / 2;
    for (int32_t j = 0; j < half; ++j) {
      const int64_t kj = k[j];
      for (int32_t i = 0; i < count; ++i) acc[i] += kj * (at(j, i) + at(ksize - 1 - j, i));
    }
    if (ksize & 1) {
      const int64_t kc = k[half];
      for (int32_t i = 0; i < count; ++i) acc[i] += kc * at(half, i);
    }
  } else {
    for (int32_t j = 0; j < ksize; ++j) {
      const int64_t kj = k[j];
      for (int32_t i = 0; i < count; ++i) acc[i] += kj * at(j, i);
    }
  }
}

// Runs FixedTaps over n outputs in blocks: the groups of four outputs use
// the paired form, the outputs after the last group are computed tap by tap.
template <typename At, typename Out>
void FixedFilter(At at, int32_t n, const int32_t *k, int32_t ksize, Out *out) {
  constexpr int32_t kBlock = 64;
  int64_t acc[kBlock];
  const int32_t groups = n & ~3;
  for (int32_t base = 0; base < n; base += kBlock) {
    const int32_t end = base + kBlock < n ? base + kBlock : n;
    const int32_t split = end < groups ? end : (base > groups ? base : groups);
    if (split > base) {
      FixedTaps([&](int32_t j, int32_t i) { return at(j, base + i); }, split - base, k, ksize,
                true, acc);
      for (int32_t i = base; i < split; ++i) out[i] = static_cast<Out>(acc[i - base] >> 16);
    }
    if (end > split) {
      FixedTaps([&](int32_t j, int32_t i) { return at(j, split + i); }, end - split, k, ksize,
                false, acc);
      for (int32_t i = split; i < end; ++i) out[i] = static_cast<Out>(acc[i - split] >> 16);
    }
  }
}

// Fixed-point row filter: out[i] = Out((sum_j row[i + j] * k[j]) >> 16);
// the groups of four outputs use the paired form, the rest tap by tap.
template <typename In, typename Out>
void FixedRowFilter(const In *row, int32_t n, const int32_t *k, int32_t ksize, Out *out) {
  if (row == nullptr || k == nullptr || out == nullptr || ksize < 1) return;
  FixedFilter([row](int32_t j, int32_t i) { return static_cast<int64_t>(row[i + j]); }, n, k,
              ksize, out);
}

// Fixed-point column filter: out[i] = Out((sum_j rows[j][i] * k[j]) >> 16)
// with the same pairing.
template <typename Out>
void FixedColumnFilter(const int32_t *const *rows, int32_t n, const int32_t *k, int32_t ksize,
                       Out *out) {
  if (rows == nullptr || k == nullptr || out == nullptr || ksize < 1) return;
  FixedFilter([rows](int32_t j, int32_t i) { return static_cast<int64_t>(rows[j][i]); }, n, k,
              ksize, out);
}

// How a box filter member turns a window sum into its output.
template <typename Pixel>
struct BoxOutput;

template <>
struct BoxOutput<int32_t> {
  using Sum = int64_t;
  static int32_t Make(Sum s, int64_t e, bool norm) {
    return static_cast<int32_t>(norm ? s / e : s);
  }
};

template <>
struct BoxOutput<float> {
  using Sum = float;
  static float Make(Sum s, int64_t e, bool norm) {
    return norm ? s / static_cast<float>(e) : s;
  }
};

template <>
struct BoxOutput<uint16_t> {
  using Sum = int64_t;
  static uint16_t Make(Sum s, int64_t e, bool norm) {
    return static_cast<uint16_t>(norm ? (s + e / 2) / e : s);
  }
};

template <>
struct BoxOutput<uint8_t> {
  using Sum = int64_t;
  static uint8_t Make(Sum s, int64_t e, bool norm) {
    return static_cast<uint8_t>(norm ? (s + e / 2) / e : s);
  }
};

// Running-sum box filter over (2R + 1)^2, R = k / 2, borders through
// `border` type 4. Arguments are checked by the caller (k >= 2, k < rows,
// k < cols). Returns 0 or -2 (scratch refused). dst may be src.
template <typename Pixel>
int32_t RunBoxFilter(const Pixel *src, int32_t rows, int32_t cols, int32_t k, Pixel *dst,
                     bool normalise, ScratchSource source, BorderIndexFn border) {
  using Sum = typename BoxOutput<Pixel>::Sum;
  const int32_t R = k / 2;
  const int32_t W = 2 * R + 1;
  const int64_t area = static_cast<int64_t>(W) * W;
  ScratchStack scratch(source);
  // Each block is asked for only while the earlier ones were granted.
  int32_t *colTab = nullptr, *rowTab = nullptr;
  Sum *ext = nullptr, *vsum = nullptr, *hsum = nullptr;
  if ((colTab = scratch.Take<int32_t>(cols + 2 * R)) == nullptr ||
      (rowTab = scratch.Take<int32_t>(rows + 2 * R)) == nullptr ||
      (ext = scratch.Take<Sum>(cols + 2 * R)) == nullptr ||
      (vsum = scratch.Take<Sum>(cols)) == nullptr ||
      (hsum = scratch.Take<Sum>(static_cast<int64_t>(rows) * cols)) == nullptr)
    return ZQ_ERR_ALLOC;
  for (int32_t x = -R; x < cols + R; ++x) colTab[x + R] = border(x, cols, 4);
  for (int32_t y = -R; y < rows + R; ++y) rowTab[y + R] = border(y, rows, 4);

  for (int32_t y = 0; y < rows; ++y) {
    const Pixel *in = src + static_cast<int64_t>(y) * cols;
    for (int32_t x = 0; x < cols + 2 * R; ++x) ext[x] = static_cast<Sum>(in[colTab[x]]);
    Sum *h = hsum + static_cast<int64_t>(y) * cols;
    Sum s = 0;
    for (int32_t j = 0; j < W; ++j) s += ext[j];
    h[0] = s;
    for (int32_t x = 1; x < cols; ++x) {
      s += ext[x + 2 * R];
      s -= ext[x - 1];
      h[x] = s;
    }
  }
  auto hrow = [&](int32_t y) { return hsum + static_cast<int64_t>(rowTab[y + R]) * cols; };
  for (int32_t x = 0; x < cols; ++x) vsum[x] = 0;
  for (int32_t y = -R; y < R; ++y) {
    const Sum *h = hrow(y);
    for (int32_t x = 0; x < cols; ++x) vsum[x] += h[x];
  }
  for (int32_t y = 0; y < rows; ++y) {
    const Sum *add = hrow(y + R);
    const Sum *sub = hrow(y - R);
    Pixel *out = dst + static_cast<int64_t>(y) * cols;
    for (int32_t x = 0; x < cols; ++x) {
      vsum[x] += add[x];
      out[x] = BoxOutput<Pixel>::Make(vsum[x], area, normalise);
      vsum[x] -= sub[x];
    }
  }
  return ZQ_OK;
}

// Whether RunFixedBlur8uLanes takes this kernel of n taps: n odd, the
// kernel symmetric with 16-bit weights, and all sums within 32 bits.
bool FixedBlur8uFitsLanes(const int32_t *kernel, int32_t n);

// RunFixedBlur for 8-bit pixels and a kernel FixedBlur8uFitsLanes takes,
// eight outputs at a time; the same results. Returns 0 or -2.
int32_t RunFixedBlur8uLanes(const uint8_t *src, int32_t rows, int32_t cols,
                            const int32_t *kernel, int32_t n, uint8_t *dst, ScratchSource source,
                            BorderIndexFn border);

// Separable fixed-point blur with a 16.16 kernel of ksize (odd) taps,
// borders through `border` type 4. The caller checks the arguments.
// Returns 0 or -2. dst may be src.
template <typename Pixel>
int32_t RunFixedBlur(const Pixel *src, int32_t rows, int32_t cols, const int32_t *kernel,
                     int32_t ksize, Pixel *dst, ScratchSource source, BorderIndexFn border) {
  if constexpr (std::is_same_v<Pixel, uint8_t>) {
    if (FixedBlur8uFitsLanes(kernel, ksize))
      return RunFixedBlur8uLanes(src, rows, cols, kernel, ksize, dst, source, border);
  }
  const int32_t R = ksize / 2;
  ScratchStack scratch(source);
  Pixel *ext = nullptr;
  int32_t *work = nullptr;
  const int32_t **rowPtr = nullptr;
  int32_t *colTab = nullptr;
  if ((ext = scratch.Take<Pixel>(cols + 2 * R)) == nullptr ||
      (work = scratch.Take<int32_t>(static_cast<int64_t>(rows) * cols)) == nullptr ||
      (rowPtr = scratch.Take<const int32_t *>(rows + 2 * R)) == nullptr ||
      (colTab = scratch.Take<int32_t>(2 * R)) == nullptr)
    return ZQ_ERR_ALLOC;
  for (int32_t t = 0; t < R; ++t) {
    colTab[t] = border(t - R, cols, 4);
    colTab[R + t] = border(cols + t, cols, 4);
  }
  for (int32_t y = 0; y < rows; ++y) {
    const Pixel *in = src + static_cast<int64_t>(y) * cols;
    for (int32_t t = 0; t < R; ++t) {
      ext[t] = in[colTab[t]];
      ext[cols + R + t] = in[colTab[R + t]];
    }
    std::memcpy(ext + R, in, sizeof(Pixel) * static_cast<size_t>(cols));
    FixedRowFilter(ext, cols, kernel, ksize, work + static_cast<int64_t>(y) * cols);
  }
  for (int32_t y = -R; y < rows + R; ++y)
    rowPtr[y + R] = work + static_cast<int64_t>(border(y, rows, 4)) * cols;
  for (int32_t y = 0; y < rows; ++y)
    FixedColumnFilter(rowPtr + y, cols, kernel, ksize, dst + static_cast<int64_t>(y) * cols);
  return ZQ_OK;
}

}  // namespace zq

#endif  // SRC_ZQSEPARABLE_H_
