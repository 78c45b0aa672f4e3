#include "module_emul/zq4846_model.h"

namespace module_emul {

Zq4846Config Zq4846ConfigFor(uint16_t product_id) {
  Zq4846Config c;
  if (product_id >= 0x3b11 && product_id <= 0x3b14) return c;
  c.cols = 80;
  c.rows = 64;
  c.sixteen_bit = product_id != 0x3b18;
  c.chip_id = c.sixteen_bit ? 0x4845 : 0x4843;
  return c;
}

Zq4846Model::Zq4846Model(Zq4846Config config) : config_(config) {}

void Zq4846Model::Press(fingers::Frame frame) {
  std::lock_guard<std::mutex> lock(mu_);
  presses_.push_back(std::move(frame));
}

size_t Zq4846Model::PendingPresses() const {
  std::lock_guard<std::mutex> lock(mu_);
  return presses_.size();
}

void Zq4846Model::SetSize(uint8_t cols, uint8_t rows) {
  std::lock_guard<std::mutex> lock(mu_);
  config_.cols = cols;
  config_.rows = rows;
}

int Zq4846Model::Atc() const {
  std::lock_guard<std::mutex> lock(mu_);
  return atc_;
}

unsigned Zq4846Model::Clears() const {
  std::lock_guard<std::mutex> lock(mu_);
  return clears_;
}

unsigned Zq4846Model::HwResets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return hw_resets_;
}

std::vector<uint8_t> Zq4846Model::AnswerLocked(uint8_t command, std::span<const uint8_t> payload) {
  const uint8_t sub = payload.empty() ? 0 : payload[0];
  switch (command) {
    case 0x34:
      return Frame(kStatusOk);
    case 0x37:
      if (payload.size() != 3 || payload[0] != 1 || payload[1] != 1) return Frame(kStatusUnknown);
      atc_ = payload[2];
      return Frame(kStatusOk);
    case 0x80: {
      std::vector<uint8_t> answer;
      if (sub == 0x02)
        answer = {static_cast<uint8_t>(presses_.empty() ? 0 : 1)};
      else if (sub == 0x03)
        answer = {config_.cols};
      else if (sub == 0x04)
        answer = {config_.rows};
      else if (sub == 0x05)
        answer = {static_cast<uint8_t>(config_.chip_id), static_cast<uint8_t>(config_.chip_id >> 8)};
      else
        return Frame(kStatusUnknown);
      return Frame(kStatusOk, answer);
    }
    case 0x81: {
      const size_t n = static_cast<size_t>(config_.cols) * config_.rows;
      std::vector<uint8_t> data;
      if (config_.sixteen_bit) {
        std::vector<uint16_t> raw(n, config_.empty_raw);
        if (!presses_.empty()) {
          raw = presses_.front().raw;
          raw.resize(n, config_.empty_raw);
        }
        for (uint16_t v : raw) {
          data.push_back(static_cast<uint8_t>(v));
          data.push_back(static_cast<uint8_t>(v >> 8));
        }
      } else {
        data.assign(n, config_.empty_gray);
        if (!presses_.empty()) {
          data = presses_.front().gray;
          data.resize(n, config_.empty_gray);
        }
      }
      if (!presses_.empty()) presses_.pop_front();
      return Frame(kStatusOk, data);
    }
    case 0x82:
      if (sub == 0x78) {
        ++clears_;
        return Frame(kStatusOk);
      }
      if (sub == 0x72) {
        ++hw_resets_;
        return Frame(kStatusOk);
      }
      return Frame(kStatusUnknown);
    default:
      return Frame(kStatusUnknown);
  }
}

}  // namespace module_emul
