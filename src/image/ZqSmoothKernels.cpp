// Derivative (Sobel-style) and Gaussian kernels of the smoothing file.
#include <stdint.h>

#include <cmath>

#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {

// Kernel of derivative `order` over ksize taps into out, using tmp
// (ksize values) as the working line.
void MakeDerivKernel(int32_t *out, int32_t order, int32_t ksize, int32_t *tmp) {
  if (ksize == 1) {
    out[0] = 1;
    return;
  }
  if (ksize == 3) {
    static const int32_t k3[3][3] = {{1, 2, 1}, {-1, 0, 1}, {1, -2, 1}};
    const int32_t *k = k3[order < 2 ? order : 2];
    for (int32_t i = 0; i < 3; ++i) out[i] = k[i];
    return;
  }
  for (int32_t i = 0; i < ksize; ++i) tmp[i] = i == 0 ? 1 : 0;
  for (int32_t pass = 0; pass < ksize - order - 1; ++pass)
    for (int32_t i = ksize - 1; i > 0; --i) tmp[i] += tmp[i - 1];
  for (int32_t pass = 0; pass < order; ++pass) {
    for (int32_t i = ksize - 1; i > 0; --i) tmp[i] = tmp[i - 1] - tmp[i];
    tmp[0] = -tmp[0];
  }
  for (int32_t i = 0; i < ksize; ++i) out[i] = tmp[i];
}

}  // namespace

extern "C" int32_t ZqGetSobelKernels(int32_t *kx, int32_t *ky, int32_t dx, int32_t dy,
                                     int32_t ksize) {
  if (kx == nullptr || ky == nullptr || ksize < 1 || (ksize & 1) == 0 || ksize >= 32 || dx < 0 ||
      dy < 0)
    return ZQ_ERR_PARAM;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  int32_t *tmp = scratch.Take<int32_t>(ksize + 1);
  if (tmp == nullptr) return ZQ_ERR_ALLOC;
  MakeDerivKernel(kx, dx, ksize, tmp);
  MakeDerivKernel(ky, dy, ksize, tmp);
  return ZQ_OK;
}

extern "C" void ZqGetGaussianKernel(float *kernel, int32_t ksize, float sigma) {
  static const float kSmall[4][7] = {
      {1.0f},
      {0.25f, 0.5f, 0.25f},
      {0.0625f, 0.25f, 0.375f, 0.25f, 0.0625f},
      {0.03125f, 0.109375f, 0.21875f, 0.28125f, 0.21875f, 0.109375f, 0.03125f},
  };
  if (kernel == nullptr || ksize < 1) return;
  if ((ksize & 1) != 0 && ksize <= 7 && sigma <= 0) {
    for (int32_t i = 0; i < ksize; ++i) kernel[i] = kSmall[ksize / 2][i];
    return;
  }
  const double s = sigma > 0 ? sigma : ((ksize - 1) * 0.5 - 1) * 0.3 + 0.8;
  const double scale2 = -0.5 / (s * s);
  auto tap = [&](int32_t i) {
    double x = i - (ksize - 1) * 0.5;
    return std::exp(scale2 * x * x);
  };
  double sum = 0;
  for (int32_t i = 0; i < ksize; ++i) sum += tap(i);
  for (int32_t i = 0; i < ksize; ++i) kernel[i] = static_cast<float>(tap(i) / sum);
}
