// The emulated module of type 1 (product 0x3b17): a 128 x 80 sensor behind
// its own MCU, answering the framed commands 0x31, 0x32, 0x35, 0x36, 0x37,
// 0x38, 0x3C, 0x44, 0x88, 0xB0 and 0xB1 (others get status 0x01).
//
// - Presses: a queue of 8-bit host images (width x height, dark ridges, as
//   fingers::Render makes them). 0x88 answers A5 5A while one is pending;
//   0x35 sends the oldest as the module does (the left 64-column half of
//   every row, then the right halves) and consumes it; without a press it
//   sends the empty sensor (215).
// - Raw frames (0x36): 10240 16-bit samples, high byte first, 64 columns;
//   the level follows the DAC pair (one DAC step moves it by 400 counts).
//   StuckSamples() puts a value into the next frame at the first samples the
//   dead-pixel test examines.
// - Interrupt test: 0x31 ic arms IC ic; 0x32 answers 0 for IntPolls() polls,
//   then ic; an IC marked dead never answers.
#ifndef TESTS_DRIVERS_MODULE_EMUL_MOC_MODEL_H_
#define TESTS_DRIVERS_MODULE_EMUL_MOC_MODEL_H_

#include <array>
#include <deque>
#include <set>

#include "module_emul/framed_model.h"

namespace module_emul {

inline constexpr uint16_t kMocProduct = 0x3b17;

struct MocConfig {
  int width = 128;
  int height = 80;
  std::array<uint8_t, 2> version = {0x12, 0x01};  // 0xB0 reply: b0, b1
  std::array<uint8_t, 2> dac = {0x80, 0x80};
  unsigned int_polls = 3;                         // 0x32 answers 0 this often first
};

class MocModel : public FramedModel {
 public:
  explicit MocModel(MocConfig config = {});

  // Queues a press with `image` (width x height host pixels).
  void Press(std::vector<uint8_t> image);
  size_t PendingPresses() const;
  // Sets the firmware version reply bytes.
  void SetVersion(uint8_t b0, uint8_t b1);
  // The IC never raises its interrupt.
  void KillInterrupt(uint8_t ic);
  // The next raw frame has `count` of the examined samples at `value`.
  void StuckSamples(int count, uint16_t value);

  std::array<uint8_t, 2> Dac() const;
  // Counts of 0x3C, 0x44 and 0xB1.
  unsigned Inits() const;
  unsigned IrqClears() const;
  unsigned SoftResets() const;

  // The raw sample a DAC pair gives at `index` (before stuck samples).
  static uint16_t RawSample(std::array<uint8_t, 2> dac, int index);

 protected:
  std::vector<uint8_t> AnswerLocked(uint8_t command, std::span<const uint8_t> payload) override;

 private:
  MocConfig config_;
  std::deque<std::vector<uint8_t>> presses_;
  std::set<uint8_t> dead_ics_;
  uint8_t armed_ic_ = 0;
  unsigned polls_left_ = 0;
  int stuck_count_ = 0;
  uint16_t stuck_value_ = 0;
  unsigned inits_ = 0, irq_clears_ = 0, soft_resets_ = 0;
};

}  // namespace module_emul

#endif  // TESTS_DRIVERS_MODULE_EMUL_MOC_MODEL_H_
