#include "drivers/zq_protocal/zq_feature_devinit.h"

#include <sys/time.h>

#include <cstring>
#include <vector>

#include "base/bq_device.h"
#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/chips/zq4846/zq4846.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_bridge.h"
#include "drivers/zq_protocal/zq_feature_loadfirmware.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_pin_test_4847.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "drivers/zq_sensor/zq_usb.h"

#define TAG "quorvanta:protocal"

int isFirstTouch = 0;
int wait_3_times = 0;

namespace {

constexpr size_t kScratchFrame = 0x8000;

uint32_t ModuleType() { return quorvanta_ctx != nullptr ? quorvanta_ctx->module_type : 0; }

// The "4845" module-type-2 products: 16-bit frames, a clear command, the
// ATC switched with the opposite polarity.
bool Is4845Product() {
  if (quorvanta_ctx == nullptr) return false;
  switch (quorvanta_ctx->pid) {
    case 0x3b15:
    case 0x3b16:
    case 0x3b19:
    case 0x3b1a:
      return true;
    default:
      return false;
  }
}

const char *ModeName(uint32_t mode) {
  switch (mode) {
    case BQ_WORK_MODE_SENSOR:
      return "BQ_WORK_MODE_SENSOR";
    case BQ_WORK_QUICK_SENSOR:
      return "BQ_WORK_QUICK_SENSOR";
    case BQ_WORK_MODE_POA:
      return "BQ_WORK_MODE_POA";
    case BQ_WORK_MODE_STOP:
      return "BQ_WORK_MODE_STOP";
    default:
      return "BQ_WORK_MODE_NONE";
  }
}

long long WallMs() {
  struct timeval tv = {};
  gettimeofday(&tv, nullptr);
  return static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

int FrameBytes() { return g_sensor_width * g_sensor_height; }

// 4847 wake-up, then `len` bytes of `selector` into `buf`.
int Read4847(uint16_t selector, uint8_t *buf, uint16_t len) {
  zq_feature_4847_WakeupSensor();
  return zq_interface_base_4847_ReadData(selector, buf, len);
}

// The 4847 finger status: bytes 1 and 2 of the status block both 0x11.
int Query4847() {
  if (g_4847_poa_mode == 2) {
    uint8_t poa[6] = {};
    int r = Read4847(ZQ_4847_SEL_STATUS, poa, sizeof poa);
    if (r != 0) BQ_LOG_ERRNO(TAG, r);
  }
  bool high = false;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_QuerySensorPinStatus(&high));
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:Int level: %d", __LINE__, high ? 1 : 0);
  if (!high) return ZQ_FINGER_NONE;
  uint8_t status[32] = {};
  BQ_RETURN_ON_ERROR(TAG, Read4847(ZQ_4847_SEL_STATUS, status, sizeof status));
  return status[1] == 0x11 && status[2] == 0x11 ? ZQ_FINGER_ON : ZQ_FINGER_NONE;
}

// The module-type-2 finger query with its resume logic.
int QueryModule2() {
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:isFirstTouch=%d,wait_3_times=%d", __LINE__, isFirstTouch,
         wait_3_times);
  if (g_resumed_from_sleep.load() != 0) {
    wait_3_times = 3;
    if (g_identify_error.load() != 0) {
      g_identify_error = 0;
      isNeedClearImgFirst = 0;
      return ZQ_FINGER_NONE;
    }
  } else if (wait_3_times == 0) {
    zq4846_IO_Set(Is4845Product() ? 1 : 0);
  }
  if (zq4846_query_finger_status() == ZQ_FINGER_ON) {
    g_resumed_from_sleep = 0;
    isNeedClearImgFirst = 1;
    isFirstTouch = 0;
    wait_3_times = 0;
    return ZQ_FINGER_ON;
  }
  ++isFirstTouch;
  if (wait_3_times > 0) --wait_3_times;
  if (isFirstTouch > 3) {
    g_resumed_from_sleep = 0;
    isNeedClearImgFirst = 1;
  }
  return ZQ_FINGER_NONE;
}

// The bridge finger query (types 1, 2, 3, 7).
int QueryBridge() {
  bool high = false;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_QuerySensorPinStatus(&high));
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:Int level: %d", __LINE__, high ? 1 : 0);
  if (!high) return ZQ_FINGER_NONE;
  int busy = 1;
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_QueryMCUStatus(&busy));
  if (busy) return -1;
  uint8_t flag = 0;
  int r = zq_interface_base_ReadRegister(ZQ_REG_FINGER, &flag, 1);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s: %d", "failed to query fingerprint on sensor flag.", r);
    return r;
  }
  if (flag == 1 || flag == 0xA0) return ZQ_FINGER_ON;
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_QueryMCUStatus(&busy));
  if (!busy) zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_QUICK_SENSOR);
  return ZQ_FINGER_NONE;
}

bq_device *Chip() { return bq_device_current(); }

}  // namespace

extern "C" int zq_interface_base_CaptureData(uint8_t *buf) {
  if (buf == nullptr) return BQ_ERROR_NULL_POINTER;
  const int total = FrameBytes() + 2;
  if (total > 0xFFFF) return BQ_ERROR_OVERFLOW;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_Select(ZQ_SELECT_RESET));
  bq_msleep(2);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_Select(ZQ_SELECT_DATA_READ));
  bq_msleep(1);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(
                              ZQ_REQ_LENGTH, static_cast<uint16_t>(total), ZQ_ADDR_IMAGE));
  int transferred = 0;
  BQ_RETURN_ON_ERROR(TAG, usb_bulk_transfer(ZQ_USB_DIR_IN, buf, static_cast<uint16_t>(total),
                                    &transferred, ZQ_BULK_TIMEOUT_MS));
  return transferred == total ? 0 : BQ_ERROR_PROTOCOL;
}

extern "C" int zq_feature_4847_CaptureData(uint8_t *img) {
  BQ_LOG_ENTER(TAG);
  if (img == nullptr) return BQ_ERROR_NULL_POINTER;
  const int len = FrameBytes();
  if (len > 0xFFFF) return BQ_ERROR_OVERFLOW;
  int r = Read4847(ZQ_4847_SEL_IMAGE, img, static_cast<uint16_t>(len));
  if (r != 0) {
    // No stale or partial frame reaches the caller.
    std::memset(img, 0, static_cast<size_t>(len));
    BQ_LOG_ERROR_MSG(TAG, "failed to get image buffer: %d", r);
  }
  return r;
}

extern "C" int zq_sensorbase_CaptureImage(uint8_t *buf) {
  if (buf == nullptr) return BQ_ERROR_NULL_POINTER;
  switch (g_sensor_type) {
    case ZQ_SENSOR_ZQ4847W:
      return zq_feature_4847_CaptureData(buf + 2);
    case ZQ_SENSOR_CHIP_REGISTRY: {
      uint64_t start = bq_timer_ms(false);
      BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:'%s' enter.", __LINE__, "zq_feature_4846_CaptureData");
      bq_device *chip = Chip();
      if (chip == nullptr || chip->capture_image == nullptr || chip->config_device_mode == nullptr)
        return BQ_ERROR_NO_DEVICE;
      BQ_RETURN_ON_ERROR(TAG, chip->capture_image(buf + 2));
      BQ_LOG(BQ_LOG_INFO, TAG,
             "[%4d]:########## Read image completion, notify framework ################",
             __LINE__);
      BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:fingerprint image scanning consumed time %llu ms.",
             __LINE__, static_cast<unsigned long long>(bq_timer_ms(false) - start));
      return chip->config_device_mode(2);
    }
    case ZQ_SENSOR_ZQ4843W:
      return zq_GetFpImage(buf + 2);
    case ZQ_SENSOR_MODULE2:
      return zq4846_scan_sensor_data(buf + 2);
    default:
      break;
  }
  int r = zq_interface_base_CaptureData(buf);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "failed to get image buffer: %d", r);
    int h = zq_sensorbase_esdcheck_HealthCheck();
    return h != 0 ? h : r;
  }
  const int n = FrameBytes();
  for (int i = 0; i < n; ++i) buf[2 + i] = static_cast<uint8_t>(~buf[2 + i]);
  zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
  return 0;
}

extern "C" void zq_feature_devinit_ClearImg(void) {
  if (isNeedClearImgFirst.load() != 0) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:clear img start..,curTime=%d", __LINE__,
           static_cast<int>(WallMs()));
    if (Is4845Product()) {
      zq4846_clear_img();
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:clear img end..,curTime=%d", __LINE__,
             static_cast<int>(WallMs()));
      bq_msleep(20);
      zq4846_IO_Set(1);
    } else {
      zq4846_IO_Set(0);
      bq_msleep(20);
      std::vector<uint8_t> scratch(kScratchFrame);
      if (ModuleType() == ZQ_MODULE_TYPE2)
        zq4846_scan_sensor_data(scratch.data());
      else if (FrameBytes() <= static_cast<int>(kScratchFrame))
        zq_feature_4847_CaptureData(scratch.data());
    }
  }
  isNeedClearImgFirst = 1;
}

extern "C" int zq_feature_devinit_QueryFpOnSensor(void) {
  run_loop_cnt = 1;
  switch (g_sensor_type) {
    case ZQ_SENSOR_ZQ4847W:
      return Query4847();
    case ZQ_SENSOR_CHIP_REGISTRY:
      return zq_feature_4846_QueryEventStatus();
    case ZQ_SENSOR_ZQ4843W:
      return zq_QueryDeviceStatus();
    case ZQ_SENSOR_MODULE2:
      return QueryModule2();
    default:
      return QueryBridge();
  }
}

extern "C" int zq_feature_devinit_RecordSensorWorkMode(int write, uint32_t *mode) {
  if (mode == nullptr) return BQ_ERROR_NULL_POINTER;
  if (write) {
    BQ_RETURN_ON_ERROR(
        TAG, zq_interface_base_WriteRegister(ZQ_REG_WORK_MODE, static_cast<uint8_t>(*mode)));
    return 0;
  }
  uint8_t v = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_WORK_MODE, &v, 1));
  *mode = v;
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:read pre sensor low power work status: %d", __LINE__, v);
  return 0;
}

extern "C" int zq_feature_devinit_SwitchNextSensorWorkMode(int mode) {
  if (ModuleType() == ZQ_MODULE_TYPE2) {
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:%s enter", __LINE__, __func__);
    return 0;
  }
  int busy = 1;
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_QueryMCUStatus(&busy));
  if (busy) {
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:mcu is busy.", __LINE__);
    BQ_RETURN_ON_ERROR(TAG, zq_feature_devinit_ReturnIdleMode());
  }
  uint32_t recorded = static_cast<uint32_t>(mode);
  BQ_RETURN_ON_ERROR(TAG, zq_feature_devinit_RecordSensorWorkMode(1, &recorded));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:switch to '%s' mode.", __LINE__, ModeName(recorded));
  switch (mode) {
    case BQ_WORK_MODE_SENSOR: {
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_SENSOR_EN2, 1));
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_SENSOR_EN1, 1));
      bq_msleep(10);
      uint8_t flag = 0;
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_FINGER, &flag, 1));
      break;
    }
    case BQ_WORK_QUICK_SENSOR:
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_QUICK_SENSOR, 1));
      break;
    case BQ_WORK_MODE_POA:
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_MODE_TRIGGER, 0x20));
      bq_msleep(1);
      break;
    default:
      break;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_QueryMCUStatus(&busy));
  if (busy) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sensor switch low power work mode success.", __LINE__);
  } else {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_WORK_MODE, 0));
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:sensor switch low power work mode failure.", __LINE__);
  }
  return 0;
}

extern "C" int zq_feature_devinit_ReturnIdleMode(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_WakeupSensor());
  uint32_t mode = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_feature_devinit_RecordSensorWorkMode(0, &mode));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:exit from '%s' mode.", __LINE__, ModeName(mode));
  if (mode == BQ_WORK_MODE_SENSOR || mode < BQ_WORK_MODE_SENSOR || mode > BQ_WORK_MODE_STOP) {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_SENSOR_EN1, 0));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_SENSOR_EN2, 0));
    bq_msleep(10);
  }
  return 0;
}

extern "C" int zq_sensorbase_esdcheck_HealthCheck(void) {
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:start to health check...", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_reloadDriverFromError());
  switch (g_sensor_type) {
    case ZQ_SENSOR_ZQ4847W: {
      uint8_t poa[6] = {}, status[32] = {};
      BQ_RETURN_ON_ERROR(TAG, Read4847(ZQ_4847_SEL_IMAGE, poa, sizeof poa));
      BQ_RETURN_ON_ERROR(
          TAG, zq_interface_base_4847_ReadData(ZQ_4847_SEL_STATUS, status, sizeof status));
      BQ_RETURN_ON_ERROR(
          TAG, zq_interface_base_4847_ReadData(ZQ_4847_SEL_STATUS, status, sizeof status));
      return 0;
    }
    case ZQ_SENSOR_CHIP_REGISTRY: {
      bq_device *chip = Chip();
      if (chip == nullptr || chip->check_alive == nullptr) return BQ_ERROR_NO_DEVICE;
      return chip->check_alive();
    }
    case ZQ_SENSOR_ZQ4843W:
      return zq_ResetBySoft();
    case ZQ_SENSOR_MODULE2:
      zq4846_check_alive();
      return 0;
    default: {
      int r = zq_feature_loadfirmware_LoadFW();
      zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
      return r;
    }
  }
}

extern "C" int zq_feature_4846_SensorReset(void) {
  BQ_LOG_ENTER(TAG);
  static const uint8_t kReset[4] = {0x44, 0x80, 0x00, 0x00};
  int r = zq_interface_base_WriteData(0, kReset, sizeof kReset);
  BQ_LOG_LEAVE(TAG);
  return r;
}

extern "C" int zq_feature_4846_QueryEventStatus(void) {
  BQ_LOG_ENTER(TAG);
  bq_device *chip = Chip();
  if (chip == nullptr || chip->query_event_status == nullptr) return -1;
  int event = chip->query_event_status();
  if (event < 0) {
    BQ_LOG_ERROR_MSG(TAG, "failed to query event source.");
    return -1;
  }
  switch (event) {
    case 2:
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got hardware reset event.", __LINE__);
      g_reset_event_seen = 1;
      if (chip->Chip_Paramter_Init != nullptr) chip->Chip_Paramter_Init();
      return -1;
    case 5:
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got finger touched event.", __LINE__);
      return ZQ_FINGER_ON;
    case 6:
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got finger released event.", __LINE__);
      if (chip->config_device_mode != nullptr) chip->config_device_mode(1);
      return ZQ_FINGER_NONE;
    case 11: {
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got esd event.", __LINE__);
      zq_feature_4846_SensorReset();
      bq_msleep(10);
      if (chip->reset != nullptr) chip->reset();
      if (chip->ESD_Handle != nullptr) {
        int r = chip->ESD_Handle();
        if (r != 0) {
          BQ_LOG_ERRNO(TAG, r);
          return r;
        }
      }
      return -1;
    }
    default:
      BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:unknown event: %d", __LINE__, event);
      return ZQ_FINGER_NONE;
  }
}

extern "C" int zq_interface_base_FunctionforTestPin(void) {
  if (g_sensor_type == ZQ_SENSOR_ZQ4847W) return zq_feature_4847_FunctionforTestPin();
  if (g_sensor_type == ZQ_SENSOR_CHIP_REGISTRY) {
    g_reset_event_seen = 0;
    bq_device *chip = Chip();
    if (chip != nullptr && chip->config_device_mode != nullptr) chip->config_device_mode(7);
    zq_feature_4846_SensorReset();
    bq_msleep(250);
    zq_feature_4846_QueryEventStatus();
    if (g_reset_event_seen) return 0;
    BQ_LOG_ERROR_MSG(TAG, "Int test failed.");
    return -1;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_ReturnIdleByReset());
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_InitMcuConfig());
  int busy = 1;
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_QueryMCUStatus(&busy));
  if (busy) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(BQ_ERROR_BUSY));
    return BQ_ERROR_BUSY;
  }
  bool high = false;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_QuerySensorPinStatus(&high));
  if (!high) {
    BQ_LOG_ERROR_MSG(TAG, "Int is not level High.");
    return -1;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_PIN_TEST, 0x32));
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_MODE_TRIGGER, 0x78));
  bq_msleep(10);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_QuerySensorPinStatus(&high));
  if (high) {
    BQ_LOG_ERROR_MSG(TAG, "Int is not level low.");
    return -1;
  }
  bq_msleep(50);
  for (int poll = 0; poll < 100; ++poll) {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_QuerySensorPinStatus(&high));
    if (high) return 0;
    bq_msleep(5);
  }
  BQ_LOG_ERROR_MSG(TAG, "Int need level high, but low, test failed.");
  return -1;
}
