#include "src/image/ZqSpatialFilter.h"

#include <algorithm>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

ST_SpaPara gSPApara = {64, 80, 5, 20, 0.75f};

extern "C" void InitSPAImageSize(int cols, int rows) {
  gSPApara.cols = static_cast<int16_t>(cols);
  gSPApara.rows = static_cast<int16_t>(rows);
}

extern "C" void InitSPAMaskRadius(int radius) { gSPApara.radius = static_cast<int16_t>(radius); }

extern "C" void InitSPAImpactFactors(float impact) { gSPApara.impact = impact; }

extern "C" int FastConv(uint8_t *image, uint16_t rows, uint16_t cols, uint16_t radius,
                        float factor) {
  // The single mirror of the padding needs 1 <= r <= the smaller side.
  if (image == nullptr || radius < 1 || radius > std::min(rows, cols)) return 0;
  const int32_t r = radius;
  const int64_t pw = int64_t{cols} + 2 * r, ph = int64_t{rows} + 2 * r;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  float *result = scratch.Take<float>(n);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  int32_t *sums = scratch.Take<int32_t>(int64_t{rows} * pw);
  if (result == nullptr || padded == nullptr || sums == nullptr) return 0;
  ZqMirrorFill_u8(image, rows, cols, r, r, padded);
  // Vertical tent into sums (rows x padded width).
  for (int32_t y = 0; y < rows; ++y)
    for (int64_t x = 0; x < pw; ++x) {
      int32_t s = 0;
      for (int32_t dy = -r; dy <= r; ++dy)
        s += (r + 1 - (dy < 0 ? -dy : dy)) * padded[(y + r + dy) * pw + x];
      sums[y * pw + x] = s;
    }
  // Horizontal tent without the centre's own share.
  const int64_t centre = int64_t{r + 1} * (r + 1);
  float smallest = 102400;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      int64_t N = 0;
      for (int32_t dx = -r; dx <= r; ++dx)
        N += int64_t{r + 1 - (dx < 0 ? -dx : dx)} * sums[y * pw + x + r + dx];
      const uint8_t o = image[int64_t{y} * cols + x];
      N -= centre * o;
      float t = static_cast<float>(o) - factor * static_cast<float>(N);
      result[int64_t{y} * cols + x] = t;
      smallest = std::min(smallest, t);
    }
  for (int64_t i = 0; i < n; ++i) {
    float v = result[i] - smallest;
    if (v <= 255) image[i] = static_cast<uint8_t>(static_cast<int32_t>(v + 0.5f));
  }
  return 1;
}

namespace zq {

int SpaHistStretch(uint8_t *image, int32_t rows, int32_t cols, float impact) {
  if (image == nullptr || rows < 0 || cols < 0) return 0;
  // The whole count, not its low 16 bits.
  const int64_t n = int64_t{rows} * cols;
  int64_t H[256] = {};
  for (int64_t i = 0; i < n; ++i) ++H[image[i]];

  int32_t P = 2;
  bool found = false;
  int64_t height = 10;
  int32_t since = 0;
  for (int32_t i = 2; i <= 252; ++i) {
    if (H[i] > height && H[i] >= H[i - 2] && H[i] >= H[i - 1] && H[i] >= H[i + 1] &&
        H[i] >= H[i + 2]) {
      P = i;
      height = H[i];
      found = true;
      since = 0;
    } else if (found && ++since == 50) {
      break;
    }
  }
  const int64_t t = static_cast<int64_t>(static_cast<double>(H[P]) * 0.01 + 0.5);

  int32_t L = -1;
  int64_t tFallback = 1;
  if (P > 4) {
    // runMax[k] = max of H[4..k], k < P.
    zq::ScratchStack scratch(zq::ScratchSource::kHeap);
    int64_t *runMax = scratch.Take<int64_t>(P);
    if (runMax == nullptr) return 0;
    for (int32_t k = 4; k < P; ++k) runMax[k] = std::max(k > 4 ? runMax[k - 1] : 0, H[k]);
    for (int32_t k = P - 1; k >= 4; --k)
      if (std::max(H[k - 1], H[k]) < std::max<int64_t>(2, t) &&
          runMax[k] < std::max<int64_t>(3, t)) {
        L = k;
        break;
      }
    tFallback = t == 0 ? 1 : t;
  }
  if (L < 0) {
    L = 0;
    for (int32_t k = std::min(P - 1, 3); k >= 1; --k)
      if (H[k] <= tFallback) {
        L = k;
        break;
      }
  }

  int32_t U = -1;
  int64_t uFallback = 1;
  if (P <= 248) {
    for (int32_t s = P + 1; s <= 248; ++s)
      if (*std::max_element(H + s, H + s + 5) < t) {
        U = s;
        break;
      }
    uFallback = t == 0 ? 1 : t;
  }
  if (U < 0) {
    U = 255;
    for (int32_t k = std::max(P + 1, 250); k <= 254; ++k)
      if (H[k] <= uFallback) {
        U = k;
        break;
      }
  }
  if (U <= L) U = L + 1;

  float g = impact * 255 / static_cast<float>(U - L);
  if (g >= 100) g = 100;
  if (g <= 1) g = 1;
  const float c = static_cast<float>(U + L) * 0.5f;
  for (int64_t i = 0; i < n; ++i) {
    float v = (static_cast<float>(image[i]) - c) * g + 128;
    image[i] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(v), 0, 255));
  }
  return 1;
}

}  // namespace zq

extern "C" int ZqSpaSmooth(uint8_t *image, int /*level*/) {
  if (gSPApara.rows < 0 || gSPApara.cols < 0 || gSPApara.radius < 1) return 0;
  const int16_t d = static_cast<int16_t>(2 * gSPApara.radius);
  const float factor = static_cast<float>(gSPApara.weight) * 0.04f /
                       static_cast<float>(d * ((d + 1) * (d + 1) - 1));
  if (!FastConv(image, static_cast<uint16_t>(gSPApara.rows), static_cast<uint16_t>(gSPApara.cols),
                static_cast<uint16_t>(gSPApara.radius), factor))
    return 0;
  return zq::SpaHistStretch(image, gSPApara.rows, gSPApara.cols, gSPApara.impact);
}
