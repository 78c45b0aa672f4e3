// The configuration dump: the exact script of a new record, the values it
// reads from the record and the library settings, and when it stays silent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;

// `name` padded with blanks to 34 columns, then "= " and the value.
std::string VersionLine(std::string name, const std::string &value) {
  name.resize(34, ' ');
  return name + "= " + value;
}

// The dump of a record holding the defaults, the SPI instance's default chip
// type 2, slide-enrol image count 0 and the optimisation defaults 0, 5, 70.
std::vector<std::string> DefaultDump() {
  std::vector<std::string> lines = {
      "//............Sensor And Algo Config............",
      "// Support Max Finger Number = 10",
      "// 1. sensor config.",
      "quorv_SensorResourceCreate();",
      "quorv_SetFpSensorColsRows(80, 64);",
      "quorv_IcInfoSwitch(2);",
      "quorv_SetImageBit(0);",
      "quorv_SetModuleType(0);",
      "quorv_SetAlgoMode(0);",
      "quorv_SetNonFingerDetect(0, 0, 1);",
      "quorv_SetFakeFingerDetect(0, 0, 1);",
      "quorv_SetForeignBodyAttackSwitch(1);",
      "quorv_SpaEn(1);",
      "quorv_SetBadPixBitRef(0);",
      "quorv_SetValidBitRef(0);",
      "quorv_SetTemplateExtraEn(1);",
      "quorv_SetAdjustMatchEn(1);",
      "// 2. enroll config.",
      "quorv_SetSlideEnrollEn(0);",
      "quorv_EnrollNonFingerDetect(0);",
      "quorv_EnrollNonFingerDetectNet(0);",
      "quorv_EnrollmentDuplicateCheckEn(0);",
      "quorv_SetFpAlgMaxTpl(48);",
      "quorv_SetEnrollMaxTpl(12);",
      "quorv_SetImageValidAreaScale(0.90);",
      "quorv_SetImageQualityScore(30);",
      "quorv_SetImageValidCondScale(20);",
      "quorv_SetEnrollmentTipsEn(1);",
      "quorv_SetEnrollmentTipsParameter(40, 80, 0, 10);",
      "// 3 identify config.",
      "quorv_IdentifyNonFingerDetect(0);",
      "quorv_IdentifyNonFingerDetectNet(0);",
      "quorv_SetAlgFarLevel((zq_far_t)14);",
      "quorv_SetImageVerifyValidAreaScale(0.30);",
      "quorv_SetImageVerifyQualityScore(30);",
      "quorv_SetImageVerifyValidCondScale(30);",
      "quorv_SetImageRescanCnt(2);",
      "quorv_SetNormalImageRescanCnt(5);",
      "quorv_SetRescanOverlapAreaThreshold(80);",
      "quorv_SetForceIdentifyEnable(1);",
      "quorv_SetMultiAreaMatchEn(0);",
      "quorv_SetMulTemplateCrossCheckEn(0);",
      "quorv_SetTemplateBuffEn(0);",
      "quorv_SetNegativeTemplateBuffEn(0);",
      "quorv_SetClassifierOn(0);",
      "quorv_SetAbnormalImgDetectMode(0);",
      "// 4. update config.",
      "quorv_SetUpdateTemplateFarLevel((zq_far_t)15);",
      "quorv_UpdateTemplateOutsideEn(1);",
      "quorv_SetSmallAreaImageUpdateEn(1);",
      "// 5. image pre-process config.",
      "quorv_SetBinImageEnhance(0);",
      "quorv_SetImageContrastEnhance(0, 0, 0);",
      "quorv_SetImageStretchEn(0);",
      "quorv_FilterEnhance(0, 50);",
      "quorv_SetImproveFeatureEn(0);",
      "// 6. other config.",
      "quorv_DebugInfoSwitch(0);",
      "quorv_SetLogLevel(6);",
      "quorv_PrintFuncTime(0);",
      "quorv_SetImageSaveEn(0);",
      "quorv_SetMcuInterrupMode(0);",
      "quorv_SetMcuStateCheckMode(1);",
      "quorv_SetTransferBytesMax(7752);",
      "quorv_SetSlideEnrollGetImageCnt(0);",
      "quorv_InitStandardDeviationThr(15 * 15);",
      "quorv_SetOneSlideEnrollMaxTpls(12);",
      "quorv_SetSlideEnrollArealapThreshold(60);",
      "quorv_SetSlideEnrollSpeedThreshold(60);",
      "quorv_SetSlideVerifySpeedThreshold(60);",
      "// 7. invalid config.",
      "quorv_SetImageNoiseFilter(0);",
      "quorv_SetMLOGOEnhance(0);",
      "quorv_SetOptimizeIdentifyLevel(0, 5, 70);",
      "quorv_SetDirtyParameter(1, 20, 20);",
      "quorv_VerifyQuicklyEn(1);",
      "quorv_SetImprovedLevel(15);",
      "quorv_SetImprovedFrrEn(1);",
      "quorv_SetUpdateTemplateAreaThreshold(15);",
      "quorv_SetUpdateTemplateThreshold(60);",
      "// 8. glob config and ai config.",
      "quorv_SetRuberTestEnable(0);",
      "quorv_SetMemoryPoolEnable(0);",
      "quorv_InitFpAlg();",
      "// 9. print config.",
      "quorv_ShowSensorConfig();",
      "//............end............",
  };
  EXPECT_EQ(lines.size(), 87u);
  lines.push_back(VersionLine("neon config", "NEON OFF"));
  lines.push_back(VersionLine("algo_core_version", "v2.2.2.5-r4830-x86_64_64bit-20230526"));
  lines.push_back(VersionLine("algo_api_version", "v1.5.7a-r4832-x86_64_64bit-20230526"));
  lines.push_back(VersionLine("none_finger_version", "v1.1.3.a-r4830-x86_64_64bit-20230526"));
  lines.push_back(VersionLine("fake_finger_version", "v1.1.2.6-r4830-x86_64_64bit-20230526"));
  lines.push_back(VersionLine("classifier_version", "v1.1.1.5-r4830-x86_64_64bit-20230526"));
  return lines;
}

class ShowSensorConfigTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    ASSERT_NE(quorv_get_spi_instance(), nullptr);
    Create();
    g_loglevel = 3;
  }
};

TEST_F(ShowSensorConfigTest, ANewRecordDumpsTheDefaultScript) {
  quorv_ShowSensorConfig();
  EXPECT_EQ(HostLog(), DefaultDump());
}

// Each row changes settings and names the dump lines (1-based) that change.
struct DumpCase {
  const char *what;
  void (*configure)();
  std::vector<std::pair<int, std::string>> changed;
};

TEST_F(ShowSensorConfigTest, LinesFollowTheSettings) {
  const DumpCase cases[] = {
      {"module type shows its low byte", [] { quorv_SetModuleType(0x0102); },
       {{8, "quorv_SetModuleType(2);"}}},
      {"valid-area fractions with two decimals",
       [] {
         quorv_SetImageValidAreaScale(0.7f);
         quorv_SetImageVerifyValidAreaScale(0.35f);
       },
       {{25, "quorv_SetImageValidAreaScale(0.70);"},
        {34, "quorv_SetImageVerifyValidAreaScale(0.35);"}}},
      // The second value is the non-finger type, the field the setter's
      // second argument writes, so the line sets back what it shows.
      {"non-finger line shows version, type and identify level",
       [] {
         quorv_SetNonFingerDetect(1, 3, 4);
         quorv_SetNoneFingerLevel(3, 7);
       },
       {{10, "quorv_SetNonFingerDetect(1, 3, 4);"}}},
      {"chip type comes from the sensor access layer", [] { quorv_IcInfoSwitch(12); },
       {{6, "quorv_IcInfoSwitch(12);"}}},
      {"settings outside the record",
       [] {
         quorv_SetSlideEnrollGetImageCnt(2);
         quorv_SetOptimizeIdentifyLevel(3, 6, 71);
       },
       {{65, "quorv_SetSlideEnrollGetImageCnt(2);"},
        {74, "quorv_SetOptimizeIdentifyLevel(3, 6, 71);"}}},
      {"constant lines stay constant",
       [] {
         quorv_SetDirtyParameter(9, 9, 9);
         quorv_SetTransferBytesMax(1014);
         quorv_InitStandardDeviationThr(7);
       },
       {{75, "quorv_SetDirtyParameter(1, 20, 20);"}}},
      {"several arguments and the log level field",
       [] {
         quorv_FilterEnhance(1, 80);
         quorv_SetImageContrastEnhance(4, 5, 6);
         quorv_SetEnrollmentTipsParameter(40, 70, 1, 9);
         quorv_InitLogLevel(3);
       },
       {{55, "quorv_FilterEnhance(1, 80);"},
        {53, "quorv_SetImageContrastEnhance(1, 5, 6);"},
        {29, "quorv_SetEnrollmentTipsParameter(40, 70, 1, 9);"},
        {59, "quorv_SetLogLevel(3);"}}},
  };
  for (const DumpCase &c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    quorv_SetSlideEnrollGetImageCnt(0);
    quorv_optimize_identify_reset();
    quorv_set_icinfo(2);
    c.configure();
    g_loglevel = 3;
    HostLog().clear();
    quorv_ShowSensorConfig();
    std::vector<std::string> want = DefaultDump();
    for (const auto &[line, text] : c.changed) want[line - 1] = text;
    EXPECT_EQ(HostLog(), want);
  }
}

TEST_F(ShowSensorConfigTest, WritesNothingOutsideModesOneAndTwoOrAboveThreshold3) {
  struct Case {
    uint8_t debuginfo;
    uint32_t loglevel;
  } cases[] = {{2, 4}, {0, 3}, {3, 0}, {2, 6}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "g_debuginfo " << int(c.debuginfo) << ", level "
                                    << c.loglevel);
    HostLog().clear();
    g_debuginfo = c.debuginfo;
    g_loglevel = c.loglevel;
    quorv_ShowSensorConfig();
    EXPECT_TRUE(HostLog().empty());
  }
}

TEST_F(ShowSensorConfigTest, WithoutARecordOnlyReportsIt) {
  quorv_SensorResourceDestroy();
  g_loglevel = 0;
  HostLog().clear();
  quorv_ShowSensorConfig();
  EXPECT_EQ(HostLog(), std::vector<std::string>{
                           "quorv_ShowSensorConfig...no config info, call "
                           "quorv_SensorResourceCreate first!"});
}

}  // namespace
