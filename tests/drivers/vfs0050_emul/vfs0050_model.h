// An emulated Validity VFS0050 swipe sensor (0x138a:0x0050) for the usb_emul
// testbed: it answers the command packets, the clear byte and the set-up
// blob, and plays scripted finger events (an interrupt message and the line
// records of a swipe) each time the host waits for a finger.
//
// Behaviour chosen for the emulation (the real sensor's answers are not
// known beyond their sizes):
// - every command packet (first byte 0x39, 125 bytes) and the clear byte
//   0x04 are answered with 2 bytes on 0x81;
// - the set-up blob (first byte 0x02, 985 bytes) is answered with 1106 bytes
//   on 0x81 and the empty interrupt message on 0x83;
// - after packet 1 and its set-up sequence the sensor is armed: the first
//   5-byte interrupt read after the drain of 0x83 gets the next scripted
//   event; its line records are queued on 0x82 at the same time.
#ifndef TESTS_DRIVERS_VFS0050_EMUL_VFS0050_MODEL_H_
#define TESTS_DRIVERS_VFS0050_EMUL_VFS0050_MODEL_H_

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "emul/device_desc.h"
#include "emul/device_model.h"
#include "fingers/swipe.h"

namespace vfs0050_emul {

// The device's description: one interface with bulk 0x01, 0x81, 0x82 and
// interrupt 0x83.
usb_emul::DeviceDesc Vfs0050Desc(uint8_t address = 2);

// One thing the sensor reports when the host next waits for a finger.
struct FingerEvent {
  std::vector<uint8_t> interrupt;  // the interrupt message (any length)
  std::vector<uint8_t> lines;      // line records queued on 0x82 with it
};

class Vfs0050Model : public usb_emul::DeviceModel {
 public:
  // Adds an event to play at a later finger wait.
  void AddEvent(FingerEvent event);
  // Replaces the empty message that answers the set-up blob.
  void SetSetupInterrupt(std::vector<uint8_t> message);
  // The commands received on 0x01, framed: the clear byte, packets, blobs.
  std::vector<std::vector<uint8_t>> Commands() const;
  // Events not yet played.
  size_t PendingEvents() const;
  // Finger waits that found no event to play.
  unsigned IdleWaits() const;
  // Makes the device refuse (or accept again) claims of its interface.
  void RefuseClaim(bool refuse);

  usb_emul::Reply Out(usb_emul::Device &dev, uint8_t endpoint,
                      std::span<const uint8_t> data) override;
  void InRequested(usb_emul::Device &dev, uint8_t endpoint, size_t length) override;
  bool Claim(usb_emul::Device &dev, unsigned number) override;

 private:
  enum class Arm { kIdle, kPacket1Sent, kArmed };
  void HandleCommand(usb_emul::Device &dev, const std::vector<uint8_t> &command);

  mutable std::mutex mu_;
  std::vector<uint8_t> pending_out_;
  std::vector<std::vector<uint8_t>> commands_;
  std::deque<FingerEvent> events_;
  std::vector<uint8_t> setup_interrupt_ = std::vector<uint8_t>(5, 0);
  Arm arm_ = Arm::kIdle;
  unsigned idle_waits_ = 0;
  bool refuse_claim_ = false;
};

// Marker bytes 4 and 5 of line records: outside [41, 215] while the finger
// is on the sensor, inside it for an empty line.
inline constexpr uint8_t kFingerMarker = 0x10;
inline constexpr uint8_t kBlankMarker = 0x80;

// A line record: `pixels` (100) at bytes 8.., `ahead` (32) at bytes 108..,
// both markers `marker`.
std::vector<uint8_t> LineRecord(const uint8_t *pixels, const uint8_t *ahead, uint8_t marker);

// The records of a swipe as the sensor's two rows see it: pixels from
// `main`, the 32 look-ahead bytes from pixels 33..64 of the same line of
// `ahead` (the swipe rendered a few master pixels further along). Lines whose
// mean grey is at least `blank_level` are marked empty. Both swipes must have
// 100-pixel lines and the same number of lines.
std::vector<uint8_t> SwipeRecords(const fingers::Swipe &main, const fingers::Swipe &ahead,
                                  int blank_level = 200);

// Records of `count` finger lines whose look-ahead bytes repeat pixels
// 33..64 of the line `step` lines later (lines past the end look ahead at
// nothing in particular), then `blank` empty lines: a swipe whose best
// matches are known.
std::vector<uint8_t> SteppedRecords(size_t count, size_t step, size_t blank = 0);

// The interrupt message announcing a finger (02 00 0e 00 f0).
std::vector<uint8_t> FingerInterrupt();

}  // namespace vfs0050_emul

#endif  // TESTS_DRIVERS_VFS0050_EMUL_VFS0050_MODEL_H_
