// Stripe similarity of two images over rotations and shifts, and the
// eraser-head judgement built on it; see ZqImageChecks.h.
#include <math.h>

#include "src/image/ZqBinSimilarity.h"
#include "src/image/ZqImageChecks.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {

int32_t TenthRounded(int32_t v) {
  return static_cast<int32_t>(static_cast<float>(v) * 0.1f + 0.5f);
}

}  // namespace

int32_t ZqCalcStripeSimilarity(const uint8_t *reference, const uint8_t *image, int32_t rows,
                               int32_t cols, int32_t shift, float *similarity) {
  if (reference == nullptr || image == nullptr || similarity == nullptr || rows <= 0 || cols <= 0 ||
      shift < 0)
    return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *refBin = scratch.Take<uint8_t>(n);
  if (refBin == nullptr) return -2;
  uint8_t *imgBin = scratch.Take<uint8_t>(n);
  if (imgBin == nullptr) return -2;
  uint8_t *valid = scratch.Take<uint8_t>(n);
  if (valid == nullptr) return -2;

  if (ZqGaussianBlur_8u(reference, rows, cols, 3, nullptr, refBin, 1.6f) != 0 ||
      ZqGaussianBlur_8u(image, rows, cols, 3, nullptr, imgBin, 1.6f) != 0)
    return -3;
  if (ZqBinarizeLocalMean(refBin, rows, cols, refBin) != 0 ||
      ZqBinarizeLocalMean(imgBin, rows, cols, imgBin) != 0)
    return -4;
  const int32_t r = TenthRounded(rows), c = TenthRounded(cols);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x)
      valid[int64_t{y} * cols + x] = y >= r && y < rows - r && x >= c && x < cols - c;

  const float cx = static_cast<float>(cols) * 0.5f, cy = static_cast<float>(rows) * 0.5f;
  float best = 0.0f;
  for (int32_t deg = -180; deg <= 180; ++deg) {
    float cs, sn;
    if (deg == -180) {
      cs = -1.0f;
      sn = 8.742278e-8f;
    } else {
      const float a = static_cast<float>(deg) * 0.017453292f;
      cs = cosf(a);
      sn = sinf(a);
    }
    const float tx = cx - cx * cs + cy * sn, ty = cy - cx * sn - cy * cs;
    for (int32_t dx = 0; dx <= shift; ++dx) {
      for (int32_t dy = 0; dy <= shift; ++dy) {
        const ST_HMatrix h = {cs, -sn, tx + static_cast<float>(dx),
                              sn, cs,  ty + static_cast<float>(dy)};
        uint16_t counts[2];
        const float s = ZqCalcSimScore(valid, refBin, valid, imgBin, rows, cols, &h, counts);
        if (s > best) best = s;
      }
    }
  }
  *similarity = best;
  return 0;
}

int32_t ZqJudgeAbnormalErasehead(const uint8_t *reference, const uint8_t *image, int32_t rows,
                                 int32_t cols, int32_t shift, int32_t minutiaLimit,
                                 float simThreshold) {
  if (image == nullptr || rows <= 0 || cols <= 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  int64_t dark = 0;
  for (int64_t i = 0; i < n; ++i) dark += image[i] < 251;
  if (static_cast<float>(n) * 0.6f > static_cast<float>(dark)) return 1;
  int32_t minutiae = 0;
  if (ZqMinutiaDetect(image, rows, cols, &minutiae) != 0) return -2;
  if (minutiae > minutiaLimit) return 2;
  if (reference == nullptr) return 0;
  float sim = 0.0f;
  if (ZqCalcStripeSimilarity(reference, image, rows, cols, shift, &sim) != 0) return -3;
  return simThreshold > sim ? 3 : 0;
}
