// The quorvanta driver's sensor glue: opening and closing the sensor, the
// algorithm configuration of the sensor library, and the finger poll, frame
// read and recovery the capture loop calls. Logs under "quorvanta:sensor".
#ifndef DRIVERS_QUORVANTA_ZQ_SENSOR_H_
#define DRIVERS_QUORVANTA_ZQ_SENSOR_H_

#include <stdint.h>

#include "framework/quorvanta_ctx.h"

#ifdef __cplusplus
extern "C" {
#endif

// Driver version text.
#define BQ_DRIVER_VERSION "v1.2.3.35"

// Opens the sensor of ctx's device: publishes ctx as quorvanta_ctx and
// initialises its usb_lock, resets bq_config and the log levels, reads the
// bulk endpoints and product-id presets from the USB descriptors, detects
// and starts the sensor, waits up to 30 x 10 ms for the MCU, registers the
// five host callbacks, creates the sensor library's resources, configures
// it (alg_do_config) and sets the bridge's work mode. Returns 0; the
// descriptor, detection or sensor-information error; -1 when the library's
// resources cannot be created; the device-mode error of sensor type 8; or
// the configuration's error.
int bq_sensor_init(quorvanta_ctx_t *ctx);

// Close: releases the sensor object (zq_sensorbase_DeinitSensor), destroys
// the sensor library's resources and the usb_lock. Returns 0.
int bq_sensor_deinit(void);

// Configures the sensor library for the open device (quorvanta_ctx): the
// FW4843 parameter set for module type 2 with 128 rows, else the per-type
// calls and the common set; then quorv_InitFpAlg. Returns 0, or -1 when the
// algorithm initialisation fails (in either set) or no device is open.
int alg_do_config(void);

// Wall clock in ms (seconds x 1000 + microseconds / 1000); NULL is ignored.
void bq_current_time_ms(uint64_t *out);

// Finger poll: 2 finger on, 0 none, negative error.
int bq_sensor_query_finger_status(void);

// Reads one frame into quorvanta_ctx->raw_image: 0, or the read's error
// (-201 without memory); raw_image is left as it was when the read failed.
int bq_sensor_capture_image(void);

// zq_sensorbase_esdcheck_HealthCheck.
int bq_sensor_esd_check(void);

// Module type 1: zq_MergeImage on the pixels; else 0.
int bq_sensor_merge_image(uint8_t *pixels);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_ZQ_SENSOR_H_
