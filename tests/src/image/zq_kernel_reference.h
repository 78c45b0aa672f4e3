// Plain scalar versions of the image foundation's hot kernels, written the
// straightforward way (histogram median, window rescans, integral images,
// tap-by-tap sums). The library's fast paths must give exactly these
// results; the tests compare the two on seeded images of many sizes.
#ifndef TESTS_SRC_IMAGE_ZQ_KERNEL_REFERENCE_H_
#define TESTS_SRC_IMAGE_ZQ_KERNEL_REFERENCE_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "src/image/ZqSmooth.h"

namespace zq_ref {

// Index of p on a line of len under reflect-101 or reflect (edge repeated).
inline int32_t Reflect101(int32_t p, int32_t len) {
  return ZqBorderInterpolate(p, len, ZQ_BORDER_REFLECT_101);
}
inline int32_t ReflectEdge(int32_t p, int32_t len) {
  return ZqBorderInterpolate(p, len, ZQ_BORDER_REFLECT);
}

// (2r + 1)^2 median, reflect-101 borders: the middle of the sorted window.
inline void Median(const uint8_t *src, int32_t width, int32_t height, int32_t r, uint8_t *dst) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height), win;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      win.clear();
      for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx)
          win.push_back(src[int64_t{Reflect101(y + dy, height)} * width + Reflect101(x + dx, width)]);
      std::nth_element(win.begin(), win.begin() + win.size() / 2, win.end());
      out[int64_t{y} * width + x] = win[win.size() / 2];
    }
  std::copy(out.begin(), out.end(), dst);
}

// Maximum (dilate) or minimum over kx columns x - kx/2 .. and ky rows,
// reflect-101 borders: the extreme of each row's window, then of those.
inline void Morph(bool dilate, const uint8_t *src, int32_t rows, int32_t cols, int32_t kx,
                  int32_t ky, uint8_t *dst) {
  auto pick = [dilate](uint8_t a, uint8_t b) { return dilate ? std::max(a, b) : std::min(a, b); };
  std::vector<uint8_t> across(static_cast<size_t>(rows) * cols);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      uint8_t best = dilate ? 0 : 255;
      for (int32_t dx = 0; dx < kx; ++dx)
        best = pick(best, src[int64_t{y} * cols + Reflect101(x - kx / 2 + dx, cols)]);
      across[int64_t{y} * cols + x] = best;
    }
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      uint8_t best = dilate ? 0 : 255;
      for (int32_t dy = 0; dy < ky; ++dy)
        best = pick(best, across[int64_t{Reflect101(y - ky / 2 + dy, rows)} * cols + x]);
      dst[int64_t{y} * cols + x] = best;
    }
}

// Window sum over (2b + 1) rows x (2a + 1) columns through `index`.
template <typename Index>
uint32_t WindowSum(const uint8_t *src, int32_t width, int32_t height, int32_t y, int32_t x,
                   int32_t a, int32_t b, Index index) {
  uint32_t s = 0;
  for (int32_t dy = -b; dy <= b; ++dy)
    for (int32_t dx = -a; dx <= a; ++dx)
      s += src[int64_t{index(y + dy, height)} * width + index(x + dx, width)];
  return s;
}

// ZqBoxFilter_8u_v2: reflect-101, R = k / 2, rounded mean or low 8 bits.
inline void Box8uV2(const uint8_t *src, int32_t rows, int32_t cols, int32_t k, uint8_t *dst,
                    bool normalise) {
  const int32_t R = k / 2;
  const int64_t area = int64_t{2 * R + 1} * (2 * R + 1);
  std::vector<uint8_t> out(static_cast<size_t>(rows) * cols);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      const int64_t s = WindowSum(src, cols, rows, y, x, R, R, Reflect101);
      out[int64_t{y} * cols + x] = static_cast<uint8_t>(normalise ? (s + area / 2) / area : s);
    }
  std::copy(out.begin(), out.end(), dst);
}

// ZqBoxFilter_u8: reflect with the edge, (int)(S / area + 0.5) in float.
inline void BoxU8(const uint8_t *src, int32_t width, int32_t height, int32_t a, int32_t b,
                  uint8_t *dst) {
  const float area = static_cast<float>((2 * int64_t{a} + 1) * (2 * int64_t{b} + 1));
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t s = WindowSum(src, width, height, y, x, a, b, ReflectEdge);
      const int32_t v = static_cast<int32_t>(static_cast<float>(s) / area + 0.5f);
      out[int64_t{y} * width + x] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  std::copy(out.begin(), out.end(), dst);
}

// MeanImage: reflect-101, (int)(S * (1 / area)) in float.
inline void MeanImage(const uint8_t *src, int32_t width, int32_t height, int32_t r,
                      uint8_t *dst) {
  const float inv = 1.0f / static_cast<float>(int64_t{2 * r + 1} * (2 * r + 1));
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t s = WindowSum(src, width, height, y, x, r, r, Reflect101);
      const int32_t v = static_cast<int32_t>(static_cast<float>(s) * inv);
      out[int64_t{y} * width + x] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  std::copy(out.begin(), out.end(), dst);
}

// One output of the 16.16 fixed-point filter over n outputs: output i of a
// group of four (i < n & ~3) pairs taps j and ksize - 1 - j under k[j];
// the outputs after the last group go tap by tap.
template <typename At>
int64_t FixedTap(At at, int32_t i, int32_t n, const int32_t *k, int32_t ksize) {
  int64_t acc = 0;
  if (i < (n & ~3)) {
    for (int32_t j = 0; j < ksize / 2; ++j) acc += int64_t{k[j]} * (at(j) + at(ksize - 1 - j));
    if (ksize & 1) acc += int64_t{k[ksize / 2]} * at(ksize / 2);
  } else {
    for (int32_t j = 0; j < ksize; ++j) acc += int64_t{k[j]} * at(j);
  }
  return acc;
}

// The 8-bit fixed-point blur: rows then columns, reflect-101, each pass
// shifted right by 16 and truncated to its type.
inline void FixedBlur8u(const uint8_t *src, int32_t rows, int32_t cols, const int32_t *k,
                        int32_t ksize, uint8_t *dst) {
  const int32_t R = ksize / 2;
  std::vector<int32_t> work(static_cast<size_t>(rows) * cols);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      auto at = [&](int32_t j) {
        return int64_t{src[int64_t{y} * cols + Reflect101(x - R + j, cols)]};
      };
      work[int64_t{y} * cols + x] = static_cast<int32_t>(FixedTap(at, x, cols, k, ksize) >> 16);
    }
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      auto at = [&](int32_t j) {
        return int64_t{work[int64_t{Reflect101(y - R + j, rows)} * cols + x]};
      };
      dst[int64_t{y} * cols + x] = static_cast<uint8_t>(FixedTap(at, x, cols, k, ksize) >> 16);
    }
}

// ZqGaussianSmooth's arithmetic on a gap-free float image: normalised
// kernel from the half kernel, per output a sum from 0 in tap order, near
// the borders only the taps inside divided by their weight; the vertical
// pass scales by 1 / weight, kept from the row before when it is tiny.
inline void GaussSmooth(const float *src, int32_t width, int32_t height, int32_t size,
                        const float *half, float *dst) {
  const int c = (size - 1) / 2;
  std::vector<float> k(static_cast<size_t>(size));
  float sum = 0.0f;
  for (int i = 0; i < size; ++i) {
    k[i] = half[i < c ? c - i : i - c];
    sum += k[i];
  }
  if (std::fabs(sum) > 1e-10f)
    for (int i = 0; i < size; ++i) k[i] /= sum;
  std::vector<float> tmp(static_cast<size_t>(width) * height, 0.0f);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float *in = src + int64_t{y} * width;
      float v = 0.0f, wsum = 0.0f;
      const bool inside = x - c >= 0 && x + c < width;
      for (int t = 0; t < size; ++t) {
        const int xx = x - c + t;
        if (xx < 0 || xx >= width) continue;
        v += k[t] * in[xx];
        wsum += k[t];
      }
      if (inside) tmp[int64_t{y} * width + x] = v;
      else if (std::fabs(wsum) > 1e-10f) tmp[int64_t{y} * width + x] = v / wsum;
    }
  float factor = 1.0f;
  for (int y = 0; y < height; ++y) {
    float wsum = 0.0f;
    for (int t = 0; t < size; ++t) {
      const int yy = y - c + t;
      if (yy >= 0 && yy < height) wsum += k[t];
    }
    if (std::fabs(wsum) > 1e-10f) factor = 1.0f / wsum;
    for (int x = 0; x < width; ++x) {
      float v = 0.0f;
      for (int t = 0; t < size; ++t) {
        const int yy = y - c + t;
        if (yy >= 0 && yy < height) v += k[t] * tmp[int64_t{yy} * width + x];
      }
      dst[int64_t{y} * width + x] = v * factor;
    }
  }
}

}  // namespace zq_ref

#endif  // TESTS_SRC_IMAGE_ZQ_KERNEL_REFERENCE_H_
