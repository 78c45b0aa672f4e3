// The imaging-device record kept by the framework for each open device of an
// imaging driver.
#ifndef FRAMEWORK_FPI_IMG_DEV_H_
#define FRAMEWORK_FPI_IMG_DEV_H_

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fp_img;
struct fp_print_data;
struct libusb_device_handle;

// What the imaging device is doing for its caller.
enum fp_imgdev_action {
  IMG_ACTION_NONE = 0,
  IMG_ACTION_ENROLL = 1,
  IMG_ACTION_VERIFY = 2,
  IMG_ACTION_IDENTIFY = 3,
  IMG_ACTION_CAPTURE = 4,
};

// Where the current action's acquisition cycle stands.
enum fp_imgdev_acquire_state {
  IMG_ACQUIRE_STATE_NONE = 0,
  IMG_ACQUIRE_STATE_ACTIVATING = 1,
  IMG_ACQUIRE_STATE_AWAIT_FINGER_ON = 2,
  IMG_ACQUIRE_STATE_AWAIT_IMAGE = 3,
  IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF = 4,
  IMG_ACQUIRE_STATE_DONE = 5,
  IMG_ACQUIRE_STATE_DEACTIVATING = 6,
};

// The sensing state an imaging driver is asked to enter.
enum fp_imgdev_state {
  IMGDEV_STATE_INACTIVE = 0,
  IMGDEV_STATE_AWAIT_FINGER_ON = 1,
  IMGDEV_STATE_CAPTURE = 2,
  IMGDEV_STATE_AWAIT_FINGER_OFF = 3,
};

// One per open device of an imaging driver; allocated zeroed by the generic
// open and released when the close completes.
struct fp_img_dev {
  struct fp_dev *dev;                       // the open device (its priv points back here)
  struct libusb_device_handle *usb_handle;  // copy of the device's USB handle
  int action;                               // enum fp_imgdev_action
  int action_state;                         // enum fp_imgdev_acquire_state
  struct fp_print_data *acquire_data;       // print made from the last image (owned)
  struct fp_print_data *enroll_data;        // print collecting the enrol samples (owned)
  struct fp_img *acquire_img;               // the last image (owned until reported)
  int enroll_stage;                         // enrol samples taken in this action
  int action_result;                        // result of the current capture, 0 while none
  size_t identify_match_offset;             // gallery index of the last identify match
  void *priv;                               // the imaging driver's context
};

// Reports of imaging drivers. Each logs at debug level under its own name.

// The driver's open has ended (status 0 or a negative error).
void fpi_imgdev_open_complete(struct fp_img_dev *imgdev, int status);

// The driver's close has ended; releases the imaging device with whatever
// prints and image it still holds, then the device.
void fpi_imgdev_close_complete(struct fp_img_dev *imgdev);

// The driver is active for the current action (status 0) or failed to
// activate; on 0 the layer waits for the finger (change_state
// AWAIT_FINGER_ON).
void fpi_imgdev_activate_complete(struct fp_img_dev *imgdev, int status);

// The driver has stopped the current action: the stopped completion of the
// action runs and the imaging device is idle again.
void fpi_imgdev_deactivate_complete(struct fp_img_dev *imgdev);

// The finger arrived (while waiting for it: change_state CAPTURE) or left
// (while waiting for that: the capture's result is reported; an enrolment
// that passed or should retry waits for the next finger). Reports in other
// states are logged and ignored.
void fpi_imgdev_report_finger_status(struct fp_img_dev *imgdev, bool present);

// An image of the waiting capture; the layer owns it from now on (and
// releases it when it arrives in the wrong state or while a result exists).
// The image is checked, standardised and, except for a capture, turned into
// a print and decided: a rejected image gives -22, fewer than 10 minutiae or
// a failed conversion 100 (retry); enrolment collects the sample (PASS, or
// COMPLETE at the last stage); verification matches at a Bozorth3 score of at
// least the driver's threshold (40 when it is 0); identification searches the
// gallery. The result is reported when the finger leaves.
void fpi_imgdev_image_captured(struct fp_img_dev *imgdev, struct fp_img *img);

// The current capture ends with `result`, reported when the finger leaves.
void fpi_imgdev_end_action(struct fp_img_dev *imgdev, int result);

// The current action fails with `error` (nonzero), reported at once to the
// action's callback without print or image; the states are not changed.
void fpi_imgdev_session_error(struct fp_img_dev *imgdev, int error);

// The driver's image width, 0 when variable.
int img_dev_get_width(struct fp_img_dev *imgdev);

// The driver's image height, 0 when variable.
int img_dev_get_height(struct fp_img_dev *imgdev);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_IMG_DEV_H_
