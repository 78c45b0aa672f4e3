#include "src/ZqAlg/ZqTemplateUpdate.h"

#include <stddef.h>
#include <string.h>

#include <algorithm>

#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdateRules.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/ZqAlg/ZqWorkBlocks.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kSlots = MAX_SUBTEMPLATES_PER_FINGER;
constexpr uint16_t kNoRoot = 255;
// Least forward score that earns a reverse comparison.
constexpr int kReverseFrom = 5;

using zq_work::ByteBlock;
using zq_work::HmatrixTable;
using zq_hmatrix::Inv;
using zq_hmatrix::Then;

// The record names no finger and asks for no update; the template buffer
// holds no pending update.
void ForgetRecord(ST_QuorvTempupdateInfor *rec) {
  rec->updateFingerId = 0;
  rec->updateTag = 0;
  rec->updateFlag = 0;
  rec->updateReserved = 0;
  rec->imageArea = 0;
  if (gQuorvTempalteBufInfor != nullptr) gQuorvTempalteBufInfor->bufUpdateState = 0;
}

// The record's sample becomes empty (no features, all fields cleared) and
// the record is forgotten.
void ConsumeRecord(ST_QuorvTempupdateInfor *rec) {
  ZqClearSubTemplate(&rec->updateVerifyTemplate);
  ForgetRecord(rec);
}

// Step 16 of every call: the template buffer's and the adaptive level's
// bookkeeping of the result.
int Finish(int ret) {
  if (ret == -2 && gQuorvTempalteBufInfor != nullptr) gQuorvTempalteBufInfor->bufUpdateState = 1;
  if (gSensorInfor.adjustMatchEn == 1) {
    uint8_t &run = gAutoMatchLevel.continueSucessUpdateNum;
    if (ret != 0) {
      run = 0;
    } else if (run != 255) {
      ++run;
    }
  }
  QUORV_LOGI("%s...continueSucessUpdateNum = %d", "ZqTemplateUpdate",
             gAutoMatchLevel.continueSucessUpdateNum);
  return ret;
}

// Relates the sample to the finger and adds or replaces a sub-template
// (steps 4 to 13). f is valid and its record exists.
int RelateAndUpdate(ST_QuorvTempupdateInfor *rec, uint16_t f, uint32_t *updatedFingerId) {
  ST_QuorvEnrollTemplate *finger = gEnrolledTemplate[f];
  ST_SubTemplate *sample = &rec->updateVerifyTemplate;
  const uint32_t n = std::min<uint32_t>(finger->currentSubtemplatesNum, kSlots);
  const uint32_t maxTpl = gSensorInfor.algMaxTplCount;
  const uint8_t U = std::min<uint8_t>(gSensorInfor.updateFarLevel, ZQ_FAR_LEVEL_COUNT - 1);
  const uint8_t L = zq_update::WorkingLevel(U, gSensorInfor.algoMode, gSensorInfor.adjustMatchEn,
                                            gAutoMatchLevel.raisedUpdateLevel, n);
  if (gSensorInfor.algoMode == 3 && rec->imageArea <= 40) {
    QUORV_LOGE("%s...imageArea < %d, error, ret = %d", "ZqTemplateUpdate", 40, -1);
    return -1;
  }
  const uint32_t area = ZqSensorPixels();

  // The coverage map and the transforms from the sample to each
  // sub-template: a record for every sub-template the finger holds, also
  // beyond algMaxTplCount, so no index runs past them.
  ByteBlock flags(area);
  if (flags.get() == nullptr) {
    QUORV_LOGE("%s...pMatchPointFlg == NULL", "ZqTemplateUpdate");
    return -1;
  }
  HmatrixTable hm;
  const uint32_t records = std::min<uint32_t>(std::max(n, maxTpl), kSlots);
  if (!hm.AllocateArray(records, "ZqTemplateUpdate") || !hm.AllocateRecords("ZqTemplateUpdate"))
    return -1;
  gUpdateTemplateId = 255;
  QUORV_LOGI("%s...finger_id[%d]->subtemplates_num= %d", "ZqTemplateUpdate", f, static_cast<int>(n));

  uint8_t level[kSlots] = {};
  uint8_t scores[kSlots] = {};
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  uint32_t covered = 0;
  int maxScore = 0;
  int best = -1;
  int bestScore = 0;
  ST_FullHMatrix bestT{};
  const int thrHigh = gUpdateScores[L];
  const int thrLow = L > 0 ? gUpdateScores[L - 1] : 0;
  const int thrLower = L > 1 ? gUpdateScores[L - 2] : 0;

  for (uint32_t i = 0; i < n; ++i) {
    if (ZqGetCoinFlg(sample->coinFlg, static_cast<uint8_t>(i)) != 0) continue;
    ST_FullHMatrix *Ti = &hm[i];
    int s = ZqVerifySubTemplate(sample, static_cast<int16_t>(i), static_cast<int16_t>(f), Ti, 0, 1);
    if (s < 0) s = 0;  // a matcher error relates nothing
    int r = 0;
    int v = s;
    if (s >= kReverseFrom && s < thrHigh) {
      ST_FullHMatrix T2{};
      r = ZqVerifyTwoTemplate(&finger->subtemplates[i], sample, &T2, 0, 1);
      if (r > s) {
        *Ti = Inv(T2);
        v = r;
      }
    }
    if (L > 1 && v >= thrLow) {
      level[i] = 1;
      ZqSetCoinFlg(codes, static_cast<uint8_t>(i), 1);
    }
    maxScore = std::max(maxScore, v);
    bool cover = false;
    bool overlapTest = false;
    if (v >= thrHigh) {
      level[i] = 2;
      ZqSetCoinFlg(codes, static_cast<uint8_t>(i), 2);
      if (v > bestScore) {
        best = static_cast<int>(i);
        bestScore = v;
        bestT = *Ti;
      }
      cover = overlapTest = true;
    } else if (L > 2 && s >= thrLower && r >= thrLower) {
      level[i] = 1;
      ZqSetCoinFlg(codes, static_cast<uint8_t>(i), 1);
      cover = true;
    } else if (level[i] == 1) {
      cover = true;
    }
    if (cover) {
      uint32_t pair = 0;
      ZqTemplateCoinArea(&finger->subtemplates[i], sample, Ti, flags.get(), &covered, &pair);
      if (overlapTest && static_cast<uint64_t>(area) * 80u < static_cast<uint64_t>(pair) * 100u) {
        level[i] = 3;
        ZqSetCoinFlg(codes, static_cast<uint8_t>(i), 3);
      }
      ZqSaveToSimpleHmatrix(Ti, &sample->simpleHmatrix[i]);
    }
    scores[i] = static_cast<uint8_t>(v);
  }

  if (gSensorInfor.adjustMatchEn == 1) {
    const ST_AutoMatchLevel &a = gAutoMatchLevel;
    QUORV_LOGI("%s...ucMaxMatchPointNum = %d, continueSucessUpdateNum = %d, continueSucessMatchNum = %d",
               "ZqTemplateUpdate", maxScore, a.continueSucessUpdateNum, a.continueSucessMatchNum);
    if (gSensorInfor.algoMode == 2 && maxScore <= gUpdateScores[U] + 1 &&
        a.continueSucessUpdateNum == 0 && a.continueSucessMatchNum <= 2) {
      QUORV_LOGI("%s...NO need update, ucMaxMatchPointNum( = %d) <= updateFarLevel + 1( = %d), "
                 "continueSucessUpdateNum( = %d) < 1, continueSucessMatchNum( = %d) < 3",
                 "ZqTemplateUpdate", maxScore, gUpdateScores[U] + 1, a.continueSucessUpdateNum,
                 a.continueSucessMatchNum);
      return -2;
    }
  }

  // Root of the sample.
  if (best >= 0) {
    const ST_SubTemplate &b = finger->subtemplates[best];
    sample->rootIndex = b.rootIndex;
    sample->rootHmatrix = b.rootIndex == best ? bestT : Then(bestT, b.rootHmatrix);
    ZqEnrollTempateRootRefresh(static_cast<int16_t>(f), codes, scores, hm.data(), n,
                               sample->rootIndex, &sample->rootHmatrix);
  } else {
    sample->rootHmatrix = ST_FullHMatrix{};
    sample->rootIndex = n < maxTpl ? static_cast<uint16_t>(n) : kNoRoot;
  }

  // Sub-templates of the groups the sample related to cover it as well.
  uint8_t groupCovered[kSlots] = {};
  for (uint32_t a = 0; a < n; ++a) {
    if (level[a] == 0) continue;
    const ST_SubTemplate &sa = finger->subtemplates[a];
    const uint16_t root = sa.rootIndex;
    for (uint32_t j = a + 1; j < n; ++j) {
      const ST_SubTemplate &sj = finger->subtemplates[j];
      if (level[j] != 0 || groupCovered[j] || sj.rootIndex != root) continue;
      ST_FullHMatrix T;
      if (root == a) {
        T = Then(hm[a], Inv(sj.rootHmatrix));
      } else if (root == j) {
        T = Then(hm[a], sa.rootHmatrix);
      } else {
        T = Then(Then(hm[a], sa.rootHmatrix), Inv(sj.rootHmatrix));
      }
      ZqTemplateCoinArea(&sj, sample, &T, flags.get(), &covered, nullptr);
      groupCovered[j] = 1;
    }
  }

  uint32_t c1 = 0;
  uint32_t c2 = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (level[i] != 0) ++c1;
    if (level[i] >= 2) ++c2;
  }
  const bool qualified = c1 > 1 || c2 > 0;
  if (qualified && updatedFingerId != nullptr) *updatedFingerId = f;

  const uint8_t e = zq_update::AddedArea(ZqGetTemplateValidPixelNum(sample), covered, area);
  gQuorvMachInfo.sampleExtendArea = e;

  if (n < maxTpl) {
    QUORV_LOGI("%s...finger_id[%d]->currentSubtemplatesNum(= %d) < %d", "ZqTemplateUpdate", f,
               static_cast<int>(n), static_cast<int>(maxTpl));
    if (!qualified) {
      QUORV_LOGI("%s...update FAIL, ret = %d", "ZqTemplateUpdate", -2);
      return -2;
    }
    QUORV_LOGI("%s...MatchLevelCnt_1(= %d) > 1,or MatchLevelCnt_2(= %d) > 0", "ZqTemplateUpdate",
               static_cast<int>(c1), static_cast<int>(c2));
    ST_SubTemplate *slot = &finger->subtemplates[n];
    if (ZqSubTemplateCopy(slot, sample) != 0) {
      // The slot is not counted: the finger gains no sub-template without
      // features.
      QUORV_LOGE("%s...gEnrolledTemplate[%d]->subtemplates[%d].pTemplateFeature == NULL",
                 "ZqTemplateUpdate", f, static_cast<int>(n));
      ZqClearSubTemplate(slot);
      return -1;
    }
    gUpdateTemplateId = static_cast<int32_t>(n);
    gQuorvMachInfo.updateIndex = static_cast<int32_t>(n);
    finger->currentSubtemplatesNum = static_cast<uint16_t>(n + 1);
    QUORV_LOGI("%s...increase subtemplates, finger_id[%d]->currentSubtemplatesNum= %d",
               "ZqTemplateUpdate", f, static_cast<int>(n + 1));
    memcpy(slot->coinFlg, codes, sizeof(codes));
    slot->extendArea = e;
    finger->coverageArea += e;
    QUORV_LOGI("%s...update success, condition 1 : inc tpl, fid[%d]->curSubTplNum(=%d) < max_tpls(=%d)",
               "ZqTemplateUpdate", f, static_cast<int>(n + 1), static_cast<int>(maxTpl));
    gQuorvMachInfo.updataMode = 1;
    return 0;
  }

  if (!qualified) {
    QUORV_LOGI("%s...update FAIL, ret = %d", "ZqTemplateUpdate", -2);
    return -2;
  }
  zq_update::SlotFacts facts[kSlots];
  const uint32_t K = zq_update::SplitIndex(maxTpl);
  for (uint32_t a = 0; a < n; ++a) {
    const ST_SubTemplate &s = finger->subtemplates[a];
    facts[a].extendArea = s.extendArea;
    facts[a].templateArea = s.templateArea;
    facts[a].replacedFlg = s.replacedFlg;
    facts[a].localCode = static_cast<uint8_t>(ZqGetCoinFlg(codes, static_cast<uint8_t>(a)));
    facts[a].code3InFront = 0;
    for (uint32_t j = 0; j < std::min(K, n); ++j) {
      if (j != a && ZqGetCoinFlg(s.coinFlg, static_cast<uint8_t>(j)) == 3) facts[a].code3InFront = 1;
    }
  }
  const zq_update::Replacement rep = zq_update::ChooseReplacement(facts, n, K, e, sample->templateArea);
  if (rep.clearRotation) {
    for (uint32_t a = K; a < n; ++a) finger->subtemplates[a].replacedFlg = 0;
  }
  if (rep.slot < 0) {
    if (gSensorInfor.templateExtraEn == 1) ZqRefreshTemplateExtraInfor(sample, static_cast<uint8_t>(f));
    return -1;
  }
  const int x = rep.slot;
  switch (rep.condition) {
    case 2:
      QUORV_LOGI("%s...update success, condition 2 : extend area is batter, replace template "
                 "fid[%d]->subtemplates[%d]", "ZqTemplateUpdate", f, x);
      break;
    case 3:
      QUORV_LOGI("%s...updata success, condition 3: area is batter, replace template fid[%d]",
                 "ZqTemplateUpdate", f);
      break;
    case 4:
      QUORV_LOGI("%s...update success, condition 4: replace no usefull subtemplate, finger_id[%d]",
                 "ZqTemplateUpdate", f);
      break;
    case 5:
      QUORV_LOGI("%s...update success, condition 5: replace no usefull subtemplate, finger_id[%d]",
                 "ZqTemplateUpdate", f);
      break;
    default:
      QUORV_LOGI("%s...update success, condition 6:  replace dynamic subtemplate, finger_id[%d]",
                 "ZqTemplateUpdate", f);
      break;
  }
  ZqSetCoinFlg(codes, static_cast<uint8_t>(x), 0);
  if (ZqTemplateReplace(static_cast<int16_t>(f), static_cast<uint16_t>(x), sample, codes,
                        hm.data()) != 0) {
    return -1;
  }
  finger->subtemplates[x].replacedFlg = 1;
  gUpdateTemplateId = x;
  gQuorvMachInfo.updateIndex = x;
  gQuorvMachInfo.updataMode = rep.condition;
  return 0;
}

}  // namespace

extern "C" {

int ZqTemplateUpdate(int update, uint32_t *updatedFingerId) {
  ST_QuorvTempupdateInfor *rec = gQuorvTempupdateInfor;
  if (rec == nullptr) return Finish(-1);
  ST_SubTemplate *sample = &rec->updateVerifyTemplate;
  if (sample->pTemplateFeature == nullptr) {
    ForgetRecord(rec);
    return Finish(-1);
  }
  ZqNegativeTemplateBufUpdate();

  int ret;
  const uint16_t f = rec->updateFingerId;
  if (update == 0) {
    ret = -1;
    QUORV_LOGE("%s...error, update = %d, ret = %d", __func__, update, ret);
  } else if (rec->updateFlag == 0) {
    ret = -1;
    QUORV_LOGE("%s...error, update decision disable, ret = %d", __func__, ret);
  } else if (f >= MAX_FINGERS_SUPPORTED || gEnrolledTemplate[f] == nullptr) {
    ret = -1;
    QUORV_LOGE("%s...finger_id > %d, error, ret = %d", __func__, MAX_FINGERS_SUPPORTED - 1, ret);
  } else {
    ret = RelateAndUpdate(rec, f, updatedFingerId);
  }
  ConsumeRecord(rec);
  return Finish(ret);
}

}  // extern "C"
