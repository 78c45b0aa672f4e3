#include "src/features/ZqGradientCache.h"

#include <immintrin.h>

#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqKeypointOri.h"
#include "src/image/ZqImgRow.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;

bool gFill = true;

// Intervals with a table of weights (the only ones the stages describe).
constexpr int32_t kMaxIntv = 3;

// ZqCalcGradMagOriAt for eight columns c .. c + 7 of rows up, mid, down: the
// same operations in the same order, lane by lane. Returns the lanes whose
// arctangent is a number (the others are not to be cached).
__attribute__((target("avx2"))) int32_t Gradient8(const float *up, const float *mid,
                                                  const float *down, int32_t c, __m256 *mag,
                                                  __m256 *ori) {
  const __m256 sign = _mm256_set1_ps(-0.0f), zero = _mm256_setzero_ps();
  const __m256 dx = _mm256_sub_ps(_mm256_loadu_ps(mid + c + 1), _mm256_loadu_ps(mid + c - 1));
  const __m256 dy = _mm256_sub_ps(_mm256_loadu_ps(up + c), _mm256_loadu_ps(down + c));
  *mag = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)));
  const __m256 a = _mm256_andnot_ps(sign, dx), b = _mm256_andnot_ps(sign, dy);
  const __m256 tinyLimit = _mm256_set1_ps(1e-10f);
  const __m256 tiny = _mm256_and_ps(_mm256_cmp_ps(a, tinyLimit, _CMP_LT_OQ),
                                    _mm256_cmp_ps(b, tinyLimit, _CMP_LT_OQ));
  const __m256 aLtB = _mm256_cmp_ps(a, b, _CMP_LT_OQ);
  const __m256 t = _mm256_blendv_ps(_mm256_div_ps(b, a), _mm256_div_ps(a, b), aLtB);
  const __m256i k = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_set1_ps(10.0f), t));
  const __m256 whole = _mm256_castsi256_ps(_mm256_cmpgt_epi32(k, _mm256_set1_epi32(9)));
  const __m256 t2 = _mm256_mul_ps(t, t);
  const __m256 t3 = _mm256_mul_ps(t2, t), t5 = _mm256_mul_ps(t3, t2);
  const __m256 t7 = _mm256_mul_ps(t5, t2), t9 = _mm256_mul_ps(t7, t2);
  // TAN_TAB[k] for k in 0..9 (other lanes are not used).
  const __m256 tabLo = _mm256_loadu_ps(TAN_TAB);
  const __m256 tabHi = _mm256_setr_ps(TAN_TAB[8], TAN_TAB[9], 0, 0, 0, 0, 0, 0);
  const __m256i k7 = _mm256_and_si256(k, _mm256_set1_epi32(7));
  const __m256 highK = _mm256_castsi256_ps(_mm256_cmpgt_epi32(k, _mm256_set1_epi32(7)));
  const __m256 tab = _mm256_blendv_ps(_mm256_permutevar8x32_ps(tabLo, k7),
                                      _mm256_permutevar8x32_ps(tabHi, k7), highK);
  __m256 A = _mm256_sub_ps(t, _mm256_mul_ps(t3, _mm256_set1_ps(0.33333334f)));
  A = _mm256_add_ps(A, _mm256_mul_ps(t5, _mm256_set1_ps(0.2f)));
  A = _mm256_sub_ps(A, _mm256_mul_ps(t7, _mm256_set1_ps(0.14285715f)));
  A = _mm256_add_ps(A, _mm256_mul_ps(t9, _mm256_set1_ps(0.11111111f)));
  A = _mm256_add_ps(A, tab);
  A = _mm256_blendv_ps(A, _mm256_sub_ps(_mm256_set1_ps(kHalfPi), A), aLtB);
  const __m256 dxPos = _mm256_cmp_ps(dx, zero, _CMP_GT_OQ);
  const __m256 dyPos = _mm256_cmp_ps(dy, zero, _CMP_GT_OQ);
  const __m256 dyNeg = _mm256_cmp_ps(dy, zero, _CMP_LT_OQ);
  const __m256 right = _mm256_blendv_ps(A, _mm256_xor_ps(A, sign), dyNeg);
  const __m256 v = _mm256_sub_ps(_mm256_set1_ps(kPi), A);
  const __m256 left = _mm256_blendv_ps(_mm256_xor_ps(v, sign), v, dyPos);
  __m256 angle = _mm256_blendv_ps(left, right, dxPos);
  const __m256 diagRight = _mm256_blendv_ps(_mm256_set1_ps(-kQuarterPi),
                                            _mm256_set1_ps(kQuarterPi), dyPos);
  const __m256 diagLeft = _mm256_blendv_ps(_mm256_set1_ps(-kThreeQuarterPi),
                                           _mm256_set1_ps(kThreeQuarterPi), dyPos);
  angle = _mm256_blendv_ps(angle, _mm256_blendv_ps(diagLeft, diagRight, dxPos), whole);
  *ori = _mm256_andnot_ps(tiny, angle);
  const __m256 number = _mm256_or_ps(tiny, _mm256_cmp_ps(t, t, _CMP_ORD_Q));
  return _mm256_movemask_ps(number);
}

__attribute__((target("avx2"))) void GradientRowAvx2(const ST_Image *img, int32_t r,
                                                     float *magRow, float *oriRow) {
  const float *up = ZqImgRow<float>(img, r - 1);
  const float *mid = ZqImgRow<float>(img, r);
  const float *down = ZqImgRow<float>(img, r + 1);
  for (int32_t c = 1; c + 8 <= img->width - 1; c += 8) {
    __m256 mag, ori;
    const int32_t number = Gradient8(up, mid, down, c, &mag, &ori);
    if (number == 0xff) {
      _mm256_storeu_ps(magRow + c, mag);
      _mm256_storeu_ps(oriRow + c, ori);
      continue;
    }
    alignas(32) float m[8], o[8];
    _mm256_store_ps(m, mag);
    _mm256_store_ps(o, ori);
    for (int32_t l = 0; l < 8; ++l) {
      if ((number >> l) & 1) {
        magRow[c + l] = m[l];
        oriRow[c + l] = o[l];
      }
    }
  }
}

bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

}  // namespace

extern "C" int32_t ZqGradientRow(const ST_Image *img, int32_t r, float *magRow, float *oriRow) {
  if (!HasAvx2()) return 0;
  GradientRowAvx2(img, r, magRow, oriRow);
  return 1;
}

extern "C" void ZqFillGradientCache(const ST_Seq *features, ST_Image ***gaussPyr,
                                    ST_Image ***dogPyr, int32_t octvs, int32_t intvls) {
  if (!gFill || !HasAvx2() || features == nullptr || gaussPyr == nullptr || dogPyr == nullptr) {
    return;
  }
  constexpr int32_t kMaxOctaves = 16;
  bool used[kMaxOctaves][kMaxIntv + 1] = {};
  for (int32_t k = 0; k < features->total; ++k) {
    const auto *feat = reinterpret_cast<const ST_DetectFeature *>(ZqGetSeqElem(features, k));
    const ST_DetectData *dd = feat->ddata;
    if (dd == nullptr || dd->octv < 0 || dd->octv >= octvs || dd->octv >= kMaxOctaves) continue;
    if (dd->intv < 1 || dd->intv > kMaxIntv || dd->intv > intvls) continue;
    used[dd->octv][dd->intv] = true;
  }
  for (int32_t o = 0; o < octvs && o < kMaxOctaves; ++o) {
    for (int32_t s = 1; s <= kMaxIntv && s <= intvls; ++s) {
      if (!used[o][s]) continue;
      const ST_Image *img = gaussPyr[o][s];
      ST_Image *oriCache = dogPyr[o][s - 1];
      ST_Image *magCache = dogPyr[o][s + 2];
      if (img == nullptr || oriCache == nullptr || magCache == nullptr) continue;
      if (oriCache->width != img->width || magCache->width != img->width ||
          oriCache->height != img->height || magCache->height != img->height) {
        continue;
      }
      for (int32_t r = 1; r < img->height - 1; ++r) {
        GradientRowAvx2(img, r, ZqImgRow<float>(magCache, r), ZqImgRow<float>(oriCache, r));
      }
    }
  }
}

extern "C" void ZqGradientCacheFillForTest(int32_t on) { gFill = on != 0; }
