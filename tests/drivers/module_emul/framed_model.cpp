#include "module_emul/framed_model.h"

namespace module_emul {

std::vector<uint8_t> Frame(uint8_t code, std::span<const uint8_t> payload) {
  const size_t field = payload.size() + 1;
  std::vector<uint8_t> f = {0x02, static_cast<uint8_t>(field >> 8), static_cast<uint8_t>(field),
                            code};
  f.insert(f.end(), payload.begin(), payload.end());
  uint8_t x = 0;
  for (size_t i = 1; i < f.size(); ++i) x ^= f[i];
  f.push_back(x);
  return f;
}

void FramedModel::DropOut(unsigned count) {
  std::lock_guard<std::mutex> lock(mu_);
  drop_out_ = count;
}

void FramedModel::DropIn(unsigned count) {
  std::lock_guard<std::mutex> lock(mu_);
  drop_in_ = count;
}

void FramedModel::ReplaceNextReply(std::vector<uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(mu_);
  replacement_ = std::move(bytes);
}

void FramedModel::FailNext(uint8_t status, unsigned count) {
  std::lock_guard<std::mutex> lock(mu_);
  fail_status_ = status;
  fail_count_ = count;
}

std::vector<Request> FramedModel::Requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

unsigned FramedModel::Resets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return resets_;
}

usb_emul::Reply FramedModel::Out(usb_emul::Device &, uint8_t, std::span<const uint8_t> data) {
  std::lock_guard<std::mutex> lock(mu_);
  if (drop_out_ > 0) {
    --drop_out_;
    return usb_emul::Reply::Stall();
  }
  stream_.insert(stream_.end(), data.begin(), data.end());
  TakeFramesLocked();
  return usb_emul::Reply::Ack();
}

void FramedModel::TakeFramesLocked() {
  for (;;) {
    while (!stream_.empty() && stream_[0] != 0x02) stream_.erase(stream_.begin());
    if (stream_.size() < 3) return;
    const size_t field = static_cast<size_t>(stream_[1]) << 8 | stream_[2];
    if (field == 0) {
      stream_.erase(stream_.begin());
      continue;
    }
    const size_t total = field + 4;
    if (stream_.size() < total) return;
    std::vector<uint8_t> frame(stream_.begin(), stream_.begin() + static_cast<long>(total));
    stream_.erase(stream_.begin(), stream_.begin() + static_cast<long>(total));

    uint8_t x = 0;
    for (size_t i = 1; i + 1 < total; ++i) x ^= frame[i];
    const uint8_t command = frame[3];
    std::span<const uint8_t> payload(frame.data() + 4, field - 1);
    requests_.push_back({command, std::vector<uint8_t>(payload.begin(), payload.end())});
    std::vector<uint8_t> reply;
    if (replacement_) {
      reply = std::move(*replacement_);
      replacement_.reset();
    } else if (x != frame[total - 1]) {
      reply = Frame(kStatusBadCheck);
    } else if (fail_count_ > 0) {
      reply = Frame(fail_status_);
      --fail_count_;
    } else {
      reply = AnswerLocked(command, payload);
    }
    replies_.push_back(std::move(reply));
  }
}

void FramedModel::InRequested(usb_emul::Device &dev, uint8_t endpoint, size_t) {
  std::vector<uint8_t> reply;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (drop_in_ > 0) {
      --drop_in_;
    } else {
      if (replies_.empty()) return;  // nothing to say: the host times out
      reply = std::move(replies_.front());
      replies_.pop_front();
      dev.QueueIn(endpoint, std::move(reply));
      return;
    }
  }
  dev.Stall(endpoint);
}

void FramedModel::Reset(usb_emul::Device &) {
  std::lock_guard<std::mutex> lock(mu_);
  ++resets_;
  stream_.clear();
}

}  // namespace module_emul
