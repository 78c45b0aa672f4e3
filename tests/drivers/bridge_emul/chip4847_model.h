// The emulated 4847 sensor chip behind the bridge: a decoder for its SPI0
// and IIC frames and the register model the factory and flash code needs.
//
// Frames are delimited by chip select. What the model does:
// - SPI0 (each command may follow the wake-up FF 00 00 00 in its own frame):
//   - c 00 00 00: command 0x55 enters boot mode (0x90 reads the boot id),
//     0x64 ends the page stream, 0x07 starts the application.
//   - r 00 nH nL 00 00 00 + n bytes: register writes. 0x91 is the scratch of
//     the reset test (its bytes overlay the status block); 0x94 takes the
//     work mode (m 00 00 m) or the DAC (d 00 00 05); 0x09, 0x10, 0x61 are the
//     boot set-up; 0xAB the page address; 0xBF the page data (acknowledged
//     in 0x6A with 0x1000 + page); 0x65 the image length (then 0x66 holds
//     the CRC-16 of the received application).
//   - r 80 nH nL 00 00 00 then n bytes clocked out: register reads. 0x91 the
//     32-byte status block; 0x90 the raw frame (first half of the big-endian
//     samples in work mode 1, second half in work mode 17, after which the
//     next frame is due) or the boot id in boot mode; 0x6A the boot status;
//     0x66 the CRC. Any access of 0x94 with 0x80 leaves the factory mode.
// - IIC (boot loader): 70 m ~m mode; 70 05 FA a k + words: flash write;
//   70 04 FB a k, then 71 + read: flash read; 70 07 F8 r 00 00 v 00 00: SFR
//   write; 70 06 F9 r 00 00 + 2 bytes read: SFR read. Flash is word-addressed
//   (4 bytes a word).
// - Selector reads through the bridge (Selectors(), for BridgeModel::Set4847):
//   0xFF00 wakes, 0x9180 the status block, 0x9080 the 8-bit image.
// - A finger (SetFinger) raises the interrupt pin and puts 0x11 in status
//   bytes 1 and 2; without one the pin reads high only in factory work
//   mode 3 (the pin test's mode 1 + 2).
// - The sensor reset clears the scratch (unless told otherwise), leaves boot
//   mode and returns the work mode to 0.
//
// Thread-safe: the bridge calls it on the worker thread, tests read it.
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_CHIP4847_MODEL_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_CHIP4847_MODEL_H_

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "bridge_emul/bridge_model.h"

namespace bridge_emul {

// What the chip looks like and how it misbehaves.
struct Chip4847Config {
  uint8_t width = 64;    // status bytes 23, 24 and the 8-bit image size
  uint8_t height = 80;
  uint8_t version = 0x13;  // status byte 21
  uint8_t dac = 0x80;      // power-up DAC (status byte 4)
  uint16_t boot_id = 0x56A2;      // register 0x90 in boot mode
  unsigned echo_from_write = 1;   // the scratch keeps 0x91 writes from this one on; 0 never
  bool reset_clears_scratch = true;
  unsigned mode_writes_ignored = 0;  // work-mode writes without effect before one takes; UINT_MAX never
  bool dac_sticks = true;          // DAC writes take effect
  unsigned ready_after_reads = 0;  // 0x6A reads after the boot set-up before 0xF0AA shows
  std::optional<uint32_t> nak_page;  // this page is never acknowledged
  std::optional<uint16_t> crc_override;  // register 0x66 reads this instead of the CRC
  bool pin_in_mode3 = true;        // work mode 3 raises the interrupt pin
};

// One IIC flash access: word address and word count minus one.
struct FlashOp {
  uint16_t address = 0;
  uint16_t k = 0;
  bool operator==(const FlashOp &) const = default;
};

// A user-application page as the chip received it.
struct AppPage {
  uint32_t address = 0;
  std::vector<uint8_t> data;
  bool operator==(const AppPage &) const = default;
};

class Chip4847 : public SpiChip {
 public:
  // The raw frame the chip takes: 16-bit samples (width x height of them),
  // given the frame's number (from 0) and the current DAC.
  using RawFrameFn = std::function<std::vector<uint16_t>(unsigned frame, uint8_t dac)>;

  explicit Chip4847(Chip4847Config config = {});

  // --- test controls ---
  void SetRawFrames(RawFrameFn fn);
  // A finger on the sensor, or none.
  void SetFinger(bool on);
  // The 8-bit image answered to selector 0x9080 (zeros by default).
  void SetImage(std::vector<uint8_t> image);
  // The bridge's 0x6F answers (see BridgeModel::Set4847).
  Chip4847Fn Selectors();

  // --- observations ---
  // Every chip-select frame's bytes as the chip received them, in order.
  std::vector<std::vector<uint8_t>> Frames() const;
  void ClearFrames();
  uint8_t WorkMode() const;
  uint8_t Dac() const;
  unsigned FactoryExits() const;
  unsigned HardwareResets() const;
  // Raw frames taken so far (one per work-mode-17 read of 0x90).
  unsigned RawFramesTaken() const;
  // Reads of register 0x6A, and of the status block (0x91).
  unsigned BootStatusReads() const;
  unsigned StatusReads() const;
  std::vector<AppPage> AppPages() const;
  bool AppStarted() const;
  std::vector<FlashOp> FlashWrites() const;
  std::vector<FlashOp> FlashReads() const;
  // `words` flash words from word address `address` on, 4 bytes each.
  std::vector<uint8_t> Flash(uint16_t address, size_t words) const;
  // IIC SFR writes (register, value) in order, and the IIC modes set.
  std::vector<std::pair<uint16_t, uint16_t>> SfrWrites() const;
  std::vector<uint8_t> IicModes() const;
  // Flips byte `index` of every later flash read-back (nullopt: none).
  void CorruptFlashRead(std::optional<size_t> index);

  // --- SpiChip ---
  void Select(bool asserted) override;
  std::vector<uint8_t> Transfer(std::span<const uint8_t> mosi) override;
  void HardwareReset() override;
  std::optional<bool> Pin() const override;

 private:
  std::vector<uint8_t> StatusBlockLocked() const;
  // What a read frame clocks out from its first data byte on.
  std::vector<uint8_t> ReadAnswerLocked();
  uint8_t OutByteLocked(size_t pos);
  void FrameDoneLocked();
  void Spi0WriteLocked(uint8_t reg, std::span<const uint8_t> data);
  void IicFrameLocked();
  uint16_t AppCrcLocked() const;

  mutable std::mutex mu_;
  Chip4847Config config_;
  RawFrameFn raw_frames_;
  std::vector<uint8_t> image_;

  bool selected_ = false;
  std::vector<uint8_t> frame_;
  std::optional<std::vector<uint8_t>> answer_;  // the read data of the current frame
  size_t answer_from_ = 0;                     // frame position of its first byte

  uint8_t mode_ = 0;
  bool finger_ = false;
  uint8_t dac_;
  unsigned mode_writes_ = 0;
  std::vector<uint8_t> scratch_;
  unsigned scratch_writes_ = 0;
  bool boot_mode_ = false;
  int setup_writes_ = 0;
  unsigned ready_reads_ = 0;
  uint16_t boot_status_ = 0;
  uint32_t page_address_ = 0;
  std::vector<uint8_t> app_;
  std::vector<AppPage> pages_;
  uint32_t app_length_ = 0;
  bool app_started_ = false;
  unsigned raw_taken_ = 0;
  unsigned exits_ = 0;
  unsigned resets_ = 0;
  unsigned boot_reads_ = 0;
  unsigned status_reads_ = 0;

  std::map<uint32_t, uint8_t> flash_;  // byte address -> byte
  std::optional<FlashOp> pending_read_;
  std::vector<FlashOp> flash_writes_;
  std::vector<FlashOp> flash_reads_;
  std::vector<std::pair<uint16_t, uint16_t>> sfr_writes_;
  std::vector<uint8_t> iic_modes_;
  std::optional<size_t> corrupt_read_;

  std::vector<std::vector<uint8_t>> frames_;
};

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_CHIP4847_MODEL_H_
