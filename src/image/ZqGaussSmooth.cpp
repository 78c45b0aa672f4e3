#include "src/image/ZqGaussSmooth.h"

#include <xmmintrin.h>

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
    // Inside: four outputs at a time, each summed in tap order from 0.
    int x = c;
    for (; x + 15 + c < width; x += 16) {
      __m128 a = _mm_setzero_ps(), b = a, d = a, e = a;
      const float *p = in + x - c;
      for (int t = 0; t < size; ++t) {
        const __m128 k = _mm_set1_ps(pKernel[t]);
        a = _mm_add_ps(a, _mm_mul_ps(k, _mm_loadu_ps(p + t)));
        b = _mm_add_ps(b, _mm_mul_ps(k, _mm_loadu_ps(p + t + 4)));
        d = _mm_add_ps(d, _mm_mul_ps(k, _mm_loadu_ps(p + t + 8)));
        e = _mm_add_ps(e, _mm_mul_ps(k, _mm_loadu_ps(p + t + 12)));
      }
      _mm_storeu_ps(out + x, a);
      _mm_storeu_ps(out + x + 4, b);
      _mm_storeu_ps(out + x + 8, d);
      _mm_storeu_ps(out + x + 12, e);
    }
    for (; x + 3 + c < width; x += 4) {
      __m128 v = _mm_setzero_ps();
      for (int t = 0; t < size; ++t)
        v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(pKernel[t]), _mm_loadu_ps(in + x - c + t)));
      _mm_storeu_ps(out + x, v);
    }
    const int insideEnd = x;
    for (int x = 0; x < width; ++x) {
      if (x >= c && x < insideEnd) continue;
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
  // Vertical pass, one output row at a time: per column the rows inside
  // the image summed in tap order from 0, in registers four columns at a
  // time and the last few through pTemp.
  float factor = 1.0f;
  for (int y = 0; y < height; ++y) {
    // The taps whose rows lie inside the image: t in [tLo, tHi).
    const int tLo = c - y > 0 ? c - y : 0;
    const int tHi = height - y + c < size ? height - y + c : size;
    float wsum = 0.0f;
    for (int t = tLo; t < tHi; ++t) wsum += pKernel[t];
    if (std::fabs(wsum) > kTiny) factor = 1.0f / wsum;
    float *out = ZqImgRow<float>(dst, y);
    const __m128 f = _mm_set1_ps(factor);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
      __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
      for (int t = tLo; t < tHi; ++t) {
        const __m128 k = _mm_set1_ps(pKernel[t]);
        const float *in = ZqImgRow<float>(pImg, y - c + t) + x;
        a0 = _mm_add_ps(a0, _mm_mul_ps(k, _mm_loadu_ps(in)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(k, _mm_loadu_ps(in + 4)));
        a2 = _mm_add_ps(a2, _mm_mul_ps(k, _mm_loadu_ps(in + 8)));
        a3 = _mm_add_ps(a3, _mm_mul_ps(k, _mm_loadu_ps(in + 12)));
        a4 = _mm_add_ps(a4, _mm_mul_ps(k, _mm_loadu_ps(in + 16)));
        a5 = _mm_add_ps(a5, _mm_mul_ps(k, _mm_loadu_ps(in + 20)));
        a6 = _mm_add_ps(a6, _mm_mul_ps(k, _mm_loadu_ps(in + 24)));
        a7 = _mm_add_ps(a7, _mm_mul_ps(k, _mm_loadu_ps(in + 28)));
      }
      _mm_storeu_ps(out + x, _mm_mul_ps(a0, f));
      _mm_storeu_ps(out + x + 4, _mm_mul_ps(a1, f));
      _mm_storeu_ps(out + x + 8, _mm_mul_ps(a2, f));
      _mm_storeu_ps(out + x + 12, _mm_mul_ps(a3, f));
      _mm_storeu_ps(out + x + 16, _mm_mul_ps(a4, f));
      _mm_storeu_ps(out + x + 20, _mm_mul_ps(a5, f));
      _mm_storeu_ps(out + x + 24, _mm_mul_ps(a6, f));
      _mm_storeu_ps(out + x + 28, _mm_mul_ps(a7, f));
    }
    for (; x + 4 <= width; x += 4) {
      __m128 a = _mm_setzero_ps();
      for (int t = tLo; t < tHi; ++t)
        a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(pKernel[t]),
                                     _mm_loadu_ps(ZqImgRow<float>(pImg, y - c + t) + x)));
      _mm_storeu_ps(out + x, _mm_mul_ps(a, f));
    }
    for (int i = x; i < width; ++i) pTemp[i] = 0.0f;
    for (int t = tLo; t < tHi; ++t) {
      const float *in = ZqImgRow<float>(pImg, y - c + t);
      for (int i = x; i < width; ++i) pTemp[i] += pKernel[t] * in[i];
    }
    for (int i = x; i < width; ++i) out[i] = pTemp[i] * factor;
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
