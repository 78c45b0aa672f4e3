// Which sensor the quality and no-finger code serves, and the no-finger
// threshold: process-wide settings written by the algorithm settings'
// forwarders and read without a lock.
#ifndef SRC_ENHANCE_ZQNONFINGERSETTINGS_H_
#define SRC_ENHANCE_ZQNONFINGERSETTINGS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Sensor name code (SensorType codes, 16 included); 0 at load.
extern uint16_t gSensorName;

// Module type; chooses among the FW4845 network table sets. 0 at load.
extern uint16_t gModuleType;

// No-finger type: 1 selects the _TYPE1 table sets. 0 at load.
extern uint8_t gNoneFingerType;

// A finger probability above it means finger. 0.7 at load.
extern float gNoneFingerThr;

// Stores the low 16 bits of code in gSensorName.
void SetSensorName(int32_t code);

// Stores the low 16 bits of type in gModuleType.
void SetModuleType(int32_t type);

// Stores the low byte of type in gNoneFingerType and thr in gNoneFingerThr.
void SetNoneFingerThr(int32_t type, float thr);

// Test hook: puts the four settings back to their load-time values.
void NonFingerSettingsResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQNONFINGERSETTINGS_H_
