// Magnitude tools on a frequency-domain image: threshold, display image,
// border removal.
#include <math.h>

#include <algorithm>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"

namespace {

bool BadSize(int32_t rows, int32_t cols) {
  return rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535;
}

double Magnitude(const ST_Complex32f &v) { return sqrt(double{v.re} * v.re + double{v.im} * v.im); }

}  // namespace

int32_t fftFilterEnergy(ST_Complex32f *spectrum, int32_t rows, int32_t cols, uint8_t side,
                        float factor) {
  ZQ_CHECK(spectrum == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(BadSize(rows, cols), ZQ_ERR_PARAM);
  // Every entry counts (the count is not cut to 16 bits).
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  double *mag = heapScratch.Take<double>(n);
  ZQ_CHECK(mag == NULL, ZQ_ERR_PARAM);
  double sum = 0.0;
  for (int64_t i = 0; i < n; ++i) sum += (mag[i] = Magnitude(spectrum[i]));
  const double t = static_cast<double>(factor) * (sum / static_cast<double>(n));
  for (int64_t i = 0; i < n; ++i) {
    const bool clear = side == 0 ? mag[i] < t : mag[i] >= t;
    if (clear) spectrum[i] = {0.0f, 0.0f};
  }
  return ZQ_OK;
}

int32_t imgFttShow(const ST_Complex32f *spectrum, int32_t cols, int32_t rows, uint8_t *out) {
  ZQ_CHECK(spectrum == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(BadSize(rows, cols), ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  double *mag = heapScratch.Take<double>(n);
  ZQ_CHECK(mag == NULL, ZQ_ERR_PARAM);
  double sum = 0.0, lo = HUGE_VAL;
  for (int64_t i = 0; i < n; ++i) {
    mag[i] = Magnitude(spectrum[i]);
    sum += mag[i];
    lo = std::min(lo, mag[i]);
  }
  double d = static_cast<double>(n), divisor = static_cast<double>(n);
  while (d * d < sum) {
    d *= d;
    divisor *= 2.0;
  }
  // Written in centred order: entry (y, x) goes to (y + rows/2, x + cols/2).
  for (int32_t y = 0; y < rows; ++y) {
    const int64_t ty = (y + rows / 2) % rows;
    for (int32_t x = 0; x < cols; ++x) {
      const double v = (mag[int64_t{y} * cols + x] - lo) * 255.0 / divisor;
      out[ty * cols + (x + cols / 2) % cols] = static_cast<uint8_t>(std::min(v, 255.0));
    }
  }
  return ZQ_OK;
}

int32_t ImgFFtRemoveConst(ST_Complex32f *spectrum, int32_t cols, int32_t rows) {
  ZQ_CHECK(spectrum == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 2 || cols < 2 || rows > 65535 || cols > 65535, ZQ_ERR_PARAM);
  ST_Complex32f *last = spectrum + int64_t{rows - 1} * cols;
  for (int32_t x = 1; x < cols - 1; ++x) spectrum[x] = last[x] = {0.0f, 0.0f};
  for (int32_t y = 1; y < rows - 1; ++y) {
    spectrum[int64_t{y} * cols] = {0.0f, 0.0f};
    spectrum[int64_t{y} * cols + cols - 1] = {0.0f, 0.0f};
  }
  return ZQ_OK;
}

int32_t ImgRemoveFreq(const uint8_t *img, int32_t cols, int32_t rows, uint8_t *out) {
  ZQ_CHECK(img == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 2 || cols < 2 || rows > 65535 || cols > 65535, ZQ_ERR_PARAM);
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  ST_Complex32f *spectrum = heapScratch.Take<ST_Complex32f>(int64_t{rows} * cols);
  ZQ_CHECK(spectrum == NULL, ZQ_ERR_PARAM);
  int32_t rc = imgFFT(img, rows, cols, spectrum);
  if (rc == ZQ_OK) rc = ImgFFtRemoveConst(spectrum, cols, rows);
  if (rc == ZQ_OK) rc = realImgIFFT(spectrum, rows, cols, out);
  return rc;
}
