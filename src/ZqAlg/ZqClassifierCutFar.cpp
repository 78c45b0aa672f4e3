#include "src/ZqAlg/ZqClassifierCutFar.h"

#include <string.h>

#include "src/ZqAlg/ZqKpAgreement.h"
#include "src/ZqAlg/ZqMatchImages.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqClassifier.h"
#include "src/features/ZqFarRuleTable.h"
#include "src/image/ZqBinSimilarity.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_alg {

int ClassifierTable(int sensorType, uint8_t algoMode, int qt, int qs, int e) {
  const int mn = qt < qs ? qt : qs;
  const bool gate9 = (qt > 60 && qs > 60) || e <= 19 || (mn > 50 && e <= 25);
  switch (sensorType) {
    case 9:
      return gate9 ? 1 : 0;
    case 10:
      return gate9 ? 2 : 0;
    case 11:
      return gate9 ? 3 : 0;
    case 8: {
      const int table = algoMode == 2 ? 4 : algoMode == 1 ? 5 : 0;
      return ((qt > 60 && qs > 60) || e <= 19) ? table : 0;
    }
    case 13:
      return ((qt > 60 && qs > 60) || e <= 24 || (mn > 50 && e <= 34)) ? 6 : 0;
    case 14:
      return ((qt > 50 && qs > 50) || e <= 24 || (mn > 40 && e <= 34)) ? 8 : 0;
    default:
      return 0;
  }
}

int32_t ClassifierOverride(int32_t result, int sensorType, const ST_MatchInfoTwo &info) {
  if (result != ZQ_CLS_CUT) return result;
  const int e = info.overlapPct, qt = info.tplQuality, qs = info.sampleQuality;
  const int mn = qt < qs ? qt : qs;
  if ((sensorType == 9 || sensorType == 10) && info.uniformPct > 80 && info.overlapHeight > 90 &&
      info.overlapWidth <= 17 && e > 19)
    return ZQ_CLS_OVERRIDE;
  if (sensorType == 13 && e > 24 && ((qt <= 69 && qs <= 69) || mn <= 59)) return ZQ_CLS_OVERRIDE;
  return result;
}

}  // namespace zq_alg

extern "C" {

void ZqClassifierCutFar(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                        const ST_FullHMatrix *H, int sensorType, int rows, int cols,
                        int32_t *ret) {
  if (sample == nullptr || tpl == nullptr || H == nullptr || ret == nullptr || rows <= 0 ||
      cols <= 0 || rows > 0xFFFF || cols > 0xFFFF)
    return;
  const uint32_t startMs = (g_functimes != 0 && quorv_fp_get_system_time != nullptr)
                               ? static_cast<uint32_t>(quorv_fp_get_system_time())
                               : 0u;
  if (!zq_alg::CoversSensor(*sample, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)) ||
      !zq_alg::CoversSensor(*tpl, static_cast<uint32_t>(cols), static_cast<uint32_t>(rows)))
    return;
  zq_alg::MatchImages img;
  if (!img.Take(cols, rows)) return;
  img.Unpack(*sample, *tpl);
  const ST_HMatrix *h = reinterpret_cast<const ST_HMatrix *>(H);
  int16_t diff = 0, rowSpan = 0;
  if (ZqGetDiversity(img.tplBin, img.smpBin, img.tplMask, img.smpMask, h, rows, cols, &diff,
                     &rowSpan) != 0)
    return;
  ST_MatchInfoTwo &info = gMatchInfoTwo;
  // No compared pixel gives a negative span: no height.
  info.overlapHeight = static_cast<uint16_t>(rowSpan > 0 ? rowSpan : 0);
  info.diffBlobSize = static_cast<uint16_t>(diff > 0 ? diff : 0);
  uint8_t pct = 0;
  const int32_t recur = ZqCalImageRecurPoints(
      reinterpret_cast<const uint64_t *>(tpl->templateBinDiscr),
      reinterpret_cast<const uint64_t *>(sample->templateBinDiscr), tpl->templatePixValid,
      sample->templatePixValid, sample, tpl, H, &pct, static_cast<uint16_t>(rows),
      static_cast<uint16_t>(cols));
  info.recurNum = static_cast<uint8_t>(recur);
  info.recurPct = pct;
  info.ransacDensity = info.ransacNum * 100 / (info.overlapPct + 1);
  info.overlapWidth =
      static_cast<uint8_t>(info.overlapHeight == 0 ? 0 : info.overlapSize / info.overlapHeight);

  int32_t result = ZQ_CLS_NOT_RUN;
  const int table = zq_alg::ClassifierTable(sensorType, gSensorInfor.algoMode, tpl->templateQuality,
                                            sample->templateQuality, info.overlapPct);
  if (table != 0) {
    result = ZQ_CLS_NO_ROW;
    int32_t vec[ZQ_DATA_T_LEN];
    memset(vec, 0, sizeof(vec));
    ZqGetDataT(vec, info);
    const ST_FarRuleTable t = ZqFarRuleTableGet(table);
    // A column naming an element outside the vector never matches.
    bool columnsFit = t.nIndex != nullptr;
    for (int32_t c = 0; columnsFit && c < t.nC; ++c)
      columnsFit = t.nIndex[c] >= 0 && t.nIndex[c] < ZQ_DATA_T_LEN;
    if (columnsFit) ZqCheckFAR(t.nR, t.nC, t.puchdata, t.nIndex, t.nSig, vec, ZQ_CLS_CUT, &result);
    result = zq_alg::ClassifierOverride(result, sensorType, info);
  }
  *ret = result;
  if (g_functimes != 0 && quorv_fp_get_system_time != nullptr) {
    const uint32_t now = static_cast<uint32_t>(quorv_fp_get_system_time());
    QUORV_LOG(QUORV_LOG_WARNING, "%s...classifierOn cost time = %d ms", __func__,
              static_cast<int>(now - startMs));
  }
}

void ZqSaveTempCharater(const ST_SubTemplate *t, ST_MatchInfoTwo *rec, int which) {
  if (t == nullptr || rec == nullptr) return;
  if (which == 0) {
    rec->sampleQuality = t->templateQuality;
    rec->sampleArea = t->templateArea;
    rec->sampleCond = t->templateCond;
    rec->sampleExtra = t->templateExtra;
  } else if (which == 1) {
    rec->tplQuality = t->templateQuality;
    rec->tplArea = t->templateArea;
    rec->tplCond = t->templateCond;
    rec->tplExtra = t->templateExtra;
  }
}

}  // extern "C"
