// The feature layer: finger detection, frame capture, the bridge's work
// modes, return to idle, recovery after a failed capture or finger poll, the
// module-type-2 clear-image step, chip-registry events and the factory
// interrupt-pin test. Each path is chosen by g_sensor_type: bridge types 1,
// 2, 3 and 7, the 4847 (4), the chip registry (8), module types 1 (10) and
// 2 (11). Runs on the driver's thread; the capture flags are shared with the
// sleep detector.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_DEVINIT_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_DEVINIT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The bridge sensor's waiting modes, recorded by the bridge in register 0x76.
typedef enum bq_work_mode {
  BQ_WORK_MODE_NONE = 0,
  BQ_WORK_MODE_SENSOR = 1,   // 0x1F = 1, 0x1E = 1, 10 ms, one read of 0x1D
  BQ_WORK_QUICK_SENSOR = 2,  // 0x54 = 1
  BQ_WORK_MODE_POA = 3,      // 0x00 = 0x20, 1 ms
  BQ_WORK_MODE_STOP = 4,     // nothing written
} bq_work_mode;

// Finger-query answers.
enum { ZQ_FINGER_NONE = 0, ZQ_FINGER_ON = 2 };

// Module-type-2 finger-query state: queries without a finger since the last
// touch, and polls left before the ATC is switched back on after a resume.
extern int isFirstTouch;
extern int wait_3_times;

// One frame into buf + 2 (width x height bytes); the bridge path fills buf
// from its start with the 2-byte header. Bridge types: pixel = 255 - raw,
// then BQ_WORK_MODE_SENSOR; a failed read runs the health check and returns
// its error, or the read's. Every type returns the read's failure.
int zq_sensorbase_CaptureImage(uint8_t *buf);

// The bridge image read: OUT 0x34 (0xFF), 2 ms, OUT 0x34 (3), 1 ms, OUT
// 0x35 (w * h + 2, 0x3400), bulk IN of w * h + 2 bytes into buf (1000 ms).
// 0, -201 for NULL, -203 for a short read, or the transfer's error.
int zq_interface_base_CaptureData(uint8_t *buf);

// One 4847 frame of width x height bytes into img: wake-up, selector 0x9080.
// A failed read zero-fills img and returns the error.
int zq_feature_4847_CaptureData(uint8_t *img);

// Module type 2: when isNeedClearImgFirst is set, clears the module's image
// (clear command on the 4845 products, else a dropped frame) and switches
// the ATC; then sets isNeedClearImgFirst.
void zq_feature_devinit_ClearImg(void);

// ZQ_FINGER_ON, ZQ_FINGER_NONE, or a negative error (-1: the bridge's pin is
// high while its MCU is busy). Module type 2 never fails: errors read as no
// finger. Sets run_loop_cnt to 1.
int zq_feature_devinit_QueryFpOnSensor(void);

// Enters `mode` on bridge types: return to idle first when the MCU is busy,
// record the mode in 0x76, write the mode's registers, then confirm: a busy
// MCU means it went into its low-power wait; a running one means it did not,
// and 0x76 is set back to 0. Module type 2 sends nothing. 0 or the first
// failing transfer's error.
int zq_feature_devinit_SwitchNextSensorWorkMode(int mode);

// write 1 stores *mode in register 0x76; write 0 reads it (1 byte) into
// *mode. -201 for NULL.
int zq_feature_devinit_RecordSensorWorkMode(int write, uint32_t *mode);

// Wakes the bridge and reads the recorded mode; SENSOR (or anything outside
// 1 to 4) is left by writing 0x1E = 0 and 0x1F = 0, then 10 ms.
int zq_feature_devinit_ReturnIdleMode(void);

// Recovery: USB reset and re-claim, then by type: 4847 exit from POA, the
// chip's liveness check, module-1 soft reset, module-2 liveness (result 0),
// or for bridge types the firmware check and load followed by SENSOR mode
// (the load's result).
int zq_sensorbase_esdcheck_HealthCheck(void);

// Type 8: the chip record's event, as a finger-query answer (-1 after a reset
// or ESD event, or a failed query).
int zq_feature_4846_QueryEventStatus(void);

// Type 8: writes 44 80 00 00 through zq_interface_base_WriteData at 0.
int zq_feature_4846_SensorReset(void);

// Factory interrupt-pin test: 0 pass, -1 fail, -16 when the bridge MCU is
// busy, or a transfer error. Type 4 runs zq_feature_4847_FunctionforTestPin.
int zq_interface_base_FunctionforTestPin(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_DEVINIT_H_
