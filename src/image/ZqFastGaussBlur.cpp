#include "src/image/ZqFastGaussBlur.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <immintrin.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqMemoryManager.h"

namespace {

// One level's chain of box passes.
struct PassList {
  int16_t count;
  int16_t sizes[ZQ_FAST_GAUSS_MAX_PASSES];
};

// The box-pass tables, by mode byte 0, 16 and any other. This is the one
// place that says which chain approximates each level's Gaussian; the
// keypoint detector relies on it.
constexpr PassList kPassesMode0[ZQ_FAST_GAUSS_LEVELS] = {
    {4, {3, 3, 3, 3}}, {4, {3, 3, 3, 5}}, {3, {3, 3, 5}},
    {3, {3, 3, 5}},    {3, {3, 3, 5}},    {3, {3, 3, 5}},
};
// Mode 16 (the detector's fast mode, on an enlarged image) smooths less: no
// initial blur of the base image, and level 5 is a plain copy.
constexpr PassList kPassesMode16[ZQ_FAST_GAUSS_LEVELS] = {
    {0, {}},        {4, {3, 3, 3, 5}}, {3, {3, 3, 5}},
    {3, {3, 3, 5}}, {3, {3, 3, 5}},    {0, {}},
};
// Mode 4 (the detector's default) and every other mode byte.
constexpr PassList kPassesOther[ZQ_FAST_GAUSS_LEVELS] = {
    {4, {3, 3, 3, 3}}, {3, {3, 3, 3}}, {3, {3, 3, 3}},
    {3, {3, 3, 5}},    {3, {3, 3, 5}}, {3, {3, 3, 5}},
};

// Reciprocals 1/n of the pixel counts a box window can hold (entry 0 = 0).
struct Reciprocals {
  float v[90];
  constexpr Reciprocals() : v() {
    for (int n = 1; n < 90; ++n) v[n] = 1.0f / static_cast<float>(n);
  }
};
constexpr Reciprocals kRecip;

inline float Reciprocal(int n) { return n < 90 ? kRecip.v[n] : 1.0f / static_cast<float>(n); }

inline int MinInt(int a, int b) { return a < b ? a : b; }
inline int MaxInt(int a, int b) { return a > b ? a : b; }

// Rows one horizontal step smooths together: their running sums are
// independent, so the processor works on all of them at once instead of
// waiting for each addition of one row in turn.
constexpr int kRowsAtOnce = 8;

typedef float Lanes4 __attribute__((vector_size(16)));

inline Lanes4 Load4(const float *p) {
  Lanes4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store4(float *p, Lanes4 v) { std::memcpy(p, &v, sizeof v); }

// The column sums of the next row: out = (prev + add) - sub, element by
// element (add and sub may be NULL), in the order the running sums take.
void NextColumnSums(const float *prev, const float *add, const float *sub, int width, float *out) {
  int x = 0;
  if (add != nullptr && sub != nullptr) {
    for (; x + 4 <= width; x += 4) Store4(out + x, (Load4(prev + x) + Load4(add + x)) - Load4(sub + x));
    for (; x < width; ++x) out[x] = (prev[x] + add[x]) - sub[x];
  } else if (add != nullptr) {
    for (; x + 4 <= width; x += 4) Store4(out + x, Load4(prev + x) + Load4(add + x));
    for (; x < width; ++x) out[x] = prev[x] + add[x];
  } else if (sub != nullptr) {
    for (; x + 4 <= width; x += 4) Store4(out + x, Load4(prev + x) - Load4(sub + x));
    for (; x < width; ++x) out[x] = prev[x] - sub[x];
  } else if (out != prev) {
    std::memcpy(out, prev, static_cast<size_t>(width) * sizeof(float));
  }
}

typedef int32_t Index4 __attribute__((vector_size(16)));

// Transposes the 4 x 4 block a, b, c, d (rows) in place into its columns.
inline void Transpose4(Lanes4 &a, Lanes4 &b, Lanes4 &c, Lanes4 &d) {
  const Lanes4 t0 = __builtin_shuffle(a, b, Index4{0, 4, 1, 5});
  const Lanes4 t1 = __builtin_shuffle(a, b, Index4{2, 6, 3, 7});
  const Lanes4 t2 = __builtin_shuffle(c, d, Index4{0, 4, 1, 5});
  const Lanes4 t3 = __builtin_shuffle(c, d, Index4{2, 6, 3, 7});
  a = __builtin_shuffle(t0, t2, Index4{0, 1, 4, 5});
  b = __builtin_shuffle(t0, t2, Index4{2, 3, 6, 7});
  c = __builtin_shuffle(t1, t3, Index4{0, 1, 4, 5});
  d = __builtin_shuffle(t1, t3, Index4{2, 3, 6, 7});
}

constexpr int K = kRowsAtOnce;

// Column by column: across[Kx + j] = rows[j][x] for j < K, x < width.
void RowsToColumns(const float *const *rows, int width, float *across) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    for (int half = 0; half < K; half += 4) {
      Lanes4 a = Load4(rows[half] + x), b = Load4(rows[half + 1] + x),
             c = Load4(rows[half + 2] + x), d = Load4(rows[half + 3] + x);
      Transpose4(a, b, c, d);
      Store4(across + K * x + half, a);
      Store4(across + K * (x + 1) + half, b);
      Store4(across + K * (x + 2) + half, c);
      Store4(across + K * (x + 3) + half, d);
    }
  }
  for (; x < width; ++x)
    for (int j = 0; j < K; ++j) across[K * x + j] = rows[j][x];
}

// The way back for the first n rows: rows[j][x] = across[Kx + j]; rows
// listed in also (when not NULL) receive the same floats.
void ColumnsToRows(const float *across, int width, int n, float *const *rows, float *const *also) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    for (int half = 0; half < n; half += 4) {
      Lanes4 a = Load4(across + K * x + half), b = Load4(across + K * (x + 1) + half),
             c = Load4(across + K * (x + 2) + half), d = Load4(across + K * (x + 3) + half);
      Transpose4(a, b, c, d);
      const Lanes4 out[4] = {a, b, c, d};
      for (int k = 0; k < 4 && half + k < n; ++k) {
        Store4(rows[half + k] + x, out[k]);
        if (also != nullptr) Store4(also[half + k] + x, out[k]);
      }
    }
  }
  for (; x < width; ++x)
    for (int j = 0; j < n; ++j) {
      rows[j][x] = across[K * x + j];
      if (also != nullptr) also[j][x] = across[K * x + j];
    }
}

// Per lane j < n: Reciprocal(rows[j] * cols); 0 in the other lanes.
inline void Factors(const int *rows, int n, int cols, float f[K]) {
  for (int j = 0; j < K; ++j) f[j] = j < n ? Reciprocal(rows[j] * cols) : 0.0f;
}

// The running sums along the rows of n <= K rows at once: sums holds their
// column sums column by column (column x in sums[Kx .. Kx + K - 1], row j
// in lane j), out receives the results in the same layout. Each lane takes
// exactly the steps of one row smoothed alone.
void BoxRowsAcross(const float *sums, int n, int width, int r, const int *rows, float *out) {
  constexpr int G = K / 4;
  Lanes4 acc[G] = {};
  float f[K];
  for (int x = 0; x <= MinInt(r, width - 1); ++x)
    for (int g = 0; g < G; ++g) acc[g] += Load4(sums + K * x + 4 * g);
  // Left border: the window grows.
  int x = 0;
  for (; x < width && x - r - 1 < 0; ++x) {
    if (x > 0 && x + r < width)
      for (int g = 0; g < G; ++g) acc[g] += Load4(sums + K * (x + r) + 4 * g);
    Factors(rows, n, MinInt(width - 1, x + r) + 1, f);
    for (int g = 0; g < G; ++g) Store4(out + K * x + 4 * g, acc[g] * Load4(f + 4 * g));
  }
  // Interior: full windows.
  Factors(rows, n, 2 * r + 1, f);
  Lanes4 full[G];
  for (int g = 0; g < G; ++g) full[g] = Load4(f + 4 * g);
  for (; x + r < width; ++x) {
    const float *in = sums + K * (x + r), *leaving = sums + K * (x - r - 1);
    for (int g = 0; g < G; ++g) {
      acc[g] += Load4(in + 4 * g) - Load4(leaving + 4 * g);
      Store4(out + K * x + 4 * g, acc[g] * full[g]);
    }
  }
  // Right border: the window shrinks.
  for (; x < width; ++x) {
    for (int g = 0; g < G; ++g) acc[g] -= Load4(sums + K * (x - r - 1) + 4 * g);
    Factors(rows, n, width - 1 - (x - r) + 1, f);
    for (int g = 0; g < G; ++g) Store4(out + K * x + 4 * g, acc[g] * Load4(f + 4 * g));
  }
}

// The same pass in eight-lane registers, for processors with AVX. Blocks of
// 8 x 8 pixels go through the column sums, are turned (8 x 8 transpose) in
// registers, and the running sums along the rows come back turned the
// other way straight into the target rows. Every lane takes the float
// steps of the four-lane pass, so the results are the same bits.

// Transposes the 8 x 8 block v[0..7] (rows) in place into its columns.
__attribute__((target("avx"))) inline void Transpose8(__m256 v[8]) {
  const __m256 t0 = _mm256_unpacklo_ps(v[0], v[1]), t1 = _mm256_unpackhi_ps(v[0], v[1]);
  const __m256 t2 = _mm256_unpacklo_ps(v[2], v[3]), t3 = _mm256_unpackhi_ps(v[2], v[3]);
  const __m256 t4 = _mm256_unpacklo_ps(v[4], v[5]), t5 = _mm256_unpackhi_ps(v[4], v[5]);
  const __m256 t6 = _mm256_unpacklo_ps(v[6], v[7]), t7 = _mm256_unpackhi_ps(v[6], v[7]);
  const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
  const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
  const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
  const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
  v[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
  v[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
  v[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
  v[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
  v[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
  v[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
  v[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
  v[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// The window's column count at column x (clipped to the image).
inline int ColsAt(int x, int r, int width) { return MinInt(width - 1, x + r) - MaxInt(0, x - r) + 1; }

// One step of a running row sum at column x, as BoxRowsAcross takes it.
__attribute__((target("avx"))) inline __m256 RowStep(__m256 acc, const float *lane, int x, int r, int width) {
  if (x - r - 1 < 0) {
    if (x > 0 && x + r < width) acc = _mm256_add_ps(acc, _mm256_loadu_ps(lane + K * (x + r)));
  } else if (x + r < width) {
    acc = _mm256_add_ps(acc, _mm256_sub_ps(_mm256_loadu_ps(lane + K * (x + r)),
                                           _mm256_loadu_ps(lane + K * (x - r - 1))));
  } else {
    acc = _mm256_sub_ps(acc, _mm256_loadu_ps(lane + K * (x - r - 1)));
  }
  return acc;
}

// The block of rows y0 .. y0 + n - 1: carry holds the column sums of row
// y0 - 1 (of row 0 when y0 is 0) and receives those of the block's last
// row; across is scratch for K x width floats.
// factors is scratch for K x (most columns + 1) floats.
__attribute__((target("avx"))) void BoxBlock8(const ST_Image *src, int y0, int n, int r,
                                              const int *rows, float *carry, float *across,
                                              float *factors, float *const *out, float *const *also) {
  const int width = src->width, height = src->height;
  constexpr int G = K / 8;
  const float *add[K], *sub[K];
  for (int j = 0; j < K; ++j) {
    const int y = y0 + j;
    add[j] = j < n && y > 0 && y + r < height ? ZqImgRow<float>(src, y + r) : nullptr;
    sub[j] = j < n && y > 0 && y - r - 1 >= 0 ? ZqImgRow<float>(src, y - r - 1) : nullptr;
  }
  bool plain = n == K;  // every row adds one and takes one away
  for (int j = 0; j < K && plain; ++j) plain = add[j] != nullptr && sub[j] != nullptr;
  // Column sums, turned into columns of K lanes.
  int x0 = 0;
  for (; x0 + 8 <= width; x0 += 8) {
    __m256 cs = _mm256_loadu_ps(carry + x0);
    for (int g = 0; g < G; ++g) {
      __m256 v[8];
      if (plain) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
          const int j = 8 * g + k;
          cs = _mm256_sub_ps(_mm256_add_ps(cs, _mm256_loadu_ps(add[j] + x0)), _mm256_loadu_ps(sub[j] + x0));
          v[k] = cs;
        }
      } else {
        for (int k = 0; k < 8; ++k) {
        const int j = 8 * g + k;
        if (j < n) {
          if (add[j] != nullptr) cs = _mm256_add_ps(cs, _mm256_loadu_ps(add[j] + x0));
          if (sub[j] != nullptr) cs = _mm256_sub_ps(cs, _mm256_loadu_ps(sub[j] + x0));
          v[k] = cs;
        } else {
          v[k] = _mm256_setzero_ps();
        }
      }
      }
      Transpose8(v);
#pragma GCC unroll 8
      for (int k = 0; k < 8; ++k) _mm256_storeu_ps(across + K * (x0 + k) + 8 * g, v[k]);
    }
    _mm256_storeu_ps(carry + x0, cs);
  }
  for (int x = x0; x < width; ++x) {
    float cs = carry[x];
    for (int j = 0; j < K; ++j) {
      if (j < n) {
        if (add[j] != nullptr) cs = cs + add[j][x];
        if (sub[j] != nullptr) cs = cs - sub[j][x];
        across[K * x + j] = cs;
      } else {
        across[K * x + j] = 0.0f;
      }
    }
    carry[x] = cs;
  }
  // Running sums along the rows, turned back into the target rows.
  // The factors by the window's column count.
  const int most = MinInt(2 * r + 1, width);
  for (int c = 1; c <= most; ++c) Factors(rows, n, c, factors + K * c);
  __m256 acc[G], full[G];
  {
    float f[K];
    Factors(rows, n, 2 * r + 1, f);
    for (int g = 0; g < G; ++g) {
      acc[g] = _mm256_setzero_ps();
      full[g] = _mm256_loadu_ps(f + 8 * g);
    }
  }
  for (int x = 0; x <= MinInt(r, width - 1); ++x)
    for (int g = 0; g < G; ++g) acc[g] = _mm256_add_ps(acc[g], _mm256_loadu_ps(across + K * x + 8 * g));
  x0 = 0;
  for (; x0 + 8 <= width; x0 += 8) {
    const bool inside = x0 - r - 1 >= 0 && x0 + 7 + r < width;
    for (int g = 0; g < G; ++g) {
      if (8 * g >= n) break;
      const float *lane = across + 8 * g;
      __m256 v[8];
      if (inside) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
          const int x = x0 + k;
          acc[g] = _mm256_add_ps(acc[g], _mm256_sub_ps(_mm256_loadu_ps(lane + K * (x + r)),
                                                       _mm256_loadu_ps(lane + K * (x - r - 1))));
          v[k] = _mm256_mul_ps(acc[g], full[g]);
        }
      } else {
        for (int k = 0; k < 8; ++k) {
          const int x = x0 + k;
          acc[g] = RowStep(acc[g], lane, x, r, width);
          v[k] = _mm256_mul_ps(acc[g], _mm256_loadu_ps(factors + K * ColsAt(x, r, width) + 8 * g));
        }
      }
      Transpose8(v);
      if (8 * g + 8 <= n) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) _mm256_storeu_ps(out[8 * g + k] + x0, v[k]);
        if (also != nullptr) {
#pragma GCC unroll 8
          for (int k = 0; k < 8; ++k) _mm256_storeu_ps(also[8 * g + k] + x0, v[k]);
        }
      } else {
        for (int k = 0; 8 * g + k < n; ++k) {
          _mm256_storeu_ps(out[8 * g + k] + x0, v[k]);
          if (also != nullptr) _mm256_storeu_ps(also[8 * g + k] + x0, v[k]);
        }
      }
    }
  }
  for (int x = x0; x < width; ++x) {
    for (int g = 0; g < G; ++g) {
      if (8 * g >= n) break;
      acc[g] = RowStep(acc[g], across + 8 * g, x, r, width);
      float v[8];
      _mm256_storeu_ps(v, _mm256_mul_ps(acc[g], _mm256_loadu_ps(factors + K * ColsAt(x, r, width) + 8 * g)));
      for (int k = 0; k < 8 && 8 * g + k < n; ++k) {
        out[8 * g + k][x] = v[k];
        if (also != nullptr) also[8 * g + k][x] = v[k];
      }
    }
  }
}

// A block of the C heap kept from call to call (outside the counted heap:
// its contents are always written before they are read, so it needs no
// clearing, and a call allocates through the counted heap the same way
// whether the block is there already or not).
struct KeptBlock {
  void *data = nullptr;
  size_t capacity = 0;
  bool busy = false;
};
KeptBlock gScratchBlock;  // FastGaussBlur's scratch image
KeptBlock gAcrossBlock;   // a wide pass's turned blocks and factors

// bytes of b for the caller, or NULL when b is in use or the C heap refuses.
void *TakeKept(KeptBlock &b, size_t bytes) {
  if (b.busy) return nullptr;
  if (b.capacity < bytes) {
    std::free(b.data);
    b.data = std::malloc(bytes);
    b.capacity = b.data != nullptr ? bytes : 0;
    if (b.data == nullptr) return nullptr;
  }
  b.busy = true;
  return b.data;
}

// The whole pass on eight lanes (allocation as BoxPass's: the column sums,
// which start from zero, come from the counted heap; the turned blocks and
// factors, written before they are read, from a kept block when there is
// one).
int32_t BoxPassWide(const ST_Image *src, ST_Image *dst, ST_Image *also, int r) {
  const int width = src->width, height = src->height;
  const int most = MinInt(2 * r + 1, width);
  float *carry = static_cast<float *>(ZqSafeAlloc(width * static_cast<int32_t>(sizeof(float))));
  ZQ_CHECK(carry == NULL, 0);
  const size_t restFloats = static_cast<size_t>(K) * width + static_cast<size_t>(K) * (most + 1);
  float *across = static_cast<float *>(TakeKept(gAcrossBlock, restFloats * sizeof(float)));
  const bool kept = across != nullptr;
  if (!kept) {
    across = static_cast<float *>(
        ZqSafeAlloc(static_cast<int32_t>(restFloats * sizeof(float))));
    if (across == nullptr) ZqSafeFree(carry);
    ZQ_CHECK(across == NULL, 0);
  }
  float *factors = across + K * width;
  for (int y = 0; y <= MinInt(r, height - 1); ++y)
    NextColumnSums(carry, ZqImgRow<float>(src, y), nullptr, width, carry);
  for (int y0 = 0; y0 < height; y0 += K) {
    const int n = MinInt(K, height - y0);
    int rows[K];
    float *out[K], *out2[K];
    for (int j = 0; j < n; ++j) {
      const int y = y0 + j;
      out[j] = ZqImgRow<float>(dst, y);
      out2[j] = also != nullptr ? ZqImgRow<float>(also, y) : nullptr;
      rows[j] = MinInt(height - 1, y + r) - MaxInt(0, y - r) + 1;
    }
    BoxBlock8(src, y0, n, r, rows, carry, across, factors, out, also != nullptr ? out2 : nullptr);
  }
  if (kept) {
    gAcrossBlock.busy = false;
  } else {
    ZqSafeFree(across);
  }
  ZqSafeFree(carry);
  return 1;
}

bool gFourLanesOnly = false;

bool UseEightLanes() { return !gFourLanesOnly && __builtin_cpu_supports("avx"); }

// One box pass from src into dst (and also, when not NULL, the same floats
// into also).
int32_t BoxPass(const ST_Image *src, ST_Image *dst, ST_Image *also, int16_t size) {
  const int r = size / 2;
  const int width = src->width, height = src->height;
  if (r < 1) {
    std::memcpy(dst->imageData, src->imageData, static_cast<size_t>(src->imageSize));
    if (also != nullptr) std::memcpy(also->imageData, src->imageData, static_cast<size_t>(src->imageSize));
    return 1;
  }
  if (width <= 0 || height <= 0) return 1;
  if (UseEightLanes()) return BoxPassWide(src, dst, also, r);
  // The column sums of K consecutive rows (row y's are row (y - 1)'s with
  // row y + r added and row y - r - 1 taken away), the same column by
  // column, and the smoothed rows column by column.
  const int block = K * width;
  // One more row of zeros stands for the rows past the image's last.
  float *colSum = static_cast<float *>(
      ZqSafeAlloc((3 * block + width) * static_cast<int32_t>(sizeof(float))));
  ZQ_CHECK(colSum == NULL, 0);
  float *across = colSum + block, *smoothed = across + block, *zeros = smoothed + block;
  for (int y = 0; y <= MinInt(r, height - 1); ++y)
    NextColumnSums(colSum, ZqImgRow<float>(src, y), nullptr, width, colSum);
  for (int y0 = 0; y0 < height; y0 += K) {
    const int n = MinInt(K, height - y0);
    int rows[K];
    const float *sums[K];
    float *out[K];
    float *out2[K];
    for (int j = 0; j < K; ++j) {
      const int y = y0 + j;
      if (j >= n) {
        sums[j] = zeros;
        continue;
      }
      float *cs = colSum + static_cast<ptrdiff_t>(j) * width;
      if (y > 0) {
        const float *prev = colSum + static_cast<ptrdiff_t>(j > 0 ? j - 1 : K - 1) * width;
        const float *add = y + r < height ? ZqImgRow<float>(src, y + r) : nullptr;
        const float *sub = y - r - 1 >= 0 ? ZqImgRow<float>(src, y - r - 1) : nullptr;
        NextColumnSums(prev, add, sub, width, cs);
      }
      sums[j] = cs;
      out[j] = ZqImgRow<float>(dst, y);
      if (also != nullptr) out2[j] = ZqImgRow<float>(also, y);
      rows[j] = MinInt(height - 1, y + r) - MaxInt(0, y - r) + 1;
    }
    RowsToColumns(sums, width, across);
    BoxRowsAcross(across, n, width, r, rows, smoothed);
    ColumnsToRows(smoothed, width, n, out, also != nullptr ? out2 : nullptr);
  }
  ZqSafeFree(colSum);
  return 1;
}

}  // namespace

extern "C" int32_t FastGaussBlurPasses(uint16_t level, uint8_t mode,
                                       int16_t sizes[ZQ_FAST_GAUSS_MAX_PASSES]) {
  if (level >= ZQ_FAST_GAUSS_LEVELS) return -1;
  const PassList *table = mode == 0 ? kPassesMode0 : mode == 16 ? kPassesMode16 : kPassesOther;
  const PassList &list = table[level];
  if (sizes != nullptr) std::memcpy(sizes, list.sizes, sizeof(list.sizes));
  return list.count;
}

extern "C" int32_t FastBoxBlurPass(const ST_Image *src, ST_Image *dst, int16_t size) {
  ZQ_CHECK((src == NULL) || (dst == NULL) || (src == dst), 0);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_32F) || !ZqImgIs(dst, DEPTH_32F), 0);
  ZQ_CHECK((src->width != dst->width) || (src->height != dst->height), 0);
  return BoxPass(src, dst, nullptr, size);
}

extern "C" void FastBoxBlurFourLanesForTest(int32_t on) { gFourLanesOnly = on != 0; }

extern "C" int32_t FastGaussBlur(ST_Image *src, ST_Image *dst, uint16_t level, uint8_t mode) {
  ZQ_CHECK((src == NULL) || (dst == NULL), 0);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_32F) || !ZqImgIs(dst, DEPTH_32F), 0);
  ZQ_CHECK((src->width != dst->width) || (src->height != dst->height), 0);
  int16_t sizes[ZQ_FAST_GAUSS_MAX_PASSES];
  const int32_t passes = FastGaussBlurPasses(level, mode, sizes);
  ZQ_CHECK(passes < 0, 0);
  // The scratch image: a header of the counted heap over the kept block
  // (every pass writes its target whole before the next reads it, so the
  // block needs no clearing), or an image of its own.
  ST_Image *scratch = static_cast<ST_Image *>(ZqSafeAlloc(sizeof(ST_Image)));
  ZQ_CHECK(scratch == NULL, 0);
  *scratch = *src;
  const bool packed = src->rowBytes == src->width * 4 && src->imageSize > 0;
  scratch->imageData = static_cast<uint8_t *>(
      packed ? TakeKept(gScratchBlock, static_cast<size_t>(src->imageSize)) : nullptr);
  const bool kept = scratch->imageData != nullptr;
  if (!kept) {
    ZqReleaseImageHeader(&scratch);
    ST_Size size = {src->height, src->width};
    scratch = ZqCreateImage(&size, src->depth);
    ZQ_CHECK(scratch == NULL, 0);
  }
  auto releaseScratch = [&scratch, kept]() {
    if (kept) {
      gScratchBlock.busy = false;
      scratch->imageData = nullptr;
      ZqReleaseImageHeader(&scratch);
    } else {
      ZqReleaseImage(&scratch);
    }
  };
  // The last pass writes straight into dst as well (after an even number
  // of passes src must hold the result too), so no copy is left to make.
  const bool apart = dst != src;
  for (int32_t i = 0; i < passes; ++i) {
    const bool fromSrc = (i % 2) == 0;
    const bool last = i == passes - 1;
    ST_Image *to = fromSrc ? scratch : src;
    ST_Image *also = nullptr;
    if (last && apart) {
      if (fromSrc) to = dst;
      else also = dst;
    }
    if (!BoxPass(fromSrc ? src : scratch, to, also, sizes[i])) {
      releaseScratch();
      ZQ_LOG_FAIL("FastGaussBlur", "FastBoxBlurPass fail");
      return 0;
    }
  }
  const ST_Image *result = (passes % 2) == 0 ? src : scratch;
  if (result != dst && (passes == 0 || !apart)) {
    std::memcpy(dst->imageData, result->imageData, static_cast<size_t>(src->imageSize));
  }
  releaseScratch();
  return 1;
}

extern "C" void FastGaussBlurReleaseBuffers(void) {
  for (KeptBlock *b : {&gScratchBlock, &gAcrossBlock}) {
    if (b->busy) continue;
    std::free(b->data);
    *b = KeptBlock{};
  }
}
