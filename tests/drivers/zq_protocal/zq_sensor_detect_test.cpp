// Sensor-type detection against the emulated bridge: each branch (running
// firmware by resolution, register file, chip id with either OTP method,
// 4847 chip id, the forced fallback, module products) ends in the right
// sensor type, boot edition and sensor object, and a bridge without
// firmware ends up running the downloaded image.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/fw_files.h"
#include "bridge_emul/wire.h"
#include "drivers/zq_protocal/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_sensor_detect.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "drivers/zq_protocal/zq_sleep_detect.h"
#include "support/stderr_capture.h"
#include "zq_protocal/wire_filter.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BridgeConfig;
using bridge_emul::BridgeModel;
using bridge_emul::Transfers;
using zq_test::Bytes;
using zq_test::Count;
using zq_test::SleepsMs;

// A 4847 chip behind the bridge: its status block carries the chip id 48 47
// at bytes 19 and 20; the 4-byte wake-up read never shows four equal bytes.
void Install4847(BridgeModel &m) {
  m.Set4847([](uint16_t selector, uint16_t n) -> std::optional<Bytes> {
    Bytes b(n, 0);
    if (selector == 0x9180 && n == 32) {
      b[19] = 0x48;
      b[20] = 0x47;
      b[23] = 64;
      b[24] = 80;
    }
    return b;
  });
}

BridgeConfig Running(uint8_t w, uint8_t h) {
  BridgeConfig c;
  c.width = w;
  c.height = h;
  return c;
}

BridgeConfig Bare(uint8_t boot_sfr, uint16_t chip_word, std::optional<uint8_t> otp,
                  std::optional<uint8_t> sfr_fe = std::nullopt) {
  BridgeConfig c;
  c.app_running = false;
  c.boot_sfr = boot_sfr;
  c.chip_id_word = chip_word;
  c.otp = otp;
  c.sfr_fe = sfr_fe;
  return c;
}

struct DetectCase {
  std::string name;
  BridgeConfig config;
  uint16_t pid = 0x4842;
  std::function<void(BridgeBench &)> prepare;  // may be empty
  int result = 0;
  int type = 0;
  int edition = -1;       // -1: not checked
  uint16_t fw_size = 0;   // 0: not checked
  uint8_t reset_delay = 0;
  bool downloads = false;  // the bridge runs the downloaded image afterwards
};

void PrintTo(const DetectCase &c, std::ostream *os) { *os << c.name; }

std::vector<DetectCase> Cases() {
  BridgeConfig unknown_size = Running(50, 50);
  unknown_size.sfr_fe = 0x11;
  BridgeConfig sticky = Running(96, 96);
  sticky.marker_sticks = false;
  return {
      {"FirmwareReports88x88", Running(88, 88), 0x4842, {}, 0, 1, -1, 14184, 80},
      {"FirmwareReports96x96", Running(96, 96), 0x4842, {}, 0, 2, -1, 10690, 160},
      {"FirmwareReports64x80", Running(64, 80), 0x4841, {}, 0, 3, -1, 10772, 160},
      {"FirmwareReports64x128", Running(64, 128), 0x4842, {}, 0, 7, -1, 11924, 180},
      {"UnknownResolutionIsProbed", unknown_size, 0x4842, {}, 0, 1, ZQ_BOOT_EDITION_A, 14184, 80},
      {"FirmwareLoadFailureFailsDetection", sticky, 0x4842,
       [](BridgeBench &b) { b.model().SetRegister(0x30, 0x00); }, -1, 2},
      {"RegisterFileMarks4856", Bare(0xEF, 0, std::nullopt, 2), 0x4842, {}, 0, 7,
       ZQ_BOOT_EDITION_A, 11924, 180, true},
      {"RegisterFileOtherwise4841", Bare(0xEF, 0, std::nullopt), 0x4841, {}, 0, 1,
       ZQ_BOOT_EDITION_A, 14184, 80, true},
      {"ChipId4859Otp08IsShiftedTo4844", Bare(0x00, 0x4859, 0x08), 0x4842, {}, 0, 3,
       ZQ_BOOT_EDITION_A, 10772, 160, true},
      {"ChipId2B50Otp06IsShiftedTo4842", Bare(0x00, 0x2B50, 0x06), 0x4842, {}, 0, 2,
       ZQ_BOOT_EDITION_A, 10690, 160, true},
      {"Otp4841AllOnesIs4841EditionA", Bare(0x00, 0x4841, 0xFF), 0x4841, {}, 0, 1,
       ZQ_BOOT_EDITION_A, 14184, 80, true},
      {"Otp4841HighNibble1Is4841", Bare(0x00, 0x4841, 0x1C), 0x4841, {}, 0, 1, -1, 14184, 80,
       true},
      {"Otp4841HighNibble2Is4856EditionB", Bare(0x00, 0x4841, 0x2C), 0x4842, {}, 0, 7,
       ZQ_BOOT_EDITION_B, 11924, 180, true},
      {"ChipId4847", Bare(0x00, 0, std::nullopt), 0x4842,
       [](BridgeBench &b) { Install4847(b.model()); }, 0, 4, -1, 27120, 160},
      {"ThreePassesFailOnBridgeProductForceType4", Bare(0x00, 0x4841, 0x3C), 0x4842, {}, -1, 4,
       -1, 27120, 160},
      {"ThreePassesFailOnOtherProductKeepType", Bare(0x00, 0x4859, 0x10), 0x4843, {}, -1, 0},
  };
}

class Detection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detection, SettlesTypeEditionAndSensorObject) {
  const DetectCase &c = GetParam();
  g_sensor_type = ZQ_SENSOR_NONE;  // "keep the type" cases start from none
  BridgeBench bench(c.config, c.pid);
  bench.Open();
  if (c.prepare) c.prepare(bench);

  EXPECT_EQ(zq_sensorbase_TryToInitSensor(), c.result);
  EXPECT_EQ(g_sensor_type, c.type);
  if (c.edition >= 0) {
    EXPECT_EQ(g_boot_edition, c.edition);
  }
  if (c.fw_size != 0) {
    EXPECT_EQ(g_fw_size, c.fw_size);
    EXPECT_EQ(g_reset_delay, c.reset_delay);
  }
  if (c.downloads) {
    EXPECT_TRUE(bench.model().AppRunning());
    Bytes program = bench.model().ProgramMemory();
    ASSERT_GE(program.size(), g_fw_size);
    EXPECT_TRUE(std::equal(g_fw_image, g_fw_image + g_fw_size, program.begin()))
        << "the bridge runs the image of the detected type";
  }
  EXPECT_EQ(isSleepThreadStarted.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Branches, Detection, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return info.param.name; });

// --- details of single branches ----------------------------------------------------

TEST(DetectionDetail, A4847NeedsNoBootEditionProbingAndGetsTheFactoryCallbacks) {
  BridgeBench bench(Bare(0x00, 0, std::nullopt));
  bench.Open();
  Install4847(bench.model());
  ASSERT_EQ(zq_sensorbase_TryToInitSensor(), 0);
  EXPECT_EQ(Count(bench, 0x64), 0u) << "no boot-edition or chip-id probing";
  EXPECT_EQ(Count(bench, 0x57), 0u);
  EXPECT_TRUE(bench.model().ProgramMemory().empty()) << "the 4847 image is never sent";
  EXPECT_EQ(zq4847_factory_callbacks.bus_type, bq_get_bus_type);
  EXPECT_EQ(zq4847_factory_callbacks.spare, nullptr);
  EXPECT_EQ(zq4847_factory_callbacks.spi_read, SPI_read);
  EXPECT_EQ(zq4847_factory_callbacks.spi_write, SPI_write);
  EXPECT_EQ(zq4847_factory_callbacks.chip_select, zq_interface_base_4847_ChipSelect);
  EXPECT_EQ(zq4847_factory_callbacks.sensor_reset, zq_interface_base_ResetCallback);
}

TEST(DetectionDetail, ABridgeWithoutFirmwareAndWithoutTheImageFileGetsNoFirmware) {
  BridgeBench bench(Bare(0x00, 0x2B50, 0x06));
  bench.Open();
  const std::string folder = bridge_emul::InstallEmptyFirmwareFolder();
  testing_support::StderrCapture err;
  EXPECT_NE(zq_sensorbase_TryToInitSensor(), 0);
  EXPECT_NE(err.Text().find(folder + "zq4842w.bin"), std::string::npos);
  EXPECT_TRUE(bench.model().ProgramMemory().empty());
  // The probing's own SPI frames are 4 bytes; firmware goes in 16- or
  // 64-byte pieces.
  for (size_t n : zq_test::BulkSizes(bench, bridge_emul::kBulkOut)) EXPECT_LT(n, 16u);
  EXPECT_FALSE(bench.model().AppRunning());
  bridge_emul::InstallFillerFirmware();
  g_sensor_type = ZQ_SENSOR_NONE;
}

TEST(DetectionDetail, FailedPassesResetTheSensorAndPause400ms) {
  BridgeBench bench(Bare(0x00, 0x4841, 0x3C));
  bench.Open();
  ASSERT_EQ(zq_sensorbase_TryToInitSensor(), -1);
  std::vector<unsigned> sleeps = SleepsMs(bench);
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 400u), 3);
  EXPECT_EQ(Count(bench, 0x40), 3u);
  EXPECT_EQ(Count(bench, 0x64), 3u * 3 * 2) << "three tries per pass, each 0x90 then 0x06";
}

TEST(DetectionDetail, TheBusTypeDecidesTheOtpShift) {
  BridgeBench bench(Bare(0x00, 0x4859, 0x08));
  bench.Open();
  g_bus_type = 2;  // unshifted 0x08: no known sensor
  EXPECT_EQ(zq_sensorbase_TryToInitSensor(), -1);
  g_bus_type = 1;
}

struct ModuleCase {
  std::string name;
  uint16_t pid;
  uint32_t module_type;
  int type;
  uint16_t w, h;
};

void PrintTo(const ModuleCase &c, std::ostream *os) { *os << c.name; }

class ModuleDetection : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(ModuleDetection, TakesTheTypeFromTheProductWithoutBridgeTraffic) {
  const ModuleCase &c = GetParam();
  BridgeBench bench(BridgeConfig{}, c.pid);
  bench.Open();
  bench.ctx().module_type = c.module_type;
  bench.ctx().sensor_info.sensor.cols = 80;
  bench.ctx().sensor_info.sensor.rows = 128;
  g_sensor_width = g_sensor_height = 160;

  ASSERT_EQ(zq_sensorbase_TryToInitSensor(), 0);
  EXPECT_EQ(g_sensor_type, c.type);
  EXPECT_EQ(g_sensor_width, c.w);
  EXPECT_EQ(g_sensor_height, c.h);
  EXPECT_EQ(g_reset_delay, 160);
  EXPECT_EQ(g_fw_image, nullptr) << "no bridge image";
  EXPECT_TRUE(Transfers(bench.device().Log()).empty());
}

INSTANTIATE_TEST_SUITE_P(Products, ModuleDetection,
                         ::testing::Values(ModuleCase{"Module1", 0x3b17, 1, 10, 128, 80},
                                           ModuleCase{"Module2", 0x3b11, 2, 11, 80, 128}),
                         [](const auto &info) { return info.param.name; });

}  // namespace
