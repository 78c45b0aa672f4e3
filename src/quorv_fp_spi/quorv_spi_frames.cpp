#include "src/quorv_fp_spi/quorv_spi_frames.h"

#include "src/quorv_fp_spi/quorv_spi_io.h"

using quorv_spi::CanRead;
using quorv_spi::Transfer;
using quorv_spi::Write;

extern "C" int quorv_fp_sensor_bulk_write(const uint8_t *buf, uint16_t len) {
  return Write(buf, len);
}

extern "C" int quorv_fp_sensor_write_sfr_register(uint8_t reg, uint8_t value) {
  const uint8_t frame[4] = {0x09, 0xF6, reg, value};
  return Write(frame, sizeof frame);
}

extern "C" int quorv_fp_sensor_read_sfr_register(uint8_t reg, uint8_t *out) {
  if (!CanRead()) return 0;
  uint8_t frame[4] = {0x08, 0xF7, reg, 0x00};
  int ret = Transfer(frame, sizeof frame);
  if (ret == 0 && out != nullptr) *out = frame[3];
  return ret;
}

extern "C" int quorv_fp_sensor_fw4848_sfr_read(uint8_t reg, uint8_t *out) {
  if (!CanRead()) return -1;
  uint8_t frame[5] = {0x08, 0xF7, reg, 0x00, 0x00};
  int ret = Transfer(frame, sizeof frame);
  if (ret == 0 && out != nullptr) *out = frame[4];
  return ret;
}

extern "C" int quorv_fp_sensor_write_sram_register(uint16_t addr, uint16_t value) {
  const uint8_t frame[8] = {0x05,
                            0xFA,
                            static_cast<uint8_t>(addr >> 8),
                            static_cast<uint8_t>(addr & 0xFF),
                            0x00,
                            0x02,
                            static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value & 0xFF)};
  return Write(frame, sizeof frame);
}

extern "C" int quorv_fp_sensor_read_sram_register(uint16_t addr, uint16_t *out) {
  if (!CanRead()) return 0;
  uint8_t frame[8] = {0x04, 0xFB, static_cast<uint8_t>(addr >> 8),
                      static_cast<uint8_t>(addr & 0xFF), 0x00, 0x02, 0x00, 0x00};
  int ret = Transfer(frame, sizeof frame);
  if (ret == 0 && out != nullptr) *out = static_cast<uint16_t>(frame[6] << 8 | frame[7]);
  return ret;
}

extern "C" int quorv_fp_sensor_write_sram_infor(uint8_t reg, uint8_t value) {
  const uint8_t frame[10] = {0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, reg, value};
  int ret = Write(frame, sizeof frame);
  if (ret != 0) return ret;
  return quorv_fp_sensor_write_sfr_register(QUORV_DOORBELL_SFR, 0x01);
}

extern "C" int quorv_fp_spi_reset(void) {
  const uint8_t frame[1] = {0x70};
  return Write(frame, sizeof frame);
}
