// Algorithm settings, detector thresholds, configuration dump and version
// texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVersion.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    NonFingerSettingsResetForTest();
  }
};

TEST_F(SettingsTest, LoadDefaults) {
  const ST_SensorInfor &s = gSensorInfor;
  EXPECT_EQ(s.cols, 96);
  EXPECT_EQ(s.rows, 96);
  EXPECT_EQ(s.enrollMaxTplCount, 16u);
  EXPECT_EQ(s.algMaxTplCount, 48u);
  EXPECT_EQ(s.algVerifyFarLevel, 15);
  EXPECT_EQ(s.algoMode, 1);
  EXPECT_EQ(s.updateOutsideEn, 1);
  EXPECT_EQ(s.updateFarLevel, 16);
  EXPECT_EQ(s.updateTemplateAreaThreshold, 16);
  EXPECT_EQ(s.templateExtraEn, 1);
  EXPECT_EQ(s.spaFilterEn, 1);
  EXPECT_EQ(s.maxFeatNum, 160);
  EXPECT_EQ(s.adjustMatchEn, 1);
  // Every other field is 0.
  const uint8_t zero_bytes[] = {s.frrImproveEn,        s.frrImproveLevel,       s.templateBuffEn,
                                s.foreignBodyTest,     s.smallSensor,           s.algBadPixBitRef,
                                s.multiAreaMatchEn,    s.binImageEnhance,       s.noneFingerNetModule,
                                s.trueFalseFingerNetModule, s.imageStretch,     s.classifierOn,
                                s.negativeTemplateBuffEn,   s.mulTemplateCrossCheckEn,
                                s.fullHomography};
  for (uint8_t b : zero_bytes) EXPECT_EQ(b, 0);
  EXPECT_EQ(s.updateTemplateThreshold, 0);

  ST_AlgInfor a;
  ZqGetAlgInfo(&a);
  EXPECT_EQ(a.intvls, 3);
  EXPECT_EQ(a.curvThr, 15);
  EXPECT_FLOAT_EQ(a.sigma, 1.6f);
  EXPECT_FLOAT_EQ(a.contrThr, 0.02f);
  ZqGetAlgInfo(nullptr);  // ignored
}

TEST_F(SettingsTest, SensorSizeAndSmallSensorFlag) {
  struct Case {
    int16_t cols, rows;
    uint8_t small;
  };
  const Case cases[] = {{56, 56, 1}, {52, 52, 1}, {50, 50, 1}, {56, 52, 0},
                        {52, 56, 0}, {96, 96, 0}, {80, 128, 0}, {-56, -56, 0}};
  for (const Case &c : cases) {
    ZqSetSensorColRow(c.cols, c.rows);
    EXPECT_EQ(gSensorInfor.cols, c.cols);
    EXPECT_EQ(gSensorInfor.rows, c.rows);
    EXPECT_EQ(gSensorInfor.smallSensor, c.small) << c.cols << "x" << c.rows;
  }
  ZqSetSensorColRow(-1, 96);
  EXPECT_EQ(gSensorInfor.cols, -1) << "stored sign-extended";
}

TEST_F(SettingsTest, SettersThatNormaliseTheirArgument) {
  struct Case {
    uint8_t in, algoMode;
  };
  for (const Case &c : {Case{0, 0}, Case{3, 3}, Case{5, 5}, Case{6, 1}, Case{255, 1}}) {
    ZqSetAlgoMode(c.in);
    EXPECT_EQ(gSensorInfor.algoMode, c.algoMode) << "ZqSetAlgoMode(" << int(c.in) << ")";
  }
  ZqSetForeignBodyTest(7);
  EXPECT_EQ(gSensorInfor.foreignBodyTest, 1);
  ZqSetForeignBodyTest(0);
  EXPECT_EQ(gSensorInfor.foreignBodyTest, 0);
  ZqSetFrrImprovedEn(0);
  EXPECT_EQ(gSensorInfor.frrImproveEn, 1) << "any argument turns it on";
}

TEST_F(SettingsTest, PlainSettersStoreTheirField) {
  ZqSetFpEnrollMaxTplCnt(48);
  ZqSetAlgMaxTplCnt(96);
  ZqSetFrrImproveLevel(3);
  ZqUpdateTemplateOutsideEn(0);
  ZqSetUpdateTemplateThreshold(-5);
  ZqSetUpdateTemplateAreaThreshold(30);
  ZqSetTemplateBuffEn(1);
  ZqSetTemplateExtraEn(0);
  ZqSpaFilterEn(0);
  ZqMaxFeatNumSet(400);
  ZqAlgBadPixBitRefSet(1);
  ZqSetMultiAreaMathEn(1);
  ZqSetBinImageEnhance(1);
  ZqSetNoneFingerNetModule(2);
  ZqSetTrueFalseFingerNetModule(3);
  ZqSetImageStretch(1);
  ZqSetClassifierOn(1);
  ZqSetNegativeTemplateBuffEn(1);
  ZqSetMulTemplateCrossCheckEn(2);
  ZqSetAdjustMatchEn(0);

  ST_SensorInfor s;
  std::memset(&s, 0xAB, sizeof s);
  ZqCopySensorInfor(&s);
  EXPECT_EQ(s.enrollMaxTplCount, 48u);
  EXPECT_EQ(s.algMaxTplCount, 96u);
  EXPECT_EQ(s.frrImproveLevel, 3);
  EXPECT_EQ(s.updateOutsideEn, 0);
  EXPECT_EQ(s.updateTemplateThreshold, -5);
  EXPECT_EQ(s.updateTemplateAreaThreshold, 30);
  EXPECT_EQ(s.templateBuffEn, 1);
  EXPECT_EQ(s.templateExtraEn, 0);
  EXPECT_EQ(s.spaFilterEn, 0);
  EXPECT_EQ(s.maxFeatNum, 400) << "kept whether or not the detector accepts it";
  EXPECT_EQ(s.algBadPixBitRef, 1);
  EXPECT_EQ(s.multiAreaMatchEn, 1);
  EXPECT_EQ(s.binImageEnhance, 1);
  EXPECT_EQ(s.noneFingerNetModule, 2);
  EXPECT_EQ(s.trueFalseFingerNetModule, 3);
  EXPECT_EQ(s.imageStretch, 1);
  EXPECT_EQ(s.classifierOn, 1);
  EXPECT_EQ(s.negativeTemplateBuffEn, 1);
  EXPECT_EQ(s.mulTemplateCrossCheckEn, 2);
  EXPECT_EQ(s.adjustMatchEn, 0);
  EXPECT_EQ(s.cols, 96) << "untouched fields copied too";
}

TEST_F(SettingsTest, TemplateCountsBeyondTheSlotsAreRefused) {
  ZqSetFpEnrollMaxTplCnt(48);
  ZqSetAlgMaxTplCnt(96);
  testing_support::LibLogCapture log;
  for (int n : {97, -1, 1000}) {
    ZqSetFpEnrollMaxTplCnt(n);
    ZqSetAlgMaxTplCnt(n);
  }
  EXPECT_EQ(gSensorInfor.enrollMaxTplCount, 48u);
  EXPECT_EQ(gSensorInfor.algMaxTplCount, 96u);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[0], "ZqSetFpEnrollMaxTplCnt...count(= 97) out of 0..96, refused");
  EXPECT_EQ(m[3], "ZqSetAlgMaxTplCnt...count(= -1) out of 0..96, refused");
  ZqSetAlgMaxTplCnt(0);
  EXPECT_EQ(gSensorInfor.algMaxTplCount, 0u);
}

TEST_F(SettingsTest, DetectorSettersAreForwarded) {
  ZqChipNameSet(16);
  EXPECT_EQ(ZqSensorTypeGet(), 16);
  ZqChipNameSet(17);  // refused by the detector settings
  EXPECT_EQ(ZqSensorTypeGet(), 16);

  ZqMaxFeatNumSet(300);
  EXPECT_EQ(ZqGetKpNum(), 300);
  EXPECT_EQ(gSensorInfor.maxFeatNum, 300);
  ZqMaxFeatNumSet(301);
  EXPECT_EQ(ZqGetKpNum(), 300) << "the detector keeps its cap";
  EXPECT_EQ(gSensorInfor.maxFeatNum, 301) << "the setting stores it all the same";

  ZqValidBitRefSet(7);
  EXPECT_EQ(ZqGetKpValidRegionSwitch(), 1);
  ZqBadPixBitRefSet(7);
  EXPECT_EQ(ZqGetBadPixInValidRegion(), 7);
}

TEST_F(SettingsTest, QualitySettersAreForwarded) {
  ZqSetSensorName(8);
  ZqSetModuleType(2);
  EXPECT_EQ(gSensorName, 8);
  EXPECT_EQ(gModuleType, 2);

  struct Case {
    uint8_t type, level;
    float thr;
  };
  const Case cases[] = {{0, 0, 0.1f}, {1, 2, 0.3f}, {0, 6, 0.7f}, {1, 8, 0.9f},
                        {0, 9, 0.5f}, {1, 255, 0.5f}};
  for (const Case &c : cases) {
    ZqSetNoneFingerLevel(c.type, c.level);
    EXPECT_EQ(gNoneFingerType, c.type) << "level " << int(c.level);
    EXPECT_FLOAT_EQ(gNoneFingerThr, c.thr) << "level " << int(c.level);
  }
}

TEST_F(SettingsTest, AlgInfoSetStoresOnlyInsideTheOpenBounds) {
  struct Case {
    uint32_t curv;
    float contr;
    int32_t wantCurv;
    float wantContr;
  };
  const Case cases[] = {
      {10, 0.2f, 15, 0.02f},       // both bounds are exclusive
      {11, 0.0011f, 11, 0.0011f},  // both inside
      {29, 0.199f, 29, 0.199f},
      {30, 0.001f, 15, 0.02f},
      {0, 0.0f, 15, 0.02f},
      {20, -0.1f, 20, 0.02f},      // one in, one out
      {4000000000u, 0.1f, 15, 0.1f},
  };
  for (const Case &c : cases) {
    gAlgInfor.curvThr = 15;
    gAlgInfor.contrThr = 0.02f;
    ZqAlgInfoSet(c.curv, c.contr);
    EXPECT_EQ(gAlgInfor.curvThr, c.wantCurv) << c.curv << ", " << c.contr;
    EXPECT_FLOAT_EQ(gAlgInfor.contrThr, c.wantContr) << c.curv << ", " << c.contr;
    EXPECT_EQ(gAlgInfor.intvls, 3);
    EXPECT_FLOAT_EQ(gAlgInfor.sigma, 1.6f);
  }
}

TEST_F(SettingsTest, MemoryPoolSwitchIsForwarded) {
  ZqSetMemoryPoolEnable(1);
  EXPECT_EQ(ZqInitMemBlock(4096), 0);
  void *p = ZqSafeAllocInMemBlock(16);
  const int32_t counted = ZqGetMallocCnts();
  ASSERT_NE(p, nullptr);
  ZqSafeFreeInMemBlock(p);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEnable(0);
  void *q = ZqSafeAllocInMemBlock(16);
  EXPECT_EQ(ZqGetMallocCnts(), counted + 1) << "switch off: blocks come from the heap";
  ZqSafeFreeInMemBlock(q);
}

TEST_F(SettingsTest, HeapFiguresAndWrappers) {
  const int32_t base = ZqGetHeapMallocCnts();
  void *p = ZqAlloc(40);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(ZqGetHeapMallocCnts(), base + 1);
  EXPECT_EQ(static_cast<unsigned char *>(p)[39], 0);
  ZqFree(p);
  EXPECT_EQ(ZqGetHeapMallocCnts(), base);
  EXPECT_EQ(ZqGetMaxHeapMemorySize(), 0);
  EXPECT_EQ(ZqGetTotalHeapMemorySize(), 0);
}

TEST(AlgConfigTest, ShowAlgConfigLogsTheNeonLine) {
  testing_support::LibLogCapture log;
  ZqShowAlgConfig();
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(testing_support::IsLibNoteLine(
      lines[0], "neon config" + std::string(23, ' ') + "= NEON OFF"))
      << lines[0];
  g_loglevel = 4;  // the line is an info line
  ZqShowAlgConfig();
  EXPECT_EQ(log.Lines().size(), 1u);
}

TEST(VersionTest, TextsAreExact) {
  struct Case {
    void (*fn)(char *);
    const char *text;
  };
  const Case cases[] = {
      {ZqCoreVersion, "v2.2.2.5-r4830-x86_64_64bit-20230526"},
      {ZqNoneFingerVersion, "v1.1.3.a-r4830-x86_64_64bit-20230526"},
      {ZqTrueFalseFingerVersion, "v1.1.2.6-r4830-x86_64_64bit-20230526"},
      {ZqClassifierVersion, "v1.1.1.5-r4830-x86_64_64bit-20230526"},
  };
  for (const Case &c : cases) {
    char buf[64];
    std::memset(buf, 'X', sizeof buf);
    c.fn(buf);
    EXPECT_EQ(std::string(buf), c.text);
    EXPECT_EQ(std::strlen(buf), 36u);
    EXPECT_EQ(buf[37], 'X') << "nothing past the NUL";
    c.fn(nullptr);  // ignored
  }
}

}  // namespace
