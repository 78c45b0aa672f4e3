// The sensor glue's open and close, and the finger poll, frame read and
// recovery of the capture loop.
#include "drivers/quorvanta/zq_sensor.h"

#include <libusb.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bq_device.h"
#include "drivers/quorvanta/bq_dump_frame.h"
#include "base/bq_log.h"
#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "drivers/quorvanta/bq_config.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_sensor_detect.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "drivers/zq_sensor/bq_host_spi.h"
#include "framework/fpi_img_dev.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr const char *kTag = "quorvanta:sensor";
constexpr int kMcuReadyPolls = 30;
constexpr int kMcuReadyPauseMs = 10;

// Version texts of the last open; only logged.
char g_version_driver[64];
char g_version_firmware[64];

// The host callbacks in the forms the sensor access layer calls them.
int HostSpiWrite(const uint8_t *frame, uint16_t len) { return bq_spi_write_buf(frame, len); }
int HostSpiRead(uint8_t *tx, uint8_t *rx, uint32_t len) {
  return bq_algo_spi_read(tx, rx, static_cast<int>(len));
}
void HostUsleep(uint32_t us) { bq_usleep(static_cast<int>(us)); }

uint32_t WallMs() {
  uint64_t ms = 0;
  bq_current_time_ms(&ms);
  return static_cast<uint32_t>(ms);
}

const char *EndpointTypeName(uint8_t attributes) {
  switch (attributes & 0x03) {
    case LIBUSB_TRANSFER_TYPE_CONTROL:
      return "control";
    case LIBUSB_TRANSFER_TYPE_ISOCHRONOUS:
      return "iso";
    case LIBUSB_TRANSFER_TYPE_BULK:
      return "bulk";
    default:
      return "interrupt";
  }
}

// Product-id presets of the modules with their own MCU.
void ApplyPresets(quorvanta_ctx_t *ctx) {
  switch (ctx->pid) {
    case 0x3b17:
      ctx->module_type = 1;
      break;
    case 0x3b11:
    case 0x3b12:
    case 0x3b13:
    case 0x3b14:
      ctx->module_type = 2;
      ctx->sensor_info.sensor.cols = 80;
      ctx->sensor_info.sensor.rows = 128;
      break;
    case 0x3b15:
    case 0x3b16:
    case 0x3b18:
    case 0x3b19:
    case 0x3b1a:
      ctx->module_type = 2;
      ctx->sensor_info.sensor.cols = 80;
      ctx->sensor_info.sensor.rows = 64;
      break;
    default:
      ctx->module_type = 0;
      break;
  }
}

// Product id, presets and the bulk endpoints (the last of each direction
// wins) from the device's descriptors.
int usb_endpoint_init(quorvanta_ctx_t *ctx) {
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:usb_endpoint_init start time=%d", __LINE__,
         static_cast<int>(WallMs()));
  libusb_device *udev =
      ctx->imgdev != nullptr && ctx->imgdev->usb_handle != nullptr
          ? libusb_get_device(ctx->imgdev->usb_handle)
          : nullptr;
  if (udev == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NO_DEVICE);
    return BQ_ERROR_NO_DEVICE;
  }
  libusb_device_descriptor dsc{};
  int r = libusb_get_device_descriptor(udev, &dsc);
  if (r != 0) {
    BQ_LOG_ERRNO(kTag, r);
    BQ_LOG_ERROR_MSG(kTag, "failed to get device descriptor.");
    return r;
  }
  ctx->pid = dsc.idProduct;
  if (dsc.idVendor == 0x3c5d) ApplyPresets(ctx);

  int last = 0;
  for (uint8_t c = 0; c < dsc.bNumConfigurations; c++) {
    libusb_config_descriptor *config = nullptr;
    last = libusb_get_config_descriptor(udev, c, &config);
    if (last != 0) {
      BQ_LOG_ERROR_MSG(kTag, "couldn't retrieve descriptors.");
      continue;
    }
    for (int i = 0; i < config->bNumInterfaces; i++) {
      const libusb_interface &itf = config->interface[i];
      for (int a = 0; a < itf.num_altsetting; a++) {
        const libusb_interface_descriptor &alt = itf.altsetting[a];
        for (int e = 0; e < alt.bNumEndpoints; e++) {
          const libusb_endpoint_descriptor &ep = alt.endpoint[e];
          const bool in = (ep.bEndpointAddress & 0x80) != 0;
          BQ_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:endpoint addr: %02x(%02x %s), type: %s", __LINE__,
                 ep.bEndpointAddress, ep.bEndpointAddress & 0x0F, in ? "in" : "out",
                 EndpointTypeName(ep.bmAttributes));
          if ((ep.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK) continue;
          if (in)
            ctx->ep_in = ep.bEndpointAddress;
          else
            ctx->ep_out = ep.bEndpointAddress;
        }
      }
    }
    libusb_free_config_descriptor(config);
  }
  if (last != 0) {
    BQ_LOG_ERRNO(kTag, last);
    return last;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:usb_endpoint_init end time=%d", __LINE__,
         static_cast<int>(WallMs()));
  return 0;
}

}  // namespace

extern "C" {

void bq_current_time_ms(uint64_t *out) {
  if (out == nullptr) return;
  timeval tv{};
  gettimeofday(&tv, nullptr);
  *out = static_cast<uint64_t>(tv.tv_sec) * 1000u + static_cast<uint64_t>(tv.tv_usec) / 1000u;
}

int bq_sensor_init(quorvanta_ctx_t *ctx) {
  if (ctx == nullptr) return BQ_ERROR_NULL_POINTER;
  quorvanta_ctx = ctx;
  pthread_mutex_init(&ctx->usb_lock, nullptr);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:loading configurations...", __LINE__);

  bq_config_reset();
  g_base_log_level = bq_config->base_log_level;
  g_chip_log_level = bq_config->chip_log_level;
  g_loglevel = bq_config->lib_log_level;

  int r = usb_endpoint_init(ctx);
  if (r != 0) return r;

  r = zq_sensorbase_TryToInitSensor();
  if (r != 0) {
    BQ_LOG_ERRNO(kTag, r);
    return r;
  }
  r = zq_sensorbase_GetSensorInfo(&ctx->sensor_info);
  if (r != 0) {
    BQ_LOG_ERRNO(kTag, r);
    return r;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:%s enter,W=%d,H=%d,type=%d", __LINE__, "bq_sensor_init",
         ctx->sensor_info.sensor.cols, ctx->sensor_info.sensor.rows,
         static_cast<int>(ctx->sensor_info.sensor_type));
  BQ_LOG(BQ_LOG_VERBOSE, kTag, "[%4d]:'%s' enter.", __LINE__, "bq_algo_init");

  // An MCU that stays busy is not an error: the first poll finds out.
  for (int i = 0; i < kMcuReadyPolls; i++) {
    bq_msleep(kMcuReadyPauseMs);
    if (zq_sensorbase_QueryDeviceStatus() == 0) break;
  }

  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:initializing the algorithm module...", __LINE__);
  quorv_InitFuncSpiWrite(HostSpiWrite);
  quorv_InitFuncSpiRead(HostSpiRead);
  quorv_InitFuncUsleep(HostUsleep);
  quorv_InitFuncGetSystemTime(bq_timer_start);
  quorv_InitFuncGetMcuStatus(zq_sensorbase_QueryDeviceStatus);

  r = quorv_SensorResourceCreate();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "quorv_SensorResourceCreate(..) = %d.", r);
    BQ_LOG_ERRNO(kTag, BQ_ERROR_INTERNAL);
    return -1;
  }
  const int c = alg_do_config();

  const uint32_t type = ctx->sensor_info.sensor_type;
  if (type == ZQ_SENSOR_CHIP_REGISTRY) {
    bq_device *chip = bq_device_current();
    r = chip != nullptr && chip->config_device_mode != nullptr ? chip->config_device_mode(0)
                                                               : BQ_ERROR_NO_DEVICE;
    if (r != 0) {
      BQ_LOG_ERRNO(kTag, r);
      return r;
    }
  } else if (type != ZQ_SENSOR_ZQ4847W && type != ZQ_SENSOR_ZQ4843W &&
             type != ZQ_SENSOR_MODULE2) {
    zq_feature_devinit_SwitchNextSensorWorkMode(BQ_WORK_MODE_SENSOR);
  }
  BQ_LOG(BQ_LOG_VERBOSE, kTag, "[%4d]:'%s' leave.", __LINE__, "bq_algo_init");
  if (c != 0) {
    BQ_LOG_ERRNO(kTag, c);
    return c;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:bq_algo_init end time=%d", __LINE__,
         static_cast<int>(WallMs()));
  std::snprintf(g_version_driver, sizeof g_version_driver, "%s", BQ_DRIVER_VERSION);
  std::snprintf(g_version_firmware, sizeof g_version_firmware, "0x%02x",
                ctx->sensor_info.fw_version);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:version.driver   : %s", __LINE__, g_version_driver);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:version.firmware : %s", __LINE__, g_version_firmware);
  return 0;
}

int bq_sensor_deinit(void) {
  zq_sensorbase_DeinitSensor();
  // The library's resources belong to the device being closed.
  quorv_SensorResourceDestroy();
  if (quorvanta_ctx != nullptr) pthread_mutex_destroy(&quorvanta_ctx->usb_lock);
  return 0;
}

int bq_sensor_query_finger_status(void) {
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:%s enter", __LINE__, __func__);
  return zq_feature_devinit_QueryFpOnSensor();
}

int bq_sensor_capture_image(void) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr || ctx->raw_image == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  const size_t frame = static_cast<size_t>(ctx->sensor_info.sensor.cols) *
                       ctx->sensor_info.sensor.rows;
  uint8_t *buf = static_cast<uint8_t *>(std::calloc(1, frame + 2));
  if (buf == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:%s enter,W=%d,H=%d", __LINE__, __func__,
         ctx->sensor_info.sensor.cols, ctx->sensor_info.sensor.rows);
  int r = zq_sensorbase_CaptureImage(buf);
  // A failed read leaves the frame as it was (white) instead of half a frame.
  if (r == 0) std::memcpy(ctx->raw_image, buf + 2, frame);
  if (bq_config->dump_images) dump_fingerprint_data(0);
  std::free(buf);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:bq_sensor_capture_image end", __LINE__);
  return r;
}

int bq_sensor_esd_check(void) { return zq_sensorbase_esdcheck_HealthCheck(); }

int bq_sensor_merge_image(uint8_t *pixels) {
  if (quorvanta_ctx != nullptr && quorvanta_ctx->module_type == 1) return zq_MergeImage(pixels);
  return 0;
}

}  // extern "C"
