// Features of the no-finger decision; see ZqNonFingerFeatures.h.
#include "src/enhance/ZqNonFingerFeatures.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

constexpr int kStretchRadius = 5;
constexpr int kStretchWin = 2 * kStretchRadius + 1;
constexpr int kLevels = 8;

// R[d]: the stretch factor of a window range d.
struct StretchTable {
  float r[256];
  StretchTable() {
    r[0] = 0.0f;
    r[1] = 255.0f;
    r[2] = 125.0f;
    for (int i = 3; i < 256; ++i) r[i] = 255.0f / static_cast<float>(i);
  }
};
const StretchTable kStretch;

// Lowest occupied bin at or above lo.
inline int RaiseLow(const uint32_t *h, int lo) {
  while (lo < 255 && h[lo] == 0) ++lo;
  return lo;
}

// Highest occupied bin at or below hi.
inline int LowerHigh(const uint32_t *h, int hi) {
  while (hi > 0 && h[hi] == 0) --hi;
  return hi;
}

}  // namespace

extern "C" int32_t NonFingerLocalStretch(const uint8_t *image, uint16_t rows, uint16_t cols,
                                         uint8_t *out) {
  if (image == nullptr || out == nullptr) return -1;
  if (rows == 0 || cols == 0) return 0;
  const int64_t pw = int64_t{cols} + 2 * kStretchRadius;
  const int64_t ph = int64_t{rows} + 2 * kStretchRadius;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *pad = scratch.Take<uint8_t>(pw * ph);
  if (pad == nullptr) return -2;
  if (ImgFilledByMirror(image, rows, cols, kStretchRadius, pad) != 0) return -3;

  // rowHist: the window at the start of the current row; cur: the window
  // at the current pixel. Padded (y, x) is the window's top-left corner.
  uint32_t rowHist[256] = {};
  uint32_t cur[256];
  for (int t = 0; t < kStretchWin; ++t)
    for (int s = 0; s < kStretchWin; ++s) ++rowHist[pad[t * pw + s]];
  int rowLo = RaiseLow(rowHist, 0), rowHi = LowerHigh(rowHist, 255);

  for (int64_t y = 0; y < rows; ++y) {
    if (y > 0) {
      int addLo = 255, addHi = 0;
      const uint8_t *leave = pad + (y - 1) * pw;
      const uint8_t *enter = pad + (y + kStretchWin - 1) * pw;
      for (int s = 0; s < kStretchWin; ++s) {
        --rowHist[leave[s]];
        ++rowHist[enter[s]];
        addLo = std::min<int>(addLo, enter[s]);
        addHi = std::max<int>(addHi, enter[s]);
      }
      rowLo = RaiseLow(rowHist, std::min(rowLo, addLo));
      rowHi = LowerHigh(rowHist, std::max(rowHi, addHi));
    }
    memcpy(cur, rowHist, sizeof(cur));
    int lo = rowLo, hi = rowHi;
    const uint8_t *src = image + y * cols;
    uint8_t *dst = out + y * cols;
    for (int64_t x = 0; x < cols; ++x) {
      if (x > 0) {
        int addLo = 255, addHi = 0;
        for (int t = 0; t < kStretchWin; ++t) {
          const uint8_t *line = pad + (y + t) * pw;
          --cur[line[x - 1]];
          const uint8_t v = line[x + kStretchWin - 1];
          ++cur[v];
          addLo = std::min<int>(addLo, v);
          addHi = std::max<int>(addHi, v);
        }
        lo = RaiseLow(cur, std::min(lo, addLo));
        hi = LowerHigh(cur, std::max(hi, addHi));
      }
      const int p = src[x];
      if (lo == hi) {
        dst[x] = static_cast<uint8_t>(p);
      } else {
        const float v = static_cast<float>(p - lo) * kStretch.r[hi - lo] + 0.5f;
        dst[x] = static_cast<uint8_t>(std::min(static_cast<int32_t>(v), 255));
      }
    }
  }
  return 0;
}

extern "C" int32_t NonFingerGlcm(const uint8_t *image, uint16_t cols, uint16_t rows,
                                 float *matrix) {
  if (image == nullptr || matrix == nullptr) return -1;
  uint32_t count[kLevels * kLevels] = {};
  for (int64_t y = 0; y < rows; ++y) {
    const uint8_t *line = image + y * cols;
    const uint8_t *below = line + cols;
    const bool hasBelow = y + 1 < rows;
    for (int64_t x = 0; x < cols; ++x) {
      const int a = line[x] >> 5;
      if (x + 1 < cols) ++count[a * kLevels + (line[x + 1] >> 5)];
      if (!hasBelow) continue;
      if (x + 1 < cols) ++count[a * kLevels + (below[x + 1] >> 5)];
      ++count[a * kLevels + (below[x] >> 5)];
      if (x > 0) ++count[a * kLevels + (below[x - 1] >> 5)];
    }
  }
  // Pairs: 4 c r - 3 c - 3 r + 2; none for a single pixel (or no pixel).
  const int64_t c = cols, r = rows;
  const int64_t pairs = 4 * c * r - 3 * c - 3 * r + 2;
  for (int i = 0; i < kLevels * kLevels; ++i)
    matrix[i] = pairs > 0 && c > 0 && r > 0
                    ? static_cast<float>(count[i]) / static_cast<float>(pairs)
                    : 0.0f;
  return 0;
}

extern "C" int32_t NonFingerGlcmFeatures(const float *matrix, float *out) {
  if (matrix == nullptr || out == nullptr) return -1;
  float contrast = 0.0f, homogeneity = 0.0f, dissimilarity = 0.0f;
  for (int i = 0; i < kLevels; ++i) {
    for (int j = 0; j < kLevels; ++j) {
      const float g = matrix[i * kLevels + j];
      const float d = static_cast<float>(i > j ? i - j : j - i);
      contrast += d * d * g;
      homogeneity += g / (1.0f + d * d);
      dissimilarity += d * g;
    }
  }
  out[0] = contrast;
  out[1] = homogeneity;
  out[2] = dissimilarity;
  return 0;
}

extern "C" int32_t NonFingerGradHist(const uint8_t *image, uint16_t rows, uint16_t cols,
                                     float *out) {
  if (image == nullptr || out == nullptr) return -1;
  for (int i = 0; i < 7; ++i) out[i] = 0.0f;
  if (rows < 3 || cols < 3) return 0;
  const int64_t n = int64_t{rows} * cols;
  ScratchStack scratch(ScratchSource::kHeap);
  // down: 1 2 1 down the columns (row y holds image rows y .. y + 2);
  // across: 1 2 1 along the rows (column x holds image columns x .. x + 2).
  int16_t *down = scratch.Take<int16_t>(n);
  int16_t *across = scratch.Take<int16_t>(n);
  if (down == nullptr || across == nullptr) return -2;
  for (int64_t y = 0; y + 2 < rows; ++y)
    for (int64_t x = 0; x < cols; ++x) {
      const uint8_t *p = image + y * cols + x;
      down[y * cols + x] = static_cast<int16_t>(p[0] + 2 * p[cols] + p[2 * cols]);
    }
  for (int64_t y = 0; y < rows; ++y)
    for (int64_t x = 0; x + 2 < cols; ++x) {
      const uint8_t *p = image + y * cols + x;
      across[y * cols + x] = static_cast<int16_t>(p[0] + 2 * p[1] + p[2]);
    }
  uint32_t counted = 0;
  float bins[6] = {}, sum = 0.0f;
  for (int64_t y = 0; y + 2 < rows; ++y) {
    for (int64_t x = 0; x + 2 < cols; ++x) {
      const int32_t gx = down[y * cols + x + 2] - down[y * cols + x];
      const int32_t gy = across[(y + 2) * cols + x] - across[y * cols + x];
      const float g = sqrtf(static_cast<float>(gx * gx + gy * gy));
      if (!(g > 10.0f)) continue;
      const int32_t gi = static_cast<int32_t>(g);
      const int bin = gi < 100 ? 0 : gi < 200 ? 1 : gi < 400 ? 2 : gi < 600 ? 3 : gi < 800 ? 4 : 5;
      bins[bin] += 1.0f;
      sum += g;
      ++counted;
    }
  }
  for (int i = 0; i < 6; ++i) out[i] = bins[i];
  out[6] = sum;
  if (counted > 0)
    for (int i = 0; i < 7; ++i) out[i] /= static_cast<float>(counted);
  return 0;
}

extern "C" int32_t NonFingerFeatures(const uint8_t *image, uint16_t width, uint16_t height,
                                     float *feat) {
  if (image == nullptr || feat == nullptr) return -1;
  const int64_t n = int64_t{width} * height;
  const uint16_t sw = width / 4, sh = height / 4;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *median = scratch.Take<uint8_t>(n);
  uint8_t *stretched = scratch.Take<uint8_t>(n);
  uint8_t *sampled = scratch.Take<uint8_t>(n / 4);
  float *matrix = scratch.Take<float>(kLevels * kLevels);
  if (median == nullptr || stretched == nullptr || sampled == nullptr || matrix == nullptr)
    return -2;
  if (ZqMedianFilter(image, width, height, 1, median) != 0) return -3;
  if (NonFingerLocalStretch(median, height, width, stretched) != 0) return -4;

  float grad[7];
  if (NonFingerGlcm(stretched, width, height, matrix) != 0) return -9;
  if (NonFingerGlcmFeatures(matrix, feat + 0) != 0) return -6;
  if (NonFingerGradHist(median, height, width, grad) != 0) return -7;
  for (int i = 0; i < 4; ++i) feat[6 + i] = grad[i];
  feat[10] = grad[6];

  for (int64_t y = 0; y < sh; ++y)
    for (int64_t x = 0; x < sw; ++x) sampled[y * sw + x] = stretched[4 * y * width + 4 * x];
  if (NonFingerGlcm(sampled, sw, sh, matrix) != 0) return -9;
  if (NonFingerGlcmFeatures(matrix, feat + 3) != 0) return -6;
  if (NonFingerGradHist(sampled, sh, sw, grad) != 0) return -7;
  for (int i = 0; i < 5; ++i) feat[11 + i] = grad[i];
  feat[16] = grad[6];
  return 0;
}
