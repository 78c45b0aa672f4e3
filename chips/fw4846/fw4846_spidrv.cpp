#include "chips/fw4846/fw4846_spidrv.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "chips/bq_spi.h"

namespace {

constexpr const char *kTag = "quorvanta:fw4846";

constexpr uint8_t kCommands[FW4846_CMD_ROWS][3] = {
    {0xC0, 0x3F, 0x00}, {0xC1, 0x3E, 0x00}, {0xC2, 0x3D, 0x00}, {0xC4, 0x3B, 0x00},
    {0xC8, 0x37, 0x00}, {0xD8, 0x27, 0x00}, {0xD1, 0x2E, 0x00}, {0xD2, 0x2D, 0x00},
    {0xD4, 0x2B, 0x00}, {0x5A, 0xA5, 0x00}, {0xA5, 0x5A, 0x00}, {0x70, 0x00, 0x00},
};

constexpr int kMaxFrames = 5;

// Header of an SRAM or FIFO frame: op, ~op, word address with 0x80 added to
// its high byte, then a 16-bit count, all high byte first.
void PutHeader(uint8_t *h, uint8_t op, uint8_t nop, uint16_t addr, uint16_t count) {
  h[0] = op;
  h[1] = nop;
  h[2] = static_cast<uint8_t>((addr >> 8) + 0x80);
  h[3] = static_cast<uint8_t>(addr);
  h[4] = static_cast<uint8_t>(count >> 8);
  h[5] = static_cast<uint8_t>(count);
}

int ReadFrame(uint8_t op, uint8_t nop, uint16_t addr, uint16_t count, uint8_t *buffer,
              int len) {
  uint8_t h[6];
  PutHeader(h, op, nop, addr, count);
  return bq_spi_write_then_read_buf(h, sizeof h, buffer, static_cast<uint16_t>(len));
}

}  // namespace

extern "C" int fw4846_send_cmd(int row) {
  if (row < 0 || row >= FW4846_CMD_ROWS) return -1;
  bq_spi_write_buf(kCommands[row], row == 11 ? 1 : 3);
  if (row != FW4846_CMD_CLOSE) bq_msleep(1);
  return 0;
}

extern "C" void fw4846_sfr_write(uint8_t addr, uint8_t value) {
  const uint8_t frame[4] = {0x09, 0xF6, addr, value};
  bq_spi_write_buf(frame, sizeof frame);
}

extern "C" int fw4846_sfr_write_app(uint8_t addr, uint8_t value) {
  const uint8_t frame[4] = {0x09, 0xF6, addr, value};
  int rc = bq_spi_write_buf(frame, sizeof frame);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" uint8_t fw4846_sfr_read(uint8_t addr) {
  const uint8_t frame[5] = {0x08, 0xF7, addr, 0x00, 0x00};
  uint8_t value = 0;
  if (bq_spi_write_then_read_buf(frame, sizeof frame, &value, 1) != 0) return 0;
  return value;
}

extern "C" int fw4846_sfr_read_app(uint8_t addr, uint8_t *out) {
  if (out == nullptr) return BQ_ERROR_NULL_POINTER;
  const uint8_t frame[5] = {0x08, 0xF7, addr, 0x00, 0x00};
  int rc = bq_spi_write_then_read_buf(frame, sizeof frame, out, 1);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" int fw4846_sram_write(uint16_t addr, uint16_t value) {
  uint8_t frame[8];
  PutHeader(frame, 0x05, 0xFA, addr, 1);
  frame[6] = static_cast<uint8_t>(value >> 8);
  frame[7] = static_cast<uint8_t>(value);
  return bq_spi_write_buf(frame, sizeof frame);
}

extern "C" int fw4846_sram_write_bulk(uint16_t addr, const uint8_t *data, int len) {
  if (len < 0 || len > FW4846_BULK_WRITE_MAX) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_OVERFLOW);
    return BQ_ERROR_OVERFLOW;
  }
  if (data == nullptr && len > 0) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t frame[6 + FW4846_BULK_WRITE_MAX];
  PutHeader(frame, 0x05, 0xFA, addr, static_cast<uint16_t>(len / 2));
  if (len > 0) std::memcpy(frame + 6, data, static_cast<size_t>(len));
  int rc = bq_spi_write_buf(frame, static_cast<unsigned>(6 + len));
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" uint16_t fw4846_sram_read(uint16_t addr) {
  uint8_t h[6];
  PutHeader(h, 0x04, 0xFB, addr, 1);
  uint8_t answer[6] = {};
  bq_spi_write_then_read_buf(h, sizeof h, answer, sizeof answer);
  return static_cast<uint16_t>(answer[0] << 8 | answer[1]);
}

extern "C" int fw4846_Mode_Init_Sram_Check(uint16_t addr, uint16_t expected) {
  uint16_t value = fw4846_sram_read(addr);
  if (value == expected) return 0;
  BQ_LOG(BQ_LOG_ERROR, kTag, "usSramAddr:0x%X usReadData:0x%X usSramCheckData:0x%X", addr, value,
         expected);
  return -1;
}

extern "C" int fw4846_sram_read_bulk(uint16_t addr, uint8_t *buffer, int len) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  if (len < 0 || len > 0xFFFF) return BQ_ERROR_BAD_PARAMS;
  int rc = ReadFrame(0x04, 0xFB, addr, static_cast<uint16_t>(len / 2), buffer, len);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" int fw4846_sram_read_bulk_withecc(uint16_t addr, uint8_t *buffer, int len) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  if (len < 2 || len > 0xFFFF) return BQ_ERROR_BAD_PARAMS;
  int rc = ReadFrame(0x04, 0xFB, addr, static_cast<uint16_t>((len - 2) / 2), buffer, len - 2);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" int fw4846_fifo_read(uint16_t addr, uint8_t *buffer, int len) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  if (len < 0 || len > 0xFFFF) return BQ_ERROR_BAD_PARAMS;
  int rc = ReadFrame(0x06, 0xF9, addr, static_cast<uint16_t>(len / 2), buffer, len);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  return rc;
}

extern "C" int fw4846_fifo_read_frames(uint8_t *buffer, int frames) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  frames = std::clamp(frames, 1, kMaxFrames);
  std::vector<uint8_t> staging(FW4846_FRAME_BYTES);
  for (int f = 0; f < frames; ++f) {
    std::fill(staging.begin(), staging.end(), 0);
    fw4846_fifo_read(FW4846_FIFO_ADDR, staging.data(), FW4846_FRAME_BYTES);
    std::memcpy(buffer + static_cast<size_t>(f) * FW4846_FRAME_BYTES, staging.data(),
                FW4846_FRAME_BYTES);
  }
  return 0;
}

extern "C" int fw4846_fifo_read_once(uint8_t *buffer, int len) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  fw4846_fifo_read(FW4846_FIFO_ADDR, buffer, len);
  return 0;
}

extern "C" uint8_t fw4846_otp_read(uint8_t index) {
  fw4846_sfr_write(0xF1, index);
  for (uint8_t v : {0xC0, 0xC1, 0xC0, 0xC0}) fw4846_sfr_write(0xF4, v);
  return fw4846_sfr_read(0xF3);
}

extern "C" uint16_t fw4846_crc16(const void *words, int bytes) {
  const auto *p = static_cast<const uint8_t *>(words);
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < bytes; ++i) {
    crc ^= static_cast<uint16_t>(p[i] << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

extern "C" void fw4846_spin_delay(int count) {
  volatile int sink = 0;
  for (int i = 0; i < count * 64; ++i) sink = i;
  (void)sink;
}
