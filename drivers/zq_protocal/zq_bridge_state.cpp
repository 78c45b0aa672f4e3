#include "drivers/zq_protocal/zq_bridge_state.h"

int g_bus_type = 1;
uint8_t g_reset_delay = 0;
