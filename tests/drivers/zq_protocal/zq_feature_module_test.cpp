// The feature layer on the modules with an MCU of their own, against the
// emulated modules: detection and sensor information, finger queries with
// the module-type-2 resume logic, capture (size and orientation), the
// clear-image step, work modes and the health check.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/wire.h"
#include "drivers/chips/zq4846/zq4846.h"
#include "framework/capture_flags.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_sensor_detect.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "module_emul/moc_model.h"
#include "module_emul/module_test_util.h"
#include "module_emul/zq4846_model.h"

namespace {

using module_emul::Request;
using Bytes = std::vector<uint8_t>;

Bytes Ramp(size_t n, uint8_t first) {
  Bytes v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

std::vector<uint8_t> Commands(const std::vector<Request> &requests, size_t from = 0) {
  std::vector<uint8_t> out;
  for (size_t i = from; i < requests.size(); ++i) out.push_back(requests[i].command);
  return out;
}

// --- module type 1 --------------------------------------------------------------------

// Product 0x3b17 detected and its sensor information in the context, as the
// sensor initialisation leaves them.
class Module1 : public ::testing::Test {
 protected:
  void SetUp() override {
    bench_.Open();
    ASSERT_EQ(zq_sensorbase_TryToInitSensor(), 0);
    ASSERT_EQ(g_sensor_type, ZQ_SENSOR_ZQ4843W);
    ASSERT_EQ(zq_sensorbase_GetSensorInfo(&bench_.ctx().sensor_info), 0);
  }
  std::shared_ptr<module_emul::MocModel> model_ = std::make_shared<module_emul::MocModel>();
  bridge_emul::BridgeBench bench_{model_, module_emul::kMocProduct, 1};
};

TEST_F(Module1, SensorInfoTakesTheHighByteOfTheFirmwareVersion) {
  const zq_sensor_info_t &info = bench_.ctx().sensor_info;
  EXPECT_EQ(info.fw_version, 0x01);
  EXPECT_EQ(info.sensor.cols, 128);
  EXPECT_EQ(info.sensor.rows, 80);
  EXPECT_EQ(info.sensor_type, 10u);
}

TEST_F(Module1, APressIsAFingerAndItsFrameComesInTheModulesHalfOrder) {
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0);
  Bytes image = Ramp(128 * 80, 3);
  model_->Press(image);
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 2);

  Bytes buf(128 * 80 + 2, 0xEE);
  ASSERT_EQ(zq_sensorbase_CaptureImage(buf.data()), 0);
  EXPECT_EQ(buf[0], 0xEE) << "the frame starts 2 bytes in";
  Bytes frame(buf.begin() + 2, buf.end());
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 64), Bytes(image.begin(), image.begin() + 64))
      << "left half of row 0 first";
  EXPECT_EQ(Bytes(frame.begin() + 64, frame.begin() + 128),
            Bytes(image.begin() + 128, image.begin() + 192))
      << "then the left half of row 1";
  ASSERT_EQ(zq_MergeImage(frame.data()), 0);
  EXPECT_EQ(frame, image);
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0) << "the capture consumed the press";
}

TEST_F(Module1, HealthCheckResetsTheUsbDeviceAndTheModule) {
  ASSERT_EQ(zq_sensorbase_esdcheck_HealthCheck(), 0);
  EXPECT_EQ(model_->Resets(), 1u);
  EXPECT_EQ(model_->SoftResets(), 1u);
}

// --- module type 2 --------------------------------------------------------------------

class Module2 : public ::testing::Test {
 protected:
  explicit Module2(uint16_t pid = 0x3b11)
      : model_(std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(pid))),
        bench_(model_, pid, 2) {}
  void SetUp() override {
    bench_.Open();
    bench_.ctx().sensor_info.sensor.cols = 80;
    bench_.ctx().sensor_info.sensor.rows = 128;
    ASSERT_EQ(zq_sensorbase_TryToInitSensor(), 0);
    ASSERT_EQ(g_sensor_type, ZQ_SENSOR_MODULE2);
    ASSERT_EQ(zq_sensorbase_GetSensorInfo(&bench_.ctx().sensor_info), 0);
  }
  std::vector<Request> Sent() { return model_->Requests(); }

  std::shared_ptr<module_emul::Zq4846Model> model_;
  bridge_emul::BridgeBench bench_;
};

fingers::Frame GrayFrame(int w, int h, uint8_t first) {
  fingers::Frame f;
  f.width = w;
  f.height = h;
  f.gray = Ramp(static_cast<size_t>(w) * h, first);
  return f;
}

TEST_F(Module2, SensorInfoAsksTheModuleAndSkipsTheClearAfterAResume) {
  const zq_sensor_info_t &info = bench_.ctx().sensor_info;
  EXPECT_EQ(info.chip_id, 0x4843);
  EXPECT_EQ(info.sensor.cols, 80);
  EXPECT_EQ(info.sensor.rows, 128);
  EXPECT_EQ(info.fw_version, 0);
  EXPECT_EQ(Commands(Sent()), (std::vector<uint8_t>{0x80, 0x80, 0x80}))
      << "g_resumed_from_sleep is 1 at load: no clear-image step";
}

TEST_F(Module2, ResumeLogicOfTheFingerQuery) {
  // After a resume with an identification error pending.
  g_resumed_from_sleep = 1;
  g_identify_error = 1;
  size_t mark = Sent().size();
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0);
  EXPECT_EQ(Sent().size(), mark) << "the first query asks nothing";
  EXPECT_EQ(g_identify_error.load(), 0);
  EXPECT_EQ(isNeedClearImgFirst.load(), 0);

  // Three empty queries keep the resume; the fourth ends it.
  for (int i = 1; i <= 4; ++i) {
    mark = Sent().size();
    EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0);
    EXPECT_EQ(Commands(Sent(), mark), std::vector<uint8_t>{0x80}) << "query " << i;
    EXPECT_EQ(g_resumed_from_sleep.load(), i < 4 ? 1 : 0) << "query " << i;
  }
  EXPECT_EQ(isNeedClearImgFirst.load(), 1);

  // The ATC comes back once the polls after the resume ran out.
  std::vector<std::vector<uint8_t>> per_query;
  for (int i = 0; i < 3; ++i) {
    mark = Sent().size();
    EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 0);
    per_query.push_back(Commands(Sent(), mark));
  }
  EXPECT_EQ(per_query, (std::vector<std::vector<uint8_t>>{{0x80}, {0x80}, {0x37, 0x80}}));
  EXPECT_EQ(model_->Atc(), 0);

  // A finger ends everything.
  model_->Press(GrayFrame(80, 128, 0));
  EXPECT_EQ(zq_feature_devinit_QueryFpOnSensor(), 2);
  EXPECT_EQ(isFirstTouch, 0);
  EXPECT_EQ(wait_3_times, 0);
}

TEST_F(Module2, CaptureDeliversTheFrameAndReportsAFailedScan) {
  fingers::Frame f = GrayFrame(80, 128, 9);
  model_->Press(f);
  Bytes buf(80 * 128 + 2, 0xEE);
  ASSERT_EQ(zq_sensorbase_CaptureImage(buf.data()), 0);
  EXPECT_EQ(Bytes(buf.begin() + 2, buf.end()), f.gray);

  model_->FailNext(0x05);
  EXPECT_EQ(zq_sensorbase_CaptureImage(buf.data()), -11) << "not a black frame passed as good";
}

TEST_F(Module2, WorkModesSendNothingAndHealthCheckAsksIfAlive) {
  size_t mark = Sent().size();
  EXPECT_EQ(zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR), 0);
  EXPECT_EQ(Sent().size(), mark);
  EXPECT_EQ(bridge_emul::Transfers(bench_.device().Log()).size(), 6u)
      << "the three sensor-information commands, nothing more";

  ASSERT_EQ(zq_sensorbase_esdcheck_HealthCheck(), 0);
  EXPECT_EQ(Commands(Sent(), mark), std::vector<uint8_t>{0x34});
  EXPECT_EQ(model_->Resets(), 1u);
}

TEST_F(Module2, ClearImageDropsAFrameWithTheAtcOff) {
  isNeedClearImgFirst = 0;
  size_t mark = Sent().size();
  zq_feature_devinit_ClearImg();
  EXPECT_EQ(Sent().size(), mark) << "nothing to clear";
  EXPECT_EQ(isNeedClearImgFirst.load(), 1);

  model_->Press(GrayFrame(80, 128, 1));
  zq_feature_devinit_ClearImg();
  EXPECT_EQ(Commands(Sent(), mark), (std::vector<uint8_t>{0x37, 0x81}));
  EXPECT_EQ(model_->Atc(), 0);
  EXPECT_EQ(model_->PendingPresses(), 0u) << "the stale frame is gone";
}

class Module2Of4845 : public Module2 {
 protected:
  Module2Of4845() : Module2(0x3b15) {}
};

TEST_F(Module2Of4845, ClearImageSendsTheClearCommandAndSwitchesTheAtcOn) {
  size_t mark = Sent().size();
  isNeedClearImgFirst = 1;
  zq_feature_devinit_ClearImg();
  EXPECT_EQ(Commands(Sent(), mark), (std::vector<uint8_t>{0x82, 0x37}));
  EXPECT_EQ(model_->Clears(), 1u);
  EXPECT_EQ(model_->Atc(), 1);
}

}  // namespace
