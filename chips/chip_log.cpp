#include "chips/chip_log.h"

uint32_t g_chip_log_level = 0;
