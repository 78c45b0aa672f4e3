// Recovery of the USB transfers: reset, re-open on the framework's context
// when the reset fails or no handle is held, and calls without a device.
#include <gtest/gtest.h>
#include <libusb.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/wire.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_sensor/zq_usb.h"
#include "framework/fp_internal.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BridgeModel;
using usb_emul::Event;
using usb_emul::LogEntry;

std::vector<Event> Events(const usb_emul::Device &dev) {
  std::vector<Event> events;
  for (const LogEntry &e : dev.Log()) events.push_back(e.event);
  return events;
}

// Waits until libusb no longer lists a device at `address` on bus 1.
bool WaitUntilGone(uint8_t address) {
  for (int k = 0; k < 200; ++k) {
    libusb_device **list = nullptr;
    ssize_t n = libusb_get_device_list(fpi_usb_ctx, &list);
    bool present = false;
    for (ssize_t i = 0; i < n; ++i)
      if (libusb_get_device_address(list[i]) == address) present = true;
    libusb_free_device_list(list, 1);
    if (!present) return true;
    usleep(10000);
  }
  return false;
}

TEST(UsbRecovery, FailedResetReopensTheReenumeratedDeviceOnTheSameContext) {
  BridgeBench bench;
  // The same bridge after re-enumeration, at a new address.
  auto replugged = std::make_shared<BridgeModel>();
  usb_emul::Device &second = bench.AddDevice(bridge_emul::BridgeDesc(0x4842, 3), replugged);
  bench.Open();
  libusb_context *framework_ctx = fpi_usb_ctx;
  libusb_device_handle *old = bench.imgdev().usb_handle;

  bench.Unplug(bench.device());
  ASSERT_TRUE(WaitUntilGone(bench.device().desc().address));
  second.ClearLog();

  uint8_t buf[4];
  int transferred = -1;
  EXPECT_EQ(usb_bulk_in_transfer(buf, 4, &transferred, 100), LIBUSB_ERROR_NO_DEVICE)
      << "the transfer's own error, not the recovery's";
  EXPECT_EQ(transferred, 0);
  EXPECT_EQ(fpi_usb_ctx, framework_ctx) << "no new libusb context";
  ASSERT_NE(bench.imgdev().usb_handle, nullptr);
  EXPECT_NE(bench.imgdev().usb_handle, old) << "the re-opened handle replaces the old one";
  EXPECT_EQ(bench.fpdev().usb_handle, bench.imgdev().usb_handle)
      << "the framework closes the fp_dev's copy";
  EXPECT_EQ(Events(second), (std::vector<Event>{Event::kReset, Event::kClaim}));
  EXPECT_EQ(replugged->Resets(), 1u);

  // The driver carries on with the new device.
  second.ClearLog();
  EXPECT_EQ(zq_interface_base_Select(0xFF), 0);
  EXPECT_EQ(bridge_emul::Transfers(second.Log()),
            std::vector<LogEntry>{bridge_emul::VendorOut(0x34, 0xFF, 0)});
}

TEST(UsbRecovery, TransferWithoutHandleFailsAndInstallsAReopenedHandle) {
  BridgeBench bench;
  bench.Open();
  libusb_context *framework_ctx = fpi_usb_ctx;
  libusb_close(bench.imgdev().usb_handle);
  bench.imgdev().usb_handle = nullptr;
  bench.fpdev().usb_handle = nullptr;

  uint8_t byte = 0;
  EXPECT_EQ(usb_bulk_out_transfer(&byte, 1, nullptr, 100), LIBUSB_ERROR_NO_DEVICE);
  ASSERT_NE(bench.imgdev().usb_handle, nullptr);
  EXPECT_EQ(bench.fpdev().usb_handle, bench.imgdev().usb_handle);
  EXPECT_EQ(fpi_usb_ctx, framework_ctx);
  EXPECT_TRUE(bench.device().Claimed(0));
  EXPECT_EQ(bench.model().Resets(), 1u);
  EXPECT_EQ(zq_interface_base_Select(2), 0);
}

TEST(UsbRecovery, NothingIsSentOrReopenedWithoutAnOpenDevice) {
  BridgeBench bench;
  bench.Open();
  struct Case {
    const char *name;
    bool with_ctx;
    bool with_imgdev;
  } cases[] = {{"no context", false, false}, {"context without imaging device", true, false}};
  for (const Case &c : cases) {
    quorvanta_ctx_t ctx = {};
    pthread_mutex_init(&ctx.usb_lock, nullptr);
    ctx.pid = 0x4842;
    quorvanta_ctx = c.with_ctx ? &ctx : nullptr;
    uint8_t buf[2] = {};
    uint16_t len = 2;
    EXPECT_EQ(usb_control_transfer(0xC0, 0x3A, 0, 0x20, buf, &len, 200), LIBUSB_ERROR_NO_DEVICE)
        << c.name;
    EXPECT_EQ(usb_bulk_in_transfer(buf, 2, nullptr, 100), LIBUSB_ERROR_NO_DEVICE) << c.name;
    EXPECT_EQ(usb_reset_device(), LIBUSB_ERROR_NO_DEVICE) << c.name;
    EXPECT_EQ(zq_interface_base_Select(3), LIBUSB_ERROR_NO_DEVICE) << c.name;
    quorv_usb_reset();
    pthread_mutex_destroy(&ctx.usb_lock);
  }
  quorvanta_ctx = &bench.ctx();
  EXPECT_EQ(bench.model().Resets(), 0u);
  EXPECT_EQ(bench.device().Log(), std::vector<LogEntry>{});
}

TEST(UsbRecovery, ReclaimFailsCleanlyWhenNoDeviceMatches) {
  BridgeBench bench;
  bench.Open();
  bench.ctx().pid = 0x4841;  // nothing with this product id is plugged in
  EXPECT_EQ(zq_ReClaimUdevHandle(), nullptr);
  bench.ctx().pid = 0x4842;
  libusb_device_handle *h = zq_ReClaimUdevHandle();
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(bench.device().Claimed(0));
  libusb_close(h);
}

}  // namespace
