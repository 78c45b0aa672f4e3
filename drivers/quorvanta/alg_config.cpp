// alg_do_config: the sensor library's two parameter sets.
#include "base/bq_log.h"
#include "drivers/quorvanta/bq_config.h"
#include "drivers/quorvanta/zq_sensor.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace {

constexpr const char *kTag = "quorvanta:sensor";

// The FW4843 set: module type 2 with 80 x 128 frames.
int AlgConfig4843() {
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:'%s' enter.", __LINE__, "alg_config_4843");
  quorv_SetFpSensorColsRows(80, 128);
  quorv_IcInfoSwitch(12);
  quorv_SetImageBit(2);
  quorv_SetModuleType(0);
  quorv_SetAlgoMode(2);
  quorv_SetNonFingerDetect(1, 0, 1);
  quorv_SetFakeFingerDetect(0, 0, 1);
  quorv_SetForeignBodyAttackSwitch(1);
  quorv_SpaEn(1);
  quorv_SetBadPixBitRef(0);
  quorv_SetValidBitRef(0);
  quorv_SetAdjustMatchEn(1);
  quorv_SetSlideEnrollEn(0);
  quorv_EnrollNonFingerDetect(1);
  quorv_EnrollNonFingerDetectNet(0);
  quorv_EnrollmentDuplicateCheckEn(1);
  quorv_SetFpAlgMaxTpl(96);
  quorv_SetEnrollMaxTpl(48);
  quorv_SetImageValidAreaScale(0.7f);
  quorv_SetImageQualityScore(50);
  quorv_SetImageValidCondScale(30);
  quorv_SetEnrollmentTipsEn(2);
  quorv_SetEnrollmentTipsParameter(40, 70, 0, 10);
  quorv_IdentifyNonFingerDetect(1);
  quorv_IdentifyNonFingerDetectNet(0);
  quorv_SetAlgFarLevel(15);
  quorv_SetImageVerifyValidAreaScale(0.7f);
  quorv_SetImageVerifyQualityScore(50);
  quorv_SetImageVerifyValidCondScale(30);
  quorv_SetImageRescanCnt(3);
  quorv_SetNormalImageRescanCnt(5);
  quorv_SetRescanOverlapAreaThreshold(100);
  quorv_SetForceIdentifyEnable(1);
  quorv_SetMultiAreaMatchEn(0);
  quorv_SetMulTemplateCrossCheckEn(0);
  quorv_SetTemplateBuffEn(1);
  quorv_SetNegativeTemplateBuffEn(0);
  quorv_SetClassifierOn(1);
  quorv_SetAbnormalImgDetectMode(0);
  quorv_SetUpdateTemplateFarLevel(16);
  quorv_UpdateTemplateOutsideEn(1);
  quorv_SetSmallAreaImageUpdateEn(1);
  quorv_SetBinImageEnhance(0);
  quorv_SetImageContrastEnhance(0, 0, 0);
  quorv_SetImageStretchEn(0);
  quorv_FilterEnhance(1, 80);
  quorv_SetImproveFeatureEn(0);
  quorv_DebugInfoSwitch(0);
  quorv_PrintFuncTime(0);
  quorv_SetImageSaveEn(0);
  quorv_SetMcuInterrupMode(1);
  quorv_SetMcuStateCheckMode(1);
  quorv_SetTransferBytesMax(7752);
  quorv_SetSlideEnrollGetImageCnt(2);
  quorv_InitStandardDeviationThr(15 * 15);
  quorv_SetOneSlideEnrollMaxTpls(12);
  quorv_SetSlideEnrollArealapThreshold(60);
  quorv_SetSlideEnrollSpeedThreshold(60);
  quorv_SetSlideVerifySpeedThreshold(60);
  quorv_SetImageNoiseFilter(0);
  quorv_SetMLOGOEnhance(0);
  quorv_SetOptimizeIdentifyLevel(0, 5, 70);
  quorv_SetDirtyParameter(1, 20, 20);
  quorv_VerifyQuicklyEn(1);
  quorv_SetImprovedLevel(15);
  quorv_SetImprovedFrrEn(1);
  quorv_SetUpdateTemplateAreaThreshold(15);
  quorv_SetUpdateTemplateThreshold(60);
  // The set used to go on to the configuration dump whatever the algorithm
  // initialisation answered; a failure must end the open instead.
  int r = quorv_InitFpAlg();
  if (r != 0) return r;
  quorv_ShowSensorConfig();
  return 0;
}

// The chip selection of the second set, by sensor type.
void ChipCalls(uint32_t sensor_type) {
  switch (sensor_type) {
    case 1:
    case 2:
      quorv_IcInfoSwitch(static_cast<uint8_t>(sensor_type));
      quorv_SetImageBit(1);
      break;
    case 3:
      quorv_IcInfoSwitch(3);
      quorv_SetImageBit(1);
      quorv_InitImageAdjust(0);
      quorv_InitImageFilter(0);
      quorv_InitImageSmall(1);
      break;
    case 7:
      quorv_IcInfoSwitch(7);
      quorv_SetImageBit(1);
      quorv_SetFW4856BaseEnable(0);
      break;
    case 4:
    case 8:
    case 10:
    case 11:
      quorv_IcInfoSwitch(8);
      quorv_SetImageBit(2);
      quorv_SetImageContrastEnhance(0, 0, 0);
      quorv_SetImageWetCondThr(100);
      quorv_FilterEnhanceEn(1);
      break;
    default:
      break;
  }
}

// Every other device.
int AlgConfigCommon(const quorvanta_ctx_t &ctx) {
  const uint16_t width = ctx.sensor_info.sensor.cols;
  const uint16_t height = ctx.sensor_info.sensor.rows;
  ChipCalls(ctx.sensor_info.sensor_type);
  quorv_SetNonFingerDetectVer(0);
  quorv_SetModuleType(0);
  quorv_DebugInfoSwitch(bq_config->debug_info);
  quorv_PrintFuncTime(bq_config->print_func_time ? bq_config->debug_info : 0);
  quorv_SetTransferBytesMax(1014);
  quorv_SetImageSaveEn(0);
  quorv_SetSmallAreaImageUpdateEn(1);
  quorv_SetImageRescanCnt(0);
  quorv_SetRescanOverlapAreaThreshold(99);
  quorv_SetMcuStateCheckMode(1);
  quorv_SetFpSensorColsRows(static_cast<uint8_t>(width), static_cast<uint8_t>(height));
  quorv_SetAlgoMode(1);
  quorv_SpaEn(1);
  quorv_SetMcuInterrupMode(1);
  quorv_EnrollmentDuplicateCheckEn(1);
  quorv_SetFpAlgMaxTpl(96);
  quorv_SetEnrollMaxTpl(48);
  quorv_SetEnrollmentTipsEn(1);
  quorv_SetEnrollmentTipsParameter(40, 70, 0, 0);
  quorv_SetImageValidAreaScale(0.3f);
  quorv_SetImageQualityScore(30);
  quorv_SetImageRepeatEn(0);
  quorv_EnrollNonFingerDetect(0);
  quorv_SetImageValidCondScale(20);
  if (ctx.module_type == 1) {
    // The module sends two 64-column halves per frame; the library enrols
    // each half on its own.
    quorv_SetFpSensorColsRows(static_cast<uint8_t>(width / 2), static_cast<uint8_t>(height));
    quorv_SetEnrollmentTipsEn(2);
  }
  quorv_SetImageVerifyQualityScore(30);
  quorv_SetImageVerifyValidAreaScale(0.3f);
  quorv_SetAlgFarLevel(14);
  quorv_SetUpdateTemplateFarLevel(16);
  quorv_UpdateTemplateOutsideEn(1);
  quorv_SetTemplateBuffEn(0);
  quorv_IdentifyNonFingerDetect(0);
  quorv_SetForeignBodyAttackSwitch(1);
  quorv_SetImageVerifyValidCondScale(30);
  return quorv_InitFpAlg();
}

}  // namespace

extern "C" int alg_do_config(void) {
  BQ_LOG_ENTER(kTag);
  const quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NO_DEVICE);
    return -1;
  }
  int r = ctx->module_type == 2 && ctx->sensor_info.sensor.rows == 128 ? AlgConfig4843()
                                                                       : AlgConfigCommon(*ctx);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "quorv_InitFpAlg(..) = %d.", r);
    BQ_LOG_ERRNO(kTag, BQ_ERROR_INTERNAL);
    return -1;
  }
  BQ_LOG_LEAVE(kTag);
  return 0;
}
