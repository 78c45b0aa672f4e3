#include "src/Quorv_sensor/quorv_fw4856_filters.h"

#include <cstring>

#include "src/image/ZqAlloc.h"

namespace {

// 3 x 3 Gaussian from s into d (both w x h); borders copied unchanged.
void Gaussian3(const uint8_t *s, uint8_t *d, int w, int h) {
  std::memcpy(d, s, static_cast<size_t>(w) * h);
  if (h < 3 || w < 3) return;
  for (int y = 1; y < h - 1; ++y) {
    const uint8_t *up = s + (y - 1) * w, *mid = s + y * w, *down = s + (y + 1) * w;
    for (int x = 1; x < w - 1; ++x) {
      int sum = up[x - 1] + up[x + 1] + down[x - 1] + down[x + 1] +
                2 * (up[x] + down[x] + mid[x - 1] + mid[x + 1]) + 4 * mid[x];
      d[y * w + x] = static_cast<uint8_t>(sum >> 4);
    }
  }
}

// 11 x 11 box mean of a w x h array (w, h >= 11) in place, scaled by
// 17 >> 11; the 5-pixel frame becomes 0. False when the work array cannot
// be allocated (input untouched).
bool BoxMean11(uint32_t *a, int w, int h) {
  uint32_t *col = static_cast<uint32_t *>(ZqAlloc(w * h * static_cast<int>(sizeof(uint32_t))));
  if (col == nullptr) return false;
  for (int x = 0; x < w; ++x) {
    uint32_t sum = 0;
    for (int y = 0; y <= 10; ++y) sum += a[y * w + x];
    col[5 * w + x] = sum;
    for (int y = 6; y <= h - 6; ++y) {
      col[y * w + x] = col[(y - 1) * w + x] + a[(y + 5) * w + x] - a[(y - 6) * w + x];
    }
  }
  std::memset(a, 0, static_cast<size_t>(w) * h * sizeof(uint32_t));
  for (int y = 5; y <= h - 6; ++y) {
    const uint32_t *c = col + y * w;
    uint32_t *row = a + y * w;
    uint32_t sum = 0;
    for (int x = 0; x <= 10; ++x) sum += c[x];
    row[5] = sum;
    for (int x = 6; x <= w - 6; ++x) row[x] = row[x - 1] + c[x + 5] - c[x - 6];
  }
  for (int i = 0; i < w * h; ++i) a[i] = (a[i] * 17u) >> 11;
  ZqFree(col);
  return true;
}

}  // namespace

extern "C" int ZQ_GS_Filtering(uint8_t *image, int width, int height) {
  if (image == nullptr || width < 1 || height < 1) return -1;
  uint8_t *copy = static_cast<uint8_t *>(ZqAlloc(width * height));
  if (copy == nullptr) return -1;
  std::memcpy(copy, image, static_cast<size_t>(width) * height);
  Gaussian3(copy, image, width, height);
  ZqFree(copy);
  return 1;
}

extern "C" int ZQLocEnhance(uint8_t *image, int width, int height) {
  if (image == nullptr || width < 1 || height < 1) return -1;
  const int w = width, h = height, pw = w + 10, ph = h + 10, n = pw * ph;
  uint8_t *p = static_cast<uint8_t *>(ZqAlloc(n));
  uint8_t *m = static_cast<uint8_t *>(ZqAlloc(n));
  uint32_t *a = static_cast<uint32_t *>(ZqAlloc(n * static_cast<int>(sizeof(uint32_t))));
  auto release = [&](int result) {
    ZqFree(p);
    ZqFree(m);
    ZqFree(a);
    return result;
  };
  if (p == nullptr || m == nullptr || a == nullptr) return release(-1);

  // Pad by 5 pixels, repeating the edge pixels.
  uint64_t total = 0;
  for (int y = 0; y < h; ++y) {
    uint8_t *row = p + (y + 5) * pw;
    std::memcpy(row + 5, image + y * w, static_cast<size_t>(w));
    for (int x = 0; x < 5; ++x) {
      row[x] = image[y * w];
      row[w + 5 + x] = image[y * w + w - 1];
    }
    for (int x = 0; x < w; ++x) total += image[y * w + x];
  }
  for (int y = 0; y < 5; ++y) {
    std::memcpy(p + y * pw, p + 5 * pw, static_cast<size_t>(pw));
    std::memcpy(p + (h + 5 + y) * pw, p + (h + 4) * pw, static_cast<size_t>(pw));
  }

  std::memcpy(m, p, static_cast<size_t>(n));
  Gaussian3(m, p, pw, ph);

  uint8_t lo = 255, hi = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < lo) lo = p[i];
    if (p[i] > hi) hi = p[i];
  }
  if (lo != hi) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>((p[i] - lo) * 255 / (hi - lo));
  }

  for (int i = 0; i < n; ++i) a[i] = p[i];
  if (!BoxMean11(a, pw, ph)) return release(-1);
  for (int i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(a[i] & 0xFF);

  // Contrast gain: 0.8 x the input's mean brightness over a divisor floored
  // at 0.0001, capped at 5.
  const float mean = static_cast<float>(total) / static_cast<float>(w * h);
  float gain = 0.8f * mean / 0.0001f;
  if (gain > 5.0f) gain = 5.0f;
  for (int y = 5; y < h + 5; ++y) {
    for (int x = 5; x < w + 5; ++x) {
      const int i = y * pw + x;
      const float v = gain * static_cast<float>(p[i] - m[i]) + static_cast<float>(m[i]);
      int iv = static_cast<int>(v);
      p[i] = static_cast<uint8_t>(iv < 0 ? 0 : iv > 255 ? 255 : iv);
    }
  }

  for (int y = 0; y < h; ++y) std::memcpy(image + y * w, p + (y + 5) * pw + 5, static_cast<size_t>(w));
  std::memcpy(m, image, static_cast<size_t>(w) * h);
  Gaussian3(m, image, w, h);
  return release(0);
}
