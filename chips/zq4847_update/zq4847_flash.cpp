// Flash programming of the 4847: the user application through the SPI0 boot
// protocol with its CRC-16, and the boot loader through the IIC set with a
// read-back.
#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "base/bq_log.h"
#include "chips/zq4847_update/zq4847_slots.h"
#include "chips/zq4847_update/zq4847_update.h"

using zq4847::kTag;

namespace {

// "error at function[file:line]: 'text of the code'." at the base threshold.
#define LOG_CODE(code)                                                              \
  BQ_LOG(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: '%s'.", __func__, bq_basename(__FILE__), \
         __LINE__, bq_strerror(code))

int LogCode(const char *func, int line, int code) {
  BQ_LOG(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: '%s'.", func, bq_basename(__FILE__), line,
         bq_strerror(code));
  return code;
}

constexpr uint8_t kCmdProgram = 0x55;
constexpr uint8_t kCmdEndPages = 0x64;
constexpr uint8_t kCmdRun = 0x07;
constexpr uint16_t kBootId = 0x56A2;
constexpr uint16_t kStatusHits[] = {0x1000, 0x2000, 0xF02D, 0xF055, ZQ4847_BOOT_READY};
constexpr uint32_t kWriteWords = 32;
constexpr uint32_t kReadWords = 64;

// Register 0x6A, high byte first; 0 when the read fails.
uint16_t BootStatus() {
  uint8_t word[2] = {};
  if (SPI0_Read(ZQ4847_REG_BOOT, word, sizeof word) != 0) return 0;
  return static_cast<uint16_t>(word[0] << 8 | word[1]);
}

uint32_t StartedTens(uint32_t count) { return count / 10 + (count % 10 != 0 ? 1 : 0); }

int WriteByte(uint8_t reg, uint8_t value) { return SPI0_Write(reg, &value, 1); }

// Calls of BootLoad_Down in this process; odd calls pause 1 ms after the reset.
std::atomic<unsigned> g_bootload_calls{0};

}  // namespace

extern "C" uint16_t SPI0_Wait_Status(uint32_t count) {
  uint16_t value = 0;
  for (uint32_t i = 0; i < StartedTens(count); ++i) {
    value = BootStatus();
    for (uint16_t hit : kStatusHits)
      if (value == hit) return value;
    zq4847::SleepMs(10);
  }
  return value;
}

extern "C" int SPI0_Check_Status(uint16_t expected, uint32_t count) {
  for (uint32_t i = 0; i < StartedTens(count); ++i) {
    if (BootStatus() == expected) return 0;
    zq4847::SleepMs(10);
  }
  return 1;
}

extern "C" uint16_t Calc_CRC16(const uint8_t *data, uint32_t len) {
  uint16_t crc = 0;
  if (data == nullptr) return crc;
  for (uint32_t i = 0; i < len; i += 2) {
    const uint8_t low = i + 1 < len ? data[i + 1] : 0;
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8 | low));
    for (int bit = 0; bit < 16; ++bit)
      crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0x8408)
                           : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

extern "C" int Check_2File(const uint8_t *readback, const uint8_t *source, uint32_t len) {
  for (uint32_t i = 0; i < len; ++i) {
    if (readback[i] != source[i]) {
      BQ_LOG(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: index=%d,file1=%x,file2=%x", __func__,
             bq_basename(__FILE__), __LINE__, static_cast<int>(i), readback[i], source[i]);
      return 1;
    }
  }
  return 0;
}

extern "C" int UserApp_Down(const uint8_t *image, uint32_t count) {
  if (image == nullptr || count == 0 || count % 2 != 0 || count > ZQ4847_APP_MAX) {
    LOG_CODE(ZQ4847_IMAGE_REJECTED);
    return ZQ4847_IMAGE_REJECTED;
  }
  int r = SPI0_CMD_Set(kCmdProgram);
  if (r != 0) return r;
  zq4847::SleepMs(10);

  uint8_t id[2] = {};
  if (SPI0_Read(ZQ4847_REG_RAW, id, sizeof id) != 0 || (id[0] << 8 | id[1]) != kBootId) {
    LOG_CODE(ZQ4847_BAD_BOOT_ID);
    return ZQ4847_BAD_BOOT_ID;
  }
  for (auto [reg, value] : {std::pair<uint8_t, uint8_t>{0x09, 0x0A}, {0x10, 0x0C}, {0x61, 0x00}})
    if ((r = WriteByte(reg, value)) != 0) return r;
  if (SPI0_Wait_Status(1000) != ZQ4847_BOOT_READY) {
    LOG_CODE(ZQ4847_LOADER_NOT_READY);
    return ZQ4847_LOADER_NOT_READY;
  }

  for (uint32_t p = 0; p < count; p += ZQ4847_APP_PAGE) {
    const uint8_t address[3] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                static_cast<uint8_t>(p)};
    const uint32_t piece = count - p < ZQ4847_APP_PAGE ? count - p : ZQ4847_APP_PAGE;
    // Every page, the last partial one included, is acknowledged with its number.
    const uint16_t ack = static_cast<uint16_t>(ZQ4847_BOOT_PAGE_ACK + p / ZQ4847_APP_PAGE);
    if (SPI0_Write(ZQ4847_REG_PAGE_ADDR, address, sizeof address) != 0 ||
        SPI0_Write(ZQ4847_REG_PAGE_DATA, image + p, static_cast<uint16_t>(piece)) != 0 ||
        SPI0_Check_Status(ack, 100) != 0) {
      LOG_CODE(ZQ4847_PAGE_FAILED);
      return ZQ4847_PAGE_FAILED;
    }
  }

  if ((r = SPI0_CMD_Set(kCmdEndPages)) != 0) return r;
  const uint8_t length[6] = {0, 0, 0, static_cast<uint8_t>(count >> 16),
                             static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
  if ((r = SPI0_Write(ZQ4847_REG_LENGTH, length, sizeof length)) != 0) return r;
  zq4847::SleepMs(5);
  uint8_t crc[2] = {};
  const uint16_t expected = Calc_CRC16(image, count);
  if (SPI0_Read(ZQ4847_REG_CRC, crc, sizeof crc) != 0 || crc[0] == 0 || crc[1] == 0 ||
      (crc[0] << 8 | crc[1]) != expected) {
    LOG_CODE(ZQ4847_CRC_WRONG);
    return ZQ4847_CRC_WRONG;
  }
  return SPI0_CMD_Set(kCmdRun);
}

extern "C" int BootLoad_Down(const uint8_t *image, uint32_t length) {
  if (image == nullptr || length < 4 || length % 4 != 0 || length > ZQ4847_BOOT_MAX) {
    LOG_CODE(ZQ4847_IMAGE_REJECTED);
    return ZQ4847_IMAGE_REJECTED;
  }
  int r = Check_CallBack_Fun();
  if (r != 0) {
    LOG_CODE(r);
    return r;
  }
  // The last block goes out in full, so zeros follow the image.
  std::vector<uint8_t> padded((length / 1024 + 2) * 1024, 0);
  std::copy(image, image + length, padded.begin());
  std::vector<uint8_t> readback(ZQ4847_BOOT_MAX, 0);
  const uint32_t words = length / 4;

  zq4847::SensorReset();
  if (g_bootload_calls.fetch_add(1) % 2 == 0) zq4847::SleepMs(1);
  zq4847::BusType();

// Logs the code under the calling procedure's name and returns it.
#define fail(status) LogCode(__func__, __LINE__, (status))
  if ((r = IIC_Mode_Set(0x55)) != 0 || (r = IIC_SFR_Write(0x04, 0xAA55)) != 0 ||
      (r = IIC_SFR_Write(0x48, 0x0110)) != 0)
    return fail(r);

  for (uint32_t o = 0; o < words; o += kWriteWords) {
    const uint16_t address = static_cast<uint16_t>(ZQ4847_BOOT_FLASH_WORD + o);
    if ((r = IIC_FLASH_Write(address, kWriteWords - 1, padded.data() + 4 * o)) != 0)
      return fail(r);
    if (o + kWriteWords >= words) {
      if ((r = IIC_FLASH_Write(address, static_cast<uint16_t>(words - o - 1),
                               padded.data() + 4 * o)) != 0)
        return fail(r);
      break;
    }
  }
  for (uint32_t o = 0; o < words; o += kReadWords) {
    const uint16_t address = static_cast<uint16_t>(ZQ4847_BOOT_FLASH_WORD + o);
    if ((r = IIC_FLASH_Read(address, kReadWords - 1, readback.data() + 4 * o)) != 0)
      return fail(r);
    if (o + kReadWords >= words) {
      if ((r = IIC_FLASH_Read(address, static_cast<uint16_t>(words - o - 1),
                              readback.data() + 4 * o)) != 0)
        return fail(r);
      break;
    }
  }
  if (Check_2File(readback.data(), image, length) != 0) return fail(ZQ4847_READBACK_DIFFERS);

  if ((r = IIC_SFR_Write(0x07, 0x5A5A)) != 0 || (r = IIC_Mode_Set(0x0A)) != 0) return fail(r);
  zq4847::SleepMs(10);
  return 0;
}
#undef fail

extern "C" int zq4847_UserApp_Update(const uint8_t *image, uint32_t length, uint16_t crc) {
  if (image == nullptr || Calc_CRC16(image, length) != crc) {
    LOG_CODE(ZQ4847_IMAGE_REJECTED);
    return ZQ4847_IMAGE_REJECTED;
  }
  return UserApp_Down(image, length);
}

extern "C" int zq4847_BootLoad_Update(const uint8_t *image, uint32_t length, uint16_t crc) {
  if (image == nullptr || Calc_CRC16(image, length) != crc) {
    LOG_CODE(ZQ4847_IMAGE_REJECTED);
    return ZQ4847_IMAGE_REJECTED;
  }
  return BootLoad_Down(image, length);
}
