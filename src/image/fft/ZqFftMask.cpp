// Elliptic low-pass and high-pass masks on the centred spectrum.
#include "src/image/ZqCommon.h"
#include "src/image/fft/ZqFft.h"

namespace {

bool BadSize(int32_t rows, int32_t cols) {
  return rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535;
}

// Clears the entries outside (lowPass) or inside-or-on (high pass) the
// ellipse of the ratio around the zero frequency. Entry (y, x) of the
// unshifted spectrum sits at ((y + rows/2) mod rows, (x + cols/2) mod cols)
// of the centred one, so the mask is applied in place without shifting.
int32_t EllipseMask(const char *name, ST_Complex32f *spectrum, int32_t rows, int32_t cols,
                    float ratio, bool lowPass) {
  if (spectrum == nullptr) {
    ZQ_LOG_FAIL_IN(name, name, "spectrum == NULL");
    return ZQ_ERR_PARAM;
  }
  if (BadSize(rows, cols)) {
    ZQ_LOG_FAIL_IN(name, name, "rows or cols out of range");
    return ZQ_ERR_PARAM;
  }
  if (ratio > 1.4f) return ZQ_OK;
  const int32_t cy = rows / 2, cx = cols / 2;
  const bool partial = ratio < 1.0f;
  const int64_t ry = partial ? static_cast<int32_t>(static_cast<float>(cy) * ratio) : cy;
  const int64_t rx = partial ? static_cast<int32_t>(ratio * static_cast<float>(cx)) : cx;
  const int64_t rr = rx * rx * ry * ry;
  for (int32_t y = 0; y < rows; ++y) {
    const int64_t dy = (y + cy) % rows - cy;
    const bool rowIn = !partial || (dy >= -ry && dy <= ry);
    if (!rowIn && !lowPass) continue;
    for (int32_t x = 0; x < cols; ++x) {
      const int64_t dx = (x + cx) % cols - cx;
      const bool boxIn = rowIn && (!partial || (dx >= -rx && dx <= rx));
      ST_Complex32f &v = spectrum[int64_t{y} * cols + x];
      if (!boxIn) {
        if (lowPass) v = {0.0f, 0.0f};
        continue;
      }
      const bool outside = ry * ry * dx * dx + rx * rx * dy * dy > rr;
      if (outside == lowPass) v = {0.0f, 0.0f};
    }
  }
  return ZQ_OK;
}

}  // namespace

int32_t fftBandFilter(ST_Complex32f *spectrum, int32_t rows, int32_t cols, float ratio) {
  return EllipseMask("fftBandFilter", spectrum, rows, cols, ratio, true);
}

int32_t fftLowPass(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float ratio) {
  return EllipseMask("fftLowPass", spectrum, rows, cols, ratio, true);
}

int32_t fftHighPass(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float ratio) {
  return EllipseMask("fftHighPass", spectrum, rows, cols, ratio, false);
}

int32_t fftBandFilter2(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float highRatio,
                       float lowRatio) {
  const int32_t rc = fftLowPass(spectrum, cols, rows, lowRatio);
  if (rc != ZQ_OK) return rc;
  return fftHighPass(spectrum, cols, rows, highRatio);
}
