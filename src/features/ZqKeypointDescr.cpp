#include "src/features/ZqKeypointDescr.h"

#include <immintrin.h>

#include <cmath>
#include <cstring>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqGeomMath.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/ZqMfbPattern.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqInterp3D.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr int32_t kWeightSide = 16;

// gDescrWeightTab, filled at start-up from its definition.
struct DescrWeightTab {
  float w[3][kWeightSide][kWeightSide];
  DescrWeightTab() : w() {
    for (int s = 1; s <= 3; ++s) {
      const float hw = 3.0f * 1.6f * powf(2.0f, static_cast<float>(s) / 3.0f);
      const float den = 8.0f * hw * hw;
      for (int i = 0; i < kWeightSide; ++i) {
        for (int j = 0; j < kWeightSide; ++j) {
          w[s - 1][i][j] = expf(-static_cast<float>(i * i + j * j) / den);
        }
      }
    }
  }
};
const DescrWeightTab gDescrWeightTab;

inline int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

inline void SetBit(uint32_t descr[ZQ_DESCR_WORDS], int32_t bit) {
  descr[bit >> 5] |= 1u << (bit & 31);
}

// cos and sin of the keypoint's orientation as the descriptors take them.
inline void CosSin(float ori, float *cos_t, float *sin_t) {
  *cos_t = cosf(ori);
  float s = sqrtf(1.0f - *cos_t * *cos_t);
  *sin_t = ori < 0 ? -s : s;
}

// Adds the weight of one sample into the eight neighbouring bins.
void Spread(float *hist, float rbin, float cbin, float obin, float w) {
  const float r0f = floorf(rbin), c0f = floorf(cbin), o0f = floorf(obin);
  const int32_t r0 = static_cast<int32_t>(r0f), c0 = static_cast<int32_t>(c0f);
  const int32_t o0 = ((static_cast<int32_t>(o0f) % 8) + 8) % 8;
  const float fr = rbin - r0f, fc = cbin - c0f, fo = obin - o0f;
  for (int32_t dr = 0; dr <= 1; ++dr) {
    const int32_t rb = r0 + dr;
    if (rb < 0 || rb >= 4) continue;
    const float vr = w * (dr == 0 ? 1.0f - fr : fr);
    for (int32_t dc = 0; dc <= 1; ++dc) {
      const int32_t cb = c0 + dc;
      if (cb < 0 || cb >= 4) continue;
      const float vc = vr * (dc == 0 ? 1.0f - fc : fc);
      for (int32_t dob = 0; dob <= 1; ++dob) {
        const int32_t ob = (o0 + dob) % 8;
        hist[rb * 32 + cb * 8 + ob] += vc * (dob == 0 ? 1.0f - fo : fo);
      }
    }
  }
}

// floorf for |x| < 2^31, the same value bit for bit (an integral x, -0.0
// included, is returned as it is).
inline float FloorSmall(float x) {
  const float t = static_cast<float>(static_cast<int32_t>(x));
  if (t == x) return x;
  return t > x ? t - 1.0f : t;
}

// The descriptor histogram with a margin of one cell on every side (rows and
// columns -1..4), so that a sample's eight additions need no bounds checks;
// the margin is dropped at the end.
constexpr int32_t kPadSide = 6;
constexpr int32_t kPadBins = kPadSide * kPadSide * 8;

// Spread for a sample inside the descriptor window (rbin and cbin in
// (-1, 4), obin in [0, 8]) into the histogram with margins: the same products
// added to the same bins as Spread, plus some into the margin.
inline void SpreadInWindow(float *padded, float rbin, float cbin, float obin, float w) {
  const float r0f = FloorSmall(rbin), c0f = FloorSmall(cbin), o0f = FloorSmall(obin);
  const int32_t r0 = static_cast<int32_t>(r0f), c0 = static_cast<int32_t>(c0f);
  const int32_t o0 = static_cast<int32_t>(o0f) & 7;
  const int32_t o1 = (o0 + 1) & 7;
  const float fr = rbin - r0f, fc = cbin - c0f, fo = obin - o0f;
  const float wr0 = w * (1.0f - fr), wr1 = w * fr;
  const float gc0 = 1.0f - fc, gc1 = fc;
  const float go0 = 1.0f - fo;
  float *c00 = padded + ((r0 + 1) * kPadSide + (c0 + 1)) * 8;
  float *c01 = c00 + 8;
  float *c10 = c00 + kPadSide * 8;
  float *c11 = c10 + 8;
  const float v00 = wr0 * gc0, v01 = wr0 * gc1, v10 = wr1 * gc0, v11 = wr1 * gc1;
  c00[o0] += v00 * go0;
  c00[o1] += v00 * fo;
  c01[o0] += v01 * go0;
  c01[o1] += v01 * fo;
  c10[o0] += v10 * go0;
  c10[o1] += v10 * fo;
  c11[o0] += v11 * go0;
  c11[o1] += v11 * fo;
}

// What the descriptor histogram of one keypoint reads: its window on the
// Gaussian level, the gradient cache and the rotation.
struct DescrWindow {
  const ST_Image *img;
  ST_Image *oriCache, *magCache;  // the gradient cache (see ZqCachedGradient)
  int32_t r, c, intv;
  float hw;        // histogram width in pixels of a cell
  int32_t radius;  // the window spans rows and columns -radius .. radius
  float cos_t, sin_t, ori;
  int32_t jLo, jHi;  // columns whose samples lie inside the image
};

// Fills *wd for feat; false when the keypoint has no histogram (all zero).
bool SetUpWindow(const ST_DetectFeature *feat, ST_Image ***gaussPyr, ST_Image ***dogPyr,
                 DescrWindow *wd) {
  const ST_DetectData *dd = feat->ddata;
  if (dd == nullptr || dd->intv < 1 || dd->intv > 3) return false;
  const ST_Image *img = gaussPyr[dd->octv][dd->intv];
  if (img == nullptr) return false;
  const bool fast = gAlgMode.imageMode == 16;
  wd->img = img;
  wd->oriCache = dogPyr[dd->octv][dd->intv - 1];
  wd->magCache = dogPyr[dd->octv][dd->intv + 2];
  wd->r = dd->r;
  wd->c = dd->c;
  wd->intv = dd->intv;
  wd->hw = fast ? 4.5f : 3.0f * dd->scl_octv;
  wd->radius = fast ? 12 : 15;
  CosSin(feat->ori, &wd->cos_t, &wd->sin_t);
  wd->ori = feat->ori;
  wd->jLo = dd->c - wd->radius >= 1 ? -wd->radius : 1 - dd->c;
  wd->jHi = dd->c + wd->radius <= img->width - 2 ? wd->radius : img->width - 2 - dd->c;
  return true;
}

// The gradient at (row, col) of the window's level, through the cache.
inline void CachedGradient(const DescrWindow &wd, float *oriRow, float *magRow, int32_t row,
                           int32_t col, float *mag, float *ori) {
  if (oriRow[col] != 0.0f || magRow[col] != 0.0f) {
    *mag = magRow[col];
    *ori = oriRow[col];
    return;
  }
  ZqCalcGradMagOriAt(wd.img->rowBytes, reinterpret_cast<const float *>(wd.img->imageData), row,
                     col, mag, ori);
  magRow[col] = *mag;
  oriRow[col] = *ori;
}

// The samples of the window added into the histogram with margins, one at a
// time, row by row.
void SpreadWindowPlain(const DescrWindow &wd, float *padded) {
  const int32_t radius = wd.radius;
  const float hw = wd.hw, cos_t = wd.cos_t, sin_t = wd.sin_t;
  const float half = static_cast<float>(4 / 2);
  const float (*weights)[kWeightSide] = gDescrWeightTab.w[wd.intv - 1];
  constexpr int32_t kCols = 32;  // 2 * 15 + 1 columns at most
  float jSin[kCols], jCos[kCols];
  for (int32_t k = 0; k < kCols; ++k) {
    const float fj = static_cast<float>(k - radius);
    jSin[k] = fj * sin_t;
    jCos[k] = fj * cos_t;
  }
  for (int32_t i = -radius; i <= radius; ++i) {
    const int32_t row = wd.r + i;
    if (row <= 0 || row >= wd.img->height - 1) continue;
    const float fi = static_cast<float>(i);
    const float iCos = fi * cos_t, iSin = fi * sin_t;
    float rbins[kCols], cbins[kCols];
    for (int32_t k = 0; k < kCols; ++k) {
      rbins[k] = (jSin[k] + iCos) / hw + half - 0.5f;
      cbins[k] = (jCos[k] - iSin) / hw + half - 0.5f;
    }
    float *oriRow = ZqImgRow<float>(wd.oriCache, row);
    float *magRow = ZqImgRow<float>(wd.magCache, row);
    const float *wRow = weights[Abs(i)];
    for (int32_t j = wd.jLo; j <= wd.jHi; ++j) {
      const float rbin = rbins[j + radius];
      const float cbin = cbins[j + radius];
      if (!(rbin > -1.0f && rbin < 4.0f && cbin > -1.0f && cbin < 4.0f)) continue;
      float mag, ori;
      CachedGradient(wd, oriRow, magRow, row, wd.c + j, &mag, &ori);
      float rot = ori - wd.ori;
      while (rot < 0.0f) rot += kTwoPi;
      while (rot >= kTwoPi) rot -= kTwoPi;
      const float obin = rot * 1.2732395f;
      const float w = wRow[Abs(j)] * mag;
      SpreadInWindow(padded, rbin, cbin, obin, w);
    }
  }
}

// Columns of the eight-lane tables: offsets -15 .. 24 at index offset + 15
// (the last group of a row may reach 7 past the window).
constexpr int32_t kLaneCols = 40;
constexpr int32_t kLaneZero = 15;

// The weights of gDescrWeightTab by signed column offset: row[s][|i|][j + 15]
// is the weight of (i, j), 0 past |j| = 15.
struct DescrWeightRows {
  alignas(32) float w[3][kWeightSide][kLaneCols];
  DescrWeightRows() : w() {
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < kWeightSide; ++i) {
        for (int k = 0; k < kLaneCols; ++k) {
          const int32_t j = Abs(k - kLaneZero);
          w[s][i][k] = j < kWeightSide ? gDescrWeightTab.w[s][i][j] : 0.0f;
        }
      }
    }
  }
};
const DescrWeightRows gDescrWeightRows;

// The histogram of the eight-lane path, orientation first with a margin of
// one cell on every side: bin (r, c, o) at o * 36 + (r + 1) * 6 + c + 1, so
// that a sample's two cells of a row are next to each other.
constexpr int32_t kOriPlane = kPadSide * kPadSide;
constexpr int32_t kOriBins = 8 * kOriPlane;
// Floats after it that the additions read but never write.
constexpr int32_t kOriTail = kPadSide + 2;

// Adds the products prodUp[0..1] into bins to[0], to[1] and prodDown[0..1]
// into to[6], to[7] (two cells next to each other and the two below them),
// continuing the sums held in acc when keep is set and starting from the
// stored values at from[0], [1], [6], [7] otherwise; the sums are stored back.
__attribute__((target("avx2"))) inline void AddQuad(__m128 &acc, const float *from, float *to,
                                                    const float *prodUp, const float *prodDown,
                                                    __m128 keep) {
  // 64-bit moves through __m64, which may alias the floats.
  __m128 start = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64 *>(from));
  start = _mm_loadh_pi(start, reinterpret_cast<const __m64 *>(from + kPadSide));
  __m128 add = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64 *>(prodUp));
  add = _mm_loadh_pi(add, reinterpret_cast<const __m64 *>(prodDown));
  acc = _mm_add_ps(_mm_blendv_ps(start, acc, keep), add);
  _mm_storel_pi(reinterpret_cast<__m64 *>(to), acc);
  _mm_storeh_pi(reinterpret_cast<__m64 *>(to + kPadSide), acc);
}

// x[l], y[l] at to[2 l], to[2 l + 1].
__attribute__((target("avx2"))) inline void StorePairs(float *to, __m256 x, __m256 y) {
  const __m256 lo = _mm256_unpacklo_ps(x, y), hi = _mm256_unpackhi_ps(x, y);
  _mm256_storeu_ps(to, _mm256_permute2f128_ps(lo, hi, 0x20));
  _mm256_storeu_ps(to + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
}

// 36 o: the first bin of orientation plane o.
__attribute__((target("avx2"))) inline __m256i Plane(__m256i o) {
  return _mm256_add_epi32(_mm256_slli_epi32(o, 5), _mm256_slli_epi32(o, 2));
}

// SpreadWindowPlain with everything up to the additions worked out for eight
// columns at once; the additions are then made one sample at a time in the
// same order, so every bin gets the same terms in the same order. While the
// samples that follow one another fall into the same bins their sums stay
// in registers (the same sums as through memory).
__attribute__((target("avx2"))) void DescrHistAvx2(const DescrWindow &wd, float *hist) {
  alignas(32) float oriHist[kOriBins + kOriTail] = {};
  alignas(32) float jSin[kLaneCols], jCos[kLaneCols];
  for (int32_t k = 0; k < kLaneCols; ++k) {
    const float fj = static_cast<float>(k - kLaneZero);
    jSin[k] = fj * wd.sin_t;
    jCos[k] = fj * wd.cos_t;
  }
  const __m256 hw = _mm256_set1_ps(wd.hw);
  const __m256 half = _mm256_set1_ps(2.0f), pointFive = _mm256_set1_ps(0.5f);
  const __m256 minusOne = _mm256_set1_ps(-1.0f), four = _mm256_set1_ps(4.0f);
  const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
  const __m256 twoPi = _mm256_set1_ps(kTwoPi), binsPerRad = _mm256_set1_ps(1.2732395f);
  const __m256 featOri = _mm256_set1_ps(wd.ori);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i seven = _mm256_set1_epi32(7), oneI = _mm256_set1_epi32(1);
  const __m256i cellBase = _mm256_set1_epi32(kPadSide + 1);
  const auto *pixels = reinterpret_cast<const float *>(wd.img->imageData);
  // A row's samples by lane (column jLo + lane): the products for orientation
  // bin o0 of the cell row r0 and of r0 + 1, then the same for o1, each a
  // pair (column c0, c0 + 1); and the bins of the first of each pair.
  alignas(32) float pairs[4][2 * kLaneCols];
  alignas(32) int32_t bin0[kLaneCols], bin1[kLaneCols];
  // Where each sample's sums start from (its bins, or the tail), and a mask
  // of all ones (as float bits) when it continues the sums of the sample
  // before.
  alignas(32) int32_t from0[kLaneCols], from1[kLaneCols];
  alignas(32) float keepRun[kLaneCols];
  const __m256i laneBefore = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);
  const __m256i lastLane = _mm256_set1_epi32(7);
  const __m256i tail = _mm256_set1_epi32(kOriBins);
  alignas(32) float gm[8], go[8];
  __m128 acc0 = _mm_setzero_ps(), acc1 = acc0;
  const int32_t radius = wd.radius;
  for (int32_t i = -radius; i <= radius; ++i) {
    const int32_t row = wd.r + i;
    if (row <= 0 || row >= wd.img->height - 1) continue;
    const float fi = static_cast<float>(i);
    const __m256 iCos = _mm256_set1_ps(fi * wd.cos_t), iSin = _mm256_set1_ps(fi * wd.sin_t);
    float *oriRow = ZqImgRow<float>(wd.oriCache, row);
    float *magRow = ZqImgRow<float>(wd.magCache, row);
    const float *wRow = gDescrWeightRows.w[wd.intv - 1][Abs(i)];
    uint64_t rowBits = 0;
    __m256i carryB0 = _mm256_setzero_si256(), carryIn = _mm256_setzero_si256();
    for (int32_t j0 = wd.jLo; j0 <= wd.jHi; j0 += 8) {
      const int32_t at = j0 - wd.jLo;
      const int32_t k0 = j0 + kLaneZero;
      const __m256i valid = _mm256_cmpgt_epi32(_mm256_set1_epi32(wd.jHi - j0 + 1), lane);
      const __m256 rbin = _mm256_sub_ps(
          _mm256_add_ps(_mm256_div_ps(_mm256_add_ps(_mm256_loadu_ps(jSin + k0), iCos), hw), half),
          pointFive);
      const __m256 cbin = _mm256_sub_ps(
          _mm256_add_ps(_mm256_div_ps(_mm256_sub_ps(_mm256_loadu_ps(jCos + k0), iSin), hw), half),
          pointFive);
      __m256 in = _mm256_and_ps(_mm256_cmp_ps(rbin, minusOne, _CMP_GT_OQ),
                                _mm256_cmp_ps(rbin, four, _CMP_LT_OQ));
      in = _mm256_and_ps(in, _mm256_cmp_ps(cbin, minusOne, _CMP_GT_OQ));
      in = _mm256_and_ps(in, _mm256_cmp_ps(cbin, four, _CMP_LT_OQ));
      in = _mm256_and_ps(in, _mm256_castsi256_ps(valid));
      const uint32_t bits = static_cast<uint32_t>(_mm256_movemask_ps(in));
      if (bits == 0) {
        carryIn = _mm256_setzero_si256();
        continue;
      }
      rowBits |= static_cast<uint64_t>(bits) << at;
      const int32_t col0 = wd.c + j0;
      const __m256i inI = _mm256_castps_si256(in);
      __m256 ori = _mm256_maskload_ps(oriRow + col0, inI);
      __m256 mag = _mm256_maskload_ps(magRow + col0, inI);
      const __m256 cached = _mm256_or_ps(_mm256_cmp_ps(ori, zero, _CMP_NEQ_UQ),
                                         _mm256_cmp_ps(mag, zero, _CMP_NEQ_UQ));
      uint32_t missing = bits & ~static_cast<uint32_t>(_mm256_movemask_ps(cached));
      if (missing != 0) {
        _mm256_store_ps(gm, mag);
        _mm256_store_ps(go, ori);
        do {
          const int32_t l = __builtin_ctz(missing);
          missing &= missing - 1;
          ZqCalcGradMagOriAt(wd.img->rowBytes, pixels, row, col0 + l, gm + l, go + l);
          magRow[col0 + l] = gm[l];
          oriRow[col0 + l] = go[l];
        } while (missing != 0);
        mag = _mm256_load_ps(gm);
        ori = _mm256_load_ps(go);
      }
      // Into [0, 2 pi) as the one-sample loops do it: a turn added while
      // below 0, then one taken away while at 2 pi or above. One turn each
      // way is all that angles in [-pi, pi] need; the loops are for others.
      __m256 rot = _mm256_sub_ps(ori, featOri);
      __m256 low = _mm256_cmp_ps(rot, zero, _CMP_LT_OQ);
      rot = _mm256_blendv_ps(rot, _mm256_add_ps(rot, twoPi), low);
      for (;;) {
        low = _mm256_and_ps(_mm256_cmp_ps(rot, zero, _CMP_LT_OQ), in);
        if (__builtin_expect(_mm256_movemask_ps(low) == 0, 1)) break;
        rot = _mm256_blendv_ps(rot, _mm256_add_ps(rot, twoPi), low);
      }
      __m256 high = _mm256_cmp_ps(rot, twoPi, _CMP_GE_OQ);
      rot = _mm256_blendv_ps(rot, _mm256_sub_ps(rot, twoPi), high);
      for (;;) {
        high = _mm256_and_ps(_mm256_cmp_ps(rot, twoPi, _CMP_GE_OQ), in);
        if (__builtin_expect(_mm256_movemask_ps(high) == 0, 1)) break;
        rot = _mm256_blendv_ps(rot, _mm256_sub_ps(rot, twoPi), high);
      }
      const __m256 obin = _mm256_mul_ps(rot, binsPerRad);
      const __m256 w = _mm256_mul_ps(_mm256_loadu_ps(wRow + k0), mag);
      const __m256 r0f = _mm256_floor_ps(rbin), c0f = _mm256_floor_ps(cbin);
      const __m256 o0f = _mm256_floor_ps(obin);
      const __m256i r0 = _mm256_cvttps_epi32(r0f), c0 = _mm256_cvttps_epi32(c0f);
      const __m256i o0 = _mm256_and_si256(_mm256_cvttps_epi32(o0f), seven);
      const __m256i o1 = _mm256_and_si256(_mm256_add_epi32(o0, oneI), seven);
      const __m256 fr = _mm256_sub_ps(rbin, r0f), fc = _mm256_sub_ps(cbin, c0f);
      const __m256 fo = _mm256_sub_ps(obin, o0f);
      const __m256 wr0 = _mm256_mul_ps(w, _mm256_sub_ps(one, fr)), wr1 = _mm256_mul_ps(w, fr);
      const __m256 gc0 = _mm256_sub_ps(one, fc), go0 = _mm256_sub_ps(one, fo);
      const __m256 v00 = _mm256_mul_ps(wr0, gc0), v01 = _mm256_mul_ps(wr0, fc);
      const __m256 v10 = _mm256_mul_ps(wr1, gc0), v11 = _mm256_mul_ps(wr1, fc);
      StorePairs(pairs[0] + 2 * at, _mm256_mul_ps(v00, go0), _mm256_mul_ps(v01, go0));
      StorePairs(pairs[1] + 2 * at, _mm256_mul_ps(v10, go0), _mm256_mul_ps(v11, go0));
      StorePairs(pairs[2] + 2 * at, _mm256_mul_ps(v00, fo), _mm256_mul_ps(v01, fo));
      StorePairs(pairs[3] + 2 * at, _mm256_mul_ps(v10, fo), _mm256_mul_ps(v11, fo));
      // o * 36 + (r0 + 1) * 6 + c0 + 1 = 32 o + 4 o + 4 r0 + 2 r0 + c0 + 7.
      const __m256i cell = _mm256_add_epi32(
          _mm256_add_epi32(_mm256_slli_epi32(r0, 2), _mm256_slli_epi32(r0, 1)),
          _mm256_add_epi32(c0, cellBase));
      const __m256i b0 = _mm256_add_epi32(cell, Plane(o0));
      const __m256i b1 = _mm256_add_epi32(cell, Plane(o1));
      // b0 fixes the cell and both orientation bins. A sample whose column
      // before lies in the window too and has the same b0 continues that
      // one's sums, held in registers; the others read the stored sums.
      // Continued samples read the unused tail instead, so that they wait
      // for no store.
      const __m256i prevB0 = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(b0, laneBefore),
                                                carryB0, 0x01);
      const __m256i prevIn = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(inI, laneBefore),
                                                carryIn, 0x01);
      const __m256i same = _mm256_and_si256(_mm256_cmpeq_epi32(b0, prevB0), prevIn);
      carryB0 = _mm256_permutevar8x32_epi32(b0, lastLane);
      carryIn = _mm256_permutevar8x32_epi32(inI, lastLane);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(bin0 + at), b0);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(bin1 + at), b1);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(from0 + at),
                          _mm256_blendv_epi8(b0, tail, same));
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(from1 + at),
                          _mm256_blendv_epi8(b1, tail, same));
      _mm256_storeu_ps(keepRun + at, _mm256_castsi256_ps(same));
    }
    while (rowBits != 0) {
      const int32_t l = __builtin_ctzll(rowBits);
      rowBits &= rowBits - 1;
      const int32_t b0 = bin0[l], b1 = bin1[l], f0 = from0[l], f1 = from1[l];
      const __m128 keep = _mm_broadcast_ss(keepRun + l);
      AddQuad(acc0, oriHist + f0, oriHist + b0, pairs[0] + 2 * l, pairs[1] + 2 * l, keep);
      AddQuad(acc1, oriHist + f1, oriHist + b1, pairs[2] + 2 * l, pairs[3] + 2 * l, keep);
    }
  }
  for (int32_t r = 0; r < 4; ++r) {
    for (int32_t c = 0; c < 4; ++c) {
      for (int32_t o = 0; o < 8; ++o) {
        hist[r * 32 + c * 8 + o] = oriHist[o * kOriPlane + (r + 1) * kPadSide + c + 1];
      }
    }
  }
}

// Eight columns at a time unless a test asks for one.
bool gDescrVector = true;

bool UseEightLanes() { return gDescrVector && __builtin_cpu_supports("avx2"); }

// Descriptor histogram of one keypoint. The samples are visited row by row as
// always, so every bin sums the same terms in the same order.
void DescrHist(const ST_DetectFeature *feat, ST_Image ***gaussPyr, ST_Image ***dogPyr,
               bool eightLanes, float *hist) {
  DescrWindow wd;
  if (!SetUpWindow(feat, gaussPyr, dogPyr, &wd)) {
    std::memset(hist, 0, 128 * sizeof(float));
    return;
  }
  if (eightLanes) {
    DescrHistAvx2(wd, hist);
    return;
  }
  float padded[kPadBins] = {};
  SpreadWindowPlain(wd, padded);
  for (int32_t r = 0; r < 4; ++r) {
    std::memcpy(hist + r * 32, padded + ((r + 1) * kPadSide + 1) * 8, 32 * sizeof(float));
  }
}

// Bits 0..127 shared by both conversions. The comparisons are gathered into
// words without a branch per bit (their outcomes follow no pattern).
void HalfMeanBits(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]) {
  float m1[8], m2[8];
  for (int32_t o = 0; o < 8; ++o) {
    float s1 = 0.0f, s2 = 0.0f;
    for (int32_t k = 0; k < 8; ++k) {
      s1 += hist[k * 8 + o];
      s2 += hist[(k + 8) * 8 + o];
    }
    m1[o] = s1 * 0.125f;
    m2[o] = s2 * 0.125f;
  }
  for (int32_t k = 0; k < 8; ++k) {
    uint32_t bits = 0;  // bits 16 k .. 16 k + 15
    for (int32_t o = 0; o < 8; ++o) {
      bits |= static_cast<uint32_t>(hist[k * 8 + o] >= m1[o]) << (2 * o);
      bits |= static_cast<uint32_t>(hist[(k + 8) * 8 + o] >= m2[o]) << (2 * o + 1);
    }
    descr[k >> 1] |= bits << (16 * (k & 1));
  }
}

// roundf(x) as an integer (halves away from zero), without the library call
// for |x| < 32768; roundf itself beyond.
inline int32_t RoundToInt(float x) {
  if (!(fabsf(x) < 32768.0f)) return static_cast<int32_t>(roundf(x));
  const int32_t i = static_cast<int32_t>(x);
  const float frac = x - static_cast<float>(i);  // exact in this range
  if (frac >= 0.5f) return i + 1;
  if (frac <= -0.5f) return i - 1;
  return i;
}

// Frees the keypoint's data and writes x, y, ori.
void FinishRecord(ST_DetectFeature *feat, ST_Feature *rec) {
  rec->x = feat->x;
  rec->y = feat->y;
  rec->ori = feat->ori;
  ZqSafeFree(feat->ddata);
  feat->ddata = nullptr;
}

}  // namespace

extern "C" void ZqDescrCosSin(float ori, float *cos_t, float *sin_t) { CosSin(ori, cos_t, sin_t); }

extern "C" void ZqDescrSpread(float *hist, float rbin, float cbin, float obin, float w) {
  Spread(hist, rbin, cbin, obin, w);
}

extern "C" float ZqDescrWeight(int32_t s, int32_t i, int32_t j) {
  if (s < 1 || s > 3) return 0.0f;
  i = Abs(i);
  j = Abs(j);
  if (i >= kWeightSide || j >= kWeightSide) return 0.0f;
  return gDescrWeightTab.w[s - 1][i][j];
}

extern "C" void ZqHistToDescr_ZE4850(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]) {
  ZQ_CHECK_VOID((hist == NULL) || (descr == NULL));
  std::memset(descr, 0, ZQ_DESCR_WORDS * sizeof(uint32_t));
  HalfMeanBits(hist, descr);
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t q = k == 0 ? 7 : k - 1;
    uint32_t bits = 0;  // bits 128 + 16 k .. 128 + 16 k + 15
    for (int32_t o = 0; o < 8; ++o) {
      bits |= static_cast<uint32_t>(hist[k * 8 + o] >= 1.05f * hist[q * 8 + o]) << (2 * o);
      bits |= static_cast<uint32_t>(hist[(k + 8) * 8 + o] >= 1.05f * hist[(q + 8) * 8 + o])
              << (2 * o + 1);
    }
    descr[4 + (k >> 1)] |= bits << (16 * (k & 1));
  }
}

extern "C" void ZqHistToDescr_ZE4850_EH(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]) {
  ZQ_CHECK_VOID((hist == NULL) || (descr == NULL));
  std::memset(descr, 0, ZQ_DESCR_WORDS * sizeof(uint32_t));
  HalfMeanBits(hist, descr);
  for (int32_t k = 0; k < ZQ_DESCR_CELLS; ++k) {
    float u = 0.0f;
    ZqGetMiddleValue(hist + k * 8, 8, &u);
    uint32_t bits = 0;  // bits 128 + 8 k .. 128 + 8 k + 7
    for (int32_t o = 0; o < 8; ++o) {
      bits |= static_cast<uint32_t>(hist[k * 8 + o] >= u - 0.00001f) << o;
    }
    descr[4 + (k >> 2)] |= bits << (8 * (k & 3));
  }
}

extern "C" void ZqComputeDescriptors(ST_Seq *features, ST_Feature *out, ST_Image ***gaussPyr,
                                     ST_Image ***dogPyr, int32_t descrWidth,
                                     int32_t descrHistBins) {
  QUORV_LOGV("ZqComputeDescriptors...enter");
  if ((features == NULL) || (out == NULL) || (gaussPyr == NULL) || (dogPyr == NULL)) {
    ZQ_LOG_FAIL("ZqComputeDescriptors", "(features == NULL) || (gauss_pyr == NULL)");
    return;
  }
  const bool shapeOk = descrWidth == 4 && descrHistBins == ZQ_DESCR_ORI_BINS;
  if (!shapeOk) {
    ZQ_LOG_FAIL("ZqComputeDescriptors", "(descrWidth != 4) || (descrHistBins != 8)");
  }
  float *hist = static_cast<float *>(ZqSafeAlloc(128 * sizeof(float)));
  if (hist == NULL) {
    ZQ_LOG_FAIL("ZqComputeDescriptors", "hist == NULL");
    return;
  }
  const uint8_t variant = gAlgMode.histToDescrVariant;
  const bool eightLanes = UseEightLanes();
  const int32_t n = features->total;
  for (int32_t k = 0; k < n; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    ST_Feature *rec = out + k;
    std::memset(rec->descr, 0, sizeof(rec->descr));
    if (shapeOk) {
      DescrHist(feat, gaussPyr, dogPyr, eightLanes, hist);
      if (variant == 1) {
        ZqHistToDescr_ZE4850_EH(hist, rec->descr);
      } else {
        ZqHistToDescr_ZE4850(hist, rec->descr);
      }
    }
    FinishRecord(feat, rec);
  }
  ZqSafeFree(hist);
  QUORV_LOGV("ZqComputeDescriptors...leave");
}

extern "C" void ZqMfbDescriptors(ST_Seq *features, ST_Feature *out, ST_Image ***gaussPyr,
                                 int32_t levels) {
  QUORV_LOGV("ZqComputeDescriptors...enter");
  if ((features == NULL) || (out == NULL) || (gaussPyr == NULL)) {
    QUORV_LOG_IN("ZqMfbDescriptors", QUORV_LOG_ERROR,
                 "ZqComputeDescriptors...(features == NULL) || (gauss_pyr == NULL)");
    return;
  }
  const int32_t n = features->total;
  for (int32_t k = 0; k < n; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    ST_Feature *rec = out + k;
    std::memset(rec->descr, 0, sizeof(rec->descr));
    const ST_DetectData *dd = feat->ddata;
    const ST_Image *img = (dd != nullptr && levels > 4) ? gaussPyr[dd->octv][4] : nullptr;
    if (img != nullptr) {
      float cos_t, sin_t;
      CosSin(feat->ori, &cos_t, &sin_t);
      const float fr = static_cast<float>(dd->r), fc = static_cast<float>(dd->c);
      float v[ZQ_MFB_POINTS];
      for (int32_t p = 0; p < ZQ_MFB_POINTS; ++p) {
        const float px = gMfbRingPts[p].px, py = gMfbRingPts[p].py;
        const auto col = static_cast<int16_t>(RoundToInt(sin_t * py + cos_t * px + fc));
        const auto row = static_cast<int16_t>(RoundToInt(cos_t * py - sin_t * px + fr));
        if (col < 0 || row < 0 || col >= img->width || row >= img->height) {
          v[p] = -1.0f;
        } else {
          v[p] = ZqImgRow<float>(img, row)[col];
        }
      }
      for (int32_t b = 0; b < ZQ_MFB_PAIRS; ++b) {
        const float vi = v[gMfbPairs[b].i], vj = v[gMfbPairs[b].j];
        if (vi >= 0.0f && vj >= 0.0f && vj < vi) SetBit(rec->descr, b);
      }
    }
    FinishRecord(feat, rec);
  }
}

extern "C" void ZqDescrVectorForTest(int32_t on) { gDescrVector = on != 0; }

extern "C" void ZqDescrHistForTest(const ST_DetectFeature *feat, ST_Image ***gaussPyr,
                                   ST_Image ***dogPyr, float hist[128]) {
  DescrHist(feat, gaussPyr, dogPyr, UseEightLanes(), hist);
}
