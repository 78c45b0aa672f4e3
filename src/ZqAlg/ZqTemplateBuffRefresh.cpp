// The template buffer update: samples that failed identification wait in
// the 16-slot buffer, grouped by mutual strong matches; a later
// identification attributes matching groups to its finger, and their
// samples then update that finger one by one.
#include <stddef.h>
#include <string.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kSlots = ZQ_TEMPLATE_BUF_SLOTS;

// A slot holds a sample when its state says so and its features exist (a
// slot restored from a damaged blob may carry a state without features).
bool Holds(const ST_QuorvTempalteBufInfor &b, int i) {
  return b.bufState[i] != 0 && b.bufTemplate[i].pTemplateFeature != nullptr;
}

bool IsSlot(uint8_t g) { return g < kSlots; }

// Strong match of buffered slot i with the sample: its score reaches the
// verify level's threshold + 2. Empty slots score 0.
bool StrongMatch(const ST_QuorvTempalteBufInfor &b, int i, const ST_SubTemplate *sample) {
  int score = 0;
  if (Holds(b, i)) {
    ST_FullHMatrix H{};
    score = ZqVerifyTwoTemplate(&b.bufTemplate[i], sample, &H, 0, 1);
  }
  const uint8_t level = gSensorInfor.algVerifyFarLevel < ZQ_FAR_LEVEL_COUNT
                            ? gSensorInfor.algVerifyFarLevel
                            : ZQ_FAR_LEVEL_COUNT - 1;
  const uint8_t update = gSensorInfor.updateFarLevel < ZQ_FAR_LEVEL_COUNT
                             ? gSensorInfor.updateFarLevel
                             : ZQ_FAR_LEVEL_COUNT - 1;
  QUORV_LOGI("%s...match score = %d, thr = %d", "ZqTemplateBuffRefresh", score, gUpdateScores[update]);
  return score >= 0 && score >= gMatchScores[level] + 2;
}

// Every non-empty slot of group `from` moves to group `to`, its flag cleared.
void MoveGroup(ST_QuorvTempalteBufInfor *b, uint8_t from, uint8_t to) {
  for (int k = 0; k < kSlots; ++k) {
    if (b->bufState[k] != 0 && b->bufGroup[k] == from) {
      b->bufGroup[k] = to;
      b->bufGroupFlg[k] = 0;
    }
  }
}

// Mode 0: the sample was identified as fingerId; strong matches and their
// groups are attributed to it.
void Attribute(ST_QuorvTempalteBufInfor *b, const ST_SubTemplate *sample, uint8_t fingerId) {
  QUORV_LOGI("%s...match ok", "ZqTemplateBuffRefresh");
  memset(b->bufFingerId, ZQ_NO_FINGER, sizeof(b->bufFingerId));
  for (int i = 0; i < kSlots; ++i) {
    if (!Holds(*b, i) || !StrongMatch(*b, i, sample)) continue;
    b->bufState[i] = 2;
    b->bufFingerId[i] = fingerId;
    const uint8_t g = b->bufGroup[i];
    if (!IsSlot(g)) continue;
    for (int j = 0; j < kSlots; ++j) {
      if (b->bufState[j] == 0 || b->bufGroup[j] != g) continue;
      b->bufFingerId[j] = fingerId;
      if (b->bufState[j] == 1) b->bufState[j] = 3;
    }
  }
}

// Mode 1: the sample is buffered at the write index and grouped with the
// slots it matches strongly.
void Buffer(ST_QuorvTempalteBufInfor *b, const ST_SubTemplate *sample) {
  QUORV_LOGI("%s...match fail or update fail, add tpl to buf", "ZqTemplateBuffRefresh");
  for (int i = 0; i < kSlots; ++i) {
    if (b->bufState[i] == 0) {
      b->bufGroup[i] = static_cast<uint8_t>(i);
      b->bufFingerId[i] = ZQ_NO_FINGER;
      b->bufGroupFlg[i] = 0;
      break;
    }
  }
  if (b->bufWriteIndex >= kSlots) b->bufWriteIndex = 0;
  const uint8_t w = b->bufWriteIndex;
  if (b->bufState[w] != 0 && b->bufGroup[w] == w) {
    for (int j = 0; j < kSlots; ++j) {
      if (j != w && b->bufState[j] != 0 && b->bufGroup[j] == w) {
        b->bufGroup[j] = static_cast<uint8_t>(j);
        b->bufGroupFlg[j] = 0;
      }
    }
  }
  b->bufGroup[w] = w;
  b->bufState[w] = 0;
  if (ZqSubTemplateCopy(&b->bufTemplate[w], sample) != 0) {
    QUORV_LOGE("ZqTemplateBuffRefresh...gQuorvTempupdateInfor->updateVerifyTemplate.pTemplateFeature == NULL");
    ZqClearSubTemplate(&b->bufTemplate[w]);
    return;
  }
  b->bufState[w] = 1;
  b->bufGroup[w] = w;
  b->bufGroupFlg[w] = 0;
  b->bufFingerId[w] = ZQ_NO_FINGER;

  for (int j = 0; j < kSlots; ++j) {
    if (j == w || !StrongMatch(*b, j, sample)) continue;
    const uint8_t gj = b->bufGroup[j];
    const uint8_t gw = b->bufGroup[w];
    const bool wAlone = gw == w && b->bufGroupFlg[w] == 0;
    if (gj == j && b->bufGroupFlg[j] == 0) {
      b->bufGroup[j] = gw;
      b->bufGroupFlg[gw] = 1;
    } else if (gj == j) {
      if (wAlone) {
        b->bufGroup[w] = static_cast<uint8_t>(j);
      } else if (gw != j) {
        MoveGroup(b, static_cast<uint8_t>(j), gw);
      }
    } else if (wAlone) {
      b->bufGroup[w] = gj;
    } else if (gw != gj) {
      MoveGroup(b, gj, gw);
    }
  }
  b->bufWriteIndex = static_cast<uint8_t>(w + 1 < kSlots ? w + 1 : 0);
}

}  // namespace

extern "C" {

int ZqTemplateBuffRefresh(const ST_SubTemplate *sample, uint8_t mode, uint8_t fingerId) {
  ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  if (gSensorInfor.templateBuffEn == 0 || b == nullptr) return 0;
  if (sample == nullptr || sample->pTemplateFeature == nullptr) return 0;
  if (mode == 0 && b->bufUpdateState != 1) {
    Attribute(b, sample, fingerId);
  } else if (mode == 1 || b->bufUpdateState == 1) {
    Buffer(b, sample);
  }
  return 0;
}

int ZqTemplateUpdateEnhance(void) {
  ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  ST_QuorvTempupdateInfor *rec = gQuorvTempupdateInfor;
  if (gSensorInfor.templateBuffEn == 0 || b == nullptr || rec == nullptr) return 0;
  const int32_t keptUpdateIndex = gQuorvMachInfo.updateIndex;

  if (b->bufVerifyState == 1) {
    QUORV_LOGI("%s...match ok, fresh buf", __func__);
    b->bufVerifyState = 0;
    ZqTemplateBuffRefresh(&b->bufSample, 0, b->bufVerifyFingerId);
    ZqClearSubTemplate(&b->bufSample);
  } else if (b->bufVerifyState == 0) {
    QUORV_LOGI("%s...match fail, fresh buf", __func__);
    ZqTemplateBuffRefresh(&b->bufSample, 1, ZQ_NO_FINGER);
    ZqClearSubTemplate(&b->bufSample);
  }

  int c = 0;
  for (int i = 0; i < kSlots; ++i) c += b->bufState[i] == 2 || b->bufState[i] == 3;
  gQuorvMachInfo.buffEnMatchCnt = static_cast<uint8_t>(c);
  gQuorvMachInfo.buffEnUpdateCnt = 0;
  memset(gQuorvMachInfo.buffUpdateIndex, 255, sizeof(gQuorvMachInfo.buffUpdateIndex));

  if (c > 0) {
    memset(rec->updateVerifyTemplate.coinFlg, 0, ZQ_COIN_FLG_BYTES);
    QUORV_LOGI("%s...buff cnts = %d", __func__, c);
    bool emptied[kSlots] = {};
    for (int pass = 0; pass < c; ++pass) {
      const uint8_t state = pass % 2 == 0 ? 2 : 3;
      for (int i = 0; i < kSlots; ++i) {
        if (b->bufState[i] != state || b->bufFingerId[i] >= MAX_FINGERS_SUPPORTED) continue;
        rec->updateFlag = 1;
        rec->updateTag = 0;
        rec->updateFingerId = b->bufFingerId[i];
        if (ZqSubTemplateCopy(&rec->updateVerifyTemplate, &b->bufTemplate[i]) != 0) {
          ZqClearSubTemplate(&rec->updateVerifyTemplate);
          rec->updateFlag = 0;
          continue;
        }
        // Every sub-template of the finger is compared afresh.
        memset(rec->updateVerifyTemplate.coinFlg, 0, ZQ_COIN_FLG_BYTES);
        uint32_t updated = ZQ_NO_FINGER;
        if (ZqTemplateUpdate(1, &updated) != 0) continue;
        QUORV_LOGI("%s...update ok, buf idx = %d, fingerId = %d", __func__, i, static_cast<int>(updated));
        const uint8_t k = gQuorvMachInfo.buffEnUpdateCnt;
        if (k < sizeof(gQuorvMachInfo.buffUpdateIndex)) {
          gQuorvMachInfo.buffUpdateIndex[k] = static_cast<uint8_t>(gQuorvMachInfo.updateIndex);
        }
        gQuorvMachInfo.buffEnUpdateCnt = static_cast<uint8_t>(k + 1);
        ZqClearSubTemplate(&b->bufTemplate[i]);
        b->bufState[i] = 0;
        b->bufGroup[i] = static_cast<uint8_t>(i);
        b->bufGroupFlg[i] = 0;
        emptied[i] = true;
      }
    }

    for (int i = 0; i < kSlots; ++i) {
      if (b->bufState[i] != 2 && b->bufState[i] != 3) continue;
      b->bufState[i] = 1;
      const uint8_t g = b->bufGroup[i];
      if (!IsSlot(g) || g == i || !emptied[g]) continue;
      // Its leader updated a finger and left: this slot leads the rest.
      bool others = false;
      for (int j = 0; j < kSlots; ++j) {
        if (j == g || b->bufState[j] == 0 || b->bufGroup[j] != g) continue;
        b->bufGroup[j] = static_cast<uint8_t>(i);
        b->bufState[j] = 1;
        if (j != i) others = true;
      }
      b->bufGroupFlg[i] = others ? 1 : 0;
    }
    memset(b->bufFingerId, ZQ_NO_FINGER, sizeof(b->bufFingerId));
    gQuorvMachInfo.updateIndex = keptUpdateIndex;
  }

  int held = 0;
  for (int i = 0; i < kSlots; ++i) held += b->bufState[i] != 0;
  if (held > 0) gQuorvMachInfo.buffEnTotalCnt = static_cast<uint8_t>(gQuorvMachInfo.buffEnTotalCnt + held);
  return 0;
}

}  // extern "C"
