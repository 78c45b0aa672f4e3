#include "drivers/zq_protocal/zq_feature_loadfirmware.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/zq_protocal/zq_bridge.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_fw_images.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_protocal/zq_sensor_object.h"

#define TAG "quorvanta:protocal"

namespace {

constexpr uint16_t kOldPiece = 16;
constexpr int kWriteDonePolls = 4097;
constexpr uint16_t kNewPiece = 64;
constexpr uint16_t kNewStride = 62;
constexpr int kStatusChecks = 5;
constexpr int kStartChecks = 20;

// Polls MCU status up to `tries` times, 2 ms after each busy answer.
// Returns 0 once the application runs, 1 when it never did, or an error.
int WaitRunning(int tries) {
  for (int i = 0; i < tries; ++i) {
    int busy = 1;
    int r = zq_sensorbase_QueryMCUStatus(&busy);
    if (r != 0) return r;
    if (!busy) return 0;
    bq_msleep(2);
  }
  return 1;
}

// The image followed by a zeroed 64-byte tail, so that the 64-byte pieces
// never read past the image.
std::vector<uint8_t> PaddedCopy(const uint8_t *image, uint16_t size) {
  std::vector<uint8_t> copy(size + static_cast<size_t>(kNewPiece), 0);
  std::memcpy(copy.data(), image, size);
  return copy;
}

int WriteOld(const uint8_t *image, uint16_t size) {
  for (uint16_t offset = 0; offset < size;) {
    uint16_t piece = std::min<uint16_t>(kOldPiece, static_cast<uint16_t>(size - offset));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_LENGTH, piece, offset / 2));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteData(ZQ_ADDR_RAW, image + offset, piece));
    // A bridge that never reports done is not an error: the next piece goes.
    for (int poll = 0; poll < kWriteDonePolls; ++poll) {
      uint8_t done = 0xFF;
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_WRITE_DONE, 0, &done, 1));
      if (done == 0) break;
    }
    offset = static_cast<uint16_t>(offset + piece);
  }
  return 0;
}

int WriteEditionB(const uint8_t *image, uint16_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> copy = PaddedCopy(image, size);
  for (unsigned n = 1;; ++n) {
    bq_msleep(1);
    unsigned s = kNewStride * n > kNewPiece ? kNewStride * n - kNewPiece : 0;
    BQ_RETURN_ON_ERROR(TAG, 
        zq_interface_base_WriteRequest(ZQ_REQ_LENGTH, kNewPiece, static_cast<uint16_t>(s)));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteData(ZQ_ADDR_RAW, copy.data() + s, kNewPiece));
    if (kNewStride * n >= size) return 0;
  }
}

int WriteEditionA(const uint8_t *image, uint16_t size) {
  std::vector<uint8_t> copy = PaddedCopy(image, size);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_LENGTH, kNewPiece, 0));
  for (size_t offset = 0; offset < size; offset += kNewPiece)
    BQ_RETURN_ON_ERROR(TAG,
                       zq_interface_base_WriteData(ZQ_ADDR_RAW, copy.data() + offset, kNewPiece));
  return 0;
}

// Reads 2 bytes of `reg` until the first is `want` (and the second `want2`
// unless it is negative), `pause_ms` apart, at most ZQ_FW_WAIT_POLLS times;
// `before` runs ahead of each read. 0, -1 when the bound is reached, or the
// failing transfer's error.
template <typename Before>
int WaitRegister(uint8_t reg, uint8_t want, int want2, int pause_ms, const char *what,
                 Before before) {
  for (int i = 0; i < ZQ_FW_WAIT_POLLS; ++i) {
    int r = before();
    if (r != 0) return r;
    uint8_t v[2] = {};
    r = zq_interface_base_ReadRegister(reg, v, 2);
    if (r != 0) return r;
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:%s: 0x%x, 0x%x", __LINE__, what, v[0], v[1]);
    if (v[0] == want && (want2 < 0 || v[1] == want2)) return 0;
    bq_msleep(pause_ms);
  }
  BQ_LOG_ERROR_MSG(TAG, "%s: no answer after %d reads.", what, ZQ_FW_WAIT_POLLS);
  return -1;
}

// Reads the sensor object's image from its file unless it is in memory.
// Nothing reaches the bridge when this fails. A sensor object without an
// image is left to zq_interface_base_WriteFirmware's NULL check.
int EnsureImage() {
  if (g_fw_image != nullptr || g_fw_image_type == ZQ_SENSOR_NONE) return 0;
  const uint8_t *image = nullptr;
  int r = zq_fw_images_Load(g_fw_image_type, &image);
  if (r != 0) return r;
  g_fw_image = image;
  g_fw_size = zq_fw_images_Size(g_fw_image_type);
  return 0;
}

// Reads size + 2 bytes back and compares them, from `skip` on, with the image.
int ReadBackAndVerify(int skip, const char *read_error, const char *verify_error) {
  std::vector<uint8_t> back;
  try {
    back.resize(g_fw_size + 2u);
  } catch (const std::bad_alloc &) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(BQ_ERROR_NOMEM));
    return BQ_ERROR_NOMEM;
  }
  if (zq_interface_base_ReadFirmware(back.data(), static_cast<int>(back.size())) != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s", read_error);
    return -1;
  }
  if (skip == 2) bq_msleep(5);
  if (zq_sensorbase_DownloadVerify(back.data() + skip, g_fw_size) != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s", verify_error);
    return -1;
  }
  return 0;
}

}  // namespace

extern "C" int zq_interface_base_WriteFirmware(const uint8_t *image, uint16_t size) {
  if (image == nullptr) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(BQ_ERROR_NULL_POINTER));
    return BQ_ERROR_NULL_POINTER;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_Select(ZQ_SELECT_RESET));
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_Select(ZQ_SELECT_DATA_WRITE));
  uint16_t board = 0;
  int r = zq_interface_base_GetBridgeVersion(&board);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s: %d", "failed to get siu board version.", r);
    return r;
  }
  if (board <= ZQ_BOARD_OLD_MAX)
    r = WriteOld(image, size);
  else if (g_boot_edition == ZQ_BOOT_EDITION_B)
    r = WriteEditionB(image, size);
  else
    r = WriteEditionA(image, size);
  if (r != 0) BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
  return r;
}

extern "C" int zq_interface_base_ReadFirmware(uint8_t *buf, int len) {
  if (buf == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (len < 0 || len > 0xFFFF) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_BAD_PARAMS);
    return BQ_ERROR_BAD_PARAMS;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_Select(ZQ_SELECT_RESET));
  int r = zq_interface_base_ReadData(buf, static_cast<uint16_t>(len));
  if (r != 0) BQ_LOG_ERROR_MSG(TAG, "%s: %d", "failed to read firmware data.", r);
  return r;
}

extern "C" int zq_sensorbase_DownloadVerify(const uint8_t *buf, uint16_t len) {
  if (buf == nullptr) return BQ_ERROR_NULL_POINTER;
  if (len == 0 || g_fw_image == nullptr || len > g_fw_size) return -1;
  return std::memcmp(buf, g_fw_image, len) == 0 ? 0 : -1;
}

extern "C" int zq_sensorbase_UpgradeSensorFirmware(void) {
  BQ_RETURN_ON_ERROR(TAG, EnsureImage());
  int r = WaitRegister(ZQ_REG_LOADER_ID, 0x48, 0x41, 10, "Get PromBoot id", [] {
    int e = zq_interface_base_SensorReset();
    bq_msleep(20);
    return e;
  });
  if (r != 0) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
    return r;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Get Promboot id success.", __LINE__);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Enable enter upgrade mode.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_UPGRADE, 1));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Retrieve firmware version.", __LINE__);
  uint8_t version[2] = {};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_FW_VERSION, version, 2));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Get firmware version: 0x%x, 0x%x", __LINE__, version[0],
         version[1]);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Start to check MCU error.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG,
                     WaitRegister(ZQ_REG_DL_ERROR, 1, -1, 10, "Get MCU err", [] { return 0; }));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Check MCU error, ready...", __LINE__);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Close WDT reset.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_WATCHDOG, 1));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Ready to write firmware file to device.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteFirmware(g_fw_image, g_fw_size));
  bq_msleep(10);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Ready to read firmware file from device.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG,
                     ReadBackAndVerify(2, "Read firmware file failed.", "Firmware vefify failed."));
  BQ_RETURN_ON_ERROR(TAG, WaitRegister(ZQ_REG_VERIFY, 0x6A, -1, 10, "Get verify result", [] {
                       return zq_interface_base_WriteRegister(ZQ_REG_START_VERIFY, 0);
                     }));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Verify firmware file, ok", __LINE__);
  BQ_RETURN_ON_ERROR(
      TAG, WaitRegister(ZQ_REG_VERIFY_ERROR, 0x92, -1, 10, "Get MCU error", [] { return 0; }));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Verify firmware file result, ok", __LINE__);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Remap firmware file to Pram App.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_REMAP, 0));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Skip to run app...", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_ReturnIdleByReset());
  r = WaitRunning(kStartChecks);
  if (r < 0) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
    return r;
  }
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "Download Failed!");
    return -1;
  }
  for (int i = 0; i < 2; ++i)
    BQ_LOG(BQ_LOG_INFO, TAG,
           "[%4d]:DOWNLOAD SUCCESS>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>", __LINE__);
  return 0;
}

extern "C" int zq_sensorbase_DownloadSensorFirmware(void) {
  const bool sfr_setup = g_sensor_type == ZQ_SENSOR_ZQ4841W || g_sensor_type == ZQ_SENSOR_ZQ4856W;
  BQ_RETURN_ON_ERROR(TAG, EnsureImage());
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:enter firmware download mode.", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_MCUDownloadMode());
  if (sfr_setup) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:configure register parameters.", __LINE__);
    static const uint8_t kSfrSetup[][2] = {
        {0xC8, 0xFF}, {0xCA, 0xFF}, {0xCB, 0xFF}, {0xB9, 0xBF}, {0xB9, 0xFF}};
    for (const auto &w : kSfrSetup)
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SFR_WRITE, w[1], w[0]));
    bq_msleep(20);
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:downloading firmware...", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteFirmware(g_fw_image, g_fw_size));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:done.", __LINE__);
  bq_msleep(2);
  if (sfr_setup) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:verifying the firmware...", __LINE__);
    BQ_RETURN_ON_ERROR(TAG, 
        ReadBackAndVerify(0, "failed to read firmware file.", "firmware comparison failed."));
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:passed.", __LINE__);
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:skip to run app...", __LINE__);
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_ReturnIdleByReset());
  int r = WaitRunning(kStartChecks);
  if (r < 0) BQ_RETURN_ON_ERROR(TAG, r);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "failed to download firmware.");
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(-1));
    return -1;
  }
  uint8_t agc = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_FW_VERSION, &g_fw_version, 1));
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_AGC_VERSION, &agc, 1));
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:fw version: 0x%02x, AGC version: 0x%02x.", __LINE__,
         g_fw_version, agc);
  return 0;
}

extern "C" int zq_feature_loadfirmware_DistributeSensorFirmware(void) {
  // A missing or wrong image file does not change between attempts.
  int r = EnsureImage();
  if (r != 0) return r;
  r = -1;
  for (int attempt = 0; attempt < ZQ_FW_ATTEMPTS; ++attempt) {
    r = g_boot_edition == ZQ_BOOT_EDITION_B ? zq_sensorbase_UpgradeSensorFirmware()
                                            : zq_sensorbase_DownloadSensorFirmware();
    if (r == 0) return 0;
    if (r < 0) {
      BQ_LOG_ERROR_MSG(TAG, "failed to download firmware for the chips that have MCU: %d", r);
      zq_interface_base_reloadDriverFromError();
    }
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:load firmware retry: %d/%d.", __LINE__, attempt,
           ZQ_FW_ATTEMPTS);
  }
  return r;
}

extern "C" int zq_sensorbase_InitMcuConfig(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_MCU_CONFIG, 1));
  bq_msleep(1);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_CONFIG_41, 0x0F));
  bq_msleep(1);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_FW_MARKER, 0xBB));
  bq_msleep(1);
  uint8_t marker = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRegister(ZQ_REG_FW_MARKER, &marker, 1));
  int result = 0;
  if (marker != 0xBB) {
    // The application did not take the marker: the bridge is not ready.
    BQ_LOG_ERROR_MSG(TAG, "failed to write fw reset flags.");
    result = -1;
  }
  if (g_sensor_type == ZQ_SENSOR_ZQ4842W || g_sensor_type == ZQ_SENSOR_ZQ4844W) {
    bq_msleep(1);
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_CONFIG_22, 0));
    bq_msleep(1);
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRegister(ZQ_REG_CONFIG_23, 0x0E));
  }
  return result;
}

extern "C" int zq_feature_loadfirmware_LoadFW(void) {
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:checking for firmware...", __LINE__);
  int r = zq_feature_devinit_ReturnIdleMode();
  if (r != 0) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
    return r;
  }
  bool present = false;
  r = WaitRunning(kStatusChecks);
  if (r == 1) {
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:found fw doesn't exist, then...", __LINE__);
  } else if (r == 0) {
    uint8_t marker = 0;
    r = zq_interface_base_ReadRegister(ZQ_REG_FW_MARKER, &marker, 1);
    if (r == 0 && marker == 0xBB) {
      present = true;
    } else if (r == 0) {
      BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:found fw error, then...", __LINE__);
    }
  }
  if (r < 0) BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
  if (!present) {
    r = zq_feature_loadfirmware_DistributeSensorFirmware();
    if (r != 0) {
      BQ_LOG(BQ_LOG_ERROR, TAG, "'%s'.", bq_strerror(r));
      return r;
    }
  }
  r = zq_sensorbase_InitMcuConfig();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "%s: %d", "mcu config fail.", r);
    return r;
  }
  return 0;
}
