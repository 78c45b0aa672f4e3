// Identification against the extra-template buffer: recent samples tagged
// with their finger, searched after the enrolled store failed.
#include <string.h>

#include "src/ZqAlg/ZqClassifierCutFar.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqVerifyByTemplateParts.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kNoMatch = -2;
constexpr int32_t kNoId = 255;
// extraIndex of a report whose best extra candidate did not match.
constexpr int32_t kNoExtraSlot = ZQ_EXTRA_BUF_SLOTS;
// rescueCode of the kept pair record: offset of a match, and the two misses.
constexpr int32_t kExtraMatchCode = 1000;
constexpr int32_t kExtraBestCode = -102;
constexpr int32_t kExtraMissCode = -101;
// Direction flags of the extra comparisons.
constexpr uint8_t kRebakExtra = 10;
constexpr uint8_t kRebakExtraReverse = 11;

// The two variants: the debug one keeps the report and pair records, takes
// a reverse score only when higher and refreshes through the verify path.
enum class Variant { kDebug, kRelease };

int32_t Threshold() {
  const uint8_t l = gSensorInfor.algVerifyFarLevel;
  return gMatchScores[l < ZQ_FAR_LEVEL_COUNT ? l : ZQ_FAR_LEVEL_COUNT - 1];
}

// Second look at a matched slot; refreshes the buffer when it is strong
// enough for an update. A scratch transform keeps the caller's H.
void RefreshOnStrongMatch(Variant v, const ST_SubTemplate *sample, const ST_SubTemplate *slot,
                          uint8_t finger) {
  const int32_t need = zq_alg::ExtraRefreshScore(gSensorInfor.algVerifyFarLevel);
  ST_FullHMatrix scratch{};
  int s2 = ZqVerifyTwoTemplate(sample, slot, &scratch, 0, 1);
  if (s2 < need) s2 = ZqVerifyTwoTemplate(slot, sample, &scratch, 0, 1);
  if (s2 < need) return;
  if (v == Variant::kDebug)
    ZqRefreshTemplateExtraInforInVerify(sample, finger);
  else
    ZqRefreshTemplateExtraInfor(sample, finger);
}

int SearchExtra(Variant v, const ST_SubTemplate *sample, uint16_t *fingerId, int16_t *updateFlag,
                ST_FullHMatrix *H) {
  if (sample == nullptr || fingerId == nullptr || updateFlag == nullptr || H == nullptr) {
    QUORV_LOGE("%s...input error", "ZqVerifyByTemplateExtra");
    return kNoMatch;
  }
  *fingerId = kNoId;
  *updateFlag = 0;
  const bool debug = v == Variant::kDebug;
  const int32_t T = Threshold();
  const ST_QuorvMachInfo r0 = gQuorvMachInfo;
  const ST_MatchInfoTwo d0 = gMatchInfoTwoDebug;
  const int32_t s0 = r0.recallScore;
  int32_t bestScore = 0;
  ST_QuorvMachInfo bestReport = r0;
  ST_MatchInfoTwo bestPair = d0;

  ST_QuorvTemplateExtraBufInfor *buf = gQuorvTemplateExtraBufInfor;
  for (int i = 0; buf != nullptr && i < ZQ_EXTRA_BUF_SLOTS; ++i) {
    const uint8_t id = buf->extraFingerId[i];
    if (id >= MAX_FINGERS_SUPPORTED) continue;
    const ST_SubTemplate *slot = &buf->quorvTemplateExtraInfor[i];
    if (debug) gRebak = kRebakExtra;
    int score = ZqVerifyTwoTemplate(sample, slot, H, 1, 1);
    const ST_QuorvMachInfo rs = gQuorvMachInfo;
    ST_MatchInfoTwo pair = gMatchInfoTwo;
    if (score > 0 && score < T) {
      if (debug) {
        gRebak = kRebakExtraReverse;
        ST_FullHMatrix h2{};
        const int reverse = ZqVerifyTwoTemplate(slot, sample, &h2, 1, 1);
        if (reverse > score) {
          ZqHmatrixInv(H, &h2);
          gQuorvMachInfo.H_matrix = *H;
          pair = gMatchInfoTwo;
          score = reverse;
        } else {
          gQuorvMachInfo = rs;
          gQuorvMachInfo.H_matrix = *H;
        }
      } else {
        score = ZqVerifyTwoTemplate(slot, sample, H, 1, 1);
      }
    } else if (debug) {
      gQuorvMachInfo.H_matrix = *H;
    }
    if (debug) ZqSaveTempCharater(slot, &pair, 1);

    if (score >= T) {
      *fingerId = id;
      *updateFlag = 0;
      QUORV_LOGI("%s...matchScore = %d, matchFid = %d", "ZqVerifyByTemplateExtra", score, id);
      if (!debug) {
        RefreshOnStrongMatch(v, sample, slot, id);
        return 0;
      }
      ST_QuorvMachInfo &r = gQuorvMachInfo;
      r.recallScore = score;
      r.matchScoreThr = static_cast<uint8_t>(T);
      ST_QuorvMachInfo saved = r;
      saved.fingerId = kNoId;
      saved.matchIndex = kNoId;
      saved.extraFingerId = id;
      saved.extraIndex = i;
      saved.H_matrix = *H;
      gQuorvMachInfo = saved;
      RefreshOnStrongMatch(v, sample, slot, id);
      gQuorvMachInfo = saved;
      gMatchInfoTwoDebug = pair;
      gMatchInfoTwoDebug.rescueCode = s0 + kExtraMatchCode;
      ZqSaveTempCharater(sample, &gMatchInfoTwoDebug, 0);
      return 0;
    }
    if (debug && score > bestScore) {
      bestScore = score;
      bestReport = gQuorvMachInfo;
      bestReport.recallScore = score;
      bestReport.matchScoreThr = static_cast<uint8_t>(T);
      bestPair = pair;
    }
  }

  if (!debug) return kNoMatch;
  if (s0 < bestScore) {
    gQuorvMachInfo = bestReport;
    gQuorvMachInfo.fingerId = kNoId;
    gQuorvMachInfo.matchIndex = kNoId;
    gQuorvMachInfo.extraIndex = kNoExtraSlot;
    gQuorvMachInfo.extraFingerId = buf != nullptr ? buf->extraWriteIndex : 0;
    gMatchInfoTwoDebug = bestPair;
    gMatchInfoTwoDebug.rescueCode = kExtraBestCode;
  } else {
    gQuorvMachInfo = r0;
    gMatchInfoTwoDebug = d0;
    gMatchInfoTwoDebug.rescueCode = kExtraMissCode;
  }
  ZqSaveTempCharater(sample, &gMatchInfoTwoDebug, 0);
  return kNoMatch;
}

}  // namespace

extern "C" {

int ZqVerifyByTemplateExtra(const ST_SubTemplate *sample, uint16_t *fingerId, int16_t *updateFlag,
                            ST_FullHMatrix *H, uint8_t option) {
  return ZqVerifyByTemplateExtra_Debug(sample, fingerId, updateFlag, H, option);
}

int ZqVerifyByTemplateExtra_Debug(const ST_SubTemplate *sample, uint16_t *fingerId,
                                  int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option) {
  (void)option;
  return SearchExtra(Variant::kDebug, sample, fingerId, updateFlag, H);
}

int ZqVerifyByTemplateExtra_Release(const ST_SubTemplate *sample, uint16_t *fingerId,
                                    int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option) {
  (void)option;
  return SearchExtra(Variant::kRelease, sample, fingerId, updateFlag, H);
}

}  // extern "C"
