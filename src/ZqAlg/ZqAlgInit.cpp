#include "src/ZqAlg/ZqAlgInit.h"

#include <stddef.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqScaleSpace.h"
#include "src/image/ZqMemoryManager.h"
#include "src/netModel/predict.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Bytes of the algorithm's memory pool.
constexpr int32_t kPoolBytes = 0x80000;
// Entry of a deleted finger in the match history.
constexpr uint32_t kDeletedEntry = 255;

// Steps 6 to 10 of the set-up; 0 or -2, with the failure logged.
int CreateState() {
  const int upd = ZqCreateTempupdateInfor();
  if (upd == -1) {
    QUORV_LOGE("ZqInitAlgorithm...create gQuorvTempupdateInfor FAIL! ret = %d", -2);
    return -2;
  }
  if (upd != 0) {
    QUORV_LOGE("%s...ZqInitSubTemplate() err.", "ZqInitAlgorithm");
    return -2;
  }
  if (ZqInitErollTemplate() != 0) {
    QUORV_LOGE("%s...ZqInitErollTemplate() err.", "ZqInitAlgorithm");
    return -2;
  }
  if (ZqCreateMatchPriority() != 0) {
    QUORV_LOGE("ZqInitAlgorithm...create gQuorvMatchPriority FAIL!");
    return -2;
  }
  if (ZqCreateAreaMatchToplogy() != 0) return -2;
  if (ZqInitTempalteBuf() != 0) {
    QUORV_LOGE("%s...ZqInitTempalteBuf() err.", "ZqInitAlgorithm");
    return -2;
  }
  if (ZqInitNegativeTempalteBuf() != 0) {
    QUORV_LOGE("%s...ZqInitNegativeTempalteBuf() err.", "ZqInitAlgorithm");
    return -2;
  }
  return 0;
}

}  // namespace

extern "C" {

int ZqInitAlgorithm(void) {
  ZqDestroyIntiAlg();
  if (ZqInitMemBlock(kPoolBytes) != 0) return -1;
  const uint8_t mode = gSensorInfor.algoMode;
  gSensorInfor.fullHomography = (mode == 5 || (mode == 4 && ZqSensorTypeGet() == 10)) ? 1 : 0;
  ZqInitAutoMatchLevel();
  if (CreateState() != 0) {
    ZqDestroyIntiAlg();
    return -2;
  }
  QUORV_LOGI("%s...leave, ret = 0", __func__);
  return 0;
}

int ZqDestroyIntiAlg(void) {
  net_free_model_v2();
  ZqReleaseMatchRecords();
  ZqReleaseErollTemplate();
  ZqReleaseTempalteBuf();
  ZqReleaseNegativeTempalteBuf();
  ZqDestroyMemBlock();
  ZqScaleSpaceReleaseBuffers();
  return 0;
}

int ZqDelTpl(uint16_t fingerId) {
  if (fingerId >= MAX_FINGERS_SUPPORTED) {
    QUORV_LOGE("%s...fid(= %d) >= MAX_FINGERS_SUPPORTED(= %d), ret = -1", __func__, fingerId,
               MAX_FINGERS_SUPPORTED);
    return -1;
  }
  if (gEnrolledTemplate[fingerId] == NULL) return 0;
  ZqClearErollTemplate(fingerId);
  if (ST_QuorvMatchPriority *p = gQuorvMatchPriority) {
    for (uint32_t &e : p->fingerRing) {
      if (e == fingerId) e = kDeletedEntry;
    }
    for (uint32_t &e : p->subTempRing[fingerId]) e = kDeletedEntry;
  }
  ZqClearExtraTempalteBuf(static_cast<int16_t>(fingerId));
  return 0;
}

}  // extern "C"
