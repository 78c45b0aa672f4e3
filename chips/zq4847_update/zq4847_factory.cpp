// Factory mode of the 4847: work modes, raw frames, DAC, the status block and
// the chip-reset check.
#include <cstring>

#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/zq4847_update/zq4847_slots.h"
#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"

using zq4847::kTag;

namespace {

#define LOG_FAILED(r)                                           \
  do {                                                          \
    if ((r) != 0) BQ_CHIP_LOG_ERROR(kTag, "ERROR ret=%d", (r)); \
  } while (0)

// Work mode whose raw frame holds the second half of the samples.
constexpr uint8_t kModeRawFirst = 1;
constexpr uint8_t kModeRawSecond = 17;
constexpr int kWorkmodeRepeats = 202;
constexpr int kResetAttempts = 11;
constexpr int kResetCountedAttempts = 10;
constexpr uint8_t kPattern[2] = {0x55, 0xAA};

int FactoryWrite(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t data[4] = {a, b, c, d};
  return SPI0_Write(ZQ4847_REG_FACTORY, data, sizeof data);
}

}  // namespace

extern "C" int Check_CallBack_Fun(void) {
  const zq4847_callbacks_t &cb = zq4847_factory_callbacks;
  int r = 0;
  if (cb.sensor_reset == nullptr)
    r = ZQ4847_MISSING_RESET;
  else if (cb.chip_select == nullptr)
    r = ZQ4847_MISSING_CHIP_SELECT;
  else if (cb.spi_write == nullptr)
    r = ZQ4847_MISSING_SPI_WRITE;
  else if (cb.spi_read == nullptr)
    r = ZQ4847_MISSING_SPI_READ;
  else if (cb.usleep == nullptr)
    r = ZQ4847_MISSING_USLEEP;
  else if (cb.msleep == nullptr)
    r = ZQ4847_MISSING_MSLEEP;
  LOG_FAILED(r);
  return r;
}

extern "C" int Factory_Workmdoe_Set(uint8_t mode) {
  int r = FactoryWrite(mode, 0x00, 0x00, mode);
  LOG_FAILED(r);
  return r;
}

extern "C" int Factory_DAC_Set(uint8_t dac) {
  int r = FactoryWrite(dac, 0x00, 0x00, 0x05);
  LOG_FAILED(r);
  return r;
}

extern "C" int Factory_Exit(void) {
  SPI0_Wakeup();
  uint8_t frame[8] = {ZQ4847_REG_FACTORY, 0x80, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  int r = zq4847::UnderChipSelect([&] { return zq4847::Write(frame, sizeof frame); });
  LOG_FAILED(r);
  return r;
}

extern "C" int Factory_Enter(void) {
  uint8_t status[ZQ4847_STATUS_SIZE] = {};
  SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status);
  return Factory_Workmdoe_Set(0);
}

extern "C" int Factory_Workmode_Wait(uint8_t mode) {
  const uint8_t target = static_cast<uint8_t>(mode + 2);
  int r = Factory_Workmdoe_Set(target);
  uint8_t status[ZQ4847_STATUS_SIZE] = {};
  bool reached = SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status) == 0 &&
                 status[ZQ4847_STATUS_MODE] == target;
  for (int i = 0; i < kWorkmodeRepeats && !reached; ++i) {
    zq4847::SleepMs(1);
    r = Factory_Workmdoe_Set(target);
    std::memset(status, 0, sizeof status);
    reached = SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status) == 0 &&
              status[ZQ4847_STATUS_MODE] == target;
  }
  if (r == 0 && !reached) {
    BQ_CHIP_LOG_ERROR(kTag, "work mode %d not reached", target);
    return 1;
  }
  return r;
}

extern "C" int Factory_RawData_Read(uint8_t *buf, uint32_t len) {
  const uint32_t half = len / 2;
  if (buf == nullptr || len < 20 || half > UINT16_MAX) {
    LOG_FAILED(1);
    return 1;
  }
  int r = Factory_Workmdoe_Set(kModeRawFirst);
  if (r == 0) {
    zq4847::SleepMs(10);
    r = SPI0_Read(ZQ4847_REG_STATUS, buf, 20);
  }
  if (r == 0) {
    zq4847::SleepMs(100);
    r = SPI0_Read(ZQ4847_REG_RAW, buf, static_cast<uint16_t>(half));
  }
  if (r == 0) {
    zq4847::SleepMs(10);
    r = Factory_Workmdoe_Set(kModeRawSecond);
  }
  if (r == 0) {
    zq4847::SleepMs(10);
    r = SPI0_Read(ZQ4847_REG_RAW, buf + half, static_cast<uint16_t>(half));
  }
  LOG_FAILED(r);
  return r;
}

extern "C" uint8_t Factory_DAC_Get(void) {
  uint8_t status[5] = {};
  if (SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status) != 0) return 0;
  return status[ZQ4847_STATUS_DAC];
}

extern "C" int Caputer_image(uint8_t *buf, uint16_t len) {
  int r = SPI0_Read(ZQ4847_REG_RAW, buf, len);
  LOG_FAILED(r);
  return r;
}

extern "C" int Factory_Status_Check(void) {
  uint8_t status[4] = {};
  if (SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status) != 0) return 0;
  return status[ZQ4847_STATUS_MODE17] == kModeRawSecond ? 1 : 0;
}

extern "C" int Check_Chip_ID(void) {
  uint8_t status[ZQ4847_STATUS_SIZE] = {};
  if (SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status) != 0) return 1;
  return status[ZQ4847_STATUS_ID_HI] == 0x48 && status[ZQ4847_STATUS_ID_LO] == 0x47 ? 0 : 1;
}

extern "C" int Reset_Test(void) {
  int echo_attempt = 0;
  for (int attempt = 1; attempt <= kResetAttempts && echo_attempt == 0; ++attempt) {
    SPI0_Write(ZQ4847_REG_STATUS, kPattern, sizeof kPattern);
    zq4847::SleepMs(10);
    uint8_t back[2] = {};
    SPI0_Read(ZQ4847_REG_STATUS, back, sizeof back);
    if (back[0] == kPattern[0] || back[1] == kPattern[1]) echo_attempt = attempt;
  }
  if (echo_attempt == 0 || echo_attempt > kResetCountedAttempts) {
    BQ_LOG(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: '%s'.", __func__, bq_basename(__FILE__),
           __LINE__, bq_strerror(ZQ4847_NO_ECHO));
    return ZQ4847_NO_ECHO;
  }
  int r = zq4847::SensorReset();
  if (r == 0) {
    zq4847::SleepMs(50);
    uint8_t back[2] = {};
    r = SPI0_Read(ZQ4847_REG_STATUS, back, sizeof back);
    if (r == 0 && back[0] == kPattern[0] && back[1] == kPattern[1]) r = ZQ4847_RESET_INEFFECTIVE;
  }
  if (r != 0) BQ_CHIP_LOG_ERROR(kTag, "ERROR ret = %d", r);
  return r;
}
