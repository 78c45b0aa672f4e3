#include <math.h>
#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqCalcHMat.h"
#include "src/ZqAlg/ZqDescMatch.h"
#include "src/ZqAlg/ZqKpAgreement.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchImages.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRuleVectors.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/enhance/ZqFastAtan2.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqClassifier.h"
#include "src/features/ZqGeomMath.h"
#include "src/image/ZqAffine.h"
#include "src/image/ZqBinSimilarity.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConvexHull.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Limits on ZqCalcMatrixInfo's scale deviations and shear.
struct ShapeLimits {
  float scale, scaleDiff, shear;
};

// A candidate passes the strict or the loose limits of the mode.
bool Passes(const ST_HMatrix &T, uint8_t algoMode) {
  const bool mode4 = algoMode == 4;
  const ShapeLimits strict = {mode4 ? 0.16f : 0.1f, mode4 ? 0.16f : 0.08f, 3.5f};
  const ShapeLimits loose = {0.1f, mode4 ? 0.1f : 0.08f, mode4 ? 8.0f : 3.5f};
  float angle = 0.0f, shear = 0.0f, sx = 0.0f, sy = 0.0f;
  ZqCalcMatrixInfo(&T, &angle, &shear, &sx, &sy);
  auto within = [&](const ShapeLimits &l) {
    return fabsf(sx) < l.scale && fabsf(sy) < l.scale && fabsf(sx - sy) < l.scaleDiff &&
           shear < l.shear;
  };
  return within(strict) || within(loose);
}

// Pool blocks of one call, released in reverse order.
class Blocks {
 public:
  Blocks() = default;
  ~Blocks() {
    for (int i = count_ - 1; i >= 0; --i) ZqSafeFreeInMemBlock(blocks_[i]);
  }
  Blocks(const Blocks &) = delete;
  Blocks &operator=(const Blocks &) = delete;
  void *Take(uint32_t bytes) {
    if (count_ == static_cast<int>(sizeof(blocks_) / sizeof(blocks_[0]))) return nullptr;
    void *p = ZqSafeAllocInMemBlock(static_cast<int32_t>(bytes));
    if (p != nullptr) blocks_[count_++] = p;
    return p;
  }

 private:
  void *blocks_[4] = {};
  int count_ = 0;
};

}  // namespace

extern "C" {

int ZqVerifyTwoTemplate_v2(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                           ST_FullHMatrix *H, uint8_t recallEn, uint8_t option) {
  (void)recallEn;
  (void)option;
  const ST_SensorInfor &cfg = gSensorInfor;
  const int32_t cols = cfg.cols, rows = cfg.rows;
  if (sample == nullptr || tpl == nullptr || H == nullptr || sample->pTemplateFeature == nullptr ||
      tpl->pTemplateFeature == nullptr)
    return ZQ_ERR_PARAM;
  const uint32_t smpKp = static_cast<uint32_t>(sample->nFeatureNum[0]) + sample->nFeatureNum[1];
  const uint32_t tplKp = static_cast<uint32_t>(tpl->nFeatureNum[0]) + tpl->nFeatureNum[1];
  if (sample->featBufSize < ZQ_FEATURE_BYTES * smpKp || tpl->featBufSize < ZQ_FEATURE_BYTES * tplKp ||
      !zq_alg::CoversSensor(*sample, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)) ||
      !zq_alg::CoversSensor(*tpl, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)))
    return ZQ_ERR_PARAM;

  Blocks blocks;
  auto *sims = static_cast<uint16_t(*)[2]>(blocks.Take(ZQ_MATCH_MAX_SAMPLE_KP * 4));
  auto *idx = static_cast<uint16_t(*)[2]>(blocks.Take(ZQ_MATCH_MAX_SAMPLE_KP * 4));
  auto *list = static_cast<ST_MatchPoint *>(blocks.Take((smpKp + 1) * sizeof(ST_MatchPoint)));
  zq_alg::MatchImages img;
  if (sims == nullptr || idx == nullptr || list == nullptr || !img.Take(cols, rows)) {
    QUORV_LOGE("%s...malloc fail", __func__);
    return ZQ_ERR_ALLOC;
  }

  ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS];
  uint16_t count = 0, pairCount = 0;
  ZqCalcHanmDistance(sample, tpl, sims, idx, &count);
  ZqGetMatchPairs(sample, tpl, sims, idx, count, pairs, &pairCount);
  ST_MatchPoint A[ZQ_MATCH_MAX_PAIRS], B[ZQ_MATCH_MAX_PAIRS];
  for (uint16_t i = 0; i < pairCount; ++i) {
    const ST_Feature &s = sample->pTemplateFeature[pairs[i].sampleIdx];
    const ST_Feature &t = tpl->pTemplateFeature[pairs[i].templateIdx];
    A[i] = ST_MatchPoint{s.x, s.y, s.ori, 0, pairs[i].bestSim};
    B[i] = ST_MatchPoint{t.x, t.y, t.ori, 0, 0};
  }
  ST_HMatrix T0;
  uint8_t flags[ZQ_HMAT_MAX_PAIRS] = {};
  int16_t inl = 0;
  ZqCalcHMat(A, B, pairCount, &T0, flags, &inl);

  ST_Point32f smpIn[ZQ_MATCH_MAX_PAIRS], tplIn[ZQ_MATCH_MAX_PAIRS];
  ST_Point16s tplIn16[ZQ_MATCH_MAX_PAIRS];
  int32_t j = 0;
  uint32_t simSum = 0;
  for (uint16_t i = 0; i < pairCount; ++i) {
    if (flags[i] == 0) continue;
    smpIn[j] = ST_Point32f{A[i].x, A[i].y};
    tplIn[j] = ST_Point32f{B[i].x, B[i].y};
    tplIn16[j] = ST_Point16s{static_cast<int16_t>(ZqRoundHalfAway(B[i].x)),
                             static_cast<int16_t>(ZqRoundHalfAway(B[i].y))};
    simSum += pairs[i].bestSim;
    ++j;
  }
  const uint32_t meanSim = j > 0 ? (simSum + static_cast<uint32_t>(j) / 2) / static_cast<uint32_t>(j) : 0;

  const int32_t area = cols * rows;
  ST_HMatrix chosen = T0;
  float sim = 0.0f;
  int32_t score = inl, result = inl, recall = 0;
  uint16_t c0[2] = {0, 0};
  bool foreignBodyCut = false, cutRan = false, falseAcceptCut = false;
  int32_t beforeCuts = inl;
  if (inl >= 6) {
    img.Unpack(*sample, *tpl);
    const float sim0 = ZqCalcSimScore(img.tplMask, img.tplBin, img.smpMask, img.smpBin, rows, cols,
                                      &T0, c0);
    sim = sim0;
    const int32_t ovPct = area > 0 ? (c0[0] * 100 + area / 2) / area : 0;
    ST_HMatrix T1;
    ZqGetAffineTrans_32f(smpIn, tplIn, j, &T1);
    uint16_t c1[2];
    const float sim1 =
        ZqCalcSimScore(img.tplMask, img.tplBin, img.smpMask, img.smpBin, rows, cols, &T1, c1);
    if (Passes(T1, cfg.algoMode) && sim1 > sim) {
      sim = sim1;
      chosen = T1;
    }
    ST_HMatrix T2 = {0, 0, 0, 0, 0, 0};
    float sim2 = 0.0f;
    ZqCalcSimScoreRefit(tpl, sample, img.tplMask, img.smpMask, img.tplBin, img.smpBin, sim, &chosen,
                        &T2, &sim2);
    if (Passes(T2, cfg.algoMode) && sim2 > sim) {
      sim = sim2;
      chosen = T2;
    }
    const float floor = cfg.algoMode == 4 ? 0.81f : 0.83f;
    if (sim < floor) score = ZqRoundHalfAway(static_cast<float>(inl) * sim);
    result = score;

    if (cfg.foreignBodyTest != 0 && fabsf(chosen.a02) < 8.0f && fabsf(chosen.a12) < 8.0f &&
        static_cast<float>(c0[1]) > 0.9f * static_cast<float>(area) && sim < 0.82f) {
      ++gForeignBodyCutCnt;
      result = 0;
      foreignBodyCut = true;
    } else if (score >= 6 && score <= 11) {
      int32_t hullArea = 0;
      ZqCalcConvexHull(tplIn16, j, &hullArea);
      uint16_t rec[2] = {0, 0};
      float oriVar = 0.0f;
      ZqCalcRecallScore(sample, tpl, img.smpMask, img.tplMask, &chosen, list, rec, &oriVar);
      recall = rec[1];
      float agree = 0.0f;
      uint8_t binOv = 0;
      int32_t binCount = 0;
      ZqCalcBinFeature(img.tplMask, img.tplBin, img.smpMask, img.smpBin, rows, cols, &chosen,
                       &agree, &binOv, &binCount);
      bool low = score <= 8;
      bool rules = score >= 7;
      if (score == 6 && cfg.algoMode == 4 && ovPct > 22 && sim > 0.84f &&
          (meanSim > 215 || oriVar > 0.03f) && hullArea > 100) {
        result = 7;
        low = true;
        rules = true;
      }
      bool cut = false;
      cutRan = true;
      beforeCuts = result;
      if (rules) {
        cut = (ovPct <= 20 && low && oriVar < 0.03f) || (ovPct <= 15 && low) ||
              (result <= 8 && hullArea <= 99) || (result <= 9 && ovPct > 74 && sim < 0.76f) ||
              (ovPct > 84 && low);
        if (cut) result = 1;
        falseAcceptCut = cut;
      }
      if (!cut && cfg.classifierOn == 1) {
        const uint16_t type = ZqSensorTypeGet();
        int listType = 0;
        if (type == 10 && cfg.algoMode == 4) listType = 1;
        if (type == 14 && cfg.algoMode == 5) listType = 2;
        if (type == 16 && cfg.algoMode == 5) listType = 3;
        const int16_t vec[6] = {inl,
                                static_cast<int16_t>(recall),
                                static_cast<int16_t>(ZqRoundHalfAway(sim * 100.0f)),
                                static_cast<int16_t>(ovPct),
                                static_cast<int16_t>(ZqRoundHalfAway(oriVar * 100.0f)),
                                static_cast<int16_t>(binCount)};
        if (listType != 0 && ZqRuleVectorObserved()) {
          ZqRuleVector v = {ZQ_RULE_FA_LIST, listType, 6, {0}, result, 0};
          for (int c = 0; c < 6; ++c) v.vec[c] = vec[c];
          ZqRuleVectorNotify(&v);
        }
        if (listType != 0 && ZqCheckFaList(vec, listType) == 1) {
          result = 1;
          falseAcceptCut = true;
          if (quorv_IsIdentifyMode(gQuorvActionMode)) ++gNumRefusedByClassifier;
        }
      }
    }
  }

  float angle = 0.0f, shear = 0.0f, sx = 0.0f, sy = 0.0f;
  ZqCalcMatrixInfo(&chosen, &angle, &shear, &sx, &sy);
  if (angle > 180.0f) angle -= 360.0f;
  H->a00 = chosen.a00;
  H->a01 = chosen.a01;
  H->a02 = chosen.a02;
  H->a10 = chosen.a10;
  H->a11 = chosen.a11;
  H->a12 = chosen.a12;
  H->a20 = 0.0f;
  H->a21 = 0.0f;
  H->a22 = 1.0f;
  H->dtheta = angle * 0.0174532924f;

  const uint32_t action = gQuorvActionMode;
  if (action == QUORV_ACTION_ENROLL || quorv_IsIdentifyMode(action)) {
    gQuorvMachInfo.binScore = score;
    gQuorvMachInfo.ransacScore = inl;
    gQuorvMachInfo.ration = sim;
    gQuorvMachInfo.overlapsize = c0[0];
    gQuorvMachInfo.matchScore = score;
    gQuorvMachInfo.recallScore = recall;
    gQuorvMachInfo.uniformSize = 0;
  }
  gMatchInfoTwo.rebak = gRebak;
  if (gZqVerifyTraceHook != nullptr) {
    // One registration over all pairs; the pixel agreement discounts the
    // count, the rules and the false-accept list cut it to 1.
    const ZqVerifyTrace trace = {sample,
                                 tpl,
                                 H,
                                 pairCount,
                                 pairCount,
                                 pairCount,
                                 pairCount,
                                 inl,
                                 c0[0],
                                 static_cast<int32_t>(sim * static_cast<float>(c0[0])),
                                 foreignBodyCut ? 1 : 0,
                                 score,
                                 cutRan ? 1 : 0,
                                 cutRan ? beforeCuts : score,
                                 falseAcceptCut ? ZQ_CLS_CUT : ZQ_CLS_NOT_RUN,
                                 0,
                                 result};
    gZqVerifyTraceHook(&trace);
  }
  return result;
}

}  // extern "C"
