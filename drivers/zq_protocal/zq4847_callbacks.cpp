#include "drivers/zq_protocal/zq4847_callbacks.h"

#include "base/bq_util.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_interface_base.h"

extern "C" int bq_get_bus_type(void) { return g_bus_type; }

extern "C" void zq4847_fill_factory_callbacks(void) {
  zq4847_factory_callbacks = {bq_get_bus_type, nullptr,  bq_msleep,
                              bq_usleep,       SPI_read, SPI_write,
                              zq_interface_base_4847_ChipSelect,
                              zq_interface_base_ResetCallback};
}
