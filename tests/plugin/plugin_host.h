// An in-process stand-in for the biometric-authentication service: a
// value-initialised device record configured through the plug-in's entry
// point with a key file given as text.
#ifndef TESTS_PLUGIN_PLUGIN_HOST_H_
#define TESTS_PLUGIN_PLUGIN_HOST_H_

#include <functional>
#include <string>
#include <vector>

#include "plugin/community_ops.h"
#include "plugin/zq4842.h"
#include "support/stderr_capture.h"

namespace plugin_test {

// "[zq4842]\nEnable=true\n": the driver's group, enabled, no key setting.
extern const char kEnabledConfig[];

// A device record configured by ops_configure; freed through ops_free.
class ServiceHost {
 public:
  // Points the plug-in at `library` and configures with `config` (key-file
  // text).
  explicit ServiceHost(const char *config = kEnabledConfig, const char *library = FAKE_FPDEV_PATH);
  ~ServiceHost();
  ServiceHost(const ServiceHost &) = delete;
  ServiceHost &operator=(const ServiceHost &) = delete;

  bio_dev *dev() { return &dev_; }
  community_dev_priv *priv() { return community_priv(&dev_); }
  // What ops_configure returned.
  int configure_result() const { return configure_result_; }

 private:
  bio_dev dev_{};
  GKeyFile *conf_ = nullptr;
  int configure_result_ = 0;
};

// A sysfs USB device folder of the test's own, which the plug-in reads
// instead of /sys/bus/usb/devices while this object lives. Starts empty.
class UsbDevices {
 public:
  UsbDevices();
  ~UsbDevices();
  UsbDevices(const UsbDevices &) = delete;
  UsbDevices &operator=(const UsbDevices &) = delete;

  // Adds device `name` ("1-2") with the given ids, as the kernel lists it.
  void Plug(const std::string &name, unsigned vendor, unsigned product);
  // Removes device `name`.
  void Unplug(const std::string &name);
  // Removes every device.
  void Clear();

 private:
  std::string dir_;
};

// Captures what is written to one file descriptor (standard output by
// default, where the service prints everything but errors) while alive.
class OutputCapture : public testing_support::FdCapture {
 public:
  explicit OutputCapture(int fd = 1) : FdCapture(fd) {}
};

// Runs `action` with file descriptor `fd` captured and returns what it wrote.
// Keep assertions outside: a failing one prints to standard output as well.
std::string Captured(const std::function<void()> &action, int fd = 1);

}  // namespace plugin_test

#endif  // TESTS_PLUGIN_PLUGIN_HOST_H_
