// Discovery: USB devices matched against the registered drivers' id tables,
// and the discovered-device queries.
#include <glib.h>

#include <vector>

#include "framework/fp_internal.h"

namespace {

// The discovery lines are logged under this name.
constexpr const char kFindFunction[] = "find_supporting_driver";

#define find_log(level, ...) fpi_log_message((level), FP_COMPONENT, kFindFunction, __VA_ARGS__)
#define find_dbg(...) find_log(FPI_LOG_LEVEL_DEBUG, __VA_ARGS__)

}  // namespace

extern "C" struct fp_driver *fpi_choose_driver(struct fp_driver *const *drivers, size_t n,
                                               const struct libusb_device_descriptor *dsc,
                                               unsigned long *driver_data, uint32_t *devtype) {
  fp_driver *best = nullptr;
  unsigned long best_data = 0;
  uint32_t best_devtype = 0;
  int score = 0;

  for (size_t i = 0; i < n; ++i) {
    fp_driver *drv = drivers[i];
    if (drv->id_table == nullptr) continue;
    for (const usb_id *row = drv->id_table; row->vendor != 0; ++row) {
      if (row->vendor != dsc->idVendor || row->product != dsc->idProduct) continue;
      if (drv->discover != nullptr) {
        uint32_t type = 0;
        int r = drv->discover(dsc, &type);
        if (r < 0) find_log(FPI_LOG_LEVEL_ERROR, "%s discover failed, code %d", drv->name, r);
        if (r <= 0) continue;
        best = drv;
        best_data = row->driver_data;
        best_devtype = type;
        score = 100;
        find_dbg("driver %s supports USB device %04x:%04x", drv->name, dsc->idVendor,
                 dsc->idProduct);
        break;
      }
      if (score >= 50) continue;
      best = drv;
      best_data = row->driver_data;
      best_devtype = 0;
      score = 50;
      find_dbg("driver %s supports USB device %04x:%04x", drv->name, dsc->idVendor,
               dsc->idProduct);
    }
  }

  if (best != nullptr) {
    if (driver_data != nullptr) *driver_data = best_data;
    if (devtype != nullptr) *devtype = best_devtype;
  }
  return best;
}

extern "C" struct fp_dscv_dev **fp_discover_devs(void) {
  fp_driver *const *drivers = nullptr;
  size_t nr_drivers = fpi_registered_drivers(&drivers);
  if (nr_drivers == 0) return nullptr;

  libusb_device **list = nullptr;
  ssize_t count = libusb_get_device_list(fpi_usb_ctx, &list);
  if (count < 0) {
    fp_err("couldn't enumerate USB devices, error %d", static_cast<int>(count));
    return nullptr;
  }

  // Each find goes to the head: the result is the reverse of enumeration.
  std::vector<fp_dscv_dev *> found;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device *udev = list[i];
    libusb_device_descriptor dsc;
    if (libusb_get_device_descriptor(udev, &dsc) < 0) {
      find_log(FPI_LOG_LEVEL_ERROR, "Failed to get device descriptor");
      continue;
    }
    unsigned long driver_data = 0;
    uint32_t devtype = 0;
    fp_driver *drv = fpi_choose_driver(drivers, nr_drivers, &dsc, &driver_data, &devtype);
    if (drv == nullptr) continue;
    fp_dbg("selected driver %s supports USB device %04x:%04x", drv->name, dsc.idVendor,
           dsc.idProduct);
    fp_dscv_dev *ddev = g_new0(fp_dscv_dev, 1);
    ddev->udev = libusb_ref_device(udev);
    ddev->drv = drv;
    ddev->driver_data = driver_data;
    ddev->devtype = devtype;
    found.insert(found.begin(), ddev);
  }
  libusb_free_device_list(list, 1);

  fp_dscv_dev **result = g_new0(fp_dscv_dev *, found.size() + 1);
  for (size_t i = 0; i < found.size(); ++i) result[i] = found[i];
  return result;
}

extern "C" void fp_dscv_devs_free(struct fp_dscv_dev **devs) {
  if (devs == nullptr) return;
  for (fp_dscv_dev **it = devs; *it != nullptr; ++it) {
    libusb_unref_device((*it)->udev);
    g_free(*it);
  }
  g_free(devs);
}

extern "C" struct fp_driver *fp_dscv_dev_get_driver(struct fp_dscv_dev *dev) { return dev->drv; }

extern "C" uint32_t fp_dscv_dev_get_devtype(struct fp_dscv_dev *dev) { return dev->devtype; }

extern "C" int fp_dscv_dev_supports_print_data(struct fp_dscv_dev *dev,
                                               struct fp_print_data *print) {
  return fpi_print_data_compatible(dev->drv->id, dev->devtype, fpi_driver_get_data_type(dev->drv),
                                   print->driver_id, print->devtype, print->type);
}

extern "C" int fp_dscv_dev_supports_dscv_print(struct fp_dscv_dev *dev,
                                               struct fp_dscv_print *print) {
  return fpi_print_data_compatible(dev->drv->id, dev->devtype, FP_PRINT_DATA_RAW, print->driver_id,
                                   print->devtype, FP_PRINT_DATA_RAW);
}

extern "C" struct fp_dscv_dev *fp_dscv_dev_for_print_data(struct fp_dscv_dev **devs,
                                                          struct fp_print_data *print) {
  for (fp_dscv_dev **it = devs; *it != nullptr; ++it) {
    if (fp_dscv_dev_supports_print_data(*it, print)) return *it;
  }
  return nullptr;
}

extern "C" struct fp_dscv_dev *fp_dscv_dev_for_dscv_print(struct fp_dscv_dev **devs,
                                                          struct fp_dscv_print *print) {
  for (fp_dscv_dev **it = devs; *it != nullptr; ++it) {
    if (fp_dscv_dev_supports_dscv_print(*it, print)) return *it;
  }
  return nullptr;
}
