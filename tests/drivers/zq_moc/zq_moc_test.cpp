// Module type 1 command set against the emulated module: request frames,
// replies, image re-ordering and the two factory tests.
#include "drivers/zq_moc/zq_moc.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/bq_error.h"
#include "bridge_emul/bridge_bench.h"
#include "fingers/synth_fingers.h"
#include "module_emul/moc_model.h"
#include "module_emul/module_test_util.h"
#include "support/stderr_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class MocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bench_.Open();
    bench_.ctx().sensor_info.sensor.cols = 128;
    bench_.ctx().sensor_info.sensor.rows = 80;
  }

  // The commands the module executed, by code.
  std::vector<uint8_t> Commands() const {
    std::vector<uint8_t> out;
    for (const module_emul::Request &r : model_->Requests()) out.push_back(r.command);
    return out;
  }

  std::shared_ptr<module_emul::MocModel> model_ = std::make_shared<module_emul::MocModel>();
  bridge_emul::BridgeBench bench_{model_, module_emul::kMocProduct, 1};
};

TEST_F(MocTest, EveryCommandSendsItsExactFrame) {
  struct Case {
    const char *name;
    std::function<int()> call;
    Bytes frame;
  };
  static Bytes image(128 * 80), raw(ZQ_MOC_RAW_FRAME_SIZE);
  static uint8_t dac[2];
  static uint16_t version;
  const uint8_t new_dac[2] = {0x7F, 0x81};
  const Case cases[] = {
      {"image", [] { return zq_GetFpImage(image.data()); }, {0x02, 0x00, 0x01, 0x35, 0x34}},
      {"raw", [] { return zq_GetRawData(raw.data()); }, {0x02, 0x00, 0x01, 0x36, 0x37}},
      {"get dac", [] { return zq_GetImageDAC(dac); }, {0x02, 0x00, 0x01, 0x37, 0x36}},
      {"set dac", [&] { return zq_SetImageDAC(new_dac); },
       {0x02, 0x00, 0x03, 0x38, 0x7F, 0x81, 0xC5}},
      {"init", [] { return zq_InitSensor(); }, {0x02, 0x00, 0x01, 0x3C, 0x3D}},
      {"clear irq", [] { return zq_ClearIRQBit(); }, {0x02, 0x00, 0x01, 0x44, 0x45}},
      {"status", [] { return zq_QueryDeviceStatus(); }, {0x02, 0x00, 0x01, 0x88, 0x89}},
      {"version", [] { return zq_GetFirmwareVersion(&version); }, {0x02, 0x00, 0x01, 0xB0, 0xB1}},
      {"soft reset", [] { return zq_ResetBySoft(); }, {0x02, 0x00, 0x01, 0xB1, 0xB0}},
  };
  for (const Case &c : cases) {
    bench_.device().ClearLog();
    EXPECT_EQ(c.call(), 0) << c.name;
    EXPECT_EQ(module_emul::SentFrames(bench_), std::vector<Bytes>{c.frame}) << c.name;
  }
  EXPECT_EQ(model_->Dac(), (std::array<uint8_t, 2>{0x7F, 0x81}));
  EXPECT_EQ(model_->Inits(), 1u);
  EXPECT_EQ(model_->IrqClears(), 1u);
  EXPECT_EQ(model_->SoftResets(), 1u);
}

TEST_F(MocTest, AModuleStatusIsReturnedUnchanged) {
  model_->FailNext(0x09);
  EXPECT_EQ(zq_InitSensor(), 9);
  model_->FailNext(0x07);
  EXPECT_EQ(zq_QueryDeviceStatus(), 7);
}

TEST_F(MocTest, FingerStatusFollowsThePresses) {
  EXPECT_EQ(zq_QueryDeviceStatus(), 0);
  model_->Press(Bytes(128 * 80, 100));
  EXPECT_EQ(zq_QueryDeviceStatus(), 2);
}

TEST_F(MocTest, FirmwareVersionAndBootloaderLine) {
  struct Case {
    uint8_t b0, b1;
    uint16_t version;
    bool loader;
  };
  const Case cases[] = {{0x85, 0x12, 0x1285, true}, {0x12, 0x01, 0x0112, false},
                        {0x7F, 0xFF, 0xFF7F, false}};
  for (const Case &c : cases) {
    model_->SetVersion(c.b0, c.b1);
    testing_support::StderrCapture err;
    uint16_t version = 0;
    ASSERT_EQ(zq_GetFirmwareVersion(&version), 0);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(err.Text().find("in bootloader loop.") != std::string::npos, c.loader)
        << std::hex << c.version;
  }
}

TEST_F(MocTest, ClearIrqIsForModuleTypeOneOnly) {
  bench_.ctx().module_type = 2;
  EXPECT_EQ(zq_ClearIRQBit(), 0);
  EXPECT_TRUE(module_emul::SentFrames(bench_).empty());
  EXPECT_EQ(model_->IrqClears(), 0u);
}

TEST_F(MocTest, NullBuffersAreRefusedBeforeAnyTransfer) {
  EXPECT_EQ(zq_GetFpImage(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq_GetRawData(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq_GetImageDAC(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq_SetImageDAC(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq_GetFirmwareVersion(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq_MergeImage(nullptr), BQ_ERROR_NULL_POINTER);
  EXPECT_TRUE(module_emul::SentFrames(bench_).empty());
}

TEST_F(MocTest, ImageLargerThanTheReplyBufferIsRefused) {
  bench_.ctx().sensor_info.sensor.cols = 160;
  bench_.ctx().sensor_info.sensor.rows = 160;
  Bytes image(160 * 160);
  EXPECT_EQ(zq_GetFpImage(image.data()), BQ_ERROR_SENSOR_DIMENSION);
  EXPECT_TRUE(module_emul::SentFrames(bench_).empty());
}

// --- image re-ordering ---------------------------------------------------------------

TEST_F(MocTest, MergeInterleavesTheTwoHalves) {
  // 5120 bytes of left halves (rows of 64), then 5120 of right halves.
  Bytes img(128 * 80);
  for (int i = 0; i < 5120; ++i) {
    img[i] = static_cast<uint8_t>(i % 127);
    img[5120 + i] = static_cast<uint8_t>(128 + i % 127);
  }
  ASSERT_EQ(zq_MergeImage(img.data()), 0);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int half_index = y * 64 + x % 64;
      const uint8_t expected = static_cast<uint8_t>(x < 64 ? half_index % 127 : 128 + half_index % 127);
      ASSERT_EQ(img[y * 128 + x], expected) << "x " << x << " y " << y;
    }
  }
}

TEST_F(MocTest, MergeRefusesAWidthWhoseSecondHalfWouldOverrun) {
  bench_.ctx().sensor_info.sensor.cols = 160;
  Bytes img(160 * 80, 7);
  EXPECT_EQ(zq_MergeImage(img.data()), BQ_ERROR_SENSOR_DIMENSION);
  EXPECT_EQ(img, Bytes(160 * 80, 7));
}

TEST_F(MocTest, ASyntheticPressComesBackWhole) {
  fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(7, 2));
  fingers::Impression press =
      fingers::Render(master, fingers::RandomImpression(master, fingers::PressSeed(master, 0),
                                                        {128, 80}));
  model_->Press(press.frame.gray);
  Bytes img(128 * 80);
  ASSERT_EQ(zq_GetFpImage(img.data()), 0);
  EXPECT_NE(img, press.frame.gray);  // as the module sends it: halves
  ASSERT_EQ(zq_MergeImage(img.data()), 0);
  EXPECT_EQ(img, press.frame.gray);
  EXPECT_EQ(model_->PendingPresses(), 0u);
}

// --- factory tests ---------------------------------------------------------------------

TEST_F(MocTest, PinTestPassesWhenBothIcsReport) {
  EXPECT_EQ(zq_FuncforTestPin(), 0);
  // IC 1: three silent polls and the answer; IC 2 the same; then init.
  std::vector<uint8_t> expected = {0x31, 0x32, 0x32, 0x32, 0x32, 0x31, 0x32, 0x32, 0x32, 0x32, 0x3C};
  EXPECT_EQ(Commands(), expected);
  const auto &frames = module_emul::SentFrames(bench_);
  ASSERT_GE(frames.size(), 6u);
  EXPECT_EQ(frames[0], (Bytes{0x02, 0x00, 0x02, 0x31, 0x01, 0x32}));
  EXPECT_EQ(frames[5], (Bytes{0x02, 0x00, 0x02, 0x31, 0x02, 0x31}));
  EXPECT_EQ(frames[1], (Bytes{0x02, 0x00, 0x01, 0x32, 0x33}));
}

struct SilentIc {
  uint8_t dead_ic;
  int result;
  size_t polls;  // of command 0x32
  const char *line;
};

class PinTestSilentIc : public MocTest, public ::testing::WithParamInterface<SilentIc> {};

TEST_P(PinTestSilentIc, FailsAndStillInitialises) {
  const SilentIc &c = GetParam();
  model_->KillInterrupt(c.dead_ic);
  testing_support::StderrCapture err;
  EXPECT_EQ(zq_FuncforTestPin(), c.result);
  size_t polls = 0;
  for (const auto &r : model_->Requests()) polls += r.command == 0x32;
  EXPECT_EQ(polls, c.polls);
  EXPECT_EQ(Commands().back(), 0x3C);
  EXPECT_EQ(model_->Inits(), 1u);
  EXPECT_NE(err.Text().find(c.line), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ics, PinTestSilentIc,
                         ::testing::Values(SilentIc{1, -1, 201, "IC 1 Int test fail."},
                                           SilentIc{2, -2, 4 + 201, "IC 2 Int test fail."}),
                         [](const ::testing::TestParamInfo<SilentIc> &info) {
                           return "Ic" + std::to_string(info.param.dead_ic);
                         });

TEST_F(MocTest, PinTestReturnsAFailingCommandAtOnce) {
  model_->FailNext(0x06);
  EXPECT_EQ(zq_FuncforTestPin(), 6);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x31}));
}

TEST_F(MocTest, DeadPixelTestCountsStuckSamples) {
  struct Case {
    int stuck;
    uint16_t value;
    int result;
  };
  const Case cases[] = {{0, 0, 0}, {100, 4095, 0}, {101, 4095, -1}, {101, 399, -1}, {100, 399, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.stuck) + " at " + std::to_string(c.value));
    model_->StuckSamples(c.stuck, c.value);
    const unsigned inits = model_->Inits();
    EXPECT_EQ(zq_FuncforTestDeadPixel(), c.result);
    // The DAC pair is back and the sensor re-initialised.
    EXPECT_EQ(model_->Dac(), (std::array<uint8_t, 2>{0x80, 0x80}));
    EXPECT_EQ(model_->Inits(), inits + 1);
  }
}

TEST_F(MocTest, DeadPixelTestLowersTheDacForFrameB) {
  ASSERT_EQ(zq_FuncforTestDeadPixel(), 0);
  std::vector<module_emul::Request> requests = model_->Requests();
  std::vector<uint8_t> commands;
  for (const auto &r : requests) commands.push_back(r.command);
  EXPECT_EQ(commands, (std::vector<uint8_t>{0x36, 0x37, 0x38, 0x36, 0x38, 0x3C}));
  EXPECT_EQ(requests[2].payload, (Bytes{0x7F, 0x7F}));
  EXPECT_EQ(requests[4].payload, (Bytes{0x80, 0x80}));
}

TEST_F(MocTest, DeadPixelTestReturnsAFailingCommand) {
  model_->FailNext(0x06);
  EXPECT_EQ(zq_FuncforTestDeadPixel(), 6);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x36}));
}

}  // namespace
