#include "src/ZqAlg/ZqEnrollTemplate.h"

#include <stddef.h>
#include <string.h>

#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

ST_QuorvEnrollTemplate *Finger(unsigned fingerId) {
  return fingerId < MAX_FINGERS_SUPPORTED ? gEnrolledTemplate[fingerId] : NULL;
}

}  // namespace

extern "C" {

ST_QuorvEnrollTemplate *gEnrolledTemplate[MAX_FINGERS_SUPPORTED];

int ZqInitErollTemplate(void) {
  int ret = 0;
  for (int f = 0; f < MAX_FINGERS_SUPPORTED; ++f) {
    ST_QuorvEnrollTemplate *t =
        static_cast<ST_QuorvEnrollTemplate *>(ZqSafeAlloc(sizeof(ST_QuorvEnrollTemplate)));
    gEnrolledTemplate[f] = t;
    if (t == NULL) {
      QUORV_LOGE("ZqInitAlgorithm...create gEnrolledTemplate[%d] FAIL!", f);
      return -1;
    }
    t->headerSize = ZQ_FINGER_HEADER_SIZE;
    for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
      if (ZqInitSubTemplate(&t->subtemplates[i]) != 0) {
        ret = -2;
        break;
      }
    }
  }
  return ret;
}

void ZqReleaseErollTemplate(void) {
  for (int f = 0; f < MAX_FINGERS_SUPPORTED; ++f) {
    ST_QuorvEnrollTemplate *t = gEnrolledTemplate[f];
    if (t == NULL) continue;
    for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) ZqReleaseSubTemplate(&t->subtemplates[i]);
    ZqSafeFree(t);
    gEnrolledTemplate[f] = NULL;
  }
}

void ZqClearErollTemplate(uint16_t fingerId) {
  ST_QuorvEnrollTemplate *t = Finger(fingerId);
  if (t == NULL) return;
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) ZqClearSubTemplate(&t->subtemplates[i]);
  memset(t->order, 0, sizeof t->order);
  t->currentSubtemplatesNum = 0;
  t->validFlg = 0;
  t->enrollResult = 0;
  t->templateSize = 0;
  t->coverageArea = 0;
}

int ZqSetTplValidFlag(uint16_t fingerId) {
  if (fingerId >= MAX_FINGERS_SUPPORTED) {
    QUORV_LOGE("ZqSetTplValidFlag...fingerId > MAX");
    return -1;
  }
  ST_QuorvEnrollTemplate *t = Finger(fingerId);
  if (t == NULL || t->validFlg != 0) return 0;
  t->validFlg = 1;
  for (uint16_t i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) t->order[i] = i;
  t->templateSize = ZQ_FINALISED_TEMPLATE_SIZE;
  return 0;
}

int ZqCancelEnroll(uint16_t fingerId) {
  ZqClearErollTemplate(fingerId);
  return 0;
}

int ZqGetSubtemplatesNum(uint8_t fingerId) {
  const ST_QuorvEnrollTemplate *t = Finger(fingerId);
  return t != NULL ? t->currentSubtemplatesNum : 0;
}

int ZqGetTemplateCoverageArea(uint8_t fingerId) {
  if (fingerId >= MAX_FINGERS_SUPPORTED) {
    QUORV_LOGW("%s...fingerId(= %d) error", __func__, fingerId);
    return 0;
  }
  const ST_QuorvEnrollTemplate *t = Finger(fingerId);
  return t != NULL ? t->coverageArea : 0;
}

uint32_t ZqGetTemplateVersion(void) { return ZQ_TEMPLATE_FLAG_V2; }

}  // extern "C"
