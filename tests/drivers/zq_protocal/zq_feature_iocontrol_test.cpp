// The factory and test entry against the emulated bridge, 4847 chip and
// module type 1, with the recording sensor-library stand-in: the ignored
// commands, size and information records, the download command, the pin and
// dead-pixel tests through the dispatcher, the touch count on a virtual
// clock and the scene test's library chain.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "bridge_emul/wire.h"
#include "module_emul/moc_model.h"
#include "drivers/zq_protocal/zq_feature_iocontrol.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "support/sensorlib_standin.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The 4847 behind the bridge, as the detection leaves it: type 4, 64 x 80.
struct Open4847 {
  zq4847_test::BridgeBus bus;
  Open4847() {
    g_sensor_type = ZQ_SENSOR_ZQ4847W;
    g_sensor_width = 64;
    g_sensor_height = 80;
    bus.bench().device().ClearLog();
  }
  size_t Transfers() { return bridge_emul::Transfers(bus.bench().device().Log()).size(); }
};

TEST(FactoryEntry, UnknownCommandsReturnZeroWithoutTouchingDataOrDevice) {
  Open4847 dev;
  for (int command : {0, 1, 2, 3, 4, 12, 13, 200, 255}) {
    Bytes data(64, 0xA5);
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(static_cast<unsigned char>(command),
                                                   data.data(), data.size()),
              0)
        << command;
    EXPECT_EQ(data, Bytes(64, 0xA5)) << command;
  }
  EXPECT_EQ(dev.Transfers(), 0u);
}

TEST(FactoryEntry, SensorSizeIsTwoBytesTruncated) {
  Open4847 dev;
  uint8_t size[2] = {};
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(5, size, 2), 0);
  EXPECT_EQ(size[0], 64);
  EXPECT_EQ(size[1], 80);
  g_sensor_width = 300;  // 8 bits each
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(5, size, 2), 0);
  EXPECT_EQ(size[0], 300 & 0xFF);
  for (unsigned char command : {5, 6, 7})
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(command, nullptr, 0), -201) << int(command);
  EXPECT_EQ(dev.Transfers(), 0u);
}

// The 44-byte record: fw, chip id (bridge version), cols, rows, type, text.
Bytes Record(uint16_t fw, uint16_t bridge, uint16_t w, uint16_t h, uint32_t type) {
  Bytes r(44, 0);
  r[0] = fw & 0xFF, r[1] = fw >> 8, r[2] = bridge & 0xFF, r[3] = bridge >> 8;
  r[4] = w & 0xFF, r[5] = w >> 8, r[6] = h & 0xFF, r[7] = h >> 8;
  for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<uint8_t>(type >> (8 * i));
  std::memcpy(r.data() + 12, "v1.2.3.35", 9);
  return r;
}

TEST(FactoryEntry, SensorInfoPerType) {
  Open4847 dev;
  Bytes info(44, 0xEE);
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(6, info.data(), 44), 0);
  EXPECT_EQ(info, Record(0x13, 526, 64, 80, 4)) << "fw from status byte 21, the bridge version";

  g_sensor_type = ZQ_SENSOR_MODULE2;
  dev.bus.bench().device().ClearLog();
  std::fill(info.begin(), info.end(), 0xEE);
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(6, info.data(), 44), 0);
  EXPECT_EQ(info, Record(0, 0, 64, 80, 11));
  EXPECT_EQ(dev.Transfers(), 0u) << "module type 2: nothing is read";
}

TEST(FactoryEntry, SensorInfoStopsAtAFailingStepWithTheRecordZeroed) {
  Open4847 dev;
  dev.bus.bench().model().Set4847(nullptr);  // 0x6F stalls
  Bytes info(44, 0xEE);
  EXPECT_LT(zq_feature_iocontrol_OnMultiDistrute(6, info.data(), 44), 0);
  EXPECT_EQ(info, Bytes(44, 0));
}

TEST(FactoryEntry, DownloadOnThe4847ReportsDoneWithoutADownload) {
  Open4847 dev;
  uint8_t done = 0;
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(7, &done, 1), 0);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(dev.Transfers(), 0u);
}

// A firmware-running 4842 bridge (96 x 96), as the detection leaves it.
struct OpenBridge {
  bridge_emul::BridgeBench bench;
  explicit OpenBridge(bridge_emul::BridgeConfig config = {}) : bench(config) {
    bench.Open();
    g_sensor_type = ZQ_SENSOR_ZQ4842W;
    g_boot_edition = ZQ_BOOT_EDITION_A;
    EXPECT_EQ(zq_feature_devinit_CreateSensor(), 0);
    bench.device().ClearLog();
  }
};

TEST(FactoryEntry, SensorInfoOfABridgeSensorReadsItsFirmwareRegister) {
  OpenBridge dev;
  Bytes info(44, 0xEE);
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(6, info.data(), 44), 0);
  EXPECT_EQ(info, Record(0x30, 526, 96, 96, 2));
  EXPECT_EQ(dev.bench.model().Register(0x76), 1) << "back in SENSOR mode afterwards";
}

TEST(FactoryEntry, DownloadRunsTheMcuConfigurationEvenAfterAFailedDownload) {
  struct Case {
    std::string name;
    bool app_starts;
    bool stall_register_writes;
    bool failed;
    uint8_t done;
  } cases[] = {
      {"download and configuration", true, false, false, 1},
      {"the image never runs", false, false, true, 0},
      {"the configuration fails", true, true, true, 0},
  };
  for (const Case &c : cases) {
    bridge_emul::BridgeConfig config;
    config.app_starts = c.app_starts;
    OpenBridge dev(config);
    if (c.stall_register_writes) dev.bench.model().StallRequest(0x3B);
    uint8_t done = 0xEE;
    const int r = zq_feature_iocontrol_OnMultiDistrute(7, &done, 1);
    EXPECT_EQ(r != 0, c.failed) << c.name << ": " << r;
    EXPECT_EQ(done, c.done) << c.name;
    if (!c.stall_register_writes) {
      EXPECT_EQ(dev.bench.model().Register(0x41), 0x0F) << c.name << ": MCU configuration ran";
    }
  }
}

TEST(FactoryEntry, PinTestOnThe4847RunsThroughTheFactoryModes) {
  Open4847 dev;
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(8, nullptr, 0), 0);
  EXPECT_EQ(dev.bus.chip().HardwareResets(), 1u) << "the reset test ran";
  EXPECT_EQ(dev.bus.chip().FactoryExits(), 1u);
}

TEST(FactoryEntry, ModuleType1AnswersThroughItsOwnCommands) {
  auto model = std::make_shared<module_emul::MocModel>();
  model->SetVersion(0x34, 0x12);
  bridge_emul::BridgeBench bench(model, 0x3b17, 1);
  bench.Open();
  g_sensor_type = ZQ_SENSOR_ZQ4843W;
  g_sensor_width = 128;
  g_sensor_height = 80;
  Bytes info(44, 0xEE);
  ASSERT_EQ(zq_feature_iocontrol_OnMultiDistrute(6, info.data(), 44), 0);
  EXPECT_EQ(info, Record(0x12, 0, 128, 80, 10)) << "the version's high byte";
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(8, nullptr, 0), 0);
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(9, nullptr, 0), 0);
  model->KillInterrupt(2);
  EXPECT_NE(zq_feature_iocontrol_OnMultiDistrute(8, nullptr, 0), 0);
}

TEST(FactoryEntry, PinAndDeadPixelTestsPassWithoutTrafficOnModuleType2) {
  Open4847 dev;
  g_sensor_type = ZQ_SENSOR_MODULE2;
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(8, nullptr, 0), 0);
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(9, nullptr, 0), 0);
  EXPECT_EQ(dev.Transfers(), 0u);
}

TEST(FactoryEntry, DeadPixelTestOnThe4847UsesTheSensorSize) {
  // 51 counted pixels (rows 2 on, columns 2 to 61) read 300 in frame A.
  std::set<int> bad;
  for (int i = 128; bad.size() < 51; ++i)
    if (i % 64 >= 2 && i % 64 <= 61) bad.insert(i);
  for (size_t count : {50u, 51u}) {
    Open4847 dev;
    std::set<int> these(bad.begin(), std::next(bad.begin(), static_cast<long>(count)));
    dev.bus.chip().SetRawFrames([these](unsigned frame, uint8_t dac) {
      std::vector<uint16_t> s(64 * 80);
      for (int i = 0; i < 64 * 80; ++i)
        s[i] = static_cast<uint16_t>(1000 + (0x80 - dac) * 500 + (i * 7u + frame * 13u) % 11u -
                                     (these.count(i) ? 700 : 0));
      return s;
    });
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(9, nullptr, 0), count == 51 ? -1 : 0) << count;
    EXPECT_EQ(dev.bus.chip().FactoryExits(), 1u);
  }
}

TEST(FactoryEntry, TouchCountTimesOutOnTheVirtualClock) {
  struct Case {
    std::string name;
    Bytes data;
    unsigned long length;
    uint64_t limit_ms;
  } cases[] = {
      {"3 touches within 2 s", {3, 2}, 2, 2000},
      {"length 1 ignores the data: 5 within 10 s", {3, 2}, 1, 10000},
  };
  for (const Case &c : cases) {
    Open4847 dev;
    const uint64_t start = dev.bus.bench().clock().NowMs();
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(11, const_cast<uint8_t *>(c.data.data()),
                                                   c.length),
              -1)
        << c.name;
    const uint64_t waited = dev.bus.bench().clock().NowMs() - start;
    EXPECT_GT(waited, c.limit_ms) << c.name;
    EXPECT_LE(waited, c.limit_ms + 40) << c.name << ": polls 20 ms apart";
  }
}

TEST(FactoryEntry, TouchCountCountsFingerAnswers) {
  struct Case {
    std::string name;
    Bytes data;
    bool finger;
    uint32_t log_level;
    int result;
  } cases[] = {
      {"three touches", {3, 2}, true, 0, 0},
      {"whatever the log threshold", {3, 2}, true, 6, 0},
      {"a count of 0 passes after one poll", {0, 1}, false, 0, 0},
  };
  for (const Case &c : cases) {
    Open4847 dev;
    dev.bus.chip().SetFinger(c.finger);
    const uint32_t level = g_base_log_level;
    g_base_log_level = c.log_level;
    const uint64_t start = dev.bus.bench().clock().NowMs();
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(11, const_cast<uint8_t *>(c.data.data()), 2),
              c.result)
        << c.name;
    g_base_log_level = level;
    EXPECT_LT(dev.bus.bench().clock().NowMs() - start, 100u) << c.name;
  }
}

TEST(FactoryEntry, AFailedFingerPollEndsTheTouchCountWith205) {
  Open4847 dev;
  dev.bus.bench().model().StallRequest(0x43);
  uint8_t data[2] = {3, 2};
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(11, data, 2), -205);
}

TEST(FactoryEntry, SceneTestRunsTheLibraryChainAndRestoresTheSettings) {
  Open4847 dev;
  sensorlib_standin::Reset();
  dev.bus.chip().SetFinger(true);
  Bytes raw(64 * 80, 0);
  dev.bus.bench().ctx().raw_image = raw.data();
  dev.bus.bench().ctx().sensor_info.sensor.cols = 64;
  dev.bus.bench().ctx().sensor_info.sensor.rows = 80;
  Bytes image(64 * 80);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 3);
  dev.bus.chip().SetImage(image);
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(10, nullptr, 0), 0);
  EXPECT_EQ(raw, image) << "the captured frame, from 2 bytes into the capture buffer";
  EXPECT_EQ(sensorlib_standin::Calls(),
            (std::vector<std::string>{
                "quorv_SetImageQualityScore(30)", "quorv_SetImageValidAreaScale(0.6)",
                "quorv_EnrollNonFingerDetect(0)", "quorv_Init_frr_far()", "quorv_DelFinger(1)",
                "quorv_DelFinger(2)", "quorv_DelFinger(3)", "quorv_DelFinger(4)",
                "quorv_SendImageAndGetQualityArea()", "quorv_Enroll_frr_far()",
                "quorv_SetTplValid(0)", "quorv_Identify_frr_far()",
                "quorv_SetImageQualityScore(30)", "quorv_SetImageValidAreaScale(0.8)",
                "quorv_EnrollNonFingerDetect(0)"}));
  dev.bus.bench().ctx().raw_image = nullptr;
}

TEST(FactoryEntry, SceneTestStopsAtTheFirstLibraryFailureAndStillRestoresTheSettings) {
  struct Case {
    std::string name;
    int sensorlib_standin::Script::*step;
    std::string last_call;
  } cases[] = {
      {"init", &sensorlib_standin::Script::init_frr_far, "quorv_Init_frr_far()"},
      {"quality", &sensorlib_standin::Script::quality_area, "quorv_SendImageAndGetQualityArea()"},
      {"enrol", &sensorlib_standin::Script::enroll_frr_far, "quorv_Enroll_frr_far()"},
      {"save", &sensorlib_standin::Script::set_tpl_valid, "quorv_SetTplValid(0)"},
      {"identify", &sensorlib_standin::Script::identify_frr_far, "quorv_Identify_frr_far()"},
  };
  for (const Case &c : cases) {
    Open4847 dev;
    sensorlib_standin::Reset();
    sensorlib_standin::script().*c.step = -7;
    dev.bus.chip().SetFinger(true);
    Bytes raw(64 * 80, 0);
    dev.bus.bench().ctx().raw_image = raw.data();
    dev.bus.bench().ctx().sensor_info.sensor.cols = 64;
    dev.bus.bench().ctx().sensor_info.sensor.rows = 80;
    EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(10, nullptr, 0), -7) << c.name;
    std::vector<std::string> tail = sensorlib_standin::CallsFrom(c.last_call);
    EXPECT_EQ(tail, (std::vector<std::string>{c.last_call, "quorv_SetImageQualityScore(30)",
                                              "quorv_SetImageValidAreaScale(0.8)",
                                              "quorv_EnrollNonFingerDetect(0)"}))
        << c.name;
    dev.bus.bench().ctx().raw_image = nullptr;
  }
}

TEST(FactoryEntry, SceneTestWithoutARawImageBufferPassesWithoutTheLibraryChain) {
  Open4847 dev;
  sensorlib_standin::Reset();
  dev.bus.chip().SetFinger(true);
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(10, nullptr, 0), 0);
  EXPECT_TRUE(sensorlib_standin::CallsStartingWith("quorv_Init_frr_far").empty());
  EXPECT_EQ(sensorlib_standin::Calls().size(), 6u) << "the settings, set and restored";
}

TEST(FactoryEntry, SceneTestWithoutAFingerTimesOutAfterThirtySeconds) {
  Open4847 dev;
  sensorlib_standin::Reset();
  const uint64_t start = dev.bus.bench().clock().NowMs();
  EXPECT_EQ(zq_feature_iocontrol_OnMultiDistrute(10, nullptr, 0), -1);
  EXPECT_GT(dev.bus.bench().clock().NowMs() - start, 30000u);
  EXPECT_TRUE(sensorlib_standin::Calls().empty());
}

}  // namespace
