// Library start-up and shut-down, the driver registry, the opened-device
// list and the log level.
#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bq_dump.h"
#include "framework/fp_internal.h"
#include "framework/fpi_builtin_drivers.h"

libusb_context *fpi_usb_ctx = nullptr;

namespace {

constexpr const char kStartMarker[] =
    "----8<----------------------------- LOG ------------------------------------";
constexpr const char kEndMarker[] =
    "---------------------------------------------------------------------->8----\n";

// Most recently registered first.
std::vector<fp_driver *> g_registered_drivers;
// Most recently opened first.
std::vector<fp_dev *> g_opened_devices;

void register_driver(fp_driver *drv) {
  if (drv->id == 0) {
    fp_err("not registering driver %s: driver ID is 0", drv->name);
    return;
  }
  // A second fp_init without fp_exit must not list a driver twice.
  if (std::find(g_registered_drivers.begin(), g_registered_drivers.end(), drv) !=
      g_registered_drivers.end()) {
    return;
  }
  g_registered_drivers.insert(g_registered_drivers.begin(), drv);
  fp_dbg("registered driver %s", drv->name);
}

void register_drivers() {
  for (size_t i = 0; i < fpi_builtin_img_driver_count; ++i) {
    fpi_register_img_driver(fpi_builtin_img_drivers[i]);
  }
}

void SetUsbLogLevel(int level) {
  if (fpi_usb_ctx != nullptr) {
    libusb_set_option(fpi_usb_ctx, LIBUSB_OPTION_LOG_LEVEL, fpi_usb_log_level(level));
  }
}

}  // namespace

extern "C" int fpi_usb_log_level(int level) {
  int usb = level - 1;
  if (level <= 0) usb = LIBUSB_LOG_LEVEL_NONE;
  return std::clamp(usb, static_cast<int>(LIBUSB_LOG_LEVEL_NONE),
                    static_cast<int>(LIBUSB_LOG_LEVEL_DEBUG));
}

extern "C" void fpi_register_img_driver(struct fp_img_driver *idrv) {
  fpi_imgdrv_fill_slots(idrv);
  register_driver(&idrv->driver);
}

extern "C" size_t fpi_registered_drivers(struct fp_driver *const **drivers) {
  if (drivers != nullptr) *drivers = g_registered_drivers.data();
  return g_registered_drivers.size();
}

extern "C" void fpi_opened_dev_add(struct fp_dev *dev) {
  g_opened_devices.insert(g_opened_devices.begin(), dev);
}

extern "C" int fpi_opened_dev_remove(struct fp_dev *dev) {
  auto it = std::find(g_opened_devices.begin(), g_opened_devices.end(), dev);
  if (it == g_opened_devices.end()) return 0;
  g_opened_devices.erase(it);
  return 1;
}

extern "C" size_t fpi_opened_dev_count(void) { return g_opened_devices.size(); }

extern "C" int fp_init(void) {
  const char *debug = std::getenv("LIBFPDEV_DEBUG");
  const char *dump = std::getenv("LIBFPDEV_DUMP");

  // A second call keeps the context: devices may already be open on it.
  if (fpi_usb_ctx == nullptr) {
    libusb_context *ctx = nullptr;
    int r = libusb_init(&ctx);
    if (r < 0) return r;
    fpi_usb_ctx = ctx;
  }

  if (debug != nullptr) {
    g_libfpdev_log_level = static_cast<int>(std::strtol(debug, nullptr, 10));
    if (g_libfpdev_log_level != 0) {
      g_libfpdev_log_level_fixed = 1;
      SetUsbLogLevel(g_libfpdev_log_level);
    }
  }
  if (dump != nullptr) g_libfpdev_dump = std::strtol(dump, nullptr, 10) != 0 ? 1 : 0;
  if (g_libfpdev_dump) bq_dump_log_append(kStartMarker, std::strlen(kStartMarker));

  fp_dbg("%s", "");
  register_drivers();
  fpi_poll_init();
  return 0;
}

extern "C" void fp_exit(void) {
  fp_dbg("%s", "");

  if (!g_opened_devices.empty()) {
    fp_dbg("naughty app left devices open on exit!");
    // Closing removes the device from the list: work on a copy.
    std::vector<fp_dev *> leftovers = g_opened_devices;
    for (fp_dev *dev : leftovers) fp_dev_close(dev);
    g_opened_devices.clear();
  }

  fpi_print_store_exit();
  fpi_poll_exit();
  g_registered_drivers.clear();

  if (fpi_usb_ctx != nullptr) {
    libusb_exit(fpi_usb_ctx);
    fpi_usb_ctx = nullptr;
  }

  if (g_libfpdev_dump) bq_dump_log_append(kEndMarker, std::strlen(kEndMarker));
}

extern "C" void fp_set_debug(int level) {
  if (g_libfpdev_log_level_fixed) return;
  g_libfpdev_log_level = level;
  SetUsbLogLevel(level);
}

extern "C" struct fp_driver **fpdev_get_drivers(void) {
  const size_t n = fpi_builtin_img_driver_count;
  fp_driver **list = g_new0(fp_driver *, n + 1);
  for (size_t i = 0; i < n; ++i) list[i] = &fpi_builtin_img_drivers[i]->driver;
  return list;
}
