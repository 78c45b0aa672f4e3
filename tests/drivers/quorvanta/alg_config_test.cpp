// The sensor library configuration, checked call by call on the recording
// stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/quorvanta/bq_config.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/zq_sensor.h"
#include "support/sensorlib_standin.h"

namespace {

namespace standin = sensorlib_standin;
using Trace = std::vector<std::string>;

const Trace kFw4843Set = {
    "quorv_SetFpSensorColsRows(80, 128)",
    "quorv_IcInfoSwitch(12)",
    "quorv_SetImageBit(2)",
    "quorv_SetModuleType(0)",
    "quorv_SetAlgoMode(2)",
    "quorv_SetNonFingerDetect(1, 0, 1)",
    "quorv_SetFakeFingerDetect(0, 0, 1)",
    "quorv_SetForeignBodyAttackSwitch(1)",
    "quorv_SpaEn(1)",
    "quorv_SetBadPixBitRef(0)",
    "quorv_SetValidBitRef(0)",
    "quorv_SetAdjustMatchEn(1)",
    "quorv_SetSlideEnrollEn(0)",
    "quorv_EnrollNonFingerDetect(1)",
    "quorv_EnrollNonFingerDetectNet(0)",
    "quorv_EnrollmentDuplicateCheckEn(1)",
    "quorv_SetFpAlgMaxTpl(96)",
    "quorv_SetEnrollMaxTpl(48)",
    "quorv_SetImageValidAreaScale(0.7)",
    "quorv_SetImageQualityScore(50)",
    "quorv_SetImageValidCondScale(30)",
    "quorv_SetEnrollmentTipsEn(2)",
    "quorv_SetEnrollmentTipsParameter(40, 70, 0, 10)",
    "quorv_IdentifyNonFingerDetect(1)",
    "quorv_IdentifyNonFingerDetectNet(0)",
    "quorv_SetAlgFarLevel(15)",
    "quorv_SetImageVerifyValidAreaScale(0.7)",
    "quorv_SetImageVerifyQualityScore(50)",
    "quorv_SetImageVerifyValidCondScale(30)",
    "quorv_SetImageRescanCnt(3)",
    "quorv_SetNormalImageRescanCnt(5)",
    "quorv_SetRescanOverlapAreaThreshold(100)",
    "quorv_SetForceIdentifyEnable(1)",
    "quorv_SetMultiAreaMatchEn(0)",
    "quorv_SetMulTemplateCrossCheckEn(0)",
    "quorv_SetTemplateBuffEn(1)",
    "quorv_SetNegativeTemplateBuffEn(0)",
    "quorv_SetClassifierOn(1)",
    "quorv_SetAbnormalImgDetectMode(0)",
    "quorv_SetUpdateTemplateFarLevel(16)",
    "quorv_UpdateTemplateOutsideEn(1)",
    "quorv_SetSmallAreaImageUpdateEn(1)",
    "quorv_SetBinImageEnhance(0)",
    "quorv_SetImageContrastEnhance(0, 0, 0)",
    "quorv_SetImageStretchEn(0)",
    "quorv_FilterEnhance(1, 80)",
    "quorv_SetImproveFeatureEn(0)",
    "quorv_DebugInfoSwitch(0)",
    "quorv_PrintFuncTime(0)",
    "quorv_SetImageSaveEn(0)",
    "quorv_SetMcuInterrupMode(1)",
    "quorv_SetMcuStateCheckMode(1)",
    "quorv_SetTransferBytesMax(7752)",
    "quorv_SetSlideEnrollGetImageCnt(2)",
    "quorv_InitStandardDeviationThr(225)",
    "quorv_SetOneSlideEnrollMaxTpls(12)",
    "quorv_SetSlideEnrollArealapThreshold(60)",
    "quorv_SetSlideEnrollSpeedThreshold(60)",
    "quorv_SetSlideVerifySpeedThreshold(60)",
    "quorv_SetImageNoiseFilter(0)",
    "quorv_SetMLOGOEnhance(0)",
    "quorv_SetOptimizeIdentifyLevel(0, 5, 70)",
    "quorv_SetDirtyParameter(1, 20, 20)",
    "quorv_VerifyQuicklyEn(1)",
    "quorv_SetImprovedLevel(15)",
    "quorv_SetImprovedFrrEn(1)",
    "quorv_SetUpdateTemplateAreaThreshold(15)",
    "quorv_SetUpdateTemplateThreshold(60)",
    "quorv_InitFpAlg()",
    "quorv_ShowSensorConfig()",
};

// The common part of the second set for a library size of cols x rows;
// `module1` inserts the half-width size and tips mode 2 of module type 1.
Trace CommonSet(int w, int h, bool module1, int debug = 1, int functime = 0) {
  auto s = [](const char *name, int v) { return std::string(name) + "(" + std::to_string(v) + ")"; };
  Trace t = {
      "quorv_SetNonFingerDetectVer(0)",
      "quorv_SetModuleType(0)",
      s("quorv_DebugInfoSwitch", debug),
      s("quorv_PrintFuncTime", functime),
      "quorv_SetTransferBytesMax(1014)",
      "quorv_SetImageSaveEn(0)",
      "quorv_SetSmallAreaImageUpdateEn(1)",
      "quorv_SetImageRescanCnt(0)",
      "quorv_SetRescanOverlapAreaThreshold(99)",
      "quorv_SetMcuStateCheckMode(1)",
      "quorv_SetFpSensorColsRows(" + std::to_string(w) + ", " + std::to_string(h) + ")",
      "quorv_SetAlgoMode(1)",
      "quorv_SpaEn(1)",
      "quorv_SetMcuInterrupMode(1)",
      "quorv_EnrollmentDuplicateCheckEn(1)",
      "quorv_SetFpAlgMaxTpl(96)",
      "quorv_SetEnrollMaxTpl(48)",
      "quorv_SetEnrollmentTipsEn(1)",
      "quorv_SetEnrollmentTipsParameter(40, 70, 0, 0)",
      "quorv_SetImageValidAreaScale(0.3)",
      "quorv_SetImageQualityScore(30)",
      "quorv_SetImageRepeatEn(0)",
      "quorv_EnrollNonFingerDetect(0)",
      "quorv_SetImageValidCondScale(20)",
  };
  if (module1) {
    t.push_back("quorv_SetFpSensorColsRows(" + std::to_string(w / 2) + ", " + std::to_string(h) +
                ")");
    t.push_back("quorv_SetEnrollmentTipsEn(2)");
  }
  Trace tail = {
      "quorv_SetImageVerifyQualityScore(30)",
      "quorv_SetImageVerifyValidAreaScale(0.3)",
      "quorv_SetAlgFarLevel(14)",
      "quorv_SetUpdateTemplateFarLevel(16)",
      "quorv_UpdateTemplateOutsideEn(1)",
      "quorv_SetTemplateBuffEn(0)",
      "quorv_IdentifyNonFingerDetect(0)",
      "quorv_SetForeignBodyAttackSwitch(1)",
      "quorv_SetImageVerifyValidCondScale(30)",
      "quorv_InitFpAlg()",
  };
  t.insert(t.end(), tail.begin(), tail.end());
  return t;
}

Trace Concat(Trace a, const Trace &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class AlgConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    bq_config_reset();
    quorvanta_ctx = &ctx_;
  }
  void TearDown() override { quorvanta_ctx = nullptr; }

  void Device(uint32_t module_type, uint32_t sensor_type, uint16_t w, uint16_t h) {
    ctx_.module_type = module_type;
    ctx_.sensor_info.sensor_type = sensor_type;
    ctx_.sensor_info.sensor.cols = w;
    ctx_.sensor_info.sensor.rows = h;
  }

  quorvanta_ctx_t ctx_{};
};

TEST_F(AlgConfigTest, ModuleType2With128RowsTakesTheFw4843Set) {
  Device(2, 11, 80, 128);
  EXPECT_EQ(alg_do_config(), 0);
  EXPECT_EQ(standin::Calls(), kFw4843Set);
}

struct SecondSetCase {
  const char *name;
  uint32_t module_type, sensor_type;
  uint16_t w, h;
  Trace chip;
  bool module1;
};

class SecondSetTest : public AlgConfigTest, public testing::WithParamInterface<SecondSetCase> {};

TEST_P(SecondSetTest, ChipCallsThenTheCommonSet) {
  const SecondSetCase &c = GetParam();
  Device(c.module_type, c.sensor_type, c.w, c.h);
  EXPECT_EQ(alg_do_config(), 0);
  EXPECT_EQ(standin::Calls(), Concat(c.chip, CommonSet(c.w, c.h, c.module1)));
}

const Trace kFw4845Chip = {"quorv_IcInfoSwitch(8)", "quorv_SetImageBit(2)",
                           "quorv_SetImageContrastEnhance(0, 0, 0)",
                           "quorv_SetImageWetCondThr(100)", "quorv_FilterEnhanceEn(1)"};

INSTANTIATE_TEST_SUITE_P(
    Devices, SecondSetTest,
    testing::Values(
        SecondSetCase{"Bridge4841", 0, 1, 88, 88,
                      {"quorv_IcInfoSwitch(1)", "quorv_SetImageBit(1)"}, false},
        SecondSetCase{"Bridge4842", 0, 2, 96, 96,
                      {"quorv_IcInfoSwitch(2)", "quorv_SetImageBit(1)"}, false},
        SecondSetCase{"Bridge4844", 0, 3, 64, 80,
                      {"quorv_IcInfoSwitch(3)", "quorv_SetImageBit(1)",
                       "quorv_InitImageAdjust(0)", "quorv_InitImageFilter(0)",
                       "quorv_InitImageSmall(1)"},
                      false},
        SecondSetCase{"Bridge4856", 0, 7, 64, 128,
                      {"quorv_IcInfoSwitch(7)", "quorv_SetImageBit(1)",
                       "quorv_SetFW4856BaseEnable(0)"},
                      false},
        SecondSetCase{"Bridge4847", 0, 4, 64, 80, kFw4845Chip, false},
        SecondSetCase{"Module1", 1, 10, 128, 80, kFw4845Chip, true},
        SecondSetCase{"Module2Small", 2, 11, 80, 64, kFw4845Chip, false},
        SecondSetCase{"UnknownType", 0, 0, 64, 80, {}, false}),
    [](const testing::TestParamInfo<SecondSetCase> &i) { return std::string(i.param.name); });

TEST_F(AlgConfigTest, FunctionTimesFollowTheDebugSwitchOnlyWhenAsked) {
  Device(0, 2, 96, 96);
  bq_config->debug_info = 1;
  bq_config->print_func_time = 1;
  ASSERT_EQ(alg_do_config(), 0);
  EXPECT_EQ(standin::CallsStartingWith("quorv_PrintFuncTime"), Trace{"quorv_PrintFuncTime(1)"});
}

struct InitFailCase {
  const char *name;
  uint32_t module_type;
  uint16_t rows;
};

class InitFailTest : public AlgConfigTest, public testing::WithParamInterface<InitFailCase> {};

// A failed algorithm initialisation ends the configuration with -1 in both
// parameter sets; the FW4843 set no longer dumps a configuration it never
// applied.
TEST_P(InitFailTest, AlgorithmInitialisationFailureIsReported) {
  Device(GetParam().module_type, 11, 80, GetParam().rows);
  standin::script().init_fp_alg = -3;
  EXPECT_EQ(alg_do_config(), -1);
  EXPECT_EQ(standin::Calls().back(), "quorv_InitFpAlg()");
}

INSTANTIATE_TEST_SUITE_P(BothSets, InitFailTest,
                         testing::Values(InitFailCase{"Fw4843", 2, 128},
                                         InitFailCase{"Common", 2, 64}),
                         [](const testing::TestParamInfo<InitFailCase> &i) {
                           return std::string(i.param.name);
                         });

TEST_F(AlgConfigTest, NoOpenDeviceConfiguresNothing) {
  quorvanta_ctx = nullptr;
  EXPECT_EQ(alg_do_config(), -1);
  EXPECT_TRUE(standin::Calls().empty());
}

}  // namespace
