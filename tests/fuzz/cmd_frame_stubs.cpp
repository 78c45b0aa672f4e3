// The transfers of the framed-command code, reduced to a missing device:
// a fuzz run of the frame checks needs no device.
#include "base/bq_error.h"
#include "drivers/zq_sensor/zq_usb.h"

extern "C" int usb_bulk_in_transfer(void *, uint16_t, int *, unsigned) { return BQ_ERROR_NO_DEVICE; }
extern "C" int usb_bulk_out_transfer(const void *, uint16_t, int *, unsigned) {
  return BQ_ERROR_NO_DEVICE;
}
