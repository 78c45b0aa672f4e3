// USB transfers of the open quorvanta device: control and bulk transfers
// serialised by the context's usb_lock, and the recovery after a failed bulk
// transfer (device reset, else a re-open on the framework's libusb context).
//
// Every function works on the global quorvanta_ctx: its imaging device's
// libusb handle, its bulk endpoints ep_in and ep_out, its product id and its
// usb_lock, which must be initialised before the first transfer.
#ifndef DRIVERS_ZQ_SENSOR_ZQ_USB_H_
#define DRIVERS_ZQ_SENSOR_ZQ_USB_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct libusb_device_handle;

// Vendor id of every quorvanta device.
#define ZQ_USB_VENDOR_ID 0x3c5d

// Bulk directions of usb_bulk_transfer.
enum { ZQ_USB_DIR_OUT = 0, ZQ_USB_DIR_IN = 1 };

// One libusb_control_transfer on the open device under usb_lock. *wLength is
// the length of the data stage at `data` (NULL allowed for 0); no retry, no
// reset. Returns the byte count transferred or a negative libusb error
// (LIBUSB_ERROR_NO_DEVICE without an open device, LIBUSB_ERROR_INVALID_PARAM
// for a NULL wLength).
int usb_control_transfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                         uint16_t wIndex, uint8_t *data, uint16_t *wLength,
                         unsigned timeout_ms);

// One libusb_bulk_transfer of `len` bytes on ep_in (direction 1) or ep_out
// (direction 0) under usb_lock; *transferred (may be NULL) receives the byte
// count. A failed transfer resets the device (quorv_usb_reset) before the
// lock is released. Returns 0, or the transfer's own negative libusb error
// whatever the recovery did (LIBUSB_ERROR_NO_DEVICE without an open device
// or handle, LIBUSB_ERROR_INVALID_PARAM for a NULL buffer).
int usb_bulk_transfer(int direction, void *buf, uint16_t len, int *transferred,
                      unsigned timeout_ms);

// usb_bulk_transfer on the IN endpoint.
int usb_bulk_in_transfer(void *buf, uint16_t len, int *transferred, unsigned timeout_ms);

// usb_bulk_transfer on the OUT endpoint.
int usb_bulk_out_transfer(const void *buf, uint16_t len, int *transferred, unsigned timeout_ms);

// libusb_reset_device on the open device under usb_lock. Returns 0 or the
// libusb error (LIBUSB_ERROR_NO_DEVICE without an open device or handle).
int usb_reset_device(void);

// libusb_claim_interface on the open device under usb_lock. Returns 0 or the
// libusb error (LIBUSB_ERROR_NO_DEVICE without an open device or handle).
int usb_claim_interface(int number);

// Recovery after a failed bulk transfer: libusb_reset_device on the handle;
// when that fails, or there is no handle, a re-open with
// zq_ReClaimUdevHandle whose handle (if any) replaces the old one in the
// imaging device and its fp_dev; the old one is closed. Nothing happens without an open context. The caller holds usb_lock.
void quorv_usb_reset(void);

// Opens the device again on the framework's context fpi_usb_ctx
// (framework/fp_internal.h), so the framework's poll notifiers keep working:
// first device
// with vendor 0x3c5d and the context's product id, reset, claim interface 0.
// Returns the new handle, or NULL when any step fails (then nothing stays
// open). Never creates a libusb context.
struct libusb_device_handle *zq_ReClaimUdevHandle(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_SENSOR_ZQ_USB_H_
