#include "src/ZqAlg/ZqRecallRescue.h"

#include <math.h>
#include <string.h>

#include "src/ZqAlg/ZqDescMatch.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqKpAgreement.h"
#include "src/ZqAlg/ZqMatchImages.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRuleVectors.h"
#include "src/enhance/ZqFastAtan2.h"
#include "src/features/ZqClassifier.h"
#include "src/features/ZqFarRuleTable.h"
#include "src/features/ZqGeomMath.h"
#include "src/image/ZqAffine.h"
#include "src/image/ZqBinSimilarity.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConvexHull.h"
#include "src/image/ZqMaskBits.h"
#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqMorphology.h"

namespace {

const float kPi = 3.14159265f;
const float kTwoPi = 6.28318531f;

inline void Map(const ST_FullHMatrix &H, float x, float y, float *X, float *Y) {
  *X = H.a00 * x + H.a01 * y + H.a02;
  *Y = H.a10 * x + H.a11 * y + H.a12;
}

// Pixel of a point rounded half away from zero, when inside the frame.
inline bool Pixel(float x, float y, int cols, int rows, int *px, int *py) {
  if (!(x > -1.0f && y > -1.0f && x < static_cast<float>(cols) && y < static_cast<float>(rows)))
    return false;
  *px = ZqRoundHalfAway(x);
  *py = ZqRoundHalfAway(y);
  return *px >= 0 && *py >= 0 && *px < cols && *py < rows;
}

}  // namespace

extern "C" {

void getKin2AndMatchNum1AvrKin2(const ST_MatchPoint *tplPts, const ST_MatchPoint *smpPts,
                                uint16_t count, const ST_FullHMatrix *H, int32_t *kin2Num,
                                int32_t *kin2Avr) {
  if (tplPts == nullptr || smpPts == nullptr || H == nullptr || kin2Num == nullptr ||
      kin2Avr == nullptr)
    return;
  int32_t n = 0, sum = 0;
  for (uint16_t i = 0; i < count; ++i) {
    float X, Y;
    Map(*H, smpPts[i].x, smpPts[i].y, &X, &Y);
    if (fabsf(X - tplPts[i].x) + fabsf(Y - tplPts[i].y) < 8.0f) {
      ++n;
      sum += smpPts[i].sim;
    }
  }
  *kin2Num = n;
  *kin2Avr = n > 0 ? sum / n : 0;
}

void getMatchNumRecall(const ST_SubTemplate *sample, const ST_SubTemplate *tpl, uint16_t start,
                       ST_MatchPoint *list, const ST_FullHMatrix *H, int rows, int cols,
                       int32_t *recallNum, int32_t *recallAvrSim, int32_t *recallStrongNum) {
  if (sample == nullptr || tpl == nullptr || list == nullptr || H == nullptr ||
      recallNum == nullptr || recallAvrSim == nullptr || recallStrongNum == nullptr ||
      sample->pTemplateFeature == nullptr || tpl->pTemplateFeature == nullptr)
    return;
  uint32_t len = start < ZQ_RESCUE_PAIRS ? start : ZQ_RESCUE_PAIRS;
  int32_t n = 0, sum = 0, strong = 0;
  const uint32_t groups = sample->classNum < 2 ? sample->classNum : 2u;
  for (uint32_t k = 0; k < groups && len < ZQ_RESCUE_PAIRS; ++k) {
    const uint32_t sFirst = k == 0 ? 0u : sample->nFeatureNum[0];
    const uint32_t tFirst = k == 0 ? 0u : tpl->nFeatureNum[0];
    for (uint32_t s = sFirst; s < sFirst + sample->nFeatureNum[k] && len < ZQ_RESCUE_PAIRS; ++s) {
      const ST_Feature &f = sample->pTemplateFeature[s];
      bool seen = false;
      for (uint32_t i = 0; i < len && !seen; ++i) seen = list[i].x == f.x && list[i].y == f.y;
      if (seen) continue;
      float X, Y;
      Map(*H, f.x, f.y, &X, &Y);
      if (!(X >= 0.0f && Y >= 0.0f && X < static_cast<float>(cols) && Y < static_cast<float>(rows)))
        continue;
      float e = f.ori - H->dtheta;
      if (e > kPi) e -= kTwoPi;
      if (e < -kPi) e += kTwoPi;
      for (uint32_t t = tFirst; t < tFirst + tpl->nFeatureNum[k]; ++t) {
        const ST_Feature &g = tpl->pTemplateFeature[t];
        if (!(fabsf(g.x - X) < 2.5f && fabsf(g.y - Y) < 2.5f)) continue;
        float d = fabsf(e - g.ori);
        if (d > kPi) d = kTwoPi - d;
        if (!(d <= 0.4f)) continue;
        const int32_t sim = static_cast<int32_t>(ZqCalcDescSim(&f, &g));
        sum += sim;
        if (sim > 190) ++strong;
        ++n;
        list[len] = ST_MatchPoint{f.x, f.y, f.ori, 0, static_cast<uint16_t>(sim)};
        ++len;
        break;
      }
    }
  }
  *recallNum = n;
  *recallAvrSim = n > 0 ? sum / n : 0;
  *recallStrongNum = strong;
}

int getPointSim(const ST_SubTemplate *sample, const ST_SubTemplate *tpl, int count,
                const ST_MatchPoint *tplPts, const ST_MatchPoint *smpPts, const ST_FullHMatrix *H,
                int rows, int cols, uint8_t *pct) {
  if (sample == nullptr || tpl == nullptr || tplPts == nullptr || smpPts == nullptr ||
      H == nullptr || pct == nullptr || rows <= 0 || cols <= 0 ||
      !zq_alg::CoversSensor(*sample, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)) ||
      !zq_alg::CoversSensor(*tpl, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)))
    return ZQ_ERR_PARAM;
  // tplBin / smpBin of the work images serve as the pair map and its dilation.
  zq_alg::MatchImages img;
  if (!img.Take(cols, rows)) return ZQ_ERR_ALLOC;
  ZqGetImageFromArr(tpl->templatePixValid, cols, rows, img.tplMask);
  ZqGetImageFromArr(sample->templatePixValid, cols, rows, img.smpMask);
  uint8_t *map = img.tplBin;
  uint8_t *near = img.smpBin;
  memset(map, 0, static_cast<size_t>(rows) * static_cast<size_t>(cols));
  for (int i = 0; i < count; ++i) {
    int tx, ty, sx, sy, mx, my;
    if (!Pixel(tplPts[i].x, tplPts[i].y, cols, rows, &tx, &ty)) continue;
    if (!Pixel(smpPts[i].x, smpPts[i].y, cols, rows, &sx, &sy)) continue;
    if (img.tplMask[ty * cols + tx] == 0 || img.smpMask[sy * cols + sx] == 0) continue;
    float X, Y;
    Map(*H, smpPts[i].x, smpPts[i].y, &X, &Y);
    if (!Pixel(X, Y, cols, rows, &mx, &my)) continue;
    if (fabsf(X - tplPts[i].x) + fabsf(Y - tplPts[i].y) < 8.0f) map[ty * cols + tx] = 1;
  }
  memcpy(near, map, static_cast<size_t>(rows) * static_cast<size_t>(cols));
  ZqDilate_v2(map, rows, cols, 3, 3, near);
  ST_FullHMatrix inv;
  ZqHmatrixInv(&inv, H);
  int32_t counted = 0, close = 0;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      if (img.tplMask[y * cols + x] == 0) continue;
      float X, Y;
      Map(inv, static_cast<float>(x), static_cast<float>(y), &X, &Y);
      int sx, sy;
      if (!Pixel(X, Y, cols, rows, &sx, &sy) || img.smpMask[sy * cols + sx] == 0) continue;
      ++counted;
      if (near[y * cols + x] != 0) ++close;
    }
  }
  *pct = static_cast<uint8_t>(counted > 0 ? close * 100 / counted : 0);
  return ZQ_OK;
}

int32_t getMatchNum1Avr(const ST_MatchPoint *smpPts, int inl, const uint16_t *idx, int32_t *out) {
  int32_t n = 0, sum = 0;
  if (smpPts != nullptr && idx != nullptr) {
    for (int i = 0; i < inl && i < ZQ_RESCUE_PAIRS; ++i) {
      if (idx[i] >= ZQ_RESCUE_PAIRS) continue;
      sum += smpPts[idx[i]].sim;
      ++n;
    }
  }
  const int32_t mean = n > 0 ? sum / n : 0;
  if (out != nullptr) *out = mean;
  return mean;
}

void getLocalFeature(const ST_MatchPoint *tplPts, ST_MatchPoint *smpPts, const uint16_t *idx,
                     uint16_t count, int inl, const ST_FullHMatrix *H,
                     const ST_SubTemplate *sample, const ST_SubTemplate *tpl, int rows, int cols,
                     int32_t *kin2Num, int32_t *kin2Avr, int32_t *matchNum1Avr,
                     int32_t *recallNum, int32_t *recallAvrSim, int32_t *recallStrongNum,
                     uint8_t *pointSimPct, int kin2Min, int pointSimMin, int recallSimMin,
                     int32_t *flag) {
  if (tplPts == nullptr || smpPts == nullptr || idx == nullptr || H == nullptr ||
      sample == nullptr || tpl == nullptr || kin2Num == nullptr || kin2Avr == nullptr ||
      matchNum1Avr == nullptr || recallNum == nullptr || recallAvrSim == nullptr ||
      recallStrongNum == nullptr || pointSimPct == nullptr || flag == nullptr)
    return;
  if (count > ZQ_RESCUE_PAIRS) count = ZQ_RESCUE_PAIRS;
  getKin2AndMatchNum1AvrKin2(tplPts, smpPts, count, H, kin2Num, kin2Avr);
  if (*kin2Num > kin2Min)
    getMatchNumRecall(sample, tpl, count, smpPts, H, rows, cols, recallNum, recallAvrSim,
                      recallStrongNum);
  if (*recallAvrSim > recallSimMin || *recallAvrSim == 0)
    getPointSim(sample, tpl, count, tplPts, smpPts, H, rows, cols, pointSimPct);
  if (*pointSimPct > pointSimMin) {
    getMatchNum1Avr(smpPts, inl, idx, matchNum1Avr);
    *flag = 1;
  }
  gMatchInfoTwo.kin2Num = *kin2Num;
  gMatchInfoTwo.recallNum = *recallNum;
  gMatchInfoTwo.pointSimPct = *pointSimPct;
  gMatchInfoTwo.matchNum1Avr = *matchNum1Avr;
  gMatchInfoTwo.kin2Avr = *kin2Avr;
  gMatchInfoTwo.recallAvrSim = *recallAvrSim;
  gMatchInfoTwo.recallStrongNum = *recallStrongNum;
}

}  // extern "C"

namespace zq_alg {

namespace {

// Hands a false-reject list vector to the observer.
void Observe(int32_t kind, const int16_t vec[6], int32_t score, int32_t t) {
  ZqRuleVector v = {kind, 0, 6, {0}, score, t};
  for (int c = 0; c < 6; ++c) v.vec[c] = vec[c];
  ZqRuleVectorNotify(&v);
}

// The false-reject lists (rules 21 and 22).
int32_t FalseRejectLists(const RescueInput &in, int32_t score, int32_t *code) {
  const ZqRescueData &d = *in.data;
  const int32_t rows = in.rows, cols = in.cols;
  ST_Point16s hull16[ZQ_RESCUE_HULL_POINTS];
  for (int32_t i = 0; i < d.hullCount; ++i)
    hull16[i] = ST_Point16s{static_cast<int16_t>(ZqRoundHalfAway(d.hullTpl[i].x)),
                            static_cast<int16_t>(ZqRoundHalfAway(d.hullTpl[i].y))};
  int32_t hullArea = 0;
  ZqCalcConvexHull(hull16, d.hullCount, &hullArea);
  uint8_t *const *im = in.images->img;  // template bits, sample bits, template mask, sample mask
  const size_t bytes = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (int i = 0; i < ZQ_RESCUE_IMAGES; ++i) memset(im[i], 0, bytes);
  ZqGetImageFromArr(in.tpl->templateBinDiscr, cols, rows, im[0]);
  ZqGetImageFromArr(in.sample->templateBinDiscr, cols, rows, im[1]);
  ZqGetImageFromArr(in.tpl->templatePixValid, cols, rows, im[2]);
  ZqGetImageFromArr(in.sample->templatePixValid, cols, rows, im[3]);
  int16_t kpCount = 0;
  float oriVar = 0.0f;
  ZqCalcKpNumInMatchArea(in.sample, im[3], im[2], in.H, in.list, &kpCount, &oriVar);
  ST_HMatrix A0;
  ZqGetAffineTrans_32f(d.hullSmp, d.hullTpl, d.hullCount, &A0);
  uint16_t c[2];
  const float sim0 = ZqCalcSimScore(im[2], im[0], im[3], im[1], rows, cols, &A0, c);
  const ST_HMatrix *h = reinterpret_cast<const ST_HMatrix *>(in.H);
  ST_HMatrix A1 = {0, 0, 0, 0, 0, 0}, A2 = {0, 0, 0, 0, 0, 0};
  float sim1 = 0.0f, sim2 = 0.0f;
  ZqCalcSimScoreRefit(in.tpl, in.sample, im[2], im[3], im[0], im[1], in.ratio, h, &A1, &sim1);
  ZqCalcSimScoreRefit(in.tpl, in.sample, im[2], im[3], im[0], im[1], sim1, &A1, &A2, &sim2);
  float agree = 0.0f;
  uint8_t binOv = 0;
  int32_t binCount = 0;
  ZqCalcBinFeature(im[2], im[0], im[3], im[1], rows, cols, h, &agree, &binOv, &binCount);
  float sim = in.ratio;
  ST_HMatrix T = *h;
  if (sim0 > in.ratio) sim = sim0, T = A0;
  if (sim1 > sim) sim = sim1, T = A1;
  if (sim2 > sim) sim = sim2, T = A2;
  const float gain = sim - in.ratio;
  float angle = 0.0f, shear = 0.0f, sdx = 0.0f, sdy = 0.0f;
  ZqCalcMatrixInfo(&T, &angle, &shear, &sdx, &sdy);
  int16_t vec[6] = {static_cast<int16_t>(in.best),
                    in.compared,
                    static_cast<int16_t>(hullArea),
                    static_cast<int16_t>(ZqRoundHalfAway(sim * 100.0f)),
                    static_cast<int16_t>(ZqRoundHalfAway(gain * 100.0f)),
                    static_cast<int16_t>(ZqRoundHalfAway(100.0f * oriVar))};
  const bool list0Gate = fabsf(sdx - sdy) < 0.12f && shear < 3.0f;
  const bool list1Gate =
      score < in.t && in.ratio > 0.76f && binCount > 5 && in.compared > 999 && hullArea > 99;
  int16_t vec1[6] = {vec[0], vec[1], vec[2],
                     static_cast<int16_t>(ZqRoundHalfAway(in.ratio * 100.0f)),
                     static_cast<int16_t>(binCount), vec[5]};
  if (ZqRuleVectorObserved()) {
    if (list0Gate) Observe(ZQ_RULE_FR_LIST0, vec, score, in.t);
    if (list1Gate) Observe(ZQ_RULE_FR_LIST1, vec1, score, in.t);
  }
  if (list0Gate && ZqCheckFrList(vec, 0) == 1) {
    *code = 21;
    return in.t;
  }
  if (list1Gate && ZqCheckFrList(vec1, 1) == 1) {
    *code = 22;
    return in.t;
  }
  return score;
}

// Rule table 7 over the rescue copy: -12 when a row holds the comparison's
// local measurements, 0 when none does, 1 when the gate of the look-up does
// not hold. Writes the measurements into gMatchInfoTwo.
int32_t Table7(const RescueInput &in, int32_t score) {
  const ST_MatchInfoTwo &info = gMatchInfoTwo;
  int32_t flag = 0, kin2Num = 0, kin2Avr = 0, num1Avr = 0, recallNum = 0, recallAvr = 0;
  int32_t strong = 0;
  uint8_t pointSim = 0;
  ZqRescueData &d = *in.data;
  getLocalFeature(d.tplPts, d.smpPts, d.idx, d.count, d.inl, in.H, in.sample, in.tpl, in.rows,
                  in.cols, &kin2Num, &kin2Avr, &num1Avr, &recallNum, &recallAvr, &strong,
                  &pointSim, 9, 30, 180, &flag);
  if (!(flag == 1 && kin2Num > 9 && info.uniformPct > 65 && pointSim > 30 &&
        (recallAvr == 0 || recallAvr > 180) && info.overlapPct > 30))
    return 1;
  int32_t vec[ZQ_DATA_T_V2_LEN];
  memset(vec, 0, sizeof(vec));
  ZqGetDataT_v2(vec, info);
  const ST_FarRuleTable t7 = ZqFarRuleTableGet(7);
  bool columnsFit = t7.nIndex != nullptr;
  for (int32_t c = 0; columnsFit && c < t7.nC; ++c)
    columnsFit = t7.nIndex[c] >= 0 && t7.nIndex[c] < ZQ_DATA_T_V2_LEN;
  if (!columnsFit) return 1;
  if (ZqRuleVectorObserved()) {
    const int32_t n = t7.nC < ZQ_RULE_VECTOR_MAX ? t7.nC : ZQ_RULE_VECTOR_MAX;
    ZqRuleVector v = {ZQ_RULE_TABLE7, 0, n, {0}, score, in.t};
    for (int32_t c = 0; c < n; ++c) v.vec[c] = vec[t7.nIndex[c]];
    ZqRuleVectorNotify(&v);
  }
  int32_t cut = 0;
  ZqCheckFAR(t7.nR, t7.nC, t7.puchdata, t7.nIndex, t7.nSig, vec, -12, &cut);
  return cut == -12 ? -12 : 0;
}

}  // namespace

int32_t RecallRescue(const RescueInput &in, int32_t score, int32_t *code) {
  *code = 0;
  if (in.sensorType != 9) return score;
  const int32_t before = score;
  bool listsRaised = false;
  if (score < in.t && in.best >= 5 && in.best <= 49 && in.ratio > 0.6f) {
    score = FalseRejectLists(in, score, code);
    listsRaised = *code != 0;
  }
  const ST_MatchInfoTwo &info = gMatchInfoTwo;
  const bool table7Gate = in.identify && before < in.t && in.data->inl > 5 &&
                          info.uniformPct > 65 && info.overlapPct > 30;
  if (table7Gate && !listsRaised) {
    if (Table7(in, before) == 0) {
      score = in.t;
      *code = 1;
    }
  } else if (table7Gate && ZqRuleVectorObserved()) {
    // Measured for the observer only; the pair record stays as the lists
    // left it (nothing reads the rescue copy after the rescue).
    const ST_MatchInfoTwo kept = gMatchInfoTwo;
    Table7(in, before);
    gMatchInfoTwo = kept;
  }
  return score;
}

}  // namespace zq_alg
