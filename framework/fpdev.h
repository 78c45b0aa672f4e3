// The public interface of the fingerprint device library: start-up, driver
// listing, discovery, device and driver queries, and event polling.
//
// Results are 0 or negative errno values unless a function says otherwise.
// Everything runs in the caller's thread; the library takes no locks, so only
// one thread may drive it.
#ifndef FRAMEWORK_FPDEV_H_
#define FRAMEWORK_FPDEV_H_

#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

// A device found by fp_discover_devs().
struct fp_dscv_dev;
// An open device; an opaque handle for callers.
struct fp_dev;
// A driver record.
struct fp_driver;
// One row of a driver's USB id table.
struct usb_id;
// A print: what an enrolment produces and verification compares against.
struct fp_print_data;
// A print file found in the print store.
struct fp_dscv_print;
// An 8-bit grey image.
struct fp_img;

// How a sensor is used.
enum fp_scan_type {
  FP_SCAN_TYPE_PRESS = 0,  // the finger is laid on the sensor
  FP_SCAN_TYPE_SWIPE = 1,  // the finger is swiped across the sensor
};

// The result of one enrol stage.
enum fp_enroll_result {
  FP_ENROLL_COMPLETE = 1,               // enrolment done; the print is handed over
  FP_ENROLL_FAIL = 2,                   // enrolment failed and has ended
  FP_ENROLL_PASS = 3,                   // the stage passed; the next stage follows
  FP_ENROLL_RETRY = 100,                // the scan was unusable; scan again
  FP_ENROLL_RETRY_TOO_SHORT = 101,      // the swipe was too short
  FP_ENROLL_RETRY_CENTER_FINGER = 102,  // the finger was not centred
  FP_ENROLL_RETRY_REMOVE_FINGER = 103,  // remove the finger and scan again
};

// The result of a verification or identification.
enum fp_verify_result {
  FP_VERIFY_NO_MATCH = 0,               // the finger does not match
  FP_VERIFY_MATCH = 1,                  // the finger matches
  FP_VERIFY_RETRY = FP_ENROLL_RETRY,    // the scan was unusable; scan again
  FP_VERIFY_RETRY_TOO_SHORT = FP_ENROLL_RETRY_TOO_SHORT,
  FP_VERIFY_RETRY_CENTER_FINGER = FP_ENROLL_RETRY_CENTER_FINGER,
  FP_VERIFY_RETRY_REMOVE_FINGER = FP_ENROLL_RETRY_REMOVE_FINGER,
};

// Completion of an asynchronous open: status 0 or a negative error.
typedef void (*fp_dev_open_cb)(struct fp_dev *dev, int status, void *user_data);
// Completion of an asynchronous close or of an operation's stop.
typedef void (*fp_operation_stop_cb)(struct fp_dev *dev, void *user_data);
// One enrol stage: an enrol result code or a negative error; the print and
// image (either may be NULL) pass to the receiver.
typedef void (*fp_enroll_stage_cb)(struct fp_dev *dev, int result, struct fp_print_data *print,
                                   struct fp_img *img, void *user_data);
// A verify or capture result; the image (may be NULL) passes to the receiver.
typedef void (*fp_img_operation_cb)(struct fp_dev *dev, int result, struct fp_img *img,
                                    void *user_data);
// An identify result with the gallery index of the match; the image (may be
// NULL) passes to the receiver.
typedef void (*fp_identify_cb)(struct fp_dev *dev, int result, size_t match_offset,
                               struct fp_img *img, void *user_data);

// ---------------------------------------------------------------------------
// Library

// Starts the library: reads LIBFPDEV_DEBUG and LIBFPDEV_DUMP, creates the USB
// context and registers the built-in drivers. A second call without fp_exit
// keeps the context and registers nothing twice.
// Returns 0, or the negative libusb error when the USB context cannot be
// created (then nothing else has changed).
int fp_init(void);

// Closes devices still open, drops pending time-outs, the registry and the
// USB context. The dump switch and the log level keep their values.
void fp_exit(void);

// Sets the framework log level (0 silent, 1 errors ... 4 debug) and the USB
// library's log level to level - 1, kept within the USB library's range.
// Ignored while LIBFPDEV_DEBUG has fixed the level.
void fp_set_debug(int level);

// Returns a new NULL-terminated array of the built-in drivers, VFS0050 first,
// registered or not. The caller frees the array with g_free.
struct fp_driver **fpdev_get_drivers(void);

// ---------------------------------------------------------------------------
// Discovery

// Enumerates USB devices and matches them against the registered drivers.
// Returns a new NULL-terminated array, the reverse of the USB enumeration
// order (only NULL when nothing is supported), or NULL when no driver is
// registered or the USB device list cannot be read. Free with
// fp_dscv_devs_free.
struct fp_dscv_dev **fp_discover_devs(void);

// Releases an array from fp_discover_devs and its USB device references.
// NULL is ignored.
void fp_dscv_devs_free(struct fp_dscv_dev **devs);

// The driver chosen for a discovered device.
struct fp_driver *fp_dscv_dev_get_driver(struct fp_dscv_dev *dev);

// The device type the driver's discover step reported, else 0.
uint32_t fp_dscv_dev_get_devtype(struct fp_dscv_dev *dev);

// 1 when the print was made by this device's driver and device type with this
// driver's data type, else 0.
int fp_dscv_dev_supports_print_data(struct fp_dscv_dev *dev, struct fp_print_data *print);

// 1 when the stored print's driver id and device type match the device, else 0.
int fp_dscv_dev_supports_dscv_print(struct fp_dscv_dev *dev, struct fp_dscv_print *print);

// The first device of a NULL-terminated array that supports the print, or NULL.
struct fp_dscv_dev *fp_dscv_dev_for_print_data(struct fp_dscv_dev **devs,
                                               struct fp_print_data *print);

// The first device of a NULL-terminated array that supports the stored print,
// or NULL.
struct fp_dscv_dev *fp_dscv_dev_for_dscv_print(struct fp_dscv_dev **devs,
                                               struct fp_dscv_print *print);

// ---------------------------------------------------------------------------
// Synchronous operations
//
// Each call starts the asynchronous operation and polls with
// fp_handle_events (2-second waits) until the driver has reported; a driver
// that never reports blocks the call. A polling error ends the operation,
// after its stop, with the polling error as the result. Images handed back
// through `img` belong to the caller; with a NULL `img` they are released.

// Opens a discovered device and waits for the driver's open. On the first
// success it also clears the identify stop of the device's driver for the
// whole process: from then on an identify stop of any device of that driver
// completes at once without deactivating the device.
// Returns the device, or NULL when the open fails to start, polling fails or
// the driver reports an error (the device is then closed again).
struct fp_dev *fp_dev_open(struct fp_dscv_dev *ddev);

// Closes an open device and waits until the close has completed.
// NULL is ignored.
void fp_dev_close(struct fp_dev *dev);

// Runs one enrol stage; the first call starts an enrolment, which lasts
// until COMPLETE, FAIL or an error. On COMPLETE the print is stored in
// *print_data (released when print_data is NULL).
// Returns an fp_enroll_result (PASS and the retry codes keep the enrolment
// running; a retry does not advance the stage), -22 for an unrecognised
// driver result (including the driver's negative errors) or when the
// driver's stage count is exceeded, the negative error of a start that
// failed, or a polling error.
int fp_enroll_finger_img(struct fp_dev *dev, struct fp_print_data **print_data,
                         struct fp_img **img);

// Verifies one scan against an enrolled print.
// Returns an fp_verify_result; -22 for no print, a print the device does not
// support or an unrecognised driver result; the error of a failed start; a
// polling error.
int fp_verify_finger_img(struct fp_dev *dev, struct fp_print_data *enrolled_print,
                         struct fp_img **img);

// Identifies one scan against a NULL-terminated gallery; on MATCH the
// gallery index is stored in *match_offset (when not NULL).
// Returns an fp_verify_result; -22 for an unrecognised driver result; the
// error of a failed start; a polling error.
int fp_identify_finger_img(struct fp_dev *dev, struct fp_print_data **print_gallery,
                           size_t *match_offset, struct fp_img **img);

// Captures one image.
// Returns 0 complete, 1 fail, -95 when the driver cannot capture (or
// `unconditional` is asked of an imaging device), -22 for an unrecognised
// driver result, the error of a failed start, or a polling error.
int fp_dev_img_capture(struct fp_dev *dev, int unconditional, struct fp_img **img);

// ---------------------------------------------------------------------------
// Asynchronous operations
//
// The application starts an operation with a callback and keeps calling
// fp_handle_events_timeout; the callback runs from within that polling.
// An action runs: start, started (the callback gets a nonzero status as a
// negative error), any number of results, stop, stopped. Results: enrol
// stages give fp_enroll_result codes, verify and identify fp_verify_result
// codes, capture 0 complete or 1 fail; any of them a negative error instead.
// Prints and images handed to callbacks belong to the receiver. The start
// and stop functions return 0, a negative error, or -95 when the driver
// lacks the operation. A state that does not fit an operation is logged as
// "BUG at file:line" and the operation goes on.

// Opens a discovered device: opens its USB device, then starts the driver's
// open; `callback` gets the open's status and the new device.
// Returns 0, the USB library's error (nothing allocated), or the driver's
// nonzero refusal (the USB device is closed again).
int fp_async_dev_open(struct fp_dscv_dev *ddev, fp_dev_open_cb callback, void *user_data);

// Starts closing a device; `callback` runs when the close has completed,
// just before the device is released.
void fp_async_dev_close(struct fp_dev *dev, fp_operation_stop_cb callback, void *user_data);

// Starts an enrolment; `callback` gets every stage result.
// Returns 0, -95 when the device has no enrol stages or no enrol operation,
// or the driver's negative refusal (the device is then in the error state).
int fp_async_enroll_start(struct fp_dev *dev, fp_enroll_stage_cb callback, void *user_data);

// Stops an enrolment; `callback` runs when it has stopped (possibly before
// this returns). Returns 0, -95, or the driver's negative error.
int fp_async_enroll_stop(struct fp_dev *dev, fp_operation_stop_cb callback, void *user_data);

// Starts a verification against `data` (borrowed until the stop).
// Returns 0, -95, or the driver's negative refusal.
int fp_async_verify_start(struct fp_dev *dev, struct fp_print_data *data,
                          fp_img_operation_cb callback, void *user_data);

// Stops a verification. Returns 0, -95, or the driver's negative error.
int fp_async_verify_stop(struct fp_dev *dev, fp_operation_stop_cb callback, void *user_data);

// Starts an identification against a NULL-terminated gallery (borrowed
// until the stop). Returns 0, -95, or the driver's negative refusal.
int fp_async_identify_start(struct fp_dev *dev, struct fp_print_data **gallery,
                            fp_identify_cb callback, void *user_data);

// Stops an identification. Returns 0, -95, or the driver's negative error.
int fp_async_identify_stop(struct fp_dev *dev, fp_operation_stop_cb callback, void *user_data);

// Starts an image capture; `unconditional` asks for an image without waiting
// for a finger. Returns 0, -95, or the driver's negative refusal.
int fp_async_capture_start(struct fp_dev *dev, int unconditional, fp_img_operation_cb callback,
                           void *user_data);

// Stops a capture. Returns 0, -95, or the driver's negative error.
int fp_async_capture_stop(struct fp_dev *dev, fp_operation_stop_cb callback, void *user_data);

// Ends the running action by force: its callback receives -4 (enrol stage,
// verify, identify with offset 0, or capture; no print, no image). The
// action is not stopped; the application still calls its stop.
void fp_async_enforce_exit(struct fp_dev *dev);

// ---------------------------------------------------------------------------
// Open devices

// The device's driver.
struct fp_driver *fp_dev_get_driver(struct fp_dev *dev);

// The number of enrol stages the device needs.
int fp_dev_get_nr_enroll_stages(struct fp_dev *dev);

// The device type (0 for opened devices).
uint32_t fp_dev_get_devtype(struct fp_dev *dev);

// 1 when the print was made by this device's driver and device type with this
// driver's data type, else 0.
int fp_dev_supports_print_data(struct fp_dev *dev, struct fp_print_data *print);

// 1 when the stored print's driver id and device type match the device, else 0.
int fp_dev_supports_dscv_print(struct fp_dev *dev, struct fp_dscv_print *print);

// 1 when the driver can capture images, else 0.
int fp_dev_supports_imaging(struct fp_dev *dev);

// 1 when the driver can identify against a gallery, else 0.
int fp_dev_supports_identification(struct fp_dev *dev);

// The image width of an imaging device, 0 when variable; -1 for a device
// that delivers no images.
int fp_dev_get_img_width(struct fp_dev *dev);

// The image height of an imaging device, 0 when variable; -1 for a device
// that delivers no images.
int fp_dev_get_img_height(struct fp_dev *dev);

// ---------------------------------------------------------------------------
// Drivers

// The short name ("vfs0050", "quorvanta").
const char *fp_driver_get_name(struct fp_driver *drv);

// The display name.
const char *fp_driver_get_full_name(struct fp_driver *drv);

// The driver id.
uint16_t fp_driver_get_driver_id(struct fp_driver *drv);

// The USB id table, ended by a row whose vendor is 0.
const struct usb_id *fp_driver_get_id_table(struct fp_driver *drv);

// Press or swipe.
enum fp_scan_type fp_driver_get_scan_type(struct fp_driver *drv);

// ---------------------------------------------------------------------------
// Event polling

// One poll descriptor of the USB library.
struct fp_pollfd {
  int fd;        // descriptor
  short events;  // poll events to wait for
};

// Told when the USB library adds a descriptor.
typedef void (*fp_pollfd_added_cb)(int fd, short events);
// Told when the USB library removes a descriptor.
typedef void (*fp_pollfd_removed_cb)(int fd);

// Waits at most *tv for USB events and handles them, then runs at most one
// due time-out. When a time-out is due at entry it runs at once and nothing
// waits. The wait actually used (the shorter of *tv and the time to the next
// time-out) is written back into *tv.
// Returns 0, a negative USB library error (after *tv is updated), the error
// of an unreadable clock, or -22 for a NULL tv.
int fp_handle_events_timeout(struct timeval *tv);

// fp_handle_events_timeout with a 2-second wait.
int fp_handle_events(void);

// Writes into *tv the time until the earlier of the next framework time-out
// and the USB library's next time-out.
// Returns 1 when something was written, 0 when nothing is pending (tv left
// untouched), or a negative error.
int fp_get_next_timeout(struct timeval *tv);

// Stores in *out a new array of the USB library's poll descriptors (free with
// g_free) and returns its length; returns -5 with *out NULL when the USB
// library gives no list.
long fp_get_pollfds(struct fp_pollfd **out);

// Stores the application's notifiers for added and removed descriptors;
// either may be NULL.
void fp_set_pollfd_notifiers(fp_pollfd_added_cb added, fp_pollfd_removed_cb removed);

// ---------------------------------------------------------------------------
// Print data

// Fingers as numbered in the print store.
enum fp_finger {
  LEFT_THUMB = 1,
  LEFT_INDEX,
  LEFT_MIDDLE,
  LEFT_RING,
  LEFT_LITTLE,
  RIGHT_THUMB,
  RIGHT_INDEX,
  RIGHT_MIDDLE,
  RIGHT_RING,
  RIGHT_LITTLE,
};

// Serialises the print as an "FP2" blob into a new buffer stored in *ret,
// which the caller releases with free. Returns the blob length; 0 with *ret
// NULL when an item is too long for the blob's 4-byte length field.
size_t fp_print_data_get_data(struct fp_print_data *data, unsigned char **ret);

// Parses an "FP2" or "FP1" blob. Returns a new print, or NULL when the blob
// is 9 bytes or shorter, has a bad prefix or holds no readable item. FP2
// items come back in the reverse of their blob order; a length that runs past
// the end stops the reading (the items before it are kept).
struct fp_print_data *fp_print_data_from_data(const unsigned char *buf, size_t buflen);

// Releases the print and its items; NULL is ignored.
void fp_print_data_free(struct fp_print_data *data);

// The id of the driver that made the print.
uint16_t fp_print_data_get_driver_id(struct fp_print_data *data);

// The device type of the device that made the print.
uint32_t fp_print_data_get_devtype(struct fp_print_data *data);

// ---------------------------------------------------------------------------
// Print store: <home>/.fpdev/prints/<driver %04x>/<devtype %08x>/<finger %x>

// Sets the store's home directory (NULL: the user's home; "." is taken as
// "./") and creates <home>/.fpdev/prints at mode 0700. Returns 0, or -1 when
// the directory cannot be created.
int fp_storage_setup(const char *home);

// Writes the print as the finger's file of its driver and device type.
// Returns 0; -2 when no home directory is known; the negative result of the
// directory creation; or -errno of the failed write (-13 EACCES, ...).
int fp_print_data_save(struct fp_print_data *data, int finger);

// Loads the finger's print of the device's driver and device type into *data.
// Returns 0; -2 when the file does not exist (or no home is known); -5 when
// it cannot be parsed; -22 when the print does not fit the device; -errno of
// another read failure.
int fp_print_data_load(struct fp_dev *dev, int finger, struct fp_print_data **data);

// Unlinks the finger's print file of the device. Returns 0 or -1.
int fp_print_data_delete(struct fp_dev *dev, int finger);

// Loads a discovered print file into *data; results as fp_print_data_load
// without the device check.
int fp_print_data_from_dscv_print(struct fp_dscv_print *print, struct fp_print_data **data);

// Lists the print files of the store as a new NULL-terminated array, or NULL
// when the store cannot be opened. Odd names are skipped.
struct fp_dscv_print **fp_discover_prints(void);

// Releases the array from fp_discover_prints; NULL is ignored.
void fp_dscv_prints_free(struct fp_dscv_print **prints);

// Driver id, device type and finger of a discovered print.
uint16_t fp_dscv_print_get_driver_id(struct fp_dscv_print *print);
uint32_t fp_dscv_print_get_devtype(struct fp_dscv_print *print);
int fp_dscv_print_get_finger(struct fp_dscv_print *print);

// Unlinks the discovered print's file. Returns 0 or -1.
int fp_dscv_print_delete(struct fp_dscv_print *print);

// ---------------------------------------------------------------------------
// Images

// A detected minutia (minutiae/lfs.h).
struct lfs_minutia;

// Releases the image with its minutiae and binarized copy; NULL is ignored.
void fp_img_free(struct fp_img *img);

// Width and height in pixels.
int fp_img_get_width(struct fp_img *img);
int fp_img_get_height(struct fp_img *img);

// The pixel bytes, row-major, one byte per pixel.
unsigned char *fp_img_get_data(struct fp_img *img);

// Writes the image, as stored, as a binary PGM file. Returns 0; -errno when
// the file cannot be opened; -22 when the image's size does not fit its
// pixels; the negative result of a failed header write; -5 on a short write.
int fp_img_save_to_file(struct fp_img *img, const char *path);

// Undoes vertical flip, horizontal flip and colour inversion, in that order,
// and clears those flags. An image whose size does not fit its pixels is left
// unchanged.
void fp_img_standardize(struct fp_img *img);

// A new image holding the detector's binarized copy, detecting minutiae when
// needed; NULL for an image already binarized or when detection fails.
struct fp_img *fp_img_binarize(struct fp_img *img);

// The image's minutiae (owned by the image), detecting them when needed, and
// their number in *nr_minutiae; NULL for a binarized image or when detection
// fails.
struct lfs_minutia **fp_img_get_minutiae(struct fp_img *img, int *nr_minutiae);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPDEV_H_
