// The feature layer on the bridge sensors and the 4847 against the emulated
// bridge: finger queries, frame capture and its recovery, work modes, the
// return to idle, the health check and the factory interrupt-pin test.
#include <gtest/gtest.h>
#include <libusb.h>

#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/wire.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "zq_protocal/wire_filter.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BridgeConfig;
using bridge_emul::BridgeModel;
using bridge_emul::BulkIn;
using bridge_emul::Transfers;
using bridge_emul::VendorIn;
using bridge_emul::VendorOut;
using usb_emul::LogEntry;
using zq_test::Bytes;
using zq_test::Count;
using zq_test::SleepsMs;

void Select(int type) {
  g_sensor_type = type;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
}

// The bridge in its low-power finger wait, as the end of a capture leaves it.
void Wait(BridgeModel &m) {
  ASSERT_EQ(zq_interface_base_WriteRegister(0x1F, 1), 0);
  ASSERT_EQ(zq_interface_base_WriteRegister(0x1E, 1), 0);
  ASSERT_TRUE(m.LowPower());
}

std::vector<LogEntry> Wire(BridgeBench &b) { return Transfers(b.device().Log()); }

// --- finger query on the bridge ------------------------------------------------------

struct QueryCase {
  std::string name;
  BridgeConfig config;
  std::function<void(BridgeBench &)> prepare;
  int answer;
  std::vector<LogEntry> wire;  // empty: not checked
};

void PrintTo(const QueryCase &c, std::ostream *os) { *os << c.name; }

BridgeConfig PinIdleHigh() {
  BridgeConfig c;
  c.pin_idle_high = true;
  return c;
}

std::vector<QueryCase> QueryCases() {
  return {
      {"PinLowAnswersAfterOneRequest", {}, {}, 0, {VendorIn(0x43, 0, 1, {0})}},
      {"PinHighFlagA0IsAFinger", PinIdleHigh(),
       [](BridgeBench &b) { b.model().SetRegister(0x1D, 0xA0); }, 2,
       {VendorIn(0x43, 0, 1, {1}), VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A}),
        VendorIn(0x3A, 0x1D, 1, {0xA0})}},
      {"APressWakesTheWaitingBridge", {},
       [](BridgeBench &b) {
         Wait(b.model());
         b.model().Press(Bytes(96 * 96, 10));
         b.device().ClearLog();
       },
       2, {}},
      {"PinHighWhileBusyIsAnError", {},
       [](BridgeBench &b) {
         Wait(b.model());
         b.model().Press(Bytes(96 * 96, 10));
         b.model().SetAppRunning(false);
         b.device().ClearLog();
       },
       -1, {VendorIn(0x43, 0, 1, {1}), VendorIn(0x3A, 0x20, 2, {0, 0})}},
      {"PinHighWithoutFlagGoesToQuickSensor", PinIdleHigh(), {}, 0,
       {VendorIn(0x43, 0, 1, {1}), VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A}),
        VendorIn(0x3A, 0x1D, 1, {0}), VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A}),
        VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A}), VendorOut(0x3B, 2, 0x76), VendorOut(0x3B, 1, 0x54),
        VendorIn(0x3A, 0x20, 2, {0, 0})}},
      {"PinReadFailureIsReturned", {},
       [](BridgeBench &b) { b.model().StallRequest(0x43); }, LIBUSB_ERROR_PIPE, {}},
  };
}

class BridgeQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(BridgeQuery, Answers) {
  const QueryCase &c = GetParam();
  BridgeBench bench(c.config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W);
  bench.device().ClearLog();
  if (c.prepare) c.prepare(bench);
  run_loop_cnt = 0;

  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), c.answer);
  if (!c.wire.empty()) {
    EXPECT_EQ(Wire(bench), c.wire);
  }
  EXPECT_EQ(run_loop_cnt, 1);
  EXPECT_EQ(bench.model().Resets(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, BridgeQuery, ::testing::ValuesIn(QueryCases()),
                         [](const auto &info) { return info.param.name; });

// --- capture -------------------------------------------------------------------------

TEST(Capture, A64x80FrameReads5122BytesAndInvertsThePixels) {
  BridgeConfig config;
  config.width = 64;
  config.height = 80;
  BridgeBench bench(config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4844W);
  Bytes image(64 * 80);
  std::iota(image.begin(), image.end(), 0);  // covers 255, sent as raw 0x00
  Wait(bench.model());
  bench.model().Press(image);
  bench.device().ClearLog();
  bench.clock().ClearSleeps();

  Bytes buf(64 * 80 + 2, 0xEE);
  ASSERT_EQ(zq_sensorbase_CaptureImage(buf.data()), 0);

  EXPECT_EQ(Bytes(buf.begin() + 2, buf.end()), image);
  std::vector<LogEntry> wire = Wire(bench);
  ASSERT_GE(wire.size(), 4u);
  EXPECT_EQ(wire[0], VendorOut(0x34, 0xFF, 0));
  EXPECT_EQ(wire[1], VendorOut(0x34, 3, 0));
  EXPECT_EQ(wire[2], VendorOut(0x35, 5122, 0x3400));
  EXPECT_EQ(wire[3].data.size(), 5122u);
  std::vector<unsigned> sleeps = SleepsMs(bench);
  ASSERT_GE(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[0], 2u);
  EXPECT_EQ(sleeps[1], 1u);
  EXPECT_EQ(bench.model().Register(0x76), 1) << "back to the finger wait";
  EXPECT_TRUE(bench.model().LowPower());
  EXPECT_EQ(bench.model().PendingPresses(), 0u) << "one press, one capture";
}

TEST(Capture, AFailedBridgeReadRunsTheHealthCheckAndFails) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W);
  bench.model().FailNextBulkIn();

  Bytes buf(96 * 96 + 2);
  EXPECT_EQ(zq_sensorbase_CaptureImage(buf.data()), LIBUSB_ERROR_PIPE);
  EXPECT_EQ(bench.model().Resets(), 2u) << "the failed transfer's and the health check's";
  EXPECT_EQ(bench.model().Register(0x76), 1) << "the health check ends in the finger wait";
}

// A 4847 whose status block is fine and whose image read does `image`.
void Install4847(BridgeModel &m, std::optional<Bytes> image) {
  m.Set4847([image](uint16_t selector, uint16_t n) -> std::optional<Bytes> {
    if (selector == 0x9080) return image;
    Bytes b(n, 0);
    if (n == 32) b[1] = b[2] = 0x11;
    return b;
  });
}

TEST(Capture, The4847FrameIsPassedOnAsRead) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4847W);
  Bytes image(64 * 80);
  std::iota(image.begin(), image.end(), 7);
  Install4847(bench.model(), image);
  Bytes buf(64 * 80 + 2, 0xEE);
  ASSERT_EQ(zq_sensorbase_CaptureImage(buf.data()), 0);
  EXPECT_EQ(Bytes(buf.begin() + 2, buf.end()), image);
}

TEST(Capture, AFailed4847ReadIsAFailureAndLeavesNoStaleFrame) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4847W);
  Install4847(bench.model(), std::nullopt);
  Bytes buf(64 * 80 + 2, 0xEE);
  EXPECT_EQ(zq_sensorbase_CaptureImage(buf.data()), LIBUSB_ERROR_PIPE);
  EXPECT_EQ(Bytes(buf.begin() + 2, buf.end()), Bytes(64 * 80, 0));
}

TEST(Query4847, FingerIsBytesOneAndTwoOfTheStatusBlockBehindAHighPin) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4847W);
  Install4847(bench.model(), Bytes(64 * 80));
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0) << "pin low";
  Wait(bench.model());
  bench.model().Press(Bytes(96 * 96));
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 2);
}

// --- work modes ----------------------------------------------------------------------

struct ModeCase {
  std::string name;
  BridgeConfig config;
  std::function<void(BridgeBench &)> prepare;
  int mode;
  uint8_t recorded;  // register 0x76 afterwards
  bool low_power;
  std::vector<LogEntry> wire;  // empty: not checked
};

void PrintTo(const ModeCase &c, std::ostream *os) { *os << c.name; }

BridgeConfig NoLowPower() {
  BridgeConfig c;
  c.low_power_supported = false;
  return c;
}

const LogEntry kRunning = VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A});
const LogEntry kBusy = VendorIn(0x3A, 0x20, 2, {0, 0});

std::vector<ModeCase> ModeCases() {
  return {
      {"SensorEntersTheFingerWait", {}, {}, BQ_WORK_MODE_SENSOR, 1, true,
       {kRunning, VendorOut(0x3B, 1, 0x76), VendorOut(0x3B, 1, 0x1F), VendorOut(0x3B, 1, 0x1E),
        VendorIn(0x3A, 0x1D, 1, {0}), kBusy}},
      {"QuickWhileTheAppStillAnswersIsUndone", NoLowPower(), {}, BQ_WORK_QUICK_SENSOR, 0, false,
       {kRunning, VendorOut(0x3B, 2, 0x76), VendorOut(0x3B, 1, 0x54), kRunning,
        VendorOut(0x3B, 0, 0x76)}},
      {"SensorFromABusyBridgeReturnsToIdleFirst", {},
       [](BridgeBench &b) {
         Wait(b.model());
         ASSERT_EQ(zq_interface_base_WriteRegister(0x76, 1), 0);
         b.device().ClearLog();
       },
       BQ_WORK_MODE_SENSOR, 1, true,
       {kBusy, VendorOut(0x22, 0x70, 0x70), VendorOut(0x22, 0x70, 0x70),
        VendorIn(0x3A, 0x76, 1, {1}), VendorOut(0x3B, 0, 0x1E), VendorOut(0x3B, 0, 0x1F),
        VendorOut(0x3B, 1, 0x76), VendorOut(0x3B, 1, 0x1F), VendorOut(0x3B, 1, 0x1E),
        VendorIn(0x3A, 0x1D, 1, {0}), kBusy}},
      {"PoaWritesTheModeTrigger", NoLowPower(), {}, BQ_WORK_MODE_POA, 0, false,
       {kRunning, VendorOut(0x3B, 3, 0x76), VendorOut(0x3B, 0x20, 0x00), kRunning,
        VendorOut(0x3B, 0, 0x76)}},
      {"Module2SendsNothing", {}, [](BridgeBench &b) { b.ctx().module_type = 2; },
       BQ_WORK_MODE_SENSOR, 0, false, {}},
  };
}

class WorkMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(WorkMode, SwitchesAndConfirms) {
  const ModeCase &c = GetParam();
  BridgeBench bench(c.config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W);
  if (c.prepare) c.prepare(bench);
  std::vector<LogEntry> before = Wire(bench);

  EXPECT_EQ(zq_feature_devinit_SwitchNextSensorWorkMode(c.mode), 0);
  EXPECT_EQ(bench.model().Register(0x76), c.recorded);
  EXPECT_EQ(bench.model().LowPower(), c.low_power);
  std::vector<LogEntry> wire = Wire(bench);
  wire.erase(wire.begin(), wire.begin() + static_cast<long>(before.size()));
  EXPECT_EQ(wire, c.wire);
}

INSTANTIATE_TEST_SUITE_P(Modes, WorkMode, ::testing::ValuesIn(ModeCases()),
                         [](const auto &info) { return info.param.name; });

// Recorded mode, and whether it is left by clearing 0x1E and 0x1F.
class ReturnIdle : public ::testing::TestWithParam<std::pair<uint8_t, bool>> {};

TEST_P(ReturnIdle, OnlySensorModeAndUnknownValuesAreLeftExplicitly) {
  const auto [recorded, leaves] = GetParam();
  BridgeBench bench;
  bench.Open();
  bench.model().SetRegister(0x76, recorded);
  ASSERT_EQ(zq_feature_devinit_ReturnIdleMode(), 0);
  EXPECT_EQ(Count(bench, 0x3B), leaves ? 2u : 0u);
  EXPECT_EQ(SleepsMs(bench), leaves ? (std::vector<unsigned>{5, 10}) : std::vector<unsigned>{5});
}

INSTANTIATE_TEST_SUITE_P(Modes, ReturnIdle,
                         ::testing::Values(std::pair<uint8_t, bool>{0, true},
                                           std::pair<uint8_t, bool>{1, true},
                                           std::pair<uint8_t, bool>{2, false},
                                           std::pair<uint8_t, bool>{3, false},
                                           std::pair<uint8_t, bool>{4, false},
                                           std::pair<uint8_t, bool>{9, true}),
                         [](const auto &info) { return "Recorded" + std::to_string(info.param.first); });

TEST(HealthCheck, ResetsTheUsbDeviceChecksTheFirmwareAndWaitsForAFinger) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W);
  ASSERT_EQ(zq_sensorbase_esdcheck_HealthCheck(), 0);
  EXPECT_EQ(bench.model().Resets(), 1u);
  EXPECT_EQ(bench.model().Register(0x41), 0x0F) << "the MCU configuration ran";
  EXPECT_EQ(bench.model().Register(0x76), 1);
  EXPECT_TRUE(bench.model().LowPower());
}

TEST(HealthCheck, The4847LeavesPoaByReadingItsBlocks) {
  BridgeBench bench;
  bench.Open();
  Select(ZQ_SENSOR_ZQ4847W);
  Install4847(bench.model(), Bytes(6));
  ASSERT_EQ(zq_sensorbase_esdcheck_HealthCheck(), 0);
  std::vector<std::pair<uint16_t, uint16_t>> reads = zq_test::Setups(bench, 0x6F);
  using P = std::pair<uint16_t, uint16_t>;
  EXPECT_EQ(reads, (std::vector<P>{{0, 0xFF00}, {4, 0x9180}, {6, 0x9080}, {32, 0x9180}, {32, 0x9180}}));
}

// --- interrupt-pin test ------------------------------------------------------------------

struct PinCase {
  std::string name;
  std::function<void(BridgeConfig &)> config;
  int result;
  size_t pin_reads;
};

void PrintTo(const PinCase &c, std::ostream *os) { *os << c.name; }

class PinTest : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinTest, Result) {
  const PinCase &c = GetParam();
  BridgeConfig config;
  config.pin_idle_high = true;
  c.config(config);
  BridgeBench bench(config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W);
  EXPECT_EQ(zq_interface_base_FunctionforTestPin(), c.result);
  EXPECT_EQ(Count(bench, 0x43), c.pin_reads);
}

INSTANTIATE_TEST_SUITE_P(
    Factory, PinTest,
    ::testing::Values(
        PinCase{"PulseSeen", [](BridgeConfig &) {}, 0, 4},
        PinCase{"NotHighAtRest", [](BridgeConfig &c) { c.pin_idle_high = false; }, -1, 1},
        PinCase{"NeverPulledLow", [](BridgeConfig &c) { c.pin_test_low_reads = 0; }, -1, 2},
        PinCase{"NeverHighAgain", [](BridgeConfig &c) { c.pin_test_low_reads = 1000; }, -1, 102},
        PinCase{"McuBusy", [](BridgeConfig &c) { c.app_running = false; }, -16, 0}),
    [](const auto &info) { return info.param.name; });

}  // namespace
