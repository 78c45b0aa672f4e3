// The plug-in's operations: the service's slots and the device life cycle and
// waiting machinery shared by every biometric operation.
//
// Every function takes the service's device record configured by
// ops_configure; its dev_priv is the plug-in's community_dev_priv. Status,
// result and notify codes are the service's (biometric_common.h).
#ifndef PLUGIN_COMMUNITY_OPS_H_
#define PLUGIN_COMMUNITY_OPS_H_

#include "biometric_common.h"
#include "plugin/community_dev_priv.h"

#ifdef __cplusplus
extern "C" {
#endif

// Notify code whose text is the private record's own message.
#define COMMUNITY_NOTIFY_MESSAGE 1106
// Margin kept between a wait and the service's operation time-out.
#define COMMUNITY_TIMEOUT_MARGIN_MS 4500
// Framework driver id of the devices the plug-in opens.
#define COMMUNITY_DRIVER_ID 35

// Set by close, cleared by open; read by the stop request's thread.
#ifdef __cplusplus
extern std::atomic<int> community_close_called;
#endif

// The private record of a configured service record.
static inline community_dev_priv *community_priv(bio_dev *dev) {
  return (community_dev_priv *)dev->dev_priv;
}

// True when all 26 device-library functions are resolved.
int community_library_ready(const community_dev_priv *priv);

// --- Device life cycle -----------------------------------------------------

// Initialises the device library, opens every discovered device of driver 35
// and keeps the last one opened (earlier ones are closed again). On success
// resets the wait state (result -1, done 1, stop_done 1, poll 100 ms,
// timeout_ms = service time-out - 4500) and reads the module type and the
// number of enrol stages. A device or library left from an earlier
// initialisation is released first. Holds the private mutex. Returns the
// number of devices opened; 0 without touching the library when it is not
// fully loaded.
int community_internal_device_init(bio_dev *dev);
// Closes the device, releases a pending enrolled print and calls fp_exit
// once (not again after an earlier release); ends the session. Holds the
// private mutex. Does nothing to the library when it is not fully loaded.
void community_internal_device_free(bio_dev *dev);

// The private result of an operation whose device was unplugged.
#define COMMUNITY_RESULT_UNPLUGGED (-4)

// Service slot: opens the device. 0 with status 0 and result 100; -1 with
// status 3 when disabled; -1 with status 101 and notify 1106 "Device failed
// to open" when no device opened (the library is shut down again then).
// A successful open starts the session that close ends.
int community_ops_open(bio_dev *dev);
// Service slot: releases the device (unless an unplug already did) and sets
// community_close_called.
void community_ops_close(bio_dev *dev);
// Service slot, also called from the service's hot-plug thread while an
// operation runs: the number of devices. Outside a session (between the
// service's close and open) it initialises the library, opens and closes
// every device and shuts the library down again. During a session it never
// touches the library: it counts the devices in sysfs that the kernel still
// answers for (a sensor that went is not counted while its sysfs entry
// lingers), and when the session's device is gone it marks it unplugged and
// ends the running wait.
int community_ops_discover(bio_dev *dev);

// True when the operation may not use the device: it was unplugged, or no
// device is open.
int community_internal_device_gone(bio_dev *dev);
// After a library error: true when the device was unplugged, looking for
// up to 250 ms (the kernel may answer for the device a moment after its
// transfers fail); marks it unplugged then.
int community_internal_confirm_unplugged(bio_dev *dev);
// Ends the session of an unplugged device from the operation thread:
// releases the device and the library once, and sets notify 1106 with "The
// fingerprint device was unplugged".
void community_internal_release_unplugged(bio_dev *dev);
// Service slot: releases the device, the key, the library and the private
// record; dev_priv becomes NULL.
void community_ops_free(bio_dev *dev);

// --- Waiting ---------------------------------------------------------------

// Sets the deadline to now + the whole seconds of timeout_ms.
void community_internal_timeout_tv_update(bio_dev *dev);
// Polls the library (100 ms per poll) until done is set; a failed poll or an
// unplugged device sets done; at the deadline sets result -2 and done.
void community_internal_interactive_waiting(bio_dev *dev);
// Asks the library to stop the enrolment and returns at once; the stop
// completes during a later poll. Returns 0.
int community_internal_enroll_stop(bio_dev *dev);
// Asks the library to stop the identification and polls until its stop
// callback has run or a poll fails (at most 20 polls once the device is
// unplugged). Returns 0.
int community_internal_identify_stop(bio_dev *dev);
// Stop callbacks: set stop_done of the record given as user data.
void community_internal_enroll_stopped_cb(struct fp_dev *fdev, void *user_data);
void community_internal_identify_stopped_cb(struct fp_dev *fdev, void *user_data);

// Service slot, called from a second thread: ends the running operation.
// A busy status s becomes s/100*100+2 with result -3 and done 1, re-signalled
// every 200 ms, until the operation returns the status to idle (0), close
// is called (0), or min(service time-out, waiting_ms) passes (status s
// restored, -1). An idle device gives 0 at once.
int community_ops_stop_by_user(bio_dev *dev, int waiting_ms);

// --- Texts -----------------------------------------------------------------

// Service slot: NULL for every status.
const char *community_ops_get_dev_status_mesg(bio_dev *dev);
// Service slot: text of the custom results 2001-2003, else NULL.
const char *community_ops_get_ops_result_mesg(bio_dev *dev);
// Service slot: text of the custom notify codes 1001, 1002, 1100-1106, else
// NULL; 1106 is the private record's message.
const char *community_ops_get_notify_mid_mesg(bio_dev *dev);

// --- Biometric operations --------------------------------------------------

// Runs one enrolment to its end: start, wait, stop. The private result: 0
// with enrolled_print set, -1 failure, -2 time-out, -3 stopped.
int community_internal_enroll(bio_dev *dev);
// Enrolment stage callback (user data: the service record): notify codes
// and texts per stage; COMPLETE keeps the print in enrolled_print.
void community_internal_enroll_cb(struct fp_dev *fdev, int result, struct fp_print_data *print,
                                  struct fp_img *img, void *user_data);
// Runs one identification over `gallery`: the match offset, or -1 failure,
// -2 time-out, -3 stopped (also at once when a stop is already pending).
int community_internal_identify(bio_dev *dev, struct fp_print_data **gallery);
// Identification callback (user data: the service record).
void community_internal_identify_cb(struct fp_dev *fdev, int result, size_t match_offset,
                                    struct fp_img *img, void *user_data);

// Service slot: enrols finger `idx` of user `uid` under `bio_idx_name`.
int community_ops_enroll(bio_dev *dev, OpsActions action, int uid, int idx,
                         char *bio_idx_name);
// Service slot: verifies finger `idx` of user `uid`; the outcome is the
// operation result.
int community_ops_verify(bio_dev *dev, OpsActions action, int uid, int idx);
// Service slot: identifies among the fingers idx_start..idx_end of `uid`.
int community_ops_identify(bio_dev *dev, OpsActions action, int uid, int idx_start,
                           int idx_end);
// Service slot: every stored finger of the range that matches, in turn.
feature_info *community_ops_search(bio_dev *dev, OpsActions action, int uid,
                                   int idx_start, int idx_end);
// Service slot: deletes the fingers of the range. 0; the database's (or the
// module's) nonzero result; -1 when the device is disabled.
int community_ops_clean(bio_dev *dev, OpsActions action, int uid, int idx_start,
                        int idx_end);
// Service slot: the stored fingers of the range.
feature_info *community_ops_get_feature_list(bio_dev *dev, OpsActions action, int uid,
                                             int idx_start, int idx_end);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_COMMUNITY_OPS_H_
