// The bridge's side of the 4847 host slots (chips/zq4847_update/
// zq4847_callbacks.h): the sensor-type detection fills them when it selects
// sensor type 4.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ4847_CALLBACKS_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ4847_CALLBACKS_H_

#include "chips/zq4847_update/zq4847_callbacks.h"

#ifdef __cplusplus
extern "C" {
#endif

// The bus type the 4847 code sees: g_bus_type.
int bq_get_bus_type(void);

// Fills zq4847_factory_callbacks with the bridge's operations: bq_get_bus_type,
// none, bq_msleep, bq_usleep, SPI_read, SPI_write,
// zq_interface_base_4847_ChipSelect, zq_interface_base_ResetCallback.
void zq4847_fill_factory_callbacks(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ4847_CALLBACKS_H_
