// In-process stand-in for the sensor chip behind the host's SPI callbacks:
// it registers SpiWrite, SpiRead, Usleep, GetMcuStatus and the clock with
// the sensor access layer, logs every frame, and answers the way the chip
// families do (SFRs, SRAM words, the MCU mailbox with its doorbell and
// status words for types 2 and 3, direct MCU register frames for types 1
// and 7). Sleeps advance a virtual clock; nothing waits.
//
// Extend it for further frames (image memory, packed reads) by deriving and
// overriding OnRead/OnWrite, falling back to FakeChip's for the rest.
#ifndef TESTS_SRC_FAKE_CHIP_H_
#define TESTS_SRC_FAKE_CHIP_H_

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// One SPI transfer as the chip received it.
struct SpiFrame {
  bool is_read;                // SpiRead (full duplex) rather than SpiWrite
  std::vector<uint8_t> bytes;  // the transmitted bytes
};

class FakeChip {
 public:
  // Creates the SPI instance with icinfo = chip_type and registers the
  // callbacks; only one FakeChip may be alive at a time.
  explicit FakeChip(uint8_t chip_type);
  // Clears every callback slot and destroys the SPI instance.
  virtual ~FakeChip();
  FakeChip(const FakeChip &) = delete;
  FakeChip &operator=(const FakeChip &) = delete;

  // --- Chip state, free for tests to set and inspect. ---
  std::array<uint8_t, 256> mcu_reg{};      // MCU registers (direct frames, mailbox commands)
  std::array<uint8_t, 256> sfr{};          // special-function registers
  std::map<uint16_t, uint16_t> sram;       // SRAM words outside the status block
  std::array<uint8_t, 4> mailbox{};        // last payload written to 0x85C0
  uint8_t mailbox_answer = 0;              // what a mailbox read returns
  bool finger = false;                     // finger on the sensor
  // Overrides the auto-sensor answer (else 1 with a finger, 0 without).
  std::optional<uint8_t> auto_sensor_answer;
  // Overrides the raw finger register 0x1D (else 1 with a finger, 0 without).
  std::optional<uint8_t> finger_register;
  // Overrides the status word at 0x85lo (lo = 0x00, 0x0E, 0x0F, 0x10, 0x20).
  std::map<uint8_t, uint16_t> status_word_override;
  // MCU readiness at status query number n (from 1): ready unless set.
  std::function<bool(int n)> mcu_ready;
  int status_queries = 0;                  // MCU status queries answered so far
  int doorbells = 0;                       // mailbox commands run

  // Results the callbacks report (the answer is written regardless).
  int write_result = 0;
  int read_result = 0;

  // --- What the layer did. ---
  std::vector<SpiFrame> frames;            // every transfer, in order
  std::vector<uint32_t> sleeps_us;         // every quorv_usleep pause
  uint64_t now_us = 0;                     // virtual clock, advanced by sleeps

  // The transmitted bytes of every write / read, in order.
  std::vector<std::vector<uint8_t>> Writes() const;
  std::vector<std::vector<uint8_t>> Reads() const;
  // Total of the pauses in microseconds.
  uint64_t SleptUs() const;
  // Forgets the recorded frames and sleeps.
  void ClearLog();

 protected:
  // Handle one frame; the defaults model the chip families described above.
  virtual int OnWrite(const uint8_t *frame, uint16_t len);
  virtual int OnRead(uint8_t *buf, uint32_t len);

  // True when the MCU reports ready (counts one status query).
  bool QueryMcuReady();
  // The 16-bit status word at 0x8500 | lo.
  uint16_t StatusWord(uint8_t lo);
  // Answer of MCU register reg read with argument arg.
  uint8_t McuRead(uint8_t reg, uint8_t arg);

 private:
  void RunMailbox();

  static int SpiWriteCb(const uint8_t *frame, uint16_t len);
  static int SpiReadCb(uint8_t *tx, uint8_t *rx, uint32_t len);
  static void UsleepCb(uint32_t us);
  static int McuStatusCb();
  static uint64_t ClockCb();
  static FakeChip *active_;
};

// Renders bytes as "05 FA 85 C0" for assertion messages.
std::string HexBytes(const std::vector<uint8_t> &bytes);

}  // namespace testing_support

#endif  // TESTS_SRC_FAKE_CHIP_H_
