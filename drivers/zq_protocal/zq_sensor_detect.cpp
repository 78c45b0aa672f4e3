#include "drivers/zq_protocal/zq_sensor_detect.h"

#include <cstdint>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/zq_protocal/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_bridge.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_feature_loadfirmware.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "drivers/zq_protocal/zq_sleep_detect.h"

#define TAG "quorvanta:protocal"

namespace {

constexpr uint16_t kChipId4847 = 0x4847;
constexpr uint8_t kBootSfrEditionA = 0xEF;

int ReadSfr(uint8_t request, uint8_t sfr, uint8_t *value) {
  return zq_interface_base_ReadRequest(request, sfr, value, 1);
}

int WriteSfr(uint8_t request, uint8_t sfr, uint8_t value) {
  return zq_interface_base_WriteRequest(request, value, sfr);
}

int DistinguishByRegFile() {
  int r = zq_interface_base_MCUDownloadMode();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s: %d", "failed to enter download mode.", r);
    return r;
  }
  uint8_t v = 0;
  BQ_RETURN_ON_ERROR(TAG, ReadSfr(ZQ_REQ_SFR_READ_DL, 0xCB, &v));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(ZQ_REQ_SFR_WRITE_DL, 0xCB, static_cast<uint8_t>(v | 0x20)));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(ZQ_REQ_SFR_WRITE_DL, 0xFD, 0x11));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(ZQ_REQ_SFR_WRITE_DL, 0xFE, 0x11));
  BQ_RETURN_ON_ERROR(TAG, ReadSfr(ZQ_REQ_SFR_READ_DL, 0xFE, &v));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sfr 0xFE: 0x%02X(0x02 marked ZQ4856)", __LINE__, v);
  g_sensor_type = v == 2 ? ZQ_SENSOR_ZQ4856W : ZQ_SENSOR_ZQ4841W;
  return 0;
}

// The OTP byte through `read`/`write` SFR requests: C8 (|= 1 or = 0xDF),
// F1 = 0x1D, F4 |= 1, read F3, F4 = 0.
int ReadOtp(uint8_t read, uint8_t write, bool c8_fixed, uint8_t *otp) {
  uint8_t v = 0;
  BQ_RETURN_ON_ERROR(TAG, ReadSfr(read, 0xC8, &v));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(write, 0xC8, c8_fixed ? 0xDF : static_cast<uint8_t>(v | 1)));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(write, 0xF1, 0x1D));
  BQ_RETURN_ON_ERROR(TAG, ReadSfr(read, 0xF4, &v));
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(write, 0xF4, static_cast<uint8_t>(v | 1)));
  BQ_RETURN_ON_ERROR(TAG, ReadSfr(read, 0xF3, otp));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sfr 0xF3: 0x%02X", __LINE__, *otp);
  BQ_RETURN_ON_ERROR(TAG, WriteSfr(write, 0xF4, 0));
  return 0;
}

int DistinguishSensorZQ4859byOtp() {
  uint8_t raw = 0;
  BQ_RETURN_ON_ERROR(TAG, ReadOtp(ZQ_REQ_SFR_READ_4859, ZQ_REQ_SFR_WRITE_4859, true, &raw));
  int8_t otp = static_cast<int8_t>(raw);
  if (g_bus_type == 1) otp = static_cast<int8_t>(otp >> 1);  // sign-preserving
  const int nibble = otp & 0x0F;
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:zq4859 OTP: 0x%02X", __LINE__, nibble);
  if (nibble == 2 || nibble == 3) {
    g_sensor_type = ZQ_SENSOR_ZQ4842W;
  } else if (nibble == 4 || nibble == 14) {
    g_sensor_type = ZQ_SENSOR_ZQ4844W;
  } else {
    BQ_LOG_ERROR_MSG(TAG, "got unknown OTP info");
    return -1;
  }
  return 0;
}

int DistinguishSensorZQ4841byOtp() {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_MCUDownloadMode());
  uint8_t otp = 0;
  BQ_RETURN_ON_ERROR(TAG, ReadOtp(ZQ_REQ_SFR_READ_DL, ZQ_REQ_SFR_WRITE_DL, false, &otp));
  if (otp == 0xFF) {
    g_sensor_type = ZQ_SENSOR_ZQ4841W;
    g_boot_edition = ZQ_BOOT_EDITION_A;
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:4841 OTP is 0xFF then set ZQ4841.", __LINE__);
    return 0;
  }
  const int nibble = otp >> 4;
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:zq4841 OTP: 0x%02X", __LINE__, nibble);
  if (nibble == 1) {
    g_sensor_type = ZQ_SENSOR_ZQ4841W;
  } else if (nibble == 2) {
    g_sensor_type = ZQ_SENSOR_ZQ4856W;
    g_boot_edition = ZQ_BOOT_EDITION_B;
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sensor boot edition is B.", __LINE__);
  } else {
    BQ_LOG_ERROR_MSG(TAG, "got unknown OTP info.");
    return -1;
  }
  return 0;
}

int JudgeByChipId() {
  g_boot_edition = ZQ_BOOT_EDITION_A;
  uint8_t cmd[3] = {0x06, 0xF9, 0x00};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_SendNBytes(cmd));
  static const uint8_t kMailbox[4] = {0x11, 0xEE, 0x02, 0x00};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteData(ZQ_ADDR_MAILBOX, kMailbox, sizeof kMailbox));
  bq_msleep(2);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SFR_WRITE, 1, 0xA4));
  uint8_t w[2] = {};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_SRAM_READ, ZQ_ADDR_MAILBOX, w, 2));
  const uint16_t word = static_cast<uint16_t>(w[0] << 8 | w[1]);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sram 0x85C0: 0x%04X", __LINE__, word);
  if (word == 0x2B50 || word == 0x4859 || word == 0x23DD) return DistinguishSensorZQ4859byOtp();
  return DistinguishSensorZQ4841byOtp();
}

int JudgeBootEdition() {
  g_boot_edition = ZQ_BOOT_EDITION_B;
  uint8_t cmd[3] = {0x90, 0x00, 0x00};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_SendNBytes(cmd));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sfr 0x90: 0x%02X(0xEF marked boot edition A)", __LINE__,
         cmd[2]);
  if (cmd[2] == kBootSfrEditionA) {
    g_boot_edition = ZQ_BOOT_EDITION_A;
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:sensor boot edition is A.", __LINE__);
    return DistinguishByRegFile();
  }
  return JudgeByChipId();
}

// Selects type 4 with the 4847 factory callbacks and creates its object.
int Select4847() {
  g_sensor_type = ZQ_SENSOR_ZQ4847W;
  zq4847_fill_factory_callbacks();
  return zq_feature_devinit_CreateSensor();
}

// Step 4: probing without firmware, at most ZQ_DETECT_PASSES passes.
int MultiDetectSensorTypeWithoutFW() {
  int r = -1;
  for (int pass = 1; pass <= ZQ_DETECT_PASSES; ++pass) {
    if (zq_feature_4847_ReadChipId() == 1) {
      r = Select4847();
      if (r != 0) return r;
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:'%s' enter.", __LINE__,
             "zq_feature_4847_loadfirmware_LoadFW");
      return 0;
    }
    r = zq_feature_devinit_DetectSensorTypeWithoutFW();
    if (r != 0) {
      BQ_LOG_ERROR_MSG(TAG, "detect sensor type failed: %d.", r);
    } else {
      r = zq_feature_devinit_CreateSensor();
      if (r != 0) return r;
      r = zq_feature_loadfirmware_LoadFW();
      if (r == 0) return 0;
    }
    zq_interface_base_SensorReset();
    bq_msleep(ZQ_DETECT_PASS_PAUSE_MS);
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:probe id failed, try again (%d/%d)", __LINE__, pass,
           ZQ_DETECT_PASSES);
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:quorvanta_ctx->pid=%x", __LINE__,
           quorvanta_ctx != nullptr ? quorvanta_ctx->pid : 0);
  }
  return r;
}

void LogDone(uint64_t start) {
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:chip probing consumed time %llu ms.", __LINE__,
         static_cast<unsigned long long>(bq_timer_ms(false) - start));
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:'%s' leave.", __LINE__, "zq_sensorbase_TryToInitSensor");
}

}  // namespace

extern "C" int zq_feature_devinit_DetectSensorTypeWithFW(void) {
  uint8_t w = 0, h = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_WIDTH, &w, 1));
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_HEIGHT, &h, 1));
  static const struct {
    uint8_t w, h;
    int type;
  } kByResolution[] = {{88, 88, ZQ_SENSOR_ZQ4841W},
                       {96, 96, ZQ_SENSOR_ZQ4842W},
                       {64, 80, ZQ_SENSOR_ZQ4844W},
                       {64, 128, ZQ_SENSOR_ZQ4856W}};
  for (const auto &row : kByResolution) {
    if (row.w != w || row.h != h) continue;
    g_sensor_type = row.type;
    g_sensor_width = w;
    g_sensor_height = h;
    return 0;
  }
  // A pair of no known sensor: keeping the previous type would download
  // that type's image.
  BQ_LOG_ERROR_MSG(TAG, "unknown sensor resolution %d x %d.", w, h);
  return -1;
}

extern "C" int zq_feature_4847_ReadChipId(void) {
  zq_interface_base_4847_ReadData(ZQ_4847_SEL_WAKE, nullptr, 0);
  bq_msleep(1);
  uint8_t b[32] = {};
  if (zq_interface_base_4847_ReadData(ZQ_4847_SEL_STATUS, b, sizeof b) != 0)
    for (uint8_t &x : b) x = 0;
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:agc1 = %d, agc2 = %d, agc3 = %d, agc4 = %d.", __LINE__, b[3],
         b[4], b[5], b[6]);
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:sensor version = %d, id = 0x%04x.", __LINE__, b[21],
         b[19] | b[20] << 8);
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:manufactor = 0x%02x, sensor W = %d H = %d.", __LINE__, b[22],
         b[23], b[24]);
  const uint16_t id = static_cast<uint16_t>(b[19] << 8 | b[20]);
  if (id == kChipId4847) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got device id fw4847 !!!.", __LINE__);
    return 1;
  }
  BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:got undesired device id 0x%04x", __LINE__, id);
  return 0;
}

extern "C" int zq_feature_devinit_DetectSensorTypeWithoutFW(void) {
  int r = -1;
  for (int attempt = 0; attempt < 3; ++attempt) {
    r = JudgeBootEdition();
    if (r == 0) return 0;
    BQ_LOG_ERRNO(TAG, r);
  }
  return r;
}

extern "C" int zq_sensorbase_TryToInitSensor(void) {
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:'%s' enter.", __LINE__, __func__);
  const uint64_t start = bq_timer_ms(false);
  if (isSleepThreadStarted.load() == 0) create_sleep_thread();

  const uint32_t module_type = quorvanta_ctx != nullptr ? quorvanta_ctx->module_type : 0;
  if (module_type == ZQ_MODULE_TYPE1 || module_type == ZQ_MODULE_TYPE2) {
    g_sensor_type = module_type == ZQ_MODULE_TYPE1 ? ZQ_SENSOR_ZQ4843W : ZQ_SENSOR_MODULE2;
    return zq_feature_devinit_CreateSensor();
  }

  // Step 3: is the bridge's application running?
  for (int attempt = 1; attempt <= ZQ_DETECT_FW_CHECKS; ++attempt) {
    int busy = 1;
    int r = zq_sensorbase_WakeupSensor();
    if (r == 0) r = zq_sensorbase_QueryMCUStatus(&busy);
    if (r != 0) {
      BQ_LOG_ERRNO(TAG, r);
    } else if (busy) {
      BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:fw is not exist.", __LINE__);
    } else {
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:fw is exist.", __LINE__);
      if (zq_feature_devinit_DetectSensorTypeWithFW() != 0) break;  // probe instead
      r = zq_feature_devinit_CreateSensor();
      if (r == 0) r = zq_feature_loadfirmware_LoadFW();
      if (r != 0) {
        BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
        return r;
      }
      LogDone(start);
      return 0;
    }
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:check fw failed, try again (%d/%d)", __LINE__, attempt,
           ZQ_DETECT_FW_CHECKS);
    bq_msleep(2);
  }

  // Step 4: probing without firmware.
  int r = MultiDetectSensorTypeWithoutFW();
  if (r == 0) {
    LogDone(start);
    return 0;
  }
  const uint16_t pid = quorvanta_ctx != nullptr ? quorvanta_ctx->pid : 0;
  if (pid == 0x4841 || pid == 0x4842 || pid == 0x4847) {
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:maybe iap failed, force iap again", __LINE__);
    Select4847();
  }
  return r;
}
