// The configuration dump: the whole configuration as a script of setter
// calls, one info line each, then the algorithm's configuration and the
// version texts.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kVersionBufSize = 64;

void ShowRecord(const QuorvConfigInfo &c) {
  QUORV_LOGI("//............Sensor And Algo Config............");
  QUORV_LOGI("// Support Max Finger Number = %d", QUORV_FINGER_SLOTS);
  QUORV_LOGI("// 1. sensor config.");
  QUORV_LOGI("quorv_SensorResourceCreate();");
  QUORV_LOGI("quorv_SetFpSensorColsRows(%d, %d);", static_cast<int>(c.sensor_cols),
             static_cast<int>(c.sensor_rows));
  QUORV_LOGI("quorv_IcInfoSwitch(%d);", quorv_get_icinfo());
  QUORV_LOGI("quorv_SetImageBit(%d);", c.image_bit);
  QUORV_LOGI("quorv_SetModuleType(%d);", c.module_type);
  QUORV_LOGI("quorv_SetAlgoMode(%d);", c.algo_mode);
  QUORV_LOGI("quorv_SetNonFingerDetect(%d, %d, %d);", c.nonfinger_ver, c.nonfinger_type,
             c.identify_nonfinger_level);
  QUORV_LOGI("quorv_SetFakeFingerDetect(%d, %d, %d);", c.fake_mode, c.fake_second, c.fake_level);
  QUORV_LOGI("quorv_SetForeignBodyAttackSwitch(%d);", c.foreign_body);
  QUORV_LOGI("quorv_SpaEn(%d);", c.spa_filter);
  QUORV_LOGI("quorv_SetBadPixBitRef(%d);", c.bad_pix_mode);
  QUORV_LOGI("quorv_SetValidBitRef(0);");
  QUORV_LOGI("quorv_SetTemplateExtraEn(%d);", c.template_extra);
  QUORV_LOGI("quorv_SetAdjustMatchEn(%d);", c.adjust_match);
  QUORV_LOGI("// 2. enroll config.");
  QUORV_LOGI("quorv_SetSlideEnrollEn(%d);", c.slide_enroll);
  QUORV_LOGI("quorv_EnrollNonFingerDetect(%d);", c.enroll_nonfinger);
  QUORV_LOGI("quorv_EnrollNonFingerDetectNet(%d);", c.enroll_nonfinger_net);
  QUORV_LOGI("quorv_EnrollmentDuplicateCheckEn(%d);", c.duplicate_check);
  QUORV_LOGI("quorv_SetFpAlgMaxTpl(%d);", c.alg_max_tpl);
  QUORV_LOGI("quorv_SetEnrollMaxTpl(%d);", c.enroll_max_tpl);
  QUORV_LOGI("quorv_SetImageValidAreaScale(%.2f);", static_cast<double>(c.enroll_valid_area_scale));
  QUORV_LOGI("quorv_SetImageQualityScore(%d);", c.enroll_quality);
  QUORV_LOGI("quorv_SetImageValidCondScale(%d);", c.enroll_cond);
  QUORV_LOGI("quorv_SetEnrollmentTipsEn(%d);", static_cast<int>(c.tips_mode));
  QUORV_LOGI("quorv_SetEnrollmentTipsParameter(%d, %d, %d, %d);", static_cast<int>(c.tips_p1),
             static_cast<int>(c.tips_p2), c.tips_p3, c.tips_p4);
  QUORV_LOGI("// 3 identify config.");
  QUORV_LOGI("quorv_IdentifyNonFingerDetect(%d);", c.identify_nonfinger);
  QUORV_LOGI("quorv_IdentifyNonFingerDetectNet(%d);", c.identify_nonfinger_net);
  QUORV_LOGI("quorv_SetAlgFarLevel((zq_far_t)%d);", c.far_level);
  QUORV_LOGI("quorv_SetImageVerifyValidAreaScale(%.2f);",
             static_cast<double>(c.verify_valid_area_scale));
  QUORV_LOGI("quorv_SetImageVerifyQualityScore(%d);", c.verify_quality);
  QUORV_LOGI("quorv_SetImageVerifyValidCondScale(%d);", c.verify_cond);
  QUORV_LOGI("quorv_SetImageRescanCnt(%d);", c.verify_rescan_cnt);
  QUORV_LOGI("quorv_SetNormalImageRescanCnt(%d);", c.normal_rescan_cnt);
  QUORV_LOGI("quorv_SetRescanOverlapAreaThreshold(%d);", c.rescan_overlap);
  QUORV_LOGI("quorv_SetForceIdentifyEnable(%d);", c.force_identify);
  QUORV_LOGI("quorv_SetMultiAreaMatchEn(%d);", c.multi_area_match);
  QUORV_LOGI("quorv_SetMulTemplateCrossCheckEn(%d);", c.mul_template_cross_check);
  QUORV_LOGI("quorv_SetTemplateBuffEn(%d);", c.template_buff);
  QUORV_LOGI("quorv_SetNegativeTemplateBuffEn(%d);", c.negative_template_buff);
  QUORV_LOGI("quorv_SetClassifierOn(%d);", c.classifier);
  QUORV_LOGI("quorv_SetAbnormalImgDetectMode(%d);", c.abnormal_detect_mode);
  QUORV_LOGI("// 4. update config.");
  QUORV_LOGI("quorv_SetUpdateTemplateFarLevel((zq_far_t)%d);", c.update_far_level);
  QUORV_LOGI("quorv_UpdateTemplateOutsideEn(%d);", c.update_outside);
  QUORV_LOGI("quorv_SetSmallAreaImageUpdateEn(%d);", c.small_area_update);
  QUORV_LOGI("// 5. image pre-process config.");
  QUORV_LOGI("quorv_SetBinImageEnhance(%d);", c.bin_image_enhance);
  QUORV_LOGI("quorv_SetImageContrastEnhance(%d, %d, %d);", c.contrast_enhance, c.contrast_p1,
             c.contrast_p2);
  QUORV_LOGI("quorv_SetImageStretchEn(%d);", c.image_stretch);
  QUORV_LOGI("quorv_FilterEnhance(%d, %d);", c.filter_enhance, c.wet_cond);
  QUORV_LOGI("quorv_SetImproveFeatureEn(%d);", c.improve_feature);
  QUORV_LOGI("// 6. other config.");
  QUORV_LOGI("quorv_DebugInfoSwitch(%d);", c.debug_info);
  QUORV_LOGI("quorv_SetLogLevel(%d);", c.log_level);
  QUORV_LOGI("quorv_PrintFuncTime(%d);", c.func_time);
  QUORV_LOGI("quorv_SetImageSaveEn(%d);", c.image_save);
  QUORV_LOGI("quorv_SetMcuInterrupMode(%d);", c.mcu_interrupt_mode);
  QUORV_LOGI("quorv_SetMcuStateCheckMode(1);");
  QUORV_LOGI("quorv_SetTransferBytesMax(7752);");
  QUORV_LOGI("quorv_SetSlideEnrollGetImageCnt(%d);", g_slideEnrollGetImageCnt);
  QUORV_LOGI("quorv_InitStandardDeviationThr(15 * 15);");
  QUORV_LOGI("quorv_SetOneSlideEnrollMaxTpls(%d);", c.slide_max_tpls);
  QUORV_LOGI("quorv_SetSlideEnrollArealapThreshold(%d);", c.slide_arealap);
  QUORV_LOGI("quorv_SetSlideEnrollSpeedThreshold(%d);", c.slide_enroll_speed);
  QUORV_LOGI("quorv_SetSlideVerifySpeedThreshold(%d);", c.slide_verify_speed);
  QUORV_LOGI("// 7. invalid config.");
  QUORV_LOGI("quorv_SetImageNoiseFilter(%d);", c.noise_filter);
  QUORV_LOGI("quorv_SetMLOGOEnhance(%d);", c.mlogo_enhance);
  QUORV_LOGI("quorv_SetOptimizeIdentifyLevel(%d, %d, %d);", g_quorvOptimizeIdentify.level,
             g_quorvOptimizeIdentify.mean_score_thr, g_quorvOptimizeIdentify.quality_limit);
  QUORV_LOGI("quorv_SetDirtyParameter(1, 20, 20);");
  QUORV_LOGI("quorv_VerifyQuicklyEn(1);");
  QUORV_LOGI("quorv_SetImprovedLevel(15);");
  QUORV_LOGI("quorv_SetImprovedFrrEn(1);");
  QUORV_LOGI("quorv_SetUpdateTemplateAreaThreshold(15);");
  QUORV_LOGI("quorv_SetUpdateTemplateThreshold(60);");
  QUORV_LOGI("// 8. glob config and ai config.");
  QUORV_LOGI("quorv_SetRuberTestEnable(%d);", c.rubber_test);
  QUORV_LOGI("quorv_SetMemoryPoolEnable(%d);", c.memory_pool);
  QUORV_LOGI("quorv_InitFpAlg();");
  QUORV_LOGI("// 9. print config.");
  QUORV_LOGI("quorv_ShowSensorConfig();");
  QUORV_LOGI("//............end............");
}

void ShowVersions() {
  char *buf = static_cast<char *>(ZqAlloc(kVersionBufSize));
  if (buf == nullptr) return;
  memset(buf, 0, kVersionBufSize);
  quorv_GetAlgLibVersion(buf);
  QUORV_LOGI("algo_core_version                 = %s", buf);
  memset(buf, 0, kVersionBufSize);
  quorv_GetLibVersion(buf);
  QUORV_LOGI("algo_api_version                  = %s", buf);
  memset(buf, 0, kVersionBufSize);
  quorv_GetNoneFingerVersion(buf);
  QUORV_LOGI("none_finger_version               = %s", buf);
  memset(buf, 0, kVersionBufSize);
  quorv_GetTrueFalseFingerVersion(buf);
  QUORV_LOGI("fake_finger_version               = %s", buf);
  memset(buf, 0, kVersionBufSize);
  quorv_GetClassifierVersion(buf);
  QUORV_LOGI("classifier_version                = %s", buf);
  ZqFree(buf);
}

}  // namespace

extern "C" void quorv_ShowSensorConfig(void) {
  const QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  ShowRecord(*c);
  ZqShowAlgConfig();
  ShowVersions();
}
