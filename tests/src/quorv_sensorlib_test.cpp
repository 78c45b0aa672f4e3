// The sensor library as the device library ships it: create builds the
// configuration record and setters keep their values (with their clamps),
// host registrations reach the sensor access layer, and the template and
// identify flows refuse with -1 before the resources exist.
#include <gtest/gtest.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/quorv_base/quorv_host_callbacks.h"

namespace {

TEST(QuorvConfig, CreateStartsEveryRecordFromTheDefaults) {
  quorv_SensorResourceCreate();
  ASSERT_NE(g_pQuorvConfigInfo, nullptr);
  EXPECT_EQ(g_pQuorvConfigInfo->sensor_cols, 80u);
  EXPECT_EQ(g_pQuorvConfigInfo->sensor_rows, 64u);
  EXPECT_EQ(g_pQuorvConfigInfo->enroll_valid_area, 90);
  EXPECT_FLOAT_EQ(g_pQuorvConfigInfo->enroll_valid_area_scale, 0.9f);
  quorv_SetAlgFarLevel(3);
  EXPECT_EQ(g_pQuorvConfigInfo->far_level, 3);
  quorv_SensorResourceCreate();
  EXPECT_EQ(g_pQuorvConfigInfo->far_level, 14) << "create starts from the defaults";
  quorv_SensorResourceDestroy();
  EXPECT_EQ(g_pQuorvConfigInfo, nullptr);
}

TEST(QuorvConfig, SettersStoreTheirValuesWithTheirClamps) {
  quorv_SensorResourceCreate();
  ASSERT_NE(g_pQuorvConfigInfo, nullptr);
  const QuorvConfigInfo &c = *g_pQuorvConfigInfo;
  quorv_SetFpSensorColsRows(96, 96);
  quorv_SetImageValidAreaScale(0.7f);
  quorv_SetImageVerifyValidAreaScale(0.3f);
  quorv_SetRescanOverlapAreaThreshold(150);
  quorv_IdentifyNonFingerDetectNet(7);
  quorv_SetMLOGOEnhance(9);
  quorv_SetNonFingerDetectVer(3);
  quorv_SetFakeFingerDetect(5, 4, 6);
  quorv_SetModuleType(0x0102);
  quorv_FilterEnhance(1, 80);
  quorv_SetEnrollmentTipsParameter(40, 70, 0, 10);
  EXPECT_EQ(c.sensor_cols, 96u);
  EXPECT_EQ(c.sensor_rows, 96u);
  EXPECT_EQ(c.enroll_valid_area, 70);
  EXPECT_EQ(c.verify_valid_area, 30);
  EXPECT_EQ(c.rescan_overlap, 100);
  EXPECT_EQ(c.identify_nonfinger_net, 2);
  EXPECT_EQ(c.mlogo_enhance, 1);
  EXPECT_EQ(c.nonfinger_ver, 1);
  EXPECT_EQ(c.fake_mode, 2);
  EXPECT_EQ(c.fake_second, 4);
  EXPECT_EQ(c.fake_level, 6);
  EXPECT_EQ(c.module_type, 2);
  EXPECT_EQ(c.filter_enhance, 1);
  EXPECT_EQ(c.wet_cond, 80);
  EXPECT_EQ(c.tips_p4, 10);
  quorv_SetRescanOverlapAreaThreshold(99);
  EXPECT_EQ(c.rescan_overlap, 99);
  quorv_SensorResourceDestroy();
}

int FakeMcuStatus() { return 7; }

TEST(QuorvSensorLib, HostRegistrationsReachTheAccessLayer) {
  quorv_InitFuncGetMcuStatus(FakeMcuStatus);
  EXPECT_EQ(g_quorvHostCallbacks.GetMcuStatus, &FakeMcuStatus);
  quorv_InitFuncGetMcuStatus(nullptr);
  EXPECT_EQ(g_quorvHostCallbacks.GetMcuStatus, nullptr);
}

TEST(QuorvSensorLib, FlowsRefuseWithoutResources) {
  uint8_t frame[4] = {}, fid = 0, update = 1, slot = 0, type = 0;
  uint32_t len = 0;
  EXPECT_EQ(quorv_IdentifyByImage(frame, 2, &fid, &update), -1);
  EXPECT_EQ(fid, QUORV_NO_FINGER);
  EXPECT_EQ(update, 0);
  EXPECT_EQ(quorv_InitAlgTplData(0, 1, 4, frame), -2) << "four zero bytes are no template blob";
  EXPECT_EQ(quorv_SaveAlgTplData(0, &type, &len, frame), -1);
  EXPECT_EQ(quorv_UpdateTemplate(1, &slot), -1);
  EXPECT_EQ(slot, QUORV_NO_FINGER);
}

}  // namespace
