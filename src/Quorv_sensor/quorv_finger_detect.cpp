#include "src/Quorv_sensor/quorv_finger_detect.h"

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_fw4856_cmd.h"
#include "src/quorv_fp_spi/quorv_mcu_cmd.h"

namespace {

// Status polls after the auto-sensor flag; a ready answer counts only on
// the polls before the last one.
constexpr int kStatusPolls = 20;

int AutoSensorDetect() {
  QUORV_LOGD("Finger detecting :enter");
  quorv_usleep(1000);
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGD("Finger detecting : mcu is busy");
    return QUORV_FINGER_MCU_BUSY;
  }
  quorv_fp_sensor_set_autosensormode_flag();
  quorv_usleep(5000);
  bool ready = false;
  for (int n = 1; n <= kStatusPolls; ++n) {
    if (quorv_fp_mcu_status() == 0 && n < kStatusPolls) {
      ready = true;
      break;
    }
    quorv_usleep(1000);
  }
  if (ready) {
    int result = quorv_fp_sensor_enable_autosensormode();
    if (result == 1) {
      QUORV_LOGD("Finger detecting : Finger on");
      return QUORV_FINGER_ON;
    }
    if (result == 0) {
      QUORV_LOGD("Finger detecting : Finger off");
      return QUORV_FINGER_OFF;
    }
  }
  QUORV_LOGD("Finger detecting : mcu is busy");
  return QUORV_FINGER_MCU_BUSY;
}

int InterruptDetect() {
  if (quorv_fp_Read_Int_Flag() == 8) {
    QUORV_LOGD("Finger detecting : force wake");
    return QUORV_FINGER_FORCE_WAKE;
  }
  int status = quorv_fp_sensor_get_finger_status();
  if (status == 1) {
    QUORV_LOGD("Finger detecting : Finger on");
    return QUORV_FINGER_ON;
  }
  if (status == 0) {
    QUORV_LOGD("Finger detecting : Finger off");
    return QUORV_FINGER_OFF;
  }
  QUORV_LOGD("Finger detecting : mcu is busy");
  return QUORV_FINGER_MCU_BUSY;
}

}  // namespace

extern "C" int DetectFinger(void) {
  if (quorv_get_ZqSpiObjHandle() == nullptr) return QUORV_FINGER_ON;
  switch (quorv_get_icinfo()) {
    case SENSOR_ZQ4841:
    case SENSOR_ZQ4842:
    case SENSOR_ZQ4844:
      return AutoSensorDetect();
    case SENSOR_FW4856:
      return InterruptDetect();
    default:
      return QUORV_FINGER_ON;
  }
}

extern "C" int DetectFingerFactory(void) {
  uint8_t ic = quorv_get_icinfo();
  if ((ic >= SENSOR_FW4847 && ic <= SENSOR_FW4848) || (ic >= SENSOR_FW4845 && ic <= SENSOR_FW4843)) {
    return QUORV_FINGER_ON;
  }
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGD("Factory Finger detecting : MCU BUSY");
    return QUORV_FINGER_MCU_BUSY;
  }
  quorv_fp_sensor_finger_singel_scan();
  quorv_usleep(5000);
  if (quorv_fp_sensor_get_finger_status() == 0) {
    QUORV_LOGD("Factory Finger detecting : Finger on");
    return QUORV_FINGER_ON;
  }
  QUORV_LOGD("Factory Finger detecting : Finger off");
  return QUORV_FINGER_OFF;
}
