#include "src/features/ZqKeypointDescr.h"

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

// Descriptor histogram of one keypoint. The samples are visited row by row as
// always, so every bin sums the same terms in the same order.
void DescrHist(const ST_DetectFeature *feat, ST_Image ***gaussPyr, ST_Image ***dogPyr,
               float *hist) {
  std::memset(hist, 0, 128 * sizeof(float));
  const ST_DetectData *dd = feat->ddata;
  if (dd == nullptr || dd->intv < 1 || dd->intv > 3) return;
  const ST_Image *img = gaussPyr[dd->octv][dd->intv];
  if (img == nullptr) return;
  const bool fast = gAlgMode.imageMode == 16;
  const float hw = fast ? 4.5f : 3.0f * dd->scl_octv;
  const int32_t radius = fast ? 12 : 15;
  float cos_t, sin_t;
  CosSin(feat->ori, &cos_t, &sin_t);
  const float half = static_cast<float>(4 / 2);
  // The gradient cache (see ZqCachedGradient).
  const ST_Image *oriCache = dogPyr[dd->octv][dd->intv - 1];
  const ST_Image *magCache = dogPyr[dd->octv][dd->intv + 2];
  const auto *pixels = reinterpret_cast<const float *>(img->imageData);
  const float (*weights)[kWeightSide] = gDescrWeightTab.w[dd->intv - 1];
  const float featOri = feat->ori;
  constexpr int32_t kCols = 32;  // 2 * 15 + 1 columns at most
  float jSin[kCols], jCos[kCols];
  for (int32_t k = 0; k < kCols; ++k) {
    const float fj = static_cast<float>(k - radius);
    jSin[k] = fj * sin_t;
    jCos[k] = fj * cos_t;
  }
  float padded[kPadBins] = {};
  // Columns whose samples lie inside the image.
  const int32_t jLo = dd->c - radius >= 1 ? -radius : 1 - dd->c;
  const int32_t jHi = dd->c + radius <= img->width - 2 ? radius : img->width - 2 - dd->c;
  for (int32_t i = -radius; i <= radius; ++i) {
    const int32_t row = dd->r + i;
    if (row <= 0 || row >= img->height - 1) continue;
    const float fi = static_cast<float>(i);
    const float iCos = fi * cos_t, iSin = fi * sin_t;
    float rbins[kCols], cbins[kCols];
    for (int32_t k = 0; k < kCols; ++k) {
      rbins[k] = (jSin[k] + iCos) / hw + half - 0.5f;
      cbins[k] = (jCos[k] - iSin) / hw + half - 0.5f;
    }
    float *oriRow = ZqImgRow<float>(oriCache, row);
    float *magRow = ZqImgRow<float>(magCache, row);
    const float *wRow = weights[Abs(i)];
    for (int32_t j = jLo; j <= jHi; ++j) {
      const float rbin = rbins[j + radius];
      const float cbin = cbins[j + radius];
      if (!(rbin > -1.0f && rbin < 4.0f && cbin > -1.0f && cbin < 4.0f)) continue;
      const int32_t col = dd->c + j;
      float mag, ori;
      if (oriRow[col] != 0.0f || magRow[col] != 0.0f) {
        mag = magRow[col];
        ori = oriRow[col];
      } else {
        ZqCalcGradMagOriAt(img->rowBytes, pixels, row, col, &mag, &ori);
        magRow[col] = mag;
        oriRow[col] = ori;
      }
      float rot = ori - featOri;
      while (rot < 0.0f) rot += kTwoPi;
      while (rot >= kTwoPi) rot -= kTwoPi;
      const float obin = rot * 1.2732395f;
      const float w = wRow[Abs(j)] * mag;
      SpreadInWindow(padded, rbin, cbin, obin, w);
    }
  }
  for (int32_t r = 0; r < 4; ++r) {
    std::memcpy(hist + r * 32, padded + ((r + 1) * kPadSide + 1) * 8, 32 * sizeof(float));
  }
}

// Bits 0..127 shared by both conversions.
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
    for (int32_t o = 0; o < 8; ++o) {
      if (hist[k * 8 + o] >= m1[o]) SetBit(descr, 16 * k + 2 * o);
      if (hist[(k + 8) * 8 + o] >= m2[o]) SetBit(descr, 16 * k + 2 * o + 1);
    }
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
    for (int32_t o = 0; o < 8; ++o) {
      if (hist[k * 8 + o] >= 1.05f * hist[q * 8 + o]) SetBit(descr, 128 + 16 * k + 2 * o);
      if (hist[(k + 8) * 8 + o] >= 1.05f * hist[(q + 8) * 8 + o]) {
        SetBit(descr, 128 + 16 * k + 2 * o + 1);
      }
    }
  }
}

extern "C" void ZqHistToDescr_ZE4850_EH(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]) {
  ZQ_CHECK_VOID((hist == NULL) || (descr == NULL));
  std::memset(descr, 0, ZQ_DESCR_WORDS * sizeof(uint32_t));
  HalfMeanBits(hist, descr);
  for (int32_t k = 0; k < ZQ_DESCR_CELLS; ++k) {
    float u = 0.0f;
    ZqGetMiddleValue(hist + k * 8, 8, &u);
    for (int32_t o = 0; o < 8; ++o) {
      if (hist[k * 8 + o] >= u - 0.00001f) SetBit(descr, 128 + 8 * k + o);
    }
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
  const int32_t n = features->total;
  for (int32_t k = 0; k < n; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    ST_Feature *rec = out + k;
    std::memset(rec->descr, 0, sizeof(rec->descr));
    if (shapeOk) {
      DescrHist(feat, gaussPyr, dogPyr, hist);
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
