#include "drivers/zq_sensor/zq_usb.h"

#include <libusb.h>

#include "base/bq_log.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fp_internal.h"

#define TAG "quorvanta:sensor"

namespace {

// Holds the open device's usb_lock for one scope.
class UsbLock {
 public:
  explicit UsbLock(quorvanta_ctx_t *ctx) : ctx_(ctx) { pthread_mutex_lock(&ctx_->usb_lock); }
  ~UsbLock() { pthread_mutex_unlock(&ctx_->usb_lock); }
  UsbLock(const UsbLock &) = delete;
  UsbLock &operator=(const UsbLock &) = delete;

 private:
  quorvanta_ctx_t *ctx_;
};

libusb_device_handle *HandleOf(const quorvanta_ctx_t *ctx) {
  return ctx->imgdev != nullptr ? ctx->imgdev->usb_handle : nullptr;
}

}  // namespace

extern "C" int usb_control_transfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                    uint16_t wIndex, uint8_t *data, uint16_t *wLength,
                                    unsigned timeout_ms) {
  if (wLength == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) return LIBUSB_ERROR_NO_DEVICE;
  UsbLock lock(ctx);
  libusb_device_handle *handle = HandleOf(ctx);
  if (handle == nullptr) return LIBUSB_ERROR_NO_DEVICE;
  return libusb_control_transfer(handle, bmRequestType, bRequest, wValue, wIndex, data,
                                 *wLength, timeout_ms);
}

extern "C" int usb_bulk_transfer(int direction, void *buf, uint16_t len, int *transferred,
                                 unsigned timeout_ms) {
  int done = 0;
  if (transferred == nullptr) transferred = &done;
  *transferred = 0;
  if (buf == nullptr && len != 0) return LIBUSB_ERROR_INVALID_PARAM;
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) return LIBUSB_ERROR_NO_DEVICE;
  uint8_t endpoint = direction == ZQ_USB_DIR_IN ? ctx->ep_in : ctx->ep_out;
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:endpoint=%x", __LINE__, endpoint);
  // The recovery runs before the lock is released, so no other caller's
  // transfer can start between the failure and the reset (and be cut by it).
  UsbLock lock(ctx);
  libusb_device_handle *handle = HandleOf(ctx);
  int r = handle == nullptr
              ? LIBUSB_ERROR_NO_DEVICE
              : libusb_bulk_transfer(handle, endpoint, static_cast<unsigned char *>(buf), len,
                                     transferred, timeout_ms);
  if (r == 0) return 0;
  BQ_LOG_ERROR_MSG(TAG, "usb transfer,reset");
  quorv_usb_reset();
  return r;
}

extern "C" int usb_bulk_in_transfer(void *buf, uint16_t len, int *transferred,
                                    unsigned timeout_ms) {
  return usb_bulk_transfer(ZQ_USB_DIR_IN, buf, len, transferred, timeout_ms);
}

extern "C" int usb_bulk_out_transfer(const void *buf, uint16_t len, int *transferred,
                                     unsigned timeout_ms) {
  // libusb takes a mutable pointer but never writes an OUT buffer.
  return usb_bulk_transfer(ZQ_USB_DIR_OUT, const_cast<void *>(buf), len, transferred, timeout_ms);
}

extern "C" int usb_reset_device(void) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) return LIBUSB_ERROR_NO_DEVICE;
  UsbLock lock(ctx);
  libusb_device_handle *handle = HandleOf(ctx);
  return handle == nullptr ? LIBUSB_ERROR_NO_DEVICE : libusb_reset_device(handle);
}

extern "C" int usb_claim_interface(int number) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) return LIBUSB_ERROR_NO_DEVICE;
  UsbLock lock(ctx);
  libusb_device_handle *handle = HandleOf(ctx);
  return handle == nullptr ? LIBUSB_ERROR_NO_DEVICE : libusb_claim_interface(handle, number);
}

extern "C" void quorv_usb_reset(void) {
  BQ_LOG_ERROR_MSG(TAG, "%s enter", __func__);
  BQ_LOG_ERROR_MSG(TAG, "%s enter,reset0", __func__);
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "quorvanta_ctx is null");
    return;
  }
  fp_img_dev *imgdev = ctx->imgdev;
  libusb_device_handle *old = HandleOf(ctx);
  if (old != nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "%s enter,reset1", __func__);
    int r = libusb_reset_device(old);
    if (r == 0) {
      BQ_LOG_ERROR_MSG(TAG, "reset usb success");
      return;
    }
    BQ_LOG_ERROR_MSG(TAG, "failed to reset the device: %d.", r);
    // The new handle claims interface 0 itself; the old one gives it up.
    libusb_release_interface(old, 0);
  } else {
    BQ_LOG_ERROR_MSG(TAG, "%s enter,reset2", __func__);
  }
  // Without an imaging device there is nowhere to keep a handle.
  if (imgdev == nullptr) return;
  libusb_device_handle *fresh = zq_ReClaimUdevHandle();
  if (fresh == nullptr) return;
  // The framework closes the fp_dev's copy at close: both copies move on.
  imgdev->usb_handle = fresh;
  if (imgdev->dev != nullptr) imgdev->dev->usb_handle = fresh;
  if (old != nullptr) libusb_close(old);
}

extern "C" libusb_device_handle *zq_ReClaimUdevHandle(void) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr || fpi_usb_ctx == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "failed to open udev handle.0x%x", ctx != nullptr ? ctx->pid : 0);
    return nullptr;
  }
  libusb_device_handle *handle =
      libusb_open_device_with_vid_pid(fpi_usb_ctx, ZQ_USB_VENDOR_ID, ctx->pid);
  if (handle == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "failed to open udev handle.0x%x", ctx->pid);
    return nullptr;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:libusb_open_device_with_vid_pid success", __LINE__);
  int r = libusb_reset_device(handle);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "failed to reset the device: %d", r);
    libusb_close(handle);
    return nullptr;
  }
  r = libusb_claim_interface(handle, 0);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "failed to claim interface: %s", libusb_error_name(r));
    libusb_close(handle);
    return nullptr;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:zq_ReClaimUdevHandle success", __LINE__);
  return handle;
}
