#include "src/Quorv_sensor/quorv_mcu_services.h"

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_fw4856_cmd.h"
#include "src/quorv_fp_spi/quorv_mcu_cmd.h"
#include "src/quorv_fp_spi/quorv_spi_frames.h"

namespace {

int Fold(int accessor_result) { return accessor_result < 0 ? QUORV_REG_ACCESS_FAIL : 0; }

}  // namespace

extern "C" int SetImageBit(uint8_t imagebit) {
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGE("%s...get mcu status Fail!", "SetImageBit");
    return -1;
  }
  switch (imagebit) {
    case QUORV_IMAGEBIT_8:
      quorv_setImage8Bit();
      break;
    case QUORV_IMAGEBIT_16:
      quorv_setImage16Bit();
      break;
    case QUORV_IMAGEBIT_10:
      if (quorv_get_icinfo() == SENSOR_FW4856) {
        quorv_setImagefast();
      } else {
        quorv_setImage10Bit();
      }
      break;
    default:
      break;
  }
  quorv_set_imagebit(imagebit);
  QUORV_LOGD("SetImageBit bit = %d, imagebit = %d:\n", imagebit, imagebit);
  return 0;
}

extern "C" int GetImageBitStatus(void) {
  if (quorv_fp_mcu_status() != 0) return -1;
  int state = quorv_getImageState();
  QUORV_LOGD("quorv image bit = %d:\n", state);
  return state;
}

extern "C" int SetMcuStateCheckMode(uint8_t mode) {
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGE("quorv set mcu state check mode  failed:\n");
    return -1;
  }
  quorv_fp_setMcuStateCheckMode(mode);
  QUORV_LOGD("quorv set mcu state check mode  %d:\n", mode);
  return 0;
}

extern "C" int GetMcuStateCheckMode(void) {
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGE("quorv get mcu state check mode  failed:\n");
    return -1;
  }
  int mode = quorv_fp_getMcuStateCheckMode();
  QUORV_LOGD("quorv get mcu state check mode  = %d:\n", mode);
  return mode;
}

extern "C" int SetMcuInterrupMode(uint8_t mode) {
  int ret = quorv_fp_SetInterruptMode(mode);
  quorv_set_McuInterruptMode(mode);
  QUORV_LOGD("quorv SetMcuInterrupMode: %d \n", mode);
  return ret;
}

extern "C" int GetMcuInterruptMode(void) { return quorv_fp_GetInterruptMode(); }

extern "C" int ReadSfrRegister(uint8_t reg, uint8_t *out) {
  return Fold(quorv_fp_sensor_read_sfr_register(reg, out));
}

extern "C" int WriteSfrRegister(uint8_t reg, uint8_t value) {
  return Fold(quorv_fp_sensor_write_sfr_register(reg, value));
}

extern "C" int ReadSRamRegister(uint16_t addr, uint16_t *out) {
  return Fold(quorv_fp_sensor_read_sram_register(addr, out));
}

extern "C" int WriteSRamRegister(uint16_t addr, uint16_t value) {
  return Fold(quorv_fp_sensor_write_sram_register(addr, value));
}

extern "C" int WriteInforRegiser(uint8_t reg, uint8_t value) {
  return Fold(quorv_fp_sensor_write_sram_infor(reg, value));
}
