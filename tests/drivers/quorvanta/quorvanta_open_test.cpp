// Opening emulated devices through fp_*: the sensor initialisation's calls
// into the sensor library, the host callbacks, the bridge's work mode and
// the bulk endpoints taken from the descriptors.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "bridge_emul/fw_files.h"
#include "framework/quorvanta_ctx.h"
#include "module_emul/moc_model.h"
#include "module_emul/zq4846_model.h"
#include "quorvanta/driver_bench.h"
#include "support/minutiae_standin.h"
#include "support/sensorlib_standin.h"
#include "support/stderr_capture.h"

namespace {

namespace standin = sensorlib_standin;
using quorvanta_test::DriverBench;
using Trace = std::vector<std::string>;

// The host registrations and resource creation that precede the setters.
const Trace kRegistration = {
    "quorv_InitFuncSpiWrite",     "quorv_InitFuncSpiRead",       "quorv_InitFuncUsleep",
    "quorv_InitFuncGetSystemTime", "quorv_InitFuncGetMcuStatus", "quorv_SensorResourceCreate()",
};

// The common part of the second parameter set after the chip calls.
Trace CommonSet(int w, int h, bool module1) {
  const std::string size = std::to_string(w) + ", " + std::to_string(h);
  Trace t = {"quorv_SetNonFingerDetectVer(0)", "quorv_SetModuleType(0)",
             "quorv_DebugInfoSwitch(1)", "quorv_PrintFuncTime(0)",
             "quorv_SetTransferBytesMax(1014)", "quorv_SetImageSaveEn(0)",
             "quorv_SetSmallAreaImageUpdateEn(1)", "quorv_SetImageRescanCnt(0)",
             "quorv_SetRescanOverlapAreaThreshold(99)", "quorv_SetMcuStateCheckMode(1)",
             "quorv_SetFpSensorColsRows(" + size + ")", "quorv_SetAlgoMode(1)", "quorv_SpaEn(1)",
             "quorv_SetMcuInterrupMode(1)", "quorv_EnrollmentDuplicateCheckEn(1)",
             "quorv_SetFpAlgMaxTpl(96)", "quorv_SetEnrollMaxTpl(48)",
             "quorv_SetEnrollmentTipsEn(1)", "quorv_SetEnrollmentTipsParameter(40, 70, 0, 0)",
             "quorv_SetImageValidAreaScale(0.3)", "quorv_SetImageQualityScore(30)",
             "quorv_SetImageRepeatEn(0)", "quorv_EnrollNonFingerDetect(0)",
             "quorv_SetImageValidCondScale(20)"};
  if (module1) {
    t.push_back("quorv_SetFpSensorColsRows(" + std::to_string(w / 2) + ", " + std::to_string(h) + ")");
    t.push_back("quorv_SetEnrollmentTipsEn(2)");
  }
  for (const char *s : {"quorv_SetImageVerifyQualityScore(30)",
                        "quorv_SetImageVerifyValidAreaScale(0.3)", "quorv_SetAlgFarLevel(14)",
                        "quorv_SetUpdateTemplateFarLevel(16)", "quorv_UpdateTemplateOutsideEn(1)",
                        "quorv_SetTemplateBuffEn(0)", "quorv_IdentifyNonFingerDetect(0)",
                        "quorv_SetForeignBodyAttackSwitch(1)",
                        "quorv_SetImageVerifyValidCondScale(30)", "quorv_InitFpAlg()"})
    t.push_back(s);
  return t;
}

Trace Concat(Trace a, const Trace &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class OpenTest : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    minutiae_standin::Reset();
  }
  // Calls from the first host registration on.
  Trace InitCalls() { return standin::CallsFrom("quorv_InitFuncSpiWrite"); }
};

TEST_F(OpenTest, Module3b11TakesTheFw4843SetAndNoWorkMode) {
  auto model = std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(0x3b11));
  DriverBench bench(bridge_emul::BridgeDesc(0x3b11), model);
  ASSERT_TRUE(bench.Open());
  const Trace calls = InitCalls();
  ASSERT_EQ(calls.size(), kRegistration.size() + 70);
  EXPECT_EQ(Trace(calls.begin(), calls.begin() + 6), kRegistration);
  EXPECT_EQ(calls[6], "quorv_SetFpSensorColsRows(80, 128)");
  EXPECT_EQ(calls[7], "quorv_IcInfoSwitch(12)");
  EXPECT_EQ(calls[8], "quorv_SetImageBit(2)");
  EXPECT_EQ(calls[24], "quorv_SetImageValidAreaScale(0.7)");
  EXPECT_EQ(calls[58], "quorv_SetTransferBytesMax(7752)");
  EXPECT_EQ(calls[calls.size() - 2], "quorv_InitFpAlg()");
  EXPECT_EQ(calls.back(), "quorv_ShowSensorConfig()");
  EXPECT_EQ(fp_dev_get_img_width(bench.dev()), 80);
  EXPECT_EQ(fp_dev_get_img_height(bench.dev()), 128);
  ASSERT_NE(quorvanta_ctx, nullptr);
  EXPECT_EQ(quorvanta_ctx->module_type, 2u);
  EXPECT_EQ(quorvanta_ctx->first_loop, 1);
  // Five host callbacks, the driver's own.
  const auto &host = standin::Host();
  EXPECT_NE(host.spi_write, nullptr);
  EXPECT_NE(host.spi_read, nullptr);
  EXPECT_NE(host.usleep, nullptr);
  EXPECT_NE(host.system_time, nullptr);
  ASSERT_NE(host.mcu_status, nullptr);
  EXPECT_EQ(host.mcu_status(), 0) << "module type 2 is always ready";
}

TEST_F(OpenTest, Bridge4842With96x96TakesTheSecondSetAndSensorMode) {
  auto model = std::make_shared<bridge_emul::BridgeModel>(bridge_emul::BridgeConfig{});
  DriverBench bench(bridge_emul::BridgeDesc(0x4842), model);
  ASSERT_TRUE(bench.Open());
  EXPECT_EQ(InitCalls(), Concat(Concat(kRegistration, {"quorv_IcInfoSwitch(2)", "quorv_SetImageBit(1)"}),
                                CommonSet(96, 96, false)));
  EXPECT_EQ(model->Register(0x76), 1) << "work mode SENSOR";
  EXPECT_EQ(model->Register(0x1E), 1);
  EXPECT_EQ(model->Register(0x1F), 1);
  EXPECT_EQ(fp_dev_get_nr_enroll_stages(bench.dev()), 12);

  // The registered SPI read reaches the bridge: the MCU status word is read
  // from register 0x20 (busy now, in the bridge's low-power wait).
  bench.device().ClearLog();
  uint8_t frame[8] = {0x04, 0xFB, 0x85, 0x10, 0x00, 0x02, 0xEE, 0xEE};
  ASSERT_EQ(standin::Host().spi_read(frame, frame, 8), 0);
  const auto log = bench.device().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].setup.request, 0x3A);
  EXPECT_EQ(log[0].setup.index, 0x20);
  EXPECT_EQ(frame[6], log[0].data[0]);
  EXPECT_EQ(frame[7], log[0].data[1]);
}

// A bridge whose application firmware is not running, on a system without
// the firmware files: the open fails, says which file is missing, and the
// bridge never sees a firmware piece (16 or 64 bytes) nor runs anything.
TEST_F(OpenTest, BridgeWithoutFirmwareAndWithoutItsFileFailsTheOpen) {
  bridge_emul::BridgeConfig config;
  config.app_running = false;
  config.boot_sfr = 0x00;
  config.chip_id_word = 0x2B50;
  config.otp = 0x06;
  auto model = std::make_shared<bridge_emul::BridgeModel>(config);
  DriverBench bench(bridge_emul::BridgeDesc(0x4842), model);
  const std::string folder = bridge_emul::InstallEmptyFirmwareFolder();
  testing_support::StderrCapture err;
  EXPECT_FALSE(bench.Open());
  EXPECT_NE(err.Text().find(folder + "zq4842w.bin"), std::string::npos);
  EXPECT_TRUE(model->ProgramMemory().empty());
  EXPECT_FALSE(model->AppRunning());
  for (const usb_emul::LogEntry &e : bench.device().Log()) {
    if (e.event == usb_emul::Event::kBulk && e.endpoint == bridge_emul::kBulkOut) {
      EXPECT_LT(e.data.size(), 16u);
    }
  }
  bridge_emul::InstallFillerFirmware();
}

TEST_F(OpenTest, Module1DeclaresHalfItsWidthToTheLibrary) {
  auto model = std::make_shared<module_emul::MocModel>();
  DriverBench bench(bridge_emul::BridgeDesc(0x3b17), model);
  ASSERT_TRUE(bench.Open());
  const Trace chip = {"quorv_IcInfoSwitch(8)", "quorv_SetImageBit(2)",
                      "quorv_SetImageContrastEnhance(0, 0, 0)", "quorv_SetImageWetCondThr(100)",
                      "quorv_FilterEnhanceEn(1)"};
  EXPECT_EQ(InitCalls(), Concat(Concat(kRegistration, chip), CommonSet(128, 80, true)));
  EXPECT_EQ(quorvanta_ctx->module_type, 1u);
}

TEST_F(OpenTest, ResourceCreationFailureFailsTheOpen) {
  standin::script().resource_create = -1;
  auto model = std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(0x3b11));
  DriverBench bench(bridge_emul::BridgeDesc(0x3b11), model);
  EXPECT_FALSE(bench.Open());
  EXPECT_EQ(standin::CallsStartingWith("quorv_Set"), Trace{}) << "nothing configured";
}

TEST_F(OpenTest, AlgorithmInitialisationFailureFailsTheOpen) {
  standin::script().init_fp_alg = -1;
  auto model = std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(0x3b11));
  DriverBench bench(bridge_emul::BridgeDesc(0x3b11), model);
  EXPECT_FALSE(bench.Open());
}

TEST_F(OpenTest, LastBulkEndpointOfEachDirectionWins) {
  usb_emul::DeviceDesc desc = bridge_emul::BridgeDesc(0x3b11);
  auto &eps = desc.configurations[0].interfaces[0].endpoints;
  eps.push_back({0x83, usb_emul::TransferType::kBulk, 512});
  eps.push_back({0x84, usb_emul::TransferType::kInterrupt, 64});
  auto model = std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(0x3b11));
  DriverBench bench(desc, model);
  ASSERT_TRUE(bench.Open());
  EXPECT_EQ(quorvanta_ctx->ep_in, 0x83);
  EXPECT_EQ(quorvanta_ctx->ep_out, 0x02);
}

}  // namespace

namespace {

// Module type 1 sends each frame as two 64-column halves; the library enrols
// the left half, then the right half at the next index.
TEST_F(OpenTest, Module1EnrolsBothHalvesOfAPress) {
  auto model = std::make_shared<module_emul::MocModel>();
  DriverBench bench(bridge_emul::BridgeDesc(0x3b17), model);
  ASSERT_TRUE(bench.Open());
  std::vector<uint8_t> image(128 * 80);
  for (size_t i = 0; i < image.size(); i++) image[i] = static_cast<uint8_t>(i % 128);
  model->Press(image);
  standin::SetFrameBytes(64 * 80);
  quorvanta_test::Outcome out;
  ASSERT_EQ(bench.StartEnroll(&out), 0);
  ASSERT_TRUE(bench.RunUntil([&] { return !out.results.empty(); }));
  EXPECT_EQ(out.results, std::vector<int>{3});
  EXPECT_EQ(standin::CallsStartingWith("quorv_EnrollByImage"),
            (Trace{"quorv_EnrollByImage(0, 0)", "quorv_EnrollByImage(0, 1)"}));
  ASSERT_EQ(standin::Frames().size(), 2u);
  EXPECT_EQ(standin::Frames()[0][0], 0);
  EXPECT_EQ(standin::Frames()[0][64], 0) << "second row of the left half";
  EXPECT_EQ(standin::Frames()[1][0], 64);
  EXPECT_GE(model->IrqClears(), 1u);
  EXPECT_TRUE(bench.StopEnroll(&out));
}

}  // namespace
