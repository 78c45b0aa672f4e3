// A scripted imaging driver for the framework's operation tests, and a
// fixture that opens its devices as emulated USB devices through the real
// libusb.
//
// The driver answers every request through a framework time-out of 0 ms, so
// one polling call runs one step: open and close complete, activation and
// deactivation complete, and each queued press goes finger on -> capture
// step -> finger off. A press is taken whenever the layer waits for a finger,
// or when it is queued while the layer waits. When no time-out can be added (a
// failing clock) the step runs at once.
#ifndef TESTS_FRAMEWORK_SCRIPTED_IMAGING_DRIVER_H_
#define TESTS_FRAMEWORK_SCRIPTED_IMAGING_DRIVER_H_

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emul/testbed.h"
#include "framework/fp_internal.h"

namespace framework_test {

// What the driver does when the layer asks for the capture of a press.
using CaptureStep = std::function<void(fp_img_dev *imgdev)>;

// One process-wide driver record (tests run one per process).
struct ScriptedImagingDriver {
  static constexpr uint16_t kVendor = 0x1209;
  static constexpr uint16_t kProduct = 0x7e57;

  fp_img_driver record{};

  int open_return = 0;        // returned by the open
  int open_status = 0;        // reported when the open completes
  int activate_return = 0;    // returned by the activation
  int activate_status = 0;    // reported when the activation completes
  bool complete_deactivation = true;  // report the deactivation's end
  int nr_enroll_stages = 5;   // set at open
  void *context = nullptr;    // the imaging device's priv, set at open

  std::deque<CaptureStep> presses;  // taken one per finger wait
  std::vector<std::string> events;  // "open", "activate 1", "state 2", "deactivate", "close"

  // Queues a press whose capture ends with `result` (fpi_imgdev_end_action).
  void QueueResult(int result);
  // Queues a press that runs `step` as its capture; a device already waiting
  // for a finger takes it at once.
  void QueuePress(CaptureStep step);
  // Steps scheduled and not yet run.
  size_t Pending() const;
  // Counts the events equal to `event`.
  int Count(const std::string &event) const;
};

// The driver (id 0x7e by default, name "scripted"); reset per test.
ScriptedImagingDriver &Driver();

// Emulated USB devices of the scripted driver, the library started and the
// driver registered; the devices are discovered in Discover().
class ImagingDeviceTest : public testing::Test {
 protected:
  // `devices` emulated devices; the driver gets `driver_id`.
  explicit ImagingDeviceTest(int devices = 1, uint16_t driver_id = 0x7e);
  void SetUp() override;
  void TearDown() override;

  // The discovered device `i`.
  fp_dscv_dev *Discovered(size_t i = 0);
  // Opens device `i` asynchronously and completes the open; fails the test
  // when the open does not succeed.
  fp_dev *OpenAsync(size_t i = 0);
  // Runs one due framework step; fails the test when nothing is due.
  void Step();
  // Runs every scheduled step of the driver.
  void Drain();
  // The imaging device of an open device.
  static fp_img_dev *ImgDev(fp_dev *dev) { return static_cast<fp_img_dev *>(dev->priv); }

  usb_emul::Testbed bed_;
  std::vector<usb_emul::Device *> emulated_;
  fp_dscv_dev **discovered_ = nullptr;
  int devices_;
  uint16_t driver_id_;
};

// Lines of `lines` that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::vector<std::string> &lines,
                                           const std::string &prefix);

// True when `line` is "<head>BUG at <file>:<number>".
bool IsBugLine(const std::string &line, const std::string &head, const std::string &file);

}  // namespace framework_test

#endif  // TESTS_FRAMEWORK_SCRIPTED_IMAGING_DRIVER_H_
