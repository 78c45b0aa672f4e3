#include "src/quorv_fp_spi/quorv_fw4856_cmd.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_spi_io.h"

using quorv_spi::DirectRead;
using quorv_spi::DirectWrite;

namespace {

bool IsChip(uint8_t type) {
  return quorv_get_ZqSpiObjHandle() != nullptr && quorv_get_icinfo() == type;
}

bool IsFw4856() { return IsChip(SENSOR_FW4856); }

}  // namespace

extern "C" int quorv_setImage10Bit(void) {
  if (!IsChip(SENSOR_FW4847)) return -1;
  return DirectWrite(0x01, 0x00, 5);
}

extern "C" int quorv_setImagefast(void) {
  if (!IsFw4856()) return -1;
  return DirectWrite(0x01, 0x02, 5);
}

extern "C" int quorv_fp_Read_Int_Flag(void) {
  if (!IsFw4856()) return -1;
  return DirectRead(0x3D, 0x00, 6);
}

extern "C" int quorv_fp_sensor_image_scan_fix_mode(uint8_t enable) {
  if (!IsFw4856()) return -1;
  return DirectWrite(0x02, enable, 5);
}

extern "C" int quorv_fix_mode_set_value(int agc1, int agc2, int agc3, int agc4, int dac1,
                                        int dac2) {
  if (!IsFw4856()) return -1;
  QUORV_LOGV("quorv set_Value agc1 = %d, agc2 = %d, agc3 = %d, agc4 = %d, dac1 = %d, dac2 = %d",
             agc1, agc2, agc3, agc4, dac1, dac2);
  const int values[8] = {agc1,      agc2, agc3,     agc4, dac1 >> 8, dac1 & 0xFF,
                         dac2 >> 8, dac2 & 0xFF};
  int ret = 0;
  for (int i = 0; i < 8; ++i) {
    ret = DirectWrite(static_cast<uint8_t>(0x03 + i), static_cast<uint8_t>(values[i]), 5);
  }
  return ret;
}

extern "C" void quorv_fix_mode_get_value(void) {
  if (!IsFw4856()) return;
  static const char *const kNames[8] = {"0", "1", "2", "3", "4H", "4L", "5H", "5L"};
  for (int i = 0; i < 8; ++i) {
    uint8_t v = DirectRead(static_cast<uint8_t>(0x03 + i), 0x00, 5);
    QUORV_LOGV("quorv get_Value %s = %d \n", kNames[i], v);
  }
}

extern "C" int quorv_fp_sensor_read_info(uint8_t reg, uint8_t *out, uint8_t len) {
  if (!IsFw4856() || out == nullptr) return -1;
  if (!quorv_spi::CanRead()) {
    QUORV_LOGV("wb_csv_info read failed!!!");
    return 0;
  }
  uint8_t frame[4 + 255] = {0x10, 0xEF, reg, 0x00};
  int ret = quorv_spi::Transfer(frame, 4u + len);
  if (ret != 0) return ret;
  std::memcpy(out, frame + 4, len);
  QUORV_LOGV("wb_csv_info read value = %d", out[0]);
  return len;
}

extern "C" int quorv_fp_sensor_Auto_Power_Sleep(void) {
  if (!IsFw4856()) return -1;
  return DirectWrite(0x1E, 0x06, 5);
}

extern "C" int quorv_fp_sensor_Key_Mode_Switch(uint8_t on) {
  if (!IsFw4856()) return -1;
  return DirectWrite(0x00, on != 0 ? 0x90 : 0x00, 5);
}

extern "C" int quorv_fp_sensor_get_FW_Workstate(void) {
  if (!IsFw4856()) return -1;
  uint8_t state = DirectRead(0x00, 0x00, 5);
  QUORV_LOGV("quorv_4856 quorv_fp_sensor_get_FW_Workstate:%d\n", state);
  return state;
}

extern "C" int quorv_fp_sensor_get_Block_Num(void) {
  if (!IsFw4856()) return -1;
  uint8_t num = DirectRead(0x3F, 0x00, 5);
  QUORV_LOGV("quorv_4856 quorv_fp_sensor_get_Block_Num:%d\n", num);
  return num;
}

extern "C" int Set_Mcu_Stop_Enable(void) {
  if (!IsFw4856()) return -1;
  return DirectWrite(0x00, 0x73, 5);
}

extern "C" int Set_Mcu_Stop_Disable(void) {
  if (!IsFw4856()) return -1;
  const uint8_t frame[5] = {0x70, 0x00, 0x00, 0x00, 0x00};
  return quorv_spi::Write(frame, sizeof frame);
}

extern "C" int quorv_fp_sensor_Set_Force_Wake_EN(uint8_t enable) {
  if (!IsFw4856()) return -1;
  DirectWrite(0x46, enable, 5);
  QUORV_LOGV("quorv_4856 quorv_fp_sensor_Set_Force_Wake_EN Enable:%d\n", enable);
  uint8_t state = DirectRead(0x46, 0x00, 5);
  QUORV_LOGV("quorv_4856 quorv_fp_sensor_Set_Force_Wake_EN ret:%d\n", state);
  return state;
}
