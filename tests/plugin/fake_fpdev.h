// A scripted stand-in for the device library, loaded by the plug-in under
// test. It exports the 26 fp_* functions the plug-in resolves and a control
// record through which a test scripts discovery, opening, event polling,
// enrolment and identification, and reads back what the plug-in did.
//
// Prints are real "FP2" blobs (header "FP2", driver id, device type, data
// type, then items of a 4-byte length and the bytes); the fake's prints come
// from driver 35, device type 0, data type 1 and hold one item, the text of
// the finger on the sensor.
//
// Like the real library, the fake may be driven by one thread at a time: a
// call made while another thread is inside one (a poll, typically) aborts
// the process, as does any use of a closed device by an operation or a
// poll. Closing a closed device and fp_exit without fp_init are counted.
//
// Out of process (the real service loading the plug-in), the script is read
// from the file named by FAKE_FPDEV_SCRIPT at fp_init and again at every
// enrolment and identification start: lines "devices 35 ...", "stages N" and
// "finger TEXT" (an empty finger lifts it). Polls then sleep for their wait.
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
struct fp_print_data;

#define FAKE_FPDEV_MAX_DEVICES 8
#define FAKE_FPDEV_MAX_POLLS 4096
#define FAKE_FPDEV_MAX_STEPS 32
#define FAKE_FPDEV_MAX_GALLERY 16
#define FAKE_FPDEV_MAX_TEXT 64
#define FAKE_FPDEV_MAX_PENDING 4

typedef void (*fake_fpdev_stop_cb)(struct fp_dev *dev, void *user_data);

// One scripted identification outcome.
struct fake_fpdev_identify_step {
  int result;     // 0 NO_MATCH, 1 MATCH, 100-103 retry, negative error, -1000: none
  size_t offset;  // reported match offset
};

// An asynchronous stop whose callback runs during a later poll.
struct fake_fpdev_pending_stop {
  fake_fpdev_stop_cb cb;
  void *data;
  int polls_left;
  int enroll;  // 1 for an enrolment stop
};

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
  // every call, after pending stops and reports, with the call's 1-based
  // number.
  int sleep_in_poll;
  long shorten_first_usec;
  int fail_at_poll;
  void (*on_poll)(int call, void *arg);
  void *on_poll_arg;
  // Runs at the start of every fp_dev_close.
  void (*on_close)(void *arg);
  void *on_close_arg;

  // The finger on the sensor (NUL-terminated text; empty: none). An
  // enrolment's COMPLETE carries a print of it; an unscripted identification
  // matches the first gallery print whose item starts with it.
  char finger[FAKE_FPDEV_MAX_TEXT];

  // Enrolment: a negative enroll_start_result refuses the start. After a
  // start, each poll reports the next of enroll_results; with none
  // scripted, nr_enroll_stages - 1 PASS (3) and a COMPLETE (1).
  // complete_without_print makes COMPLETE carry no print.
  int enroll_start_result;
  int nr_enroll_results;
  int enroll_results[FAKE_FPDEV_MAX_STEPS];
  int complete_without_print;

  // Identification: a negative identify_start_result refuses the start.
  // Each start takes the next scripted step and reports it at the first poll
  // after the start; without one it matches the finger (NO_MATCH when no
  // print matches; nothing at all when no finger is on the sensor).
  int identify_start_result;
  int nr_identify_steps;
  struct fake_fpdev_identify_step identify_steps[FAKE_FPDEV_MAX_STEPS];

  // Identify stop: its result; when it succeeds, the stop callback runs
  // during poll number `stop_cb_after_polls` after the stop (0: inside the
  // stop call itself, as the real library does after a synchronous open).
  int identify_stop_result;
  int stop_cb_after_polls;

  // Template interface: a nonzero update_result makes fp_template_data_update
  // fail with it; otherwise it returns the last matched print's item with
  // "+" appended. fp_template_registered_number answers registered_number
  // and registered_number_result; delete answers delete_result.
  int update_result;
  int registered_number;
  int registered_number_result;
  int delete_result;

  // Unplugging: from the next poll on no stage or identification result is
  // reported, except unplug_error (when nonzero), reported once to the
  // running operation as the real library reports its failed transfers.
  // Discovery finds no device and operations refuse to start (-19).
  int unplugged;
  int unplug_error;

  // Record.
  int init_calls;
  int exit_calls;
  int init_while_initialised;  // fp_init without fp_exit since the last one
  int initialised;
  int close_calls;
  struct fp_dev *closed[FAKE_FPDEV_MAX_DEVICES * 4];
  int close_of_closed;   // fp_dev_close of a device not open
  int exit_without_init; // fp_exit with the library not initialised
  int poll_calls;
  long poll_usec_given[FAKE_FPDEV_MAX_POLLS];
  int enroll_start_calls;
  int enroll_stop_calls;
  int enroll_stopped_at_poll;  // poll in which the last enrol stop completed
  int identify_start_calls;
  int identify_stop_calls;
  struct fake_fpdev_pending_stop pending[FAKE_FPDEV_MAX_PENDING];
  // The items of the last identification's gallery and of the last import
  // (first item of each print, as text), with their counts.
  int identify_gallery_size;
  char identify_gallery[FAKE_FPDEV_MAX_GALLERY][FAKE_FPDEV_MAX_TEXT];
  int import_calls;
  int import_size;
  char imported[FAKE_FPDEV_MAX_GALLERY][FAKE_FPDEV_MAX_TEXT];
  int delete_calls;
  int delete_size;
  int sync_calls;
  int sync_size;
  int update_calls;
  char last_match[FAKE_FPDEV_MAX_TEXT];
  int prints_alive;  // prints made by the fake and not yet freed
};

// The fake's control record (one per process).
struct fake_fpdev_script *fake_fpdev_control(void);
// Handle fp_dev_open gives for discovered device i.
struct fp_dev *fake_fpdev_handle(int i);
// Full name of the fake's driver with id `id`.
const char *fake_fpdev_driver_name(uint16_t id);
// A new print of the fake's kind holding `text` as its one item.
struct fp_print_data *fake_fpdev_print(const char *text);

#ifdef __cplusplus
}
#endif

#endif  // TESTS_PLUGIN_FAKE_FPDEV_H_
