// Settings the library only hands on (no record field), the status and
// version getters, and the interface functions kept without an effect.
// None of these needs the configuration record.
#include <string.h>

#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_mcu_services.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVersion.h"
#include "src/netModel/predict.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr char kLibVersion[] = "v1.5.7a-r4832-x86_64_64bit-20230526";
constexpr char kZqLibVersion[] = "Quorv ALG fp_vantor v2.2.2.5 Alpha";
static_assert(sizeof(kLibVersion) == 36, "the version text and its NUL take 36 bytes");

void WriteText(char *buf, const char *text, size_t size) {
  if (buf != nullptr) memcpy(buf, text, size);
}

// Hands a host network record to a classifier's setter: -1 (logged) for
// NULL, else the setter's result for the embedded network and its length.
int32_t SetNetParam(const char *func, const ST_QuorvNetParam *param,
                    int32_t (*set)(const NetFunctionSt *, int32_t)) {
  if (param == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...err: pNet = null, ret = -1", func);
    return -1;
  }
  char version[sizeof(param->version) + 1];
  memcpy(version, param->version, sizeof(param->version));
  version[sizeof(param->version)] = '\0';  // a text that fills the field stays bounded
  QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...net version = %s", func, version);
  return set(&param->net, param->net_len);
}

}  // namespace

extern "C" {

// --- Handed on only --------------------------------------------------------------

void quorv_IcInfoSwitch(uint8_t chip) {
  quorv_set_icinfo(chip);
  ZqChipNameSet(chip);
  ZqSetSensorName(chip);
}
void quorv_SetTransferBytesMax(int32_t bytes) {
  quorv_fp_SetTransferBytesMax(bytes);
  QUORV_LOGV("quorv_SetTransferBytesMax : %d", static_cast<int>(bytes));
}
void quorv_InitImageAdjust(uint8_t mode) { quorv_set_image_adjust(mode); }
void quorv_InitImageFilter(uint8_t on) {
  SetSensorImageFilter(on);
  quorv_set_imageFilterEn(on);
}
void quorv_InitImageSmall(uint8_t mode) { SetSensorImageSmall(mode); }
void quorv_InitSaveSensorImage(uint8_t on) { quorv_set_saveImageEn(on); }
void quorv_InitStandardDeviationThr(int32_t threshold) {
  quorv_set_StandardDeviation_thr(threshold);
}
void quorv_SetMaxFeatNum(uint16_t count) { ZqMaxFeatNumSet(count); }
int quorv_SetMcuStateCheckMode(uint8_t mode) { return SetMcuStateCheckMode(mode); }
void quorv_SetValidBitRef(uint8_t mode) { ZqValidBitRefSet(mode); }
void quorv_SetUpdateTemplateThreshold(uint16_t threshold) {
  ZqSetUpdateTemplateThreshold(static_cast<int16_t>(threshold));
}
void quorv_SetUpdateTemplateAreaThreshold(uint16_t threshold) {
  ZqSetUpdateTemplateAreaThreshold(static_cast<int16_t>(threshold));
}
void quorv_SetImprovedFrrEn(uint8_t on) { ZqSetFrrImprovedEn(on); }
void quorv_SetImprovedLevel(uint8_t level) { ZqSetFrrImproveLevel(level); }
void quorv_SetSlideEnrollNoValidImageCnts(uint8_t count) { quorv_set_noValidImageCnts_thr(count); }
int quorv_Set4859HScanTimes(int32_t times) {
  quorv_set_fw4859h_scan_time(times);
  return 0;
}
void quorv_ClearNegativeTempalteBuf(void) { ZqClearNegativeTempalteBuf(); }
int quorv_SetFW4848FilterThr(float threshold) {
  quorv_set_fw4848_filter_thr(threshold);
  return 0;
}
int quorv_SetFW4856BaseEnable(uint8_t on) {
  SetFW4856BaseEnable(on);
  return 0;
}

// --- Classifier networks ----------------------------------------------------------

int quorv_SetNoneFingerNetParam_v1(int32_t version, const float *weights, int32_t weight_count,
                                   const int16_t *layers, int32_t layers_len) {
  return NoneFinger_NetStruct_Param_Set_v1(version, weights, weight_count, layers, layers_len);
}
int quorv_SetFakeFingerNetParam_v1(int32_t version, const float *weights, int32_t weight_count,
                                   const int16_t *layers, int32_t layers_len) {
  return FakeFinger_NetStruct_Param_Set_v1(version, weights, weight_count, layers, layers_len);
}
int quorv_SetNoneFingerNetParam(const ST_QuorvNetParam *param) {
  return SetNetParam(__func__, param, NoneFinger_NetStruct_Param_Set);
}
int quorv_SetFakeFingerNetParam(const ST_QuorvNetParam *param) {
  return SetNetParam(__func__, param, FakeFinger_NetStruct_Param_Set);
}

// --- Getters ------------------------------------------------------------------------

int quorv_GetImageBitStatus(void) { return GetImageBitStatus(); }
int quorv_GetMcuInterruptMode(void) {
  const int mode = GetMcuInterruptMode();
  QUORV_LOGV("quorv_GetMcuInterruptMode :%d\n", mode & 0xff);
  return mode;
}
int quorv_GetMcuStateCheckMode(void) { return GetMcuStateCheckMode(); }
int quorv_getMcuStateCheckMode(void) { return GetMcuStateCheckMode(); }

void quorv_GetLibVersion(char *buf) { WriteText(buf, kLibVersion, sizeof(kLibVersion)); }
void quorv_GetZQLibVersion(char *buf) { WriteText(buf, kZqLibVersion, sizeof(kZqLibVersion)); }
int quorv_GetLibType(void) { return -96; }
void quorv_GetAlgLibVersion(char *buf) { ZqCoreVersion(buf); }
void quorv_GetNoneFingerVersion(char *buf) { ZqNoneFingerVersion(buf); }
void quorv_GetTrueFalseFingerVersion(char *buf) { ZqTrueFalseFingerVersion(buf); }
void quorv_GetClassifierVersion(char *buf) { ZqClassifierVersion(buf); }

int quorv_get_fw_config(void) { return 0; }
int quorv_get_fw_config_tmp(void) { return 0; }
int quorv_get_android_config(void) { return 0; }
int quorv_get_android_config_tmp(void) { return 0; }
int quorv_get_Histogram_buf(void) { return 0; }
int quorv_get_debuginfo(void) { return 0; }
int quorv_get_debuginfo_tmp(void) { return 0; }

// --- Kept without an effect ---------------------------------------------------------

void quorv_set_verify_with_image(uint8_t) {}
void quorv_SetImageFromPicModeEnFactory(uint8_t) {}
int quorv_VerifySensorFactory(void) { return 0; }

}  // extern "C"
