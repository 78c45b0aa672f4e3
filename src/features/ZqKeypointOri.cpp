#include "src/features/ZqKeypointOri.h"

#include <cmath>
#include <cstring>

#include <immintrin.h>

#include "src/features/ZqAlgMode.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

extern "C" const float TAN_TAB[10] = {0.0f,       0.0f,       0.0f,       0.0f,       -0.000003f,
                                      -0.000037f, -0.000253f, -0.001274f, -0.005082f, -0.017001f};

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;

// Window radius of the orientation histogram per interval 1..3.
constexpr int32_t kOriRadius[3] = {9, 11, 14};
// Radius in imageMode 16, whatever the interval.
constexpr int32_t kOriRadiusFast = 7;
// Table sides per interval 1..3.
constexpr int32_t kOriSide[3] = {10, 12, 15};

// gOriWeightTab, filled at start-up from its definition.
struct OriWeightTab {
  float w[3][ZQ_ORI_WEIGHT_SIDE_MAX][ZQ_ORI_WEIGHT_SIDE_MAX];
  OriWeightTab() : w() {
    for (int s = 1; s <= 3; ++s) {
      const float sw = 1.5f * 1.6f * powf(2.0f, static_cast<float>(s) / 3.0f);
      const float den = 2.0f * sw * sw;
      for (int i = 0; i < kOriSide[s - 1]; ++i) {
        for (int j = 0; j < kOriSide[s - 1]; ++j) {
          w[s - 1][i][j] = expf(-static_cast<float>(i * i + j * j) / den);
        }
      }
    }
  }
};
const OriWeightTab gOriWeightTab;

inline int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// The bin of an angle before wrapping. Every step (adding, multiplying by
// positive constants, truncating) is non-decreasing, so the whole is: an
// angle between two others whose bins agree has their bin too.
inline int32_t OriBinRaw(float ori) {
  return static_cast<int32_t>((ori + kPi) * 36.0f * 0.15915494f + 0.5f);
}

// Orientation bin of an angle in [-pi, pi]: 36 wraps to 0.
inline int32_t OriBin(float ori) {
  int32_t bin = OriBinRaw(ori);
  if (bin >= ZQ_ORI_HIST_BINS) bin -= ZQ_ORI_HIST_BINS;
  if (bin < 0 || bin >= ZQ_ORI_HIST_BINS) bin = 0;  // angles outside [-pi, pi]
  return bin;
}

// Arctangent of t in [0, 1]: an odd polynomial of degree 13 (Chebyshev fit
// of atan(sqrt(z)) / sqrt(z); within 5e-7 of the true value), evaluated in
// float in pairs of powers of z (a short chain of dependent steps). With
// its rounding (coefficients, each step) it stays within 3e-6.
constexpr float kAtanC[7] = {0.9999992255890976f,   -0.3332567803972415f,  0.19872040268216465f,
                             -0.13447864058097145f, 0.08312645300631331f,  -0.036360430857419405f,
                             0.007648353926797003f};
inline float AtanUnit(float t) {
  const float z = t * t, z2 = z * z, z4 = z2 * z2;
  const float p01 = kAtanC[0] + kAtanC[1] * z, p23 = kAtanC[2] + kAtanC[3] * z;
  const float p45 = kAtanC[4] + kAtanC[5] * z;
  const float p = (p01 + z2 * p23) + z4 * (p45 + z2 * kAtanC[6]);
  return t * p;
}

// By (steep, dx < 0): angle = base + sign * atan(t), before dy's sign.
constexpr float kAngleBase[4] = {0.0f, kHalfPi, kPi, kHalfPi};
constexpr float kAngleSign[4] = {1.0f, -1.0f, -1.0f, 1.0f};

// Angle of (dx, dy) as atan2 gives it, within 4e-6 (dx, dy finite and
// nonzero). No branches: gradient directions are as good as random.
inline float Atan2Near(float dx, float dy) {
  const float a = fabsf(dx), b = fabsf(dy);
  const float t = (a < b ? a : b) / (a < b ? b : a);  // in (0, 1]
  const int q = static_cast<int>(b > a) | (static_cast<int>(dx < 0.0f) << 1);
  return std::copysign(kAngleBase[q] + kAngleSign[q] * AtanUnit(t), dy);
}

// Margin around the estimate within which atan2f's result surely lies: the
// estimate's error and the rounding of the bracket's ends plus far more
// than atan2f's own (a few units in the last place, below 1e-6 at pi).
constexpr float kAtanMargin = 2e-5f;

// OriBin(atan2f(dy, dx)). Where the angle lies clear of a bin edge by the
// margin the bin follows from the estimate alone; elsewhere (and for zero
// or non-finite components) atan2f decides.
inline int32_t GradientBin(float dx, float dy) {
  const float a = fabsf(dx), b = fabsf(dy);
  if (a > 0.0f && b > 0.0f && a <= 3.4028235e38f && b <= 3.4028235e38f) {
    const float th = Atan2Near(dx, dy);
    const int32_t lo = OriBinRaw(th - kAtanMargin);
    if (lo == OriBinRaw(th + kAtanMargin)) {
      int32_t bin = lo;
      if (bin >= ZQ_ORI_HIST_BINS) bin -= ZQ_ORI_HIST_BINS;
      if (bin < 0 || bin >= ZQ_ORI_HIST_BINS) bin = 0;
      return bin;
    }
  }
  return OriBin(atan2f(dy, dx));
}

// Bins of n gradients, one by one.
void GradientBinsPlain(const float *dx, const float *dy, int32_t n, int32_t *bins) {
  for (int32_t k = 0; k < n; ++k) bins[k] = GradientBin(dx[k], dy[k]);
}

// The same eight at a time on processors with AVX2: every lane takes the
// float steps of GradientBin, so the bins are the same; lanes the bracket
// leaves open go to atan2f.
__attribute__((target("avx2"))) void GradientBinsWide(const float *dx, const float *dy, int32_t n,
                                                      int32_t *bins) {
  const __m256 sign = _mm256_set1_ps(-0.0f), zero = _mm256_setzero_ps();
  const __m256 maxF = _mm256_set1_ps(3.4028235e38f), one = _mm256_set1_ps(1.0f);
  const __m256 halfPi = _mm256_set1_ps(kHalfPi), pi = _mm256_set1_ps(kPi);
  const __m256 margin = _mm256_set1_ps(kAtanMargin);
  const __m256 f36 = _mm256_set1_ps(36.0f), fInv = _mm256_set1_ps(0.15915494f);
  const __m256 fHalf = _mm256_set1_ps(0.5f);
  const __m256i i36 = _mm256_set1_epi32(ZQ_ORI_HIST_BINS), i35 = _mm256_set1_epi32(ZQ_ORI_HIST_BINS - 1);
  __m256 c[7];
  for (int m = 0; m < 7; ++m) c[m] = _mm256_set1_ps(kAtanC[m]);
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m256 x = _mm256_loadu_ps(dx + k), y = _mm256_loadu_ps(dy + k);
    const __m256 a = _mm256_andnot_ps(sign, x), b = _mm256_andnot_ps(sign, y);
    const __m256 ok = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(a, zero, _CMP_GT_OQ), _mm256_cmp_ps(b, zero, _CMP_GT_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(a, maxF, _CMP_LE_OQ), _mm256_cmp_ps(b, maxF, _CMP_LE_OQ)));
    const __m256 steep = _mm256_cmp_ps(b, a, _CMP_GT_OQ);
    const __m256 lo = _mm256_blendv_ps(b, a, steep), hi = _mm256_blendv_ps(a, b, steep);
    const __m256 t = _mm256_div_ps(lo, hi);
    // AtanUnit's steps.
    const __m256 z = _mm256_mul_ps(t, t), z2 = _mm256_mul_ps(z, z), z4 = _mm256_mul_ps(z2, z2);
    const __m256 p01 = _mm256_add_ps(c[0], _mm256_mul_ps(c[1], z));
    const __m256 p23 = _mm256_add_ps(c[2], _mm256_mul_ps(c[3], z));
    const __m256 p45 = _mm256_add_ps(c[4], _mm256_mul_ps(c[5], z));
    const __m256 p = _mm256_mul_ps(
        t, _mm256_add_ps(_mm256_add_ps(p01, _mm256_mul_ps(z2, p23)),
                         _mm256_mul_ps(z4, _mm256_add_ps(p45, _mm256_mul_ps(z2, c[6])))));
    // Base and sign by (steep, dx < 0) as in Atan2Near, then dy's sign.
    const __m256 neg = _mm256_cmp_ps(x, zero, _CMP_LT_OQ);
    const __m256 base = _mm256_blendv_ps(_mm256_blendv_ps(zero, pi, neg), halfPi, steep);
    const __m256 sgn = _mm256_or_ps(one, _mm256_and_ps(_mm256_xor_ps(steep, neg), sign));
    __m256 v = _mm256_add_ps(base, _mm256_mul_ps(sgn, p));
    v = _mm256_or_ps(_mm256_andnot_ps(sign, v), _mm256_and_ps(sign, y));
    // OriBinRaw of both ends of the bracket.
    const __m256 flo = _mm256_sub_ps(v, margin), fhi = _mm256_add_ps(v, margin);
    const __m256i rlo = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(flo, pi), f36), fInv), fHalf));
    const __m256i rhi = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(fhi, pi), f36), fInv), fHalf));
    __m256i bin = _mm256_sub_epi32(rlo, _mm256_and_si256(i36, _mm256_cmpgt_epi32(rlo, i35)));
    const __m256i bad = _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), bin),
                                        _mm256_cmpgt_epi32(bin, i35));
    bin = _mm256_andnot_si256(bad, bin);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(bins + k), bin);
    const int settled =
        _mm256_movemask_ps(_mm256_and_ps(ok, _mm256_castsi256_ps(_mm256_cmpeq_epi32(rlo, rhi))));
    if (settled != 0xff)
      for (int m = 0; m < 8; ++m)
        if (!(settled & (1 << m))) bins[k + m] = OriBin(atan2f(dy[k + m], dx[k + m]));
  }
  for (; k < n; ++k) bins[k] = GradientBin(dx[k], dy[k]);
}

bool gVectorBins = true;

bool UseWideBins() { return gVectorBins && __builtin_cpu_supports("avx2"); }

// Unweighted histogram of one keypoint (Mfb): magnitudes into the bins of
// the atan2f orientations, row by row. Nothing is cached: a pixel's bin
// costs less than looking it up would.
void PlainOriHist(const ST_DetectData *dd, const ST_Image *img, float *hist) {
  const int32_t radius = dd->intv >= 1 && dd->intv <= 3 ? kOriRadius[dd->intv - 1] : 0;
  // Columns inside the image.
  const int32_t jLo = dd->c - radius >= 1 ? -radius : 1 - dd->c;
  const int32_t jHi = dd->c + radius <= img->width - 2 ? radius : img->width - 2 - dd->c;
  if (jLo > jHi) return;
  const int32_t n = jHi - jLo + 1;  // at most 2 * 14 + 1
  const bool wide = UseWideBins();
  float dx[32], dy[32], mag[32];
  int32_t bins[32];
  for (int32_t i = -radius; i <= radius; ++i) {
    const int32_t row = dd->r + i;
    if (row <= 0 || row >= img->height - 1) continue;
    const int32_t c0 = dd->c + jLo;
    const float *up = ZqImgRow<float>(img, row - 1) + c0;
    const float *mid = ZqImgRow<float>(img, row) + c0;
    const float *down = ZqImgRow<float>(img, row + 1) + c0;
    int32_t k = 0;
#if defined(__SSE2__)
    // Four at a time: the same float steps (sqrt is exact either way).
    for (; wide && k + 4 <= n; k += 4) {
      const __m128 x = _mm_sub_ps(_mm_loadu_ps(mid + k + 1), _mm_loadu_ps(mid + k - 1));
      const __m128 y = _mm_sub_ps(_mm_loadu_ps(up + k), _mm_loadu_ps(down + k));
      _mm_storeu_ps(dx + k, x);
      _mm_storeu_ps(dy + k, y);
      _mm_storeu_ps(mag + k, _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y))));
    }
#endif
    for (; k < n; ++k) {
      dx[k] = mid[k + 1] - mid[k - 1];
      dy[k] = up[k] - down[k];
      mag[k] = sqrtf(dx[k] * dx[k] + dy[k] * dy[k]);
    }
    if (wide) {
      // Whole groups of eight: the lanes past n see a gradient well inside
      // a bin (one on an edge would cost an atan2f).
      const int32_t whole = (n + 7) & ~7;
      for (int32_t k = n; k < whole; ++k) {
        dx[k] = 1.0f;
        dy[k] = 0.001f;
      }
      GradientBinsWide(dx, dy, whole, bins);
    } else {
      GradientBinsPlain(dx, dy, n, bins);
    }
    for (int32_t k = 0; k < n; ++k) {
      // A zero magnitude adds nothing to whichever bin.
      if (mag[k] != 0.0f) hist[bins[k]] += mag[k];
    }
  }
}

// Histogram of one keypoint. weighted: Mfs (weights, polynomial arctangent
// gradients); else Mfb (plain magnitudes, atan2f gradients).
void OriHist(const ST_DetectFeature *feat, ST_Image ***gaussPyr, ST_Image ***dogPyr, float *hist,
             bool weighted) {
  std::memset(hist, 0, ZQ_ORI_HIST_BINS * sizeof(float));
  const ST_DetectData *dd = feat->ddata;
  const ST_Image *img = dd != nullptr ? gaussPyr[dd->octv][dd->intv] : nullptr;
  const bool tableIntv = dd != nullptr && dd->intv >= 1 && dd->intv <= 3;
  if (img == nullptr || (weighted && !tableIntv)) {
    QUORV_LOG_IN(weighted ? "ZqMfsOriHist" : "ZqMfbOriHist", QUORV_LOG_ERROR,
                 "ZqMfsOriHist...(img == NULL) || (hist == NULL) || (w == NULL)");
    return;
  }
  if (!weighted) {
    PlainOriHist(dd, img, hist);
    return;
  }
  int32_t radius = tableIntv ? kOriRadius[dd->intv - 1] : 0;
  if (weighted && gAlgMode.imageMode == 16) radius = kOriRadiusFast;
  const float (*weights)[ZQ_ORI_WEIGHT_SIDE_MAX] =
      weighted ? gOriWeightTab.w[dd->intv - 1] : nullptr;
  // Columns inside the image.
  const int32_t jLo = dd->c - radius >= 1 ? -radius : 1 - dd->c;
  const int32_t jHi = dd->c + radius <= img->width - 2 ? radius : img->width - 2 - dd->c;
  for (int32_t i = -radius; i <= radius; ++i) {
    const int32_t row = dd->r + i;
    if (row <= 0 || row >= img->height - 1 || jLo > jHi) continue;
    // The gradient cache of ZqCachedGradient, read and filled row by row here.
    float *oriRow = ZqImgRow<float>(dogPyr[dd->octv][dd->intv - 1], row);
    float *magRow = ZqImgRow<float>(dogPyr[dd->octv][dd->intv + 2], row);
    const float *up = ZqImgRow<float>(img, row - 1);
    const float *mid = ZqImgRow<float>(img, row);
    const float *down = ZqImgRow<float>(img, row + 1);
    for (int32_t j = jLo; j <= jHi; ++j) {
      const int32_t col = dd->c + j;
      float mag, ori;
      if (oriRow[col] != 0.0f || magRow[col] != 0.0f) {
        mag = magRow[col];
        ori = oriRow[col];
      } else {
        if (weighted) {
          ZqCalcGradMagOriAt(img->rowBytes, reinterpret_cast<const float *>(img->imageData), row,
                             col, &mag, &ori);
        } else {
          const float dx = mid[col + 1] - mid[col - 1];
          const float dy = up[col] - down[col];
          mag = sqrtf(dx * dx + dy * dy);
          ori = atan2f(dy, dx);
        }
        magRow[col] = mag;
        oriRow[col] = ori;
      }
      const int32_t bin = OriBin(ori);
      if (weighted) {
        hist[bin] += weights[Abs(i)][Abs(j)] * mag;
      } else {
        hist[bin] += mag;
      }
    }
  }
}

// The stage shared by both detectors.
void CalcOris(const char *func, ST_Seq *features, ST_Seq *copies, ST_Image ***gaussPyr,
              ST_Image ***dogPyr, bool weighted) {
  if ((features == NULL) || (gaussPyr == NULL) || (dogPyr == NULL)) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...(features == NULL) || (gauss_pyr == NULL) || (dogPyr == NULL)", func);
    return;
  }
  float *hist = static_cast<float *>(ZqSafeAlloc(ZQ_ORI_HIST_BINS * sizeof(float)));
  if (hist == NULL) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...hist == NULL", func);
    return;
  }
  const int32_t n = features->total;
  for (int32_t k = 0; k < n; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    OriHist(feat, gaussPyr, dogPyr, hist, weighted);
    ZqSmoothOriHist(hist);
    ZqSmoothOriHist(hist);
    int32_t dominant = 0;
    const float m = ZqDominantOri(hist, &dominant);
    ZqAddGoodOriFeatures(copies, hist, dominant, feat, 0.8f * m);
  }
  ZqSafeFree(hist);
}

}  // namespace

extern "C" float ZqOriWeight(int32_t s, int32_t i, int32_t j) {
  if (s < 1 || s > 3) return 0.0f;
  i = Abs(i);
  j = Abs(j);
  if (i >= kOriSide[s - 1] || j >= kOriSide[s - 1]) return 0.0f;
  return gOriWeightTab.w[s - 1][i][j];
}

extern "C" int32_t ZqCalcGradMagOriAt(int32_t rowBytes, const float *data, int32_t r, int32_t c,
                                      float *mag, float *ori) {
  const auto *base = reinterpret_cast<const uint8_t *>(data);
  auto row = [&](int32_t y) {
    return reinterpret_cast<const float *>(base + static_cast<ptrdiff_t>(y) * rowBytes);
  };
  const float dx = row(r)[c + 1] - row(r)[c - 1];
  const float dy = row(r - 1)[c] - row(r + 1)[c];
  *mag = sqrtf(dx * dx + dy * dy);
  const float a = fabsf(dx), b = fabsf(dy);
  if (a < 1e-10f && b < 1e-10f) {
    *ori = 0.0f;
    return 1;
  }
  const float t = a < b ? a / b : b / a;
  const int32_t k = static_cast<int32_t>(10.0f * t);
  if (k >= 10) {
    if (dx > 0) {
      *ori = dy > 0 ? kQuarterPi : -kQuarterPi;
    } else {
      *ori = dy > 0 ? kThreeQuarterPi : -kThreeQuarterPi;
    }
    return 1;
  }
  const float t2 = t * t;
  const float t3 = t2 * t, t5 = t3 * t2, t7 = t5 * t2, t9 = t7 * t2;
  float A = t - t3 * 0.33333334f + t5 * 0.2f - t7 * 0.14285715f + t9 * 0.11111111f + TAN_TAB[k];
  if (a < b) A = kHalfPi - A;
  if (dx > 0) {
    *ori = dy < 0 ? -A : A;
  } else {
    const float v = kPi - A;
    *ori = dy > 0 ? v : -v;
  }
  return 1;
}

extern "C" void ZqCachedGradient(ST_Image ***gaussPyr, ST_Image ***dogPyr, int32_t octv,
                                 int32_t intv, int32_t r, int32_t c, int32_t useAtan2, float *mag,
                                 float *ori) {
  float *cachedOri = ZqImgRow<float>(dogPyr[octv][intv - 1], r) + c;
  float *cachedMag = ZqImgRow<float>(dogPyr[octv][intv + 2], r) + c;
  if (*cachedOri != 0.0f || *cachedMag != 0.0f) {
    *mag = *cachedMag;
    *ori = *cachedOri;
    return;
  }
  const ST_Image *img = gaussPyr[octv][intv];
  if (useAtan2) {
    const float dx = ZqImgRow<float>(img, r)[c + 1] - ZqImgRow<float>(img, r)[c - 1];
    const float dy = ZqImgRow<float>(img, r - 1)[c] - ZqImgRow<float>(img, r + 1)[c];
    *mag = sqrtf(dx * dx + dy * dy);
    *ori = atan2f(dy, dx);
  } else {
    ZqCalcGradMagOriAt(img->rowBytes, reinterpret_cast<const float *>(img->imageData), r, c, mag,
                       ori);
  }
  *cachedMag = *mag;
  *cachedOri = *ori;
}

extern "C" int32_t ZqOriBin(float ori) { return OriBin(ori); }

extern "C" int32_t ZqGradientOriBin(float dx, float dy) { return GradientBin(dx, dy); }

extern "C" void ZqGradientOriBins(const float *dx, const float *dy, int32_t n, int32_t *bins) {
  if (n <= 0) return;
  if (UseWideBins()) {
    GradientBinsWide(dx, dy, n, bins);
  } else {
    GradientBinsPlain(dx, dy, n, bins);
  }
}

extern "C" void ZqKeypointOriVectorBinsForTest(int32_t on) { gVectorBins = on != 0; }

extern "C" void ZqSmoothOriHist(float *hist) {
  ZQ_CHECK_VOID(hist == NULL);
  float prev[ZQ_ORI_HIST_BINS];
  std::memcpy(prev, hist, ZQ_ORI_HIST_BINS * sizeof(float));
  for (int32_t k = 0; k < ZQ_ORI_HIST_BINS; ++k) {
    const float l = prev[k == 0 ? ZQ_ORI_HIST_BINS - 1 : k - 1];
    const float rr = prev[k == ZQ_ORI_HIST_BINS - 1 ? 0 : k + 1];
    hist[k] = 0.25f * l + 0.5f * prev[k] + 0.25f * rr;
  }
}

extern "C" float ZqDominantOri(const float *hist, int32_t *index) {
  ZQ_CHECK((hist == NULL) || (index == NULL), 0.0f);
  float best = hist[0];
  int32_t at = 0;
  for (int32_t k = 1; k < ZQ_ORI_HIST_BINS; ++k) {
    if (hist[k] > best) {
      best = hist[k];
      at = k;
    }
  }
  *index = at;
  return best;
}

extern "C" void ZqAddGoodOriFeatures(ST_Seq *features, const float *hist, int32_t dominant,
                                     ST_DetectFeature *feat, float thr) {
  if ((features == NULL) || (hist == NULL) || (feat == NULL)) {
    ZQ_LOG_FAIL("ZqAddGoodOriFeatures", "(features == NULL) || (hist == NULL) || (feat == NULL)");
    return;
  }
  for (int32_t k = 0; k < ZQ_ORI_HIST_BINS; ++k) {
    const float l = hist[(k + ZQ_ORI_HIST_BINS - 1) % ZQ_ORI_HIST_BINS];
    const float rr = hist[(k + 1) % ZQ_ORI_HIST_BINS];
    const float v = hist[k];
    if (!(v > l && v > rr && v >= thr)) continue;
    float p = static_cast<float>(k) + 0.5f * (l - rr) / (l - 2.0f * v + rr);
    if (p < 0.0f) {
      p += 36.0f;
    } else if (p >= 36.0f) {
      p -= 36.0f;
    }
    const float angle = p * 6.2831855f * 0.027777778f - kPi;
    if (k == dominant) {
      feat->ori = angle;
      continue;
    }
    ST_DetectFeature *copy = ZqNewFeature();
    if (copy == NULL) continue;
    ST_DetectData *dd = copy->ddata;
    *copy = *feat;
    copy->ddata = dd;
    if (feat->ddata != NULL) *dd = *feat->ddata;
    copy->ori = angle;
    if (ZqSeqPush(features, copy) == NULL) ZqSafeFree(dd);
    ZqSafeFree(copy);
  }
}

extern "C" void ZqCalcMfsFeatureOris(ST_Seq *features, ST_Seq *copies, ST_Image ***gaussPyr,
                                     ST_Image ***dogPyr) {
  CalcOris("ZqCalcMfsFeatureOris", features, copies, gaussPyr, dogPyr, true);
}

extern "C" void ZqCalcBriskFeatureOris(ST_Seq *features, ST_Seq *copies, ST_Image ***gaussPyr,
                                       ST_Image ***dogPyr) {
  CalcOris("ZqCalcBriskFeatureOris", features, copies, gaussPyr, dogPyr, false);
}
