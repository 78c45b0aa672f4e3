// Queries on open devices and drivers, and print compatibility.
#include "framework/fp_internal.h"

extern "C" enum fp_print_data_type fpi_driver_get_data_type(struct fp_driver *drv) {
  switch (drv->type) {
    case DRIVER_PRIMITIVE:
      return FP_PRINT_DATA_RAW;
    case DRIVER_IMAGING:
      return FP_PRINT_DATA_MINUTIAE;
    default:
      fp_err("unrecognised drv type %d", drv->type);
      return FP_PRINT_DATA_RAW;
  }
}

extern "C" int fpi_print_data_compatible(uint16_t driver_id1, uint32_t devtype1, int type1,
                                         uint16_t driver_id2, uint32_t devtype2, int type2) {
  if (driver_id1 != driver_id2) {
    fp_dbg("driver ID mismatch: %02x vs %02x", driver_id1, driver_id2);
    return 0;
  }
  if (devtype1 != devtype2) {
    fp_dbg("devtype mismatch: %04x vs %04x", devtype1, devtype2);
    return 0;
  }
  if (type1 != type2) {
    fp_dbg("type mismatch: %d vs %d", type1, type2);
    return 0;
  }
  return 1;
}

extern "C" struct fp_driver *fp_dev_get_driver(struct fp_dev *dev) { return dev->driver; }

extern "C" int fp_dev_get_nr_enroll_stages(struct fp_dev *dev) { return dev->nr_enroll_stages; }

extern "C" uint32_t fp_dev_get_devtype(struct fp_dev *dev) { return dev->devtype; }

extern "C" int fp_dev_supports_print_data(struct fp_dev *dev, struct fp_print_data *print) {
  return fpi_print_data_compatible(dev->driver->id, dev->devtype,
                                   fpi_driver_get_data_type(dev->driver), print->driver_id,
                                   print->devtype, print->type);
}

extern "C" int fp_dev_supports_dscv_print(struct fp_dev *dev, struct fp_dscv_print *print) {
  return fpi_print_data_compatible(dev->driver->id, dev->devtype, FP_PRINT_DATA_RAW,
                                   print->driver_id, print->devtype, FP_PRINT_DATA_RAW);
}

extern "C" int fp_dev_supports_imaging(struct fp_dev *dev) {
  return dev->driver->capture_start != nullptr;
}

extern "C" int fp_dev_supports_identification(struct fp_dev *dev) {
  return dev->driver->identify_start != nullptr;
}

namespace {

// The imaging driver of an imaging device that has its fp_img_dev, else NULL.
fp_img_driver *ImagingDriver(fp_dev *dev) {
  if (dev->driver->type != DRIVER_IMAGING || dev->priv == nullptr) return nullptr;
  return fpi_driver_to_img_driver(dev->driver);
}

}  // namespace

extern "C" int fp_dev_get_img_width(struct fp_dev *dev) {
  fp_img_driver *idrv = ImagingDriver(dev);
  if (idrv == nullptr) {
    fp_dbg("get image width for non-imaging device");
    return -1;
  }
  return idrv->img_width == -1 ? 0 : idrv->img_width;
}

extern "C" int fp_dev_get_img_height(struct fp_dev *dev) {
  fp_img_driver *idrv = ImagingDriver(dev);
  if (idrv == nullptr) {
    fp_dbg("get image height for non-imaging device");
    return -1;
  }
  return idrv->img_height == -1 ? 0 : idrv->img_height;
}

extern "C" const char *fp_driver_get_name(struct fp_driver *drv) { return drv->name; }

extern "C" const char *fp_driver_get_full_name(struct fp_driver *drv) { return drv->full_name; }

extern "C" uint16_t fp_driver_get_driver_id(struct fp_driver *drv) { return drv->id; }

extern "C" const struct usb_id *fp_driver_get_id_table(struct fp_driver *drv) {
  return drv->id_table;
}

extern "C" enum fp_scan_type fp_driver_get_scan_type(struct fp_driver *drv) {
  return static_cast<enum fp_scan_type>(drv->scan_type);
}
