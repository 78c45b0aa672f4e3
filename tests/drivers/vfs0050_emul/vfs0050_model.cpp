#include "vfs0050_emul/vfs0050_model.h"

#include <stdexcept>

#include "emul/device.h"

namespace vfs0050_emul {

namespace {

constexpr uint8_t kEpOut = 0x01;
constexpr uint8_t kEpIn = 0x81;
constexpr uint8_t kEpLines = 0x82;
constexpr uint8_t kEpInterrupt = 0x83;
constexpr size_t kLineSize = 148;

// Bytes a command that starts with `first` needs: the packets, the blob, or
// one byte for the clear byte and anything unknown.
size_t CommandLength(uint8_t first) {
  switch (first) {
    case 0x39: return 125;
    case 0x02: return 985;
    default: return 1;
  }
}

// A fixed-seed byte of line k at x: distinct patterns for distinct lines.
uint8_t PatternByte(size_t k, size_t x) {
  uint32_t h = static_cast<uint32_t>(k) * 2654435761u ^ static_cast<uint32_t>(x) * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return static_cast<uint8_t>(h);
}

}  // namespace

usb_emul::DeviceDesc Vfs0050Desc(uint8_t address) {
  usb_emul::DeviceDesc desc;
  desc.vendor_id = 0x138a;
  desc.product_id = 0x0050;
  desc.address = address;
  desc.speed = usb_emul::Speed::kFull;
  desc.configurations = {
      {.interfaces = {{.number = 0,
                       .endpoints = {{kEpOut, usb_emul::TransferType::kBulk, 64},
                                     {kEpIn, usb_emul::TransferType::kBulk, 64},
                                     {kEpLines, usb_emul::TransferType::kBulk, 64},
                                     {kEpInterrupt, usb_emul::TransferType::kInterrupt, 8, 1}}}}}};
  return desc;
}

void Vfs0050Model::AddEvent(FingerEvent event) {
  std::lock_guard<std::mutex> lock(mu_);
  events_.push_back(std::move(event));
}

void Vfs0050Model::SetSetupInterrupt(std::vector<uint8_t> message) {
  std::lock_guard<std::mutex> lock(mu_);
  setup_interrupt_ = std::move(message);
}

std::vector<std::vector<uint8_t>> Vfs0050Model::Commands() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commands_;
}

size_t Vfs0050Model::PendingEvents() const {
  std::lock_guard<std::mutex> lock(mu_);
  return events_.size();
}

unsigned Vfs0050Model::IdleWaits() const {
  std::lock_guard<std::mutex> lock(mu_);
  return idle_waits_;
}

void Vfs0050Model::RefuseClaim(bool refuse) {
  std::lock_guard<std::mutex> lock(mu_);
  refuse_claim_ = refuse;
}

bool Vfs0050Model::Claim(usb_emul::Device &, unsigned) {
  std::lock_guard<std::mutex> lock(mu_);
  return !refuse_claim_;
}

usb_emul::Reply Vfs0050Model::Out(usb_emul::Device &dev, uint8_t endpoint,
                                  std::span<const uint8_t> data) {
  if (endpoint != kEpOut) return usb_emul::Reply::Ack();
  std::vector<std::vector<uint8_t>> complete;
  {
    std::lock_guard<std::mutex> lock(mu_);
    pending_out_.insert(pending_out_.end(), data.begin(), data.end());
    while (!pending_out_.empty() && pending_out_.size() >= CommandLength(pending_out_[0])) {
      const size_t n = CommandLength(pending_out_[0]);
      complete.emplace_back(pending_out_.begin(), pending_out_.begin() + static_cast<ptrdiff_t>(n));
      pending_out_.erase(pending_out_.begin(), pending_out_.begin() + static_cast<ptrdiff_t>(n));
    }
  }
  for (const auto &command : complete) HandleCommand(dev, command);
  return usb_emul::Reply::Ack();
}

void Vfs0050Model::HandleCommand(usb_emul::Device &dev, const std::vector<uint8_t> &command) {
  std::vector<uint8_t> setup_interrupt;
  {
    std::lock_guard<std::mutex> lock(mu_);
    commands_.push_back(command);
    if (command.size() == 125) {
      // Packet 1 starts "39 20 bf"; the others leave the sensor unarmed.
      arm_ = command[1] == 0x20 && command[2] == 0xbf ? Arm::kPacket1Sent : Arm::kIdle;
    }
    setup_interrupt = setup_interrupt_;
  }
  if (command.size() == 985) {
    dev.QueueIn(kEpIn, std::vector<uint8_t>(1106, 0x5a));
    dev.QueueIn(kEpInterrupt, setup_interrupt);
  } else {
    dev.QueueIn(kEpIn, {command[0], 0x00});
  }
}

void Vfs0050Model::InRequested(usb_emul::Device &dev, uint8_t endpoint, size_t length) {
  if (endpoint != kEpInterrupt) return;
  FingerEvent event;
  {
    std::lock_guard<std::mutex> lock(mu_);
    // The drain after packet 1's sequence; the next 5-byte read waits for
    // the finger.
    if (arm_ == Arm::kPacket1Sent && length > 5) {
      arm_ = Arm::kArmed;
      return;
    }
    if (arm_ != Arm::kArmed || length != 5) return;
    arm_ = Arm::kIdle;
    if (events_.empty()) {
      ++idle_waits_;
      return;
    }
    event = std::move(events_.front());
    events_.pop_front();
  }
  if (!event.lines.empty()) dev.QueueIn(kEpLines, std::move(event.lines));
  dev.QueueIn(kEpInterrupt, std::move(event.interrupt));
}

std::vector<uint8_t> LineRecord(const uint8_t *pixels, const uint8_t *ahead, uint8_t marker) {
  std::vector<uint8_t> line(kLineSize, 0);
  line[0] = 0x01;
  line[1] = 0xfe;
  line[4] = marker;
  line[5] = marker;
  std::copy(pixels, pixels + 100, line.begin() + 8);
  std::copy(ahead, ahead + 32, line.begin() + 108);
  return line;
}

std::vector<uint8_t> SwipeRecords(const fingers::Swipe &main, const fingers::Swipe &ahead,
                                  int blank_level) {
  if (main.frame.width != 100 || ahead.frame.width != 100 ||
      main.frame.height != ahead.frame.height) {
    throw std::invalid_argument("SwipeRecords: swipes of 100-pixel lines, equally long");
  }
  std::vector<uint8_t> out;
  for (int k = 0; k < main.frame.height; ++k) {
    const uint8_t *row = &main.frame.gray[static_cast<size_t>(k) * 100];
    const uint8_t *ahead_row = &ahead.frame.gray[static_cast<size_t>(k) * 100];
    int sum = 0;
    for (int x = 0; x < 100; ++x) sum += row[x];
    const uint8_t marker = sum / 100 >= blank_level ? kBlankMarker : kFingerMarker;
    std::vector<uint8_t> line = LineRecord(row, ahead_row + 33, marker);
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<uint8_t> SteppedRecords(size_t count, size_t step, size_t blank) {
  std::vector<uint8_t> out;
  out.reserve((count + blank) * kLineSize);
  uint8_t pixels[100], ahead[32];
  for (size_t k = 0; k < count + blank; ++k) {
    for (size_t x = 0; x < 100; ++x) pixels[x] = PatternByte(k, x);
    for (size_t i = 0; i < 32; ++i) ahead[i] = PatternByte(k + step, 33 + i);
    std::vector<uint8_t> line = LineRecord(pixels, ahead, k < count ? kFingerMarker : kBlankMarker);
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<uint8_t> FingerInterrupt() { return {0x02, 0x00, 0x0e, 0x00, 0xf0}; }

}  // namespace vfs0050_emul
