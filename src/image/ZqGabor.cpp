#include "src/image/ZqGabor.h"

#include <cmath>
#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

namespace {

constexpr int32_t kMaxRadius = 11584;  // (2R + 1)^2 floats stay below 2^31 bytes
constexpr double kPi = 3.14159265358979323846;

// Bank kernel for an orientation byte (degrees): the orientation is turned
// by 90 degrees, then mapped to the nearest of the n kernel angles i * 180 / n;
// the angle 180 is kernel 0 again.
int KernelIndex(uint8_t o, int n) {
  const float turned = o > 90 ? static_cast<float>(o) - 90.0f : static_cast<float>(o) + 90.0f;
  const float step = 180.0f / static_cast<float>(n);
  const float half = step / 2.0f;
  if (turned <= half || turned > 180.0f - half) return 0;
  const int index = static_cast<int>((turned - half) / step) + 1;
  return index < n ? index : 0;
}

// Frees the bank's kernels and the bank.
void FreeBank(ST_GaborKernel *bank, int n) {
  if (bank == nullptr) return;
  for (int i = 0; i < n; ++i) ZqSafeFree(bank[i].kernel);
  ZqSafeFree(bank);
}

template <typename Out>
int32_t GaborFilter(const char *func, bool wide, const uint8_t *src,
                    const uint8_t *orientation, uint16_t rows, uint16_t cols, uint8_t n,
                    int32_t period, float gamma, float sigma, int32_t radius, Out *dst,
                    float outMax) {
  if (src == nullptr || orientation == nullptr || dst == nullptr || gamma <= 0.001f ||
      sigma <= 0.001f || n == 0 || period == 0 || radius <= 0 || radius > kMaxRadius) {
    return ZQ_ERR_PARAM;
  }
  auto *bank = static_cast<ST_GaborKernel *>(
      ZqSafeAlloc(n * static_cast<int32_t>(sizeof(ST_GaborKernel))));
  if (bank == nullptr) return ZQ_ERR_ALLOC;
  for (int i = 0; i < n; ++i) {
    const float theta = static_cast<float>(i * kPi / n);
    const int32_t ret = GenGaborFilter(&bank[i], gamma, sigma, theta, 0.0f, period, radius);
    if (ret != ZQ_OK) {
      if (wide) {
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...GenGaborFilter malloc fail, ret = %d ;", func,
                     ret);
      } else {
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...GenGaborFilter malloc fail, ret = %d", func, ret);
      }
      FreeBank(bank, n);
      return ZQ_ERR_ALLOC;
    }
  }
  const size_t pixels = static_cast<size_t>(rows) * cols;
  auto *work = pixels > INT32_MAX ? nullptr
                                  : static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(pixels)));
  if (work == nullptr) {
    FreeBank(bank, n);
    return ZQ_ERR_ALLOC;
  }
  std::memcpy(work, src, pixels);

  const int size = 2 * radius + 1;
  for (int y = 0; y < rows; ++y) {
    const int i0 = y - radius < 0 ? radius - y : 0;
    const int i1 = y + radius >= rows ? radius + rows - 1 - y : size - 1;
    for (int x = 0; x < cols; ++x) {
      const int j0 = x - radius < 0 ? radius - x : 0;
      const int j1 = x + radius >= cols ? radius + cols - 1 - x : size - 1;
      const float *k = bank[KernelIndex(orientation[static_cast<size_t>(y) * cols + x], n)].kernel;
      float sum = 0.0f, wsum = 0.0f;
      for (int i = i0; i <= i1; ++i) {
        const float *kr = k + static_cast<size_t>(i) * size;
        const uint8_t *pr = work + static_cast<size_t>(y - radius + i) * cols + (x - radius);
        for (int j = j0; j <= j1; ++j) {
          sum += kr[j] * static_cast<float>(pr[j]);
          wsum += kr[j];
        }
      }
      const size_t at = static_cast<size_t>(y) * cols + x;
      if (sum == 0.0f) {
        dst[at] = work[at];
        continue;
      }
      const float v = sum / wsum;
      dst[at] = !(v > 0.0f) ? 0 : v >= outMax ? static_cast<Out>(outMax) : static_cast<Out>(v);
    }
  }
  ZqSafeFree(work);
  FreeBank(bank, n);
  return ZQ_OK;
}

}  // namespace

extern "C" int32_t GenGaborFilter(ST_GaborKernel *entry, float gamma, float sigma, float theta,
                                  float phase, int32_t period, int32_t radius) {
  if (entry == nullptr || !(sigma > 0.0f) || period == 0 || radius < 0 || radius > kMaxRadius) {
    return ZQ_ERR_PARAM;
  }
  const int size = 2 * radius + 1;
  entry->size = static_cast<uint16_t>(size);
  ZqSafeFree(entry->kernel);
  entry->kernel = static_cast<float *>(ZqSafeAlloc(size * size * static_cast<int32_t>(sizeof(float))));
  if (entry->kernel == nullptr) return ZQ_ERR_ALLOC;
  const float c = std::cos(theta);
  const float s = std::sqrt(1.0f - c * c);
  const float twoSigma2 = 2.0f * sigma * sigma;
  const float freq = static_cast<float>(2.0 * kPi) / static_cast<float>(period);
  float sum = 0.0f;
  float *k = entry->kernel;
  for (int i = -radius; i <= radius; ++i) {
    for (int j = -radius; j <= radius; ++j) {
      const float u = static_cast<float>(j) * c + static_cast<float>(i) * s;
      const float v = static_cast<float>(i) * c - static_cast<float>(j) * s;
      const float value = std::exp(-(u * u + gamma * gamma * v * v) / twoSigma2) *
                          std::cos(phase + freq * u);
      *k++ = value;
      sum += value;
    }
  }
  if (std::fabs(sum) > 1e-10f) {
    for (int t = 0; t < size * size; ++t) entry->kernel[t] /= sum;
  }
  return ZQ_OK;
}

extern "C" int32_t AutoGaborFilter(const uint8_t *src, const uint8_t *orientation, uint16_t rows,
                                   uint16_t cols, uint8_t n, int32_t period, float gamma,
                                   float sigma, int32_t radius, uint8_t *dst) {
  return GaborFilter<uint8_t>("AutoGaborFilter", false, src, orientation, rows, cols, n, period,
                              gamma, sigma, radius, dst, 255.0f);
}

extern "C" int32_t AutoGaborFilter16(const uint8_t *src, const uint8_t *orientation, uint16_t rows,
                                     uint16_t cols, uint8_t n, int32_t period, float gamma,
                                     float sigma, int32_t radius, uint16_t *dst) {
  return GaborFilter<uint16_t>("AutoGaborFilter16", true, src, orientation, rows, cols, n, period,
                               gamma, sigma, radius, dst, 65535.0f);
}
