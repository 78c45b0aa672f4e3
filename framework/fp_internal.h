// The framework's internal interface: driver records, discovered and open
// devices, the library state shared by the framework's files, and the
// helpers every framework file and driver uses.
#ifndef FRAMEWORK_FP_INTERNAL_H_
#define FRAMEWORK_FP_INTERNAL_H_

#include <libusb.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "framework/fpdev.h"
#include "framework/fpi_async.h"
#include "framework/fpi_img_dev.h"
#include "framework/fpi_log.h"
#include "framework/fpi_poll.h"
#include "framework/fpi_print_data.h"
#include "framework/fpi_print_store.h"
#include "framework/fpi_ssm.h"

#ifdef __cplusplus
extern "C" {
#endif

// One row of a driver's USB id table; the table ends at the first row whose
// vendor is 0.
struct usb_id {
  uint16_t vendor;
  uint16_t product;
  unsigned long driver_data;  // handed to the driver's open
};

// Kind of driver; also the data type of its prints.
enum fp_driver_type {
  DRIVER_PRIMITIVE = 0,
  DRIVER_IMAGING = 1,
};

// A driver record: static, owned by the driver's module. Registration sets
// `type` and, for an imaging driver, fills the operation slots.
struct fp_driver {
  uint16_t id;                   // driver id; 0 means not registrable
  const char *name;              // short name
  const char *full_name;         // display name
  const struct usb_id *id_table; // supported USB ids
  int type;                      // enum fp_driver_type
  int scan_type;                 // enum fp_scan_type
  void *priv;                    // the driver's own pointer; never read by the framework

  // Optional: > 0 claims the device (and may set *devtype), 0 declines,
  // < 0 is a failure.
  int (*discover)(const struct libusb_device_descriptor *dsc, uint32_t *devtype);
  // Starts opening; the driver reports completion later.
  int (*open)(struct fp_dev *dev, unsigned long driver_data);
  // Starts closing; the driver reports completion later.
  void (*close)(struct fp_dev *dev);
  int (*enroll_start)(struct fp_dev *dev);
  int (*enroll_stop)(struct fp_dev *dev);
  int (*verify_start)(struct fp_dev *dev);
  int (*verify_stop)(struct fp_dev *dev, bool iterating);
  int (*identify_start)(struct fp_dev *dev);
  int (*identify_stop)(struct fp_dev *dev, bool iterating);
  int (*capture_start)(struct fp_dev *dev);
  int (*capture_stop)(struct fp_dev *dev);
};

// The record of an imaging driver: a driver record followed by the image
// geometry and the imaging operations.
struct fp_img_driver {
  struct fp_driver driver;
  uint16_t flags;     // not interpreted by the framework
  int img_width;      // pixels; -1 variable
  int img_height;     // pixels; -1 variable
  int bz3_threshold;  // match threshold; 0 means 40

  int (*open)(struct fp_img_dev *dev, unsigned long driver_data);
  void (*close)(struct fp_img_dev *dev);
  int (*activate)(struct fp_img_dev *dev, enum fp_imgdev_state state);
  int (*change_state)(struct fp_img_dev *dev, enum fp_imgdev_state state);
  void (*deactivate)(struct fp_img_dev *dev);
};

// The imaging record around a driver record of type DRIVER_IMAGING.
static inline struct fp_img_driver *fpi_driver_to_img_driver(struct fp_driver *drv) {
  return (struct fp_img_driver *)drv;
}

// A discovered device.
struct fp_dscv_dev {
  struct libusb_device *udev;  // a reference is held
  struct fp_driver *drv;       // the chosen driver
  unsigned long driver_data;   // of the matched id row
  uint32_t devtype;            // from the driver's discover, else 0
};

// Where an open device stands.
enum fp_dev_state {
  DEV_STATE_INITIAL = 0,
  DEV_STATE_ERROR = 1,
  DEV_STATE_INITIALIZING = 2,
  DEV_STATE_INITIALIZED = 3,
  DEV_STATE_DEINITIALIZING = 4,
  DEV_STATE_DEINITIALIZED = 5,
  DEV_STATE_ENROLL_STARTING = 6,
  DEV_STATE_ENROLLING = 7,
  DEV_STATE_ENROLL_STOPPING = 8,
  DEV_STATE_VERIFY_STARTING = 9,
  DEV_STATE_VERIFYING = 10,
  DEV_STATE_VERIFY_DONE = 11,
  DEV_STATE_VERIFY_STOPPING = 12,
  DEV_STATE_IDENTIFY_STARTING = 13,
  DEV_STATE_IDENTIFYING = 14,
  DEV_STATE_IDENTIFY_DONE = 15,
  DEV_STATE_IDENTIFY_STOPPING = 16,
  DEV_STATE_CAPTURE_STARTING = 17,
  DEV_STATE_CAPTURING = 18,
  DEV_STATE_CAPTURE_DONE = 19,
  DEV_STATE_CAPTURE_STOPPING = 20,
};

// An open device, allocated zeroed by the asynchronous open and freed when
// its close completes.
struct fp_dev {
  struct fp_driver *driver;                 // the device's driver
  struct libusb_device_handle *usb_handle;  // opened before the driver's open
  uint32_t devtype;                         // 0 for opened devices
  void *priv;                               // driver data; the fp_img_dev of an imaging driver
  int nr_enroll_stages;                     // set by the driver
  struct fp_print_data *verify_data;        // print verified against (borrowed)
  int state;                                // enum fp_dev_state
  int enroll_stage;           // stage of the synchronous enrolment; -1 when none runs
  int unconditional_capture;  // flag given to the capture start

  fp_dev_open_cb open_cb;
  void *open_cb_data;
  fp_operation_stop_cb close_cb;
  void *close_cb_data;
  fp_enroll_stage_cb enroll_stage_cb;
  void *enroll_stage_cb_data;
  fp_operation_stop_cb enroll_stop_cb;
  void *enroll_stop_cb_data;
  fp_img_operation_cb verify_cb;
  void *verify_cb_data;
  fp_operation_stop_cb verify_stop_cb;
  void *verify_stop_cb_data;
  fp_identify_cb identify_cb;
  void *identify_cb_data;
  fp_operation_stop_cb identify_stop_cb;
  void *identify_stop_cb_data;
  fp_img_operation_cb capture_cb;
  void *capture_cb_data;
  fp_operation_stop_cb capture_stop_cb;
  void *capture_stop_cb_data;

  struct fp_print_data **identify_gallery;  // NULL-terminated (borrowed)
};

// ---------------------------------------------------------------------------
// Library state

// The USB context created by fp_init; NULL before and after. The driver may
// replace it when it re-opens its device.
extern libusb_context *fpi_usb_ctx;

// The registered drivers, most recently registered first: stores the array
// in *drivers (valid until the registry changes) and returns its length.
size_t fpi_registered_drivers(struct fp_driver *const **drivers);

// Puts a device whose open has completed at the head of the opened list.
void fpi_opened_dev_add(struct fp_dev *dev);

// Removes a device from the opened list; 1 when it was listed, else 0.
int fpi_opened_dev_remove(struct fp_dev *dev);

// Number of devices in the opened list.
size_t fpi_opened_dev_count(void);

// Clamps a framework log level minus one into the USB library's log range.
int fpi_usb_log_level(int level);

// ---------------------------------------------------------------------------
// Drivers and discovery

// Completes an imaging driver's record before registration: sets its type
// to imaging and fills its generic operation slots (open, close and the
// start and stop of enrol, verify, identify and capture); `discover` is not
// touched.
void fpi_imgdrv_fill_slots(struct fp_img_driver *idrv);

// Completes an imaging driver's record and registers it at the head of the
// registered drivers ("registered driver %s"); a driver whose id is 0 is
// refused ("not registering driver %s: driver ID is 0"), one already
// registered is left where it is. fp_init registers the built-in drivers
// this way; fp_exit forgets every registration.
void fpi_register_img_driver(struct fp_img_driver *idrv);

// Chooses among `drivers` (n records, in order) the driver for a USB device
// with descriptor `dsc`. A positive discover result scores 100, a table match
// of a driver without discover scores 50, and a later higher or 100 score
// replaces the choice. Stores the matched row's driver data and the device
// type and returns the driver, or NULL.
struct fp_driver *fpi_choose_driver(struct fp_driver *const *drivers, size_t n,
                                    const struct libusb_device_descriptor *dsc,
                                    unsigned long *driver_data, uint32_t *devtype);

// The print data type of a driver's prints: 0 primitive, 1 imaging; any other
// driver type logs "unrecognised drv type %d" and gives 0.
enum fp_print_data_type fpi_driver_get_data_type(struct fp_driver *drv);

// 1 when driver ids, device types and data types agree; else logs the first
// difference at debug level and returns 0.
int fpi_print_data_compatible(uint16_t driver_id1, uint32_t devtype1, int type1,
                              uint16_t driver_id2, uint32_t devtype2, int type2);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FP_INTERNAL_H_
