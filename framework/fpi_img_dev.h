// The imaging-device record kept by the framework for each open device of an
// imaging driver.
#ifndef FRAMEWORK_FPI_IMG_DEV_H_
#define FRAMEWORK_FPI_IMG_DEV_H_

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

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_IMG_DEV_H_
