// The SPI0 command set of the running 4847 and the IIC set of its boot
// loader, in both transports.
#include <cstring>
#include <vector>

#include "chips/chip_log.h"
#include "chips/zq4847_update/zq4847_slots.h"
#include "chips/zq4847_update/zq4847_update.h"

using zq4847::kTag;

namespace {

// Logs a failed transfer under the operation's name and passes it on.
#define LOG_FAILED(r)                                      \
  do {                                                     \
    if ((r) != 0) BQ_CHIP_LOG_ERROR(kTag, "ERROR ret=%d", (r)); \
  } while (0)

constexpr uint8_t kSpi0Write = 0x00;
constexpr uint8_t kSpi0Read = 0x80;
constexpr size_t kSpi0Header = 7;
constexpr uint8_t kIicPrefix = 0x70;
constexpr uint8_t kIicReadPrefix = 0x71;
constexpr size_t kIicHeader = 7;
// Most words one IIC flash frame carries (the frame must fit a 16-bit length).
constexpr uint32_t kIicMaxWords = 16382;

// r op nH nL 00 00 00.
void Spi0Header(uint8_t *h, uint8_t reg, uint8_t op, uint16_t n) {
  h[0] = reg;
  h[1] = op;
  h[2] = static_cast<uint8_t>(n >> 8);
  h[3] = static_cast<uint8_t>(n);
  h[4] = h[5] = h[6] = 0;
}

// 70 op ~op aH aL kH kL.
void IicHeader(uint8_t *h, uint8_t op, uint16_t a, uint16_t k) {
  h[0] = kIicPrefix;
  h[1] = op;
  h[2] = static_cast<uint8_t>(~op);
  h[3] = static_cast<uint8_t>(a >> 8);
  h[4] = static_cast<uint8_t>(a);
  h[5] = static_cast<uint8_t>(k >> 8);
  h[6] = static_cast<uint8_t>(k);
}

// One frame under its own chip select.
int Frame(uint8_t *bytes, uint16_t len) {
  return zq4847::UnderChipSelect([&] { return zq4847::Write(bytes, len); });
}

}  // namespace

extern "C" int SPI0_Wakeup(void) {
  uint8_t wake[4] = {0xFF, 0x00, 0x00, 0x00};
  int r = Frame(wake, sizeof wake);
  zq4847::SleepUs(1);
  LOG_FAILED(r);
  return r;
}

extern "C" int SPI0_CMD_Set(uint8_t command) {
  SPI0_Wakeup();
  uint8_t frame[4] = {command, 0x00, 0x00, 0x00};
  int r = Frame(frame, sizeof frame);
  if (r != 0) BQ_CHIP_LOG_ERROR(kTag, "ERROR ret=%d;", r);
  return r;
}

extern "C" int SPI0_Write(uint8_t reg, const uint8_t *data, uint16_t n) {
  if (data == nullptr && n > 0) {
    LOG_FAILED(1);
    return 1;
  }
  SPI0_Wakeup();
  uint8_t header[kSpi0Header];
  Spi0Header(header, reg, kSpi0Write, n);
  // The slot may write the bytes clocked in back into what it sends.
  std::vector<uint8_t> body(data, data + n);
  int r = zq4847::UnderChipSelect([&] {
    int s = zq4847::Write(header, sizeof header);
    if (s != 0) return s;
    zq4847::SleepMs(1);
    return n > 0 ? zq4847::Write(body.data(), n) : 0;
  });
  LOG_FAILED(r);
  return r;
}

extern "C" int SPI0_Read_USB(uint8_t reg, uint8_t *buf, uint16_t n) {
  SPI0_Wakeup();
  uint8_t header[kSpi0Header];
  Spi0Header(header, reg, kSpi0Read, n);
  int r = zq4847::UnderChipSelect([&] {
    int s = zq4847::Write(header, sizeof header);
    if (s != 0) return s;
    zq4847::SleepMs(1);
    return n > 0 ? zq4847::Read(buf, n) : 0;
  });
  LOG_FAILED(r);
  return r;
}

extern "C" int SPI0_Read_SPI(uint8_t reg, uint8_t *buf, uint16_t n) {
  SPI0_Wakeup();
  const size_t header = n == 0 ? 4 : kSpi0Header;
  if (header + n > UINT16_MAX) {
    LOG_FAILED(1);
    return 1;
  }
  std::vector<uint8_t> frame(header + n, 0x00);
  Spi0Header(frame.data(), reg, kSpi0Read, n);
  int r = Frame(frame.data(), static_cast<uint16_t>(frame.size()));
  if (r == 0 && n > 0) std::memcpy(buf, frame.data() + header, n);
  LOG_FAILED(r);
  return r;
}

extern "C" int SPI0_Read(uint8_t reg, uint8_t *buf, uint16_t n) {
  if (buf == nullptr && n > 0) {
    LOG_FAILED(1);
    return 1;
  }
  switch (zq4847::BusType()) {
    case 1:
      return SPI0_Read_USB(reg, buf, n);
    case 2:
      return SPI0_Read_SPI(reg, buf, n);
    default:
      BQ_CHIP_LOG_ERROR(kTag, "Unknow Bus Type");
      return ZQ4847_UNKNOWN_BUS;
  }
}

extern "C" int IIC_Mode_Set(uint8_t mode) {
  uint8_t frame[3] = {kIicPrefix, mode, static_cast<uint8_t>(mode ^ 0xFF)};
  int r = Frame(frame, sizeof frame);
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_FLASH_Write(uint16_t address, uint16_t k, const uint8_t *data) {
  if (data == nullptr || k + 1u > kIicMaxWords) {
    LOG_FAILED(1);
    return 1;
  }
  const size_t bytes = (k + 1u) * 4u;
  std::vector<uint8_t> frame(kIicHeader + bytes);
  IicHeader(frame.data(), 0x05, address, k);
  std::memcpy(frame.data() + kIicHeader, data, bytes);
  int r = Frame(frame.data(), static_cast<uint16_t>(frame.size()));
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_FLASH_Read_USB(uint16_t address, uint16_t k, uint8_t *buf) {
  uint8_t header[kIicHeader];
  IicHeader(header, 0x04, address, k);
  int r = Frame(header, sizeof header);
  if (r == 0) {
    zq4847::SleepUs(1);
    r = zq4847::UnderChipSelect([&] {
      uint8_t read_cmd = kIicReadPrefix;
      int s = zq4847::Write(&read_cmd, 1);
      if (s != 0) return s;
      return zq4847::Read(buf, static_cast<uint16_t>((k + 1u) * 4u));
    });
  }
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_FLASH_Read_SPI(uint16_t address, uint16_t k, uint8_t *buf) {
  uint8_t header[kIicHeader];
  IicHeader(header, 0x04, address, k);
  int r = Frame(header, sizeof header);
  if (r == 0) {
    zq4847::SleepUs(1);
    const size_t bytes = (k + 1u) * 4u;
    std::vector<uint8_t> frame(1 + bytes, 0x00);
    frame[0] = kIicReadPrefix;
    r = Frame(frame.data(), static_cast<uint16_t>(frame.size()));
    if (r == 0) std::memcpy(buf, frame.data() + 1, bytes);
  }
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_FLASH_Read(uint16_t address, uint16_t k, uint8_t *buf) {
  if (buf == nullptr || k + 1u > kIicMaxWords) {
    LOG_FAILED(1);
    return 1;
  }
  switch (zq4847::BusType()) {
    case 1:
      return IIC_FLASH_Read_USB(address, k, buf);
    case 2:
      return IIC_FLASH_Read_SPI(address, k, buf);
    default:
      BQ_CHIP_LOG_ERROR(kTag, "Unknow Bus Type");
      return ZQ4847_UNKNOWN_BUS;
  }
}

extern "C" int IIC_SFR_Write(uint16_t reg, uint16_t value) {
  uint8_t frame[11] = {kIicPrefix,
                       0x07,
                       0xF8,
                       static_cast<uint8_t>(reg >> 8),
                       static_cast<uint8_t>(reg),
                       0x00,
                       0x00,
                       static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value),
                       0x00,
                       0x00};
  int r = Frame(frame, sizeof frame);
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_SFR_Read_USB(uint16_t reg, uint16_t *value) {
  uint8_t frame[7] = {kIicPrefix, 0x06, 0xF9, static_cast<uint8_t>(reg >> 8),
                      static_cast<uint8_t>(reg), 0x00, 0x00};
  uint8_t answer[2] = {};
  int r = zq4847::UnderChipSelect([&] {
    int s = zq4847::Write(frame, sizeof frame);
    return s != 0 ? s : zq4847::Read(answer, sizeof answer);
  });
  if (r == 0) *value = static_cast<uint16_t>(answer[0] << 8 | answer[1]);
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_SFR_Read_SPI(uint16_t reg, uint16_t *value) {
  uint8_t frame[9] = {kIicPrefix, 0x06, 0xF9, static_cast<uint8_t>(reg >> 8),
                      static_cast<uint8_t>(reg), 0x00, 0x00, 0x00, 0x00};
  int r = Frame(frame, sizeof frame);
  if (r == 0) *value = static_cast<uint16_t>(frame[7] << 8 | frame[8]);
  LOG_FAILED(r);
  return r;
}

extern "C" int IIC_SFR_Read(uint16_t reg, uint16_t *value) {
  if (value == nullptr) {
    LOG_FAILED(1);
    return 1;
  }
  switch (zq4847::BusType()) {
    case 1:
      return IIC_SFR_Read_USB(reg, value);
    case 2:
      return IIC_SFR_Read_SPI(reg, value);
    default:
      BQ_CHIP_LOG_ERROR(kTag, "Unknow Bus Type");
      return ZQ4847_UNKNOWN_BUS;
  }
}
