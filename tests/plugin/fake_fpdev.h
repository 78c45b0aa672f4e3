// A scripted stand-in for the device library, loaded by the plug-in under
// test. It exports the 26 fp_* functions the plug-in resolves and a control
// record through which a test scripts discovery, opening and event polling
// and reads back what the plug-in did.
#ifndef TESTS_PLUGIN_FAKE_FPDEV_H_
#define TESTS_PLUGIN_FAKE_FPDEV_H_

#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fp_dscv_dev;

#define FAKE_FPDEV_MAX_DEVICES 8
#define FAKE_FPDEV_MAX_POLLS 4096

typedef void (*fake_fpdev_stop_cb)(struct fp_dev *dev, void *user_data);

// Script and record of the fake library.
struct fake_fpdev_script {
  // Discovery: one driver id per discovered device; open_fails[i] makes
  // fp_dev_open of device i return NULL.
  int nr_devices;
  uint16_t driver_ids[FAKE_FPDEV_MAX_DEVICES];
  int open_fails[FAKE_FPDEV_MAX_DEVICES];
  int discover_returns_null;
  int module_type;
  int nr_enroll_stages;

  // Event polling: each call records the time-out it was given; when
  // shorten_first_usec is set, the first call writes that shorter wait back.
  // Each call sleeps for the wait it used when sleep_in_poll is set.
  // fail_at_poll (1-based) makes that call return -5. on_poll runs inside
  // every call, after recording it, with the call's 1-based number.
  int sleep_in_poll;
  long shorten_first_usec;
  int fail_at_poll;
  void (*on_poll)(int call, void *arg);
  void *on_poll_arg;

  // Identify stop: its result; when it succeeds, the stop callback runs
  // during poll number `stop_cb_after_polls` after the stop (0: inside the
  // stop call itself).
  int identify_stop_result;
  int stop_cb_after_polls;

  // Record.
  int init_calls;
  int exit_calls;
  int init_while_initialised;  // fp_init without fp_exit since the last one
  int initialised;
  int close_calls;
  struct fp_dev *closed[FAKE_FPDEV_MAX_DEVICES * 4];
  int poll_calls;
  long poll_usec_given[FAKE_FPDEV_MAX_POLLS];
  int enroll_stop_calls;
  int identify_stop_calls;
  fake_fpdev_stop_cb pending_stop_cb;
  void *pending_stop_data;
  int pending_stop_polls;
};

// The fake's control record (one per process).
struct fake_fpdev_script *fake_fpdev_control(void);
// Handle fp_dev_open gives for discovered device i.
struct fp_dev *fake_fpdev_handle(int i);
// Full name of the fake's driver with id `id`.
const char *fake_fpdev_driver_name(uint16_t id);

#ifdef __cplusplus
}
#endif

#endif  // TESTS_PLUGIN_FAKE_FPDEV_H_
