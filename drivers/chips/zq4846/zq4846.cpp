#include "drivers/chips/zq4846/zq4846.h"

#include <cstring>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/zq4845/zq4845_image.h"
#include "drivers/zq_protocal/zq_cmd_frame.h"

#define TAG "quorvanta:zq4846"

#define ZQ4846_ENTER(level) BQ_LOG(level, TAG, "[%4d]:'%s' enter.", __LINE__, __func__)
#define ZQ4846_LEAVE() BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:'%s' leave.", __LINE__, __func__)

uint16_t g_zq4846_chip_id = 0;
uint16_t g_zq4846_cols = 0;
uint16_t g_zq4846_rows = 0;
uint16_t g_zq4846_pid = 0;
int g_zq4846_reset_count = 0;

namespace {

// Tries of each query of zq4846_get_sensor_info.
constexpr int kInfoTries = 4;
// Header bytes before a reply's answer.
constexpr size_t kAnswer = 4;

// Reply of the frame scan; the samples of a 16-bit frame, decoded.
uint8_t rx_buffer[ZQ4846_SCAN_REPLY_SIZE];
int16_t sample_buffer[ZQ4846_SCAN_REPLY_SIZE / 2];

// One exchange with a 64-byte reply into `rx`: 0, -1 or -11.
int Command(const char *name, uint8_t cmd, const uint8_t *payload, uint16_t len, uint8_t *rx,
            unsigned timeout_ms = ZQ4846_TIMEOUT_MS) {
  int r = zq_cmd_exchange(cmd, payload, len, rx, ZQ4846_REPLY_SIZE, timeout_ms, nullptr);
  if (r != 0) return r;
  if (rx[3] != ZQ_CMD_STATUS_OK) {
    if (cmd == ZQ4846_CMD_CONTROL && payload != nullptr && payload[0] == ZQ4846_CONTROL_HW_RESET)
      BQ_LOG_ERROR_MSG(TAG, "'%s' failed(st = %x).\n", name, rx[3]);
    else
      BQ_LOG_ERROR_MSG(TAG, "'%s' failed(st = %x).", name, rx[3]);
    return BQ_ERROR_AGAIN;
  }
  return 0;
}

// A query of command 0x80 with sub-command `sub`.
int Query(const char *name, uint8_t sub, uint8_t *rx) {
  return Command(name, ZQ4846_CMD_QUERY, &sub, 1, rx);
}

// Whether the module sends 16-bit samples rather than 8-bit pixels.
bool SixteenBitProduct(uint16_t pid) {
  return pid == 0x3b15 || pid == 0x3b16 || pid == 0x3b19 || pid == 0x3b1a;
}

}  // namespace

extern "C" int zq4846_check_alive(void) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Command(__func__, ZQ4846_CMD_CHECK_ALIVE, nullptr, 0, rx);
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_IO_Set(uint8_t on) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  const uint8_t payload[3] = {0x01, 0x01, on};
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Command(__func__, ZQ4846_CMD_IO_SET, payload, sizeof payload, rx);
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_query_finger_status(void) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Query(__func__, ZQ4846_QUERY_FINGER, rx);
  if (r == 0) r = rx[kAnswer] == 1 ? 2 : 0;
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_get_sensor_cols(uint8_t *cols) {
  ZQ4846_ENTER(BQ_LOG_VERBOSE);
  if (cols == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Query(__func__, ZQ4846_QUERY_COLS, rx);
  if (r == 0) *cols = rx[kAnswer];
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_get_sensor_rows(uint8_t *rows) {
  ZQ4846_ENTER(BQ_LOG_VERBOSE);
  if (rows == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Query(__func__, ZQ4846_QUERY_ROWS, rx);
  if (r == 0) *rows = rx[kAnswer];
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_get_sensor_id(uint16_t *id) {
  ZQ4846_ENTER(BQ_LOG_VERBOSE);
  if (id == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  bq_msleep(10);
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Query(__func__, ZQ4846_QUERY_CHIP_ID, rx);
  if (r == 0) *id = static_cast<uint16_t>(rx[kAnswer] | rx[kAnswer + 1] << 8);
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_get_sensor_info(zq_sensor_info_t *info, uint16_t pid) {
  ZQ4846_ENTER(BQ_LOG_VERBOSE);
  if (info == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  int r = 0;
  uint16_t chip_id = 0;
  for (int attempt = 1;; ++attempt) {
    r = zq4846_get_sensor_id(&chip_id);
    if (r == 0) break;
    if (attempt == kInfoTries) return r;
    BQ_LOG(BQ_LOG_WARNING, TAG,
           "[%4d]:'zq4846_get_sensor_id(&info->chip_id)' failed, try again (%d/%d).", __LINE__,
           attempt, kInfoTries - 1);
  }
  info->chip_id = chip_id;
  uint8_t cols = 0;
  for (int attempt = 1;; ++attempt) {
    r = zq4846_get_sensor_cols(&cols);
    if (r == 0) break;
    if (attempt == kInfoTries) return r;
    BQ_LOG(BQ_LOG_WARNING, TAG,
           "[%4d]:'zq4846_get_sensor_cols((uint8_t*)(&(info->sensor.cols)))' failed, try again "
           "(%d/%d).",
           __LINE__, attempt, kInfoTries - 1);
  }
  info->sensor.cols = static_cast<uint16_t>((info->sensor.cols & 0xFF00) | cols);
  uint8_t rows = 0;
  for (int attempt = 1;; ++attempt) {
    r = zq4846_get_sensor_rows(&rows);
    if (r == 0) break;
    if (attempt == kInfoTries) return r;
    BQ_LOG(BQ_LOG_WARNING, TAG,
           "[%4d]:'zq4846_get_sensor_rows((uint8_t*)(&(info->sensor.rows)))' failed, try again "
           "(%d/%d).",
           __LINE__, attempt, kInfoTries - 1);
  }
  info->sensor.rows = static_cast<uint16_t>((info->sensor.rows & 0xFF00) | rows);
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:got device id 0x%x: cols = %d, rows = %d.", __LINE__,
         info->chip_id, info->sensor.cols, info->sensor.rows);
  g_zq4846_chip_id = info->chip_id;
  g_zq4846_cols = info->sensor.cols;
  g_zq4846_rows = info->sensor.rows;
  g_zq4846_pid = pid;
  ZQ4846_LEAVE();
  return 0;
}

extern "C" int zq4846_scan_sensor_data(uint8_t *img) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  if (g_zq4846_chip_id == 0) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NO_DEVICE);
    return BQ_ERROR_NO_DEVICE;
  }
  if (img == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  int received = 0;
  int r = zq_cmd_exchange(ZQ4846_CMD_SCAN, nullptr, 0, rx_buffer, sizeof rx_buffer,
                          ZQ4846_TIMEOUT_MS, &received);
  if (r != 0) return r;
  r = zq4846_decode_scan_reply(rx_buffer, received, img);
  if (r != 0) return r;
  ZQ4846_LEAVE();
  return 0;
}

extern "C" int zq4846_decode_scan_reply(const uint8_t *rx, int received, uint8_t *img) {
  if (rx == nullptr || img == nullptr) return BQ_ERROR_NULL_POINTER;
  const unsigned cols = g_zq4846_cols;
  const unsigned rows = g_zq4846_rows;
  // A reply too short for its status byte holds no frame either.
  if (received < static_cast<int>(kAnswer)) {
    BQ_LOG_ERROR_MSG(TAG, "frame of %u x %u does not fit in %d bytes", cols, rows, received);
    return BQ_ERROR_SENSOR_DIMENSION;
  }
  if (rx[3] != ZQ_CMD_STATUS_OK) {
    BQ_LOG_ERROR_MSG(TAG, "'%s' failed(st = %x).", "zq4846_scan_sensor_data", rx[3]);
    return BQ_ERROR_AGAIN;
  }

  const size_t count = static_cast<size_t>(cols) * rows;
  const bool packed = g_zq4846_chip_id == ZQ4846_CHIP_ID_4845 || SixteenBitProduct(g_zq4846_pid);
  const bool ht32 = !packed && cols == 40 && rows == 152;
  const size_t bytes = count * (packed || ht32 ? 2 : 1);
  // The module's own size answers decide how much is read: they must fit in
  // what it sent, and what it sent in the reply buffer.
  if (received > static_cast<int>(ZQ4846_SCAN_REPLY_SIZE) ||
      kAnswer + bytes > static_cast<size_t>(received)) {
    BQ_LOG_ERROR_MSG(TAG, "frame of %u x %u does not fit in %d bytes", cols, rows, received);
    return BQ_ERROR_SENSOR_DIMENSION;
  }
  const uint8_t *data = rx + kAnswer;
  if (packed || ht32) {
    if (ht32) BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:ht32+zq4857", __LINE__);
    for (size_t i = 0; i < count; ++i)
      sample_buffer[i] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * i] | data[2 * i + 1] << 8));
    zq4845_normalize_contrast(sample_buffer, cols, rows, img);
    if (packed) bq_hexdump(reinterpret_cast<const char *>(img), count < 32 ? static_cast<int>(count) : 32);
  } else {
    std::memcpy(img, data, count);
  }
  return 0;
}

extern "C" int zq4846_clear_img(void) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  const uint8_t sub = ZQ4846_CONTROL_CLEAR_IMG;
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Command(__func__, ZQ4846_CMD_CONTROL, &sub, 1, rx);
  ZQ4846_LEAVE();
  return r;
}

extern "C" int zq4846_hw_reset(void) {
  ZQ4846_ENTER(BQ_LOG_INFO);
  if (++g_zq4846_reset_count < 3) return 0;
  g_zq4846_reset_count = 0;
  bq_msleep(10);
  const uint8_t sub = ZQ4846_CONTROL_HW_RESET;
  uint8_t rx[ZQ4846_REPLY_SIZE];
  int r = Command(__func__, ZQ4846_CMD_CONTROL, &sub, 1, rx, ZQ4846_RESET_TIMEOUT_MS);
  if (r == 0) BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:hw reset success\n", __LINE__);
  ZQ4846_LEAVE();
  return r;
}

extern "C" void zq4846_hw_reset_clear(void) { g_zq4846_reset_count = 0; }
