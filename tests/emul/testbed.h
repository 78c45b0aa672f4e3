// An umockdev testbed holding emulated USB devices that the real libusb
// finds, opens and talks to through usbfs.
//
// Rules for tests:
// - Create the testbed and add every device before libusb_init(); exit
//   libusb (close handles, libusb_exit) before the testbed is destroyed.
// - While a testbed exists, all of /sys and /dev/bus/usb are the testbed's.
// - One testbed per process (CTest runs each test in its own process); no
//   fork-style death tests; at most 50 /dev files open at once.
// - $TMPDIR must be at most 64 characters long.
// - Model callbacks run on umockdev's worker thread, delayed answers on the
//   testbed's timer thread; see device_model.h and device.h.
#ifndef TESTS_EMUL_TESTBED_H_
#define TESTS_EMUL_TESTBED_H_

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "emul/device.h"
#include "emul/device_model.h"
#include "emul/device_desc.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace usb_emul {

class Scheduler;

// Longest $TMPDIR umockdev's socket paths fit in.
inline constexpr size_t kMaxTmpdirLength = 64;

// Returns an empty string if $TMPDIR (default /tmp) is short enough, else the
// reason, naming the variable and its length.
std::string CheckTmpdir();

class Testbed {
 public:
  // Throws std::runtime_error when $TMPDIR is too long, when the umockdev
  // preload library is not loaded, or when umockdev fails.
  Testbed();
  ~Testbed();
  Testbed(const Testbed &) = delete;
  Testbed &operator=(const Testbed &) = delete;

  // Adds a device answering through `model` and returns it (owned by the
  // testbed). Throws std::invalid_argument for a bad description or a bus
  // address already in use, std::runtime_error when umockdev fails.
  Device &AddDevice(const DeviceDesc &desc, std::shared_ptr<DeviceModel> model);
  // Unplugs `dev` in the kernel's order: its transfers fail with ENODEV, its
  // attributes and its /sys/bus/usb/devices link go, the "remove" uevent is
  // sent, and its sysfs folder goes. With `linger` the uevent comes first and
  // the whole sysfs entry stays that long after it (blocking the caller), as
  // a listener quicker than the kernel's teardown may see it.
  void Unplug(Device &dev, std::chrono::milliseconds linger = std::chrono::milliseconds(0));
  // Plugs a device in while libusb runs, as a re-plug does: like AddDevice,
  // at the next bus address that no device of this testbed has used (a
  // re-plugged device enumerates anew), with an "add" uevent. The unplugged
  // devices stay, answering ENODEV to the handles still open on them.
  // Throws as AddDevice, and std::runtime_error when no address is left.
  Device &PlugIn(DeviceDesc desc, std::shared_ptr<DeviceModel> model);
  // The testbed's root directory (holds sys/ and dev/).
  std::string root_dir() const;

 private:
  UMockdevTestbed *testbed_ = nullptr;
  std::unique_ptr<Scheduler> scheduler_;
  std::vector<std::unique_ptr<Device>> devices_;
};

}  // namespace usb_emul

#endif  // TESTS_EMUL_TESTBED_H_
