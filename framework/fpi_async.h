// What drivers report to the framework's asynchronous operations, and the
// main driver's ATC switch reached from the enrol and identify stops.
#ifndef FRAMEWORK_FPI_ASYNC_H_
#define FRAMEWORK_FPI_ASYNC_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fp_img;
struct fp_print_data;

// Each completion logs under its own name (component "async") and checks the
// device state it expects; another state is logged as "BUG at file:line" and
// the completion goes on. A nonzero started status reaches the application as
// a negative error ("adjusted to %d" when it was positive) and puts the device
// in the error state. Prints and images passed in are handed to the
// application's callback, or released when no callback is subscribed.

// The driver's open has ended: state initialized (status 0) or error; the
// device joins the opened list; the open callback gets the status.
void fpi_drvcb_open_complete(struct fp_dev *dev, int status);

// The driver's close has ended: closes the USB handle, calls the close
// callback and releases the device.
void fpi_drvcb_close_complete(struct fp_dev *dev);

// The enrolment has started (status 0) or failed to start. Either way clears
// g_resumed_from_sleep and sets isNeedClearImgFirst.
void fpi_drvcb_enroll_started(struct fp_dev *dev, int status);

// One enrol stage ended with `result`; COMPLETE without a print becomes FAIL.
void fpi_drvcb_enroll_stage_completed(struct fp_dev *dev, int result,
                                      struct fp_print_data *data, struct fp_img *img);

// The enrolment has stopped: state initialized, stop callback.
void fpi_drvcb_enroll_stopped(struct fp_dev *dev);

// The verification has started (status 0) or failed to start.
void fpi_drvcb_verify_started(struct fp_dev *dev, int status);

// A verify result; results <= 1 end the verification (state verify done),
// retry codes keep it running.
void fpi_drvcb_report_verify_result(struct fp_dev *dev, int result, struct fp_img *img);

// The verification has stopped: state initialized, stop callback.
void fpi_drvcb_verify_stopped(struct fp_dev *dev);

// The identification has started (status 0) or failed to start.
void fpi_drvcb_identify_started(struct fp_dev *dev, int status);

// An identify result with the gallery index of a match. Retry codes clear
// g_identify_error and keep the identification running; other results end it
// (state identify done) and set g_identify_error to (result < 0).
void fpi_drvcb_report_identify_result(struct fp_dev *dev, int result, size_t match_offset,
                                      struct fp_img *img);

// The identification has stopped: state initialized, stop callback.
void fpi_drvcb_identify_stopped(struct fp_dev *dev);

// The capture has started (status 0) or failed to start.
void fpi_drvcb_capture_started(struct fp_dev *dev, int status);

// A capture result; results <= 0 end the capture (state capture done).
void fpi_drvcb_report_capture_result(struct fp_dev *dev, int result, struct fp_img *img);

// The capture has stopped: state initialized, stop callback.
void fpi_drvcb_capture_stopped(struct fp_dev *dev);

// Id of the main driver, whose device context the enrol and identify stops
// read for the ATC switch.
#define FPI_MAIN_DRIVER_ID 35

// Switches the ATC of a module-type-2 device on (1) or off (0); the result
// is not examined.
typedef int (*fpi_atc_set_fn)(struct fp_dev *dev, uint8_t on);

// Installs the main driver's ATC switch (NULL removes it). Until one is
// installed the enrol and identify stops decide as usual but switch nothing.
//
// On entry to fp_async_enroll_stop and fp_async_identify_stop, for a device
// of driver id 35 whose imaging device holds a quorvanta_ctx_t: with
// module_type 2 (identify: after a 20 ms bq_msleep) the switch is set to 1
// unless pid is 0x3b15, 0x3b16, 0x3b19 or 0x3b1a; for those pids it is set
// to 0 while result_reported is 0. Other module types log
// "need enable atc here,%d". Devices of other drivers are left alone.
void fpi_set_atc_hook(fpi_atc_set_fn hook);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_ASYNC_H_
