#include "drivers/zq_protocal/zq_sensor_object.h"

#include <cstring>

#include "base/bq_device.h"
#include "base/bq_log.h"
#include "chips/fw4846/fw4846.h"
#include "drivers/chips/zq4846/zq4846.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_fw_images.h"
#include "drivers/zq_protocal/zq_interface_base.h"

#define TAG "quorvanta:protocal"

int g_sensor_type = ZQ_SENSOR_NONE;
const uint8_t *g_fw_image = nullptr;
uint16_t g_fw_size = 0;
int g_fw_image_type = ZQ_SENSOR_NONE;
uint16_t g_sensor_width = 160;
uint16_t g_sensor_height = 160;
uint8_t g_fw_version = 0;
int g_boot_edition = ZQ_BOOT_EDITION_A;
int g_4847_poa_mode = 1;
int g_reset_event_seen = 1;
uint8_t run_loop_cnt = 0;

namespace {

// One row of the sensor-object table.
struct SensorObject {
  int type;
  bool has_image;                // false: image and size stay as they are
  uint16_t width, height;       // 0 x 0: from the context's sensor_info
  int fw_version;               // -1: unchanged
  uint8_t reset_delay_ms;
};

const SensorObject kObjects[] = {
    {ZQ_SENSOR_ZQ4841W, true, 88, 88, 0x40, 80},
    {ZQ_SENSOR_ZQ4842W, true, 96, 96, 0x30, 160},
    {ZQ_SENSOR_ZQ4844W, true, 64, 80, 0x30, 160},
    {ZQ_SENSOR_ZQ4847W, true, 64, 80, 0x13, 160},
    {ZQ_SENSOR_ZQ4856W, true, 64, 128, 0x23, 180},
    {ZQ_SENSOR_ZQ4843W, false, 128, 80, -1, 160},
    {ZQ_SENSOR_MODULE2, false, 0, 0, -1, 160},
};

}  // namespace

extern "C" int zq_feature_devinit_CreateSensor(void) {
  if (g_sensor_type == ZQ_SENSOR_NONE) {
    BQ_LOG_ERROR_MSG(TAG, "failed to create sensor object.");
    return -1;
  }
  for (const SensorObject &o : kObjects) {
    if (o.type != g_sensor_type) continue;
    if (o.has_image) {
      // The bytes come from the image's file when a download needs them.
      g_fw_image = nullptr;
      g_fw_size = zq_fw_images_Size(o.type);
      g_fw_image_type = o.type;
    }
    if (o.width != 0) {
      g_sensor_width = o.width;
      g_sensor_height = o.height;
    } else if (quorvanta_ctx != nullptr) {
      g_sensor_width = quorvanta_ctx->sensor_info.sensor.cols;
      g_sensor_height = quorvanta_ctx->sensor_info.sensor.rows;
    }
    if (o.fw_version >= 0) g_fw_version = static_cast<uint8_t>(o.fw_version);
    g_reset_delay = o.reset_delay_ms;
    break;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:create sensor object success.", __LINE__);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:firmware size: %d", __LINE__, g_fw_size);
  BQ_LOG(BQ_LOG_INFO, TAG,
         "[%4d]:sensor type: %d(1=ZQ4841W, 2=ZQ4842W, 3=ZQ4844W, 4=ZQ4847W, 7=ZQ4856W, "
         "10=ZQ4843W)",
         __LINE__, g_sensor_type);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sensor resolution: %d x %d", __LINE__, g_sensor_width,
         g_sensor_height);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:boot edition: %d(0=A, 1=B)", __LINE__, g_boot_edition);
  return 0;
}

extern "C" int zq_sensorbase_GetSensorInfo(zq_sensor_info_t *info) {
  if (info == nullptr) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(BQ_ERROR_NULL_POINTER));
    return BQ_ERROR_NULL_POINTER;
  }
  std::memset(info, 0, sizeof *info);
  info->sensor.cols = g_sensor_width;
  info->sensor.rows = g_sensor_height;
  info->sensor_type = static_cast<uint32_t>(g_sensor_type);
  info->fw_version = g_fw_version;
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:run_loop_cnt=%d", __LINE__, run_loop_cnt);
  const uint32_t module_type = quorvanta_ctx != nullptr ? quorvanta_ctx->module_type : 0;
  if (module_type == ZQ_MODULE_TYPE1) {
    uint16_t version = 0;
    if (zq_GetFirmwareVersion(&version) == 0) info->fw_version = static_cast<uint16_t>(version >> 8);
  } else if (module_type == ZQ_MODULE_TYPE2) {
    if (g_resumed_from_sleep.load() != 1) zq_feature_devinit_ClearImg();
    zq4846_get_sensor_info(info, quorvanta_ctx->pid);
    g_sensor_width = info->sensor.cols;
    g_sensor_height = info->sensor.rows;
    info->fw_version = 0;
  }
  return 0;
}

extern "C" int zq_sensorbase_QueryDeviceStatus(void) {
  switch (g_sensor_type) {
    case ZQ_SENSOR_ZQ4847W:
    case ZQ_SENSOR_ZQ4843W:
    case ZQ_SENSOR_MODULE2:
      return 0;
    case ZQ_SENSOR_CHIP_REGISTRY: {
      bq_device *chip = bq_device_current();
      if (chip == nullptr || chip->query_device_status == nullptr) return BQ_ERROR_NO_DEVICE;
      return chip->query_device_status();
    }
    default: {
      int busy = 1;
      int r = zq_sensorbase_QueryMCUStatus(&busy);
      if (r != 0) {
        BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
        return r;
      }
      return busy ? 1 : 0;
    }
  }
}

extern "C" int zq_sensorbase_DeinitSensor(void) {
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:isNeedClearImgFirst=%d,run_loop_cnt=%d", __LINE__,
         isNeedClearImgFirst.load(), run_loop_cnt);
  bq_device_unlink(&g_fw4846_device);
  bq_device_free();
  return 0;
}

extern "C" void zq_set_sensor_type(int type) { g_sensor_type = type; }
extern "C" int zq_get_sensor_type(void) { return g_sensor_type; }
extern "C" void zq_set_boot_edition(int edition) { g_boot_edition = edition; }
extern "C" int zq_get_boot_edition(void) { return g_boot_edition; }
extern "C" void zq_set_bus_type(int type) { g_bus_type = type; }
extern "C" int zq_get_bus_type(void) { return g_bus_type; }
extern "C" void zq_set_4847_poa_mode(int mode) { g_4847_poa_mode = mode; }
extern "C" int zq_get_4847_poa_mode(void) { return g_4847_poa_mode; }
