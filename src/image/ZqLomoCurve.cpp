#include "src/image/ZqLomoCurve.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

int32_t m_testArray[256];

namespace {

enum class Variant { kBase, kV1, kV2 };

// T(v), rounded half away from zero and limited to 255.
int32_t Sigmoid(int32_t v, int32_t c, int32_t w, float s) {
  float x = (static_cast<float>(v - c) / static_cast<float>(w)) / s;
  if (std::isnan(x)) x = 0;  // v = c with s = 0: the step's midpoint
  float t = 256.0f / (1.0f + std::pow(2.7182817f, -x));
  int32_t out = static_cast<int32_t>(t + 0.5f);
  return std::min(out, 255);
}

// Centre (sum v h[v] + n / 2) / n over lo..hi, 127 when empty.
int32_t Centre(const int64_t *h, int32_t lo, int32_t hi) {
  int64_t n = 0, sum = 0;
  for (int32_t v = lo; v <= hi; ++v) {
    n += h[v];
    sum += int64_t{v} * h[v];
  }
  return n == 0 ? 127 : static_cast<int32_t>((sum + n / 2) / n);
}

// Occupied range of _v1 (and of _v2 without its flag).
void OccupiedRange(const int64_t *h, bool flag, int32_t *lo, int32_t *hi) {
  *hi = -1;
  for (int32_t v = 255; v >= 0; --v)
    if (h[v] > 0 && !(flag && h[255] > 0 && v > 250)) {
      *hi = v;
      break;
    }
  *lo = 256;
  for (int32_t v = 0; v < 256; ++v)
    if (h[v] > 0) {
      *lo = v;
      break;
    }
}

// Table of _v1 and _v2: lo..hi from `entry`, above hi repeated, below 0.
template <typename Entry>
void RangeTable(int32_t lo, int32_t hi, Entry entry, int32_t *table) {
  std::fill(table, table + 256, 0);
  if (hi < lo) return;
  for (int32_t v = lo; v <= hi; ++v) table[v] = entry(v);
  for (int32_t v = hi + 1; v < 256; ++v) table[v] = table[hi];
}

void BaseTable(int64_t *h, int64_t pixels, float s, int32_t *table) {
  int64_t tmp[256];
  for (int pass = 0; pass < 2; ++pass) {
    tmp[0] = h[0];
    tmp[255] = h[255];
    for (int i = 1; i < 255; ++i) tmp[i] = (h[i - 1] + 2 * h[i] + h[i + 1]) / 4;
    std::memcpy(h, tmp, sizeof tmp);
  }
  int32_t peak = 255;
  for (int32_t v = 254; v >= 201; --v)
    if (h[v] >= h[peak]) peak = v;
  int32_t top = 255;
  if (static_cast<double>(h[peak]) > 0.2 * static_cast<double>(pixels)) {
    top = peak;
    while (top > 200 && !(static_cast<double>(h[top]) < 0.2 * static_cast<double>(pixels) &&
                          static_cast<double>(h[top]) < 0.85 * static_cast<double>(h[peak])))
      --top;
  }
  int64_t below = 0;
  for (int32_t v = 0; v <= top; ++v) below += h[v];
  const int64_t t = static_cast<int64_t>(0.1 * static_cast<double>(below));
  int32_t hi = 0;
  int64_t acc = 0;
  for (int32_t v = top; v >= 0; --v) {
    acc += h[v];
    if (acc >= t) {
      hi = v;
      break;
    }
  }
  int32_t lo = 255;
  acc = 0;
  for (int32_t v = 0; v < 256; ++v) {
    acc += h[v];
    if (acc >= t) {
      lo = v;
      break;
    }
  }
  const int32_t c = lo > hi ? 127 : Centre(h, lo, hi);
  const int32_t w = std::max(50, hi - lo + 1);
  for (int32_t v = 0; v < 256; ++v) table[v] = Sigmoid(v, c, w, s);
}

int32_t Curve(const ST_Image *src, ST_Image **dst, int32_t r, uint8_t flag, float s,
              Variant variant) {
  if (src == nullptr || dst == nullptr || src->imageData == nullptr || src->depth != DEPTH_8U ||
      src->width < 0 || src->height < 0 || src->width > UINT16_MAX || src->height > UINT16_MAX) {
    QUORV_LOGE("ZqLomoU8Image.........input image is not reliable");
    return ZQ_ERR_PARAM;
  }
  if (r < 0 || r > UINT16_MAX) return ZQ_ERR_PARAM;
  if (*dst == nullptr) {
    ST_Size size = {src->height, src->width};
    *dst = ZqCreateImage(&size, DEPTH_8U);
    if (*dst == nullptr) return ZQ_ERR_ALLOC;
  }
  ST_Image *out = *dst;
  if (out->width != src->width || out->height != src->height || out->depth != DEPTH_8U ||
      out->imageData == nullptr) {
    QUORV_LOGE("ZqLomoU8Image.........size not reliable");
    return ZQ_ERR_ALLOC;
  }
  const int32_t w = src->width, h = src->height;
  const int64_t n = int64_t{w} * h;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *packed = scratch.Take<uint8_t>(n);  // rows without their padding
  uint8_t *smooth = scratch.Take<uint8_t>(n);
  if (packed == nullptr || smooth == nullptr) return ZQ_ERR_ALLOC;
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(packed + int64_t{y} * w, src->imageData + int64_t{y} * src->rowBytes, w);
  if (r >= 1) {
    int32_t ret = MeanImage(packed, static_cast<uint16_t>(w), static_cast<uint16_t>(h),
                            static_cast<uint16_t>(r), smooth);
    if (ret != ZQ_OK) return ret;
  } else {
    std::memcpy(smooth, packed, static_cast<size_t>(n));
  }
  int64_t hist[256] = {};
  for (int64_t i = 0; i < n; ++i) ++hist[smooth[i]];

  int32_t table[256];
  if (variant == Variant::kBase) {
    BaseTable(hist, n, s, table);
  } else {
    int32_t lo, hi;
    if (variant == Variant::kV2 && flag) {
      const int64_t t = static_cast<int64_t>(0.1 * static_cast<double>(n));
      hi = 0;
      int64_t acc = 0;
      for (int32_t v = 255; v >= 0; --v) {
        acc += hist[v];
        if (acc >= t) {
          hi = v;
          break;
        }
      }
      lo = 255;
      acc = 0;
      for (int32_t v = 0; v < 256; ++v) {
        acc += hist[v];
        if (acc >= t) {
          lo = v;
          break;
        }
      }
    } else {
      OccupiedRange(hist, variant == Variant::kV1 && flag, &lo, &hi);
    }
    const int32_t width = hi - lo + 1;
    const int32_t c = hi < lo ? 127 : Centre(hist, lo, hi);
    if (variant == Variant::kV2 && lo > 60) s = 0;
    if (variant == Variant::kV2 && s <= 0) {
      RangeTable(lo, hi, [width](int32_t v) {
        int32_t line = static_cast<int32_t>(static_cast<float>(v) / static_cast<float>(width) * 256);
        return std::min(line, 255);
      }, table);
    } else {
      RangeTable(lo, hi, [c, width, s](int32_t v) { return Sigmoid(v, c, width, s); }, table);
    }
  }
  std::memcpy(m_testArray, table, sizeof table);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t *in = packed + int64_t{y} * w;
    uint8_t *o = out->imageData + int64_t{y} * out->rowBytes;
    for (int32_t x = 0; x < w; ++x) o[x] = static_cast<uint8_t>(table[in[x]]);
  }
  return ZQ_OK;
}

}  // namespace

extern "C" int32_t ZqLomoU8Image(const ST_Image *src, ST_Image **dst, int32_t r, float s) {
  return Curve(src, dst, r, 0, s, Variant::kBase);
}

extern "C" int32_t ZqLomoU8Image_v1(const ST_Image *src, ST_Image **dst, int32_t r, uint8_t flag,
                                    float s) {
  return Curve(src, dst, r, flag, s, Variant::kV1);
}

extern "C" int32_t ZqLomoU8Image_v2(const ST_Image *src, ST_Image **dst, int32_t r, uint8_t flag,
                                    float s) {
  return Curve(src, dst, r, flag, s, Variant::kV2);
}
