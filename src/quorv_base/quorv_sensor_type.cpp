#include "src/quorv_base/quorv_sensor_type.h"

const char *chipName[QUORV_CHIP_NAME_COUNT] = {
    "NONE",   "ZQ4841", "ZQ4842", "ZQ4844", "FW4847", "FW4859H", "FW4848",
    "FW4856", "FW4845", "ZE4850", "DO4851", "FW4849", "FW4843", "FW4854",
    "FW4853", "FW4852", "FW4855",
};

const char *chipBit[QUORV_CHIP_BIT_COUNT] = {"16bit", "8bit", "10bit", "12bit"};
