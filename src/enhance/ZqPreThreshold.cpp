// Pre-threshold enhancement.
#include "src/enhance/ZqPreThreshold.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "src/enhance/ZqGaussDirConvol.h"
#include "src/enhance/ZqGaussFilterQ16.h"
#include "src/enhance/ZqImageGaborU16.h"
#include "src/enhance/ZqImageStrech255.h"
#include "src/enhance/ZqIntegGraph.h"
#include "src/enhance/ZqLocalRangeNormalize.h"
#include "src/enhance/ZqOriMaxFilter.h"
#include "src/enhance/ZqStepClock.h"
#include "src/image/ZqConvolve.h"
#include "src/image/ZqScratch.h"

extern "C" const int16_t g_CordicAtanTable[16] = {3217, 1899, 1003, 509, 256, 128, 64, 32,
                                                  16,   8,    4,    2,   1,   0,   0,   0};

namespace {

constexpr int32_t kPi = 12868;
constexpr int32_t kHalfPi = 6434;

bool Valid(uint16_t v) { return v >= 1 && v <= 254; }

const float kSmooth3x3[9] = {1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 0.5f,
                             1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 1 / 16.0f};

// Contrast normalisation of p (0..255) between its directional envelopes
// along the orientation ori; false when a smoothing fails.
bool EnvelopeNormalize(uint16_t *p, const uint16_t *ori, int32_t rows, int32_t cols) {
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint16_t *up = sc.Take<uint16_t>(n);
  uint16_t *lo = sc.Take<uint16_t>(n);
  uint16_t *t = sc.Take<uint16_t>(n);
  if (up == nullptr || lo == nullptr || t == nullptr) return false;
  if (ZqOriMaxFilter_16u(p, ori, rows, cols, t) != 0 ||
      ZqOriVetMaxFilter_16u(t, ori, rows, cols, up) != 0)
    return false;
  for (int64_t i = 0; i < n; ++i) lo[i] = static_cast<uint16_t>(65535 - p[i]);
  if (ZqOriMaxFilter_16u(lo, ori, rows, cols, t) != 0 ||
      ZqOriVetMaxFilter_16u(t, ori, rows, cols, lo) != 0)
    return false;
  for (int64_t i = 0; i < n; ++i) lo[i] = static_cast<uint16_t>(65535 - lo[i]);
  if (ZqGaussFilterQ16_16u(up, rows, cols, 65535, 5, up) != 0 ||
      ZqGaussFilterQ16_16u(lo, rows, cols, 65535, 5, lo) != 0)
    return false;
  for (int64_t i = 0; i < n; ++i) {
    const int32_t u = up[i], l = lo[i];
    if (l < u) {
      const int32_t span = u - l;
      const int32_t v = std::min(span, std::max(p[i] - l, 0));
      p[i] = static_cast<uint16_t>((v * 255 + span / 2) / span);
    } else {
      p[i] = 0;
    }
  }
  return true;
}

}  // namespace

extern "C" int32_t ZqGetIntegGraphImg(const uint32_t *src, int32_t rows, int32_t cols,
                                      uint32_t *integ) {
  ZqGetIntegGraph_32u(src, rows, cols, integ);
  return 0;
}

extern "C" int32_t ZqCordicAtan2(int32_t a, int32_t b) {
  if (b == 0) return a > 0 ? 0 : kPi;
  if (a == 0) return b > 0 ? kHalfPi : -kHalfPi;
  // |a| and |b| of the callers stay far below 2^29, so the rotations do
  // not overflow.
  int32_t x = a < 0 ? -a : a, y = b < 0 ? -b : b, z = 0;
  bool frozen = false;
  for (int k = 0; k < 4; ++k) {
    const int32_t xs = x >> k, ys = y >> k;
    if (y == 0) {
      // Once the vector lies on the axis the angle stays as it is.
      x = x + ys;
      frozen = true;
      y = -xs;
    } else if (y < 0) {
      x = x - ys;
      y = y + xs;
      if (!frozen) z -= g_CordicAtanTable[k];
    } else {
      x = x + ys;
      y = y - xs;
      if (!frozen) z += g_CordicAtanTable[k];
    }
  }
  if (a <= 0) {
    z = b <= 0 ? z - kPi : kPi - z;
  } else if (b < 0) {
    z = -z;
  }
  return z;
}

extern "C" int32_t ZqCordicOrientation(const uint16_t *img, int32_t rows, int32_t cols,
                                       uint16_t *ori) {
  if (img == nullptr || ori == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint16_t *gxx = sc.Take<uint16_t>(n);
  uint16_t *gyy = sc.Take<uint16_t>(n);
  uint16_t *gxy = sc.Take<uint16_t>(n);
  if (gxx == nullptr || gyy == nullptr || gxy == nullptr) return -1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      const int64_t p = int64_t{r} * cols + c;
      int32_t gx = 0, gy = 0;
      if (r >= 1 && r + 1 < rows && c >= 1 && c + 1 < cols) {
        gx = img[p + 1] - img[p - 1];
        gy = img[p + cols] - img[p - cols];
      }
      gxx[p] = static_cast<uint16_t>(gx * gx);
      gyy[p] = static_cast<uint16_t>(gy * gy);
      gxy[p] = static_cast<uint16_t>((gx * gy + 65026) >> 1);
    }
  }
  if (ZqGaussFilterQ16_16u(gxx, rows, cols, 262144, 25, gxx) != 0 ||
      ZqGaussFilterQ16_16u(gyy, rows, cols, 262144, 25, gyy) != 0 ||
      ZqGaussFilterQ16_16u(gxy, rows, cols, 262144, 25, gxy) != 0)
    return -1;
  for (int64_t p = 0; p < n; ++p) {
    const int32_t a = (int32_t{gxx[p]} - gyy[p]) * 256;
    const int32_t b = (2 * int32_t{gxy[p]} - 65025) * 512;
    const int32_t z = ZqCordicAtan2(a, b);
    int32_t deg = (z * 90 + kHalfPi) / kPi + 90;
    if (a != 0 && b != 0 && deg < 0) deg += 180;
    if (deg > 179) deg -= 180;
    ori[p] = static_cast<uint16_t>(deg);
  }
  return 0;
}

extern "C" int32_t ZqWhiteStrech(const uint16_t *src, int32_t rows, int32_t cols,
                                 uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols, in = int64_t{rows + 1} * (cols + 1);
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint32_t *m = sc.Take<uint32_t>(n);
  uint32_t *v = sc.Take<uint32_t>(n);
  uint32_t *v2 = sc.Take<uint32_t>(n);
  uint32_t *im = sc.Take<uint32_t>(in);
  uint32_t *iv = sc.Take<uint32_t>(in);
  uint32_t *iv2 = sc.Take<uint32_t>(in);
  int32_t *o = sc.Take<int32_t>(n);
  uint8_t *mask = sc.Take<uint8_t>(n);
  if (m == nullptr || v == nullptr || v2 == nullptr || im == nullptr || iv == nullptr || iv2 == nullptr || o == nullptr ||
      mask == nullptr)
    return -2;
  for (int64_t i = 0; i < n; ++i) {
    const bool ok = Valid(src[i]);
    mask[i] = ok ? 1 : 0;
    m[i] = ok ? 1 : 0;
    v[i] = ok ? src[i] : 0;
    v2[i] = ok ? uint32_t{src[i]} * src[i] : 0;
  }
  ZqGetIntegGraphImg(m, rows, cols, im);
  ZqGetIntegGraphImg(v, rows, cols, iv);
  ZqGetIntegGraphImg(v2, rows, cols, iv2);
  const auto box = [&](const uint32_t *s, int32_t y0, int32_t y1, int32_t x0, int32_t x1) {
    const int64_t w = cols + 1;
    return s[y1 * w + x1] - s[y0 * w + x1] - s[y1 * w + x0] + s[y0 * w + x0];
  };
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t y0 = std::max(r - 9, 0), y1 = std::min(r + 10, rows);
    for (int32_t c = 0; c < cols; ++c) {
      const int32_t x0 = std::max(c - 9, 0), x1 = std::min(c + 10, cols);
      const uint64_t cnt = box(im, y0, y1, x0, x1);
      const uint64_t s1 = box(iv, y0, y1, x0, x1);
      const uint64_t s2 = box(iv2, y0, y1, x0, x1);
      uint64_t q = s1 * s1 > cnt * s2 ? 1 : cnt * s2 - s1 * s1;
      q = q / (cnt * cnt + 1);
      int64_t mean, dev;
      if (cnt > 1) {
        mean = static_cast<int64_t>((s1 * 256 + cnt / 2) / cnt);
        dev = static_cast<int64_t>(sqrt(static_cast<double>(q))) * 256;
      } else {
        mean = static_cast<int64_t>(s1 * 256);
        dev = static_cast<int64_t>(q);
      }
      if (dev == 0) dev = 1;
      const int64_t p = int64_t{r} * cols + c;
      o[p] = static_cast<int32_t>(((int64_t{src[p]} * 256 - mean) * 4096 + dev / 2) / dev);
    }
  }
  const int32_t ret = ZqImageStrech255(o, mask, rows, cols);
  if (ret != 0) return ret;
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<uint16_t>(o[i]);
  return 0;
}

extern "C" int32_t ZqImageEnhanceSmall(const uint16_t *src, int32_t rows, int32_t cols,
                                       uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint16_t *p1 = sc.Take<uint16_t>(n);
  uint16_t *g = sc.Take<uint16_t>(n);
  uint16_t *ori = sc.Take<uint16_t>(n);
  uint8_t *v = sc.Take<uint8_t>(n);
  if (p1 == nullptr || g == nullptr || ori == nullptr || v == nullptr) return -2;
  zq::StepClock clock;
  // Local statistics stretch.
  if (ZqWhiteStrech(src, rows, cols, p1) != 0) return -3;
  ZQ_LOG_STEP_TIME_X(clock, "ZqWhiteStrech", 1);
  // Local range and oriented smoothing.
  if (ZqLocalRangeNormalize_16u(p1, rows, cols, 4, p1) != 0) return -3;
  ZqGaussDirConvol(p1, cols, rows, 5, p1, 1.2f, 0.1f);
  ZQ_LOG_STEP_TIME_X(clock, "ZqPreQuantiy", 1);
  // Gabor texture repair.
  for (int64_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(p1[i] & 0xFF);
  if (ZqImageGaborU16(v, rows, cols, g) != 0) return -3;
  if (ZqGaussDirConvol(g, cols, rows, 3, g, 1.2f, 0.1f) != 0) return -3;
  ZqLocalRangeNormalize_16u(g, rows, cols, 9, g);
  ZQ_LOG_STEP_TIME_X(clock, "ZqGaborTextureRepair", 1);
  // Smoothing, then the envelope normalisation along the ridges.
  uint16_t *p = p1;
  if (ZqConvole16(g, cols, rows, kSmooth3x3, 3, 3, p, 255) != 0)
    memcpy(p, g, static_cast<size_t>(n) * 2);
  if (ZqCordicOrientation(p, rows, cols, ori) != 0) return -3;
  if (!EnvelopeNormalize(p, ori, rows, cols)) return -3;
  ZQ_LOG_TOTAL_TIME(clock, "ZqImageEnhance");
  memcpy(dst, p, static_cast<size_t>(n) * 2);
  return 0;
}

extern "C" int32_t ZqGaussBandFilter(const uint16_t *src, int32_t rows, int32_t cols,
                                     uint16_t *dst) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint16_t *x = sc.Take<uint16_t>(n);
  uint16_t *lo = sc.Take<uint16_t>(n);
  uint16_t *hi = sc.Take<uint16_t>(n);
  int32_t *d = sc.Take<int32_t>(n);
  uint8_t *mask = sc.Take<uint8_t>(n);
  if (x == nullptr || lo == nullptr || hi == nullptr || d == nullptr || mask == nullptr) return -2;
  for (int64_t i = 0; i < n; ++i) {
    mask[i] = Valid(src[i]) ? 1 : 0;
    x[i] = static_cast<uint16_t>(src[i] << 8);
  }
  if (ZqGaussFilterQ16_16u(x, rows, cols, 393216, 31, lo) != 0 ||
      ZqGaussFilterQ16_16u(x, rows, cols, 65536, 7, hi) != 0)
    return -3;
  for (int64_t i = 0; i < n; ++i) d[i] = int32_t{hi[i]} - lo[i];
  if (ZqImageStrech255(d, mask, rows, cols) != 0) return -4;
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<uint16_t>(d[i]);
  return 0;
}

extern "C" int32_t ZqPreThresholdProcess(const uint16_t *src, int32_t rows, int32_t cols,
                                         uint16_t *dst, void *scratch) {
  (void)scratch;
  if (src == nullptr || dst == nullptr || rows == 0 || cols == 0) return -1;
  if (rows < 0 || cols < 0) return -3;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint16_t *p = sc.Take<uint16_t>(n);
  uint16_t *s = sc.Take<uint16_t>(n);
  if (p == nullptr || s == nullptr) return -2;
  if (ZqImageEnhanceSmall(src, rows, cols, p) != 0) return -3;
  zq::StepClock clock;
  if (ZqGaussBandFilter(src, rows, cols, s) != 0) return -5;
  ZQ_LOG_STEP_TIME(clock, "ZqGaussBandFilter");
  for (int64_t i = 0; i < n; ++i)
    dst[i] = static_cast<uint16_t>((65 * uint32_t{s[i]} + 35 * uint32_t{p[i]} + 50) / 100);
  return 0;
}
