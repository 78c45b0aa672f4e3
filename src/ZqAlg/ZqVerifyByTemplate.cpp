// Identification: the search of the enrolled store in the order the match
// history has learned, the acceptance of a match and the bookkeeping around
// it (kept results, match report, update record, template buffer).
#include "src/ZqAlg/ZqVerifyByTemplate.h"

#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqClassifierCutFar.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateCrossCheck.h"
#include "src/ZqAlg/ZqVerifyByTemplateParts.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_alg::VerifyCuts;

constexpr int kFingers = MAX_FINGERS_SUPPORTED;
constexpr int kRanks = MAX_SUBTEMPLATES_PER_FINGER;
constexpr uint8_t kNoId = 255;
// Reason preset handed to the cross-check; any other value was written by it.
constexpr int16_t kReasonPreset = 10;
// Score the cross-check counts as strong support.
constexpr uint8_t kCrossStrongScore = 6;
// Above this matchScore a match needs no cross-check.
constexpr int32_t kCrossCheckMaxScore = 8;

// True until the first identification of the process has run.
bool gFirstVerify = true;

uint32_t NowMs() {
  return (g_functimes != 0 && quorv_fp_get_system_time != nullptr)
             ? static_cast<uint32_t>(quorv_fp_get_system_time())
             : 0u;
}

uint8_t Level(uint8_t level) { return level < ZQ_FAR_LEVEL_COUNT ? level : ZQ_FAR_LEVEL_COUNT - 1; }

const ST_QuorvEnrollTemplate *ValidFinger(int f) {
  const ST_QuorvEnrollTemplate *t = gEnrolledTemplate[f];
  return (t != nullptr && t->validFlg == 1) ? t : nullptr;
}

uint32_t HeldCount(const ST_QuorvEnrollTemplate &t) {
  return t.currentSubtemplatesNum < kRanks ? t.currentSubtemplatesNum : kRanks;
}

// The results an identification leaves, back to "nothing found".
void ClearKeptResults() {
  gVerifyScores = 0;
  gVerifyScore = 0;
  gVerifyFingerId = kNoId;
  gVerifyTemplateId = kNoId;
  gLastMatchScore = 0;
  memset(&gMatchHmatrix, 0, sizeof gMatchHmatrix);
  gMachScore = 0;
  gNumRefusedByClassifier = 0;
  gMulCheckFar = 0;
  gForeignBodyCutCnt = 0;
}

// Everything one search works with.
struct Search {
  const ST_SubTemplate *sample;
  uint16_t *fingerId;
  int16_t *updateFlag;
  ST_FullHMatrix *H;
  uint8_t option;
  bool identify;
  int32_t T;
  uint8_t recall;

  uint8_t fingerOrder[kFingers];
  uint8_t subOrder[kFingers][kRanks];
  int32_t subHits[kFingers][kRanks];
  uint8_t compared[kFingers][kRanks];
  bool rejected[kFingers];

  int32_t best;
  int32_t bestFinger;
  int32_t bestSub;
  ST_FullHMatrix bestH;
  int32_t highestRaw;  // largest raw inlier count while nothing scored

  ST_QuorvMachInfo savedReport;
  ST_MatchInfoTwo savedPair;
  uint16_t lastReason;
  uint16_t reasonCnt;
  int machCnt;
  int reverseCnt;
};

// The report names finger f's sub-template s as the candidate of the search.
void ReportCandidate(Search &st, int f, int s, int32_t recallScore, const ST_FullHMatrix &h,
                     const ST_MatchInfoTwo &pair) {
  ST_QuorvMachInfo &r = gQuorvMachInfo;
  r.matchIndex = s;
  r.recallScore = recallScore;
  r.fingerId = f;
  r.matchScoreThr = static_cast<uint8_t>(st.T);
  r.H_matrix = h;
  memcpy(r.subTempIndex, st.subOrder[f], sizeof r.subTempIndex);
  for (int i = 0; i < kRanks; ++i) r.subTempScore[i] = st.subHits[f][i];
  r.subTempNum = static_cast<uint8_t>(HeldCount(*gEnrolledTemplate[f]));
  st.savedReport = r;
  st.savedPair = pair;
  ZqSaveTempCharater(&gEnrolledTemplate[f]->subtemplates[s], &st.savedPair, 1);
}

enum class Verdict { kNone, kAccept, kReject };

// Step of the cross-check for the accepted-looking candidate; *upd gets the
// update flag of an acceptance.
Verdict CrossCheck(Search &st, int f, int k, const ST_CrossCheckMatch &cand, int16_t *upd) {
  const ST_QuorvMachInfo keep = gQuorvMachInfo;
  int16_t reason = kReasonPreset;
  const int32_t ret = ZqTemplate2TemplateMatch(st.sample, gEnrolledTemplate[f], st.subOrder[f], k,
                                               gSensorInfor.rows, gSensorInfor.cols, cand,
                                               kCrossStrongScore, &reason);
  QUORV_LOGD("%s...mulCheckRet = %d", "ZqVerifyByTemplate", ret);
  gQuorvMachInfo = keep;
  if (reason != kReasonPreset) {
    ++st.reasonCnt;
    st.lastReason = static_cast<uint16_t>(reason);
  }
  if (ret == -1) return Verdict::kReject;
  *upd = ret == 2 ? 0 : 1;
  return Verdict::kAccept;
}

// Compares the sample with sub-template rank k of finger f and decides.
Verdict Candidate(Search &st, int f, int k, int16_t *upd) {
  const ST_QuorvEnrollTemplate &finger = *gEnrolledTemplate[f];
  const int s = st.subOrder[f][k];
  const ST_SubTemplate &tpl = finger.subtemplates[s];
  ST_QuorvAreaMatchToplogy &pool = *gQuorvAreaMatchToplogy;
  QUORV_LOGD("%s...verify index = %d,finger_id[%d]->subtemplates[%d],total_subtemp = %d",
             "ZqVerifyByTemplate", k, f, s, finger.currentSubtemplatesNum);
  QUORV_LOGD("%s...matchSubTempIndexByPriority inx = %d", "ZqVerifyByTemplate", s);
  pool.pointNum = 0;
  gRebak = 0;

  ST_FullHMatrix h1{};
  const uint32_t startMs = NowMs();
  int32_t score = ZqVerifySubTemplate(st.sample, static_cast<int16_t>(s), static_cast<int16_t>(f),
                                      &h1, st.recall, st.option);
  ST_MatchInfoTwo pair = gMatchInfoTwo;
  ++st.machCnt;
  QUORV_LOGD("%s...ZqVerifySubTemplate() score = %d, matchCnts = %d", "ZqVerifyByTemplate", score,
             st.machCnt);
  if (g_functimes != 0 && quorv_fp_get_system_time != nullptr)
    QUORV_LOG(QUORV_LOG_WARNING, "%s...ZqVerifySubTemplate cost time = %d ms", "ZqVerifyByTemplate",
              static_cast<int>(NowMs() - startMs));

  if (score >= 1 && score < st.T) {
    if (score != 1 && pool.pointNum != 0 && pool.areaNum < ZQ_AREAS_MAX) {
      ST_QuorvMatchArea &a = pool.areas[pool.areaNum];
      const int32_t n = pool.pointNum < ZQ_AREA_POINTS_MAX ? pool.pointNum : ZQ_AREA_POINTS_MAX;
      a.pointNum = n;
      memcpy(a.tempPoints, pool.tempPoints, sizeof a.tempPoints);
      memcpy(a.samplePoints, pool.samplePoints, sizeof a.samplePoints);
      a.fingerId = f;
      a.ratio = pool.lastRatio;
      pool.totalPointNum += n;
      ++pool.areaNum;
    }
    const ST_QuorvMachInfo backup = gQuorvMachInfo;
    gRebak = 1;
    ST_FullHMatrix h2{};
    const int32_t reverse = ZqVerifyTwoTemplate(&tpl, st.sample, &h2, st.recall, st.option);
    ++st.reverseCnt;
    QUORV_LOGD("%s...reverse mach ZqVerifyTwoTemplate() score = %d, reverseMachCnts = %d",
               "ZqVerifyByTemplate", reverse, st.reverseCnt);
    if (reverse > score) {
      ZqHmatrixInv(&h1, &h2);
      pair = gMatchInfoTwo;
      score = reverse;
    } else if (st.identify) {
      gQuorvMachInfo = backup;
    }
  }

  ST_CrossCheckMatch cand{};
  if (score >= 1) {
    cand.rootIndex = static_cast<uint8_t>(tpl.rootIndex);
    cand.subIndex = static_cast<uint8_t>(s);
    cand.score = score;
    cand.matchScore = gQuorvMachInfo.matchScore;
    cand.overlapSize = gQuorvMachInfo.overlapsize;
    cand.ration = gQuorvMachInfo.ration;
    if (tpl.rootIndex != s)
      ZqHmatrixConverse(&cand.toRootHmatrix, &h1, &tpl.rootHmatrix);
    else
      cand.toRootHmatrix = h1;
    cand.matchHmatrix = h1;
  }

  // An error of the matcher scores nothing.
  if (score < 0) score = 0;
  if (score > st.best) {
    st.best = score;
    st.bestH = h1;
    st.bestFinger = f;
    st.bestSub = s;
  }
  QUORV_LOGD("%s...MaxMatchSccores = %d, MatchIndex = %d, MatchIndexSubTemplate = %d",
             "ZqVerifyByTemplate", st.best, st.bestFinger, st.bestSub);

  if (st.best > gVerifyScores) {
    gVerifyScores = st.best;
    *st.H = st.bestH;
    gMatchHmatrix = st.bestH;
    gVerifyFingerId = st.bestFinger;
    gVerifyTemplateId = st.bestSub;
    if (st.identify) ReportCandidate(st, st.bestFinger, st.bestSub, st.best, st.bestH, pair);
  } else if (st.identify && gVerifyScores == 0 && GetMachScore() > st.highestRaw) {
    // Nothing scored yet: remember the most promising candidate.
    st.highestRaw = GetMachScore();
    gVerifyFingerId = f;
    gVerifyTemplateId = s;
    ReportCandidate(st, f, s, 0, h1, pair);
  }
  gLastMatchScore = gQuorvMachInfo.matchScore;

  // Only a candidate that scored can be accepted, also where T is 0.
  if (st.best >= st.T && st.best > 0) {
    const int32_t cond = ZqCheckTemplatesCondition(st.sample, &finger);
    QUORV_LOGD(
        "%s...value = %d, H_matrix[1] = %f, gQuorvMachInfo.matchScore = %d, "
        "gQuorvMachInfo.overlapsize = %d, imgArea = %d, quorvTemplate->templateArea = %d",
        "ZqVerifyByTemplate", cond, static_cast<double>(st.bestH.a01),
        static_cast<int>(gQuorvMachInfo.matchScore), static_cast<int>(gQuorvMachInfo.overlapsize),
        gQuorvTempupdateInfor != nullptr ? gQuorvTempupdateInfor->imageArea : 0,
        st.sample->templateArea);
    if (gSensorInfor.mulTemplateCrossCheckEn == 0 ||
        gQuorvMachInfo.matchScore > kCrossCheckMaxScore) {
      *upd = 1;
      return Verdict::kAccept;
    }
    if (CrossCheck(st, f, k, cand, upd) == Verdict::kAccept) return Verdict::kAccept;
    ++gMulCheckFar;
    st.rejected[f] = true;
    st.best = 0;
    *st.updateFlag = 0;
  }
  st.compared[f][s] = 1;
  return Verdict::kNone;
}

// Steps after an accepted candidate: the update record, the template
// buffer and the match history. 0, or the result of a failed copy.
int Accept(Search &st, int16_t upd) {
  *st.fingerId = static_cast<uint16_t>(st.bestFinger);
  *st.updateFlag = upd;
  if (st.identify && gQuorvTempupdateInfor != nullptr) {
    ST_QuorvTempupdateInfor &rec = *gQuorvTempupdateInfor;
    rec.updateFlag = static_cast<uint16_t>(upd);
    rec.updateFingerId = static_cast<uint16_t>(st.bestFinger);
    rec.updateTag = static_cast<uint16_t>(st.best);
    int ret = ZqSubTemplateCopy(&rec.updateVerifyTemplate, st.sample);
    if (ret == 0 && upd == 1 && gQuorvTempalteBufInfor != nullptr) {
      ST_QuorvTempalteBufInfor &buf = *gQuorvTempalteBufInfor;
      buf.bufVerifyState = 1;
      buf.bufVerifyFingerId = static_cast<uint8_t>(st.bestFinger);
      ret = ZqSubTemplateCopy(&buf.bufSample, st.sample);
    }
    if (ret != 0) {
      QUORV_LOGE(
          "%s...gQuorvTempupdateInfor->updateVerifyTemplate.pTemplateFeature == NULL, "
          "ret = %d",
          "ZqVerifyByTemplate", ret);
      return ret;
    }
  }
  ST_QuorvMatchPriority &p = *gQuorvMatchPriority;
  const uint32_t fpos = p.fingerRingPos % ZQ_FINGER_RING_SIZE;
  p.fingerRing[fpos] = static_cast<uint32_t>(st.bestFinger);
  p.fingerRingPos = (fpos + 1) % ZQ_FINGER_RING_SIZE;
  const uint32_t spos = p.subTempRingPos[st.bestFinger] % ZQ_SUBTEMP_RING_SIZE;
  p.subTempRing[st.bestFinger][spos] = static_cast<uint32_t>(st.bestSub);
  p.subTempRingPos[st.bestFinger] = (spos + 1) % ZQ_SUBTEMP_RING_SIZE;
  QUORV_LOGI("%s...Verify Success! finger_id = %d, MaxMatchSccores = %d, MatchIndex = %d",
             "ZqVerifyByTemplate", st.bestFinger, st.best, st.bestSub);
  return 0;
}

// The weak-area fallback after a search without acceptance.
int PoolFallback(Search &st) {
  for (bool r : st.rejected) {
    if (r) return -1;
  }
  if (ZqVerifyFaByNegativeTemplate(st.sample, static_cast<uint8_t>(st.T)) != 0) return -1;
  if (gSensorInfor.multiAreaMatchEn != 1 || gQuorvAreaMatchToplogy->areaNum <= 1) return -1;
  const zq_alg::WeakPoolRule rule = {st.T, gSensorInfor.adjustMatchEn,
                                     gAutoMatchLevel.continueSucessMatchNum};
  int32_t finger = kNoId;
  const int ret = zq_alg::PoolWeakAreas(gQuorvAreaMatchToplogy, rule, &gVerifyScores,
                                        &gVerifyFingerId, &finger);
  if (ret != 0) return ret;
  *st.fingerId = static_cast<uint16_t>(finger);
  *st.updateFlag = 0;
  if (gQuorvTempupdateInfor != nullptr) gQuorvTempupdateInfor->updateFlag = 0;
  return 0;
}

// Steps of every exit but the input error.
int Leave(Search &st, int ret) {
  QUORV_LOGI(
      "%s...leave, gVerifyScores = %d, gVerifyFingerId = %d, gVerifyTemplateId = %d, "
      "ret = %d, machCnts = %d, reverseMachCnts = %d",
      "ZqVerifyByTemplate", gVerifyScores, gVerifyFingerId, gVerifyTemplateId, ret, st.machCnt,
      st.reverseCnt);
  if (st.identify) {
    gQuorvMachInfo = st.savedReport;
    ST_QuorvMachInfo &r = gQuorvMachInfo;
    r.matchScoreThr = static_cast<uint8_t>(st.T);
    r.quality = st.sample->templateQuality;
    r.area = st.sample->templateArea;
    r.cond = st.sample->templateCond;
    r.extraQuality = st.sample->templateExtra;
    r.crossCheckCode = st.lastReason;
    r.crossCheckCnt = st.reasonCnt;
    gMatchInfoTwoDebug = st.savedPair;
    ZqSaveTempCharater(st.sample, &gMatchInfoTwoDebug, 0);
  }
  gLastMatchScore = gQuorvMachInfo.matchScore;
  gVerifyScore = static_cast<int32_t>(2u * static_cast<uint32_t>(gVerifyScores));

  if (ret == 0) {
    if (gQuorvTempupdateInfor != nullptr && st.bestFinger < kFingers) {
      uint8_t *flags = gQuorvTempupdateInfor->updateVerifyTemplate.coinFlg;
      for (int i = 0; i < kRanks; ++i) {
        if (st.compared[st.bestFinger][i] != 0) ZqSetCoinFlg(flags, static_cast<uint8_t>(i), 1);
      }
    }
    return 0;
  }

  bool anyRejected = false;
  for (bool r : st.rejected) anyRejected = anyRejected || r;
  if (st.identify && gQuorvTempalteBufInfor != nullptr) {
    if (anyRejected) {
      gQuorvTempalteBufInfor->bufVerifyState = 255;
    } else {
      const int copy = ZqSubTemplateCopy(&gQuorvTempalteBufInfor->bufSample, st.sample);
      if (copy != 0) {
        QUORV_LOGE(
            "%s...gQuorvTempupdateInfor->updateVerifyTemplate.pTemplateFeature == NULL, "
            "ret = %d",
            "ZqVerifyByTemplate", copy);
        return copy;
      }
    }
  }
  const VerifyCuts cuts = {gNumRefusedByClassifier, gMulCheckFar, gForeignBodyCutCnt};
  const int32_t cfgT = gMatchScores[Level(gAutoMatchLevel.cfgVerifyLevel)];
  ret = zq_alg::ClassifyVerifyFailure(ret, cuts, gVerifyScores, cfgT);
  QUORV_LOGE("%s...ret = %d", "ZqVerifyByTemplate", ret);
  return ret;
}

}  // namespace

extern "C" {

int ZqVerifyByTemplate(const ST_SubTemplate *sample, uint16_t *fingerId, int16_t *updateFlag,
                       ST_FullHMatrix *H, uint8_t option) {
  const uint32_t mode = gQuorvActionMode;
  const bool identify = quorv_IsIdentifyMode(mode) != 0;
  ClearKeptResults();
  if (mode == QUORV_ACTION_ENROLL || identify) {
    ZqResetMachInfoRecord();
    memset(&gMatchInfoTwoDebug, 0, sizeof gMatchInfoTwoDebug);
  }
  if (sample == nullptr || fingerId == nullptr || updateFlag == nullptr || H == nullptr) {
    QUORV_LOGE("%s...input error", __func__);
    return -1;
  }
  if (gQuorvMatchPriority == nullptr || gQuorvAreaMatchToplogy == nullptr) {
    QUORV_LOGE("%s...algorithm not initialised", __func__);
    return -1;
  }
  if (gFirstVerify) {
    ZqResetMatchPriority(gQuorvMatchPriority);
    gFirstVerify = false;
  }

  *fingerId = kNoId;
  *updateFlag = 0;
  if (gQuorvTempalteBufInfor != nullptr) {
    gQuorvTempalteBufInfor->bufVerifyState = 0;
    gQuorvTempalteBufInfor->bufUpdateState = 0;
    gQuorvTempalteBufInfor->bufVerifyFingerId = kNoId;
  }
  if (gQuorvTempupdateInfor != nullptr) {
    gQuorvTempupdateInfor->updateFlag = 0;
    gQuorvTempupdateInfor->updateReserved = 0;
    gQuorvTempupdateInfor->updateFingerId = kNoId;
    memset(gQuorvTempupdateInfor->updateVerifyTemplate.coinFlg, 0, ZQ_COIN_FLG_BYTES);
  }

  Search st{};
  st.sample = sample;
  st.fingerId = fingerId;
  st.updateFlag = updateFlag;
  st.H = H;
  st.option = option;
  st.identify = identify;
  st.T = gMatchScores[Level(gSensorInfor.algVerifyFarLevel)];
  st.recall = gSensorInfor.adjustMatchEn == 1 ? gAutoMatchLevel.recallEn : 1;
  st.best = 0;
  st.bestFinger = kNoId;
  st.bestSub = kNoId;
  st.savedReport = gQuorvMachInfo;
  st.savedPair = gMatchInfoTwoDebug;

  bool valid[kFingers];
  for (int f = 0; f < kFingers; ++f) valid[f] = ValidFinger(f) != nullptr;
  zq_alg::FingerSearchOrder(gQuorvMatchPriority->fingerRing, valid, st.fingerOrder);
  for (int f = 0; f < kFingers; ++f) {
    const uint32_t count = valid[f] ? HeldCount(*gEnrolledTemplate[f]) : 0;
    zq_alg::SubTemplateSearchOrder(gQuorvMatchPriority->subTempRing[f], count, st.subOrder[f],
                                   st.subHits[f]);
  }
  QUORV_LOGD("%s...verify far level = %d", __func__, st.T);
  memset(gQuorvAreaMatchToplogy, 0, sizeof *gQuorvAreaMatchToplogy);

  int ret = -1;
  bool accepted = false;
  int16_t upd = 0;
  for (int k = 0; k < kRanks && !accepted; ++k) {
    for (int i = 0; i < kFingers && !accepted; ++i) {
      const int f = st.fingerOrder[i];
      if (!valid[f] || static_cast<uint32_t>(k) >= HeldCount(*gEnrolledTemplate[f])) continue;
      accepted = Candidate(st, f, k, &upd) == Verdict::kAccept;
    }
  }
  if (accepted)
    ret = Accept(st, upd);
  else
    ret = PoolFallback(st);
  return Leave(st, ret);
}

int ZqVerifyFaByNegativeTemplate(const ST_SubTemplate *sample, uint8_t threshold) {
  (void)sample;
  (void)threshold;
  return 0;
}

void ZqVerifyByTemplateResetForTest(void) { gFirstVerify = true; }

}  // extern "C"
