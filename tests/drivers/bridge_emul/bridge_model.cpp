#include "bridge_emul/bridge_model.h"

#include <algorithm>

namespace bridge_emul {

using usb_emul::Device;
using usb_emul::Reply;
using usb_emul::SetupPacket;

namespace {

constexpr uint8_t kReqTypeOut = 0x40;
constexpr uint8_t kReqTypeIn = 0xC0;
constexpr uint16_t kMailbox = 0x85C0;
constexpr uint16_t kImageAddress = 0x3400;
constexpr size_t kImageHeader = 2;

}  // namespace

usb_emul::DeviceDesc BridgeDesc(uint16_t product_id, uint8_t address) {
  return usb_emul::DeviceDesc{
      .vendor_id = kVendorId,
      .product_id = product_id,
      .address = address,
      .manufacturer = "Quorvanta",
      .product = "Emulated USB bridge",
      .configurations = {{.interfaces = {{.number = 0,
                                          .endpoints = {{kBulkIn, usb_emul::TransferType::kBulk, 512},
                                                        {kBulkOut, usb_emul::TransferType::kBulk,
                                                         512}}}}}},
  };
}

BridgeModel::BridgeModel(BridgeConfig config) : config_(config) {
  regs_[0x14] = config.width;
  regs_[0x15] = config.height;
  regs_[0x1A] = config.fw_version;
  regs_[0x3C] = config.agc_version;
  regs_[0x30] = config.app_running ? 0xBB : 0x00;
  sfr_[0x90] = config.boot_sfr;
}

// --- test controls -----------------------------------------------------------

void BridgeModel::Press(std::vector<uint8_t> image) {
  std::lock_guard<std::mutex> lock(mu_);
  presses_.push_back(std::move(image));
  if (low_power_) WakeForPressLocked();
}

void BridgeModel::Lift() {
  std::lock_guard<std::mutex> lock(mu_);
  presses_.clear();
  pin_ = false;
  regs_[0x1D] = 0;
}

size_t BridgeModel::PendingPresses() const {
  std::lock_guard<std::mutex> lock(mu_);
  return presses_.size();
}

void BridgeModel::QueueDataRead(std::vector<uint8_t> data) {
  std::lock_guard<std::mutex> lock(mu_);
  data_reads_.push_back(std::move(data));
}

void BridgeModel::QueueSpiRead(std::vector<uint8_t> data) {
  std::lock_guard<std::mutex> lock(mu_);
  spi_reads_.push_back(std::move(data));
}

void BridgeModel::Set4847(Chip4847Fn fn) {
  std::lock_guard<std::mutex> lock(mu_);
  chip4847_ = std::move(fn);
}

void BridgeModel::AttachSpiChip(std::shared_ptr<SpiChip> chip) {
  std::lock_guard<std::mutex> lock(mu_);
  spi_chip_ = std::move(chip);
}

void BridgeModel::FailNextBulkIn() {
  std::lock_guard<std::mutex> lock(mu_);
  fail_next_in_ = true;
}

void BridgeModel::FailNextBulkOut() {
  std::lock_guard<std::mutex> lock(mu_);
  fail_next_out_ = true;
}

void BridgeModel::StallRequest(uint8_t request) {
  std::lock_guard<std::mutex> lock(mu_);
  stalled_requests_.insert(request);
}

void BridgeModel::SetAnswerDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mu_);
  delay_ = delay;
}

void BridgeModel::SetWriteDonePolls(unsigned polls) {
  std::lock_guard<std::mutex> lock(mu_);
  config_.write_done_polls = polls;
}

void BridgeModel::SetRegister(uint8_t reg, uint8_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  regs_[reg] = value;
}

void BridgeModel::SetAppRunning(bool running) {
  std::lock_guard<std::mutex> lock(mu_);
  config_.app_running = running;
}

void BridgeModel::CorruptReadbacks(unsigned count, size_t offset) {
  std::lock_guard<std::mutex> lock(mu_);
  corrupt_count_ = count;
  corrupt_offset_ = offset;
}

// --- observations --------------------------------------------------------------

uint8_t BridgeModel::Register(uint8_t reg) const {
  std::lock_guard<std::mutex> lock(mu_);
  return regs_[reg];
}

uint8_t BridgeModel::Sfr(uint8_t sfr) const {
  std::lock_guard<std::mutex> lock(mu_);
  return sfr_[sfr];
}

uint16_t BridgeModel::SramWord(uint16_t address) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto byte = [&](uint16_t a) {
    auto it = sram_.find(a);
    return it == sram_.end() ? 0 : it->second;
  };
  return static_cast<uint16_t>(byte(address) << 8 | byte(static_cast<uint16_t>(address + 1)));
}

bool BridgeModel::LowPower() const {
  std::lock_guard<std::mutex> lock(mu_);
  return low_power_;
}

bool BridgeModel::DownloadMode() const {
  std::lock_guard<std::mutex> lock(mu_);
  return download_mode_;
}

std::vector<std::vector<uint8_t>> BridgeModel::SpiFrames() const {
  std::lock_guard<std::mutex> lock(mu_);
  return spi_frames_;
}

std::vector<std::vector<uint8_t>> BridgeModel::RawSpiWrites() const {
  std::lock_guard<std::mutex> lock(mu_);
  return raw_spi_writes_;
}

std::vector<AddressedWrite> BridgeModel::AddressedWrites() const {
  std::lock_guard<std::mutex> lock(mu_);
  return addressed_writes_;
}

std::vector<unsigned> BridgeModel::ChipSelects() const {
  std::lock_guard<std::mutex> lock(mu_);
  return chip_selects_;
}

unsigned BridgeModel::Resets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return resets_;
}

std::vector<uint8_t> BridgeModel::ProgramMemory() const {
  std::lock_guard<std::mutex> lock(mu_);
  return program_;
}

std::vector<FirmwarePiece> BridgeModel::FirmwarePieces() const {
  std::lock_guard<std::mutex> lock(mu_);
  return fw_pieces_;
}

bool BridgeModel::AppRunning() const {
  std::lock_guard<std::mutex> lock(mu_);
  return config_.app_running;
}

size_t BridgeModel::MaxPendingUrbs() const {
  std::lock_guard<std::mutex> lock(mu_);
  return max_pending_;
}

// --- device side -----------------------------------------------------------------

Reply BridgeModel::Control(Device &dev, const SetupPacket &setup, std::span<const uint8_t>) {
  std::lock_guard<std::mutex> lock(mu_);
  NotePendingLocked(dev);
  if (stalled_requests_.count(setup.request)) return Reply::Stall();
  if (setup.request_type == kReqTypeOut && setup.request == 0x40 && spi_chip_)
    spi_chip_->HardwareReset();
  if (setup.request_type == kReqTypeIn && setup.request == 0x43 && spi_chip_) {
    if (std::optional<bool> pin = spi_chip_->Pin())
      return Delayed(Reply::Ack({static_cast<uint8_t>(*pin ? 1 : 0)}));
  }
  if (setup.request_type == kReqTypeOut) return Delayed(OutRequestLocked(setup));
  if (setup.request_type == kReqTypeIn) return Delayed(InRequestLocked(setup));
  return Reply::Stall();
}

Reply BridgeModel::OutRequestLocked(const SetupPacket &s) {
  const uint8_t low = static_cast<uint8_t>(s.index & 0xFF);
  switch (s.request) {
    case 0x03:  // SFR write; SFR 0xA4 = 1 rings the MCU mailbox doorbell
      sfr_[low] = static_cast<uint8_t>(s.value);
      if (s.index == 0xA4 && s.value == 1) {
        sram_[kMailbox] = static_cast<uint8_t>(config_.chip_id_word >> 8);
        sram_[kMailbox + 1] = static_cast<uint8_t>(config_.chip_id_word);
      }
      return Reply::Ack();
    case 0x22:  // wake-up
      low_power_ = false;
      return Reply::Ack();
    case 0x34:  // select
      select_ = static_cast<uint8_t>(s.value);
      return Reply::Ack();
    case 0x35:  // length set-up of the next bulk transfer
      arm_count_ = s.value;
      arm_address_ = s.index;
      out_buffer_.clear();
      if (select_ == 2 && FirmwareModeLocked()) {
        arm_ = Arm::kFirmware;
        fw_offset_ = config_.board_version <= 525 ? s.index * 2u : s.index;
      } else if (select_ == 2)
        arm_ = Arm::kWrite;
      else if (select_ == 3)
        arm_ = s.index == kImageAddress ? Arm::kImage : Arm::kRead;
      else
        arm_ = Arm::kNone;
      return Reply::Ack();
    case 0x3B:  // register write
      WriteRegisterLocked(low, static_cast<uint8_t>(s.value));
      return Reply::Ack();
    case 0x40:  // sensor reset
      SensorResetLocked();
      return Reply::Ack();
    case 0x57:  // download mode
      download_mode_ = true;
      program_.clear();
      return Reply::Ack();
    case 0x64:  // send bytes; command 0x90 reads the boot SFR 0x90 for IN 0x60
      if (s.value == 0x9001) latched_sfr_ = sfr_[0x90];
      return Reply::Ack();
    case 0x66:  // SFR writes of the 4859 family and of download mode
    case 0x69:
      sfr_[low] = static_cast<uint8_t>(s.value);
      return Reply::Ack();
    case 0x6F: {  // 4847 read set-up
      std::optional<std::vector<uint8_t>> answer;
      if (chip4847_) answer = chip4847_(s.index, s.value);
      if (!answer) return Reply::Stall();
      armed_in_ = std::move(*answer);
      arm_ = s.value > 0 ? Arm::kChip4847 : Arm::kNone;
      return Reply::Ack();
    }
    case 0x79:  // raw SPI set-up or chip select
      if (s.index == 3 || s.index == 4) {
        arm_ = s.index == 3 ? Arm::kSpiWrite : Arm::kSpiRead;
        arm_count_ = s.value;
        out_buffer_.clear();
        return Reply::Ack();
      }
      if ((s.index == 1 || s.index == 2) && s.value == 1) {
        chip_selects_.push_back(s.index - 1u);
        if (spi_chip_) spi_chip_->Select(s.index == 1);
        return Reply::Ack();
      }
      return Reply::Stall();
    default:
      return Reply::Stall();
  }
}

Reply BridgeModel::InRequestLocked(const SetupPacket &s) {
  const uint8_t low = static_cast<uint8_t>(s.index & 0xFF);
  switch (s.request) {
    case 0x1A:  // bridge version, little-endian
      return Reply::Ack({static_cast<uint8_t>(config_.board_version),
                         static_cast<uint8_t>(config_.board_version >> 8)});
    case 0x30: {  // SRAM word, high byte first
      std::vector<uint8_t> word;
      for (uint16_t a : {s.index, static_cast<uint16_t>(s.index + 1)}) {
        auto it = sram_.find(a);
        word.push_back(it == sram_.end() ? 0 : it->second);
      }
      return Reply::Ack(std::move(word));
    }
    case 0x3A: {  // registers from wIndex on
      std::vector<uint8_t> bytes;
      const bool awake = config_.app_running && !low_power_;
      for (unsigned i = 0; i < s.length; ++i) {
        uint8_t reg = static_cast<uint8_t>(low + i);
        if (reg == 0x20)
          bytes.push_back(awake ? 0xA5 : 0x00);
        else if (reg == 0x21)
          bytes.push_back(awake ? 0x5A : 0x00);
        else
          bytes.push_back(regs_[reg]);
      }
      return Reply::Ack(std::move(bytes));
    }
    case 0x3C:  // write-done poll
      if (busy_polls_left_ > 0) {
        --busy_polls_left_;
        return Reply::Ack({1});
      }
      return Reply::Ack({0});
    case 0x43: {  // interrupt pin
      if (pin_low_reads_ > 0) {
        --pin_low_reads_;
        return Reply::Ack({0});
      }
      const bool idle_high = config_.pin_idle_high && config_.app_running && !low_power_;
      return Reply::Ack({static_cast<uint8_t>(pin_ || idle_high ? 1 : 0)});
    }
    case 0x60:
      return Reply::Ack({latched_sfr_});
    case 0x65:
    case 0x68:
      if (low == 0xFE && config_.sfr_fe) return Reply::Ack({*config_.sfr_fe});
      if (low == 0xF3 && config_.otp) return Reply::Ack({*config_.otp});
      return Reply::Ack({sfr_[low]});
    default:
      return Reply::Stall();
  }
}

void BridgeModel::WriteRegisterLocked(uint8_t reg, uint8_t value) {
  if (reg == 0x30 && !config_.marker_sticks) return;
  regs_[reg] = value;
  switch (reg) {
    case 0x00:
      if (value == 0x78) pin_low_reads_ = config_.pin_test_low_reads;
      break;
    case 0x08:  // upgrade mode, once the loader runs
      if (value == 1 && regs_[0x02] == 0x48 && regs_[0x03] == 0x41) {
        upgrade_mode_ = true;
        program_.clear();
        regs_[0x09] = 1;
      }
      break;
    case 0xA5:  // verify the downloaded image
      if (value == 0 && upgrade_mode_) {
        regs_[0x0B] = config_.verify_good ? 0x6A : 0x00;
        regs_[0x07] = config_.verify_good ? 0x92 : 0x00;
      }
      break;
    case 0xA2:  // remap and run at the next reset
      if (value == 0 && upgrade_mode_ && !program_.empty()) image_staged_ = true;
      break;
    default:
      break;
  }
  if (reg == 0x1E || reg == 0x1F) {
    if (regs_[0x1E] == 1 && regs_[0x1F] == 1) UpdateLowPowerLocked();
    if (regs_[0x1E] == 0 && regs_[0x1F] == 0) low_power_ = false;
  }
  if (reg == 0x54 && value == 1) UpdateLowPowerLocked();
}

void BridgeModel::SensorResetLocked() {
  const bool start = (image_staged_ && upgrade_mode_) || (download_mode_ && !program_.empty());
  download_mode_ = false;
  if (start) {
    upgrade_mode_ = false;
    image_staged_ = false;
    regs_[0x02] = regs_[0x03] = 0;
    regs_[0x09] = regs_[0x0B] = regs_[0x07] = 0;
    config_.app_running = config_.app_starts;
    return;
  }
  if (config_.app_running || upgrade_mode_) return;
  // No application: the PromBoot loader comes up.
  ++loader_resets_;
  if (config_.loader_answers && loader_resets_ > config_.loader_wait) {
    regs_[0x02] = 0x48;
    regs_[0x03] = 0x41;
  }
}

void BridgeModel::StoreFirmwareLocked() {
  const size_t end = fw_offset_ + out_buffer_.size();
  if (program_.size() < end) program_.resize(end, 0);
  std::copy(out_buffer_.begin(), out_buffer_.end(), program_.begin() + fw_offset_);
  fw_pieces_.push_back({fw_offset_, out_buffer_.size()});
  fw_offset_ = end;
  out_buffer_.clear();
  // Download mode on the new boards takes one length set-up for the image.
  const bool contiguous = download_mode_ && config_.board_version > 525;
  arm_ = contiguous ? Arm::kFirmware : Arm::kNone;
}

std::vector<uint8_t> BridgeModel::FirmwareReadLocked(size_t n) {
  std::vector<uint8_t> answer(n, 0);
  const size_t prefix = upgrade_mode_ ? 2 : 0;
  for (size_t i = 0; i + prefix < n && i < program_.size(); ++i) answer[i + prefix] = program_[i];
  if (corrupt_count_ > 0 && corrupt_offset_ + prefix < n) {
    --corrupt_count_;
    answer[corrupt_offset_ + prefix] ^= 0xFF;
  }
  return answer;
}

void BridgeModel::UpdateLowPowerLocked() {
  if (!config_.low_power_supported) return;
  low_power_ = true;
  pin_ = false;
  regs_[0x1D] = 0;
  if (!presses_.empty()) WakeForPressLocked();
}

void BridgeModel::WakeForPressLocked() {
  low_power_ = false;
  pin_ = true;
  regs_[0x1D] = 1;
}

Reply BridgeModel::Out(Device &dev, uint8_t, std::span<const uint8_t> data) {
  std::lock_guard<std::mutex> lock(mu_);
  NotePendingLocked(dev);
  if (fail_next_out_) {
    fail_next_out_ = false;
    return Reply::Stall();
  }
  if (arm_ != Arm::kWrite && arm_ != Arm::kSpiWrite && arm_ != Arm::kFirmware)
    return Delayed(Reply::Ack());
  out_buffer_.insert(out_buffer_.end(), data.begin(), data.end());
  if (out_buffer_.size() < arm_count_) return Delayed(Reply::Ack());
  if (arm_ == Arm::kFirmware) {
    StoreFirmwareLocked();
    busy_polls_left_ = config_.write_done_polls;
    return Delayed(Reply::Ack());
  }
  if (arm_ == Arm::kSpiWrite) {
    raw_spi_writes_.push_back(out_buffer_);
    if (spi_chip_) spi_chip_->Transfer(out_buffer_);
  } else if (arm_address_ == 0) {
    spi_frames_.push_back(out_buffer_);
  } else {
    if (arm_address_ == kMailbox)
      for (size_t i = 0; i < out_buffer_.size(); ++i)
        sram_[static_cast<uint16_t>(arm_address_ + i)] = out_buffer_[i];
    addressed_writes_.push_back({arm_address_, out_buffer_});
  }
  out_buffer_.clear();
  arm_ = Arm::kNone;
  busy_polls_left_ = config_.write_done_polls;
  return Delayed(Reply::Ack());
}

void BridgeModel::InRequested(Device &dev, uint8_t endpoint, size_t) {
  std::vector<uint8_t> answer;
  {
    std::lock_guard<std::mutex> lock(mu_);
    NotePendingLocked(dev);
    if (fail_next_in_) {
      fail_next_in_ = false;
      arm_ = Arm::kNone;
    } else {
      auto next = [](std::deque<std::vector<uint8_t>> &queue, size_t n) {
        if (queue.empty()) return std::vector<uint8_t>(n, 0);
        std::vector<uint8_t> v = std::move(queue.front());
        queue.pop_front();
        return v;
      };
      switch (arm_) {
        case Arm::kNone:
        case Arm::kWrite:
        case Arm::kSpiWrite:
        case Arm::kFirmware:
          return;  // nothing announced: the host times out
        case Arm::kRead:
          answer = data_reads_.empty() && FirmwareModeLocked() ? FirmwareReadLocked(arm_count_)
                                                              : next(data_reads_, arm_count_);
          break;
        case Arm::kSpiRead:
          answer = spi_chip_ ? spi_chip_->Transfer(std::vector<uint8_t>(arm_count_, 0))
                             : next(spi_reads_, arm_count_);
          break;
        case Arm::kChip4847:
          answer = std::move(armed_in_);
          break;
        case Arm::kImage: {
          answer.assign(arm_count_, 0);
          if (!presses_.empty()) {
            const std::vector<uint8_t> &image = presses_.front();
            for (size_t i = 0; i + kImageHeader < answer.size() && i < image.size(); ++i)
              answer[i + kImageHeader] = static_cast<uint8_t>(255 - image[i]);
            presses_.pop_front();
          }
          pin_ = false;
          regs_[0x1D] = 0;
          break;
        }
      }
      arm_ = Arm::kNone;
      dev.QueueIn(endpoint, std::move(answer), delay_);
      return;
    }
  }
  dev.Stall(endpoint);
}

void BridgeModel::Reset(Device &) {
  std::lock_guard<std::mutex> lock(mu_);
  ++resets_;
  arm_ = Arm::kNone;
  out_buffer_.clear();
}

Reply BridgeModel::Delayed(Reply r) const {
  if (delay_.count() > 0) return std::move(r).After(delay_);
  return r;
}

void BridgeModel::NotePendingLocked(Device &dev) {
  max_pending_ = std::max(max_pending_, dev.PendingUrbs());
}

}  // namespace bridge_emul
