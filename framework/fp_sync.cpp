// Blocking forms of the device operations.
#define FP_COMPONENT "sync"

#include <glib.h>

#include "framework/fp_internal.h"

extern "C" void fp_dev_close(struct fp_dev *dev) {
  if (dev == nullptr) return;
  fp_dbg("%s", "");
  // Until drivers can be closed asynchronously, closing releases what the
  // framework holds for the device.
  fpi_opened_dev_remove(dev);
  if (dev->usb_handle != nullptr) libusb_close(dev->usb_handle);
  g_free(dev);
}
