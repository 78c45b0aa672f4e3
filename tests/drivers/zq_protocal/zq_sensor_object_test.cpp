// Sensor objects by type, the firmware image files, the sensor
// information record, the MCU-status callback and the close-time release.
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/bq_device.h"
#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/fw_files.h"
#include "bridge_emul/wire.h"
#include "chips/fw4846/fw4846.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_fw_images.h"
#include "drivers/zq_protocal/zq_sensor_object.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::Transfers;

struct ObjectCase {
  int type;
  const char *file;
  uint16_t size, w, h;
  uint8_t fw_version, delay;
};

void PrintTo(const ObjectCase &c, std::ostream *os) { *os << "type " << c.type; }

class SensorObject : public ::testing::TestWithParam<ObjectCase> {};

TEST_P(SensorObject, CarriesItsImageSizeVersionAndResetDelay) {
  const ObjectCase &c = GetParam();
  g_sensor_type = c.type;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  EXPECT_EQ(g_fw_image, nullptr) << "read from its file only when a download needs it";
  EXPECT_EQ(g_fw_image_type, c.type);
  EXPECT_STREQ(zq_fw_images_FileName(c.type), c.file);
  EXPECT_EQ(g_fw_size, c.size);
  EXPECT_EQ(g_sensor_width, c.w);
  EXPECT_EQ(g_sensor_height, c.h);
  EXPECT_EQ(g_fw_version, c.fw_version);
  EXPECT_EQ(g_reset_delay, c.delay);
}

INSTANTIATE_TEST_SUITE_P(
    Types, SensorObject,
    ::testing::Values(
        ObjectCase{1, "zq4841w.bin", 14184, 88, 88, 0x40, 80},
        ObjectCase{2, "zq4842w.bin", 10690, 96, 96, 0x30, 160},
        ObjectCase{3, "zq4844w.bin", 10772, 64, 80, 0x30, 160},
        ObjectCase{4, "zq4847w.bin", 27120, 64, 80, 0x13, 160},
        ObjectCase{7, "zq4856w.bin", 11924, 64, 128, 0x23, 180}),
    [](const auto &info) { return "Type" + std::to_string(info.param.type); });

TEST(SensorObjectOther, ModuleTypesKeepTheImageAndNoneFails) {
  g_sensor_type = ZQ_SENSOR_ZQ4842W;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  g_sensor_type = ZQ_SENSOR_ZQ4843W;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  EXPECT_EQ(g_fw_image_type, ZQ_SENSOR_ZQ4842W);
  EXPECT_EQ(g_fw_size, 10690);
  EXPECT_EQ(g_fw_version, 0x30);
  EXPECT_EQ(g_sensor_width, 128);
  EXPECT_EQ(g_sensor_height, 80);

  g_reset_delay = 77;
  g_sensor_type = 5;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  EXPECT_EQ(g_reset_delay, 77) << "types 5, 6, 8, 9 change nothing";
  g_sensor_type = ZQ_SENSOR_NONE;
  EXPECT_EQ(zq_feature_devinit_CreateSensor(), -1);
  EXPECT_EQ(g_reset_delay, 77);
}

TEST(FirmwareImages, EachTypeLoadsItsOwnFileAndOthersHaveNone) {
  bridge_emul::InstallFillerFirmware();
  std::set<std::vector<uint8_t>> seen;
  for (int type : {1, 2, 3, 4, 7}) {
    const uint8_t *image = nullptr;
    ASSERT_EQ(zq_fw_images_Load(type, &image), 0) << "type " << type;
    const std::vector<uint8_t> &want = bridge_emul::FillerImage(type);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), image)) << "type " << type;
    seen.insert(want);
  }
  EXPECT_EQ(seen.size(), 5u) << "a type's image is told from another's";
  const uint8_t *image = nullptr;
  for (int type : {0, 5, 8, 10, 11}) {
    EXPECT_EQ(zq_fw_images_FileName(type), nullptr);
    EXPECT_EQ(zq_fw_images_Load(type, &image), -200) << "type " << type;
  }
  EXPECT_EQ(zq_fw_images_Load(2, nullptr), -201);
}

TEST(SensorInfo, FilledFromTheSensorObject) {
  EXPECT_EQ(zq_sensorbase_GetSensorInfo(nullptr), -201);
  g_sensor_type = ZQ_SENSOR_ZQ4856W;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  zq_sensor_info_t info;
  std::memset(&info, 0xAB, sizeof info);
  ASSERT_EQ(zq_sensorbase_GetSensorInfo(&info), 0);
  EXPECT_EQ(info.fw_version, 0x23);
  EXPECT_EQ(info.chip_id, 0);
  EXPECT_EQ(info.sensor.cols, 64);
  EXPECT_EQ(info.sensor.rows, 128);
  EXPECT_EQ(info.sensor_type, 7u);
  EXPECT_EQ(std::string(info.version_text, 32), std::string(32, '\0'));
}

TEST(DeviceStatus, BridgeTypesAskTheMcuOthersAreAlwaysReady) {
  BridgeBench bench;
  bench.Open();
  for (int type : {ZQ_SENSOR_ZQ4847W, ZQ_SENSOR_ZQ4843W, ZQ_SENSOR_MODULE2}) {
    g_sensor_type = type;
    EXPECT_EQ(zq_sensorbase_QueryDeviceStatus(), 0) << "type " << type;
  }
  EXPECT_TRUE(Transfers(bench.device().Log()).empty());
  g_sensor_type = ZQ_SENSOR_ZQ4842W;
  EXPECT_EQ(zq_sensorbase_QueryDeviceStatus(), 0);
  bench.model().SetAppRunning(false);
  EXPECT_EQ(zq_sensorbase_QueryDeviceStatus(), 1);
  bench.model().StallRequest(0x3A);
  EXPECT_EQ(zq_sensorbase_QueryDeviceStatus(), LIBUSB_ERROR_PIPE);
}

TEST(Deinit, UnlinksTheFw4846RecordAndClearsTheCurrentChip) {
  ASSERT_EQ(bq_device_register(&g_fw4846_device), 0);
  EXPECT_EQ(zq_sensorbase_DeinitSensor(), 0);
  EXPECT_EQ(g_fw4846_device.next, nullptr);
  EXPECT_EQ(g_fw4846_device.prev, nullptr);
  EXPECT_EQ(bq_device_current(), nullptr);
  EXPECT_EQ(bq_device_probe_chip(), -205) << "the registry is empty again";
}

}  // namespace
