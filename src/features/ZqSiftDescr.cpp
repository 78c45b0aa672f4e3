// Gradient histogram of a fast-detector keypoint and its conversions to
// 256 descriptor bits.
#include <cmath>
#include <cstring>

#include "src/features/ZqKeypointDescr.h"
#include "src/features/ZqSift.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;
constexpr int32_t kRadius = 12;

inline void SetBit(ST_Feature *feat, int32_t bit) { feat->descr[bit >> 5] |= 1u << (bit & 31); }

inline float Bin(const float *h, int32_t cell, int32_t o) { return h[cell * 8 + o]; }

// Mean of bin o over cells from, from + step, ... (8 cells).
float BinMean(const float *h, int32_t from, int32_t step, int32_t o) {
  float s = 0.0f;
  for (int32_t i = 0; i < 8; ++i) s += Bin(h, from + i * step, o);
  return s * 0.125f;
}

// Mean of the 8 bins of one cell.
float CellMean(const float *h, int32_t cell) {
  float s = 0.0f;
  for (int32_t o = 0; o < 8; ++o) s += Bin(h, cell, o);
  return s * 0.125f;
}

// Bits 0..127 of the second and third layouts.
void ParityBits(const float *h, ST_Feature *feat) {
  float even[8], odd[8];
  for (int32_t o = 0; o < 8; ++o) {
    even[o] = BinMean(h, 0, 2, o);
    odd[o] = BinMean(h, 1, 2, o);
  }
  for (int32_t k = 0; k < 16; ++k) {
    const float *m = (k & 1) == 0 ? even : odd;
    for (int32_t o = 0; o < 8; ++o)
      if (Bin(h, k, o) > m[o]) SetBit(feat, 8 * k + o);
  }
}

}  // namespace

extern "C" void descr_hist_v2(const uint16_t *mag, const uint16_t *ori, int32_t rows, int32_t cols,
                              const ST_DetectFeature *feat, float hist[128]) {
  if (mag == nullptr || ori == nullptr || feat == nullptr || hist == nullptr) return;
  float cos_t, sin_t;
  ZqDescrCosSin(feat->ori, &cos_t, &sin_t);
  for (int32_t i = -kRadius; i <= kRadius; ++i) {
    for (int32_t j = -kRadius; j <= kRadius; ++j) {
      const float fi = static_cast<float>(i), fj = static_cast<float>(j);
      const float rbin = 1.5f + (fi * cos_t + fj * sin_t) * 0.22222222f;
      const float cbin = 1.5f + (fj * cos_t - fi * sin_t) * 0.22222222f;
      if (!(rbin > -1.0f && rbin < 4.0f && cbin > -1.0f && cbin < 4.0f)) continue;
      const int32_t r = static_cast<int32_t>(feat->y + fi);
      const int32_t c = static_cast<int32_t>(feat->x + fj);
      if (r < 1 || r > rows - 2 || c < 1 || c > cols - 2) continue;
      const int32_t idx = r * cols + c;
      float angle = static_cast<float>(ori[idx]) * (1.0f / 4096.0f) - kPi - feat->ori;
      if (angle < 0.0f) {
        angle += kTwoPi;
      } else if (angle >= kTwoPi) {
        angle -= kTwoPi;
      }
      ZqDescrSpread(hist, rbin, cbin, angle * 1.2732395f, static_cast<float>(mag[idx]));
    }
  }
}

extern "C" void descr_to_binary(const float hist[128], ST_Feature *feat) {
  if (hist == nullptr || feat == nullptr) return;
  std::memset(feat->descr, 0, sizeof(feat->descr));
  float m1[8], m2[8], a[8], b[8];
  for (int32_t o = 0; o < 8; ++o) {
    m1[o] = BinMean(hist, 0, 1, o);
    m2[o] = BinMean(hist, 8, 1, o);
  }
  for (int32_t k = 0; k < 8; ++k) {
    a[k] = CellMean(hist, k);
    b[k] = CellMean(hist, k + 8);
  }
  for (int32_t k = 0; k < 8; ++k) {
    for (int32_t o = 0; o < 8; ++o) {
      if (Bin(hist, k, o) > m1[o]) SetBit(feat, 16 * k + 2 * o);
      if (Bin(hist, k + 8, o) > m2[o]) SetBit(feat, 16 * k + 2 * o + 1);
    }
  }
  // Bin o of each cell against the mean of cell o (o + 8), not of its own
  // cell: stored templates hold descriptors made this way.
  for (int32_t k = 0; k < 8; ++k) {
    for (int32_t o = 0; o < 8; ++o) {
      if (Bin(hist, k, o) > a[o]) SetBit(feat, 128 + 16 * k + 2 * o);
      if (Bin(hist, k + 8, o) > b[o]) SetBit(feat, 128 + 16 * k + 2 * o + 1);
    }
  }
}

extern "C" void descr_to_binary_v2(const float hist[128], ST_Feature *feat) {
  if (hist == nullptr || feat == nullptr) return;
  std::memset(feat->descr, 0, sizeof(feat->descr));
  ParityBits(hist, feat);
  float a[8], b[8];
  for (int32_t k = 0; k < 8; ++k) {
    a[k] = CellMean(hist, k);
    b[k] = CellMean(hist, k + 8);
  }
  for (int32_t k = 0; k < 8; ++k) {
    for (int32_t o = 0; o < 8; ++o) {
      if (Bin(hist, k, o) > a[o]) SetBit(feat, 128 + 8 * k + o);
      if (Bin(hist, k + 8, o) > b[o]) SetBit(feat, 192 + 8 * k + o);
    }
  }
}

extern "C" void descr_to_binary_v3(const float hist[256], ST_Feature *feat) {
  if (hist == nullptr || feat == nullptr) return;
  std::memset(feat->descr, 0, sizeof(feat->descr));
  ParityBits(hist, feat);
  float m1[8], m2[8];
  for (int32_t o = 0; o < 8; ++o) {
    m1[o] = BinMean(hist, 0, 1, o);
    m2[o] = BinMean(hist, 8, 1, o);
  }
  const float *h2 = hist + 128;
  for (int32_t k = 0; k < 16; ++k) {
    const float *m = k < 8 ? m1 : m2;
    for (int32_t o = 0; o < 8; ++o)
      if (Bin(h2, k, o) > m[o]) SetBit(feat, 128 + 8 * k + o);
  }
}
