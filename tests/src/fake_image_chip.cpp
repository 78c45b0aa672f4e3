#include "fake_image_chip.h"

#include <algorithm>
#include <cstring>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"

namespace testing_support {

FakeImageChip *FakeImageChip::self_ = nullptr;

FakeImageChip::FakeImageChip(uint8_t chip_type, bool image_callbacks) : FakeChip(chip_type) {
  self_ = this;
  RegisterGetImage(image_callbacks);
  RegisterStart(image_callbacks);
  RegisterEnd(image_callbacks);
  RegisterInit(image_callbacks);
  RegisterBase(image_callbacks);
}

FakeImageChip::~FakeImageChip() {
  RegisterGetImage(false);
  RegisterStart(false);
  RegisterEnd(false);
  RegisterInit(false);
  RegisterBase(false);
  self_ = nullptr;
}

void FakeImageChip::StreamSamples(uint8_t port_byte, const std::vector<int> &samples) {
  for (int s : samples) {
    port[port_byte].push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    port[port_byte].push_back(static_cast<uint8_t>(s & 0xFF));
  }
}

void FakeImageChip::RegisterGetImage(bool on) { InitFuncGetImage(on ? GetImageCb : nullptr); }
void FakeImageChip::RegisterStart(bool on) { InitFuncReadImageStart(on ? StartCb : nullptr); }
void FakeImageChip::RegisterEnd(bool on) { InitFuncReadImageEnd(on ? EndCb : nullptr); }
void FakeImageChip::RegisterInit(bool on) { InitFuncReadImageInit(on ? InitCb : nullptr); }
void FakeImageChip::RegisterBase(bool on) { InitFuncGetImageBase(on ? BaseCb : nullptr); }

int FakeImageChip::OnRead(uint8_t *b, uint32_t len) {
  const uint8_t type = quorv_get_icinfo();
  const uint32_t n = static_cast<uint32_t>(b[4] << 8 | b[5]);
  const uint16_t addr = static_cast<uint16_t>(b[2] << 8 | b[3]);
  auto copy_sram = [&](uint32_t from, uint8_t *to, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      to[i] = from + i < sram_image.size() ? sram_image[from + i] : 0;
    }
  };
  if (b[0] == 0x04 && b[1] == 0xFB && (type == 1 || type == 7) && len == n + 8 && len > 8) {
    copy_sram(addr - 0x3400u, b + 8, n);
    const int t = quorv_get_ZqSpiObjHandle()->TransferBytesMax;
    const uint8_t h = static_cast<uint8_t>(((t >> 8) ^ 0xCF) & 0xFF);
    b[6] = esd ? esd->first : h;
    b[7] = esd ? esd->second : static_cast<uint8_t>((t & 0xFF) ^ h);
    return read_result;
  }
  if (b[0] == 0x04 && b[1] == 0xFB && (type == 2 || type == 3) && len == n + 6 && addr >= 0x9A00) {
    copy_sram(2u * (addr - 0x9A00u), b + 6, n);
    return read_result;
  }
  if (b[0] == 0x06 && b[1] == 0xF9 && b[3] == 0x05 && len > 6) {
    const uint32_t count = len - 6;
    if (n != count / 2 - 1) ++bad_port_lengths;
    std::deque<uint8_t> &q = port[b[2]];
    for (uint32_t i = 0; i < count; ++i) {
      b[6 + i] = q.empty() ? 0 : q.front();
      if (!q.empty()) q.pop_front();
    }
    return read_result;
  }
  return FakeChip::OnRead(b, len);
}

int FakeImageChip::GetImageCb(uint8_t *image, uint32_t index) {
  FakeImageChip *c = self_;
  c->events.push_back("get:" + std::to_string(index));
  if (!c->images.empty()) {
    const std::vector<uint8_t> &img = c->images[std::min<size_t>(index, c->images.size() - 1)];
    std::memcpy(image, img.data(), img.size());
  }
  return index < c->image_results.size() ? c->image_results[index] : 0;
}

void FakeImageChip::InitCb() { self_->events.push_back("init"); }
void FakeImageChip::StartCb() { self_->events.push_back("start"); }
void FakeImageChip::EndCb() { self_->events.push_back("end"); }

void FakeImageChip::BaseCb(uint8_t *base, uint16_t *len) {
  FakeImageChip *c = self_;
  c->events.push_back("base");
  if (!c->base.empty()) {
    std::memcpy(base, c->base.data(), std::min<size_t>(c->base.size(), QUORV_SPI_IMAGE_BUF_SIZE));
  }
  *len = c->base_len;
}

}  // namespace testing_support
