// Grey dilation and erosion with rectangular windows: separable window
// extremes over a reflect-101 padded copy, built by doubling spans in
// sixteen-lane steps; see ZqMorphology.h.
#include <immintrin.h>
#include <string.h>

#include "src/image/ZqLanes.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {

// Max (dilation) or min (erosion) ordering: Better(a, b) replaces the
// running extreme b by an entering a; BetterOrEqual is the rescan test.
struct MaxOrder {
  static bool Better(uint8_t a, uint8_t b) { return a > b; }
  static bool BetterOrEqual(uint8_t a, uint8_t b) { return a >= b; }
};
struct MinOrder {
  static bool Better(uint8_t a, uint8_t b) { return a < b; }
  static bool BetterOrEqual(uint8_t a, uint8_t b) { return a <= b; }
};

// out[x] = extreme of padded[x .. x + window - 1], x < len.
template <typename Order>
void InRow(const uint8_t *padded, int32_t len, int32_t window, uint8_t *out) {
  uint8_t best = 0;
  int32_t left = 0;  // steps for which best stays inside the window
  for (int32_t x = 0; x < len; ++x) {
    if (left == 0) {
      best = padded[x];
      int32_t pos = x;
      for (int32_t i = x; i < x + window; ++i) {
        if (Order::BetterOrEqual(padded[i], best)) {
          best = padded[i];
          pos = i;
        }
      }
      left = pos - x;
    } else {
      const uint8_t in = padded[x + window - 1];
      if (Order::Better(in, best)) {
        best = in;
        left = window - 1;
      } else {
        --left;
      }
    }
    out[x] = best;
  }
}

// out[c] = extreme of first[c + k * rowLen], k < window, for every column;
// best/left carry each column's running extreme to the next output row.
template <typename Order>
void InCol(const uint8_t *first, int32_t rowLen, int32_t window, uint8_t *out, uint8_t *best,
           int32_t *left) {
  for (int32_t c = 0; c < rowLen; ++c) {
    if (left[c] == 0) {
      uint8_t b = first[c];
      int32_t pos = 0;
      for (int32_t k = 0; k < window; ++k) {
        const uint8_t v = first[c + int64_t{k} * rowLen];
        if (Order::BetterOrEqual(v, b)) {
          b = v;
          pos = k;
        }
      }
      best[c] = b;
      left[c] = pos;
    } else {
      const uint8_t in = first[c + int64_t{window - 1} * rowLen];
      if (Order::Better(in, best[c])) {
        best[c] = in;
        left[c] = window - 1;
      } else {
        --left[c];
      }
    }
    out[c] = best[c];
  }
}

// Order of the whole-window helpers (lanes and scalars).
template <typename Order>
struct LanesOf;
template <>
struct LanesOf<MaxOrder> {
  using Type = zq::MaxLanes;
};
template <>
struct LanesOf<MinOrder> {
  using Type = zq::MinLanes;
};

// Thirty-two-lane forms of the window helpers for processors with AVX2,
// chosen at run time; integer lanes, so the results are the same.
inline __attribute__((target("avx2"))) __m256i Pick32(zq::MaxLanes, __m256i a, __m256i b) {
  return _mm256_max_epu8(a, b);
}
inline __attribute__((target("avx2"))) __m256i Pick32(zq::MinLanes, __m256i a, __m256i b) {
  return _mm256_min_epu8(a, b);
}
inline __attribute__((target("avx2"))) __m256i Load32(const uint8_t *p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

template <typename Lanes, int32_t kCount>
__attribute__((target("avx2"))) void PickWindow32(const uint8_t *first, int64_t step,
                                                  int32_t count, int64_t n, uint8_t *out) {
  if (kCount > 0) count = kCount;
  int64_t x = 0;
  for (; x + 32 <= n; x += 32) {
    __m256i v = Load32(first + x);
#pragma GCC unroll 8
    for (int32_t t = 1; t < count; ++t) v = Pick32(Lanes{}, v, Load32(first + t * step + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x), v);
  }
  zq::PickWindowOf<Lanes, kCount>(first + x, step, count, n - x, out + x);
}

template <typename Lanes>
__attribute__((target("avx2"))) void PickLanes32(const uint8_t *a, const uint8_t *b, int64_t n,
                                                 uint8_t *out) {
  int64_t x = 0;
  for (; x + 32 <= n; x += 32)
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x),
                        Pick32(Lanes{}, Load32(a + x), Load32(b + x)));
  zq::PickLanes<Lanes>(a + x, b + x, n - x, out + x);
}

// Sixteen lanes only when a test asks for them.
bool gSixteenLanesOnly = false;

bool UseWideLanes() { return !gSixteenLanesOnly && __builtin_cpu_supports("avx2"); }

// zq::PickLanes and zq::PickWindow, thirty-two lanes where available.
template <typename Lanes>
void PickLanes(const uint8_t *a, const uint8_t *b, int64_t n, uint8_t *out) {
  if (UseWideLanes()) PickLanes32<Lanes>(a, b, n, out);
  else zq::PickLanes<Lanes>(a, b, n, out);
}

template <typename Lanes>
void PickWindow(const uint8_t *first, int64_t step, int32_t count, int64_t n, uint8_t *out) {
  if (!UseWideLanes()) return zq::PickWindow<Lanes>(first, step, count, n, out);
  switch (count) {
    case 2: return PickWindow32<Lanes, 2>(first, step, count, n, out);
    case 3: return PickWindow32<Lanes, 3>(first, step, count, n, out);
    case 4: return PickWindow32<Lanes, 4>(first, step, count, n, out);
    case 5: return PickWindow32<Lanes, 5>(first, step, count, n, out);
    case 6: return PickWindow32<Lanes, 6>(first, step, count, n, out);
    case 7: return PickWindow32<Lanes, 7>(first, step, count, n, out);
    case 8: return PickWindow32<Lanes, 8>(first, step, count, n, out);
    default: return PickWindow32<Lanes, 0>(first, step, count, n, out);
  }
}

// Extreme of every window of `window` rows, by doubling: row y at span s
// holds the extreme of rows y .. y + s - 1, built in place from span s / 2;
// the window is then two overlapping spans. Row y = base + y * step,
// `count` rows of `len` pixels; row y < count - window + 1 of the result
// goes to outLine(y). The doubling in a padded row works the same way.
template <typename Lanes, typename OutLine>
void WindowExtremes(uint8_t *base, int64_t step, int64_t count, int64_t len, int32_t window,
                    OutLine outLine) {
  int64_t span = 1;
  for (; 2 * span <= window; span *= 2)
    for (int64_t y = 0; y + span < count; ++y)
      PickLanes<Lanes>(base + y * step, base + (y + span) * step, len, base + y * step);
  for (int64_t y = 0; y + window <= count; ++y)
    PickLanes<Lanes>(base + y * step, base + (y + window - span) * step, len, outLine(y));
}

// Windows up to this size are scanned whole; larger ones by doubling.
constexpr int32_t kDirect = 16;

template <typename Order>
int32_t Morph(const uint8_t *src, int32_t rows, int32_t cols, int32_t kx, int32_t ky,
              uint8_t *dst) {
  using Lanes = typename LanesOf<Order>::Type;
  if (src == nullptr || dst == nullptr || rows <= 0 || cols < 1 || kx <= 0 || ky <= 0) return -1;
  const int32_t n = kx / 2, m = ky / 2;
  const int64_t paddedCols = int64_t{cols} + 2 * int64_t{n};
  const int64_t paddedRows = int64_t{rows} + 2 * int64_t{m};
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  int32_t *borderIdx = scratch.Take<int32_t>(2 * int64_t{n});
  if (borderIdx == nullptr && n > 0) return -2;
  uint8_t *row = scratch.Take<uint8_t>(paddedCols);
  if (row == nullptr) return -2;
  // Small windows into a separate dst: a ring of ky row results (the
  // extreme over a window does not depend on the order of its rows).
  const int64_t n64 = int64_t{rows} * cols;
  const bool apart = dst + n64 <= src || src + n64 <= dst;
  const bool ring = ky <= kDirect && apart;
  uint8_t *image = scratch.Take<uint8_t>((ring ? ky : paddedRows) * int64_t{cols});
  if (image == nullptr) return -2;

  for (int32_t i = 0; i < n; ++i) {
    borderIdx[i] = ZqBorderInterpolate(i - n, cols, ZQ_BORDER_REFLECT_101);
    borderIdx[n + i] = ZqBorderInterpolate(cols + i, cols, ZQ_BORDER_REFLECT_101);
  }
  // Row pass of source row y into out: pad horizontally and reduce. The
  // padded row has cols + kx - 1 pixels in use (one more for an even
  // window).
  auto rowPass = [&](int32_t y, uint8_t *out) {
    const uint8_t *s = src + int64_t{y} * cols;
    for (int32_t i = 0; i < n; ++i) {
      row[i] = s[borderIdx[i]];
      row[n + cols + i] = s[borderIdx[n + i]];
    }
    memcpy(row + n, s, static_cast<size_t>(cols));
    if (kx <= kDirect) {
      PickWindow<Lanes>(row, 1, kx, cols, out);
      return;
    }
    const int64_t len = int64_t{cols} + kx - 1;
    int64_t span = 1;
    for (; 2 * span <= kx; span *= 2) PickLanes<Lanes>(row, row + span, len - span, row);
    PickLanes<Lanes>(row, row + kx - span, cols, out);
  };
  if (ring) {
    // Padded row r (source row r - m, reflected) goes to slot r mod ky;
    // output row y takes the ky slots once rows y .. y + ky - 1 are in.
    int32_t next = 0;
    for (int32_t y = 0; y < rows; ++y) {
      for (; next < y + ky; ++next)
        rowPass(ZqBorderInterpolate(next - m, rows, ZQ_BORDER_REFLECT_101),
                image + int64_t{next % ky} * cols);
      PickWindow<Lanes>(image, cols, ky, cols, dst + int64_t{y} * cols);
    }
    return 0;
  }
  for (int32_t y = 0; y < rows; ++y) rowPass(y, image + (m + int64_t{y}) * cols);
  // Vertical borders, reflected about the edge row. Every padding row
  // names an image row, also when the window is taller than the image.
  for (int32_t j = 0; j < m; ++j) {
    const int32_t top = ZqBorderInterpolate(j - m, rows, ZQ_BORDER_REFLECT_101);
    const int32_t bottom = ZqBorderInterpolate(rows + j, rows, ZQ_BORDER_REFLECT_101);
    memcpy(image + int64_t{j} * cols, image + (m + int64_t{top}) * cols, static_cast<size_t>(cols));
    memcpy(image + (int64_t{rows} + m + j) * cols, image + (m + int64_t{bottom}) * cols,
           static_cast<size_t>(cols));
  }
  // Columns, whole rows at a time: the source is fully consumed, so dst
  // may be src.
  if (ky <= kDirect) {
    for (int32_t y = 0; y < rows; ++y)
      PickWindow<Lanes>(image + int64_t{y} * cols, cols, ky, cols, dst + int64_t{y} * cols);
  } else {
    WindowExtremes<Lanes>(image, cols, int64_t{rows} + ky - 1, cols, ky,
                          [dst, cols](int64_t y) { return dst + y * cols; });
  }
  return 0;
}

}  // namespace

void ZqDilateInRow(const uint8_t *padded, int32_t len, int32_t window, uint8_t *out) {
  InRow<MaxOrder>(padded, len, window, out);
}

void ZqErodeInRow(const uint8_t *padded, int32_t len, int32_t window, uint8_t *out) {
  InRow<MinOrder>(padded, len, window, out);
}

void ZqDilateInCol(const uint8_t *first, int32_t rowLen, int32_t window, uint8_t *out,
                   uint8_t *best, int32_t *left) {
  InCol<MaxOrder>(first, rowLen, window, out, best, left);
}

void ZqErodeInCol(const uint8_t *first, int32_t rowLen, int32_t window, uint8_t *out, uint8_t *best,
                  int32_t *left) {
  InCol<MinOrder>(first, rowLen, window, out, best, left);
}

int32_t ZqDilate(const uint8_t *src, int32_t rows, int32_t cols, int32_t /*reserved*/, int32_t kx,
                 int32_t ky, uint8_t *dst) {
  return Morph<MaxOrder>(src, rows, cols, kx, ky, dst);
}

void ZqMorphologySixteenLanesForTest(int32_t on) { gSixteenLanesOnly = on != 0; }

int32_t ZqErode(const uint8_t *src, int32_t rows, int32_t cols, int32_t /*reserved*/, int32_t kx,
                int32_t ky, uint8_t *dst) {
  return Morph<MinOrder>(src, rows, cols, kx, ky, dst);
}
