#include "src/image/ZqGaussSmooth.h"

#include <immintrin.h>

#include <cmath>
#include <cstring>
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

// Lane kernels of the two passes. Each output is the same sequence of
// single-precision products and sums as the scalar loops (no contraction),
// so four-lane, eight-lane and scalar code give identical bits.

// out[x] = sum over t < size of k[t] * in[x + t] for x = 0 .. n - 1, in
// lanes; returns the first x not written.
int RowLanes4(const float *in, int n, const float *k, int size, float *out) {
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    __m128 a = _mm_setzero_ps(), b = a, d = a, e = a;
    const float *p = in + x;
    for (int t = 0; t < size; ++t) {
      const __m128 w = _mm_set1_ps(k[t]);
      a = _mm_add_ps(a, _mm_mul_ps(w, _mm_loadu_ps(p + t)));
      b = _mm_add_ps(b, _mm_mul_ps(w, _mm_loadu_ps(p + t + 4)));
      d = _mm_add_ps(d, _mm_mul_ps(w, _mm_loadu_ps(p + t + 8)));
      e = _mm_add_ps(e, _mm_mul_ps(w, _mm_loadu_ps(p + t + 12)));
    }
    _mm_storeu_ps(out + x, a);
    _mm_storeu_ps(out + x + 4, b);
    _mm_storeu_ps(out + x + 8, d);
    _mm_storeu_ps(out + x + 12, e);
  }
  for (; x + 4 <= n; x += 4) {
    __m128 v = _mm_setzero_ps();
    for (int t = 0; t < size; ++t)
      v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(k[t]), _mm_loadu_ps(in + x + t)));
    _mm_storeu_ps(out + x, v);
  }
  return x;
}

__attribute__((target("avx"))) int RowLanes8(const float *in, int n, const float *k, int size,
                                             float *out) {
  int x = 0;
  for (; x + 32 <= n; x += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, d = a, e = a;
    const float *p = in + x;
    for (int t = 0; t < size; ++t) {
      const __m256 w = _mm256_set1_ps(k[t]);
      a = _mm256_add_ps(a, _mm256_mul_ps(w, _mm256_loadu_ps(p + t)));
      b = _mm256_add_ps(b, _mm256_mul_ps(w, _mm256_loadu_ps(p + t + 8)));
      d = _mm256_add_ps(d, _mm256_mul_ps(w, _mm256_loadu_ps(p + t + 16)));
      e = _mm256_add_ps(e, _mm256_mul_ps(w, _mm256_loadu_ps(p + t + 24)));
    }
    _mm256_storeu_ps(out + x, a);
    _mm256_storeu_ps(out + x + 8, b);
    _mm256_storeu_ps(out + x + 16, d);
    _mm256_storeu_ps(out + x + 24, e);
  }
  for (; x + 8 <= n; x += 8) {
    __m256 v = _mm256_setzero_ps();
    for (int t = 0; t < size; ++t)
      v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_set1_ps(k[t]), _mm256_loadu_ps(in + x + t)));
    _mm256_storeu_ps(out + x, v);
  }
  return x + RowLanes4(in + x, n - x, k, size, out + x);
}

// Columns x = 0 .. of output row `out`: sum over t in [tLo, tHi) of k[t] *
// row (first + t) of img, times factor, in lanes; returns the first x not
// written.
int ColumnLanes4From(const ST_Image *img, int first, int tLo, int tHi, const float *k,
                     float factor, int width, int x, float *out) {
  const __m128 f = _mm_set1_ps(factor);
  for (; x + 32 <= width; x += 32) {
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (int t = tLo; t < tHi; ++t) {
      const __m128 w = _mm_set1_ps(k[t]);
      const float *in = ZqImgRow<float>(img, first + t) + x;
      a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_loadu_ps(in)));
      a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_loadu_ps(in + 4)));
      a2 = _mm_add_ps(a2, _mm_mul_ps(w, _mm_loadu_ps(in + 8)));
      a3 = _mm_add_ps(a3, _mm_mul_ps(w, _mm_loadu_ps(in + 12)));
      a4 = _mm_add_ps(a4, _mm_mul_ps(w, _mm_loadu_ps(in + 16)));
      a5 = _mm_add_ps(a5, _mm_mul_ps(w, _mm_loadu_ps(in + 20)));
      a6 = _mm_add_ps(a6, _mm_mul_ps(w, _mm_loadu_ps(in + 24)));
      a7 = _mm_add_ps(a7, _mm_mul_ps(w, _mm_loadu_ps(in + 28)));
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
      a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(k[t]),
                                   _mm_loadu_ps(ZqImgRow<float>(img, first + t) + x)));
    _mm_storeu_ps(out + x, _mm_mul_ps(a, f));
  }
  return x;
}

int ColumnLanes4(const ST_Image *img, int first, int tLo, int tHi, const float *k, float factor,
                 int width, float *out) {
  return ColumnLanes4From(img, first, tLo, tHi, k, factor, width, 0, out);
}

// The columns x0 .. that the eight-lane code leaves, as a count.
int ColumnLanes4Tail(const ST_Image *img, int first, int tLo, int tHi, const float *k,
                     float factor, int width, int x0, float *out) {
  return ColumnLanes4From(img, first, tLo, tHi, k, factor, width, x0, out) - x0;
}

__attribute__((target("avx"))) int ColumnLanes8(const ST_Image *img, int first, int tLo,
                                                int tHi, const float *k, float factor,
                                                int width, float *out) {
  const __m256 f = _mm256_set1_ps(factor);
  int x = 0;
  for (; x + 64 <= width; x += 64) {
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
           a7 = a0;
    for (int t = tLo; t < tHi; ++t) {
      const __m256 w = _mm256_set1_ps(k[t]);
      const float *in = ZqImgRow<float>(img, first + t) + x;
      a0 = _mm256_add_ps(a0, _mm256_mul_ps(w, _mm256_loadu_ps(in)));
      a1 = _mm256_add_ps(a1, _mm256_mul_ps(w, _mm256_loadu_ps(in + 8)));
      a2 = _mm256_add_ps(a2, _mm256_mul_ps(w, _mm256_loadu_ps(in + 16)));
      a3 = _mm256_add_ps(a3, _mm256_mul_ps(w, _mm256_loadu_ps(in + 24)));
      a4 = _mm256_add_ps(a4, _mm256_mul_ps(w, _mm256_loadu_ps(in + 32)));
      a5 = _mm256_add_ps(a5, _mm256_mul_ps(w, _mm256_loadu_ps(in + 40)));
      a6 = _mm256_add_ps(a6, _mm256_mul_ps(w, _mm256_loadu_ps(in + 48)));
      a7 = _mm256_add_ps(a7, _mm256_mul_ps(w, _mm256_loadu_ps(in + 56)));
    }
    _mm256_storeu_ps(out + x, _mm256_mul_ps(a0, f));
    _mm256_storeu_ps(out + x + 8, _mm256_mul_ps(a1, f));
    _mm256_storeu_ps(out + x + 16, _mm256_mul_ps(a2, f));
    _mm256_storeu_ps(out + x + 24, _mm256_mul_ps(a3, f));
    _mm256_storeu_ps(out + x + 32, _mm256_mul_ps(a4, f));
    _mm256_storeu_ps(out + x + 40, _mm256_mul_ps(a5, f));
    _mm256_storeu_ps(out + x + 48, _mm256_mul_ps(a6, f));
    _mm256_storeu_ps(out + x + 56, _mm256_mul_ps(a7, f));
  }
  for (; x + 8 <= width; x += 8) {
    __m256 a = _mm256_setzero_ps();
    for (int t = tLo; t < tHi; ++t)
      a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_set1_ps(k[t]),
                                         _mm256_loadu_ps(ZqImgRow<float>(img, first + t) + x)));
    _mm256_storeu_ps(out + x, _mm256_mul_ps(a, f));
  }
  return x + ColumnLanes4Tail(img, first, tLo, tHi, k, factor, width, x, out);
}

// Eight-lane kernels when the processor has them, unless a test asked for
// the four-lane ones.
bool gFourLanesOnly = false;

bool UseEightLanes() { return !gFourLanesOnly && __builtin_cpu_supports("avx"); }

int RowLanes(const float *in, int n, const float *k, int size, float *out) {
  return UseEightLanes() ? RowLanes8(in, n, k, size, out) : RowLanes4(in, n, k, size, out);
}

int ColumnLanes(const ST_Image *img, int first, int tLo, int tHi, const float *k, float factor,
                int width, float *out) {
  return UseEightLanes() ? ColumnLanes8(img, first, tLo, tHi, k, factor, width, out)
                         : ColumnLanes4(img, first, tLo, tHi, k, factor, width, out);
}

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
  // pTemp: a padded row (width + 2c), the edge weights (2c), and later
  // the last columns' sums.
  const int64_t extLen = int64_t{width} + 2 * int64_t{c};
  const int64_t tempBytes = (extLen + 2 * int64_t{c}) * static_cast<int64_t>(sizeof(float));
  float *pTemp = tempBytes > INT32_MAX
                     ? nullptr
                     : static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(tempBytes)));
  if (pTemp == nullptr) {
    ZQ_LOG_FAIL_IN(func, "ZqGaussianSmooth", "pTemp == NULL");
    ZqReleaseImage(&pImg);
    ZqSafeFree(pKernel);
    return ZQ_ERR_PARAM;
  }

  // Horizontal pass into pImg. Each row goes through pTemp with c zeros on
  // both sides, so every output is the tap-order sum from 0 of the same
  // products (a tap outside adds +0, which leaves any sum from 0 as it
  // is); near the ends the sum is then divided by the weight of the taps
  // inside, summed in tap order once for all rows.
  float *ext = pTemp;
  // Edge output x < c has entry x, x >= width - c entry x + 2c - width.
  float *edgeWeight = pTemp + extLen;
  auto edgeIndex = [c, width](int x) { return x < c ? x : x + 2 * c - width; };
  for (int x = 0; x < width; ++x) {
    if (x >= c && x + c < width) continue;
    float wsum = 0.0f;
    for (int t = 0; t < size; ++t) {
      const int xx = x - c + t;
      if (xx >= 0 && xx < width) wsum += pKernel[t];
    }
    edgeWeight[edgeIndex(x)] = wsum;
  }
  for (int x = 0; x < c; ++x) ext[x] = ext[c + width + x] = 0.0f;
  for (int y = 0; y < height; ++y) {
    const float *in = ZqImgRow<float>(src, y);
    float *out = ZqImgRow<float>(pImg, y);
    std::memcpy(ext + c, in, sizeof(float) * static_cast<size_t>(width));
    for (int x = RowLanes(ext, width, pKernel, size, out); x < width; ++x) {
      float v = 0.0f;
      for (int t = 0; t < size; ++t) v += pKernel[t] * ext[x + t];
      out[x] = v;
    }
    for (int x = 0; x < width; ++x) {
      if (x >= c && x + c < width) {
        x = width - c - 1;  // skip the inside
        continue;
      }
      const float wsum = edgeWeight[edgeIndex(x)];
      out[x] = std::fabs(wsum) > kTiny ? out[x] / wsum : 0.0f;
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
    const int x = ColumnLanes(pImg, y - c, tLo, tHi, pKernel, factor, width, out);
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

extern "C" void ZqGaussianSmoothFourLanesForTest(int32_t on) { gFourLanesOnly = on != 0; }

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
