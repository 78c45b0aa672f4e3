#include "src/quorv_fp_spi/quorv_mcu_cmd.h"

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_spi_frames.h"
#include "src/quorv_fp_spi/quorv_spi_io.h"

using quorv_spi::CanRead;
using quorv_spi::CurrentFamily;
using quorv_spi::DirectRead;
using quorv_spi::DirectWrite;
using quorv_spi::Family;
using quorv_spi::ReadStatusWord;

namespace {

// MCU registers and command codes.
constexpr uint8_t kRegCommand = 0x00;
constexpr uint8_t kRegImageBit = 0x01;
constexpr uint8_t kRegFinger = 0x1D;
constexpr uint8_t kRegAutoSensor = 0x1E;
constexpr uint8_t kRegStateCheck = 0x1F;
constexpr uint8_t kRegInterruptMode = 0x40;
constexpr uint8_t kCmdFingerDetectScan = 0x6B;
constexpr uint8_t kCmdImageScan = 0x6C;
constexpr uint8_t kCmdSingleFingerScan = 0x6E;

// Low address bytes of the status words at 0x85xx.
constexpr uint8_t kWordImageBit = 0x00;
constexpr uint8_t kWordFinger = 0x0E;
constexpr uint8_t kWordStateCheck = 0x0F;
constexpr uint8_t kWordMcuStatus = 0x10;
constexpr uint8_t kWordInterruptMode = 0x20;

// A write for every family with MCU commands: direct frame of `direct_len`
// bytes, or mailbox command; 0 without MCU commands, -1 unsupported.
int McuWrite(uint8_t reg, uint8_t value, uint16_t direct_len) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      return DirectWrite(reg, value, direct_len);
    case Family::kMailbox:
      return quorv_fp_sensor_write_sram_infor(reg, value);
    case Family::kNoMcu:
      return 0;
    default:
      return -1;
  }
}

// Status-word byte of the mailbox chips: 0 with no SpiRead, 0xFF when the
// transfer fails; `high` picks the high byte.
uint8_t StatusWordByte(uint8_t word, bool high) {
  if (!CanRead()) return 0;
  uint8_t hi = 0, lo = 0;
  if (ReadStatusWord(word, &hi, &lo) != 0) return 0xFF;
  return high ? hi : lo;
}

}  // namespace

extern "C" int quorv_fp_mcu_status(void) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      return g_quorvHostCallbacks.GetMcuStatus != nullptr ? g_quorvHostCallbacks.GetMcuStatus()
                                                          : -1;
    case Family::kMailbox: {
      if (!CanRead()) return 1;
      uint8_t hi = 0, lo = 0;
      ReadStatusWord(kWordMcuStatus, &hi, &lo);
      return (hi == 0xA5 && lo == 0x5A) ? 0 : 1;
    }
    case Family::kNoMcu:
      return 0;
    default:
      return -1;
  }
}

extern "C" int quorv_fp_sensor_finger_detect_scan(void) {
  return McuWrite(kRegCommand, kCmdFingerDetectScan, 6);
}

extern "C" int quorv_fp_sensor_finger_singel_scan(void) {
  if (quorv_get_icinfo() == SENSOR_FW4856) return -1;
  return McuWrite(kRegCommand, kCmdSingleFingerScan, 6);
}

extern "C" int quorv_fp_sensor_image_scan(void) { return McuWrite(kRegCommand, kCmdImageScan, 5); }

extern "C" int quorv_fp_sensor_get_finger_status(void) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      return DirectRead(kRegFinger, 0x00, 6);
    case Family::kMailbox: {
      if (!CanRead()) return 1;
      uint8_t hi = 0, lo = 0;
      ReadStatusWord(kWordFinger, &hi, &lo);
      return lo == 1 ? 0 : 1;
    }
    case Family::kNoMcu:
      return 0;
    default:
      return -1;
  }
}

extern "C" int quorv_fp_sensor_set_autosensormode_flag(void) {
  uint8_t ic = quorv_get_icinfo();
  if (ic == SENSOR_ZE4850 || ic == SENSOR_DO4851) return -1;
  return McuWrite(kRegAutoSensor, 0x01, 6);
}

extern "C" int quorv_fp_sensor_enable_autosensormode(void) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      if (quorv_get_icinfo() != SENSOR_ZQ4841) return -1;
      return DirectRead(kRegFinger, 0x01, 5);
    case Family::kMailbox: {
      uint8_t frame[10] = {0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x11, 0xEE, kRegFinger, 0x01};
      if (quorv_spi::Write(frame, sizeof frame) == 0) {
        quorv_fp_sensor_write_sfr_register(QUORV_DOORBELL_SFR, 0x01);
      }
      quorv_usleep(1000);
      // The same buffer becomes the mailbox read; its seventh byte (0x11 of
      // the write) goes out as the answer slot.
      const uint8_t head[6] = {0x04, 0xFB, 0x85, 0xC0, 0x00, 0x00};
      for (int i = 0; i < 6; ++i) frame[i] = head[i];
      if (!CanRead() || quorv_spi::Transfer(frame, 7) != 0) return 0xFF;
      return frame[6];
    }
    case Family::kNoMcu:
      return 0;
    default:
      return -1;
  }
}

extern "C" uint8_t quorv_fp_setMcuStateCheckMode(uint8_t mode) {
  return static_cast<uint8_t>(McuWrite(kRegStateCheck, mode, 5));
}

extern "C" uint8_t quorv_fp_getMcuStateCheckMode(void) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      return DirectRead(kRegStateCheck, 0x00, 5);
    case Family::kMailbox:
      return StatusWordByte(kWordStateCheck, false);
    case Family::kNoMcu:
      return 0;
    default:
      return 0xFF;
  }
}

extern "C" int quorv_setImage8Bit(void) { return McuWrite(kRegImageBit, 0x01, 5); }

extern "C" int quorv_setImage16Bit(void) { return McuWrite(kRegImageBit, 0x00, 5); }

extern "C" int quorv_getImageState(void) {
  switch (CurrentFamily()) {
    case Family::kDirect:
      return DirectRead(kRegImageBit, 0x00, 5);
    case Family::kMailbox:
      return StatusWordByte(kWordImageBit, false);
    case Family::kNoMcu:
      return 0;
    default:
      return -1;
  }
}

extern "C" int quorv_fp_SetInterruptMode(uint8_t mode) {
  if (quorv_get_icinfo() == SENSOR_FW4856) return -1;
  return McuWrite(kRegInterruptMode, mode, 5);
}

extern "C" uint8_t quorv_fp_GetInterruptMode(void) {
  switch (CurrentFamily()) {
    case Family::kDirect: {
      if (quorv_get_icinfo() != SENSOR_ZQ4841) return 0xFF;
      uint8_t mode = DirectRead(kRegInterruptMode, 0x00, 5);
      QUORV_LOGV("quorv_fp_GetInterruptMode: %d \n", mode);
      return mode;
    }
    case Family::kMailbox:
      return StatusWordByte(kWordInterruptMode, true);
    case Family::kNoMcu:
      return 0;
    default:
      return 0xFF;
  }
}
