// The imaging-device layer between the framework and imaging drivers.
#include "framework/fp_internal.h"

extern "C" void fpi_imgdrv_fill_slots(struct fp_img_driver *idrv) {
  idrv->driver.type = DRIVER_IMAGING;
}
