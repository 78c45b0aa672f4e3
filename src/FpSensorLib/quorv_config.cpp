// The configuration record and its setters. Each setter keeps its value in
// the record; settings the algorithm core or the sensor access layer take
// over are handed on by those subsystems' own setters once the library's
// flows exist, so here the forward-only setters accept their value and keep
// nothing.
#include "src/FpSensorLib/quorv_config.h"

#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/quorv_base/quorv_log.h"

namespace {

QuorvConfigInfo Defaults() {
  QuorvConfigInfo c{};
  c.sensor_cols = 80;
  c.sensor_rows = 64;
  c.enroll_max_tpl = 12;
  c.alg_max_tpl = 48;
  c.enroll_quality = 30;
  c.verify_quality = 30;
  c.tips_mode = 1;
  c.tips_p1 = 40;
  c.tips_p2 = 80;
  c.tips_p4 = 10;
  c.spa_filter = 1;
  c.image_repeat = 1;
  c.verify_rescan_cnt = 2;
  c.normal_rescan_cnt = 5;
  c.rescan_overlap = 80;
  c.enroll_valid_area = 90;
  c.enroll_valid_area_scale = 0.9f;
  c.phy_area = 80;
  c.verify_valid_area = 30;
  c.verify_valid_area_scale = 0.3f;
  c.verify_small_area = 80;
  c.verify_phy_area = 50;
  c.enroll_cond = 20;
  c.verify_cond = 30;
  c.wet_cond = 50;
  c.wet_area_percent = 2;
  c.dirty_area = 75;
  c.dirty_quality = 50;
  c.dirty_cond = 40;
  c.enroll_nonfinger_level = 1;
  c.identify_nonfinger_level = 1;
  c.fake_level = 1;
  c.slide_max_tpls = 12;
  c.slide_arealap = 60;
  c.slide_enroll_speed = 60;
  c.slide_verify_speed = 60;
  c.cover_area = 0.7f;
  c.small_area_update = 1;
  c.far_level = 14;
  c.update_far_level = 15;
  c.force_identify = 1;
  c.foreign_body = 1;
  c.template_extra = 1;
  c.update_outside = 1;
  c.adjust_match = 1;
  c.log_level = 6;
  return c;
}

// The percentage a valid-area fraction stands for, truncated toward zero in
// single precision.
uint16_t Percent(float fraction) { return static_cast<uint16_t>(static_cast<int>(fraction * 100.0f)); }

}  // namespace

QuorvConfigInfo g_quorvConfigInfo = Defaults();

namespace {
QuorvConfigInfo &C() { return g_quorvConfigInfo; }
}  // namespace

extern "C" {

void quorv_config_reset(void) { g_quorvConfigInfo = Defaults(); }

void quorv_SetFpSensorColsRows(uint8_t cols, uint8_t rows) {
  C().sensor_cols = cols;
  C().sensor_rows = rows;
}
void quorv_IcInfoSwitch(uint8_t) {}
int quorv_SetImageBit(uint8_t mode) {
  C().image_bit = mode;
  return 0;
}
void quorv_SetModuleType(uint16_t type) { C().module_type = static_cast<uint8_t>(type); }
void quorv_SetAlgoMode(uint8_t mode) { C().algo_mode = mode; }
void quorv_SetNonFingerDetect(uint8_t ver, uint8_t second, uint8_t identify_level) {
  if (ver > 1) {
    QUORV_LOGW("%s...err: ver > 1, set ver = 1", __func__);
    ver = 1;
  }
  C().nonfinger_ver = ver;
  C().nonfinger_type = second;
  C().identify_nonfinger_level = identify_level;
}
void quorv_SetFakeFingerDetect(uint8_t mode, uint8_t second, uint8_t level) {
  if (mode > 2) {
    QUORV_LOGW("%s...err: mode > 1, set mode = 1", __func__);
    mode = 2;
  }
  C().fake_mode = mode;
  C().fake_second = second;
  C().fake_level = level;
}
void quorv_SetNonFingerDetectVer(uint8_t ver) {
  if (ver > 1) {
    QUORV_LOGW("%s...err: ver > 1, set ver = 1", __func__);
    ver = 1;
  }
  C().nonfinger_ver = ver;
}
void quorv_SetForeignBodyAttackSwitch(uint8_t on) { C().foreign_body = on; }
void quorv_SpaEn(uint8_t on) { C().spa_filter = on; }
void quorv_SetAdjustMatchEn(uint8_t on) { C().adjust_match = on; }
void quorv_SetSlideEnrollEn(uint8_t on) { C().slide_enroll = on; }
void quorv_SetTemplateBuffEn(uint8_t on) { C().template_buff = on; }
void quorv_SetNegativeTemplateBuffEn(uint8_t on) { C().negative_template_buff = on; }
void quorv_SetMulTemplateCrossCheckEn(uint8_t on) { C().mul_template_cross_check = on; }
void quorv_SetMultiAreaMatchEn(uint8_t on) { C().multi_area_match = on; }
void quorv_SetClassifierOn(uint8_t on) { C().classifier = on; }
void quorv_UpdateTemplateOutsideEn(uint8_t on) { C().update_outside = on; }
void quorv_SetBinImageEnhance(uint8_t on) { C().bin_image_enhance = on; }
void quorv_SetImageStretchEn(uint8_t on) { C().image_stretch = on; }
void quorv_SetBadPixBitRef(uint8_t mode) { C().bad_pix_mode = mode; }
void quorv_SetAlgFarLevel(uint8_t level) { C().far_level = level; }
void quorv_SetUpdateTemplateFarLevel(uint8_t level) { C().update_far_level = level; }
void quorv_SetFpAlgMaxTpl(uint8_t count) { C().alg_max_tpl = count; }
void quorv_SetEnrollMaxTpl(uint8_t count) { C().enroll_max_tpl = count; }
void quorv_SetImageRescanCnt(uint8_t count) { C().verify_rescan_cnt = count; }
void quorv_SetSlideEnrollGetImageCnt(uint8_t) {}
void quorv_DebugInfoSwitch(uint8_t mode) { C().debug_info = mode; }
void quorv_PrintFuncTime(uint8_t on) { C().func_time = on; }
void quorv_SetValidBitRef(uint8_t) {}
void quorv_SetUpdateTemplateThreshold(uint16_t) {}
void quorv_SetUpdateTemplateAreaThreshold(uint16_t) {}
void quorv_SetImprovedFrrEn(uint8_t) {}
void quorv_SetImprovedLevel(uint8_t) {}
int quorv_SetMcuStateCheckMode(uint8_t) { return 0; }
void quorv_InitImageAdjust(uint8_t) {}
void quorv_InitImageFilter(uint8_t) {}
void quorv_InitImageSmall(uint8_t) {}
void quorv_InitStandardDeviationThr(int32_t) {}
int quorv_SetFW4856BaseEnable(uint8_t) { return 0; }
void quorv_VerifyQuicklyEn(uint8_t on) { C().verify_quickly = on; }
void quorv_FilterEnhanceEn(uint8_t on) { C().filter_enhance = on; }
void quorv_SetEnrollmentTipsEn(uint32_t mode) { C().tips_mode = mode; }
void quorv_SetImageQualityScore(uint8_t score) { C().enroll_quality = score; }
void quorv_SetImageVerifyQualityScore(uint8_t score) { C().verify_quality = score; }
void quorv_EnrollmentDuplicateCheckEn(uint8_t on) { C().duplicate_check = on; }
int quorv_SetImageValidCondScale(uint8_t value) {
  C().enroll_cond = value;
  return 0;
}
int quorv_SetImageVerifyValidCondScale(uint8_t value) {
  C().verify_cond = value;
  return 0;
}
void quorv_SetImageWetCondThr(uint8_t value) { C().wet_cond = value; }
void quorv_EnrollNonFingerDetect(uint8_t on) { C().enroll_nonfinger = on; }
void quorv_EnrollNonFingerDetectNet(uint8_t on) { C().enroll_nonfinger_net = on; }
void quorv_IdentifyNonFingerDetect(uint8_t on) { C().identify_nonfinger = on; }
void quorv_SetImproveFeatureEn(uint8_t on) { C().improve_feature = on; }
void quorv_SetAbnormalImgDetectMode(uint8_t mode) { C().abnormal_detect_mode = mode; }
void quorv_SetForceIdentifyEnable(uint8_t on) { C().force_identify = on; }
void quorv_SetImageRepeatEn(uint8_t on) { C().image_repeat = on; }
void quorv_SetNormalImageRescanCnt(uint8_t count) { C().normal_rescan_cnt = count; }
void quorv_SetImageSaveEn(uint8_t on) { C().image_save = on; }
void quorv_SetOneSlideEnrollMaxTpls(uint8_t count) { C().slide_max_tpls = count; }
void quorv_SetSlideEnrollArealapThreshold(uint8_t value) { C().slide_arealap = value; }
void quorv_SetSlideEnrollSpeedThreshold(uint8_t value) { C().slide_enroll_speed = value; }
void quorv_SetSlideVerifySpeedThreshold(uint8_t value) { C().slide_verify_speed = value; }
void quorv_SetSmallAreaImageUpdateEn(uint8_t on) { C().small_area_update = on; }
int quorv_SetMcuInterrupMode(uint8_t mode) {
  C().mcu_interrupt_mode = mode;
  return 0;
}
void quorv_SetImageNoiseFilter(uint8_t on) { C().noise_filter = on; }
void quorv_IdentifyNonFingerDetectNet(uint8_t on) { C().identify_nonfinger_net = on ? 2 : 0; }
void quorv_SetRescanOverlapAreaThreshold(uint8_t value) {
  C().rescan_overlap = value >= 100 ? 100 : value;
}
void quorv_SetMLOGOEnhance(uint8_t on) { C().mlogo_enhance = on ? 1 : 0; }
int quorv_SetImageValidAreaScale(float fraction) {
  C().enroll_valid_area_scale = fraction;
  C().enroll_valid_area = Percent(fraction);
  return 0;
}
int quorv_SetImageVerifyValidAreaScale(float fraction) {
  C().verify_valid_area_scale = fraction;
  C().verify_valid_area = Percent(fraction);
  return 0;
}
void quorv_SetEnrollmentTipsParameter(uint32_t p1, uint32_t p2, uint8_t p3, uint8_t p4) {
  C().tips_p1 = p1;
  C().tips_p2 = p2;
  C().tips_p3 = p3;
  C().tips_p4 = p4;
}
void quorv_FilterEnhance(uint8_t on, uint8_t level) {
  C().filter_enhance = on;
  C().wet_cond = level;
}
void quorv_SetImageContrastEnhance(uint8_t on, uint8_t a, uint8_t b) {
  C().contrast_enhance = on ? 1 : 0;
  C().contrast_p1 = a;
  C().contrast_p2 = b;
}
void quorv_SetDirtyParameter(uint8_t area, uint8_t quality, uint8_t cond) {
  C().dirty_area = area;
  C().dirty_quality = quality;
  C().dirty_cond = cond;
}
void quorv_SetOptimizeIdentifyLevel(int, int, int) {}
void quorv_SetTransferBytesMax(int32_t bytes) {
  QUORV_LOGV("quorv_SetTransferBytesMax : %d", static_cast<int>(bytes));
}

}  // extern "C"
