#include "src/ZqAlg/ZqTemplateBuf.h"

#include <stddef.h>

#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// The lowest free extra slot, else the write index (reset past 63 first).
int RefreshExtra(const char *who, const ST_SubTemplate *src, uint8_t fingerId) {
  ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor;
  if (x == nullptr) {
    QUORV_LOGE("%s...ExtraBuf is NULL, ret = -1", who);
    return -1;
  }
  if (x->extraWriteIndex >= ZQ_EXTRA_BUF_SLOTS) x->extraWriteIndex = 0;
  if (src == nullptr || src->pTemplateFeature == nullptr) {
    QUORV_LOGE("%s...pScrTemplate->pTemplateFeature == NULL, ret = -1, leave", who);
    return -1;
  }
  int slot = x->extraWriteIndex;
  for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS; ++j) {
    if (x->extraFingerId[j] == ZQ_NO_FINGER) {
      slot = j;
      break;
    }
  }
  if (ZqSubTemplateCopy(&x->quorvTemplateExtraInfor[slot], src) != 0) {
    QUORV_LOGE("%s...gQuorvTemplateExtraBufInfor->quorvTemplateExtraInfor[%d].pTemplateFeature == NULL",
               who, slot);
    return -1;
  }
  x->extraFingerId[slot] = fingerId;
  if (slot == x->extraWriteIndex) x->extraWriteIndex = static_cast<uint8_t>(slot + 1);
  return 0;
}

}  // namespace

extern "C" {

ST_QuorvTempalteBufInfor *gQuorvTempalteBufInfor = nullptr;
ST_QuorvTemplateExtraBufInfor *gQuorvTemplateExtraBufInfor = nullptr;

int ZqInitTempalteBuf(void) {
  ST_QuorvTempalteBufInfor *b =
      static_cast<ST_QuorvTempalteBufInfor *>(ZqSafeAlloc(sizeof(ST_QuorvTempalteBufInfor)));
  gQuorvTempalteBufInfor = b;
  if (b == nullptr) return -2;
  int ret = 0;
  for (int i = 0; i < ZQ_TEMPLATE_BUF_SLOTS; ++i) {
    b->bufGroup[i] = static_cast<uint8_t>(i);
    b->bufGroupFlg[i] = 0;
    b->bufFingerId[i] = ZQ_NO_FINGER;
  }
  for (ST_SubTemplate &t : b->bufTemplate) {
    if (ZqInitSubTemplate(&t) != 0) {
      ret = -2;
      break;
    }
  }
  b->bufVerifyFingerId = ZQ_NO_FINGER;
  if (ZqInitSubTemplate(&b->bufSample) != 0) ret = -2;

  ST_QuorvTemplateExtraBufInfor *x = static_cast<ST_QuorvTemplateExtraBufInfor *>(
      ZqSafeAlloc(sizeof(ST_QuorvTemplateExtraBufInfor)));
  gQuorvTemplateExtraBufInfor = x;
  if (x == nullptr) return -2;
  for (uint8_t &id : x->extraFingerId) id = ZQ_NO_FINGER;
  for (ST_SubTemplate &t : x->quorvTemplateExtraInfor) {
    if (ZqInitSubTemplate(&t) != 0) {
      ret = -2;
      break;
    }
  }
  x->extraWriteIndex = 0;
  return ret;
}

void ZqReleaseTempalteBuf(void) {
  if (ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor) {
    for (ST_SubTemplate &t : b->bufTemplate) ZqReleaseSubTemplate(&t);
    ZqReleaseSubTemplate(&b->bufSample);
    ZqSafeFree(b);
    gQuorvTempalteBufInfor = nullptr;
  }
  if (ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor) {
    for (ST_SubTemplate &t : x->quorvTemplateExtraInfor) ZqReleaseSubTemplate(&t);
    ZqSafeFree(x);
    gQuorvTemplateExtraBufInfor = nullptr;
  }
}

void ZqClearTempalteBuf(void) {
  ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  if (b == nullptr) {
    QUORV_LOGE("%s...TempalteBuf is NULL, ret = -1", __func__);
    return;
  }
  for (int i = 0; i < ZQ_TEMPLATE_BUF_SLOTS; ++i) {
    ZqClearSubTemplate(&b->bufTemplate[i]);
    b->bufState[i] = 0;
    b->bufFingerId[i] = ZQ_NO_FINGER;
    // Each slot its own group, as at set-up.
    b->bufGroup[i] = static_cast<uint8_t>(i);
    b->bufGroupFlg[i] = 0;
  }
  b->bufWriteIndex = 0;
  b->bufVerifyState = 0;
  b->bufUpdateState = 0;
  // 0 would name finger 0.
  b->bufVerifyFingerId = ZQ_NO_FINGER;
}

int ZqClearTemplateBuf(void) {
  ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  if (b == nullptr) return 0;
  for (int i = 0; i < ZQ_TEMPLATE_BUF_SLOTS; ++i) {
    b->bufGroup[i] = static_cast<uint8_t>(i);
    b->bufGroupFlg[i] = 0;
    b->bufFingerId[i] = ZQ_NO_FINGER;
    b->bufState[i] = 0;
  }
  return 0;
}

void ZqClearExtraTempalteBuf(int16_t fingerId) {
  ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor;
  if (x == nullptr) {
    QUORV_LOGE("%s...ExtraBuf or TempalteBuf is NULL, ret = -1", __func__);
    return;
  }
  for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS; ++j) {
    if (x->extraFingerId[j] == fingerId) {
      ZqClearSubTemplate(&x->quorvTemplateExtraInfor[j]);
      x->extraFingerId[j] = ZQ_NO_FINGER;
    }
  }
  x->extraWriteIndex = 0;
}

int ZqRefreshTemplateExtraInfor(const ST_SubTemplate *src, uint8_t fingerId) {
  return RefreshExtra("ZqRefreshTemplateExtraInfor", src, fingerId);
}

int ZqRefreshTemplateExtraInforInVerify(const ST_SubTemplate *src, uint8_t fingerId) {
  return RefreshExtra("ZqRefreshTemplateExtraInforInVerify", src, fingerId);
}

int ZqInitNegativeTempalteBuf(void) { return 0; }
int ZqNegativeTemplateBufUpdate(void) { return 0; }
void ZqReleaseNegativeTempalteBuf(void) {}
void ZqClearNegativeTempalteBuf(void) {}

}  // extern "C"
