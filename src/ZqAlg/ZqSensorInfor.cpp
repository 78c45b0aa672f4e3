#include "src/ZqAlg/ZqSensorInfor.h"

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"
#include "src/netModel/predict.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr ST_SensorInfor kSensorInforAtLoad = {
    96,   // cols
    96,   // rows
    16,   // enrollMaxTplCount
    48,   // algMaxTplCount
    15,   // algVerifyFarLevel
    1,    // algoMode
    0,    // frrImproveEn
    0,    // frrImproveLevel
    1,    // updateOutsideEn
    16,   // updateFarLevel
    0,    // updateTemplateThreshold
    16,   // updateTemplateAreaThreshold
    0,    // templateBuffEn
    1,    // templateExtraEn
    1,    // spaFilterEn
    0,    // foreignBodyTest
    0,    // smallSensor
    160,  // maxFeatNum
    0,    // algBadPixBitRef
    0,    // multiAreaMatchEn
    0,    // binImageEnhance
    0,    // noneFingerNetModule
    0,    // trueFalseFingerNetModule
    0,    // imageStretch
    0,    // classifierOn
    0,    // negativeTemplateBuffEn
    0,    // mulTemplateCrossCheckEn
    1,    // adjustMatchEn
    0,    // fullHomography
};

constexpr ST_AlgInfor kAlgInforAtLoad = {3, 15, 1.6f, 0.02f};

// Sub-template slots of a finger: no count may exceed them.
constexpr int kMaxTplSlots = 96;

// Highest algorithm mode; larger values select mode 1.
constexpr uint8_t kMaxAlgoMode = 5;

// No-finger thresholds of levels 0..8; higher levels use 0.5.
constexpr float kNoneFingerThr[9] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f};

}  // namespace

extern "C" {

ST_SensorInfor gSensorInfor = kSensorInforAtLoad;
ST_AlgInfor gAlgInfor = kAlgInforAtLoad;

void ZqSetSensorColRow(int16_t cols, int16_t rows) {
  gSensorInfor.cols = cols;
  gSensorInfor.rows = rows;
  const bool small = (cols == 56 && rows == 56) || (cols == 52 && rows == 52) ||
                     (cols == 50 && rows == 50);
  gSensorInfor.smallSensor = small ? 1 : 0;
  NetSetImageSize();
}

void ZqSetFpEnrollMaxTplCnt(int n) {
  if (n < 0 || n > kMaxTplSlots) {
    QUORV_LOGE("%s...count(= %d) out of 0..%d, refused", __func__, n, kMaxTplSlots);
    return;
  }
  gSensorInfor.enrollMaxTplCount = static_cast<uint32_t>(n);
}

void ZqSetAlgMaxTplCnt(int n) {
  if (n < 0 || n > kMaxTplSlots) {
    QUORV_LOGE("%s...count(= %d) out of 0..%d, refused", __func__, n, kMaxTplSlots);
    return;
  }
  gSensorInfor.algMaxTplCount = static_cast<uint32_t>(n);
}

void ZqSetAlgoMode(uint8_t mode) { gSensorInfor.algoMode = mode <= kMaxAlgoMode ? mode : 1; }

void ZqSetForeignBodyTest(uint8_t on) { gSensorInfor.foreignBodyTest = on != 0 ? 1 : 0; }

void ZqSetFrrImprovedEn(int) { gSensorInfor.frrImproveEn = 1; }

void ZqSetFrrImproveLevel(uint8_t level) { gSensorInfor.frrImproveLevel = level; }

void ZqUpdateTemplateOutsideEn(uint8_t on) { gSensorInfor.updateOutsideEn = on; }

void ZqSetUpdateTemplateThreshold(int16_t thr) { gSensorInfor.updateTemplateThreshold = thr; }

void ZqSetUpdateTemplateAreaThreshold(int16_t thr) {
  gSensorInfor.updateTemplateAreaThreshold = thr;
}

void ZqSetTemplateBuffEn(uint8_t on) { gSensorInfor.templateBuffEn = on; }

void ZqSetTemplateExtraEn(uint8_t on) { gSensorInfor.templateExtraEn = on; }

void ZqSpaFilterEn(uint8_t on) { gSensorInfor.spaFilterEn = on; }

void ZqMaxFeatNumSet(uint16_t n) {
  ZqKpNumSet(n);
  gSensorInfor.maxFeatNum = n;
}

void ZqAlgBadPixBitRefSet(uint8_t on) { gSensorInfor.algBadPixBitRef = on; }

void ZqSetMultiAreaMathEn(uint8_t on) { gSensorInfor.multiAreaMatchEn = on; }

void ZqSetBinImageEnhance(uint8_t on) { gSensorInfor.binImageEnhance = on; }

void ZqSetNoneFingerNetModule(uint8_t on) { gSensorInfor.noneFingerNetModule = on; }

void ZqSetTrueFalseFingerNetModule(uint8_t on) { gSensorInfor.trueFalseFingerNetModule = on; }

void ZqSetImageStretch(uint8_t on) { gSensorInfor.imageStretch = on; }

void ZqSetClassifierOn(uint8_t on) { gSensorInfor.classifierOn = on; }

void ZqSetNegativeTemplateBuffEn(uint8_t on) { gSensorInfor.negativeTemplateBuffEn = on; }

void ZqSetMulTemplateCrossCheckEn(uint8_t on) { gSensorInfor.mulTemplateCrossCheckEn = on; }

void ZqSetAdjustMatchEn(uint8_t on) { gSensorInfor.adjustMatchEn = on; }

void ZqChipNameSet(uint16_t type) {
  ZqSensorTypeSet(type);
}

void ZqValidBitRefSet(uint8_t flag) {
  ZqObtainKeyPointInValidRegion(flag);
}

void ZqBadPixBitRefSet(uint8_t value) {
  ZqSetBadPixInValidRegion(value);
}

void ZqSetSensorName(int name) {
  SetSensorName(name);
}

void ZqSetModuleType(int type) {
  SetModuleType(type);
}

void ZqSetNoneFingerLevel(uint8_t type, uint8_t level) {
  const float thr = level < 9 ? kNoneFingerThr[level] : 0.5f;
  SetNoneFingerThr(type, thr);
}

void ZqSetMemoryPoolEnable(int en) { ZqSetMemoryPoolEn(en); }

void ZqAlgInfoSet(uint32_t curvThr, float contrThr) {
  if (contrThr > 0.001f && contrThr < 0.2f) gAlgInfor.contrThr = contrThr;
  const float curv = static_cast<float>(curvThr);
  if (curv > 10.0f && curv < 30.0f) gAlgInfor.curvThr = static_cast<int32_t>(curvThr);
}

void ZqGetAlgInfo(ST_AlgInfor *out) {
  if (out != NULL) *out = gAlgInfor;
}

int ZqGetAlgFarLevel(void) { return gSensorInfor.algVerifyFarLevel; }

void ZqCopySensorInfor(ST_SensorInfor *out) {
  if (out != NULL) *out = gSensorInfor;
}

void ZqShowAlgConfig(void) { QUORV_LOGI("neon config                       = NEON OFF"); }

void ZqAlgSettingsResetForTest(void) {
  gSensorInfor = kSensorInforAtLoad;
  gAlgInfor = kAlgInforAtLoad;
  ZqInitAutoMatchLevel();
}

}  // extern "C"
