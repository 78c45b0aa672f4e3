// The emulated USB bridge of products 0x4841 and 0x4842: descriptors, the
// bridge register file, the vendor requests the driver sends, bulk data and
// the MCU status, on top of the usb_emul layer.
//
// What the model does:
// - Registers (IN 0x3A / OUT 0x3B): a 256-byte file. Register 0x20 reads
//   A5 5A only while the application runs and the bridge is awake.
//   0x1E = 0x1F = 1 or 0x54 = 1 enter the low-power finger wait; 0x1E =
//   0x1F = 0, or the wake-up request 0x22, leave it.
// - Presses (Press): a queue of images. A press (pending or arriving) wakes a
//   bridge in its low-power wait: the interrupt pin (IN 0x43) reads 1 and
//   register 0x1D reads 1. The image read (0x35 wIndex 0x3400 + bulk IN)
//   consumes one press and clears pin and 0x1D.
// - Bulk OUT after 0x34 (2) + 0x35 (n, address): address 0 records an SPI
//   frame, 0x85C0 writes the MCU mailbox in SRAM, others are kept as
//   addressed writes. Raw 4847 writes (0x79 (n, 3)) are recorded as pieces.
// - Bulk IN after 0x34 (3) + 0x35 (n, 0): the next queued data read (zeros
//   when none is queued). 0x79 (n, 4): the next queued SPI read. 0x6F
//   (n, selector): the 4847 handler's answer; without one 0x6F stalls.
// - A chip on the raw SPI pass-through (AttachSpiChip) sees the chip-select
//   levels, every raw write (0x79 (n, 3)) and every raw read (0x79 (n, 4),
//   answered with what it clocks out), and the sensor reset 0x40; it may
//   drive the interrupt pin.
// - A bulk IN that nothing armed is never answered (the host times out).
// - Firmware download: 0x57 enters download mode (edition A), 0x08 = 1 upgrade
//   mode (edition B, after the PromBoot loader answered 48 41 in register
//   0x02, which it does after a 0x40 reset while no application runs). In
//   either mode a bulk write after 0x34 (2) + 0x35 (n, index) stores n bytes
//   in program memory at index x 2 (board <= 525), at index (upgrade mode),
//   or from 0 on and contiguously for every later bulk write (download mode,
//   board >= 526); a data read returns program memory (after a 2-byte prefix
//   in upgrade mode). 0x09 reads 1 in upgrade mode; 0xA5 = 0 sets 0x0B to
//   0x6A and 0x07 to 0x92; 0xA2 = 0 stages the image. The next 0x40 starts
//   the application when an image is staged (B) or was received in download
//   mode (A).
// - SFR reads (0x65 / 0x68) answer what was written, except 0xFE and 0xF3
//   when the configuration fixes the chip's register-file marker and OTP.
// - Interrupt-pin test: register 0x00 = 0x78 pulls the pin low for the next
//   pin_test_low_reads reads.
// - A USB reset keeps every register, the program memory and the press
//   queue; it disarms a pending bulk set-up.
//
// Thread rules: callbacks run on umockdev's worker thread; every public
// member is thread-safe and may be called from the test thread.
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_MODEL_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_MODEL_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "emul/device.h"
#include "emul/device_desc.h"
#include "emul/device_model.h"

namespace bridge_emul {

inline constexpr uint16_t kVendorId = 0x3c5d;
inline constexpr uint8_t kBulkIn = 0x81;
inline constexpr uint8_t kBulkOut = 0x02;

// The bridge's descriptors: vendor 0x3c5d, `product_id`, interface 0 with one
// bulk IN (0x81) and one bulk OUT (0x02) endpoint.
usb_emul::DeviceDesc BridgeDesc(uint16_t product_id = 0x4842, uint8_t address = 2);

// What the bridge and its sensor look like at power-up.
struct BridgeConfig {
  bool app_running = true;      // bridge firmware present and running
  uint8_t width = 96;           // registers 0x14 / 0x15 and the image size
  uint8_t height = 96;
  uint8_t fw_version = 0x30;    // register 0x1A
  uint8_t agc_version = 0x01;   // register 0x3C
  uint16_t board_version = 526; // IN 0x1A
  uint8_t boot_sfr = 0xEF;      // SFR 0x90, answered through 0x64/0x60
  uint16_t chip_id_word = 0x4841;  // put at SRAM 0x85C0 by the mailbox doorbell
  unsigned write_done_polls = 0;   // IN 0x3C answers 1 this often before 0, per bulk write
  // Fixed chip answers to SFR reads (0x65 / 0x68): 0xFE, the register-file
  // marker (2 = ZQ4856), and 0xF3, the OTP byte. Unset: what was written.
  std::optional<uint8_t> sfr_fe;
  std::optional<uint8_t> otp;
  bool loader_answers = true;      // the PromBoot loader ever answers 48 41
  unsigned loader_wait = 0;        // 0x40 resets before it does
  bool verify_good = true;         // 0xA5 = 0 gives 0x6A in 0x0B (else 0x00)
  bool app_starts = true;          // a downloaded image starts running
  bool marker_sticks = true;       // register 0x30 keeps what the host writes
  bool low_power_supported = true; // SENSOR / QUICK enter the low-power wait
  bool pin_idle_high = false;      // the pin reads high while awake without a press
  unsigned pin_test_low_reads = 2; // pin reads held low after 0x00 = 0x78
};

// One firmware piece the bridge stored: byte offset and length.
struct FirmwarePiece {
  size_t offset = 0;
  size_t length = 0;
  bool operator==(const FirmwarePiece &) const = default;
};

// A chip behind the bridge's raw SPI pass-through (request 0x79). Called on
// the worker thread under the bridge's mutex; it must not call back into the
// bridge.
class SpiChip {
 public:
  virtual ~SpiChip() = default;
  // Chip select driven to asserted (level 0) or released (level 1).
  virtual void Select(bool asserted) = 0;
  // Clocks `mosi` into the chip; returns the bytes it clocks out meanwhile
  // (as many as `mosi` has).
  virtual std::vector<uint8_t> Transfer(std::span<const uint8_t> mosi) = 0;
  // The bridge pulsed the sensor's reset line (OUT 0x40).
  virtual void HardwareReset() = 0;
  // The level the chip drives on the bridge's interrupt pin (IN 0x43), or
  // nullopt to leave the pin to the bridge.
  virtual std::optional<bool> Pin() const { return std::nullopt; }
};

// The answer of the 4847 chip to a 0x6F read of `length` bytes at `selector`;
// nullopt stalls the set-up request.
using Chip4847Fn =
    std::function<std::optional<std::vector<uint8_t>>(uint16_t selector, uint16_t length)>;

// One bulk write the bridge received after a length set-up.
struct AddressedWrite {
  uint16_t address = 0;
  std::vector<uint8_t> data;
  bool operator==(const AddressedWrite &) const = default;
};

class BridgeModel : public usb_emul::DeviceModel {
 public:
  explicit BridgeModel(BridgeConfig config = {});

  // --- test controls ---
  // Queues a press with `image` (width x height host pixels; the bridge sends
  // 255 - pixel, after a 2-byte header).
  void Press(std::vector<uint8_t> image);
  // The finger leaves: presses not yet read are dropped, the pin and 0x1D
  // fall.
  void Lift();
  // Presses not yet consumed by an image read.
  size_t PendingPresses() const;
  // Queues the answer to the next data read (0x34 (3) + 0x35 (n, 0)).
  void QueueDataRead(std::vector<uint8_t> data);
  // Queues the answer to the next raw SPI read (0x79 (n, 4)).
  void QueueSpiRead(std::vector<uint8_t> data);
  // Installs the 4847 chip's answers to 0x6F reads.
  void Set4847(Chip4847Fn fn);
  // Puts `chip` on the raw SPI pass-through; raw reads then come from it
  // instead of QueueSpiRead.
  void AttachSpiChip(std::shared_ptr<SpiChip> chip);
  // The next bulk transfer in that direction fails (IN stalls the endpoint
  // until the host resets or clears it; OUT answers with a STALL).
  void FailNextBulkIn();
  void FailNextBulkOut();
  // Vendor request `request` (either direction) stalls from now on.
  void StallRequest(uint8_t request);
  // Every answer comes `delay` after its request.
  void SetAnswerDelay(std::chrono::milliseconds delay);
  // IN 0x3C answers 1 this often before 0 after each later bulk write.
  void SetWriteDonePolls(unsigned polls);
  // Sets register `reg` directly.
  void SetRegister(uint8_t reg, uint8_t value);
  // Starts or stops the bridge application (register 0x20).
  void SetAppRunning(bool running);
  // The next `count` firmware read-backs come back with byte `offset` of the
  // image inverted.
  void CorruptReadbacks(unsigned count, size_t offset);

  // --- observations ---
  uint8_t Register(uint8_t reg) const;
  uint8_t Sfr(uint8_t sfr) const;
  // SRAM word at `address`, high byte first.
  uint16_t SramWord(uint16_t address) const;
  bool LowPower() const;
  bool DownloadMode() const;
  // SPI frames written with address 0, in order.
  std::vector<std::vector<uint8_t>> SpiFrames() const;
  // Pieces of raw 4847 SPI writes (0x79 (n, 3)), in order.
  std::vector<std::vector<uint8_t>> RawSpiWrites() const;
  // Writes to addresses other than 0 (mailbox included), in order.
  std::vector<AddressedWrite> AddressedWrites() const;
  // Chip-select levels driven through 0x79 (1, level + 1), in order.
  std::vector<unsigned> ChipSelects() const;
  // USB resets seen.
  unsigned Resets() const;
  // Program memory as the downloads left it, and the pieces stored, in order.
  std::vector<uint8_t> ProgramMemory() const;
  std::vector<FirmwarePiece> FirmwarePieces() const;
  bool AppRunning() const;
  // Most URBs the device had pending at once, counted whenever one arrived.
  size_t MaxPendingUrbs() const;

  // --- usb_emul::DeviceModel ---
  usb_emul::Reply Control(usb_emul::Device &dev, const usb_emul::SetupPacket &setup,
                          std::span<const uint8_t> data) override;
  usb_emul::Reply Out(usb_emul::Device &dev, uint8_t endpoint,
                      std::span<const uint8_t> data) override;
  void InRequested(usb_emul::Device &dev, uint8_t endpoint, size_t length) override;
  void Reset(usb_emul::Device &dev) override;

 private:
  // What the next bulk transfer carries, as the set-up requests announced it.
  enum class Arm { kNone, kWrite, kRead, kImage, kSpiWrite, kSpiRead, kChip4847, kFirmware };

  usb_emul::Reply OutRequestLocked(const usb_emul::SetupPacket &s);
  usb_emul::Reply InRequestLocked(const usb_emul::SetupPacket &s);
  void WriteRegisterLocked(uint8_t reg, uint8_t value);
  void UpdateLowPowerLocked();
  void WakeForPressLocked();
  void SensorResetLocked();
  void StoreFirmwareLocked();
  std::vector<uint8_t> FirmwareReadLocked(size_t n);
  bool FirmwareModeLocked() const { return download_mode_ || upgrade_mode_; }
  usb_emul::Reply Delayed(usb_emul::Reply r) const;
  void NotePendingLocked(usb_emul::Device &dev);

  mutable std::mutex mu_;
  BridgeConfig config_;
  uint8_t regs_[256] = {};
  uint8_t sfr_[256] = {};
  std::map<uint16_t, uint8_t> sram_;
  bool low_power_ = false;
  bool pin_ = false;
  bool download_mode_ = false;
  bool upgrade_mode_ = false;
  bool image_staged_ = false;
  unsigned loader_resets_ = 0;
  unsigned pin_low_reads_ = 0;
  std::vector<uint8_t> program_;
  std::vector<FirmwarePiece> fw_pieces_;
  size_t fw_offset_ = 0;
  unsigned corrupt_count_ = 0;
  size_t corrupt_offset_ = 0;
  std::deque<std::vector<uint8_t>> presses_;
  std::deque<std::vector<uint8_t>> data_reads_;
  std::deque<std::vector<uint8_t>> spi_reads_;
  Chip4847Fn chip4847_;
  std::shared_ptr<SpiChip> spi_chip_;

  Arm arm_ = Arm::kNone;
  uint16_t arm_count_ = 0;
  uint16_t arm_address_ = 0;
  uint16_t arm_selector_ = 0;
  std::vector<uint8_t> out_buffer_;  // bulk OUT bytes of the armed write so far
  std::vector<uint8_t> armed_in_;    // the 4847 answer of an armed 0x6F read
  uint8_t select_ = 0;               // last 0x34 value
  uint8_t latched_sfr_ = 0;          // answer of IN 0x60
  unsigned busy_polls_left_ = 0;

  std::vector<std::vector<uint8_t>> spi_frames_;
  std::vector<std::vector<uint8_t>> raw_spi_writes_;
  std::vector<AddressedWrite> addressed_writes_;
  std::vector<unsigned> chip_selects_;
  std::set<uint8_t> stalled_requests_;
  bool fail_next_in_ = false;
  bool fail_next_out_ = false;
  std::chrono::milliseconds delay_{0};
  unsigned resets_ = 0;
  size_t max_pending_ = 0;
};

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_BRIDGE_MODEL_H_
