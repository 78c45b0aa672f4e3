// The quality dispatchers and the general scorer; see ZqImgQuality.h.
#include <math.h>


#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

// 6561 x the 9 x 9 variance above this marks a textured pixel.
constexpr uint32_t kTextureLimit = 648000;
constexpr int kWin = 9;
constexpr int kBlock = 8;

// Margin of one side: (4 floor((n + 4) / 4) - n) / 2 + 4.
int32_t PadOf(int32_t n) { return (4 * ((n + 4) / 4) - n) / 2 + 4; }

// Weight of a block's population variance s (0: not counted).
int BlockWeight(float s) {
  if (s < 30.0f) return 0;
  if (s < 100.0f) return 1;
  if (s < 200.0f) return 2;
  if (s < 400.0f) return 3;
  if (s < 800.0f) return 4;
  if (s < 2000.0f) return 5;
  if (s < 5000.0f) return 8;
  return 10;
}

bool IsZe4850(uint16_t code, bool rubber) {
  switch (code) {
    case 8: case 9: case 10: case 11: case 13: case 14:
      return true;
    case 16:
      return rubber;
    default:
      return false;
  }
}

// Sets bit i of map.
inline void SetBit(uint8_t *map, int32_t i) {
  map[i >> 3] = static_cast<uint8_t>(map[i >> 3] | (1u << (i & 7)));
}
inline bool GetBit(const uint8_t *map, int32_t i) { return (map[i >> 3] >> (i & 7)) & 1u; }

}  // namespace

extern "C" int32_t ZqImgQuality(const uint8_t *image, uint16_t width, uint16_t height,
                                uint8_t *area, uint8_t *quality, uint8_t *cond,
                                uint8_t *contrast, uint8_t *validMap) {
  if (IsZe4850(gSensorName, false))
    return ZqImgQuality_ZE4850_v4(image, width, height, area, quality, contrast, cond, nullptr);
  return ZqImgQuality_Other(image, width, height, area, quality, cond, validMap);
}

extern "C" int32_t ZqImgQualityRuber(const uint8_t *image, uint16_t width, uint16_t height,
                                     uint8_t *area, uint8_t *quality, uint8_t *cond,
                                     uint8_t *contrast, uint8_t *validMap) {
  if (IsZe4850(gSensorName, true))
    return ZqImgQuality_ZE4850_v5(image, width, height, area, quality, contrast, cond, nullptr);
  return ZqImgQuality_Other(image, width, height, area, quality, cond, validMap);
}

extern "C" int32_t ZqImgQuality_Other(const uint8_t *image, uint16_t width, uint16_t height,
                                      uint8_t *area, uint8_t *quality, uint8_t *cond,
                                      uint8_t *validMap) {
  if (image == nullptr || area == nullptr || quality == nullptr || cond == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  // Pixel counts are kept in 64 bits, so frames of 65536 pixels or more
  // are scored like smaller ones instead of wrapping.
  const int32_t w = width, h = height;
  const int64_t n = int64_t{w} * h;
  ScratchStack scratch(ScratchSource::kHeap);
  // Texture bits of this call; the block pass reads these, so bits the
  // caller had already set in validMap do not count as texture.
  uint8_t *tex = scratch.Take<uint8_t>(n / 8 + 1);
  if (tex == nullptr) {
    QUORV_LOGE("%s...malloc error, ret = %d", __func__, validMap == nullptr ? -1 : -2);
    return validMap == nullptr ? -1 : -2;
  }
  if (n == 0) {
    *area = 0;
    *quality = 0;
    *cond = 0;
    return 0;
  }

  const int32_t top = PadOf(h), left = PadOf(w);
  const int32_t prow = h + 2 * top, pcol = w + 2 * left;
  uint8_t *ext = scratch.Take<uint8_t>(int64_t{prow} * pcol);
  if (ext == nullptr) {
    QUORV_LOGE("%s...extSrc malloc fail, ret = %d", __func__, -2);
    return -2;
  }
  const int32_t fill = ZqMirrorFill_u8(image, h, w, top, left, ext);
  if (fill != 0) {
    QUORV_LOGE("%s...ZqMirrorFill_u8 error, ret = %d", __func__, fill);
    return fill;
  }
  uint32_t *sq = scratch.Take<uint32_t>(int64_t{prow} * pcol);
  uint32_t *col1 = scratch.Take<uint32_t>(pcol);
  uint32_t *col2 = scratch.Take<uint32_t>(pcol);
  if (sq == nullptr || col1 == nullptr || col2 == nullptr) {
    QUORV_LOGE("%s...malloc error, ret = %d", __func__, -2);
    return -2;
  }
  for (int32_t i = 0; i < prow * pcol; ++i) sq[i] = 81u * ext[i] * ext[i];
  for (int32_t y = 0; y < kWin; ++y)
    for (int32_t x = 0; x < pcol; ++x) {
      col1[x] += ext[y * pcol + x];
      col2[x] += sq[y * pcol + x];
    }

  int64_t textured = 0;
  float u1 = 0.0f, u2 = 0.0f;
  for (int32_t r = 0; r < h; ++r) {
    if (r > 0) {
      const int32_t in = (r + kWin - 1) * pcol, out = (r - 1) * pcol;
      for (int32_t x = 0; x < pcol; ++x) {
        col1[x] = col1[x] + ext[in + x] - ext[out + x];
        col2[x] = col2[x] + sq[in + x] - sq[out + x];
      }
    }
    uint32_t s1 = 0, s2 = 0;
    for (int32_t x = 0; x < kWin; ++x) {
      s1 += col1[x];
      s2 += col2[x];
    }
    for (int32_t c = 0; c < w; ++c) {
      if (c > 0) {
        s1 = s1 + col1[c + kWin - 1] - col1[c - 1];
        s2 = s2 + col2[c + kWin - 1] - col2[c - 1];
      }
      const uint32_t v = s2 - s1 * s1;
      if (v > kTextureLimit) {
        SetBit(tex, r * w + c);
        ++textured;
        const float u = static_cast<float>(v) * 1.5432099e-4f;
        u1 += u;
        u2 += u * u;
      }
    }
  }

  if (validMap != nullptr)
    for (int64_t i = 0; i < n / 8 + 1; ++i) validMap[i] = static_cast<uint8_t>(validMap[i] | tex[i]);
  const int32_t areaPct = static_cast<int32_t>(textured * 100 / n);
  *area = static_cast<uint8_t>(areaPct);
  *quality = 0;
  *cond = 0;
  if (areaPct == 0) return 0;

  // Spread of the local variances, untextured pixels counting as 0. A
  // rounding-negative spread (all variances equal) counts as none.
  const float nf = static_cast<float>(n);
  float ratio = ((u2 * nf - u1 * u1) * nf) / (u1 * u1 * (nf - 1.0f));
  if (!(ratio > 0.0f)) ratio = 0.0f;
  const float cv = sqrtf(ratio);
  const uint8_t tc = static_cast<uint8_t>(static_cast<int32_t>(100.0f / (cv + 1.0f)));

  const int32_t bRows = h / kBlock, bCols = w / kBlock;
  int32_t weights = 0;
  for (int32_t by = 0; by < bRows; ++by)
    for (int32_t bx = 0; bx < bCols; ++bx) {
      int64_t p = 0, sum = 0, sum2 = 0;
      for (int32_t y = by * kBlock; y < by * kBlock + kBlock; ++y)
        for (int32_t x = bx * kBlock; x < bx * kBlock + kBlock; ++x) {
          if (!GetBit(tex, y * w + x)) continue;
          const int64_t g = image[y * w + x];
          ++p;
          sum += g;
          sum2 += g * g;
        }
      if (p == 0) continue;
      const float s = static_cast<float>(sum2 * p - sum * sum) / static_cast<float>(p * p);
      weights += BlockWeight(s);
    }
  const float wsum = 10.0f * static_cast<float>(weights);
  const int64_t divisor = int64_t{bRows} * bCols * 100 / areaPct;
  int32_t condValue = 0;
  if (divisor > 0) {
    const float q = wsum / static_cast<float>(divisor);
    condValue = q >= 255.0f ? 255 : static_cast<int32_t>(q);
  }
  *cond = static_cast<uint8_t>(condValue);
  const int32_t t = condValue <= 50 ? 2 * condValue : 2 * (100 - condValue);
  *quality = static_cast<uint8_t>(static_cast<int32_t>(0.1 * t + 0.9 * tc));
  return 0;
}
