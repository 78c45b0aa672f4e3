// Oriented Gaussian smoothing.
#include "src/enhance/ZqGaussDirConvol.h"

#include <math.h>
#include <string.h>

#include "src/enhance/ZqCalcDirection.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr int kKernels = 13;

// Fills the 13 normalised kernels of (2r + 1)^2 weights each, directions
// t pi / 14, in single precision.
void BuildBank(int32_t r, float aspect, float spread, float *bank) {
  const int32_t side = 2 * r + 1;
  const float v = static_cast<float>(r) * spread;
  const float denom = 2.0f * 3.1415927f * v * v * (1.0f + aspect * aspect);
  float theta = 0.0f;
  for (int t = 0; t < kKernels; ++t) {
    float *k = bank + static_cast<int64_t>(t) * side * side;
    const float c = cosf(theta);
    const float s = sqrtf(1.0f - c * c);
    float sum = 0.0f;
    for (int32_t i = -r; i <= r; ++i) {
      for (int32_t j = -r; j <= r; ++j) {
        const float fi = static_cast<float>(i), fj = static_cast<float>(j);
        const float F = fi * c - fj * s;
        const float G = fi * s + fj * c;
        // A zero spread leaves the centre tap alone.
        const float w = denom > 0.0f ? expf(-(aspect * aspect * F * F + G * G) / denom)
                                     : (i == 0 && j == 0 ? 1.0f : 0.0f);
        k[(i + r) * side + (j + r)] = w;
        sum += w;
      }
    }
    for (int32_t q = 0; q < side * side; ++q) k[q] /= sum;
    theta += 0.22439948f;
  }
}

int KernelIndex(uint32_t f) {
  if (f > 180) f -= 180;
  if (f <= 7 || f > 173) return 0;
  return static_cast<int>((f - 7) / 14) + 1;
}

}  // namespace

extern "C" int32_t ZqGaussDirConvol(const uint16_t *src, int32_t cols, int32_t rows,
                                    int32_t radius, uint16_t *dst, float aspect, float spread) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1 || radius < 0) return -1;
  const int64_t n = int64_t{rows} * cols;
  if (dst == src) {
    uint16_t *tmp = static_cast<uint16_t *>(ZqSafeAlloc(static_cast<int32_t>(n * 2)));
    if (tmp == nullptr) {
      QUORV_LOGE("%s..._dst malloc fail, ret = %d", __func__, -2);
      return -2;
    }
    const int32_t ret = ZqGaussDirConvol(src, cols, rows, radius, tmp, aspect, spread);
    if (ret == 0) memcpy(dst, tmp, static_cast<size_t>(n) * 2);
    ZqSafeFree(tmp);
    return ret;
  }
  const int32_t side = 2 * radius + 1;
  const int64_t taps = int64_t{side} * side;
  float *bank = static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(kKernels * taps * 4)));
  uint8_t *map = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  int32_t ret = -1;
  if (bank != nullptr && map != nullptr && ZqCalcDirection(src, rows, cols, 2, map) == 0) {
    BuildBank(radius, aspect, spread, bank);
    for (int32_t y = 0; y < rows; ++y) {
      for (int32_t x = 0; x < cols; ++x) {
        const int64_t p = int64_t{y} * cols + x;
        const float *k = bank + KernelIndex(map[p]) * taps;
        float acc = 0.0f, wsum = 0.0f;
        for (int32_t i = -radius; i <= radius; ++i) {
          const int32_t yy = y + i;
          if (yy < 0 || yy >= rows) continue;
          for (int32_t j = -radius; j <= radius; ++j) {
            const int32_t xx = x + j;
            if (xx < 0 || xx >= cols) continue;
            const float w = k[(i + radius) * side + (j + radius)];
            acc += w * static_cast<float>(src[int64_t{yy} * cols + xx]);
            wsum += w;
          }
        }
        if (acc == 0.0f || wsum <= 0.0f) {
          dst[p] = src[p];
          continue;
        }
        const float v = acc / wsum;
        dst[p] = v >= 65535.0f ? 65535 : (v <= 0.0f ? 0 : static_cast<uint16_t>(v));
      }
    }
    ret = 0;
  }
  ZqSafeFree(map);
  ZqSafeFree(bank);
  return ret;
}
