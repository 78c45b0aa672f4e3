// The configuration record and its setters: defaults, clamps, what reaches
// the algorithm core and the sensor access layer, the per-size keypoint
// settings, setters without a record, and the getters.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/fake_chip.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/features/ZqAlgMode.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;

class ConfigTest : public SensorLibTest {
 protected:
  const QuorvConfigInfo &C() const { return *g_pQuorvConfigInfo; }
};

TEST_F(ConfigTest, CreateBuildsTheDefaultsAndHandsNothingOn) {
  Create();
  const QuorvConfigInfo &c = C();
  EXPECT_EQ(c.sensor_cols, 80u);
  EXPECT_EQ(c.sensor_rows, 64u);
  EXPECT_EQ(c.enroll_max_tpl, 12);
  EXPECT_EQ(c.alg_max_tpl, 48);
  EXPECT_EQ(c.enroll_quality, 30);
  EXPECT_EQ(c.verify_quality, 30);
  EXPECT_EQ(c.tips_p2, 80u);
  EXPECT_EQ(c.enroll_valid_area, 90);
  EXPECT_FLOAT_EQ(c.enroll_valid_area_scale, 0.9f);
  EXPECT_EQ(c.verify_valid_area, 30);
  EXPECT_EQ(c.verify_phy_area, 50);
  EXPECT_EQ(c.wet_area_percent, 2u);
  EXPECT_EQ(c.dirty_area, 75);
  EXPECT_EQ(c.enroll_nonfinger_level, 1);
  EXPECT_FLOAT_EQ(c.cover_area, 0.7f);
  EXPECT_EQ(c.far_level, 14);
  EXPECT_EQ(c.update_far_level, 15);
  EXPECT_EQ(c.adjust_match, 1);
  EXPECT_EQ(c.log_level, 6);
  EXPECT_EQ(c.rubber_test, 0);
  // The record's defaults stay in the record: the core keeps its own.
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 15);
  EXPECT_EQ(gSensorInfor.cols, 96);
  EXPECT_EQ(g_loglevel, 0u);
}

TEST_F(ConfigTest, RecreateFreesTheOldRecordAndStartsAgain) {
  Create();
  quorv_SetAlgFarLevel(3);
  quorv_SetImageQualityScore(77);
  Create();
  EXPECT_EQ(C().far_level, 14);
  EXPECT_EQ(C().enroll_quality, 30);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(g_pQuorvConfigInfo, nullptr);
  quorv_SensorResourceDestroy();  // repeatable
}

// One setter call and what it must leave behind.
struct SetterCase {
  const char *what;
  void (*call)();
  void (*check)(const QuorvConfigInfo &c);
  const char *warning;  // message the call must log, or nullptr
};

TEST_F(ConfigTest, ClampsAndHandOns) {
  ASSERT_NE(quorv_get_slide_enroll_instance(), nullptr);
  const SetterCase cases[] = {
      {"overlap 150 is capped", [] { quorv_SetRescanOverlapAreaThreshold(150); },
       [](const QuorvConfigInfo &c) { EXPECT_EQ(c.rescan_overlap, 100); }, nullptr},
      {"overlap 99 is kept", [] { quorv_SetRescanOverlapAreaThreshold(99); },
       [](const QuorvConfigInfo &c) { EXPECT_EQ(c.rescan_overlap, 99); }, nullptr},
      {"net version 3 becomes 1 in record and core", [] { quorv_SetNonFingerDetectVer(3); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.nonfinger_ver, 1);
         EXPECT_EQ(gSensorInfor.noneFingerNetModule, 1);
       },
       "quorv_SetNonFingerDetectVer...err: ver > 1, set ver = 1"},
      {"three-argument non-finger setter", [] { quorv_SetNonFingerDetect(2, 3, 4); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.nonfinger_ver, 1);
         EXPECT_EQ(gSensorInfor.noneFingerNetModule, 1);
         EXPECT_EQ(c.nonfinger_type, 3);
         EXPECT_EQ(c.identify_nonfinger_level, 4);
         EXPECT_EQ(c.enroll_nonfinger_level, 1) << "the enrol level is not this setter's";
       },
       "quorv_SetNonFingerDetect...err: ver > 1, set ver = 1"},
      // The warning's text says 1 although the stored mode is 2.
      {"fake mode 5 becomes 2", [] { quorv_SetFakeFingerDetect(5, 6, 7); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.fake_mode, 2);
         EXPECT_EQ(gSensorInfor.trueFalseFingerNetModule, 2);
         EXPECT_EQ(c.fake_second, 6);
         EXPECT_EQ(c.fake_level, 7);
       },
       "quorv_SetFakeFingerDetect...err: mode > 1, set mode = 1"},
      {"one-argument fake mode", [] { quorv_SetTrueFalseFingerDetect(9); },
       [](const QuorvConfigInfo &c) { EXPECT_EQ(c.fake_mode, 2); },
       "quorv_SetTrueFalseFingerDetect...err: mode > 1, set mode = 1"},
      {"fake mode 2 is kept without a warning", [] { quorv_SetFakeFingerDetect(2, 0, 1); },
       [](const QuorvConfigInfo &c) { EXPECT_EQ(c.fake_mode, 2); }, nullptr},
      {"identify net 7 becomes 2", [] { quorv_IdentifyNonFingerDetectNet(7); },
       [](const QuorvConfigInfo &c) { EXPECT_EQ(c.identify_nonfinger_net, 2); }, nullptr},
      {"MLOGO 9 becomes 1, contrast 5 becomes 1",
       [] {
         quorv_SetMLOGOEnhance(9);
         quorv_SetImageContrastEnhance(5, 6, 7);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.mlogo_enhance, 1);
         EXPECT_EQ(c.contrast_enhance, 1);
         EXPECT_EQ(c.contrast_p1, 6);
         EXPECT_EQ(c.contrast_p2, 7);
       },
       nullptr},
      {"module type: all 16 bits to the core, the low byte kept",
       [] { quorv_SetModuleType(0x0102); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.module_type, 2);
         EXPECT_EQ(gModuleType, 0x0102);
       },
       nullptr},
      {"valid-area fractions in single precision",
       [] {
         quorv_SetImageValidAreaScale(0.7f);
         quorv_SetImageVerifyValidAreaScale(0.9f);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.enroll_valid_area, 70) << "a double product would give 69";
         EXPECT_FLOAT_EQ(c.enroll_valid_area_scale, 0.7f);
         EXPECT_EQ(c.verify_valid_area, 90);
       },
       nullptr},
      {"record keeps the argument, the core applies its own range",
       [] { quorv_SetAlgoMode(7); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.algo_mode, 7);
         EXPECT_EQ(gSensorInfor.algoMode, 1);
       },
       nullptr},
      {"far levels and template counts reach the core",
       [] {
         quorv_SetAlgFarLevel(20);
         quorv_SetUpdateTemplateFarLevel(21);
         quorv_SetEnrollMaxTpl(40);
         quorv_SetFpAlgMaxTpl(90);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.far_level, 20);
         EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 20);
         EXPECT_EQ(c.update_far_level, 21);
         EXPECT_EQ(gSensorInfor.updateFarLevel, 21);
         EXPECT_EQ(gSensorInfor.enrollMaxTplCount, 40u);
         EXPECT_EQ(gSensorInfor.algMaxTplCount, 90u);
       },
       nullptr},
      {"switches reach the core",
       [] {
         quorv_SpaEn(0);
         quorv_SetForeignBodyAttackSwitch(0);
         quorv_SetBadPixBitRef(1);
         quorv_SetTemplateExtraEn(0);
         quorv_SetAdjustMatchEn(0);
         quorv_SetClassifierOn(1);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(gSensorInfor.spaFilterEn, 0);
         EXPECT_EQ(gSensorInfor.foreignBodyTest, 0);
         EXPECT_EQ(gSensorInfor.algBadPixBitRef, 1);
         EXPECT_EQ(c.bad_pix_mode, 1);
         EXPECT_EQ(gSensorInfor.templateExtraEn, 0);
         EXPECT_EQ(gSensorInfor.adjustMatchEn, 0);
         EXPECT_EQ(gSensorInfor.classifierOn, 1);
       },
       nullptr},
      {"non-finger level: type and threshold to the quality settings",
       [] { quorv_SetNoneFingerLevel(1, 3); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.nonfinger_type, 1);
         EXPECT_EQ(c.enroll_nonfinger_level, 3);
         EXPECT_EQ(gNoneFingerType, 1);
         EXPECT_FLOAT_EQ(gNoneFingerThr, 0.4f);
       },
       nullptr},
      {"logging settings become the library's",
       [] {
         quorv_PrintFuncTime(1);
         quorv_InitLogLevel(2);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(g_functimes, 1);
         EXPECT_EQ(c.log_level, 2);
         EXPECT_EQ(g_loglevel, 2u);
       },
       nullptr},
      {"rescan count and slide switches reach the slide instance",
       [] {
         quorv_SetImageRescanCnt(3);
         quorv_SetSlideEnrollEn(1);
         quorv_SetSlideIdentifyEn(1);
       },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.verify_rescan_cnt, 3);
         EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle()->verify_rescan_cont, 3);
         EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle()->slide_enroll_enable, 1);
         EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle()->slide_identify_enable, 1);
       },
       nullptr},
      {"filter enhance writes the switch and the wet threshold", [] { quorv_FilterEnhance(1, 80); },
       [](const QuorvConfigInfo &c) {
         EXPECT_EQ(c.filter_enhance, 1);
         EXPECT_EQ(c.wet_cond, 80);
       },
       nullptr},
  };
  for (const SetterCase &c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    ZqAlgSettingsResetForTest();
    g_loglevel = 0;
    c.call();
    c.check(C());
    if (c.warning != nullptr) {
      EXPECT_EQ(HostLog(), std::vector<std::string>{c.warning});
    } else {
      EXPECT_TRUE(HostLog().empty()) << HostLog().front();
    }
  }
}

TEST_F(ConfigTest, HandOnOnlySettersWorkWithoutARecord) {
  ASSERT_NE(quorv_get_spi_instance(), nullptr);
  ASSERT_NE(quorv_get_slide_enroll_instance(), nullptr);
  ASSERT_NE(quorv_CreateSensorInstance(), nullptr);
  quorv_IcInfoSwitch(12);
  EXPECT_EQ(quorv_get_icinfo(), 12);
  EXPECT_EQ(ZqSensorTypeGet(), 12);
  EXPECT_EQ(gSensorName, 12);
  quorv_SetTransferBytesMax(7752);
  EXPECT_EQ(quorv_get_ZqSpiObjHandle()->TransferBytesMax, 7752);
  quorv_InitImageFilter(1);
  EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imageFilterEn, 1);
  EXPECT_EQ(quorv_GetSensorInstanceHandle()->imageFilter, 1);
  quorv_InitStandardDeviationThr(15 * 15 + 1);
  EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle()->StandardDeviation_thr, 226);
  quorv_SetSlideEnrollGetImageCnt(7);
  EXPECT_EQ(g_slideEnrollGetImageCnt, 7);
  EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle()->slide_enroll_cont, 7);
  quorv_SetUpdateTemplateThreshold(60);
  EXPECT_EQ(gSensorInfor.updateTemplateThreshold, 60);
  quorv_SetMaxFeatNum(120);
  EXPECT_EQ(gSensorInfor.maxFeatNum, 120);
  EXPECT_EQ(quorv_SetFW4856BaseEnable(1), 0);
  EXPECT_EQ(quorv_get_FW4856BaseEnable(), 1);
}

TEST_F(ConfigTest, RecordSettersWithoutARecordLogAndDoNothing) {
  quorv_SetAlgFarLevel(20);
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 15) << "nothing handed on either";
  quorv_SetFpSensorColsRows(128, 128);
  EXPECT_EQ(gSensorInfor.cols, 96);
  EXPECT_EQ(quorv_SetImageValidAreaScale(0.7f), -1);
  EXPECT_EQ(quorv_SetImageBit(1), -1);
  EXPECT_EQ(HostLog(),
            (std::vector<std::string>{
                "quorv_SetAlgFarLevel...no config info, call quorv_SensorResourceCreate first!",
                "quorv_SetFpSensorColsRows...no config info, call quorv_SensorResourceCreate first!",
                "quorv_SetImageValidAreaScale...no config info, call quorv_SensorResourceCreate "
                "first!",
                "quorv_SetImageBit...no config info, call quorv_SensorResourceCreate first!"}));
  Create();
  quorv_SensorResourceDestroy();
  HostLog().clear();
  quorv_SetRescanOverlapAreaThreshold(1);  // after destroy: no write through a stale record
  EXPECT_EQ(HostLog().size(), 1u);
}

// Keypoint settings chosen for a size: contrast threshold, curvature
// threshold the core ends with (it keeps 25 when offered 10) and cap.
struct SizeCase {
  uint8_t cols, rows;
  float contrast;
  int curvature;
  uint16_t keypoints;
  bool size_line;
};

TEST_F(ConfigTest, SensorSizeSelectsTheKeypointSettings) {
  ASSERT_NE(quorv_get_spi_instance(), nullptr);
  ASSERT_NE(quorv_CreateSensorInstance(), nullptr);
  const SizeCase cases[] = {
      {80, 128, 0.02f, 15, 160, false}, {128, 128, 0.01f, 25, 160, true},
      {100, 100, 0.04f, 15, 200, false}, {64, 128, 0.02f, 15, 160, false},
      {96, 96, 0.08f, 25, 160, false},   {56, 56, 0.02f, 20, 160, false},
      {50, 50, 0.01f, 20, 160, false},   {36, 120, 0.01f, 25, 160, true},
      {134, 80, 0.02f, 15, 200, false},  {88, 88, 0.02f, 15, 160, false},
      {96, 64, 0.04f, 15, 200, false},
  };
  Create();
  for (const SizeCase &c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.cols) << " x " << int(c.rows));
    ZqAlgInfoSet(25, 0.1f);
    HostLog().clear();
    g_loglevel = 3;
    quorv_SetFpSensorColsRows(c.cols, c.rows);
    EXPECT_EQ(C().sensor_cols, c.cols);
    EXPECT_EQ(C().sensor_rows, c.rows);
    EXPECT_EQ(gSensorInfor.cols, c.cols);
    EXPECT_EQ(gSensorInfor.rows, c.rows);
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imagewidth, c.cols);
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imageheight, c.rows);
    EXPECT_EQ(quorv_GetSensorInstanceHandle()->cols, c.cols);
    ST_AlgInfor alg{};
    ZqGetAlgInfo(&alg);
    EXPECT_FLOAT_EQ(alg.contrThr, c.contrast);
    EXPECT_EQ(alg.curvThr, c.curvature);
    EXPECT_EQ(gSensorInfor.maxFeatNum, c.keypoints);
    std::vector<std::string> want;
    if (c.size_line) {
      want.push_back("Image size: " + std::to_string(c.cols) + " x " + std::to_string(c.rows) +
                     "\n");
    }
    EXPECT_EQ(HostLog(), want);
  }
}

TEST_F(ConfigTest, ImageBitKeepsTheModeWhenTheMcuIsBusy) {
  testing_support::FakeChip chip(2);
  Create();
  EXPECT_EQ(quorv_SetImageBit(1), 0);
  EXPECT_EQ(C().image_bit, 1);
  EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imagebit, 1u);
  chip.mcu_ready = [](int) { return false; };
  EXPECT_EQ(quorv_SetImageBit(0), -1);
  EXPECT_EQ(C().image_bit, 0) << "stored although the MCU refused";
  EXPECT_EQ(quorv_SetMcuStateCheckMode(1), -1);
  EXPECT_EQ(quorv_GetImageBitStatus(), -1);
}

TEST_F(ConfigTest, NetworkParametersReachTheClassifiers) {
  static const float weights[2] = {0.5f, 0.25f};
  static const int16_t layers[12] = {};
  ST_QuorvNetParam param{};
  strcpy(param.version, "nf-v3");
  param.net_len = sizeof(NetFunctionSt);
  param.net = NetFunctionSt{3, 2, 12, weights, layers};
  struct Case {
    const char *what;
    int (*set)(const ST_QuorvNetParam *);
    const char *name;
  } cases[] = {{"no-finger", quorv_SetNoneFingerNetParam, "quorv_SetNoneFingerNetParam"},
               {"fake-finger", quorv_SetFakeFingerNetParam, "quorv_SetFakeFingerNetParam"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    HostLog().clear();
    EXPECT_EQ(c.set(nullptr), -1);
    EXPECT_EQ(HostLog(), std::vector<std::string>{std::string(c.name) +
                                                   "...err: pNet = null, ret = -1"});
    HostLog().clear();
    param.net_len = sizeof(NetFunctionSt) - 1;
    EXPECT_EQ(c.set(&param), -2);
    param.net_len = sizeof(NetFunctionSt);
    EXPECT_EQ(c.set(&param), 0);
    EXPECT_EQ(HostLog().back(), std::string(c.name) + "...net version = nf-v3");
    // A version text that fills its field is not read past the field.
    memset(param.version, 'x', sizeof(param.version));
    EXPECT_EQ(c.set(&param), 0);
    EXPECT_EQ(HostLog().back(), std::string(c.name) + "...net version = " + std::string(84, 'x'));
    strcpy(param.version, "nf-v3");
  }
}

TEST_F(ConfigTest, VersionTextsAndLibraryType) {
  struct Case {
    void (*get)(char *);
    const char *text;
  } cases[] = {{quorv_GetLibVersion, "v1.5.7a-r4832-x86_64_64bit-20230526"},
               {quorv_GetZQLibVersion, "Quorv ALG fp_vantor v2.2.2.5 Alpha"},
               {quorv_GetAlgLibVersion, "v2.2.2.5-r4830-x86_64_64bit-20230526"},
               {quorv_GetClassifierVersion, "v1.1.1.5-r4830-x86_64_64bit-20230526"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    char buf[64];
    memset(buf, 0x5a, sizeof(buf));
    c.get(buf);
    const size_t n = strlen(c.text);
    EXPECT_EQ(std::string(buf), c.text);
    EXPECT_EQ(buf[n], '\0');
    EXPECT_EQ(buf[n + 1], 0x5a) << "nothing written past the NUL";
    c.get(nullptr);
  }
  EXPECT_EQ(quorv_GetLibType(), -96);
}

}  // namespace
