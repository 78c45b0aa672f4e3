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

// Descriptor histogram of one keypoint.
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
  for (int32_t i = -radius; i <= radius; ++i) {
    for (int32_t j = -radius; j <= radius; ++j) {
      const float fi = static_cast<float>(i), fj = static_cast<float>(j);
      const float rbin = (fj * sin_t + fi * cos_t) / hw + half - 0.5f;
      const float cbin = (fj * cos_t - fi * sin_t) / hw + half - 0.5f;
      if (!(rbin > -1.0f && rbin < 4.0f && cbin > -1.0f && cbin < 4.0f)) continue;
      const int32_t row = dd->r + i, col = dd->c + j;
      if (row <= 0 || row >= img->height - 1 || col <= 0 || col >= img->width - 1) continue;
      float mag, ori;
      ZqCachedGradient(gaussPyr, dogPyr, dd->octv, dd->intv, row, col, 0, &mag, &ori);
      float rot = ori - feat->ori;
      while (rot < 0.0f) rot += kTwoPi;
      while (rot >= kTwoPi) rot -= kTwoPi;
      const float obin = rot * 1.2732395f;
      const float w = gDescrWeightTab.w[dd->intv - 1][Abs(i)][Abs(j)] * mag;
      Spread(hist, rbin, cbin, obin, w);
    }
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
        const auto col = static_cast<int16_t>(roundf(sin_t * py + cos_t * px + fc));
        const auto row = static_cast<int16_t>(roundf(cos_t * py - sin_t * px + fr));
        if (col < 0 || row < 0 || col >= img->width || row >= img->height) {
          v[p] = -1.0f;
        } else {
          v[p] = ZqGetPixel(img, row, col);
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
