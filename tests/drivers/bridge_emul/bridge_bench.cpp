#include "bridge_emul/bridge_bench.h"

#include <stdexcept>
#include <string>

#include "bridge_emul/fw_files.h"
#include "drivers/zq_sensor/zq_usb.h"

namespace bridge_emul {

namespace {

// Opens the device at `bus`/`address` on `ctx`, or returns NULL.
libusb_device_handle *OpenAt(libusb_context *ctx, uint8_t bus, uint8_t address) {
  libusb_device **list = nullptr;
  ssize_t n = libusb_get_device_list(ctx, &list);
  libusb_device_handle *handle = nullptr;
  for (ssize_t i = 0; i < n; ++i) {
    if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address) {
      if (libusb_open(list[i], &handle) != 0) handle = nullptr;
      break;
    }
  }
  if (n >= 0) libusb_free_device_list(list, 1);
  return handle;
}

}  // namespace

BridgeBench::BridgeBench(BridgeConfig config, uint16_t product_id)
    : model_(std::make_shared<BridgeModel>(config)) {
  InstallFillerFirmware();
  device_ = &bed_.AddDevice(BridgeDesc(product_id), model_);
  ctx_.pid = product_id;
  ctx_.ep_in = kBulkIn;
  ctx_.ep_out = kBulkOut;
  ctx_.imgdev = &imgdev_;
  imgdev_.priv = &ctx_;
  imgdev_.dev = &fpdev_;
  fpdev_.priv = &imgdev_;
}

BridgeBench::BridgeBench(std::shared_ptr<usb_emul::DeviceModel> model, uint16_t product_id,
                         uint32_t module_type) {
  device_ = &bed_.AddDevice(BridgeDesc(product_id), std::move(model));
  ctx_.pid = product_id;
  ctx_.module_type = module_type;
  ctx_.ep_in = kBulkIn;
  ctx_.ep_out = kBulkOut;
  ctx_.imgdev = &imgdev_;
  imgdev_.priv = &ctx_;
  imgdev_.dev = &fpdev_;
  fpdev_.priv = &imgdev_;
}

BridgeBench::~BridgeBench() {
  if (quorvanta_ctx == &ctx_) quorvanta_ctx = nullptr;
  if (imgdev_.usb_handle != nullptr) libusb_close(imgdev_.usb_handle);
  if (fpi_usb_ctx != nullptr) libusb_exit(fpi_usb_ctx);
  fpi_usb_ctx = nullptr;
  if (mutex_ready_) pthread_mutex_destroy(&ctx_.usb_lock);
}

usb_emul::Device &BridgeBench::AddDevice(const usb_emul::DeviceDesc &desc,
                                         std::shared_ptr<usb_emul::DeviceModel> model) {
  return bed_.AddDevice(desc, std::move(model));
}

void BridgeBench::Open() {
  if (libusb_init(&fpi_usb_ctx) != 0) throw std::runtime_error("libusb_init failed");
  const usb_emul::DeviceDesc &desc = device_->desc();
  imgdev_.usb_handle = OpenAt(fpi_usb_ctx, desc.bus, desc.address);
  if (imgdev_.usb_handle == nullptr) throw std::runtime_error("cannot open the bridge");
  fpdev_.usb_handle = imgdev_.usb_handle;
  int r = libusb_claim_interface(imgdev_.usb_handle, 0);
  if (r != 0) throw std::runtime_error(std::string("claim failed: ") + libusb_error_name(r));
  pthread_mutex_init(&ctx_.usb_lock, nullptr);
  mutex_ready_ = true;
  quorvanta_ctx = &ctx_;
  device_->ClearLog();
}

}  // namespace bridge_emul
