// The plug-in's private record and the device-library functions it resolves.
// This unit never sees the device library's own headers: the library's types
// are opaque here and its functions are declared as the pointer types below,
// so the service's `struct usb_id` and the library's never meet.
#ifndef PLUGIN_COMMUNITY_DEV_PRIV_H_
#define PLUGIN_COMMUNITY_DEV_PRIV_H_

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/time.h>

#ifdef __cplusplus
#include <atomic>
// A field written by the stop request's thread while the operation thread
// polls it.
#define COMMUNITY_SHARED(T) std::atomic<T>
#else
#define COMMUNITY_SHARED(T) _Atomic T
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fp_dscv_dev;
struct fp_driver;
struct fp_print_data;
struct fp_img;

// Enrolment stage callback: device, stage result, print (COMPLETE only),
// image, user data.
typedef void (*community_fp_enroll_stage_cb)(struct fp_dev *dev, int result,
                                             struct fp_print_data *print,
                                             struct fp_img *img, void *user_data);
// Identification callback: device, result, offset of the matched print in
// the gallery, image, user data.
typedef void (*community_fp_identify_cb)(struct fp_dev *dev, int result,
                                         size_t match_offset, struct fp_img *img,
                                         void *user_data);
// Completion of an asynchronous stop.
typedef void (*community_fp_operation_stop_cb)(struct fp_dev *dev, void *user_data);

// The 26 device-library functions, in the record's field order.
typedef size_t (*fp_print_data_get_data_fn)(struct fp_print_data *data, unsigned char **ret);
typedef void (*fp_print_data_free_fn)(struct fp_print_data *data);
typedef int (*fp_init_fn)(void);
typedef struct fp_dscv_dev **(*fp_discover_devs_fn)(void);
typedef struct fp_driver *(*fp_dscv_dev_get_driver_fn)(struct fp_dscv_dev *dev);
typedef uint16_t (*fp_driver_get_driver_id_fn)(struct fp_driver *drv);
typedef const char *(*fp_driver_get_full_name_fn)(struct fp_driver *drv);
typedef struct fp_dev *(*fp_dev_open_fn)(struct fp_dscv_dev *ddev);
typedef void (*fp_dscv_devs_free_fn)(struct fp_dscv_dev **devs);
typedef int (*fp_dev_get_nr_enroll_stages_fn)(struct fp_dev *dev);
typedef void (*fp_dev_close_fn)(struct fp_dev *dev);
typedef void (*fp_exit_fn)(void);
typedef struct fp_print_data *(*fp_print_data_from_data_fn)(unsigned char *buf, size_t buflen);
typedef int (*fp_async_enroll_start_fn)(struct fp_dev *dev, community_fp_enroll_stage_cb callback,
                                        void *user_data);
typedef int (*fp_async_enroll_stop_fn)(struct fp_dev *dev, community_fp_operation_stop_cb callback,
                                       void *user_data);
typedef int (*fp_async_identify_start_fn)(struct fp_dev *dev, struct fp_print_data **gallery,
                                          community_fp_identify_cb callback, void *user_data);
typedef int (*fp_handle_events_timeout_fn)(struct timeval *timeout);
typedef int (*fp_async_identify_stop_fn)(struct fp_dev *dev,
                                         community_fp_operation_stop_cb callback, void *user_data);
// Returns the driver's USB id table; the plug-in never reads it.
typedef const void *(*fp_driver_get_id_table_fn)(struct fp_driver *drv);
typedef int (*fp_template_data_sync_fn)(struct fp_print_data **gallery);
typedef int (*fp_template_data_delete_fn)(struct fp_print_data **gallery);
typedef int (*fp_template_data_import_fn)(struct fp_print_data **gallery);
typedef int (*fp_template_registered_number_fn)(uint8_t *count);
typedef int (*fp_template_data_update_fn)(struct fp_print_data **print, int *slot);
typedef void (*fp_set_debug_fn)(int level);
typedef int (*fp_get_module_type_fn)(struct fp_dev *dev);

// Longest text of the plug-in's own notify message (code 1106), NUL included.
#define COMMUNITY_MESSAGE_MAX 1024

// The plug-in's private record, hung on the service record's dev_priv.
typedef struct community_dev_priv {
  struct fp_dev *dev;          // the open device, NULL when none
  int driver_id;               // framework driver id to open: 35
  COMMUNITY_SHARED(int) result;     // outcome of the running operation
  COMMUNITY_SHARED(uint8_t) done;   // 1 ends the current wait
  uint8_t stop_done;           // 1 once the library's stop callback ran
  int timeout_ms;              // length of one wait
  int64_t deadline_sec;        // end of the current wait, wall clock
  int64_t deadline_usec;
  struct timeval poll_tv;      // time-out of one event poll
  int nr_enroll_stages;        // from the device at initialisation
  int enroll_stage;            // enrolment progress counter
  int module_type;             // fp_get_module_type at initialisation
  struct fp_print_data *enrolled_print;  // completed enrolment awaiting storage
  char *aes_key;               // key text, NUL-terminated
  char message[COMMUNITY_MESSAGE_MAX];   // text shown for notify code 1106
  pthread_mutex_t mutex;       // device initialisation, one feature-list branch
  void *library;               // dlopen handle of the device library

  fp_print_data_get_data_fn fp_print_data_get_data;
  fp_print_data_free_fn fp_print_data_free;
  fp_init_fn fp_init;
  fp_discover_devs_fn fp_discover_devs;
  fp_dscv_dev_get_driver_fn fp_dscv_dev_get_driver;
  fp_driver_get_driver_id_fn fp_driver_get_driver_id;
  fp_driver_get_full_name_fn fp_driver_get_full_name;
  fp_dev_open_fn fp_dev_open;
  fp_dscv_devs_free_fn fp_dscv_devs_free;
  fp_dev_get_nr_enroll_stages_fn fp_dev_get_nr_enroll_stages;
  fp_dev_close_fn fp_dev_close;
  fp_exit_fn fp_exit;
  fp_print_data_from_data_fn fp_print_data_from_data;
  fp_async_enroll_start_fn fp_async_enroll_start;
  fp_async_enroll_stop_fn fp_async_enroll_stop;
  fp_async_identify_start_fn fp_async_identify_start;
  fp_handle_events_timeout_fn fp_handle_events_timeout;
  fp_async_identify_stop_fn fp_async_identify_stop;
  fp_driver_get_id_table_fn fp_driver_get_id_table;
  fp_template_data_sync_fn fp_template_data_sync;
  fp_template_data_delete_fn fp_template_data_delete;
  fp_template_data_import_fn fp_template_data_import;
  fp_template_registered_number_fn fp_template_registered_number;
  fp_template_data_update_fn fp_template_data_update;
  fp_set_debug_fn fp_set_debug;
  fp_get_module_type_fn fp_get_module_type;

  // Who may use the device library. The service runs every operation on one
  // thread between its open and close of the device (a session); discover
  // comes from the service's hot-plug thread at any time. All three flags
  // change under `mutex` only.
  int library_up;              // fp_init done and fp_exit not yet
  int session;                 // the device is open for the service
  // The session's device was unplugged: the running operation ends, none
  // starts, and the operation thread releases the device.
  COMMUNITY_SHARED(uint8_t) unplugged;
  int library_error;           // the running operation saw a library error
} community_dev_priv;

#ifdef __cplusplus
}  // extern "C"
static_assert(sizeof(std::atomic<int>) == sizeof(int) &&
                  sizeof(std::atomic<uint8_t>) == sizeof(uint8_t),
              "shared fields keep the plain field sizes");
#endif

#endif  // PLUGIN_COMMUNITY_DEV_PRIV_H_
