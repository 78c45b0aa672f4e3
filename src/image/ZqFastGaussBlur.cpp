#include "src/image/ZqFastGaussBlur.h"

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

// Adds (sign +1) or subtracts (-1) row y of img to the column sums.
void AccumulateRow(const ST_Image *img, int y, float sign, float *colSum) {
  const float *in = ZqImgRow<float>(img, y);
  if (sign > 0) {
    for (int x = 0; x < img->width; ++x) colSum[x] += in[x];
  } else {
    for (int x = 0; x < img->width; ++x) colSum[x] -= in[x];
  }
}

// One output row from the column sums of a window of `rows` rows.
void BoxRow(const float *colSum, int width, int r, int rows, float *out) {
  float sum = 0.0f;
  for (int x = 0; x <= MinInt(r, width - 1); ++x) sum += colSum[x];
  // Left border: the window grows.
  int x = 0;
  for (; x < width && x - r - 1 < 0; ++x) {
    if (x > 0 && x + r < width) sum += colSum[x + r];
    out[x] = sum * Reciprocal(rows * (MinInt(width - 1, x + r) + 1));
  }
  // Interior: full windows.
  const float full = Reciprocal(rows * (2 * r + 1));
  for (; x + r < width; ++x) {
    sum += colSum[x + r] - colSum[x - r - 1];
    out[x] = sum * full;
  }
  // Right border: the window shrinks.
  for (; x < width; ++x) {
    sum -= colSum[x - r - 1];
    out[x] = sum * Reciprocal(rows * (width - 1 - (x - r) + 1));
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
  float *colSum = static_cast<float *>(ZqSafeAlloc(width * static_cast<int32_t>(sizeof(float))));
  ZQ_CHECK(colSum == NULL, 0);
  for (int y = 0; y <= MinInt(r, height - 1); ++y) AccumulateRow(src, y, 1.0f, colSum);
  for (int y = 0; y < height; ++y) {
    if (y > 0) {
      if (y + r < height) AccumulateRow(src, y + r, 1.0f, colSum);
      if (y - r - 1 >= 0) AccumulateRow(src, y - r - 1, -1.0f, colSum);
    }
    const int rows = MinInt(height - 1, y + r) - MaxInt(0, y - r) + 1;
    BoxRow(colSum, width, r, rows, ZqImgRow<float>(dst, y));
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
