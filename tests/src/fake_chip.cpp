#include "fake_chip.h"

#include <cstdio>
#include <string>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"

namespace testing_support {

FakeChip *FakeChip::active_ = nullptr;

FakeChip::FakeChip(uint8_t chip_type) {
  active_ = this;
  quorv_get_spi_instance();
  quorv_set_icinfo(chip_type);
  InitFuncSpiWrite(SpiWriteCb);
  InitFuncSpiRead(SpiReadCb);
  InitFuncUsleep(UsleepCb);
  InitFuncGetMcuStatus(McuStatusCb);
  InitFuncGetSystemTime(ClockCb);
}

FakeChip::~FakeChip() {
  InitFuncSpiWrite(nullptr);
  InitFuncSpiRead(nullptr);
  InitFuncUsleep(nullptr);
  InitFuncGetMcuStatus(nullptr);
  InitFuncGetSystemTime(nullptr);
  quorv_destroy_spi_instance();
  active_ = nullptr;
}

std::vector<std::vector<uint8_t>> FakeChip::Writes() const {
  std::vector<std::vector<uint8_t>> out;
  for (const SpiFrame &f : frames) {
    if (!f.is_read) out.push_back(f.bytes);
  }
  return out;
}

std::vector<std::vector<uint8_t>> FakeChip::Reads() const {
  std::vector<std::vector<uint8_t>> out;
  for (const SpiFrame &f : frames) {
    if (f.is_read) out.push_back(f.bytes);
  }
  return out;
}

uint64_t FakeChip::SleptUs() const {
  uint64_t total = 0;
  for (uint32_t us : sleeps_us) total += us;
  return total;
}

void FakeChip::ClearLog() {
  frames.clear();
  sleeps_us.clear();
}

bool FakeChip::QueryMcuReady() {
  ++status_queries;
  return !mcu_ready || mcu_ready(status_queries);
}

uint16_t FakeChip::StatusWord(uint8_t lo) {
  if (lo == 0x10) {
    bool ready = QueryMcuReady();
    auto it = status_word_override.find(lo);
    if (it != status_word_override.end()) return it->second;
    return ready ? 0xA55A : 0x0000;
  }
  auto it = status_word_override.find(lo);
  if (it != status_word_override.end()) return it->second;
  switch (lo) {
    case 0x00: return mcu_reg[0x01];
    case 0x0E: return finger ? 1 : 0;
    case 0x0F: return mcu_reg[0x1F];
    case 0x20: return static_cast<uint16_t>(mcu_reg[0x40] << 8);
    default: {
      auto w = sram.find(static_cast<uint16_t>(0x8500 | lo));
      return w == sram.end() ? 0 : w->second;
    }
  }
}

uint8_t FakeChip::McuRead(uint8_t reg, uint8_t arg) {
  if (reg == 0x1D && arg == 0x01) return auto_sensor_answer.value_or(finger ? 1 : 0);
  if (reg == 0x1D) return finger_register.value_or(finger ? 1 : 0);
  return mcu_reg[reg];
}

void FakeChip::RunMailbox() {
  ++doorbells;
  if (mailbox[0] == 0x10 && mailbox[1] == 0xEF) {
    mcu_reg[mailbox[2]] = mailbox[3];
  } else if (mailbox[0] == 0x11 && mailbox[1] == 0xEE && mailbox[2] == 0x1D) {
    mailbox_answer = auto_sensor_answer.value_or(finger ? 1 : 0);
  }
}

int FakeChip::OnWrite(const uint8_t *f, uint16_t len) {
  if (len == 4 && f[0] == 0x09 && f[1] == 0xF6) {
    sfr[f[2]] = f[3];
    if (f[2] == 0xA4 && f[3] == 0x01) RunMailbox();
  } else if (len >= 8 && f[0] == 0x05 && f[1] == 0xFA) {
    uint16_t addr = static_cast<uint16_t>(f[2] << 8 | f[3]);
    if (addr == 0x85C0 && len == 10) {
      for (int i = 0; i < 4; ++i) mailbox[i] = f[6 + i];
    } else {
      sram[addr] = static_cast<uint16_t>(f[6] << 8 | f[7]);
    }
  } else if (len >= 5 && f[0] == 0x11 && f[1] == 0xEE) {
    mcu_reg[f[2]] = f[3];
  }
  return write_result;
}

int FakeChip::OnRead(uint8_t *b, uint32_t len) {
  if (b[0] == 0x08 && b[1] == 0xF7 && (len == 4 || len == 5)) {
    b[len - 1] = sfr[b[2]];
  } else if (b[0] == 0x04 && b[1] == 0xFB && len == 7 && b[2] == 0x85 && b[3] == 0xC0) {
    b[6] = mailbox_answer;
  } else if (b[0] == 0x04 && b[1] == 0xFB && len == 8) {
    uint16_t addr = static_cast<uint16_t>(b[2] << 8 | b[3]);
    uint16_t word;
    if ((addr & 0xFF00) == 0x8500) {
      word = StatusWord(b[3]);
    } else {
      auto w = sram.find(addr);
      word = w == sram.end() ? 0 : w->second;
    }
    b[6] = static_cast<uint8_t>(word >> 8);
    b[7] = static_cast<uint8_t>(word & 0xFF);
  } else if (b[0] == 0x10 && b[1] == 0xEF && len >= 5) {
    for (uint32_t i = 0; i + 4 < len; ++i) {
      b[4 + i] = McuRead(static_cast<uint8_t>(b[2] + i), b[3]);
    }
  }
  return read_result;
}

int FakeChip::SpiWriteCb(const uint8_t *frame, uint16_t len) {
  active_->frames.push_back({false, std::vector<uint8_t>(frame, frame + len)});
  return active_->OnWrite(frame, len);
}

int FakeChip::SpiReadCb(uint8_t *tx, uint8_t *rx, uint32_t len) {
  // The layer passes one buffer; the chip answers into it.
  active_->frames.push_back({true, std::vector<uint8_t>(tx, tx + len)});
  if (rx != tx) {
    for (uint32_t i = 0; i < len; ++i) rx[i] = tx[i];
  }
  return active_->OnRead(rx, len);
}

void FakeChip::UsleepCb(uint32_t us) {
  active_->sleeps_us.push_back(us);
  active_->now_us += us;
}

int FakeChip::McuStatusCb() { return active_->QueryMcuReady() ? 0 : 1; }

uint64_t FakeChip::ClockCb() { return active_->now_us / 1000; }

std::string HexBytes(const std::vector<uint8_t> &bytes) {
  std::string out;
  char hex[4];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    if (!out.empty()) out += ' ';
    out += hex;
  }
  return out;
}

}  // namespace testing_support
