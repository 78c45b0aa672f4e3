// The emulated bridge's own behaviour, driven through the driver's bridge
// operations: descriptors, low-power wait and presses, image reads, the MCU
// mailbox, SFR access and what survives a USB reset.
#include <gtest/gtest.h>
#include <libusb.h>

#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_sensor/zq_usb.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BridgeConfig;
using Bytes = std::vector<uint8_t>;

int Busy() {
  int busy = -1;
  EXPECT_EQ(zq_sensorbase_QueryMCUStatus(&busy), 0);
  return busy;
}

bool Pin() {
  bool high = false;
  EXPECT_EQ(zq_interface_base_QuerySensorPinStatus(&high), 0);
  return high;
}

uint8_t Reg(uint8_t reg) {
  uint8_t v = 0xEE;
  EXPECT_EQ(zq_interface_base_ReadRegister(reg, &v, 1), 0);
  return v;
}

void EnterSensorMode() {
  ASSERT_EQ(zq_interface_base_WriteRegister(0x76, 1), 0);
  ASSERT_EQ(zq_interface_base_WriteRegister(0x1F, 1), 0);
  ASSERT_EQ(zq_interface_base_WriteRegister(0x1E, 1), 0);
}

// The image read of the bridge sensors: n = w * h + 2 bytes from 0x3400.
Bytes ReadImage(uint16_t n) {
  Bytes frame(n, 0xEE);
  EXPECT_EQ(zq_interface_base_Select(0xFF), 0);
  EXPECT_EQ(zq_interface_base_Select(3), 0);
  EXPECT_EQ(zq_interface_base_WriteRequest(0x35, n, 0x3400), 0);
  int got = 0;
  EXPECT_EQ(usb_bulk_in_transfer(frame.data(), n, &got, 1000), 0);
  EXPECT_EQ(got, n);
  return frame;
}

TEST(BridgeModel, EnumeratesWithVendorProductAndBulkEndpoints) {
  BridgeBench bench(BridgeConfig{}, 0x4841);
  bench.Open();
  libusb_device *dev = libusb_get_device(bench.imgdev().usb_handle);
  libusb_device_descriptor d;
  ASSERT_EQ(libusb_get_device_descriptor(dev, &d), 0);
  EXPECT_EQ(d.idVendor, 0x3c5d);
  EXPECT_EQ(d.idProduct, 0x4841);
  libusb_config_descriptor *config = nullptr;
  ASSERT_EQ(libusb_get_active_config_descriptor(dev, &config), 0);
  const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
  EXPECT_EQ(alt.bInterfaceNumber, 0);
  std::vector<std::pair<uint8_t, uint8_t>> endpoints;
  for (int i = 0; i < alt.bNumEndpoints; ++i)
    endpoints.emplace_back(alt.endpoint[i].bEndpointAddress, alt.endpoint[i].bmAttributes & 3);
  libusb_free_config_descriptor(config);
  EXPECT_EQ(endpoints, (std::vector<std::pair<uint8_t, uint8_t>>{
                           {bridge_emul::kBulkIn, LIBUSB_TRANSFER_TYPE_BULK},
                           {bridge_emul::kBulkOut, LIBUSB_TRANSFER_TYPE_BULK}}));
}

TEST(BridgeModel, ResolutionAndVersionsComeFromTheConfiguration) {
  BridgeConfig config;
  config.width = 64;
  config.height = 128;
  config.fw_version = 0x23;
  config.agc_version = 0x07;
  config.board_version = 525;
  BridgeBench bench(config);
  bench.Open();
  EXPECT_EQ(Reg(0x14), 64);
  EXPECT_EQ(Reg(0x15), 128);
  EXPECT_EQ(Reg(0x1A), 0x23);
  EXPECT_EQ(Reg(0x3C), 0x07);
  EXPECT_EQ(Reg(0x30), 0xBB);
  uint16_t board = 0;
  ASSERT_EQ(zq_interface_base_GetBridgeVersion(&board), 0);
  EXPECT_EQ(board, 525);
}

TEST(BridgeModel, WithoutApplicationTheStatusStaysBusyAndNoMarker) {
  BridgeConfig config;
  config.app_running = false;
  BridgeBench bench(config);
  bench.Open();
  EXPECT_EQ(Busy(), 1);
  EXPECT_EQ(zq_sensorbase_WakeupSensor(), 0);
  EXPECT_EQ(Busy(), 1);
  EXPECT_NE(Reg(0x30), 0xBB);
}

TEST(BridgeModel, LowPowerWaitIsEnteredAndLeftByTheDocumentedWrites) {
  BridgeBench bench;
  bench.Open();
  struct Case {
    const char *name;
    void (*enter)();
    void (*leave)();
  } cases[] = {
      {"sensor mode, left by wake-up", [] { EnterSensorMode(); },
       [] { ASSERT_EQ(zq_sensorbase_WakeupSensor(), 0); }},
      {"sensor mode, left by clearing the enables", [] { EnterSensorMode(); },
       [] {
         ASSERT_EQ(zq_interface_base_WriteRegister(0x1E, 0), 0);
         ASSERT_EQ(zq_interface_base_WriteRegister(0x1F, 0), 0);
       }},
      {"quick sensor, left by wake-up",
       [] { ASSERT_EQ(zq_interface_base_WriteRegister(0x54, 1), 0); },
       [] { ASSERT_EQ(zq_sensorbase_WakeupSensor(), 0); }},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Busy(), 0) << c.name;
    c.enter();
    EXPECT_EQ(Busy(), 1) << c.name << ": the low-power wait reads busy";
    EXPECT_FALSE(Pin()) << c.name;
    c.leave();
    EXPECT_EQ(Busy(), 0) << c.name;
  }
}

TEST(BridgeModel, PressWakesTheBridgeAndOneImageReadConsumesIt) {
  BridgeConfig config;
  config.width = 4;
  config.height = 2;
  BridgeBench bench(config);
  bench.Open();
  EnterSensorMode();
  EXPECT_FALSE(Pin());
  EXPECT_EQ(Reg(0x1D), 0);

  bench.model().Press({0, 10, 20, 30, 40, 50, 60, 255});
  bench.model().Press({1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_TRUE(Pin());
  EXPECT_EQ(Reg(0x1D), 1);
  EXPECT_EQ(Busy(), 0);

  EXPECT_EQ(ReadImage(10), (Bytes{0, 0, 255, 245, 235, 225, 215, 205, 195, 0}))
      << "2-byte header, then 255 - pixel";
  EXPECT_EQ(bench.model().PendingPresses(), 1u);
  EXPECT_FALSE(Pin());
  EXPECT_EQ(Reg(0x1D), 0);

  // Back to the finger wait with a press still queued: it fires at once.
  EnterSensorMode();
  EXPECT_TRUE(Pin());
  EXPECT_EQ(Reg(0x1D), 1);
  EXPECT_EQ(ReadImage(10), (Bytes{0, 0, 254, 254, 254, 254, 254, 254, 254, 254}));

  // Nothing pressed: the wait stays quiet and an image read is blank.
  EnterSensorMode();
  EXPECT_FALSE(Pin());
  EXPECT_EQ(ReadImage(10), Bytes(10, 0));
}

TEST(BridgeModel, LiftDropsUnreadPresses) {
  BridgeConfig config;
  config.width = 4;
  config.height = 2;
  BridgeBench bench(config);
  bench.Open();
  EnterSensorMode();
  bench.model().Press(Bytes(8, 0));
  bench.model().Press(Bytes(8, 0));
  ASSERT_TRUE(Pin());
  bench.model().Lift();
  EXPECT_EQ(bench.model().PendingPresses(), 0u);
  EXPECT_FALSE(Pin());
  EXPECT_EQ(Reg(0x1D), 0);
  EXPECT_EQ(ReadImage(10), Bytes(10, 0)) << "no old press is read after the lift";
  // The next finger presses as usual.
  EnterSensorMode();
  bench.model().Press(Bytes(8, 5));
  EXPECT_TRUE(Pin());
  EXPECT_EQ(ReadImage(10), (Bytes{0, 0, 250, 250, 250, 250, 250, 250, 250, 250}));
}

TEST(BridgeModel, MailboxDoorbellAnswersTheChipIdWord) {
  BridgeConfig config;
  config.chip_id_word = 0x2B50;
  BridgeBench bench(config);
  bench.Open();
  uint8_t cmd[3] = {0x06, 0xF9, 0x00};
  ASSERT_EQ(zq_interface_base_SendNBytes(cmd), 0);
  const uint8_t mailbox[4] = {0x11, 0xEE, 0x02, 0x00};
  ASSERT_EQ(zq_interface_base_WriteData(0x85C0, mailbox, 4), 0);
  ASSERT_EQ(zq_interface_base_WriteRequest(0x03, 1, 0xA4), 0);
  uint8_t word[2] = {};
  ASSERT_EQ(zq_interface_base_ReadRequest(0x30, 0x85C0, word, 2), 0);
  EXPECT_EQ(word[0], 0x2B);
  EXPECT_EQ(word[1], 0x50);
}

TEST(BridgeModel, SfrAccessAndDownloadMode) {
  BridgeBench bench;
  bench.Open();
  ASSERT_EQ(zq_interface_base_MCUDownloadMode(), 0);
  EXPECT_TRUE(bench.model().DownloadMode());
  ASSERT_EQ(zq_interface_base_WriteRequest(0x69, 0x11, 0xFE), 0);
  ASSERT_EQ(zq_interface_base_WriteRequest(0x66, 0xDF, 0xC8), 0);
  uint8_t v = 0;
  ASSERT_EQ(zq_interface_base_ReadRequest(0x68, 0xFE, &v, 1), 0);
  EXPECT_EQ(v, 0x11);
  ASSERT_EQ(zq_interface_base_ReadRequest(0x65, 0xC8, &v, 1), 0);
  EXPECT_EQ(v, 0xDF);
  ASSERT_EQ(zq_interface_base_SensorReset(), 0);
  EXPECT_FALSE(bench.model().DownloadMode());
  // Unknown requests stall.
  EXPECT_EQ(zq_interface_base_WriteRequest(0x7E, 0, 0), LIBUSB_ERROR_PIPE);
}

TEST(BridgeModel, StateSurvivesAUsbResetButAnArmedReadDoesNot) {
  BridgeBench bench;
  bench.Open();
  ASSERT_EQ(zq_interface_base_WriteRegister(0x41, 0x0F), 0);
  bench.model().Press(Bytes(96 * 96, 100));
  ASSERT_EQ(zq_interface_base_Select(3), 0);
  ASSERT_EQ(zq_interface_base_WriteRequest(0x35, 4, 0), 0);
  ASSERT_EQ(zq_interface_base_reloadDriverFromError(), 0);
  EXPECT_EQ(Reg(0x41), 0x0F);
  EXPECT_EQ(bench.model().PendingPresses(), 1u);
  uint8_t buf[4];
  EXPECT_EQ(usb_bulk_in_transfer(buf, 4, nullptr, 50), LIBUSB_ERROR_TIMEOUT)
      << "the reset dropped the announced read";
}

}  // namespace
