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

// A sysfs USB device folder and a USB node folder of the test's own, which
// the plug-in reads instead of /sys/bus/usb/devices and /dev/bus/usb while
// this object lives. Starts empty. Device "B-N" is on bus B at address N, its
// node is BBB/NNN of the node folder.
class UsbDevices {
 public:
  UsbDevices();
  ~UsbDevices();
  UsbDevices(const UsbDevices &) = delete;
  UsbDevices &operator=(const UsbDevices &) = delete;

  // Adds device `name` ("1-2") with the given ids, as the kernel lists it,
  // and its node.
  void Plug(const std::string &name, unsigned vendor, unsigned product);
  // Removes device `name` and its node.
  void Unplug(const std::string &name);
  // Removes the node of device `name` only: the device went and its sysfs
  // entry lingers.
  void RemoveNode(const std::string &name);
  // Removes the node folder, as on a machine without USB nodes.
  void RemoveNodes();
  // Removes every device.
  void Clear();

 private:
  std::string Node(const std::string &name) const;
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
