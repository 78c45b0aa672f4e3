// The common part of the emulated modules with an MCU of their own: framed
// commands on bulk OUT (02 | length | command | payload | xor), one framed
// reply per command on bulk IN, and the faults a test can inject.
//
// - A request is answered by Answer() once its last byte arrived (the stream
//   is framed by its length field, never by URB). Bytes that cannot start a
//   frame are dropped. A request with a bad check byte gets status 0x03.
// - Replies wait in a queue; a bulk IN takes the next one, and one with no
//   reply waiting is never answered (the host times out).
// - DropOut/DropIn make the next transfers fail at once (OUT: a STALL before
//   the module sees the data; IN: the endpoint stalls, the reply stays
//   queued), as a module losing frames does. The host's USB reset clears
//   the halt; the module's state survives it.
//
// Thread rules: callbacks run on umockdev's worker thread; every public
// member is thread-safe.
#ifndef TESTS_DRIVERS_MODULE_EMUL_FRAMED_MODEL_H_
#define TESTS_DRIVERS_MODULE_EMUL_FRAMED_MODEL_H_

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "emul/device.h"
#include "emul/device_model.h"

namespace module_emul {

// Reply status of success, and of a request the module rejects.
inline constexpr uint8_t kStatusOk = 0x04;
inline constexpr uint8_t kStatusBadCheck = 0x03;
inline constexpr uint8_t kStatusUnknown = 0x01;

// The frame 02 | 1 + payload (big-endian) | code | payload | xor of bytes 1...
std::vector<uint8_t> Frame(uint8_t code, std::span<const uint8_t> payload = {});

// One request as the module received it.
struct Request {
  uint8_t command = 0;
  std::vector<uint8_t> payload;
  bool operator==(const Request &) const = default;
};

class FramedModel : public usb_emul::DeviceModel {
 public:
  // --- test controls ---
  // The next `count` bulk OUT transfers fail before the module sees them.
  void DropOut(unsigned count);
  // The next `count` bulk IN transfers fail; the reply stays queued.
  void DropIn(unsigned count);
  // The reply to the next request is `bytes` exactly, whatever it asked.
  void ReplaceNextReply(std::vector<uint8_t> bytes);
  // The replies to the next `count` requests carry `status` and no payload.
  void FailNext(uint8_t status, unsigned count = 1);

  // --- observations ---
  // Every complete request, in order.
  std::vector<Request> Requests() const;
  // USB resets seen.
  unsigned Resets() const;

  // --- usb_emul::DeviceModel ---
  usb_emul::Reply Out(usb_emul::Device &dev, uint8_t endpoint,
                      std::span<const uint8_t> data) override;
  void InRequested(usb_emul::Device &dev, uint8_t endpoint, size_t length) override;
  void Reset(usb_emul::Device &dev) override;

 protected:
  // The whole reply frame to `command` with `payload`; called under mu_.
  virtual std::vector<uint8_t> AnswerLocked(uint8_t command, std::span<const uint8_t> payload) = 0;

  mutable std::mutex mu_;

 private:
  void TakeFramesLocked();

  std::vector<uint8_t> stream_;
  std::deque<std::vector<uint8_t>> replies_;
  std::vector<Request> requests_;
  std::optional<std::vector<uint8_t>> replacement_;
  uint8_t fail_status_ = 0;
  unsigned fail_count_ = 0;
  unsigned drop_out_ = 0;
  unsigned drop_in_ = 0;
  unsigned resets_ = 0;
};

}  // namespace module_emul

#endif  // TESTS_DRIVERS_MODULE_EMUL_FRAMED_MODEL_H_
