// The configuration record: its lifecycle, its defaults and the setters
// that keep a value in it. Where a setting also belongs to the algorithm core
// or the sensor access layer, the setter hands the same value on at once.
// Without a record (before create, after destroy) a record setter logs and
// does nothing else.
#include "src/FpSensorLib/quorv_config.h"

#include <initializer_list>
#include <new>
#include <utility>

#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_mcu_services.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
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

// The percentage a valid-area fraction stands for: the product in single
// precision (0.7f gives 70, where a double product gives 69), truncated.
uint16_t Percent(float fraction) {
  const float product = fraction * 100.0f;
  return static_cast<uint16_t>(static_cast<int>(product));
}

constexpr QuorvOptimizeIdentify kOptimizeDefaults = {0, 5, 70};

// Runs set(record) when the record exists.
template <typename Set>
void WithRecord(const char *func, Set set) {
  if (QuorvConfigInfo *c = quorv_config_for(func)) set(*c);
}

// The same for setters with a status: -1 without a record, else `set`'s.
template <typename Set>
int WithRecordStatus(const char *func, Set set) {
  QuorvConfigInfo *c = quorv_config_for(func);
  return c != nullptr ? set(*c) : -1;
}

// Keypoint settings of one sensor size.
struct KeypointSettings {
  uint32_t curvature;
  float contrast;
  uint16_t keypoints;
  bool log_size;
};

bool OneOf(uint32_t v, std::initializer_list<uint32_t> set) {
  for (uint32_t x : set) {
    if (x == v) return true;
  }
  return false;
}

bool SizeIn(uint32_t cols, uint32_t rows, std::initializer_list<std::pair<uint32_t, uint32_t>> sizes) {
  for (const auto &s : sizes) {
    if (s.first == cols && s.second == rows) return true;
  }
  return false;
}

KeypointSettings KeypointsFor(uint32_t cols, uint32_t rows) {
  if (cols == 96 && rows == 96) return {10, 0.08f, 160, false};
  if (SizeIn(cols, rows, {{64, 80}, {80, 64}, {64, 64}, {64, 128}, {128, 64}, {80, 128}, {128, 80},
                          {88, 88}})) {
    return {15, 0.02f, 160, false};
  }
  if (cols == 56 && rows == 56) return {20, 0.02f, 160, false};
  if (SizeIn(cols, rows, {{52, 52}, {50, 50}})) return {20, 0.01f, 160, false};
  const std::initializer_list<uint32_t> square_sides = {36, 40, 48, 112, 120, 128};
  if (OneOf(cols, square_sides) && OneOf(rows, square_sides)) return {10, 0.01f, 160, true};
  if (SizeIn(cols, rows, {{80, 120}, {120, 80}, {80, 134}, {134, 80}})) {
    return {15, 0.02f, 200, false};
  }
  return {15, 0.04f, 200, false};
}

// A net version above 1 is logged and replaced by 1.
uint8_t NonFingerVer(const char *func, uint8_t ver) {
  if (ver > 1) {
    QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...err: ver > 1, set ver = 1", func);
    return 1;
  }
  return ver;
}

// A fake-finger mode above 2 is logged and replaced by 2. The message keeps
// the text the library has always written, although the mode becomes 2.
uint8_t FakeMode(const char *func, uint8_t mode) {
  if (mode > 2) {
    QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...err: mode > 1, set mode = 1", func);
    return 2;
  }
  return mode;
}

}  // namespace

extern "C" {

QuorvConfigInfo *g_pQuorvConfigInfo = nullptr;
uint8_t g_slideEnrollGetImageCnt = 0;
QuorvOptimizeIdentify g_quorvOptimizeIdentify = kOptimizeDefaults;

int quorv_config_create(void) {
  quorv_config_destroy();
  void *block = ZqAlloc(static_cast<int>(sizeof(QuorvConfigInfo)));
  if (block == nullptr) {
    QUORV_LOGE("%s...malloc config info FAIL!", __func__);
    return -1;
  }
  g_pQuorvConfigInfo = new (block) QuorvConfigInfo(Defaults());
  return 0;
}

void quorv_config_destroy(void) {
  ZqFree(g_pQuorvConfigInfo);
  g_pQuorvConfigInfo = nullptr;
}

QuorvConfigInfo *quorv_config_for(const char *func) {
  if (g_pQuorvConfigInfo == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...no config info, call quorv_SensorResourceCreate first!", func);
  }
  return g_pQuorvConfigInfo;
}

void quorv_optimize_identify_reset(void) { g_quorvOptimizeIdentify = kOptimizeDefaults; }

void quorv_ConfigResetForTest(void) {
  quorv_config_destroy();
  g_slideEnrollGetImageCnt = 0;
  quorv_optimize_identify_reset();
}

// --- Sensor size -------------------------------------------------------------

void quorv_SetFpSensorColsRows(uint8_t cols, uint8_t rows) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  ZqSetSensorColRow(cols, rows);
  c->sensor_cols = cols;
  c->sensor_rows = rows;
  quorv_SetimageColsRows(cols, rows);
  SetFpSensorColsRows(cols, rows);
  const KeypointSettings k = KeypointsFor(cols, rows);
  if (k.log_size) QUORV_LOGI("Image size: %d x %d\n", cols, rows);
  ZqAlgInfoSet(k.curvature, k.contrast);
  ZqMaxFeatNumSet(k.keypoints);
}

// --- Stored and handed on ------------------------------------------------------

void quorv_SetModuleType(uint16_t type) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    ZqSetModuleType(type);
    c.module_type = static_cast<uint8_t>(type);
  });
}
void quorv_SetAlgoMode(uint8_t mode) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.algo_mode = mode;
    ZqSetAlgoMode(mode);
  });
}
void quorv_SetEnrollMaxTpl(uint8_t count) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.enroll_max_tpl = count;
    ZqSetFpEnrollMaxTplCnt(count);
  });
}
void quorv_SetFpAlgMaxTpl(uint8_t count) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.alg_max_tpl = count;
    ZqSetAlgMaxTplCnt(count);
  });
}
void quorv_SpaEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.spa_filter = on;
    ZqSpaFilterEn(on);
  });
}
void quorv_SetImageRescanCnt(uint8_t count) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.verify_rescan_cnt = count;
    quorv_set_verify_rescan_cont(count);
  });
}
int quorv_SetImageBit(uint8_t mode) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return -1;
  QUORV_LOGV("quorv_SetImageBit: %d", mode);
  c->image_bit = mode;
  return SetImageBit(mode);
}

void quorv_SetNonFingerDetectVer(uint8_t ver) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  c->nonfinger_ver = NonFingerVer(__func__, ver);
  ZqSetNoneFingerNetModule(c->nonfinger_ver);
}
// The second argument is the non-finger type, the field the dump prints
// second on this setter's line.
void quorv_SetNonFingerDetect(uint8_t ver, uint8_t type, uint8_t identify_level) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  c->nonfinger_ver = NonFingerVer(__func__, ver);
  ZqSetNoneFingerNetModule(c->nonfinger_ver);
  c->nonfinger_type = type;
  c->identify_nonfinger_level = identify_level;
}
void quorv_SetNoneFingerLevel(uint8_t type, uint8_t level) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.nonfinger_type = type;
    c.enroll_nonfinger_level = level;
    ZqSetNoneFingerLevel(type, level);
  });
}

void quorv_SetTrueFalseFingerDetect(uint8_t mode) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  c->fake_mode = FakeMode(__func__, mode);
  ZqSetTrueFalseFingerNetModule(c->fake_mode);
}
void quorv_SetFakeFingerDetect(uint8_t mode, uint8_t second, uint8_t level) {
  QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  c->fake_mode = FakeMode(__func__, mode);
  ZqSetTrueFalseFingerNetModule(c->fake_mode);
  c->fake_second = second;
  c->fake_level = level;
}
void quorv_SetSlideEnrollEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.slide_enroll = on;
    quorv_set_slide_enroll_enable(on);
  });
}
void quorv_SetSlideIdentifyEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.slide_identify = on;
    quorv_set_slide_identify_enable(on);
  });
}
void quorv_SetAlgFarLevel(uint8_t level) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.far_level = level;
    ZqSetAlgFarLevel(level);
  });
}
void quorv_SetUpdateTemplateFarLevel(uint8_t level) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.update_far_level = level;
    ZqSetUpdateTemplateFarLevel(level);
  });
}
void quorv_SetBadPixBitRef(uint8_t mode) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.bad_pix_mode = mode;
    ZqBadPixBitRefSet(mode);
    ZqAlgBadPixBitRefSet(mode);
  });
}
void quorv_SetForeignBodyAttackSwitch(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.foreign_body = on;
    ZqSetForeignBodyTest(on);
  });
}
void quorv_SetMultiAreaMatchEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.multi_area_match = on;
    ZqSetMultiAreaMathEn(on);
  });
}
void quorv_SetTemplateBuffEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.template_buff = on;
    ZqSetTemplateBuffEn(on);
  });
}
void quorv_SetTemplateExtraEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.template_extra = on;
    ZqSetTemplateExtraEn(on);
  });
}
void quorv_UpdateTemplateOutsideEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.update_outside = on;
    ZqUpdateTemplateOutsideEn(on);
  });
}
void quorv_SetImageStretchEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.image_stretch = on;
    ZqSetImageStretch(on);
  });
}
void quorv_SetBinImageEnhance(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.bin_image_enhance = on;
    ZqSetBinImageEnhance(on);
  });
}
void quorv_SetClassifierOn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.classifier = on;
    ZqSetClassifierOn(on);
  });
}
void quorv_SetNegativeTemplateBuffEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.negative_template_buff = on;
    ZqSetNegativeTemplateBuffEn(on);
  });
}
void quorv_SetMulTemplateCrossCheckEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.mul_template_cross_check = on;
    ZqSetMulTemplateCrossCheckEn(on);
  });
}
void quorv_SetAdjustMatchEn(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.adjust_match = on;
    ZqSetAdjustMatchEn(on);
  });
}
void quorv_DebugInfoSwitch(uint8_t mode) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.debug_info = mode;
    InitFuncDebugEnable(mode);
  });
}
void quorv_InitLogLevel(uint8_t level) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.log_level = level;
    InitLogLevel(level);
  });
}
void quorv_PrintFuncTime(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.func_time = on;
    InitPrintFuncTime(on);
  });
}
void quorv_SetMemoryPoolEnable(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.memory_pool = on;
    ZqSetMemoryPoolEnable(on);
  });
}

// --- Stored only ----------------------------------------------------------------

#define QUORV_STORE_SETTER(name, type, field)                               \
  void name(type value) {                                                   \
    WithRecord(__func__, [&](QuorvConfigInfo &c) { c.field = value; });     \
  }
#define QUORV_STORE_STATUS_SETTER(name, type, field)                        \
  int name(type value) {                                                    \
    return WithRecordStatus(__func__, [&](QuorvConfigInfo &c) {             \
      c.field = value;                                                      \
      return 0;                                                             \
    });                                                                     \
  }

QUORV_STORE_SETTER(quorv_SetImageQualityScore, uint8_t, enroll_quality)
QUORV_STORE_SETTER(quorv_SetImageVerifyQualityScore, uint8_t, verify_quality)
QUORV_STORE_SETTER(quorv_SetEnrollmentTipsEn, uint32_t, tips_mode)
QUORV_STORE_SETTER(quorv_EnrollmentDuplicateCheckEn, uint8_t, duplicate_check)
QUORV_STORE_SETTER(quorv_VerifyQuicklyEn, uint8_t, verify_quickly)
QUORV_STORE_SETTER(quorv_FilterEnhanceEn, uint8_t, filter_enhance)
QUORV_STORE_SETTER(quorv_SetImageRepeatEn, uint8_t, image_repeat)
QUORV_STORE_SETTER(quorv_SetNormalImageRescanCnt, uint8_t, normal_rescan_cnt)
QUORV_STORE_STATUS_SETTER(quorv_SetImagePhyAreaScale, uint16_t, phy_area)
QUORV_STORE_STATUS_SETTER(quorv_SetImageVerifySmallAreaScale, uint16_t, verify_small_area)
QUORV_STORE_STATUS_SETTER(quorv_SetImageVerifyPhyAreaScale, uint16_t, verify_phy_area)
QUORV_STORE_STATUS_SETTER(quorv_SetImageValidCondScale, uint8_t, enroll_cond)
QUORV_STORE_STATUS_SETTER(quorv_SetImageVerifyValidCondScale, uint8_t, verify_cond)
QUORV_STORE_SETTER(quorv_SetImageWetCondThr, uint8_t, wet_cond)
QUORV_STORE_STATUS_SETTER(quorv_SetImageWetPrenctScale, uint32_t, wet_area_percent)
QUORV_STORE_STATUS_SETTER(quorv_SetMcuInterrupMode, uint8_t, mcu_interrupt_mode)
QUORV_STORE_SETTER(quorv_EnrollNonFingerDetect, uint8_t, enroll_nonfinger)
QUORV_STORE_SETTER(quorv_IdentifyNonFingerDetect, uint8_t, identify_nonfinger)
QUORV_STORE_SETTER(quorv_EnrollNonFingerDetectNet, uint8_t, enroll_nonfinger_net)
QUORV_STORE_SETTER(quorv_SetImageSaveEn, uint8_t, image_save)
QUORV_STORE_SETTER(quorv_SetOneSlideEnrollMaxTpls, uint8_t, slide_max_tpls)
QUORV_STORE_SETTER(quorv_SetSlideEnrollArealapThreshold, uint8_t, slide_arealap)
QUORV_STORE_SETTER(quorv_SetSlideEnrollSpeedThreshold, uint8_t, slide_enroll_speed)
QUORV_STORE_SETTER(quorv_SetSlideVerifySpeedThreshold, uint8_t, slide_verify_speed)
QUORV_STORE_SETTER(quorv_SetImageCoverAreaThreshold, float, cover_area)
QUORV_STORE_SETTER(quorv_SetFastSlideNeedEnroll, uint8_t, fast_slide_enroll)
QUORV_STORE_SETTER(quorv_SetSmallAreaImageUpdateEn, uint8_t, small_area_update)
QUORV_STORE_SETTER(quorv_SetImageNoiseFilter, uint8_t, noise_filter)
QUORV_STORE_SETTER(quorv_SetForceEnrollCnt, uint8_t, force_enroll_cnt)
QUORV_STORE_SETTER(quorv_SetForceIdentifyEnable, uint8_t, force_identify)
QUORV_STORE_SETTER(quorv_SetImproveFeatureEn, uint8_t, improve_feature)
QUORV_STORE_SETTER(quorv_SetAbnormalImgDetectMode, uint8_t, abnormal_detect_mode)
QUORV_STORE_SETTER(quorv_SetRuberTestEnable, uint8_t, rubber_test)

#undef QUORV_STORE_SETTER
#undef QUORV_STORE_STATUS_SETTER

// --- Stored with a clamp or a normalisation --------------------------------------

void quorv_SetRescanOverlapAreaThreshold(uint8_t value) {
  WithRecord(__func__,
             [&](QuorvConfigInfo &c) { c.rescan_overlap = value >= 100 ? 100 : value; });
}
void quorv_IdentifyNonFingerDetectNet(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) { c.identify_nonfinger_net = on != 0 ? 2 : 0; });
}
void quorv_SetMLOGOEnhance(uint8_t on) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) { c.mlogo_enhance = on != 0 ? 1 : 0; });
}
int quorv_SetImageValidAreaScale(float fraction) {
  return WithRecordStatus(__func__, [&](QuorvConfigInfo &c) {
    c.enroll_valid_area_scale = fraction;
    c.enroll_valid_area = Percent(fraction);
    return 0;
  });
}
int quorv_SetImageVerifyValidAreaScale(float fraction) {
  return WithRecordStatus(__func__, [&](QuorvConfigInfo &c) {
    c.verify_valid_area_scale = fraction;
    c.verify_valid_area = Percent(fraction);
    return 0;
  });
}

// --- Several fields ------------------------------------------------------------

void quorv_SetEnrollmentTipsParameter(uint32_t p1, uint32_t p2, uint8_t p3, uint8_t p4) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.tips_p1 = p1;
    c.tips_p2 = p2;
    c.tips_p3 = p3;
    c.tips_p4 = p4;
  });
}
void quorv_FilterEnhance(uint8_t on, uint8_t threshold) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.filter_enhance = on;
    c.wet_cond = threshold;
  });
}
void quorv_SetImageContrastEnhance(uint8_t on, uint8_t a, uint8_t b) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.contrast_enhance = on != 0 ? 1 : 0;
    c.contrast_p1 = a;
    c.contrast_p2 = b;
  });
}
void quorv_SetDirtyParameter(uint8_t area, uint8_t quality, uint8_t cond) {
  WithRecord(__func__, [&](QuorvConfigInfo &c) {
    c.dirty_area = area;
    c.dirty_quality = quality;
    c.dirty_cond = cond;
  });
}

// --- Library settings outside the record --------------------------------------

void quorv_SetSlideEnrollGetImageCnt(uint8_t count) {
  g_slideEnrollGetImageCnt = count;
  quorv_set_slide_enroll_cont(count);
}
void quorv_SetOptimizeIdentifyLevel(int level, int mean_score_thr, int quality_limit) {
  g_quorvOptimizeIdentify.level = static_cast<uint8_t>(level);
  g_quorvOptimizeIdentify.mean_score_thr = static_cast<uint8_t>(mean_score_thr);
  g_quorvOptimizeIdentify.quality_limit = static_cast<uint8_t>(quality_limit);
}

}  // extern "C"
