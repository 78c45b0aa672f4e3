// A test bench for the bridge protocol: an emulated bridge in a testbed, the
// framework's libusb context (fpi_usb_ctx), the bridge opened and claimed as
// the driver's open would leave it (one handle in the fp_dev and its imaging
// device, linked both ways), and the published driver context
// (quorvanta_ctx) with the endpoints, product id and usb_lock set up. A
// virtual clock runs the driver's sleeps.
//
// One bench per process (a testbed rule). Add further devices before Open().
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_BENCH_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_BENCH_H_

#include <libusb.h>

#include <memory>

#include "bridge_emul/bridge_model.h"
#include "bridge_emul/virtual_clock.h"
#include "framework/quorvanta_ctx.h"
#include "emul/testbed.h"
#include "framework/fp_internal.h"

namespace bridge_emul {

class BridgeBench {
 public:
  // Adds the bridge (bus 1, address 2) with `config` and `product_id`, and
  // installs the filler firmware files (fw_files.h).
  explicit BridgeBench(BridgeConfig config = {}, uint16_t product_id = 0x4842);
  // Adds `model` (bus 1, address 2) with the bridge's descriptors and
  // `product_id` instead of a bridge, for the modules with an MCU of their
  // own; the context gets `module_type`. model() must not be used then.
  BridgeBench(std::shared_ptr<usb_emul::DeviceModel> model, uint16_t product_id,
              uint32_t module_type);
  // Unpublishes the context, closes the handle and exits libusb.
  ~BridgeBench();
  BridgeBench(const BridgeBench &) = delete;
  BridgeBench &operator=(const BridgeBench &) = delete;

  // Adds another emulated device; only before Open().
  usb_emul::Device &AddDevice(const usb_emul::DeviceDesc &desc,
                              std::shared_ptr<usb_emul::DeviceModel> model);
  // Unplugs `dev` (transfers fail, it leaves enumeration).
  void Unplug(usb_emul::Device &dev) { bed_.Unplug(dev); }
  // Starts libusb into fpi_usb_ctx, opens the bridge, claims interface 0,
  // publishes quorvanta_ctx and clears the device's transfer log. Throws
  // std::runtime_error when a step fails.
  void Open();

  BridgeModel &model() { return *model_; }
  usb_emul::Device &device() { return *device_; }
  quorvanta_ctx_t &ctx() { return ctx_; }
  fp_img_dev &imgdev() { return imgdev_; }
  fp_dev &fpdev() { return fpdev_; }
  VirtualClock &clock() { return clock_; }

 private:
  usb_emul::Testbed bed_;
  std::shared_ptr<BridgeModel> model_;  // NULL when another model stands in
  usb_emul::Device *device_ = nullptr;
  VirtualClock clock_;
  fp_dev fpdev_ = {};
  fp_img_dev imgdev_ = {};
  quorvanta_ctx_t ctx_ = {};
  bool mutex_ready_ = false;
};

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_BENCH_H_
