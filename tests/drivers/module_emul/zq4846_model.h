// The emulated module of type 2 (products 0x3b11 to 0x3b1a): a sensor behind
// its own MCU answering the framed commands 0x34 (alive), 0x37 (ATC switch),
// 0x80 with 0x02 (finger), 0x03 (columns), 0x04 (rows), 0x05 (chip id), 0x81
// (frame scan), 0x82 with 0x78 (clear image) and 0x72 (hardware reset).
// Other commands get status 0x01.
//
// - Presses: a queue of synthetic frames. 0x80/0x02 answers 1 while one is
//   pending; 0x81 sends the oldest and consumes it: 8-bit pixels (the frame's
//   gray image), or with `sixteen_bit` little-endian samples (the frame's raw
//   samples, ridges high). Without a press it sends the empty sensor.
// - A reply is the frame of its answer (the host reads a fixed 64 or 0x5800
//   bytes and gets what was sent).
#ifndef TESTS_DRIVERS_MODULE_EMUL_ZQ4846_MODEL_H_
#define TESTS_DRIVERS_MODULE_EMUL_ZQ4846_MODEL_H_

#include <deque>

#include "fingers/image.h"
#include "module_emul/framed_model.h"

namespace module_emul {

struct Zq4846Config {
  uint16_t chip_id = 0x4843;
  uint8_t cols = 80;
  uint8_t rows = 128;
  bool sixteen_bit = false;  // the scan sends 16-bit samples
  uint8_t empty_gray = 215;  // empty sensor, 8-bit
  uint16_t empty_raw = 900;  // empty sensor, raw
};

// The configuration of a product: 0x3b11-0x3b14 80 x 128 8-bit (chip
// 0x4843), 0x3b15/16/18/19/1a 80 x 64, 16-bit except 0x3b18.
Zq4846Config Zq4846ConfigFor(uint16_t product_id);

class Zq4846Model : public FramedModel {
 public:
  explicit Zq4846Model(Zq4846Config config = {});

  // Queues a press (cols x rows; raw samples needed for a 16-bit module).
  void Press(fingers::Frame frame);
  size_t PendingPresses() const;
  // Replaces the answers to the size queries.
  void SetSize(uint8_t cols, uint8_t rows);

  // Last ATC switch value (-1 before any), and counts of image clears and
  // hardware resets.
  int Atc() const;
  unsigned Clears() const;
  unsigned HwResets() const;

 protected:
  std::vector<uint8_t> AnswerLocked(uint8_t command, std::span<const uint8_t> payload) override;

 private:
  Zq4846Config config_;
  std::deque<fingers::Frame> presses_;
  int atc_ = -1;
  unsigned clears_ = 0, hw_resets_ = 0;
};

}  // namespace module_emul

#endif  // TESTS_DRIVERS_MODULE_EMUL_ZQ4846_MODEL_H_
