// A bench for the quorvanta driver through the public fp_* interface: one
// emulated device in a testbed, a virtual clock behind the driver's sleeps,
// the recording sensor library and the scripted minutiae detector, and the
// device opened by fp_init / fp_discover_devs / fp_async_dev_open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge_emul/virtual_clock.h"
#include "emul/device.h"
#include "emul/device_desc.h"
#include "emul/device_model.h"
#include "emul/testbed.h"
#include "framework/fp_internal.h"

namespace quorvanta_test {

// What the application's callbacks received.
struct Outcome {
  std::vector<int> results;
  fp_print_data *print = nullptr;  // the enrolment's print (owned)
  size_t offset = 0;               // identify match offset
  int stops = 0;
  ~Outcome();
};

class DriverBench {
 public:
  // Adds the device and installs the filler bridge firmware files
  // (bridge_emul/fw_files.h); one bench per process.
  DriverBench(const usb_emul::DeviceDesc &desc, std::shared_ptr<usb_emul::DeviceModel> model);
  // Closes the device and leaves the framework.
  ~DriverBench();

  // fp_init, discovery and fp_async_dev_open of the one device. False when a step
  // fails (then dev() is NULL).
  bool Open();
  fp_dev *dev() { return dev_; }
  usb_emul::Device &device() { return *device_; }
  bridge_emul::VirtualClock &clock() { return clock_; }

  // Handles events until `done` holds or `ms` real milliseconds passed;
  // returns done().
  bool RunUntil(const std::function<bool()> &done, int ms = 5000);
  // Handles events for `ms` real milliseconds.
  void RunFor(int ms);

  // Starts the action; callbacks record into `out`.
  int StartEnroll(Outcome *out);
  int StartVerify(fp_print_data *print, Outcome *out);
  int StartIdentify(fp_print_data **gallery, Outcome *out);
  // Stops the running action of that kind and waits for its stop callback.
  bool StopEnroll(Outcome *out);
  bool StopVerify(Outcome *out);
  bool StopIdentify(Outcome *out);

 private:
  usb_emul::Testbed bed_;
  bridge_emul::VirtualClock clock_;
  usb_emul::Device *device_ = nullptr;
  fp_dscv_dev **discovered_ = nullptr;
  fp_dev *dev_ = nullptr;
  bool initialised_ = false;
};

// A print of the main driver holding `item` as its only item.
fp_print_data *PrintWithItem(const std::vector<uint8_t> &item);
// The item bytes of a quorvanta_tpl: slot, 0, type, len (LE), blob.
std::vector<uint8_t> TemplateItem(uint8_t slot, uint8_t type, const std::vector<uint8_t> &blob);

}  // namespace quorvanta_test
