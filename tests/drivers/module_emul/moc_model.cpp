#include "module_emul/moc_model.h"

namespace module_emul {

namespace {

constexpr int kHalf = 64;
constexpr int kRawSamples = 10240;
constexpr uint8_t kEmpty = 215;

}  // namespace

MocModel::MocModel(MocConfig config) : config_(config) {}

void MocModel::Press(std::vector<uint8_t> image) {
  std::lock_guard<std::mutex> lock(mu_);
  presses_.push_back(std::move(image));
}

size_t MocModel::PendingPresses() const {
  std::lock_guard<std::mutex> lock(mu_);
  return presses_.size();
}

void MocModel::SetVersion(uint8_t b0, uint8_t b1) {
  std::lock_guard<std::mutex> lock(mu_);
  config_.version = {b0, b1};
}

void MocModel::KillInterrupt(uint8_t ic) {
  std::lock_guard<std::mutex> lock(mu_);
  dead_ics_.insert(ic);
}

void MocModel::StuckSamples(int count, uint16_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  stuck_count_ = count;
  stuck_value_ = value;
}

std::array<uint8_t, 2> MocModel::Dac() const {
  std::lock_guard<std::mutex> lock(mu_);
  return config_.dac;
}

unsigned MocModel::Inits() const {
  std::lock_guard<std::mutex> lock(mu_);
  return inits_;
}

unsigned MocModel::IrqClears() const {
  std::lock_guard<std::mutex> lock(mu_);
  return irq_clears_;
}

unsigned MocModel::SoftResets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return soft_resets_;
}

uint16_t MocModel::RawSample(std::array<uint8_t, 2> dac, int index) {
  // A front end whose level rises 400 counts per DAC step, with a small
  // fixed pattern across the columns.
  const int level = 2000 + 200 * ((dac[0] - 0x80) + (dac[1] - 0x80)) + (index % 64) * 3;
  return static_cast<uint16_t>(level < 0 ? 0 : level > 4095 ? 4095 : level);
}

std::vector<uint8_t> MocModel::AnswerLocked(uint8_t command, std::span<const uint8_t> payload) {
  switch (command) {
    case 0x31:
      if (payload.size() != 1) return Frame(kStatusUnknown);
      armed_ic_ = payload[0];
      polls_left_ = config_.int_polls;
      return Frame(kStatusOk);
    case 0x32: {
      uint8_t seen = 0;
      if (armed_ic_ != 0 && !dead_ics_.count(armed_ic_)) {
        if (polls_left_ > 0)
          --polls_left_;
        else
          seen = armed_ic_;
      }
      const uint8_t answer[1] = {seen};
      return Frame(kStatusOk, answer);
    }
    case 0x35: {
      const int w = config_.width, h = config_.height;
      std::vector<uint8_t> image(static_cast<size_t>(w) * h, kEmpty);
      if (!presses_.empty()) {
        image = std::move(presses_.front());
        presses_.pop_front();
        image.resize(static_cast<size_t>(w) * h, kEmpty);
      }
      // The module sends the left 64-column half of every row first.
      std::vector<uint8_t> sent;
      sent.reserve(image.size());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < kHalf && x < w; ++x) sent.push_back(image[static_cast<size_t>(y) * w + x]);
      for (int y = 0; y < h; ++y)
        for (int x = kHalf; x < w; ++x) sent.push_back(image[static_cast<size_t>(y) * w + x]);
      return Frame(kStatusOk, sent);
    }
    case 0x36: {
      std::vector<uint8_t> raw;
      raw.reserve(2 * kRawSamples);
      int stuck = stuck_count_;
      for (int i = 0; i < kRawSamples; ++i) {
        uint16_t v = RawSample(config_.dac, i);
        const int column = i % kHalf;
        const bool examined = i >= 129 && i <= 10111 && column > 1 && column < 62;
        if (stuck > 0 && examined) {
          v = stuck_value_;
          --stuck;
        }
        raw.push_back(static_cast<uint8_t>(v >> 8));
        raw.push_back(static_cast<uint8_t>(v));
      }
      stuck_count_ = 0;
      return Frame(kStatusOk, raw);
    }
    case 0x37:
      return Frame(kStatusOk, config_.dac);
    case 0x38:
      if (payload.size() != 2) return Frame(kStatusUnknown);
      config_.dac = {payload[0], payload[1]};
      return Frame(kStatusOk);
    case 0x3C:
      ++inits_;
      armed_ic_ = 0;
      return Frame(kStatusOk);
    case 0x44:
      ++irq_clears_;
      return Frame(kStatusOk);
    case 0x88: {
      const uint8_t answer[2] = {static_cast<uint8_t>(presses_.empty() ? 0 : 0xA5),
                                 static_cast<uint8_t>(presses_.empty() ? 0 : 0x5A)};
      return Frame(kStatusOk, answer);
    }
    case 0xB0:
      return Frame(kStatusOk, config_.version);
    case 0xB1:
      ++soft_resets_;
      return Frame(kStatusOk);
    default:
      return Frame(kStatusUnknown);
  }
}

}  // namespace module_emul
