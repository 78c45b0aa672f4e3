#include "drivers/zq_protocal/zq_feature_iocontrol.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "framework/zq_sensor_info.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_bridge.h"
#include "drivers/zq_protocal/zq_dead_pixel_4847.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_feature_loadfirmware.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

#define TAG "quorvanta:protocal"

namespace {

constexpr const char *kPass = "\x1b[1;32;47m pass \x1b[0m";
constexpr const char *kFailure = "\x1b[1;31;47m failure \x1b[0m";
constexpr uint64_t kSceneTimeoutMs = 30000;
constexpr int kPollMs = 20;
constexpr unsigned kDefaultTouches = 5;
constexpr uint64_t kDefaultQualityMs = 10000;
// The scene test's capture buffer: the image starts 2 bytes in; a module's
// scan reply may fill up to 0x8000 bytes.
constexpr size_t kCaptureMin = 0x8000;

const char *Verdict(int result) { return result == 0 ? kPass : kFailure; }

// "'text'." of `code` under the caller's name; passes the code on.
#define FAIL_WITH(code)                                                                   \
  do {                                                                                    \
    int c_ = (code);                                                                      \
    BQ_LOG(BQ_LOG_ERROR, TAG, "error at %s[%s:%d]: '%s'.", __func__, bq_basename(__FILE__), \
           __LINE__, bq_strerror(c_));                                                    \
    return c_;                                                                            \
  } while (0)

#define RETURN_ON_ERROR(expr) \
  do {                        \
    int r_ = (expr);          \
    if (r_ != 0) FAIL_WITH(r_); \
  } while (0)

bool BridgeType(int type) {
  return type != ZQ_SENSOR_ZQ4847W && type != ZQ_SENSOR_CHIP_REGISTRY &&
         type != ZQ_SENSOR_ZQ4843W && type != ZQ_SENSOR_MODULE2;
}

int zq_feature_iocontrol_OnGetSensorSize(uint8_t *data) {
  if (data == nullptr) FAIL_WITH(BQ_ERROR_NULL_POINTER);
  data[0] = static_cast<uint8_t>(g_sensor_width);
  data[1] = static_cast<uint8_t>(g_sensor_height);
  return 0;
}

int zq_feature_iocontrol_OnGetSensorInfo(uint8_t *data) {
  BQ_LOG_ENTER(TAG);
  if (data == nullptr) FAIL_WITH(BQ_ERROR_NULL_POINTER);
  std::memset(data, 0, ZQ_SENSOR_INFO_SIZE);
  zq_sensor_info_t info = {};
  uint16_t bridge = 0;
  switch (g_sensor_type) {
    case ZQ_SENSOR_CHIP_REGISTRY:
    case ZQ_SENSOR_MODULE2:
      break;
    case ZQ_SENSOR_ZQ4847W: {
      RETURN_ON_ERROR(zq_interface_base_GetBridgeVersion(&bridge));
      RETURN_ON_ERROR(zq_feature_4847_WakeupSensor());
      uint8_t status[32] = {};
      RETURN_ON_ERROR(zq_interface_base_4847_ReadData(ZQ_4847_SEL_STATUS, status, sizeof status));
      info.fw_version = status[21];
      break;
    }
    case ZQ_SENSOR_ZQ4843W: {
      uint16_t version = 0;
      RETURN_ON_ERROR(zq_GetFirmwareVersion(&version));
      info.fw_version = static_cast<uint16_t>(version >> 8);
      break;
    }
    default: {
      RETURN_ON_ERROR(zq_interface_base_GetBridgeVersion(&bridge));
      RETURN_ON_ERROR(zq_feature_devinit_ReturnIdleMode());
      bq_msleep(5);
      uint8_t fw = 0;
      RETURN_ON_ERROR(zq_interface_base_ReadRequest(ZQ_REQ_REG_READ, ZQ_REG_FW_VERSION, &fw, 1));
      RETURN_ON_ERROR(zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR));
      info.fw_version = fw;
      break;
    }
  }
  info.chip_id = bridge;
  info.sensor.cols = g_sensor_width;
  info.sensor.rows = g_sensor_height;
  info.sensor_type = static_cast<uint32_t>(g_sensor_type);
  std::strncpy(info.version_text, ZQ_DRIVER_VERSION_TEXT, sizeof info.version_text - 1);
  zq_sensor_info_serialize(&info, data, ZQ_SENSOR_INFO_SIZE);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:fw = 0x%02x, pw = 0x%04x, driverVer = %s.", __LINE__,
         info.fw_version, info.chip_id, info.version_text);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:w = %d, h = %d, SensorType = %d.", __LINE__, info.sensor.cols,
         info.sensor.rows, g_sensor_type);
  BQ_LOG_LEAVE(TAG);
  return 0;
}

int zq_feature_iocontrol_OnDownloadFw(uint8_t *data) {
  if (data == nullptr) FAIL_WITH(BQ_ERROR_NULL_POINTER);
  data[0] = 0;
  if (g_sensor_type == ZQ_SENSOR_ZQ4847W) {
    data[0] = 1;
    return 0;
  }
  const int download = zq_feature_loadfirmware_DistributeSensorFirmware();
  const int config = zq_sensorbase_InitMcuConfig();
  if (config != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s: %d", "mcu config failed.", config);
    return config;
  }
  zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
  if (download != 0) return download;
  data[0] = 1;
  return 0;
}

int OnTestPin() {
  int r = 0;
  switch (g_sensor_type) {
    case ZQ_SENSOR_ZQ4847W:
    case ZQ_SENSOR_CHIP_REGISTRY:
      r = zq_interface_base_FunctionforTestPin();
      break;
    case ZQ_SENSOR_ZQ4843W:
      r = zq_FuncforTestPin();
      break;
    case ZQ_SENSOR_MODULE2:
      break;
    default:
      r = zq_interface_base_FunctionforTestPin();
      zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
      break;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:interrupt test: %s.", __LINE__, Verdict(r));
  return r;
}

int zq_feature_iocontrol_OnTestDeadPixel() {
  BQ_LOG_ENTER(TAG);
  int r = 0;
  if (g_sensor_type == ZQ_SENSOR_ZQ4847W)
    r = do_dead_pixel_test_4847(g_sensor_width, g_sensor_height);
  else if (g_sensor_type == ZQ_SENSOR_ZQ4843W)
    r = zq_FuncforTestDeadPixel();
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:dead pixel test: %s.", __LINE__, Verdict(r));
  BQ_LOG_LEAVE(TAG);
  return r;
}

// Polls the finger every 20 ms until it is on (2), within `limit_ms` of
// `start`: 2, -205 for a failed poll, or -1 at the limit.
int WaitForFinger(uint64_t start, uint64_t limit_ms) {
  while (bq_timer_ms(false) - start <= limit_ms) {
    int q = zq_feature_devinit_QueryFpOnSensor();
    if (q < 0) return BQ_ERROR_NO_DEVICE;
    if (q == ZQ_FINGER_ON) return q;
    bq_msleep(kPollMs);
  }
  BQ_LOG_ERROR_MSG(TAG, "finger press timeout.");
  return -1;
}

// The library steps of the scene test on `image`; the first failure's code.
int scene_test(const uint8_t *image) {
  int r = quorv_Init_frr_far();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "apk init failed(%d).", r);
    return r;
  }
  for (unsigned finger = 1; finger <= 4; ++finger) quorv_DelFinger(finger);
  unsigned char quality = 0;
  unsigned char area = 0;
  r = quorv_SendImageAndGetQualityArea(image, &quality, &area);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Enroll: quality = %d, area = %d.", __LINE__, quality, area);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "SendImageAndGetQualityArea failed(%d).", r);
    return r;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Test enroll...", __LINE__);
  if ((r = quorv_Enroll_frr_far(image)) != 0) {
    BQ_LOG_ERROR_MSG(TAG, "enroll failed(%d).", r);
    return r;
  }
  if ((r = quorv_SetTplValid(0)) != 0) {
    BQ_LOG_ERROR_MSG(TAG, "save tpl failed(%d).", r);
    return r;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Test identify...", __LINE__);
  if ((r = quorv_Identify_frr_far(image)) != 0) {
    BQ_LOG_ERROR_MSG(TAG, "identify failed(%d).", r);
    return r;
  }
  return 0;
}

int zq_feature_iocontrol_OnTestScene() {
  const uint64_t start = bq_timer_ms(false);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:wait for finger touch...", __LINE__);
  g_resumed_from_sleep = 0;
  int r = WaitForFinger(start, kSceneTimeoutMs);
  if (r != ZQ_FINGER_ON) return r;

  quorvanta_ctx_t *ctx = quorvanta_ctx;
  const size_t pixels = static_cast<size_t>(g_sensor_width) * g_sensor_height;
  const size_t capture_size = pixels + 2 > kCaptureMin ? pixels + 2 : kCaptureMin;
  std::unique_ptr<uint8_t[]> capture(new (std::nothrow) uint8_t[capture_size]());
  if (!capture) FAIL_WITH(BQ_ERROR_NOMEM);
  if ((r = zq_sensorbase_CaptureImage(capture.get())) != 0) FAIL_WITH(r);

  uint8_t *raw = ctx != nullptr ? ctx->raw_image : nullptr;
  if (raw != nullptr) {
    const size_t n = static_cast<size_t>(ctx->sensor_info.sensor.cols) * ctx->sensor_info.sensor.rows;
    std::memcpy(raw, capture.get() + 2, n < capture_size - 2 ? n : capture_size - 2);
  }
  quorv_SetImageQualityScore(30);
  quorv_SetImageValidAreaScale(0.6f);
  quorv_EnrollNonFingerDetect(0);
  r = raw != nullptr ? scene_test(raw) : 0;
  quorv_SetImageQualityScore(30);
  quorv_SetImageValidAreaScale(0.8f);
  quorv_EnrollNonFingerDetect(0);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:scene test: %s.", __LINE__, Verdict(r));
  BQ_LOG_LEAVE(TAG);
  return r;
}

int zq_feature_iocontrol_OnTestQuality(const uint8_t *data, unsigned long length) {
  const uint64_t start = bq_timer_ms(false);
  unsigned touches_needed = kDefaultTouches;
  uint64_t limit_ms = kDefaultQualityMs;
  if (data != nullptr && length > 1) {
    touches_needed = data[0];
    limit_ms = data[1] * 1000ull;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:number = %d, timeout = %llu ms.", __LINE__, touches_needed,
         static_cast<unsigned long long>(limit_ms));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:wait for finger touch...", __LINE__);
  unsigned touches = 0;
  while (bq_timer_ms(false) - start <= limit_ms) {
    const int q = zq_feature_devinit_QueryFpOnSensor();
    if (q < 0) return BQ_ERROR_NO_DEVICE;
    if (q == ZQ_FINGER_ON) {
      ++touches;
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:touch times: %d", __LINE__, touches);
      if (BridgeType(g_sensor_type)) zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
    }
    if (touches >= touches_needed) {
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Item consumed time %llu ms.", __LINE__,
             static_cast<unsigned long long>(bq_timer_ms(false) - start));
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:quality test: %s.", __LINE__, kPass);
      BQ_LOG_LEAVE(TAG);
      return 0;
    }
    bq_msleep(kPollMs);
  }
  BQ_LOG_ERROR_MSG(TAG, "finger press timeout.");
  return -1;
}

}  // namespace

extern "C" int zq_feature_iocontrol_OnMultiDistrute(unsigned char command, void *data,
                                                    unsigned long length) {
  uint8_t *bytes = static_cast<uint8_t *>(data);
  switch (command) {
    case ZQ_IOCTL_SENSOR_SIZE:
      return zq_feature_iocontrol_OnGetSensorSize(bytes);
    case ZQ_IOCTL_SENSOR_INFO:
      return zq_feature_iocontrol_OnGetSensorInfo(bytes);
    case ZQ_IOCTL_DOWNLOAD_FW:
      return zq_feature_iocontrol_OnDownloadFw(bytes);
    case ZQ_IOCTL_TEST_PIN:
      return OnTestPin();
    case ZQ_IOCTL_TEST_DEAD_PIXEL:
      return zq_feature_iocontrol_OnTestDeadPixel();
    case ZQ_IOCTL_TEST_SCENE:
      return zq_feature_iocontrol_OnTestScene();
    case ZQ_IOCTL_TEST_QUALITY:
      return zq_feature_iocontrol_OnTestQuality(bytes, length);
    default:
      return 0;
  }
}
