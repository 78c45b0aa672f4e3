// The quorvanta driver's device context, shared by its modules and read by
// the framework's stop operations and the dump code.
#ifndef FRAMEWORK_QUORVANTA_CTX_H_
#define FRAMEWORK_QUORVANTA_CTX_H_

#include <pthread.h>
#include <stdint.h>

#include "framework/zq_sensor_info.h"

#ifdef __cplusplus
extern "C" {
#endif

struct fp_img_dev;
struct fpi_timeout;

// One per open device, allocated zeroed at open and linked both ways with its
// imaging device (imgdev here, the imaging device's priv there). Only one
// device is served at a time.
typedef struct quorvanta_ctx {
  struct fp_img_dev *imgdev;         // owning imaging device
  struct fpi_timeout *enroll_timeout;  // pending 30 s enrolment time-out, else NULL
  struct fpi_timeout *poll_timeout;    // pending 50 ms finger re-poll, else NULL
  uint8_t *raw_image;                // current frame, width x height bytes (0xFF: none held)
  uint8_t ep_in;                     // bulk IN endpoint address
  uint8_t ep_out;                    // bulk OUT endpoint address
  uint8_t loop_running;              // 1 while the capture loop exists
  uint8_t stop_requested;            // 1 when deactivation was asked while the loop ran
  uint8_t update_tpl;                // 1 when the last verify/identify asked for an update
  uint32_t module_type;              // bq_module_type from the product id
  pthread_mutex_t usb_lock;          // serialises every USB transfer of the bridge protocol
  zq_sensor_info_t sensor_info;      // firmware version, size and sensor type
  uint8_t first_loop;                // module type 2: consumed by the first capture pass
  uint16_t pid;                      // USB product id
  uint8_t result_reported;           // a result was mapped since the capture loop's first pass
} quorvanta_ctx_t;

// The context of the open device, published by the sensor initialisation;
// NULL while no device is open.
extern quorvanta_ctx_t *quorvanta_ctx;

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_QUORVANTA_CTX_H_
