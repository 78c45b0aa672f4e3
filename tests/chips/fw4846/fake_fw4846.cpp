#include "chips/fw4846/fake_fw4846.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/bq_util.h"
#include "chips/bq_spi.h"

namespace fw4846_fake {
namespace {

constexpr uint8_t kCommandBytes[12][2] = {{0xC0, 0x3F}, {0xC1, 0x3E}, {0xC2, 0x3D}, {0xC4, 0x3B},
                                          {0xC8, 0x37}, {0xD8, 0x27}, {0xD1, 0x2E}, {0xD2, 0x2D},
                                          {0xD4, 0x2B}, {0x5A, 0xA5}, {0xA5, 0x5A}, {0x70, 0x00}};

std::unique_ptr<FakeChip> g_chip;

uint16_t WordAddress(const uint8_t *f) {
  return static_cast<uint16_t>(((f[2] - 0x80) & 0xFF) << 8 | f[3]);
}

uint64_t g_now_us = 0;
uint64_t g_slept_us = 0;
uint64_t NowMs() { return g_now_us / 1000; }
int SleepUs(unsigned us) {
  g_now_us += us;
  g_slept_us += us;
  return 0;
}
const bq_time_source kVirtual = {NowMs, SleepUs};

}  // namespace

FakeChip::FakeChip() : sram(65536, 0) {
  sfr[0x80] = 0x50;
  sfr[0xFD] = 0x7F;
  // Default analogue behaviour: FDT blocks cross 512 between DAC 27 and 28,
  // the image middle between DAC 54 and 55 (4 x (450 + 100 per DAC step)).
  fdt_model = [](int dac) { return Samples(8, static_cast<uint16_t>(std::clamp(505 + (dac - 27) * 10, 0, 1023))); };
  image_model = [](int dac) {
    return Flat(static_cast<uint16_t>(std::clamp(450 + (dac - 54) * 100, 0, 1023) << 2));
  };
  nav_model = [] { return Samples(640, 0); };
}

FakeChip &Chip() {
  if (!g_chip) g_chip = std::make_unique<FakeChip>();
  return *g_chip;
}

void Reset() { g_chip = std::make_unique<FakeChip>(); }

int FakeChip::CommandCount(int row) const {
  return static_cast<int>(std::count(commands.begin(), commands.end(), row));
}

int FakeChip::SramReadCount(uint16_t addr) const {
  int n = 0;
  for (const Transfer &t : log)
    if (t.rx_len >= 0 && t.tx.size() >= 6 && t.tx[0] == 0x04 && t.tx[1] == 0xFB &&
        WordAddress(t.tx.data()) == addr)
      ++n;
  return n;
}

int FakeChip::LastWrite(uint16_t addr) const {
  for (auto it = sram_writes.rbegin(); it != sram_writes.rend(); ++it)
    if (it->first == addr) return it->second;
  return -1;
}

std::vector<uint16_t> FakeChip::Writes(uint16_t addr) const {
  std::vector<uint16_t> out;
  for (const auto &[a, v] : sram_writes)
    if (a == addr) out.push_back(v);
  return out;
}

void FakeChip::ClearLog() {
  log.clear();
  commands.clear();
  sram_writes.clear();
  sfr_writes.clear();
  manual_scans = 0;
  image_frames = 0;
  image_frame_dacs.clear();
}

void FakeChip::Command(int row) {
  commands.push_back(row);
  switch (row) {
    case 0:
      sfr[0x80] = 0x50;
      scan_ = Scan::kNone;
      break;
    case 1:
      sfr[0x80] = 0x40;
      break;
    case 3:
      sfr[0x80] = 0x54;
      scan_ = Scan::kImage;
      fifo_.clear();
      break;
    case 4:
      sfr[0x80] = 0x58;
      scan_ = Scan::kNav;
      fifo_.clear();
      break;
    case 5:
      sfr[0xFD] = 0x7F;
      break;
    default:
      break;
  }
}

void FakeChip::ManualScan() {
  ++manual_scans;
  sram[0x1A82] &= static_cast<uint16_t>(~0x08);  // a new scan is not done yet
  Samples raw;
  if (!fdt_script.empty()) {
    raw = fdt_script.front();
    fdt_script.pop_front();
  } else {
    raw = fdt_model(Dac());
  }
  uint16_t addr = (process_reg >> 2) == 19 ? 0x00E8 : 0x00B8;
  for (size_t i = 0; i < raw.size(); ++i) sram[addr + i] = raw[i];
  if (manual_done_irq) Raise(0x08);
}

void FakeChip::SramStore(uint16_t addr, uint16_t value) {
  sram_writes.emplace_back(addr, value);
  if (addr == 0x1A84) {
    sram[0x1A82] &= static_cast<uint16_t>(~value);
    return;
  }
  if (addr == 0x1A8B || addr == 0x1A82) return;  // read-only
  sram[addr] = value;
  if (addr == 0x1885 && value == 1) ManualScan();
}

void FakeChip::Refill() {
  Samples s;
  if (scan_ == Scan::kImage) {
    if (!image_script.empty()) {
      s = image_script.front();
      image_script.pop_front();
    } else {
      s = image_model(Dac());
    }
    ++image_frames;
    image_frame_dacs.push_back(Dac());
  } else if (scan_ == Scan::kNav) {
    if (!nav_script.empty()) {
      s = nav_script.front();
      nav_script.pop_front();
    } else {
      s = nav_model();
    }
  } else {
    s = Samples(kPixels, 0);
  }
  for (uint8_t b : ToBytes(s)) fifo_.push_back(b);
}

int FakeChip::Write(const uint8_t *f, unsigned len) {
  log.push_back({std::vector<uint8_t>(f, f + len), -1});
  if (fail_code != 0) return fail_code;
  if (len == 1 && f[0] == 0x70) {
    Command(11);
    return 0;
  }
  if (len == 3) {
    for (int row = 0; row < 11; ++row)
      if (f[0] == kCommandBytes[row][0] && f[1] == kCommandBytes[row][1]) Command(row);
    return 0;
  }
  if (len == 4 && f[0] == 0x09 && f[1] == 0xF6) {
    sfr_writes.emplace_back(f[2], f[3]);
    if (f[2] != 0x80) sfr[f[2]] = f[3];
    return 0;
  }
  if (len >= 6 && f[0] == 0x05 && f[1] == 0xFA) {
    uint16_t addr = WordAddress(f);
    unsigned count = static_cast<unsigned>(f[4] << 8 | f[5]);
    for (unsigned k = 0; k < count && 6 + 2 * k + 1 < len; ++k)
      SramStore(static_cast<uint16_t>(addr + k),
                static_cast<uint16_t>(f[6 + 2 * k] << 8 | f[7 + 2 * k]));
    return 0;
  }
  return 0;
}

int FakeChip::WriteThenRead(const uint8_t *tx, uint16_t tx_len, uint8_t *rx, uint16_t rx_len) {
  log.push_back({std::vector<uint8_t>(tx, tx + tx_len), rx_len});
  if (fail_code != 0) return fail_code;
  std::memset(rx, 0, rx_len);
  if (tx_len >= 3 && tx[0] == 0x08 && tx[1] == 0xF7) {
    uint8_t addr = tx[2];
    uint8_t v = sfr[addr];
    if (addr == 0xF3) v = otp[sfr[0xF1] % otp.size()];
    if (addr == 0x9B) v = process_reg;
    if (!dead && rx_len > 0) rx[0] = v;
    return 0;
  }
  if (tx_len >= 6 && tx[0] == 0x04 && tx[1] == 0xFB) {
    uint16_t addr = WordAddress(tx);
    if (dead) return 0;
    uint16_t id = chip_id;
    if (addr == 0x1A8B && !id_script.empty()) {
      id = id_script.front();
      id_script.pop_front();
    }
    for (int k = 0; 2 * k < rx_len; ++k) {
      uint16_t a = static_cast<uint16_t>(addr + k);
      uint16_t v = a == 0x1A8B ? id : sram[a];
      rx[2 * k] = static_cast<uint8_t>(v >> 8);
      if (2 * k + 1 < rx_len) rx[2 * k + 1] = static_cast<uint8_t>(v);
    }
    return 0;
  }
  if (tx_len >= 6 && tx[0] == 0x06 && tx[1] == 0xF9) {
    while (fifo_.size() < rx_len) Refill();
    for (int k = 0; k < rx_len; ++k) {
      rx[k] = dead ? 0 : fifo_.front();
      fifo_.pop_front();
    }
    return 0;
  }
  return 0;
}

std::vector<uint8_t> ToBytes(const Samples &s) {
  std::vector<uint8_t> out;
  out.reserve(2 * s.size());
  for (uint16_t v : s) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

Samples Flat(uint16_t value) { return Samples(kPixels, value); }

Samples NavRows(const Samples &image) {
  Samples out;
  for (int r : kNavRows) out.insert(out.end(), image.begin() + r * kW, image.begin() + (r + 1) * kW);
  return out;
}

VirtualClock::VirtualClock() {
  g_now_us = 0;
  g_slept_us = 0;
  bq_set_time_source(&kVirtual);
}

VirtualClock::~VirtualClock() { bq_set_time_source(nullptr); }

uint64_t VirtualClock::SleptUs() { return g_slept_us; }

}  // namespace fw4846_fake

extern "C" int bq_spi_write_buf(const uint8_t *frame, unsigned len) {
  return fw4846_fake::Chip().Write(frame, len);
}

extern "C" int bq_spi_write_then_read_buf(const void *tx, uint16_t tx_len, void *rx,
                                          uint16_t rx_len) {
  return fw4846_fake::Chip().WriteThenRead(static_cast<const uint8_t *>(tx), tx_len,
                                           static_cast<uint8_t *>(rx), rx_len);
}
