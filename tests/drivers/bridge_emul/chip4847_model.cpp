#include "bridge_emul/chip4847_model.h"

#include <algorithm>

namespace bridge_emul {

namespace {

constexpr uint8_t kIic = 0x70;
constexpr uint8_t kIicRead = 0x71;
constexpr uint8_t kWake = 0xFF;
constexpr size_t kStatusSize = 32;

uint16_t Be16(const std::vector<uint8_t> &b, size_t i) {
  return static_cast<uint16_t>(b[i] << 8 | b[i + 1]);
}

std::vector<uint8_t> Word(uint16_t v) {
  return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

// The chip's CRC-16 of its program: 0x8408 shifted right over words taken
// high byte first.
uint16_t Crc16(const std::vector<uint8_t> &data) {
  uint16_t crc = 0;
  for (size_t i = 0; i < data.size(); i += 2) {
    crc ^= static_cast<uint16_t>(data[i] << 8 | (i + 1 < data.size() ? data[i + 1] : 0));
    for (int b = 0; b < 16; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  return crc;
}

}  // namespace

Chip4847::Chip4847(Chip4847Config config) : config_(config), dac_(config.dac) {}

void Chip4847::SetRawFrames(RawFrameFn fn) {
  std::lock_guard<std::mutex> lock(mu_);
  raw_frames_ = std::move(fn);
}

void Chip4847::SetFinger(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  finger_ = on;
}

void Chip4847::SetImage(std::vector<uint8_t> image) {
  std::lock_guard<std::mutex> lock(mu_);
  image_ = std::move(image);
}

Chip4847Fn Chip4847::Selectors() {
  return [this](uint16_t selector, uint16_t length) -> std::optional<std::vector<uint8_t>> {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<uint8_t> answer;
    switch (selector) {
      case 0xFF00:
        break;
      case 0x9180:
        ++status_reads_;
        answer = StatusBlockLocked();
        break;
      case 0x9080:
        answer = image_;
        break;
      default:
        return std::nullopt;
    }
    answer.resize(length, 0);
    return answer;
  };
}

// --- observations ------------------------------------------------------------

std::vector<std::vector<uint8_t>> Chip4847::Frames() const {
  std::lock_guard<std::mutex> lock(mu_);
  return frames_;
}

void Chip4847::ClearFrames() {
  std::lock_guard<std::mutex> lock(mu_);
  frames_.clear();
}

uint8_t Chip4847::WorkMode() const {
  std::lock_guard<std::mutex> lock(mu_);
  return mode_;
}

uint8_t Chip4847::Dac() const {
  std::lock_guard<std::mutex> lock(mu_);
  return dac_;
}

unsigned Chip4847::FactoryExits() const {
  std::lock_guard<std::mutex> lock(mu_);
  return exits_;
}

unsigned Chip4847::HardwareResets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return resets_;
}

unsigned Chip4847::RawFramesTaken() const {
  std::lock_guard<std::mutex> lock(mu_);
  return raw_taken_;
}

unsigned Chip4847::BootStatusReads() const {
  std::lock_guard<std::mutex> lock(mu_);
  return boot_reads_;
}

unsigned Chip4847::StatusReads() const {
  std::lock_guard<std::mutex> lock(mu_);
  return status_reads_;
}

std::vector<AppPage> Chip4847::AppPages() const {
  std::lock_guard<std::mutex> lock(mu_);
  return pages_;
}

bool Chip4847::AppStarted() const {
  std::lock_guard<std::mutex> lock(mu_);
  return app_started_;
}

std::vector<FlashOp> Chip4847::FlashWrites() const {
  std::lock_guard<std::mutex> lock(mu_);
  return flash_writes_;
}

std::vector<FlashOp> Chip4847::FlashReads() const {
  std::lock_guard<std::mutex> lock(mu_);
  return flash_reads_;
}

std::vector<uint8_t> Chip4847::Flash(uint16_t address, size_t words) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<uint8_t> out;
  for (size_t i = 0; i < words * 4; ++i) {
    auto it = flash_.find(address * 4u + i);
    out.push_back(it == flash_.end() ? 0xFF : it->second);
  }
  return out;
}

std::vector<std::pair<uint16_t, uint16_t>> Chip4847::SfrWrites() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sfr_writes_;
}

std::vector<uint8_t> Chip4847::IicModes() const {
  std::lock_guard<std::mutex> lock(mu_);
  return iic_modes_;
}

void Chip4847::CorruptFlashRead(std::optional<size_t> index) {
  std::lock_guard<std::mutex> lock(mu_);
  corrupt_read_ = index;
}

// --- the wire ------------------------------------------------------------------

void Chip4847::Select(bool asserted) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!asserted && selected_) FrameDoneLocked();
  selected_ = asserted;
  frame_.clear();
  answer_.reset();
}

std::vector<uint8_t> Chip4847::Transfer(std::span<const uint8_t> mosi) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<uint8_t> miso;
  for (uint8_t b : mosi) {
    miso.push_back(selected_ ? OutByteLocked(frame_.size()) : 0);
    if (selected_) frame_.push_back(b);
  }
  return miso;
}

void Chip4847::HardwareReset() {
  std::lock_guard<std::mutex> lock(mu_);
  ++resets_;
  if (config_.reset_clears_scratch) scratch_.clear();
  boot_mode_ = false;
  mode_ = 0;
}

std::optional<bool> Chip4847::Pin() const {
  std::lock_guard<std::mutex> lock(mu_);
  return finger_ || (mode_ == 3 && config_.pin_in_mode3);
}

std::vector<uint8_t> Chip4847::StatusBlockLocked() const {
  std::vector<uint8_t> block(kStatusSize, 0);
  block[0] = mode_;
  block[2] = mode_ == 17 ? 17 : 0;
  if (finger_) block[1] = block[2] = 0x11;
  block[4] = dac_;
  block[19] = 0x48;
  block[20] = 0x47;
  block[21] = config_.version;
  block[22] = 0x01;
  block[23] = config_.width;
  block[24] = config_.height;
  std::copy_n(scratch_.begin(), std::min(scratch_.size(), block.size()), block.begin());
  return block;
}

uint8_t Chip4847::OutByteLocked(size_t pos) {
  if (frame_.empty()) return 0;
  size_t from = 0;
  if (frame_[0] == kIicRead)
    from = 1;
  else if (frame_[0] == kIic && frame_.size() >= 7 && frame_[1] == 0x06)
    from = 7;
  else if (frame_[0] != kIic && frame_[0] != kWake && frame_.size() >= 4 && frame_[1] == 0x80)
    from = 7;
  else
    return 0;
  if (pos < from) return 0;
  if (!answer_) {
    answer_ = ReadAnswerLocked();
    answer_from_ = from;
  }
  const size_t i = pos - answer_from_;
  return i < answer_->size() ? (*answer_)[i] : 0;
}

std::vector<uint8_t> Chip4847::ReadAnswerLocked() {
  if (frame_[0] == kIicRead) {
    if (!pending_read_) return {};
    const FlashOp op = *pending_read_;
    pending_read_.reset();
    flash_reads_.push_back(op);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < (op.k + 1u) * 4u; ++i) {
      auto it = flash_.find(op.address * 4u + i);
      out.push_back(it == flash_.end() ? 0xFF : it->second);
    }
    if (corrupt_read_ && *corrupt_read_ < out.size()) out[*corrupt_read_] ^= 0xFF;
    return out;
  }
  if (frame_[0] == kIic) {  // SFR read
    const uint16_t reg = Be16(frame_, 3);
    uint16_t value = 0;
    for (auto &[r, v] : sfr_writes_)
      if (r == reg) value = v;
    return Word(value);
  }
  const uint8_t reg = frame_[0];
  const size_t n = Be16(frame_, 2);
  std::vector<uint8_t> out;
  switch (reg) {
    case 0x91:
      ++status_reads_;
      out = StatusBlockLocked();
      break;
    case 0x90:
      if (boot_mode_) {
        out = Word(config_.boot_id);
      } else if ((mode_ == 1 || mode_ == 17) && raw_frames_) {
        std::vector<uint16_t> samples = raw_frames_(raw_taken_, dac_);
        std::vector<uint8_t> bytes;
        for (uint16_t s : samples) {
          bytes.push_back(static_cast<uint8_t>(s >> 8));
          bytes.push_back(static_cast<uint8_t>(s));
        }
        const size_t from = mode_ == 1 ? 0 : bytes.size() / 2;
        out.assign(bytes.begin() + static_cast<long>(std::min(from, bytes.size())), bytes.end());
        if (mode_ == 17) ++raw_taken_;
      }
      break;
    case 0x6A:
      ++boot_reads_;
      if (boot_mode_ && setup_writes_ >= 3 && boot_status_ == 0) {
        if (ready_reads_ < config_.ready_after_reads)
          ++ready_reads_;
        else
          boot_status_ = 0xF0AA;
      }
      out = Word(boot_status_);
      break;
    case 0x66:
      out = Word(config_.crc_override.value_or(Crc16(
          std::vector<uint8_t>(app_.begin(), app_.begin() + std::min<size_t>(app_length_, app_.size())))));
      break;
    case 0x94:
      ++exits_;
      mode_ = 0;
      break;
    default:
      break;
  }
  out.resize(n, 0);
  return out;
}

void Chip4847::FrameDoneLocked() {
  if (frame_.empty()) return;
  frames_.push_back(frame_);
  const std::vector<uint8_t> &f = frame_;
  if (f[0] == kWake && f.size() == 4) return;  // wake-up
  if (f[0] == kIic) return IicFrameLocked();
  if (f[0] == kIicRead) return;
  if (f.size() == 4 && f[1] == 0 && f[2] == 0 && f[3] == 0) {  // command
    switch (f[0]) {
      case 0x55:
        boot_mode_ = true;
        setup_writes_ = 0;
        ready_reads_ = 0;
        boot_status_ = 0;
        app_.clear();
        pages_.clear();
        break;
      case 0x07:
        if (boot_mode_) app_started_ = true;
        boot_mode_ = false;
        break;
      default:
        break;
    }
    return;
  }
  // A write takes effect only with all its data bytes.
  if (f.size() >= 7 && f[1] == 0x00 && f.size() == 7u + Be16(f, 2))
    Spi0WriteLocked(f[0], std::span<const uint8_t>(f.data() + 7, f.size() - 7));
}

void Chip4847::Spi0WriteLocked(uint8_t reg, std::span<const uint8_t> data) {
  switch (reg) {
    case 0x91:
      ++scratch_writes_;
      if (config_.echo_from_write != 0 && scratch_writes_ >= config_.echo_from_write)
        scratch_.assign(data.begin(), data.end());
      break;
    case 0x94:
      if (data.size() != 4) break;
      if (data[3] == 0x05) {
        if (config_.dac_sticks) dac_ = data[0];
      } else if (data[0] == data[3]) {
        if (mode_writes_ >= config_.mode_writes_ignored) mode_ = data[0];
        if (mode_writes_ < UINT_MAX) ++mode_writes_;
      }
      break;
    case 0x09:
    case 0x10:
    case 0x61: {
      const uint8_t expected = reg == 0x09 ? 0x0A : reg == 0x10 ? 0x0C : 0x00;
      if (boot_mode_ && data.size() == 1 && data[0] == expected) ++setup_writes_;
      break;
    }
    case 0xAB:
      if (data.size() == 3) page_address_ = data[0] << 16 | data[1] << 8 | data[2];
      break;
    case 0xBF: {
      if (!boot_mode_ || boot_status_ == 0) break;
      if (app_.size() < page_address_ + data.size()) app_.resize(page_address_ + data.size(), 0);
      std::copy(data.begin(), data.end(), app_.begin() + page_address_);
      pages_.push_back({page_address_, std::vector<uint8_t>(data.begin(), data.end())});
      const uint32_t page = page_address_ / 256;
      boot_status_ = config_.nak_page == page ? 0xEEEE : static_cast<uint16_t>(0x1000 + page);
      break;
    }
    case 0x65:
      if (data.size() == 6) app_length_ = data[3] << 16 | data[4] << 8 | data[5];
      break;
    default:
      break;
  }
}

void Chip4847::IicFrameLocked() {
  const std::vector<uint8_t> &f = frame_;
  if (f.size() == 3 && f[2] == static_cast<uint8_t>(~f[1])) {
    iic_modes_.push_back(f[1]);
    return;
  }
  if (f.size() < 7) return;
  const uint16_t a = Be16(f, 3);
  const uint16_t k = Be16(f, 5);
  switch (f[1]) {
    case 0x05:  // a write takes effect only with all its words
      if (f.size() != 7 + (k + 1u) * 4u) break;
      flash_writes_.push_back({a, k});
      for (size_t i = 0; i + 7 < f.size(); ++i) flash_[a * 4u + i] = f[7 + i];
      break;
    case 0x04:
      pending_read_ = FlashOp{a, k};
      break;
    case 0x07:
      if (f.size() == 11) sfr_writes_.emplace_back(a, Be16(f, 7));
      break;
    default:
      break;
  }
}

}  // namespace bridge_emul
