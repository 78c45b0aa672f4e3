#include "plugin/fake_fpdev.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

struct fp_dev {
  int index;
};
struct fp_dscv_dev {
  int index;
};
struct fp_driver {
  uint16_t id;
  char name[32];
};
struct fp_print_data;
struct fp_img;

namespace {

fake_fpdev_script g_control;
fp_dev g_devices[FAKE_FPDEV_MAX_DEVICES];
fp_dscv_dev g_discovered[FAKE_FPDEV_MAX_DEVICES];
fp_driver g_drivers[FAKE_FPDEV_MAX_DEVICES];

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT fake_fpdev_script *fake_fpdev_control(void) { return &g_control; }

FAKE_EXPORT fp_dev *fake_fpdev_handle(int i) { return &g_devices[i]; }

FAKE_EXPORT const char *fake_fpdev_driver_name(uint16_t id) {
  static char name[32];
  std::snprintf(name, sizeof name, "Fake driver %u", static_cast<unsigned>(id));
  return name;
}

FAKE_EXPORT int fp_init(void) {
  if (g_control.initialised) ++g_control.init_while_initialised;
  g_control.initialised = 1;
  ++g_control.init_calls;
  return 0;
}

FAKE_EXPORT void fp_exit(void) {
  g_control.initialised = 0;
  ++g_control.exit_calls;
}

FAKE_EXPORT fp_dscv_dev **fp_discover_devs(void) {
  if (g_control.discover_returns_null) return nullptr;
  auto **list = static_cast<fp_dscv_dev **>(
      std::calloc(static_cast<size_t>(g_control.nr_devices) + 1, sizeof(fp_dscv_dev *)));
  for (int i = 0; i < g_control.nr_devices; ++i) {
    g_discovered[i].index = i;
    list[i] = &g_discovered[i];
  }
  return list;
}

FAKE_EXPORT void fp_dscv_devs_free(fp_dscv_dev **devs) { std::free(devs); }

FAKE_EXPORT fp_driver *fp_dscv_dev_get_driver(fp_dscv_dev *dev) {
  fp_driver *driver = &g_drivers[dev->index];
  driver->id = g_control.driver_ids[dev->index];
  std::snprintf(driver->name, sizeof driver->name, "%s", fake_fpdev_driver_name(driver->id));
  return driver;
}

FAKE_EXPORT uint16_t fp_driver_get_driver_id(fp_driver *drv) { return drv->id; }

FAKE_EXPORT const char *fp_driver_get_full_name(fp_driver *drv) { return drv->name; }

FAKE_EXPORT const void *fp_driver_get_id_table(fp_driver *) { return nullptr; }

FAKE_EXPORT fp_dev *fp_dev_open(fp_dscv_dev *ddev) {
  if (g_control.open_fails[ddev->index]) return nullptr;
  g_devices[ddev->index].index = ddev->index;
  return &g_devices[ddev->index];
}

FAKE_EXPORT void fp_dev_close(fp_dev *dev) {
  int n = g_control.close_calls++;
  if (n < static_cast<int>(sizeof g_control.closed / sizeof g_control.closed[0]))
    g_control.closed[n] = dev;
}

FAKE_EXPORT int fp_dev_get_nr_enroll_stages(fp_dev *) { return g_control.nr_enroll_stages; }

#ifndef FAKE_FPDEV_WITHOUT_MODULE_TYPE
FAKE_EXPORT int fp_get_module_type(fp_dev *) { return g_control.module_type; }
#endif

FAKE_EXPORT int fp_handle_events_timeout(struct timeval *tv) {
  int call = ++g_control.poll_calls;
  if (call <= FAKE_FPDEV_MAX_POLLS) g_control.poll_usec_given[call - 1] = tv->tv_usec;
  if (call == 1 && g_control.shorten_first_usec > 0 && g_control.shorten_first_usec < tv->tv_usec)
    tv->tv_usec = g_control.shorten_first_usec;
  if (g_control.sleep_in_poll) usleep(static_cast<useconds_t>(tv->tv_sec * 1000000 + tv->tv_usec));
  if (g_control.pending_stop_cb != nullptr && --g_control.pending_stop_polls <= 0) {
    fake_fpdev_stop_cb cb = g_control.pending_stop_cb;
    g_control.pending_stop_cb = nullptr;
    cb(nullptr, g_control.pending_stop_data);
  }
  if (g_control.on_poll != nullptr) g_control.on_poll(call, g_control.on_poll_arg);
  return call == g_control.fail_at_poll ? -5 : 0;
}

FAKE_EXPORT int fp_async_enroll_start(fp_dev *, void *, void *) { return 0; }

FAKE_EXPORT int fp_async_enroll_stop(fp_dev *, fake_fpdev_stop_cb cb, void *data) {
  ++g_control.enroll_stop_calls;
  // Completes during a later poll, as the real library does.
  g_control.pending_stop_cb = cb;
  g_control.pending_stop_data = data;
  g_control.pending_stop_polls = 1;
  return 0;
}

FAKE_EXPORT int fp_async_identify_start(fp_dev *, fp_print_data **, void *, void *) { return 0; }

FAKE_EXPORT int fp_async_identify_stop(fp_dev *dev, fake_fpdev_stop_cb cb, void *data) {
  ++g_control.identify_stop_calls;
  if (g_control.identify_stop_result < 0) return g_control.identify_stop_result;
  if (g_control.stop_cb_after_polls == 0) {
    cb(dev, data);
  } else {
    g_control.pending_stop_cb = cb;
    g_control.pending_stop_data = data;
    g_control.pending_stop_polls = g_control.stop_cb_after_polls;
  }
  return 0;
}

FAKE_EXPORT size_t fp_print_data_get_data(fp_print_data *, unsigned char **ret) {
  *ret = nullptr;
  return 0;
}

FAKE_EXPORT void fp_print_data_free(fp_print_data *) {}

FAKE_EXPORT fp_print_data *fp_print_data_from_data(unsigned char *, size_t) { return nullptr; }

FAKE_EXPORT int fp_template_data_sync(fp_print_data **) { return 0; }
FAKE_EXPORT int fp_template_data_delete(fp_print_data **) { return 0; }
FAKE_EXPORT int fp_template_data_import(fp_print_data **) { return 0; }

FAKE_EXPORT int fp_template_registered_number(uint8_t *count) {
  *count = 0;
  return 0;
}

FAKE_EXPORT int fp_template_data_update(fp_print_data **print, int *slot) {
  *print = nullptr;
  *slot = 0;
  return -1;
}

FAKE_EXPORT void fp_set_debug(int) {}
