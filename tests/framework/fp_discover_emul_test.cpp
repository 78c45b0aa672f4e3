// Discovery against emulated USB devices: the drivers' id tables decide
// which devices are offered, with which driver and driver data, in the
// reverse of the USB enumeration order.
#include <glib.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drivers/quorvanta/quorvanta.h"
#include "drivers/vfs0050/vfs0050.h"
#include "emul/testbed.h"
#include "framework/fp_internal.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;
using usb_emul::DeviceDesc;
using usb_emul::TransferType;
using VidPid = std::pair<uint16_t, uint16_t>;

DeviceDesc Desc(uint16_t vendor, uint16_t product, uint8_t address) {
  return DeviceDesc{
      .vendor_id = vendor,
      .product_id = product,
      .address = address,
      .configurations = {{.interfaces = {{.number = 0,
                                          .endpoints = {{0x81, TransferType::kBulk, 512},
                                                        {0x02, TransferType::kBulk, 512}}}}}},
  };
}

VidPid IdsOf(libusb_device *udev) {
  libusb_device_descriptor dsc;
  EXPECT_EQ(libusb_get_device_descriptor(udev, &dsc), 0);
  return {dsc.idVendor, dsc.idProduct};
}

// The testbed must exist before fp_init starts libusb, and outlive fp_exit.
class EmulatedDiscovery : public testing::Test {
 protected:
  void Add(uint16_t vendor, uint16_t product, uint8_t address) {
    bed_.AddDevice(Desc(vendor, product, address), std::make_shared<usb_emul::DeviceModel>());
  }
  void TearDown() override { fp_exit(); }
  usb_emul::Testbed bed_;
};

TEST_F(EmulatedDiscovery, SupportedDevicesWithTheirDriversInReverseEnumerationOrder) {
  Add(0x3c5d, 0x3b17, 2);  // driver data 0x4843
  Add(0x1234, 0x5678, 3);  // unknown
  Add(0x138a, 0x0050, 4);  // VFS0050
  Add(0x3c5d, 0x4842, 5);
  Add(0x3c5d, 0x3b10, 6);  // the maker's vendor id, product not listed
  fp_set_debug(4);
  ASSERT_EQ(fp_init(), 0);

  struct Expected {
    fp_driver *driver;
    unsigned long driver_data;
  };
  const std::vector<std::pair<VidPid, Expected>> supported = {
      {{0x3c5d, 0x3b17}, {&quorvanta_driver.driver, 0x4843}},
      {{0x138a, 0x0050}, {&vfs0050_driver.driver, 0}},
      {{0x3c5d, 0x4842}, {&quorvanta_driver.driver, 0x4842}},
  };
  // The supported devices in the reverse of libusb's enumeration order.
  std::vector<VidPid> want;
  libusb_device **list = nullptr;
  ssize_t n = libusb_get_device_list(fpi_usb_ctx, &list);
  ASSERT_EQ(n, 5);
  for (ssize_t i = 0; i < n; ++i) {
    VidPid ids = IdsOf(list[i]);
    for (const auto &s : supported) {
      if (s.first == ids) want.insert(want.begin(), ids);
    }
  }
  libusb_free_device_list(list, 1);
  ASSERT_EQ(want.size(), 3u);

  StderrCapture err;
  fp_dscv_dev **devs = fp_discover_devs();
  ASSERT_NE(devs, nullptr);
  std::vector<VidPid> got;
  for (fp_dscv_dev **it = devs; *it != nullptr; ++it) {
    VidPid ids = IdsOf((*it)->udev);
    got.push_back(ids);
    for (const auto &s : supported) {
      if (s.first != ids) continue;
      EXPECT_EQ(fp_dscv_dev_get_driver(*it), s.second.driver) << std::hex << ids.second;
      EXPECT_EQ((*it)->driver_data, s.second.driver_data) << std::hex << ids.second;
      EXPECT_EQ(fp_dscv_dev_get_devtype(*it), 0u);
    }
  }
  EXPECT_EQ(got, want);

  std::vector<std::string> selected;
  for (const std::string &line : err.Lines()) {
    if (line.rfind("fp:debug [fp_discover_devs] selected driver ", 0) == 0) selected.push_back(line);
  }
  EXPECT_EQ(selected.size(), 3u);
  EXPECT_NE(err.Text().find("fp:debug [fp_discover_devs] selected driver vfs0050 supports USB "
                            "device 138a:0050"),
            std::string::npos);
  EXPECT_NE(err.Text().find("fp:debug [fp_discover_devs] selected driver quorvanta supports USB "
                            "device 3c5d:3b17"),
            std::string::npos);
  EXPECT_EQ(err.Text().find("1234:5678"), std::string::npos);
  EXPECT_EQ(err.Text().find("3c5d:3b10"), std::string::npos);

  // The discovered devices hold their own references: they outlive the list.
  fp_dscv_devs_free(devs);
}

TEST_F(EmulatedDiscovery, OnlyUnknownDevices) {
  Add(0x1234, 0x5678, 2);
  Add(0x0050, 0x138a, 3);
  fp_set_debug(0);
  ASSERT_EQ(fp_init(), 0);
  fp_dscv_dev **devs = fp_discover_devs();
  ASSERT_NE(devs, nullptr);
  EXPECT_EQ(devs[0], nullptr);
  fp_dscv_devs_free(devs);
}

// The framework's poll-descriptor notifiers forward to the application's.
std::vector<std::pair<int, short>> g_added;
std::vector<int> g_removed;
void Added(int fd, short events) { g_added.push_back({fd, events}); }
void Removed(int fd) { g_removed.push_back(fd); }

TEST_F(EmulatedDiscovery, PollDescriptorChangesReachTheApplication) {
  Add(0x3c5d, 0x4842, 2);
  fp_set_debug(0);
  ASSERT_EQ(fp_init(), 0);
  fp_dscv_dev **devs = fp_discover_devs();
  ASSERT_NE(devs[0], nullptr);

  fp_set_pollfd_notifiers(Added, Removed);
  libusb_device_handle *handle = nullptr;
  ASSERT_EQ(libusb_open(devs[0]->udev, &handle), 0);
  ASSERT_EQ(g_added.size(), 1u);
  fp_pollfd *fds = nullptr;
  long n = fp_get_pollfds(&fds);
  bool listed = false;
  for (long i = 0; i < n; ++i) listed |= fds[i].fd == g_added[0].first;
  EXPECT_TRUE(listed) << "the added descriptor is among the poll descriptors";
  g_free(fds);
  libusb_close(handle);
  EXPECT_EQ(g_removed, std::vector<int>{g_added[0].first});

  fp_set_pollfd_notifiers(nullptr, nullptr);
  ASSERT_EQ(libusb_open(devs[0]->udev, &handle), 0);
  libusb_close(handle);
  EXPECT_EQ(g_added.size(), 1u);
  EXPECT_EQ(g_removed.size(), 1u);
  fp_dscv_devs_free(devs);
}

}  // namespace
