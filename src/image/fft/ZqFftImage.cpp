// Image transforms: forward FFT of 8-bit and float images, inverse back.
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFft.h"
#include "src/image/fft/ZqFftBlocks.h"
#include "src/image/fft/ZqFftCore.h"

namespace {

bool BadSize(int32_t rows, int32_t cols) {
  return rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535;
}

// Forward transform of real pixels of type T.
template <typename T>
int32_t Forward(const char *name, const T *img, int32_t rows, int32_t cols,
                ST_Complex32f *spectrum) {
  if (img == nullptr || spectrum == nullptr) {
    ZQ_LOG_FAIL_IN(name, name, "img == NULL || spectrum == NULL");
    return ZQ_ERR_PARAM;
  }
  if (BadSize(rows, cols)) {
    ZQ_LOG_FAIL_IN(name, name, "rows or cols out of range");
    return ZQ_ERR_PARAM;
  }
  // Straight from the pixels when the sizes suit the blocks.
  const int32_t blocks = zq_fft::fftBlocksForward(img, rows, cols, spectrum);
  if (blocks == 0) return ZQ_OK;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  ST_Complex32f *buf = blocks == 1 ? heapScratch.Take<ST_Complex32f>(n) : nullptr;
  if (buf == nullptr) {
    ZQ_LOG_FAIL_IN(name, name, "buffer malloc fail");
    return ZQ_ERR_ALLOC;
  }
  for (int64_t i = 0; i < n; ++i) buf[i] = {static_cast<float>(img[i]), 0.0f};
  if (zq_fft::fft2D(buf, rows, cols, 0, spectrum) != 0) {
    ZQ_LOG_FAIL_IN(name, name, "fft2D fail");
    return ZQ_ERR_STEP;
  }
  return ZQ_OK;
}

// Inverse transform; store(i, re) writes pixel i; real, when not NULL, is
// out as floats (written directly).
template <typename Store>
int32_t Inverse(const char *name, const ST_Complex32f *spectrum, int32_t rows, int32_t cols,
                const void *out, float *real, Store store) {
  if (spectrum == nullptr || out == nullptr) {
    ZQ_LOG_FAIL_IN(name, name, "spectrum == NULL || out == NULL");
    return ZQ_ERR_PARAM;
  }
  if (BadSize(rows, cols)) {
    ZQ_LOG_FAIL_IN(name, name, "rows or cols out of range");
    return ZQ_ERR_PARAM;
  }
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack heapScratch(zq::ScratchSource::kHeap);
  // The real parts straight from the blocks when the sizes suit them.
  float *blockOut = real != nullptr                     ? real
                    : zq_fft::fftBlocksSuit(rows, cols) ? heapScratch.Take<float>(n)
                                                        : nullptr;
  const int32_t blocks = blockOut != nullptr
                             ? zq_fft::fftBlocksInverseReal(spectrum, rows, cols, blockOut)
                             : 1;
  if (blocks == 0) {
    if (real == nullptr)
      for (int64_t i = 0; i < n; ++i) store(i, blockOut[i]);
    return ZQ_OK;
  }
  ST_Complex32f *buf = blocks == 1 ? heapScratch.Take<ST_Complex32f>(n) : nullptr;
  if (buf == nullptr) {
    ZQ_LOG_FAIL_IN(name, name, "buffer malloc fail");
    return ZQ_ERR_ALLOC;
  }
  // The inverse can only fail for want of memory here; report it.
  if (zq_fft::fft2D(spectrum, rows, cols, 1, buf) != 0) {
    ZQ_LOG_FAIL_IN(name, name, "fft2D fail");
    return ZQ_ERR_ALLOC;
  }
  for (int64_t i = 0; i < n; ++i) store(i, buf[i].re);
  return ZQ_OK;
}

}  // namespace

int32_t imgFFT(const uint8_t *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum) {
  return Forward("imgFFT", img, rows, cols, spectrum);
}

int32_t ZqImgFFT_32f(const float *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum) {
  return Forward("ZqImgFFT_32f", img, rows, cols, spectrum);
}

int32_t realImgIFFT(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, uint8_t *out) {
  return Inverse("realImgIFFT", spectrum, rows, cols, out, nullptr, [out](int64_t i, float v) {
    out[i] = v <= 0.0f ? 0 : v >= 255.0f ? 255 : static_cast<uint8_t>(v);
  });
}

int32_t ZqRealImgIFFT_32f(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, float *out) {
  return Inverse("ZqRealImgIFFT_32f", spectrum, rows, cols, out, out,
                 [out](int64_t i, float v) { out[i] = v; });
}
