// The sensor instance (size and image flags handed down by the sensor
// library; written by its setters, read by nothing) and the chip switches
// that live beside it.
#ifndef SRC_QUORV_SENSOR_QUORV_SENSOR_INSTANCE_H_
#define SRC_QUORV_SENSOR_QUORV_SENSOR_INSTANCE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Four one-byte fields in this order.
typedef struct QuorvSensorInstance {
  uint8_t cols;         // default 96
  uint8_t rows;         // default 96
  uint8_t imageFilter;  // default 0
  uint8_t imageSmall;   // default 0
} QuorvSensorInstance;

// Frees any previous instance and allocates a new one with the defaults.
// Returns it, or NULL (logged "CreateSensorInstance FAIL!").
QuorvSensorInstance *quorv_CreateSensorInstance(void);

// Frees the instance; the handle is NULL afterwards.
void quorv_DestroySensorInstance(void);

// The current instance, or NULL before creation.
QuorvSensorInstance *quorv_GetSensorInstanceHandle(void);

// Setters of the instance; with no instance they log an error and write
// nothing.
void SetFpSensorColsRows(uint8_t cols, uint8_t rows);
void SetSensorImageFilter(uint8_t enable);
void SetSensorImageSmall(uint8_t enable);

// FW4856 base switch (0 at load): 1 makes the simple FW4856 read run the
// 12-bit conversion and base correction.
void SetFW4856BaseEnable(uint8_t enable);
// The FW4856 base switch.
uint8_t quorv_get_FW4856BaseEnable(void);

// Divisor of the FW4859H samples, 12 at load.
extern int32_t g_FW4859HScanTimes;

// Sets g_FW4859HScanTimes; logs "%s......g_FW4859HScanTimes = %d" at level 1.
void quorv_set_fw4859h_scan_time(int32_t times);

// Sets the FW4848 filter threshold (0.40 at load) when
// 0.35 <= thr <= 0.40, otherwise leaves it; logs the threshold at level 1.
void quorv_set_fw4848_filter_thr(float thr);
// The FW4848 filter threshold.
float quorv_get_fw4848_filter_thr(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_SENSOR_INSTANCE_H_
