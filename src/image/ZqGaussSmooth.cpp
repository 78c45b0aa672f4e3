#include "src/image/ZqGaussSmooth.h"

#include <cmath>
#include <vector>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqMemoryManager.h"

// Values of ZqIntiGaussPyrPara(1, 6, 1.6f, 0.5f).
const int32_t GaussKernelSize[ZQ_GAUSS_LEVELS] = {9, 9, 11, 13, 15, 19};
const float GaussKernelExp[ZQ_GAUSS_LEVELS][ZQ_GAUSS_HALF_KERNEL] = {
    {1.0f, 0.725776792f, 0.277467608f, 0.0558762997f, 0.00592719391f, 0.000331189687f, 9.74788964e-06f, 1.51130095e-07f, 1.23423138e-09f, 5.30945123e-12f},  // sigma 1.2490, size 9
    {1.0f, 0.717126727f, 0.264474392f, 0.0501606502f, 0.00489254063f, 0.000245413074f, 6.33071386e-06f, 8.39845455e-08f, 5.72977721e-10f, 2.01033417e-12f},  // sigma 1.2263, size 9
    {1.0f, 0.811019182f, 0.432637841f, 0.151802927f, 0.0350346714f, 0.00531836459f, 0.000531031867f, 3.48758913e-05f, 1.50658013e-06f, 4.28076525e-08f},  // sigma 1.5450, size 11
    {1.0f, 0.876381516f, 0.589892447f, 0.304957181f, 0.121085279f, 0.0369258262f, 0.00864879135f, 0.00155584805f, 0.000214963846f, 2.28112822e-05f},  // sigma 1.9466, size 13
    {1.0f, 0.920235515f, 0.717126787f, 0.47325024f, 0.264474452f, 0.125162587f, 0.0501606762f, 0.0170235466f, 0.00489254529f, 0.00119074143f},  // sigma 2.4525, size 15
    {1.0f, 0.948981583f, 0.811019182f, 0.624194682f, 0.4326379f, 0.270050317f, 0.151802987f, 0.076847814f, 0.0350346901f, 0.014384036f},  // sigma 3.0900, size 19
};

ST_GaussPyrPara gGaussPyrPara = {0, nullptr, nullptr};

namespace {

constexpr float kTiny = 1e-10f;

// The separable smoothing of both entry points; `func` names the caller in
// the log lines, the messages carry "ZqGaussianSmooth".
int32_t SmoothWith(const char *func, const ST_Image *src, ST_Image *dst, int size,
                   const float *half) {
  if (size < 3) {
    ZQ_LOG_FAIL_IN(func, "ZqGaussianSmooth", "ksize < 3");
    return ZQ_ERR_PARAM;
  }
  const int c = (size - 1) / 2;
  const int width = src->width, height = src->height;
  float *pKernel = static_cast<float *>(ZqSafeAlloc(size * static_cast<int32_t>(sizeof(float))));
  if (pKernel == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqGaussianSmooth", "pKernel == NULL");
    return ZQ_ERR_PARAM;
  }
  float sum = 0.0f;
  for (int i = 0; i < size; ++i) {
    pKernel[i] = half[i < c ? c - i : i - c];
    sum += pKernel[i];
  }
  if (std::fabs(sum) > kTiny) {
    for (int i = 0; i < size; ++i) pKernel[i] /= sum;
  }
  ST_Size tmpSize = {height, width};
  ST_Image *pImg = ZqCreateImage(&tmpSize, DEPTH_32F);
  if (pImg == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqGaussianSmooth", "pImg == NULL");
    ZqSafeFree(pKernel);
    return ZQ_ERR_PARAM;
  }
  float *pTemp = static_cast<float *>(ZqSafeAlloc(width * static_cast<int32_t>(sizeof(float))));
  if (pTemp == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqGaussianSmooth", "pTemp == NULL");
    ZqReleaseImage(&pImg);
    ZqSafeFree(pKernel);
    return ZQ_ERR_PARAM;
  }

  // Horizontal pass into pImg; near the ends only the taps inside the row.
  for (int y = 0; y < height; ++y) {
    const float *in = ZqImgRow<float>(src, y);
    float *out = ZqImgRow<float>(pImg, y);
    for (int x = 0; x < width; ++x) {
      float v = 0.0f;
      if (x - c >= 0 && x + c < width) {
        for (int t = 0; t < size; ++t) v += pKernel[t] * in[x - c + t];
        out[x] = v;
        continue;
      }
      float wsum = 0.0f;
      for (int t = 0; t < size; ++t) {
        const int xx = x - c + t;
        if (xx < 0 || xx >= width) continue;
        v += pKernel[t] * in[xx];
        wsum += pKernel[t];
      }
      if (std::fabs(wsum) > kTiny) out[x] = v / wsum;
    }
  }
  // Vertical pass, one output row at a time through pTemp.
  float factor = 1.0f;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pTemp[x] = 0.0f;
    float wsum = 0.0f;
    for (int t = 0; t < size; ++t) {
      const int yy = y - c + t;
      if (yy < 0 || yy >= height) continue;
      const float *in = ZqImgRow<float>(pImg, yy);
      const float k = pKernel[t];
      for (int x = 0; x < width; ++x) pTemp[x] += k * in[x];
      wsum += k;
    }
    if (std::fabs(wsum) > kTiny) factor = 1.0f / wsum;
    float *out = ZqImgRow<float>(dst, y);
    for (int x = 0; x < width; ++x) out[x] = pTemp[x] * factor;
  }
  ZqSafeFree(pTemp);
  ZqReleaseImage(&pImg);
  ZqSafeFree(pKernel);
  return ZQ_OK;
}

// Checks shared by both entry points.
bool ImagesUsable(const char *func, const ST_Image *src, const ST_Image *dst) {
  if (src == nullptr || dst == nullptr) {
    ZQ_LOG_FAIL_IN(func, func, "(src == NULL) || (dst == NULL)");
    return false;
  }
  if (!ZqImgIs(src, DEPTH_32F) || !ZqImgIs(dst, DEPTH_32F)) {
    ZQ_LOG_FAIL_IN(func, func, "depth != DEPTH_32F || imageData == NULL");
    return false;
  }
  if (src->width != dst->width || src->height != dst->height) {
    ZQ_LOG_FAIL_IN(func, func, "size of dst != size of src");
    return false;
  }
  return true;
}

}  // namespace

extern "C" int32_t ZqGaussianSmooth(const ST_Image *src, ST_Image *dst, int32_t level) {
  if (!ImagesUsable(__func__, src, dst)) return ZQ_ERR_PARAM;
  ZQ_CHECK((level < 0) || (level >= ZQ_GAUSS_LEVELS), ZQ_ERR_PARAM);
  return SmoothWith(__func__, src, dst, GaussKernelSize[level], GaussKernelExp[level]);
}

extern "C" int32_t ZqGaussianSmooth_debug(const ST_Image *src, ST_Image *dst, int32_t level) {
  if (!ImagesUsable(__func__, src, dst)) return ZQ_ERR_PARAM;
  ZQ_CHECK((level < 0) || ((uint32_t)level >= gGaussPyrPara.count), ZQ_ERR_PARAM);
  return SmoothWith(__func__, src, dst, gGaussPyrPara.kernelSize[level],
                    gGaussPyrPara.kernel[level]);
}

extern "C" void ZqReleaseGaussPyrPara(void) {
  if (gGaussPyrPara.kernel != nullptr) {
    for (uint32_t j = 0; j < gGaussPyrPara.count; ++j) ZqSafeFree(gGaussPyrPara.kernel[j]);
  }
  ZqSafeFree(gGaussPyrPara.kernel);
  ZqSafeFree(gGaussPyrPara.kernelSize);
  gGaussPyrPara = {0, nullptr, nullptr};
}

extern "C" int32_t ZqIntiGaussPyrPara(uint8_t doubled, int32_t levels, float sigma,
                                      float initSigma) {
  if (levels < 4 || !(sigma > 0.0f) || !(initSigma > 0.0f)) return ZQ_ERR_PARAM;
  const float d = doubled ? 2.0f * initSigma : initSigma;
  if (!(sigma * sigma > d * d)) return ZQ_ERR_PARAM;  // the input is already blurrier
  if (int64_t{levels} * static_cast<int64_t>(sizeof(float *)) > INT32_MAX) return ZQ_ERR_ALLOC;

  // Every level's sigma and size first, so that a refusal keeps the
  // earlier parameters.
  const float k = std::pow(2.0f, 1.0f / static_cast<float>(levels - 3));
  std::vector<float> sig(static_cast<size_t>(levels));
  std::vector<uint16_t> sizes(static_cast<size_t>(levels));
  for (int32_t j = 0; j < levels; ++j) {
    if (j == 0) sig[0] = std::sqrt(sigma * sigma - d * d);
    else if (j == 1) sig[1] = sigma * std::sqrt(k * k - 1.0f);
    else sig[j] = sig[j - 1] * k;
    const float width = 6.0f * sig[j] + 1.0f;
    if (!(width < 65535.0f)) return ZQ_ERR_PARAM;
    sizes[j] = static_cast<uint16_t>(static_cast<int>(width) | 1);
  }

  ZqReleaseGaussPyrPara();
  gGaussPyrPara.kernelSize =
      static_cast<uint16_t *>(ZqSafeAlloc(levels * static_cast<int32_t>(sizeof(uint16_t))));
  gGaussPyrPara.kernel =
      static_cast<float **>(ZqSafeAlloc(levels * static_cast<int32_t>(sizeof(float *))));
  if (gGaussPyrPara.kernelSize == nullptr || gGaussPyrPara.kernel == nullptr) {
    ZqReleaseGaussPyrPara();
    return ZQ_ERR_ALLOC;
  }
  gGaussPyrPara.count = static_cast<uint32_t>(levels);
  for (int32_t j = 0; j < levels; ++j) {
    gGaussPyrPara.kernelSize[j] = sizes[j];
    const int half = sizes[j] / 2 + 1;
    float *kernel = static_cast<float *>(ZqSafeAlloc(half * static_cast<int32_t>(sizeof(float))));
    if (kernel == nullptr) {
      ZqReleaseGaussPyrPara();
      return ZQ_ERR_ALLOC;
    }
    const float twoSigma2 = 2.0f * sig[j] * sig[j];
    for (int i = 0; i < half; ++i) kernel[i] = std::exp(-static_cast<float>(i * i) / twoSigma2);
    gGaussPyrPara.kernel[j] = kernel;
  }
  return ZQ_OK;
}
