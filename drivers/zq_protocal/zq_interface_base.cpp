#include "drivers/zq_protocal/zq_interface_base.h"

#include <cstring>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_sensor/zq_usb.h"

#define TAG "quorvanta:protocal"

extern "C" int zq_interface_base_VendorRequest(const zq_usb_setup_t *setup, uint8_t *reply,
                                               unsigned reply_len, long *count) {
  if (setup == nullptr) return BQ_ERROR_NULL_POINTER;
  if (setup->wLength > ZQ_VENDOR_REPLY_MAX || reply_len > ZQ_VENDOR_REPLY_MAX)
    return BQ_ERROR_OVERFLOW;
  if (reply == nullptr && setup->wLength != 0) return BQ_ERROR_NULL_POINTER;
  uint8_t scratch[ZQ_VENDOR_REPLY_MAX] = {};
  uint16_t length = setup->wLength;
  int r = usb_control_transfer(setup->bmRequestType, setup->bRequest, setup->wValue,
                               setup->wIndex, reply != nullptr ? scratch : nullptr, &length,
                               ZQ_CONTROL_TIMEOUT_MS);
  if (count != nullptr) *count = r;
  if (reply != nullptr) std::memcpy(reply, scratch, reply_len);
  return r >= 0 ? 0 : r;
}

extern "C" int zq_interface_base_WriteRequest(uint8_t request, uint16_t value, uint16_t index) {
  const zq_usb_setup_t setup = {ZQ_REQ_TYPE_OUT, request, value, index, 0};
  return zq_interface_base_VendorRequest(&setup, nullptr, 0, nullptr);
}

extern "C" int zq_interface_base_ReadRequest(uint8_t request, uint16_t index, void *dst,
                                             uint16_t len) {
  if (len > ZQ_READ_REQUEST_MAX) return BQ_ERROR_OVERFLOW;
  if (dst == nullptr) return BQ_ERROR_NULL_POINTER;
  const zq_usb_setup_t setup = {ZQ_REQ_TYPE_IN, request, 0, index, len};
  uint8_t reply[ZQ_READ_REQUEST_MAX] = {};
  long count = 0;
  int r = zq_interface_base_VendorRequest(&setup, reply, sizeof reply, &count);
  if (r != 0) return r;
  if (count != len) return BQ_ERROR_PROTOCOL;
  std::memcpy(dst, reply, len);
  return 0;
}

extern "C" int zq_interface_base_WriteRegister(uint8_t reg, uint8_t value) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_REG_WRITE, value, reg));
  return 0;
}

extern "C" int zq_interface_base_ReadRegister(uint8_t reg, uint8_t *dst, uint16_t len) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_REG_READ, reg, dst, len));
  return 0;
}

extern "C" int zq_interface_base_Select(uint8_t value) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SELECT, value, 0));
  return 0;
}

extern "C" int zq_interface_base_SensorReset(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SENSOR_RESET, 0, 0));
  return 0;
}

extern "C" int zq_interface_base_ResetCallback(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_SensorReset());
  return 0;
}

extern "C" int zq_interface_base_MCUDownloadMode(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_DOWNLOAD_MODE, 0, 0));
  return 0;
}

extern "C" int zq_sensorbase_WakeupSensor(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_WAKEUP, 0x70, 0x70));
  bq_msleep(5);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_WAKEUP, 0x70, 0x70));
  return 0;
}

extern "C" int zq_sensorbase_ReturnIdleByReset(void) {
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SENSOR_RESET, 0, 0));
  bq_msleep(10);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SENSOR_RESET, 0, 0));
  bq_msleep(g_reset_delay);
  BQ_RETURN_ON_ERROR(TAG, zq_sensorbase_WakeupSensor());
  bq_msleep(2);
  return 0;
}

extern "C" int zq_interface_base_reloadDriverFromError(void) {
  BQ_RETURN_ON_ERROR(TAG, usb_reset_device());
  bq_msleep(5);
  BQ_RETURN_ON_ERROR(TAG, usb_claim_interface(0));
  return 0;
}

namespace {

// One bulk transfer that must move exactly `len` bytes.
int BulkExact(int direction, void *buf, uint16_t len, unsigned timeout_ms) {
  int transferred = 0;
  int r = usb_bulk_transfer(direction, buf, len, &transferred, timeout_ms);
  if (r != 0) return r;
  return transferred == len ? 0 : BQ_ERROR_PROTOCOL;
}

}  // namespace

extern "C" int zq_interface_base_WriteData(uint16_t address, const void *data, uint16_t len) {
  if (data == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (address != ZQ_ADDR_RAW) {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SELECT, ZQ_SELECT_DATA_WRITE, 0));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_LENGTH, len, address));
  }
  // libusb takes a mutable pointer but never writes an OUT buffer.
  BQ_RETURN_ON_ERROR(TAG, 
      BulkExact(ZQ_USB_DIR_OUT, const_cast<void *>(data), len, ZQ_BULK_TIMEOUT_MS));
  return 0;
}

extern "C" int zq_interface_base_ReadData(void *buf, uint16_t len) {
  if (buf == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SELECT, ZQ_SELECT_DATA_READ, 0));
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_LENGTH, len, ZQ_ADDR_SPI));
  BQ_RETURN_ON_ERROR(TAG, BulkExact(ZQ_USB_DIR_IN, buf, len, ZQ_BULK_TIMEOUT_MS));
  return 0;
}

extern "C" int zq_interface_base_4847_ReadData(uint16_t selector, void *buf, uint16_t len) {
  if (buf == nullptr && len != 0) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (selector == ZQ_4847_SEL_SPI_READ) {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SPI_SETUP, len, ZQ_SPI_READ));
  } else {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SELECT, ZQ_SELECT_RESET, 0));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SELECT, ZQ_SELECT_DATA_READ, 0));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_4847_READ, len, selector));
  }
  if (len != 0)
    BQ_RETURN_ON_ERROR(TAG, BulkExact(ZQ_USB_DIR_IN, buf, len, ZQ_BULK_4847_TIMEOUT_MS));
  return 0;
}

extern "C" int zq_interface_base_4847_WriteData(const uint8_t *data, uint16_t len) {
  if (data == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  constexpr uint16_t kPiece = 64;
  constexpr int kDonePolls = 100;
  for (uint16_t offset = 0; offset < len;) {
    uint16_t piece = static_cast<uint16_t>(len - offset < kPiece ? len - offset : kPiece);
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SPI_SETUP, piece, ZQ_SPI_WRITE));
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteData(ZQ_ADDR_RAW, data + offset, piece));
    for (int poll = 0; poll < kDonePolls; ++poll) {
      uint8_t done = 0xFF;
      BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_WRITE_DONE, 0, &done, 1));
      if (done == 0) break;
    }
    offset = static_cast<uint16_t>(offset + piece);
  }
  return 0;
}

extern "C" int zq_interface_base_SendNBytes(uint8_t cmd[3]) {
  if (cmd == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  const uint16_t index = static_cast<uint16_t>(cmd[2] << 8 | cmd[1]);
  if (cmd[0] != 0x90) {
    BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(
        ZQ_REQ_SEND_BYTES, static_cast<uint16_t>((cmd[0] << 8) + 3), index));
    return 0;
  }
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_WriteRequest(ZQ_REQ_SEND_BYTES, 0x9001, index));
  std::memset(cmd, 0, 3);
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_SFR_REPLY, 0, &cmd[0], 1));
  cmd[2] = cmd[0];
  return 0;
}

extern "C" int zq_interface_base_QuerySensorPinStatus(bool *high) {
  if (high == nullptr) return BQ_ERROR_NULL_POINTER;
  uint8_t pin = 0;
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_PIN, 0, &pin, 1));
  *high = pin == 1;
  return 0;
}

extern "C" int zq_interface_base_GetBridgeVersion(uint16_t *version) {
  if (version == nullptr) return BQ_ERROR_NULL_POINTER;
  uint8_t bytes[2] = {};
  BQ_RETURN_ON_ERROR(TAG, zq_interface_base_ReadRequest(ZQ_REQ_BRIDGE_VERSION, 0, bytes, 2));
  *version = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:usb bridge version: 0x%04x", __LINE__, *version);
  return 0;
}

extern "C" int zq_sensorbase_QueryMCUStatus(int *busy) {
  if (busy == nullptr) return BQ_ERROR_NULL_POINTER;
  *busy = 1;
  uint8_t status[2] = {};
  BQ_RETURN_ON_ERROR(TAG,
                     zq_interface_base_ReadRequest(ZQ_REQ_REG_READ, ZQ_REG_MCU_STATUS, status, 2));
  if (status[0] == ZQ_MCU_RUNNING_0 && status[1] == ZQ_MCU_RUNNING_1) *busy = 0;
  return 0;
}

extern "C" int SPI_read(void *buf, uint16_t len) {
  int r = zq_interface_base_4847_ReadData(ZQ_4847_SEL_SPI_READ, buf, len);
  if (r != 0) BQ_LOG_ERRNO(TAG, r);
  return r;
}

extern "C" int SPI_write(const uint8_t *data, uint16_t len) {
  int r = zq_interface_base_4847_WriteData(data, len);
  if (r != 0) BQ_LOG_ERRNO(TAG, r);
  return r;
}

extern "C" int zq_interface_base_4847_ChipSelect(unsigned level) {
  if (g_bus_type == 1)
    zq_interface_base_WriteRequest(ZQ_REQ_SPI_SETUP, 1, static_cast<uint16_t>((level & 0xFF) + 1));
  return 0;
}

extern "C" int zq_feature_4847_WakeupSensor(void) {
  constexpr int kAttempts = 3;
  int r = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    r = zq_interface_base_4847_ReadData(ZQ_4847_SEL_WAKE, nullptr, 0);
    if (r != 0) BQ_LOG_ERRNO(TAG, r);
    bq_msleep(1);
    uint8_t status[4] = {};
    r = zq_interface_base_4847_ReadData(ZQ_4847_SEL_STATUS, status, sizeof status);
    bool asleep = status[0] != 0 && status[0] == status[1] && status[1] == status[2] &&
                  status[2] == status[3];
    if (r != 0 || !asleep) break;
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:wakeup failed, try again (%d/%d)", __LINE__, attempt,
           kAttempts);
  }
  return r;
}
