// Frequency-domain and directional enhancement.
#include "src/enhance/ZqEnHanceImg.h"

#include <string.h>

#include "src/enhance/ZqCalcDirection.h"
#include "src/image/ZqBoxMean.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConvolve.h"
#include "src/image/ZqImgHist.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"

namespace {

// The directional second-difference kernels R, rows top to bottom; the
// filters are the unit impulse minus R / 14.
const int8_t kR[4][49] = {
    {1, 3, 5, 7, 5, 3, 1,  0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0,
     -2, -6, -10, -14, -10, -6, -2,  0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0,
     1, 3, 5, 7, 5, 3, 1},
    {1, 0, 0, -2, 0, 0, 1,  3, 0, 0, -6, 0, 0, 3,  5, 0, 0, -10, 0, 0, 5,
     7, 0, 0, -14, 0, 0, 7,  5, 0, 0, -10, 0, 0, 5,  3, 0, 0, -6, 0, 0, 3,
     1, 0, 0, -2, 0, 0, 1},
    {-2, 0, 0, 7, 0, 0, 9,  0, -6, 0, 0, 5, 0, 0,  0, 0, -10, 0, 0, 3, 0,
     1, 0, 0, -14, 0, 0, 1,  0, 3, 0, 0, -10, 0, 0,  0, 0, 5, 0, 0, -6, 0,
     9, 0, 0, 7, 0, 0, -2},
    {9, 0, 0, 7, 0, 0, -2,  0, 0, 5, 0, 0, -6, 0,  0, 3, 0, 0, -10, 0, 0,
     1, 0, 0, -14, 0, 0, 1,  0, 0, -10, 0, 0, 3, 0,  0, -6, 0, 0, 5, 0, 0,
     -2, 0, 0, 7, 0, 0, 9},
};

uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// The enhancement on packed pixels d (rows x cols, in place); false when a
// buffer or a step fails.
bool Enhance(uint8_t *d, int32_t rows, int32_t cols) {
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  ST_Complex32f *spectrum = sc.Take<ST_Complex32f>(n);
  uint16_t *u = sc.Take<uint16_t>(n);
  uint8_t *map = sc.Take<uint8_t>(n);
  uint8_t *a = sc.Take<uint8_t>(4 * n);
  uint8_t *t = sc.Take<uint8_t>(n);
  uint8_t *b = sc.Take<uint8_t>(4 * n);
  if (spectrum == nullptr || u == nullptr || map == nullptr || a == nullptr || t == nullptr ||
      b == nullptr) {
    QUORV_LOGE("%s...fftImage malloc fail, ret = %d", "ZqEnHanceImg_u8", -2);
    return false;
  }
  // Frequency step: drop the weak and the highest frequencies.
  if (imgFFT(d, rows, cols, spectrum) != 0 || fftFilterEnergy(spectrum, rows, cols, 0, 0.5f) != 0 ||
      fftLowPass(spectrum, cols, rows, 0.8f) != 0 || realImgIFFT(spectrum, rows, cols, d) != 0 ||
      HistNormalize_u8(d, static_cast<uint16_t>(cols), static_cast<uint16_t>(rows), d, 0.01f) != 0)
    return false;
  // Orientation of the result.
  for (int64_t i = 0; i < n; ++i) u[i] = static_cast<uint16_t>(d[i] << 8);
  if (ZqCalcDirection(u, rows, cols, 3, map) != 0) return false;
  // Four directional responses, each smoothed by a 3 x 3 mean.
  for (int k = 0; k < 4; ++k) {
    float kernel[49];
    for (int q = 0; q < 49; ++q) kernel[q] = (q == 24 ? 1.0f : 0.0f) - kR[k][q] / 14.0f;
    uint8_t *ak = a + k * n;
    if (ZqConvole(d, cols, rows, kernel, 7, 7, t) != 0 ||
        MeanImage(t, static_cast<uint16_t>(cols), static_cast<uint16_t>(rows), 1, ak) != 0)
      return false;
  }
  const uint8_t *a0 = a, *a1 = a + n, *a2 = a + 2 * n, *a3 = a + 3 * n;
  for (int64_t i = 0; i < n; ++i) {
    const int32_t o = map[i];
    int32_t l;
    if (o < 30 || o > 150) {
      l = a0[i] - a1[i];
    } else if (o >= 61 && o <= 119) {
      l = a1[i] - a0[i];
    } else if (o <= 60) {
      l = a3[i] - a2[i];
    } else {
      l = a2[i] - a3[i];
    }
    d[i] = Clamp255(static_cast<int32_t>(static_cast<float>(d[i]) + 0.3f * static_cast<float>(l)));
  }
  // Multi-scale box-mean boost.
  for (int r = 2; r <= 5; ++r) {
    if (ZqBoxFilter_u8(d, cols, rows, r, r, b + (r - 2) * n) != 0) return false;
  }
  const uint8_t *b2 = b, *b3 = b + n, *b4 = b + 2 * n, *b5 = b + 3 * n;
  for (int64_t i = 0; i < n; ++i)
    d[i] = Clamp255(b2[i] + 2 * b3[i] + d[i] - b4[i] - 2 * b5[i]);
  return true;
}

}  // namespace

extern "C" int32_t ZqEnHanceImg_u8(const ST_Image *src, ST_Image **dst) {
  if (src == nullptr || dst == nullptr || src->imageData == nullptr || src->depth != DEPTH_8U ||
      src->width < 1 || src->height < 1 || src->width > 65535 || src->height > 65535)
    return -1;
  const int32_t rows = src->height, cols = src->width;
  if (*dst != nullptr && ((*dst)->width != cols || (*dst)->height != rows ||
                          (*dst)->depth != DEPTH_8U || (*dst)->imageData == nullptr))
    return -1;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint8_t *d = sc.Take<uint8_t>(int64_t{rows} * cols);
  if (d == nullptr) {
    QUORV_LOGE("%s...fftImage malloc fail, ret = %d", __func__, -2);
    return -2;
  }
  for (int32_t y = 0; y < rows; ++y)
    memcpy(d + int64_t{y} * cols, src->imageData + int64_t{y} * src->rowBytes,
           static_cast<size_t>(cols));
  if (!Enhance(d, rows, cols)) return -2;
  ST_Image *out = *dst;
  if (out == nullptr) {
    const ST_Size size = {rows, cols};
    out = ZqCreateImage(&size, DEPTH_8U);
    if (out == nullptr) return -2;
  }
  for (int32_t y = 0; y < rows; ++y)
    memcpy(out->imageData + int64_t{y} * out->rowBytes, d + int64_t{y} * cols,
           static_cast<size_t>(cols));
  *dst = out;
  return 0;
}
