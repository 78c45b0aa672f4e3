// Replacing one sub-template of a finger, and the added areas that change
// with it.
#include <stddef.h>
#include <string.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr uint16_t kNoRoot = 255;

using zq_hmatrix::Inv;
using zq_hmatrix::Then;

bool IsZero(const ST_SimpleHMatrix &s) { return s.tx == 0 && s.ty == 0 && s.angle == 0; }

// The finger's record when id names one, else NULL.
ST_QuorvEnrollTemplate *Finger(int16_t fingerId) {
  if (fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED) return nullptr;
  return gEnrolledTemplate[fingerId];
}

}  // namespace

extern "C" {

int ZqTemplateReplace(int16_t fingerId, uint16_t index, const ST_SubTemplate *src,
                      const uint8_t *coinFlags, ST_FullHMatrix *const *srcToTemplate) {
  if (src == nullptr || coinFlags == nullptr) {
    QUORV_LOGE("%s...(pScrTemplate == NULL) || (pCoinMatchFlg == NULL), ret = -1, leave", __func__);
    return -1;
  }
  if (src->pTemplateFeature == nullptr) {
    QUORV_LOGE("%s...pScrTemplate->pTemplateFeature == NULLpScrTemplate->pTemplateFeature == NULL, "
               "ret = -1, leave", __func__);
    return -1;
  }
  ST_QuorvEnrollTemplate *finger = Finger(fingerId);
  if (finger == nullptr || index >= finger->currentSubtemplatesNum || srcToTemplate == nullptr) {
    QUORV_LOGE("%s...finger_id = %d, index = %d: no such sub-template, ret = -1", __func__, fingerId,
               index);
    return -1;
  }
  const uint32_t n = finger->currentSubtemplatesNum;
  ST_SubTemplate *sx = &finger->subtemplates[index];
  if (gSensorInfor.templateExtraEn == 1) ZqRefreshTemplateExtraInfor(sx, static_cast<uint8_t>(fingerId));
  if (ZqSubTemplateCopy(sx, src) != 0) {
    QUORV_LOGE("%s...gEnrolledTemplate[%d]->subtemplates[%d].pTemplateFeature == NULL", __func__,
               fingerId, index);
    return -1;
  }
  if (sx->rootIndex == kNoRoot) sx->rootIndex = index;
  // A root carries no transform to itself.
  if (sx->rootIndex == index) sx->rootHmatrix = ST_FullHMatrix{};
  memcpy(sx->coinFlg, coinFlags, ZQ_COIN_FLG_BYTES);

  for (uint32_t i = index + 1u; i < n; ++i) {
    ST_SubTemplate *si = &finger->subtemplates[i];
    if (si->rootIndex == index) si->rootIndex = static_cast<uint16_t>(i);
    const int code = ZqGetCoinFlg(coinFlags, static_cast<uint8_t>(i));
    if (code <= 1 || srcToTemplate[i] == nullptr) continue;
    const ST_FullHMatrix T = Inv(*srcToTemplate[i]);  // from i to the new sub-template
    ZqSaveToSimpleHmatrix(&T, &si->simpleHmatrix[index]);
    ZqSetCoinFlg(si->coinFlg, static_cast<uint8_t>(index), static_cast<uint8_t>(code));
    if (sx->rootIndex == index) {
      si->rootIndex = index;
      si->rootHmatrix = T;
    } else {
      si->rootIndex = sx->rootIndex;
      si->rootHmatrix = Then(T, sx->rootHmatrix);
    }
  }
  ZqTemplateExtraAreaRefresh(fingerId, index);
  return 0;
}

int ZqTemplateExtraAreaRefresh(int16_t fingerId, uint16_t from) {
  ST_QuorvEnrollTemplate *finger = Finger(fingerId);
  if (finger == nullptr) return 0;
  const uint32_t area = ZqSensorPixels();
  if (area == 0) return 0;
  uint8_t *flags = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(area)));
  if (flags == nullptr) {
    QUORV_LOGE("%s...pMatchPointFlg == NULL", "ZqTemplateUpdate");
    return -1;
  }
  const uint32_t n = finger->currentSubtemplatesNum < MAX_SUBTEMPLATES_PER_FINGER
                         ? finger->currentSubtemplatesNum
                         : MAX_SUBTEMPLATES_PER_FINGER;
  const int matchThr = gMatchScores[gSensorInfor.algVerifyFarLevel < ZQ_FAR_LEVEL_COUNT
                                        ? gSensorInfor.algVerifyFarLevel
                                        : ZQ_FAR_LEVEL_COUNT - 1];
  for (uint32_t k = from; k < n; ++k) {
    ST_SubTemplate *sk = &finger->subtemplates[k];
    if (sk->rootIndex == k) continue;
    memset(flags, 0, area);
    uint32_t covered = 0;
    uint8_t marked[MAX_SUBTEMPLATES_PER_FINGER] = {};
    const uint16_t root = sk->rootIndex;
    // A root index that names no sub-template of the finger covers nothing.
    const bool hasRoot = root != kNoRoot && root < n;
    if (hasRoot) {
      ZqTemplateCoinArea(&finger->subtemplates[root], sk, &sk->rootHmatrix, flags, &covered, nullptr);
      marked[root] = 1;
    }
    for (uint32_t i = 0; i < k; ++i) {
      if (marked[i]) continue;
      const ST_SubTemplate *si = &finger->subtemplates[i];
      if (ZqGetCoinFlg(sk->coinFlg, static_cast<uint8_t>(i)) != 0) {
        if (IsZero(sk->simpleHmatrix[i])) {
          ST_FullHMatrix T{};  // from i to k
          const int s = ZqVerifySubTemplate(si, static_cast<int16_t>(k), fingerId, &T, 0, 1);
          if (s >= matchThr) {
            const ST_FullHMatrix back = Inv(T);
            ZqTemplateCoinArea(si, sk, &back, flags, &covered, nullptr);
          }
        } else {
          ST_FullHMatrix T{};
          ZqGetFullHmatrix(&T, &sk->simpleHmatrix[i]);
          ZqTemplateCoinArea(si, sk, &T, flags, &covered, nullptr);
        }
        marked[i] = 1;
      }
      if (!marked[i] && hasRoot && si->rootIndex == root && si->rootIndex != i) {
        const ST_FullHMatrix T = Then(sk->rootHmatrix, Inv(si->rootHmatrix));
        ZqTemplateCoinArea(si, sk, &T, flags, &covered, nullptr);
        marked[i] = 1;
      }
    }
    const uint32_t p = ZqGetTemplateValidPixelNum(sk);
    const uint32_t e = covered < p ? (p - covered) * 100u / area : 0u;
    sk->extendArea = static_cast<uint8_t>(e);
    gQuorvMachInfo.sampleExtendArea = static_cast<uint8_t>(e);
  }
  ZqSafeFree(flags);
  return 0;
}

}  // extern "C"
