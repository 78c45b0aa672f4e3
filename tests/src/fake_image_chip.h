// FakeChip with image memory and the host's image callbacks: serves the
// SRAM image reads (`04 FB`, byte addresses from 0x3400 on types 1 and 7,
// word addresses from 0x9A00 on types 2 and 3), the data-port streams
// (`06 F9 port 05`), and registers GetImage, ReadImageInit/Start/End and
// GetImageBase, recording every callback in `events`.
#ifndef TESTS_SRC_FAKE_IMAGE_CHIP_H_
#define TESTS_SRC_FAKE_IMAGE_CHIP_H_

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_chip.h"

namespace testing_support {

class FakeImageChip : public FakeChip {
 public:
  // Registers the image callbacks too; `image_callbacks` false leaves them
  // unregistered (set them one by one with the Register* functions).
  explicit FakeImageChip(uint8_t chip_type, bool image_callbacks = true);
  ~FakeImageChip() override;

  // Image SRAM contents (byte 0 is address 0x3400, or word 0x9A00).
  std::vector<uint8_t> sram_image;
  // ESD bytes answered in bytes 6 and 7 of a 0x3400 read (else correct for
  // the transfer size of that read's first chunk).
  std::optional<std::pair<uint8_t, uint8_t>> esd;
  // Bytes each data port streams out, consumed chunk by chunk (0 when dry).
  std::map<uint8_t, std::deque<uint8_t>> port;
  // Data-port chunks whose length field disagreed with their size.
  int bad_port_lengths = 0;

  // GetImage: image i of `images` (the last one again past the end), and
  // the result at index i of `image_results` (0 past the end).
  std::vector<std::vector<uint8_t>> images;
  std::vector<int> image_results;
  // GetImageBase: copied to baseBuf with `base_len` as baseLen.
  std::vector<uint8_t> base;
  uint16_t base_len = 0;

  // "init", "start", "end", "base", "get:<index>" in call order.
  std::vector<std::string> events;

  // Appends big-endian 16-bit samples to a port's stream.
  void StreamSamples(uint8_t port_byte, const std::vector<int> &samples);

  static void RegisterGetImage(bool on);
  static void RegisterStart(bool on);
  static void RegisterEnd(bool on);
  static void RegisterInit(bool on);
  static void RegisterBase(bool on);

 protected:
  int OnRead(uint8_t *buf, uint32_t len) override;

 private:
  static int GetImageCb(uint8_t *image, uint32_t index);
  static void InitCb();
  static void StartCb();
  static void EndCb();
  static void BaseCb(uint8_t *base, uint16_t *len);
  static FakeImageChip *self_;
};

}  // namespace testing_support

#endif  // TESTS_SRC_FAKE_IMAGE_CHIP_H_
