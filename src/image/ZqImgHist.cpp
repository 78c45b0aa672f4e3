#include "src/image/ZqImgHist.h"

#include <cmath>
#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"

namespace {

// Table of the stretch of lo..hi to 0..255 with rounding, limited to
// 0..255; 255 everywhere when the range is empty.
void StretchTable(int lo, int hi, uint8_t table[256]) {
  if (lo >= hi) {
    std::memset(table, 255, 256);
    return;
  }
  const int range = hi - lo;
  for (int v = 0; v < 256; ++v) {
    int out = ((v - lo) * 255 + (range >> 1)) / range;
    table[v] = static_cast<uint8_t>(out < 0 ? 0 : out > 255 ? 255 : out);
  }
}

// Applies table to n bytes (in and out may be the same buffer).
void ApplyTable(const uint8_t *in, size_t n, const uint8_t table[256], uint8_t *out) {
  for (size_t i = 0; i < n; ++i) out[i] = table[in[i]];
}

// Creates *dst as an 8-bit height x width image when it holds NULL, and
// checks that it has that size and depth.
bool PrepareU8(ST_Image **dst, int32_t height, int32_t width) {
  if (*dst == nullptr) {
    ST_Size size = {height, width};
    *dst = ZqCreateImage(&size, DEPTH_8U);
    if (*dst == nullptr) return false;
  }
  return (*dst)->width == width && (*dst)->height == height && ZqImgIs(*dst, DEPTH_8U);
}

// Of two cumulative counts around the crossing of m, true when the one
// before the crossing bin lies at least as near m.
bool BeforeIsNearer(int64_t before, int64_t through, int64_t m) {
  return m - before <= through - m;
}

}  // namespace

extern "C" int32_t ZqCalcU8ImageHist(const ST_Image *img, int32_t *hist, int32_t lo, int32_t hi) {
  ZQ_CHECK((img == NULL) || (hist == NULL), ZQ_ERR_PARAM);
  ZQ_CHECK((lo < 0) || (hi < lo), ZQ_ERR_PARAM);
  ZQ_CHECK(img->depth != DEPTH_8U, ZQ_ERR_ALLOC);
  ZQ_CHECK((int64_t)img->width * img->height <= 0, ZQ_ERR_STEP);
  ZQ_CHECK(img->imageData == NULL, ZQ_ERR_PARAM);
  std::memset(hist + lo, 0, (static_cast<size_t>(hi) - lo + 1) * sizeof(int32_t));
  for (int y = 0; y < img->height; ++y) {
    const uint8_t *in = ZqImgRow<uint8_t>(img, y);
    for (int x = 0; x < img->width; ++x) {
      if (in[x] >= lo && in[x] <= hi) ++hist[in[x]];
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqNormalizeU8Image(const ST_Image *src, ST_Image **dst) {
  ZQ_CHECK((src == NULL) || (dst == NULL), ZQ_ERR_PARAM);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_8U), ZQ_ERR_PARAM);
  ZQ_CHECK(!PrepareU8(dst, src->height, src->width), ZQ_ERR_ALLOC);
  int lo = 255, hi = 0;
  for (int y = 0; y < src->height; ++y) {
    const uint8_t *in = ZqImgRow<uint8_t>(src, y);
    for (int x = 0; x < src->width; ++x) {
      if (in[x] < lo) lo = in[x];
      if (in[x] > hi) hi = in[x];
    }
  }
  uint8_t table[256];
  StretchTable(lo, hi, table);
  for (int y = 0; y < src->height; ++y) {
    ApplyTable(ZqImgRow<uint8_t>(src, y), static_cast<size_t>(src->width), table,
               ZqImgRow<uint8_t>(*dst, y));
  }
  return ZQ_OK;
}

extern "C" int32_t Normalize_u8(const uint8_t *src, uint16_t width, uint16_t height, uint8_t *dst) {
  ZQ_CHECK((src == NULL) || (dst == NULL), ZQ_ERR_PARAM);
  const size_t n = static_cast<size_t>(width) * height;
  if (n == 0) return ZQ_OK;
  uint8_t seen[256] = {0};
  for (size_t i = 0; i < n; ++i) seen[src[i]] = 1;
  int lo = 0, hi = 255;
  while (!seen[lo]) ++lo;
  while (!seen[hi]) --hi;
  uint8_t table[256];
  StretchTable(lo, hi, table);
  ApplyTable(src, n, table, dst);
  return ZQ_OK;
}

extern "C" int32_t HistNormalize_u8(const uint8_t *src, uint16_t width, uint16_t height,
                                    uint8_t *dst, float fraction) {
  ZQ_CHECK((src == NULL) || (dst == NULL), ZQ_ERR_PARAM);
  const size_t n = static_cast<size_t>(width) * height;
  const float mf = fraction * static_cast<float>(n);
  const int64_t m = !(mf > 0.0f) ? 0 : mf >= static_cast<float>(n) ? static_cast<int64_t>(n)
                                                                     : static_cast<int64_t>(mf);
  int64_t hist[256] = {0}, smooth[256];
  for (size_t i = 0; i < n; ++i) ++hist[src[i]];
  for (int pass = 0; pass < 2; ++pass) {
    smooth[0] = hist[0];
    smooth[255] = hist[255];
    for (int k = 1; k < 255; ++k) smooth[k] = (hist[k - 1] + 2 * hist[k] + hist[k + 1]) / 4;
    std::memcpy(hist + 1, smooth + 1, 254 * sizeof(int64_t));
  }

  // Lower bound: the crossing of m by the count from below.
  int lo = 0;
  if (hist[0] <= m) {
    int64_t before = 0, through = hist[0];
    int k = 1;
    for (; k < 256; ++k) {
      before = through;
      through += hist[k];
      if (through > m) break;
    }
    if (k >= 255) lo = 255;
    else lo = BeforeIsNearer(before, through, m) ? k - 1 : k;
  }
  // Upper bound: the crossing of m by the count from above.
  int hi = 255;
  if (hist[255] <= m) {
    int64_t before = 0, through = hist[255];
    int k = 254;
    for (; k >= 0; --k) {
      before = through;
      through += hist[k];
      if (through > m) break;
    }
    if (k <= 0) hi = 0;
    else hi = BeforeIsNearer(before, through, m) ? k + 1 : k;
  }

  uint8_t table[256];
  StretchTable(lo, hi, table);
  ApplyTable(src, n, table, dst);
  return ZQ_OK;
}

extern "C" int32_t ZqCreateHistImage(const int32_t *hist, int32_t width, int32_t height,
                                     int32_t bins, ST_Image **dst) {
  ZQ_CHECK((hist == NULL) || (dst == NULL) || (bins <= 0), ZQ_ERR_PARAM);
  ZQ_CHECK((width <= 0) || (height <= 0), ZQ_ERR_PARAM);
  ZQ_CHECK(!PrepareU8(dst, height, width), ZQ_ERR_PARAM);
  int64_t max = 1;
  for (int32_t k = 0; k < bins; ++k) {
    if (hist[k] > max) max = hist[k];
  }
  const int64_t c = int64_t{height} * 256 / max;
  const int64_t step = int64_t{width} * 256 / bins;
  for (int32_t k = 0; k < bins; ++k) {
    const int64_t p = 128 + k * step;
    int64_t top = height - (c * hist[k] + 128) / 256;
    if (top < 0) top = 0;
    const int64_t x1 = (p + step) / 256 < width ? (p + step) / 256 : width;
    for (int64_t x = p / 256; x < x1; ++x) {
      for (int64_t y = top; y < height; ++y) {
        uint8_t *px = ZqImgRow<uint8_t>(*dst, static_cast<int>(y)) + x;
        if (*px == 0) *px = 255;
      }
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqCreatePixelExpImage(const int32_t *curve, int32_t width, int32_t height,
                                         ST_Image **dst) {
  ZQ_CHECK((curve == NULL) || (dst == NULL), ZQ_ERR_PARAM);
  ZQ_CHECK((width <= 0) || (height <= 0), ZQ_ERR_PARAM);
  ZQ_CHECK(!PrepareU8(dst, height, width), ZQ_ERR_PARAM);
  ST_Image *img = *dst;
  auto put = [img, height](int64_t row, int64_t col, uint8_t grey) {
    if (row >= 0 && row < height) ZqImgRow<uint8_t>(img, static_cast<int>(row))[col] = grey;
  };
  for (int k = 0; k < 256; ++k) {
    const int64_t x0 = (128 + int64_t{k} * width) / 256;
    int64_t x1 = (128 + int64_t{k + 1} * width) / 256;
    if (x1 > width) x1 = width;
    // Curve point: rows j - 2 .. j + 1, or rows 0 and 1 above the image.
    const double j = height - std::trunc(static_cast<double>(height) * curve[k] / 255.0);
    // Identity diagonal: rows g - 1 and g, or row 0 at the top.
    const int64_t g = static_cast<int64_t>(height - (static_cast<double>(k) * height) / 255.0);
    for (int64_t x = x0; x < x1; ++x) {
      if (j < 0) {
        put(0, x, 100);
        put(1, x, 100);
      } else if (j < static_cast<double>(height) + 2) {
        const int64_t jr = static_cast<int64_t>(j);
        for (int64_t r = jr - 2; r <= jr + 1; ++r) put(r, x, 100);
      }
      if (g < 1) {
        put(0, x, 128);
      } else {
        put(g - 1, x, 128);
        put(g, x, 128);
      }
    }
  }
  return ZQ_OK;
}
