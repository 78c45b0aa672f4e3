#include "src/ZqAlg/ZqKpAgreement.h"

#include <math.h>

#include "src/ZqAlg/ZqFrameMap.h"
#include "src/image/ZqAffine.h"
#include "src/quorv_base/quorv_log.h"

using zq_frame::Inside;
using zq_frame::MapX;
using zq_frame::MapY;

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kOriLow = 0.2617f;   // orientation sets keep (0.2617, 2.8799)
constexpr float kOriHigh = 2.8799f;
constexpr uint32_t kMinOriSet = 10;  // members a set needs for a variance
constexpr float kRecallRadius = 1.5f;
constexpr float kRecurRadius = 1.0f;
constexpr float kRefitRadius = 3.0f;

ST_HMatrix Affine(const ST_FullHMatrix &h) { return {h.a00, h.a01, h.a02, h.a10, h.a11, h.a12}; }

// Keypoints of both groups of t; 0 without a feature array.
uint32_t KpCount(const ST_SubTemplate &t) {
  if (t.pTemplateFeature == nullptr) return 0;
  return static_cast<uint32_t>(t.nFeatureNum[0]) + t.nFeatureNum[1];
}

// First index and length of group k (0 or 1) of t.
void GroupRange(const ST_SubTemplate &t, uint32_t k, uint32_t *first, uint32_t *len) {
  *first = k == 0 ? 0u : t.nFeatureNum[0];
  *len = t.pTemplateFeature == nullptr ? 0u : t.nFeatureNum[k];
}

// Orientations of the accepted keypoints folded two ways: set A holds
// those whose ori folded into [0, pi) lies inside the band, set B those
// whose ori + pi/2 folded into [0, pi] does.
struct OriSets {
  uint32_t nA = 0, nB = 0;
  float sumA = 0, sqA = 0, sumB = 0, sqB = 0;

  void Add(float ori) {
    float t = ori;
    if (t < 0) t += kPi;
    if (t > kOriLow && t < kOriHigh) {
      ++nA;
      sumA += t;
      sqA += t * t;
    }
    float u = ori + kHalfPi;
    if (u < 0) {
      u += kPi;
    } else if (u > kPi) {
      u -= kPi;
    }
    if (u > kOriLow && u < kOriHigh) {
      ++nB;
      sumB += u;
      sqB += u * u;
    }
  }

  static float Variance(uint32_t n, float sum, float sq) {
    const float fn = static_cast<float>(n);
    return (fn * sq - sum * sum) / (fn * fn);
  }

  // Variance of the larger set (A on ties) when it has at least 10 members.
  float Var() const {
    if (nA >= kMinOriSet && nA >= nB) return Variance(nA, sumA, sqA);
    if (nB >= kMinOriSet && nB > nA) return Variance(nB, sumB, sqB);
    return 0.0f;
  }
};

// One pass over sample keypoints, accepting those that lie inside both
// valid areas at a position not listed yet.
class AreaFilter {
 public:
  AreaFilter(const ST_HMatrix &h, const uint8_t *smpMask, const uint8_t *tplMask, int32_t cols,
             int32_t rows, ST_MatchPoint *list)
      : h_(h), smpMask_(smpMask), tplMask_(tplMask), cols_(cols), rows_(rows), list_(list) {}

  // True when f is accepted (then listed and its orientation tallied);
  // *mx, *my get its unrounded image.
  bool Accept(const ST_Feature &f, float *mx, float *my) {
    for (uint32_t i = 0; i < n_; ++i) {
      const double dx = static_cast<double>(list_[i].x) - static_cast<double>(f.x);
      const double dy = static_cast<double>(list_[i].y) - static_cast<double>(f.y);
      if (fabs(dx) < 1e-6 && fabs(dy) < 1e-6) return false;
    }
    *mx = MapX(h_, f.x, f.y);
    *my = MapY(h_, f.x, f.y);
    int32_t X, Y, sx, sy;
    if (!zq_frame::Round(*mx, &X) || !zq_frame::Round(*my, &Y) || !Inside(X, Y, cols_, rows_))
      return false;
    if (!zq_frame::Round(f.x, &sx) || !zq_frame::Round(f.y, &sy) || !Inside(sx, sy, cols_, rows_))
      return false;
    if (smpMask_[sy * cols_ + sx] == 0 || tplMask_[Y * cols_ + X] == 0) return false;
    list_[n_].x = f.x;
    list_[n_].y = f.y;
    ++n_;
    sets_.Add(f.ori);
    return true;
  }

  uint32_t accepted() const { return n_; }
  float OriVar() const { return sets_.Var(); }

 private:
  ST_HMatrix h_;
  const uint8_t *smpMask_;
  const uint8_t *tplMask_;
  int32_t cols_, rows_;
  ST_MatchPoint *list_;
  uint32_t n_ = 0;
  OriSets sets_;
};

// Index of the first keypoint of tpl's group k within r in x and y of
// (x, y), or -1.
int32_t NearKeypoint(const ST_SubTemplate &tpl, uint32_t k, float x, float y, float r) {
  uint32_t first, len;
  GroupRange(tpl, k, &first, &len);
  for (uint32_t t = first; t < first + len; ++t) {
    const ST_Feature &f = tpl.pTemplateFeature[t];
    if (fabsf(f.x - x) < r && fabsf(f.y - y) < r) return static_cast<int32_t>(t);
  }
  return -1;
}

}  // namespace

extern "C" {

int32_t ZqCalImageRecurPoints(const uint64_t *tplBits, const uint64_t *smpBits,
                              const uint8_t *tplMask, const uint8_t *smpMask,
                              const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                              const ST_FullHMatrix *H, uint8_t *pct, uint16_t rows, uint16_t cols) {
  (void)tplMask;
  (void)smpMask;
  if (tplBits == nullptr || smpBits == nullptr || H == nullptr) {
    QUORV_LOGE("%s...input err", __func__);
    return 0;
  }
  if (sample == nullptr || tpl == nullptr) return 0;
  const ST_HMatrix h = Affine(*H);
  const uint32_t nSample = KpCount(*sample), nTpl = KpCount(*tpl);
  const float maxX = static_cast<float>(cols) - 1.0f, maxY = static_cast<float>(rows) - 1.0f;
  uint32_t n = 0, m = 0;
  for (uint32_t s = 0; s < nSample; ++s) {
    const ST_Feature &f = sample->pTemplateFeature[s];
    const float x = MapX(h, f.x, f.y), y = MapY(h, f.x, f.y);
    if (!(x >= 0.0f && x <= maxX && y >= 0.0f && y <= maxY)) continue;
    ++n;
    for (uint32_t t = 0; t < nTpl; ++t) {
      const ST_Feature &g = tpl->pTemplateFeature[t];
      if (fabsf(g.x - x) < kRecurRadius && fabsf(g.y - y) < kRecurRadius) {
        ++m;
        break;
      }
    }
  }
  if (pct != nullptr) *pct = static_cast<uint8_t>(m * 100u / (n + 1u));
  return static_cast<int32_t>(m);
}

void ZqCalcKpNumInMatchArea(const ST_SubTemplate *sample, const uint8_t *smpMaskImg,
                            const uint8_t *tplMaskImg, const ST_FullHMatrix *H,
                            ST_MatchPoint *list, int16_t *count, float *oriVar) {
  int32_t cols, rows;
  if (sample == nullptr || smpMaskImg == nullptr || tplMaskImg == nullptr || H == nullptr ||
      list == nullptr || count == nullptr || oriVar == nullptr ||
      !zq_frame::SensorFrame(&cols, &rows))
    return;
  AreaFilter area(Affine(*H), smpMaskImg, tplMaskImg, cols, rows, list);
  const uint32_t n = KpCount(*sample);
  for (uint32_t s = 0; s < n; ++s) {
    float mx, my;
    area.Accept(sample->pTemplateFeature[s], &mx, &my);
  }
  *count = static_cast<int16_t>(area.accepted());
  *oriVar = area.OriVar();
}

void ZqCalcRecallScore(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                       const uint8_t *smpMaskImg, const uint8_t *tplMaskImg, const ST_HMatrix *H,
                       ST_MatchPoint *list, uint16_t out[2], float *oriVar) {
  int32_t cols, rows;
  if (sample == nullptr || tpl == nullptr || smpMaskImg == nullptr || tplMaskImg == nullptr ||
      H == nullptr || list == nullptr || out == nullptr || oriVar == nullptr ||
      !zq_frame::SensorFrame(&cols, &rows))
    return;
  AreaFilter area(*H, smpMaskImg, tplMaskImg, cols, rows, list);
  uint32_t recalled = 0;
  for (uint32_t k = 0; k < 2; ++k) {
    uint32_t first, len;
    GroupRange(*sample, k, &first, &len);
    for (uint32_t s = first; s < first + len; ++s) {
      float mx, my;
      if (area.Accept(sample->pTemplateFeature[s], &mx, &my) &&
          NearKeypoint(*tpl, k, mx, my, kRecallRadius) >= 0)
        ++recalled;
    }
  }
  out[0] = static_cast<uint16_t>(area.accepted());
  out[1] = static_cast<uint16_t>(recalled);
  *oriVar = area.OriVar();
}

int32_t ZqCalcSimScoreRefit(const ST_SubTemplate *tpl, const ST_SubTemplate *sample,
                            const uint8_t *tplMaskImg, const uint8_t *smpMaskImg,
                            const uint8_t *tplBinImg, const uint8_t *smpBinImg, float sim,
                            const ST_HMatrix *H, ST_HMatrix *refit, float *refitSim) {
  (void)sim;
  int32_t cols, rows;
  if (tpl == nullptr || sample == nullptr || tplMaskImg == nullptr || smpMaskImg == nullptr ||
      tplBinImg == nullptr || smpBinImg == nullptr || H == nullptr || refit == nullptr ||
      refitSim == nullptr || !zq_frame::SensorFrame(&cols, &rows))
    return -1;
  const float fc = static_cast<float>(cols), fr = static_cast<float>(rows);
  ST_Point32f src[ZQ_REFIT_MAX_PAIRS], dst[ZQ_REFIT_MAX_PAIRS];
  int32_t n = 0;
  for (uint32_t k = 0; k < 2 && n < ZQ_REFIT_MAX_PAIRS; ++k) {
    uint32_t first, len;
    GroupRange(*sample, k, &first, &len);
    for (uint32_t s = first; s < first + len && n < ZQ_REFIT_MAX_PAIRS; ++s) {
      const ST_Feature &f = sample->pTemplateFeature[s];
      const float x = MapX(*H, f.x, f.y), y = MapY(*H, f.x, f.y);
      if (!(x > 0.0f && x < fc && y > 0.0f && y < fr)) continue;
      const int32_t t = NearKeypoint(*tpl, k, x, y, kRefitRadius);
      if (t < 0) continue;
      src[n] = {f.x, f.y};
      dst[n] = {tpl->pTemplateFeature[t].x, tpl->pTemplateFeature[t].y};
      ++n;
    }
  }
  if (n < ZQ_REFIT_MIN_PAIRS) return n;

  ST_HMatrix r;
  ZqGetAffineTrans_32f(src, dst, n, &r);
  uint32_t counted = 0, equal = 0;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      int32_t X, Y;
      if (!zq_frame::Round(MapX(r, static_cast<float>(x), static_cast<float>(y)), &X) ||
          !zq_frame::Round(MapY(r, static_cast<float>(x), static_cast<float>(y)), &Y) ||
          !Inside(X, Y, cols, rows))
        continue;
      const int32_t p = y * cols + x, q = Y * cols + X;
      if (smpMaskImg[p] == 0 || tplMaskImg[q] == 0) continue;
      ++counted;
      if ((smpBinImg[p] != 0) == (tplBinImg[q] != 0)) ++equal;
    }
  }
  *refit = r;
  *refitSim = counted == 0 ? 0.0f : static_cast<float>(equal) / static_cast<float>(counted);
  return n;
}

}  // extern "C"
