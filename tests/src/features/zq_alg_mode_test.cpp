// The detector settings gAlgMode: initial values, setter limits and texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/lib_log_capture.h"
#include "src/quorv_base/quorv_sensor_type.h"

namespace {

using testing_support::LibLogCapture;

class AlgModeTest : public ::testing::Test {
 protected:
  void SetUp() override { ZqAlgModeResetForTest(); }
  void TearDown() override { ZqAlgModeResetForTest(); }
};

TEST_F(AlgModeTest, InitialValues) {
  EXPECT_EQ(gAlgMode.sensorType, 2);
  EXPECT_EQ(gAlgMode.kpNum, 160);
  EXPECT_EQ(gAlgMode.kpValidRegionSwitch, 0);
  EXPECT_EQ(gAlgMode.imageMode, 4);
  EXPECT_EQ(gAlgMode.badPixInValidRegion, 0);
  EXPECT_EQ(gAlgMode.histToDescrVariant, 0);
}

TEST_F(AlgModeTest, SensorTypeAndKeypointCapLimits) {
  const std::string kNoChip = "There is no such chip!!";
  const std::string kTooMany = "The maximum feature num of setting is too large!";
  struct Case {
    void (*set)(uint16_t);
    uint16_t (*get)(void);
    uint16_t before;
    uint16_t value;
    uint16_t stored;
    std::string log;  // empty: no line
  };
  const Case cases[] = {
      {ZqSensorTypeSet, ZqSensorTypeGet, 2, 0, 0, ""},
      {ZqSensorTypeSet, ZqSensorTypeGet, 2, SENSOR_FW4855, 16, ""},
      {ZqSensorTypeSet, ZqSensorTypeGet, 9, 17, 9, kNoChip},
      {ZqSensorTypeSet, ZqSensorTypeGet, 9, 0xFFFF, 9, kNoChip},
      {ZqKpNumSet, ZqGetKpNum, 160, 0, 0, ""},
      {ZqKpNumSet, ZqGetKpNum, 160, 300, 300, ""},
      {ZqKpNumSet, ZqGetKpNum, 50, 301, 50, kTooMany},
      {ZqKpNumSet, ZqGetKpNum, 50, 0xFFFF, 50, kTooMany},
  };
  for (const Case &c : cases) {
    c.set(c.before);
    LibLogCapture log;
    c.set(c.value);
    EXPECT_EQ(c.get(), c.stored) << c.value;
    const auto want = c.log.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.log};
    EXPECT_EQ(log.Messages(), want) << c.value;
  }
}

TEST_F(AlgModeTest, ErrorTextGoesOutAtErrorLevel) {
  LibLogCapture log;
  ZqSensorTypeSet(17);
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("error at ZqSensorTypeSet("), std::string::npos) << lines[0];
}

TEST_F(AlgModeTest, SwitchesAndFastModeCap) {
  ZqObtainKeyPointInValidRegion(7);
  EXPECT_EQ(ZqGetKpValidRegionSwitch(), 1);
  ZqObtainKeyPointInValidRegion(0);
  EXPECT_EQ(ZqGetKpValidRegionSwitch(), 0);
  // Stored as given: 7 is not 1, so the bad-pixel filter stays off.
  ZqSetBadPixInValidRegion(7);
  EXPECT_EQ(ZqGetBadPixInValidRegion(), 7);
  ZqSetBadPixInValidRegion(1);
  EXPECT_EQ(ZqGetBadPixInValidRegion(), 1);

  for (uint16_t type : {0, 9, 16}) {
    ZqSensorTypeSet(type);
    ZqKpNumSet(static_cast<uint16_t>(type * 10));
    EXPECT_EQ(ZqGetKpNumMode4(), 160) << type;
  }
}

TEST(SensorTypeCode, FW4855IsSixteenAndNamed) {
  EXPECT_EQ(SENSOR_FW4855, 16);
  ASSERT_GT(QUORV_CHIP_NAME_COUNT, SENSOR_FW4855);
  EXPECT_STREQ(chipName[SENSOR_FW4855], "FW4855");
  EXPECT_STREQ(chipName[SENSOR_FW4852], "FW4852");
}

}  // namespace
