// Root enhancement of a spectrum.
#include <math.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"

int32_t ZqRootEnhance(const ST_Complex32f *in, int32_t rows, int32_t cols, ST_Complex32f *out,
                      float power) {
  ZQ_CHECK(in == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  float *logMag = heapScratch.Take<float>(n);
  ZQ_CHECK(logMag == NULL, ZQ_ERR_ALLOC);
  float top = 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float m = sqrtf(in[i].re * in[i].re + in[i].im * in[i].im);
    logMag[i] = logf(m + 1.0f);
    if (logMag[i] > top) top = logMag[i];
  }
  for (int64_t i = 0; i < n; ++i) {
    // An all-zero spectrum (top 0) has nothing to weight: copied.
    const float w = top > 0.0f ? powf(logMag[i] / top, power) : 1.0f;
    out[i] = {in[i].re * w, in[i].im * w};
  }
  return ZQ_OK;
}
