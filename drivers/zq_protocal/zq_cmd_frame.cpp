#include "drivers/zq_protocal/zq_cmd_frame.h"

#include <cstring>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/quorvanta/bq_config.h"
#include "drivers/zq_sensor/zq_usb.h"

#define TAG "quorvanta:moc"
#define TAG_ZQ4846 "quorvanta:zq4846"

namespace {

// The module type 1 writer's and reader's buffers: one exchange at a time.
uint8_t tx_buffer[ZQ_CMD_BUFFER_SIZE];
uint8_t rx_buffer[ZQ_CMD_BUFFER_SIZE];

// Largest module type 2 request frame.
constexpr size_t kExchangeTxMax = 64;
// Tries per direction of a module type 2 exchange.
constexpr int kExchangeTries = 4;
// Gap between a module type 2 request and the read of its reply.
constexpr int kExchangeGapMs = 10;
// The reply size of every module type 2 command but the frame scan.
constexpr uint16_t kShortReply = 64;

uint8_t Xor(const uint8_t *data, size_t len) {
  uint8_t x = 0;
  for (size_t i = 0; i < len; ++i) x ^= data[i];
  return x;
}

bool DumpCommands() { return bq_config != nullptr && bq_config->dump_commands != 0; }

}  // namespace

extern "C" size_t zq_cmd_frame_build(uint8_t *out, size_t out_len, uint8_t cmd,
                                     const void *payload, uint16_t len) {
  const size_t total = static_cast<size_t>(len) + ZQ_CMD_OVERHEAD;
  if (out == nullptr || out_len < total) return 0;
  const unsigned field = len + 1u;  // command byte and payload
  out[0] = ZQ_CMD_MAGIC;
  out[1] = static_cast<uint8_t>(field >> 8);
  out[2] = static_cast<uint8_t>(field);
  out[3] = cmd;
  if (payload != nullptr && len > 0) std::memcpy(out + 4, payload, len);
  out[4 + len] = Xor(out + 1, 3u + len);
  return total;
}

extern "C" zq_cmd_frame_error zq_cmd_frame_parse(const uint8_t *frame, size_t received,
                                                 size_t max_payload, uint8_t *status,
                                                 uint16_t *payload_len) {
  if (frame == nullptr || received < ZQ_CMD_OVERHEAD) return ZQ_FRAME_SHORT;
  if (frame[0] != ZQ_CMD_MAGIC) return ZQ_FRAME_MAGIC;
  const unsigned field = static_cast<unsigned>(frame[1]) << 8 | frame[2];
  // A length of 0 has no room for the status byte.
  if (field == 0) return ZQ_FRAME_BAD_LENGTH;
  const size_t n = field - 1u;
  if (n > max_payload) return ZQ_FRAME_OVER_LENGTH;
  if (n + ZQ_CMD_OVERHEAD > received) return ZQ_FRAME_TRUNCATED;
  if (Xor(frame + 1, 3 + n) != frame[4 + n]) return ZQ_FRAME_BCC;
  if (status != nullptr) *status = frame[3];
  if (payload_len != nullptr) *payload_len = static_cast<uint16_t>(n);
  return ZQ_FRAME_OK;
}

extern "C" int usb_bulk_write_cmd(uint8_t cmd, const void *payload, uint16_t len) {
  const size_t total = zq_cmd_frame_build(tx_buffer, sizeof tx_buffer, cmd, payload, len);
  if (total == 0) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_OVERFLOW);
    return BQ_ERROR_OVERFLOW;
  }
  if (DumpCommands()) {
    BQ_LOG(BQ_LOG_DEBUG, TAG, "write cmd(%d, ...):", static_cast<int>(total));
    bq_hexdump(reinterpret_cast<const char *>(tx_buffer), static_cast<int>(total));
  }
  int transferred = 0;
  return usb_bulk_out_transfer(tx_buffer, static_cast<uint16_t>(total), &transferred,
                               ZQ_CMD_WRITE_TIMEOUT_MS);
}

extern "C" int usb_bulk_read_cmd(uint8_t *dst, uint16_t dst_len) {
  const size_t total = static_cast<size_t>(dst_len) + ZQ_CMD_OVERHEAD;
  if (total > sizeof rx_buffer) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_OVERFLOW);
    return BQ_ERROR_OVERFLOW;
  }
  int transferred = 0;
  int r = usb_bulk_in_transfer(rx_buffer, static_cast<uint16_t>(total), &transferred,
                               ZQ_CMD_READ_TIMEOUT_MS);
  if (r != 0) {
    BQ_LOG_ERRNO(TAG, r);
    return r;
  }
  if (DumpCommands()) {
    BQ_LOG(BQ_LOG_DEBUG, TAG, "read cmd(%d, ...):", static_cast<int>(total));
    bq_hexdump(reinterpret_cast<const char *>(rx_buffer), static_cast<int>(total));
  }
  uint8_t status = 0;
  uint16_t n = 0;
  const size_t received = transferred > 0 ? static_cast<size_t>(transferred) : 0;
  switch (zq_cmd_frame_parse(rx_buffer, received, dst_len, &status, &n)) {
    case ZQ_FRAME_OK:
      break;
    case ZQ_FRAME_MAGIC:
      BQ_LOG_ERROR_MSG(TAG, "%s: %d", "magic error", 1);
      return 1;
    case ZQ_FRAME_OVER_LENGTH:
      BQ_LOG_ERROR_MSG(TAG, "%s: %d", "over length", 1);
      return 1;
    case ZQ_FRAME_BCC:
      BQ_LOG_ERROR_MSG(TAG, "%s: %d", "bcc check error", 1);
      return 1;
    case ZQ_FRAME_BAD_LENGTH:
      BQ_LOG_ERROR_MSG(TAG, "%s: %d", "bad length", 1);
      return 1;
    case ZQ_FRAME_SHORT:
    case ZQ_FRAME_TRUNCATED:
      BQ_LOG_ERROR_MSG(TAG, "%s: %d", "short frame", 1);
      return 1;
  }
  if (status != ZQ_CMD_STATUS_OK) {
    BQ_LOG(BQ_LOG_WARNING, TAG, "[%4d]:%x.", __LINE__, status);
    return status;
  }
  if (n == 0) return 0;
  if (dst == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  std::memcpy(dst, rx_buffer + 4, n);
  return 0;
}

extern "C" int zq_cmd_exchange(uint8_t cmd, const void *payload, uint16_t len, uint8_t *rx,
                               uint16_t rx_len, unsigned timeout_ms, int *received) {
  int done = 0;
  if (received == nullptr) received = &done;
  *received = 0;
  if (rx == nullptr) {
    BQ_LOG_ERRNO(TAG_ZQ4846, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t tx_buf[kExchangeTxMax];
  const size_t tx_len = zq_cmd_frame_build(tx_buf, sizeof tx_buf, cmd, payload, len);
  if (tx_len == 0) {
    BQ_LOG_ERRNO(TAG_ZQ4846, BQ_ERROR_OVERFLOW);
    return BQ_ERROR_OVERFLOW;
  }
  bq_hexdump(reinterpret_cast<const char *>(tx_buf), static_cast<int>(tx_len));

  int transferred = 0;
  for (int attempt = 1;; ++attempt) {
    if (usb_bulk_out_transfer(tx_buf, static_cast<uint16_t>(tx_len), &transferred, timeout_ms) >=
        0)
      break;
    if (attempt == kExchangeTries) {
      BQ_LOG_ERRNO(TAG_ZQ4846, 1);
      return -1;
    }
    BQ_LOG(BQ_LOG_WARNING, TAG_ZQ4846,
           "[%4d]:'(usb_bulk_out_transfer((uint8_t*)tx_buf, tx_len, &transferred, %u) < 0)' "
           "failed, try again (%d/%d).",
           __LINE__, timeout_ms, attempt, kExchangeTries - 1);
  }

  bq_msleep(kExchangeGapMs);

  // No byte of an earlier reply may pass for part of this one.
  std::memset(rx, 0, rx_len);
  for (int attempt = 1;; ++attempt) {
    transferred = 0;
    if (usb_bulk_in_transfer(rx, rx_len, &transferred, timeout_ms) >= 0) break;
    if (attempt == kExchangeTries) {
      BQ_LOG_ERRNO(TAG_ZQ4846, 1);
      return -1;
    }
    if (rx_len == kShortReply) {
      BQ_LOG(BQ_LOG_WARNING, TAG_ZQ4846,
             "[%4d]:'(usb_bulk_in_transfer((uint8_t*)rx_buf, 64, &transferred, %u) < 0)' "
             "failed, try again (%d/%d).",
             __LINE__, timeout_ms, attempt, kExchangeTries - 1);
    } else {
      BQ_LOG(BQ_LOG_WARNING, TAG_ZQ4846,
             "[%4d]:'(usb_bulk_in_transfer((uint8_t*)rx_buf, sizeof(rx_buffer), &transferred, "
             "%u) < 0)' failed, try again (%d/%d).",
             __LINE__, timeout_ms, attempt, kExchangeTries - 1);
    }
  }
  *received = transferred;
  bq_hexdump(reinterpret_cast<const char *>(rx), rx_len < 5 ? rx_len : 5);
  return 0;
}
