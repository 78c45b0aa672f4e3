#include "src/image/ZqFastGaussBlur.h"

#include <cstddef>
#include <cstring>

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

// Column by column: across[8x + j] = rows[j][x] for j < 8, x < width.
void RowsToColumns(const float *const *rows, int width, float *across) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    for (int half = 0; half < 8; half += 4) {
      Lanes4 a = Load4(rows[half] + x), b = Load4(rows[half + 1] + x),
             c = Load4(rows[half + 2] + x), d = Load4(rows[half + 3] + x);
      Transpose4(a, b, c, d);
      Store4(across + 8 * x + half, a);
      Store4(across + 8 * (x + 1) + half, b);
      Store4(across + 8 * (x + 2) + half, c);
      Store4(across + 8 * (x + 3) + half, d);
    }
  }
  for (; x < width; ++x)
    for (int j = 0; j < 8; ++j) across[8 * x + j] = rows[j][x];
}

// The way back for the first n rows: rows[j][x] = across[8x + j].
void ColumnsToRows(const float *across, int width, int n, float *const *rows) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    for (int half = 0; half < n; half += 4) {
      Lanes4 a = Load4(across + 8 * x + half), b = Load4(across + 8 * (x + 1) + half),
             c = Load4(across + 8 * (x + 2) + half), d = Load4(across + 8 * (x + 3) + half);
      Transpose4(a, b, c, d);
      const Lanes4 out[4] = {a, b, c, d};
      for (int k = 0; k < 4 && half + k < n; ++k) Store4(rows[half + k] + x, out[k]);
    }
  }
  for (; x < width; ++x)
    for (int j = 0; j < n; ++j) rows[j][x] = across[8 * x + j];
}

// Eight rows' floats at one column, one row per lane (two halves of four).
struct Lanes8 {
  Lanes4 lo, hi;
};

inline Lanes8 Load8(const float *p) { return Lanes8{Load4(p), Load4(p + 4)}; }

inline void Store8(float *p, const Lanes8 &v) {
  Store4(p, v.lo);
  Store4(p + 4, v.hi);
}

// Per lane j < n: Reciprocal(rows[j] * cols); 0 in the other lanes.
inline Lanes8 Factors(const int *rows, int n, int cols) {
  float f[kRowsAtOnce] = {};
  for (int j = 0; j < n; ++j) f[j] = Reciprocal(rows[j] * cols);
  return Load8(f);
}

// The running sums along the rows of n <= kRowsAtOnce rows at once: sums
// holds their column sums column by column (column x in sums[8x .. 8x+7],
// row j in lane j), out receives the results in the same layout. Each lane
// takes exactly the steps of one row smoothed alone.
void BoxRowsAcross(const float *sums, int n, int width, int r, const int *rows, float *out) {
  Lanes4 lo = {}, hi = {};
  for (int x = 0; x <= MinInt(r, width - 1); ++x) {
    lo += Load4(sums + 8 * x);
    hi += Load4(sums + 8 * x + 4);
  }
  // Left border: the window grows.
  int x = 0;
  for (; x < width && x - r - 1 < 0; ++x) {
    if (x > 0 && x + r < width) {
      lo += Load4(sums + 8 * (x + r));
      hi += Load4(sums + 8 * (x + r) + 4);
    }
    const Lanes8 f = Factors(rows, n, MinInt(width - 1, x + r) + 1);
    Store4(out + 8 * x, lo * f.lo);
    Store4(out + 8 * x + 4, hi * f.hi);
  }
  // Interior: full windows.
  const Lanes8 full = Factors(rows, n, 2 * r + 1);
  for (; x + r < width; ++x) {
    const float *in = sums + 8 * (x + r), *leaving = sums + 8 * (x - r - 1);
    lo += Load4(in) - Load4(leaving);
    hi += Load4(in + 4) - Load4(leaving + 4);
    Store4(out + 8 * x, lo * full.lo);
    Store4(out + 8 * x + 4, hi * full.hi);
  }
  // Right border: the window shrinks.
  for (; x < width; ++x) {
    lo -= Load4(sums + 8 * (x - r - 1));
    hi -= Load4(sums + 8 * (x - r - 1) + 4);
    const Lanes8 f = Factors(rows, n, width - 1 - (x - r) + 1);
    Store4(out + 8 * x, lo * f.lo);
    Store4(out + 8 * x + 4, hi * f.hi);
  }
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
  const int r = size / 2;
  const int width = src->width, height = src->height;
  if (r < 1) {
    std::memcpy(dst->imageData, src->imageData, static_cast<size_t>(src->imageSize));
    return 1;
  }
  if (width <= 0 || height <= 0) return 1;
  // The column sums of kRowsAtOnce consecutive rows (row y's are row
  // (y - 1)'s with row y + r added and row y - r - 1 taken away), the same
  // column by column, and the smoothed rows column by column.
  const int block = kRowsAtOnce * width;
  // One more row of zeros stands for the rows past the image's last.
  float *colSum = static_cast<float *>(
      ZqSafeAlloc((3 * block + width) * static_cast<int32_t>(sizeof(float))));
  ZQ_CHECK(colSum == NULL, 0);
  float *across = colSum + block, *smoothed = across + block, *zeros = smoothed + block;
  for (int y = 0; y <= MinInt(r, height - 1); ++y)
    NextColumnSums(colSum, ZqImgRow<float>(src, y), nullptr, width, colSum);
  for (int y0 = 0; y0 < height; y0 += kRowsAtOnce) {
    const int n = MinInt(kRowsAtOnce, height - y0);
    int rows[kRowsAtOnce];
    const float *sums[kRowsAtOnce];
    float *out[kRowsAtOnce];
    for (int j = 0; j < kRowsAtOnce; ++j) {
      const int y = y0 + j;
      if (j >= n) {
        sums[j] = zeros;
        continue;
      }
      float *cs = colSum + static_cast<ptrdiff_t>(j) * width;
      if (y > 0) {
        const float *prev = colSum + static_cast<ptrdiff_t>(j > 0 ? j - 1 : kRowsAtOnce - 1) * width;
        NextColumnSums(prev, y + r < height ? ZqImgRow<float>(src, y + r) : nullptr,
                       y - r - 1 >= 0 ? ZqImgRow<float>(src, y - r - 1) : nullptr, width, cs);
      }
      sums[j] = cs;
      out[j] = ZqImgRow<float>(dst, y);
      rows[j] = MinInt(height - 1, y + r) - MaxInt(0, y - r) + 1;
    }
    RowsToColumns(sums, width, across);
    BoxRowsAcross(across, n, width, r, rows, smoothed);
    ColumnsToRows(smoothed, width, n, out);
  }
  ZqSafeFree(colSum);
  return 1;
}

extern "C" int32_t FastGaussBlur(ST_Image *src, ST_Image *dst, uint16_t level, uint8_t mode) {
  ZQ_CHECK((src == NULL) || (dst == NULL), 0);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_32F) || !ZqImgIs(dst, DEPTH_32F), 0);
  ZQ_CHECK((src->width != dst->width) || (src->height != dst->height), 0);
  int16_t sizes[ZQ_FAST_GAUSS_MAX_PASSES];
  const int32_t passes = FastGaussBlurPasses(level, mode, sizes);
  ZQ_CHECK(passes < 0, 0);
  ST_Size size = {src->height, src->width};
  ST_Image *scratch = ZqCreateImage(&size, src->depth);
  ZQ_CHECK(scratch == NULL, 0);
  for (int32_t i = 0; i < passes; ++i) {
    const bool fromSrc = (i % 2) == 0;
    if (!FastBoxBlurPass(fromSrc ? src : scratch, fromSrc ? scratch : src, sizes[i])) {
      ZqReleaseImage(&scratch);
      ZQ_LOG_FAIL("FastGaussBlur", "FastBoxBlurPass fail");
      return 0;
    }
  }
  const ST_Image *last = (passes % 2) == 0 ? src : scratch;
  if (last != dst) {
    std::memcpy(dst->imageData, last->imageData, static_cast<size_t>(src->imageSize));
  }
  ZqReleaseImage(&scratch);
  return 1;
}
