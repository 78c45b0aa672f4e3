// Process-wide bridge settings that the sensor-type detection chooses and the
// bridge operations read.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_STATE_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_STATE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bus type reported to the 4847 code: 1 = USB bridge (the initial value),
// 2 = direct full-duplex SPI.
extern int g_bus_type;

// The sensor object's reset delay in milliseconds (80, 160 or 180), waited by
// zq_sensorbase_ReturnIdleByReset; 0 until a sensor object is created.
extern uint8_t g_reset_delay;

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_STATE_H_
