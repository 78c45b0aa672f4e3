#include "src/ZqAlg/ZqEnrollByTemplate.h"

#include <string.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/ZqAlg/ZqWorkBlocks.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Roots above this index are not covered by the root pass of enrolment.
constexpr uint32_t kMaxCoveredRoot = 94;
// Relations that move a group: coincidence code above 1, score above 7.
constexpr int kRefreshMinCode = 2;
constexpr uint8_t kRefreshMinScore = 8;

using zq_work::ByteBlock;
using zq_work::HmatrixTable;
using zq_hmatrix::Inv;
using zq_hmatrix::Then;

uint8_t ClampLevel(uint8_t level) {
  return level < ZQ_FAR_LEVEL_COUNT ? level : ZQ_FAR_LEVEL_COUNT - 1;
}

// Everything an enrolment call learns about the sample against the finger's
// earlier sub-templates.
struct Relations {
  uint8_t code[MAX_SUBTEMPLATES_PER_FINGER] = {};     // 0..3 against sub-template i
  uint8_t counted[MAX_SUBTEMPLATES_PER_FINGER] = {};  // i's coverage is counted
  uint8_t scores[MAX_SUBTEMPLATES_PER_FINGER] = {};   // low byte of the score
  uint8_t coinFlg[ZQ_COIN_FLG_BYTES] = {};
  int32_t best = -1;  // best match, -1 when none reached the update score
  int32_t bestScore = 0;
  ST_FullHMatrix bestH{};
  uint32_t covered = 0;  // distinct sample pixels covered so far
};

// Compares the sample (already in slot m = n - 1) with slots 0..m-1.
void Compare(const ST_QuorvEnrollTemplate &f, const ST_SubTemplate &smp, uint32_t m,
             HmatrixTable &H, uint8_t *coverFlags, Relations *rel) {
  const uint8_t L = ClampLevel(gSensorInfor.algVerifyFarLevel);
  const uint8_t U = ClampLevel(gSensorInfor.updateFarLevel);
  const uint32_t area = ZqSensorPixels();
  for (uint32_t i = 0; i < m; ++i) {
    uint32_t pairOverlap = 0;
    const int32_t s = ZqVerifyTwoTemplate(&smp, &f.subtemplates[i], &H[i], 0, 1);
    uint8_t code = 0;
    if (L != 0 && s >= gUpdateScores[L - 1]) code = 1;
    if (s >= gUpdateScores[U]) {
      code = 2;
      if (s > rel->bestScore) {
        rel->best = static_cast<int32_t>(i);
        rel->bestScore = s;
        rel->bestH = H[i];
      }
    }
    if (code != 0) {
      ZqTemplateCoinArea(&f.subtemplates[i], &smp, &H[i], coverFlags, &rel->covered, &pairOverlap);
      rel->counted[i] = 1;
    }
    if (area * 80u < pairOverlap * 100u) code = 3;
    rel->code[i] = code;
    ZqSetCoinFlg(rel->coinFlg, static_cast<uint8_t>(i), code);
    rel->scores[i] = static_cast<uint8_t>(s);
  }
}

// Counts the roots of the matched sub-templates into the coverage.
void CoverMatchedRoots(const ST_QuorvEnrollTemplate &f, const ST_SubTemplate &smp, uint32_t m,
                       HmatrixTable &H, uint8_t *coverFlags, Relations *rel) {
  for (uint32_t i = 0; i < m; ++i) {
    if (rel->code[i] == 0) continue;
    const uint32_t r = f.subtemplates[i].rootIndex;
    // A root index must name an earlier sub-template to be covered.
    if (r == i || r > kMaxCoveredRoot || r >= m || rel->code[r] != 0 || rel->counted[r] != 0)
      continue;
    const ST_FullHMatrix T = Then(H[i], f.subtemplates[i].rootHmatrix);
    ZqTemplateCoinArea(&f.subtemplates[r], &smp, &T, coverFlags, &rel->covered, nullptr);
    rel->counted[r] = 1;
  }
}

// Counts the other members of the new sub-template's group into the coverage.
void CoverGroup(const ST_QuorvEnrollTemplate &f, uint32_t index, uint8_t *coverFlags,
                Relations *rel) {
  const ST_SubTemplate &nw = f.subtemplates[index];
  for (uint32_t j = 0; j < index; ++j) {
    const ST_SubTemplate &sj = f.subtemplates[j];
    if (sj.rootIndex != nw.rootIndex || rel->counted[j] != 0) continue;
    const ST_FullHMatrix T =
        nw.rootIndex == j ? nw.rootHmatrix : Then(nw.rootHmatrix, Inv(sj.rootHmatrix));
    ZqTemplateCoinArea(&sj, &nw, &T, coverFlags, &rel->covered, nullptr);
    rel->counted[j] = 1;
  }
}

ST_QuorvEnrollTemplate *FingerRecord(int16_t fingerId) {
  return fingerId >= 0 && fingerId < MAX_FINGERS_SUPPORTED ? gEnrolledTemplate[fingerId] : nullptr;
}

// The checks of an enrolment call before anything is written: 0 or the code.
int CheckArguments(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex,
                   const ST_QuorvEnrollTemplate *f) {
  if (sample == nullptr) {
    QUORV_LOGE("ZqEnrollByTemplate...quorv_template = NULL, ret = %d", -1);
    return -1;
  }
  if (f == nullptr) {
    QUORV_LOGE("ZqEnrollByTemplate...finger_id > %d, ret = %d", MAX_FINGERS_SUPPORTED - 1, -1);
    return -1;
  }
  if (enrollIndex < 0) {
    QUORV_LOGE("ZqEnrollByTemplate...enroll_index < 0, ret = %d", -1);
    return -1;
  }
  if (enrollIndex >= MAX_SUBTEMPLATES_PER_FINGER) {
    QUORV_LOGE("ZqEnrollByTemplate...enroll_index > %d, ret = %d", MAX_SUBTEMPLATES_PER_FINGER - 1,
               -3);
    return -3;
  }
  // The comparison is the one of 16-bit signed values.
  const int16_t lastIndex = static_cast<int16_t>(gSensorInfor.enrollMaxTplCount - 1u);
  if (enrollIndex > lastIndex) {
    QUORV_LOGE("ZqEnrollByTemplate...enroll_index > %d, ret = %d", lastIndex, -4);
    return -4;
  }
  if (f->currentSubtemplatesNum > MAX_SUBTEMPLATES_PER_FINGER - 1 ||
      f->currentSubtemplatesNum >= gSensorInfor.enrollMaxTplCount) {
    QUORV_LOGE(
        "ZqEnrollByTemplate...gEnrolledTemplate[%d]->currentSubtemplatesNum(=%d) >= "
        "MAX_SUBTEMPLATES_PER_FINGER(=%d) or gSensorInfor.enrollMaxTplCount(=%d)",
        fingerId, f->currentSubtemplatesNum, MAX_SUBTEMPLATES_PER_FINGER,
        static_cast<int>(gSensorInfor.enrollMaxTplCount));
    return -5;
  }
  // Slots 0..count-1 are the earlier sub-templates: only the next slot keeps
  // the count and the slots consistent.
  if (enrollIndex != f->currentSubtemplatesNum) {
    QUORV_LOGE("ZqEnrollByTemplate...enroll_index(= %d) != currentSubtemplatesNum(= %d), ret = %d",
               enrollIndex, f->currentSubtemplatesNum, -1);
    return -1;
  }
  return 0;
}

int Enroll(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex, uint8_t *out) {
  ST_QuorvEnrollTemplate *f = FingerRecord(fingerId);
  if (enrollIndex == 0 && f != nullptr) {
    f->currentSubtemplatesNum = 0;
    f->validFlg = 0;
    f->coverageArea = 0;
  }
  int ret = CheckArguments(sample, fingerId, enrollIndex, f);
  if (ret != 0) return ret;

  const uint32_t index = static_cast<uint32_t>(enrollIndex);
  ST_SubTemplate &nw = f->subtemplates[index];
  ret = ZqSubTemplateCopy(&nw, sample);
  if (ret < 0) {
    QUORV_LOGE("%s...ZqSubTemplateCopy() err, ret = -1", "ZqEnrollByTemplate");
    return ret == -2 ? -2 : -6;
  }
  nw.rootIndex = static_cast<uint16_t>(index);
  memset(nw.simpleHmatrix, 0, sizeof nw.simpleHmatrix);
  QUORV_LOGI("ZqEnrollByTemplate...gEnrolledTemplate[%d]->currentSubtemplatesNum = %d", fingerId,
             f->currentSubtemplatesNum);
  QUORV_LOGI("ZqEnrollByTemplate...MAX_SUBTEMPLATES_PER_FINGER = %d", MAX_SUBTEMPLATES_PER_FINGER);
  QUORV_LOGI("ZqEnrollByTemplate...g_sensor_infor.alg_max_tpl_count = %d",
             static_cast<int>(gSensorInfor.algMaxTplCount));

  const uint32_t n = index + 1;
  HmatrixTable H;
  if (!H.AllocateArray(n, "ZqEnrollByTemplate") || !H.AllocateRecords("ZqEnrollByTemplate")) {
    return -2;
  }
  ByteBlock coverFlags(ZqSensorPixels());
  if (coverFlags.get() == nullptr) {
    QUORV_LOGE("ZqEnrollByTemplate...pMatchPointFlg == NULL");
    return -2;
  }
  // Counted only once nothing can fail any more: a failed call leaves the
  // count as it was.
  f->currentSubtemplatesNum = static_cast<uint16_t>(n);

  Relations rel;
  const uint32_t m = n - 1;  // earlier sub-templates
  if (m > 0) {
    Compare(*f, nw, m, H, coverFlags.get(), &rel);
    CoverMatchedRoots(*f, nw, m, H, coverFlags.get(), &rel);
  }
  // The first sub-template too starts without the relations the sample
  // may have carried in.
  memcpy(nw.coinFlg, rel.coinFlg, sizeof nw.coinFlg);
  for (uint32_t i = 0; i < n; ++i) ZqSaveToSimpleHmatrix(&H[i], &nw.simpleHmatrix[i]);

  if (rel.best >= 0) {
    const ST_SubTemplate &b = f->subtemplates[rel.best];
    if (b.rootIndex == static_cast<uint32_t>(rel.best)) {
      nw.rootIndex = static_cast<uint16_t>(rel.best);
      nw.rootHmatrix = rel.bestH;
    } else {
      nw.rootIndex = b.rootIndex;
      nw.rootHmatrix = Then(rel.bestH, b.rootHmatrix);
      const ST_FullHMatrix toRoot = nw.rootHmatrix;
      ZqEnrollTempateRootRefresh(fingerId, rel.coinFlg, rel.scores, H.data(), m, nw.rootIndex,
                                 &toRoot);
    }
  } else {
    nw.rootIndex = static_cast<uint16_t>(index);
    memset(&nw.rootHmatrix, 0, sizeof nw.rootHmatrix);
  }
  CoverGroup(*f, index, coverFlags.get(), &rel);

  const uint32_t p = ZqGetTemplateValidPixelNum(&nw);
  const uint32_t area = ZqSensorPixels();
  nw.extendArea =
      rel.covered < p && area > 0 ? static_cast<uint8_t>((p - rel.covered) * 100u / area) : 0;
  f->coverageArea += nw.extendArea;
  if (out != nullptr) *out = static_cast<uint8_t>(f->enrollResult);
  return 0;
}

}  // namespace

extern "C" {

int ZqEnrollByTemplate(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex,
                       uint8_t *out) {
  QUORV_LOGI("ZqEnrollByTemplate...finger_id = %d, enroll_index = %d", fingerId, enrollIndex);
  const int ret = Enroll(sample, fingerId, enrollIndex, out);
  QUORV_LOGD("ZqEnrollByTemplate...leave, ret = %d", ret);
  return ret;
}

int ZqEnrollTempateRootRefresh(int16_t fingerId, const uint8_t *coinFlags, const uint8_t *scores,
                               ST_FullHMatrix *const *sampleToTemplate, uint32_t n,
                               uint16_t newRoot, const ST_FullHMatrix *sampleToRoot) {
  ST_QuorvEnrollTemplate *f = FingerRecord(fingerId);
  if (f == nullptr || coinFlags == nullptr || scores == nullptr || sampleToTemplate == nullptr ||
      sampleToRoot == nullptr) {
    QUORV_LOGE("ZqEnrollTempateRootRefresh...input err, finger_id = %d", fingerId);
    return 0;
  }
  // Only sub-templates the finger holds can move.
  const uint32_t count = f->currentSubtemplatesNum;
  if (n > count) n = count;
  HmatrixTable T;
  if (!T.AllocateArray(n, "ZqEnrollTempateRootRefresh") || n == 0) return 0;
  if (!T.AllocateRecords("ZqEnrollTempateRootRefresh")) return 0;
  ByteBlock moved(n);
  if (moved.get() == nullptr) {
    QUORV_LOGE("ZqEnrollTempateRootRefresh...pTempFlg == NULL");
    return 0;
  }
  const ST_FullHMatrix &toRoot = *sampleToRoot;
  for (uint32_t j = 0; j < n; ++j) {
    const ST_SubTemplate &sj = f->subtemplates[j];
    if (ZqGetCoinFlg(coinFlags, static_cast<uint8_t>(j)) < kRefreshMinCode ||
        scores[j] < kRefreshMinScore || sj.rootIndex == newRoot || sampleToTemplate[j] == nullptr)
      continue;
    const uint32_t R = sj.rootIndex;
    const ST_FullHMatrix jToSample = Inv(*sampleToTemplate[j]);
    const ST_FullHMatrix jToRootJ = sj.rootHmatrix;
    // A root index naming no sub-template ties j to nothing: j moves alone.
    const bool realGroup = R < count;
    for (uint32_t k = 0; k < n; ++k) {
      const ST_SubTemplate &sk = f->subtemplates[k];
      if (moved.get()[k] != 0 || sk.rootIndex != R || (!realGroup && k != j)) continue;
      // k's way to j, then from j through the sample to the new root.
      ST_FullHMatrix t;
      if (k == j) {
        t = jToSample;
      } else if (k == R) {
        t = Then(Inv(jToRootJ), jToSample);
      } else if (R == j) {
        t = Then(sk.rootHmatrix, jToSample);
      } else {
        t = Then(Then(sk.rootHmatrix, Inv(jToRootJ)), jToSample);
      }
      T[k] = Then(t, toRoot);
      moved.get()[k] = 1;
    }
  }
  for (uint32_t k = 0; k < n; ++k) {
    if (moved.get()[k] == 0) continue;
    f->subtemplates[k].rootIndex = newRoot;
    f->subtemplates[k].rootHmatrix = T[k];
  }
  return 0;
}

}  // extern "C"
