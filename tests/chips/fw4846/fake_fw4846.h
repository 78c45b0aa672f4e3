// An in-process fw4846 chip behind the bridge's SPI pass-through: SFR bytes,
// SRAM words and the image/navigation FIFO, driven by the same frames the
// driver sends. Defines bq_spi_write_buf and bq_spi_write_then_read_buf for
// the test binaries. Also a virtual clock for bq_msleep / bq_usleep.
#ifndef TESTS_CHIPS_FW4846_FAKE_FW4846_H_
#define TESTS_CHIPS_FW4846_FAKE_FW4846_H_

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace fw4846_fake {

constexpr int kW = 64;
constexpr int kH = 80;
constexpr int kPixels = kW * kH;
constexpr int kNavRows[10] = {8, 9, 24, 25, 40, 41, 56, 57, 72, 73};

using Samples = std::vector<uint16_t>;

// One SPI transfer as the chip saw it.
struct Transfer {
  std::vector<uint8_t> tx;
  int rx_len = -1;  // -1 for a plain write
};

class FakeChip {
 public:
  FakeChip();

  // ---- Behaviour the tests set.
  uint16_t chip_id = 0x4845;  // SRAM 0x1A8B
  std::deque<uint16_t> id_script;  // answers of the next id reads, before chip_id
  bool dead = false;          // every read answers zeros
  int fail_code = 0;          // nonzero: every transfer fails with it
  uint8_t process_reg = 0;    // SFR 0x9B (19 << 2 for the SMIC process)
  bool manual_done_irq = true;  // a manual FDT scan raises interrupt 0x08
  std::array<uint8_t, 32> otp{};
  // Raw FDT block values of a manual scan at `dac`. Queued readings go first.
  std::function<Samples(int dac)> fdt_model;
  std::deque<Samples> fdt_script;
  // Image samples (64 x 80) of a scan at `dac`. Queued frames go first.
  std::function<Samples(int dac)> image_model;
  std::deque<Samples> image_script;
  // Navigation frames (10 x 64 samples). Queued frames go first.
  std::function<Samples()> nav_model;
  std::deque<Samples> nav_script;

  // ---- Chip memory.
  std::array<uint8_t, 256> sfr{};
  std::vector<uint16_t> sram;

  // ---- What happened.
  std::vector<Transfer> log;
  std::vector<int> commands;                             // command rows in order
  std::vector<std::pair<uint16_t, uint16_t>> sram_writes;  // (address, word)
  std::vector<std::pair<uint8_t, uint8_t>> sfr_writes;     // (address, byte)
  int manual_scans = 0;
  int image_frames = 0;  // frames produced for the FIFO
  std::vector<int> image_frame_dacs;

  // Interrupt status bits the chip raises (SRAM 0x1A82).
  void Raise(uint16_t bits) { sram[0x1A82] |= bits; }
  uint16_t IntStatus() const { return sram[0x1A82]; }
  // The DAC currently in register 0x1801, bits 6..0.
  int Dac() const { return sram[0x1801] & 0x7F; }
  // Count of `row` commands sent.
  int CommandCount(int row) const;
  // Count of SRAM read frames at `addr`.
  int SramReadCount(uint16_t addr) const;
  // Last word written to `addr` through the frames, or -1.
  int LastWrite(uint16_t addr) const;
  // Every word written to `addr`, in order.
  std::vector<uint16_t> Writes(uint16_t addr) const;
  // Forgets the log and the counters (memory stays).
  void ClearLog();

  int Write(const uint8_t *frame, unsigned len);
  int WriteThenRead(const uint8_t *tx, uint16_t tx_len, uint8_t *rx, uint16_t rx_len);

 private:
  enum class Scan { kNone, kImage, kNav };
  void Command(int row);
  void SramStore(uint16_t addr, uint16_t value);
  void ManualScan();
  void Refill();
  Scan scan_ = Scan::kNone;
  std::deque<uint8_t> fifo_;
};

// The chip the SPI functions talk to; recreated by Reset().
FakeChip &Chip();
void Reset();

// Serialises samples as the FIFO sends them (high byte first).
std::vector<uint8_t> ToBytes(const Samples &s);
// A 64 x 80 image of `value` everywhere.
Samples Flat(uint16_t value);
// The ten navigation rows of a 64 x 80 image.
Samples NavRows(const Samples &image);

// Virtual clock behind bq_msleep / bq_usleep / bq_timer_ms while installed.
class VirtualClock {
 public:
  VirtualClock();
  ~VirtualClock();
  VirtualClock(const VirtualClock &) = delete;
  VirtualClock &operator=(const VirtualClock &) = delete;
  static uint64_t SleptUs();
};

}  // namespace fw4846_fake

#endif  // TESTS_CHIPS_FW4846_FAKE_FW4846_H_
