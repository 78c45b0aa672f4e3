// The filter dispatcher: optional FFT band filter, then the algorithm
// core's filter entry.
#include <string.h>

#include "src/image/ZqImageFilterEnhance.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"

int32_t FFTFilter(uint8_t *img, uint8_t filter, int32_t rows, int32_t cols, uint8_t *out,
                  float ratio) {
  if (filter == 0) return ZQ_OK;
  ZQ_CHECK(img == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535, ZQ_ERR_PARAM);
  int32_t fftResult = ZQ_OK;
  if ((filter >> 4) == 1) {
    const int64_t n = int64_t{rows} * cols;
    zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
    ST_Complex32f *spectrum = heapScratch.Take<ST_Complex32f>(n);
    ZQ_CHECK(spectrum == NULL, ZQ_ERR_PARAM);
    fftResult = imgFFT(img, rows, cols, spectrum);
    if (fftResult == ZQ_OK) fftResult = fftBandFilter(spectrum, rows, cols, ratio);
    if (fftResult == ZQ_OK) fftResult = realImgIFFT(spectrum, rows, cols, img);
    if (fftResult == ZQ_OK) {
      memcpy(out, img, static_cast<size_t>(n));
      QUORV_LOGI("%s..image fft filter finish! filter = %d", "FFTFilter", filter);
    }
  }
  const int32_t rc = ZqImageFilterEnhance(img, rows, cols, filter, out);
  if (rc != ZQ_OK) return rc;
  QUORV_LOGI("%s..image filter enhance finish! filter = %d", "FFTFilter", filter);
  return fftResult;
}
