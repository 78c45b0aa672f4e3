// The interface through which a test describes how an emulated USB device
// answers. Every callback runs on umockdev's worker thread (one per testbed),
// one at a time, never with the emulator's lock held: keep callbacks short,
// lock any model state that the test thread also touches, and never call
// libusb from a callback (the worker thread serves libusb's requests).
#ifndef TESTS_EMUL_DEVICE_MODEL_H_
#define TESTS_EMUL_DEVICE_MODEL_H_

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace usb_emul {

class Device;

// The 8-byte setup stage of a control transfer, in host byte order.
struct SetupPacket {
  uint8_t request_type = 0;  // bmRequestType; bit 7 set means device-to-host (IN)
  uint8_t request = 0;       // bRequest
  uint16_t value = 0;        // wValue
  uint16_t index = 0;        // wIndex
  uint16_t length = 0;       // wLength
  bool is_in() const { return (request_type & 0x80) != 0; }
  bool operator==(const SetupPacket &) const = default;
};

// How the device answers one transfer.
struct Reply {
  enum class Kind {
    kAck,       // completes; for control IN, `data` is the data stage (cut to wLength)
    kStall,     // STALL handshake; on a bulk or interrupt endpoint it stays halted
    kWithhold,  // never answers: the host's time-out or cancel ends the transfer
  };
  Kind kind = Kind::kAck;
  std::vector<uint8_t> data;
  std::chrono::milliseconds delay{0};  // answer this long after the request arrived

  // Completes the transfer, with `data` as the IN data stage.
  static Reply Ack(std::vector<uint8_t> data = {}) { return Reply{Kind::kAck, std::move(data), {}}; }
  // Answers with a STALL handshake.
  static Reply Stall() { return Reply{Kind::kStall, {}, {}}; }
  // Never answers.
  static Reply Withhold() { return Reply{Kind::kWithhold, {}, {}}; }
  // The same answer, given `d` later.
  Reply After(std::chrono::milliseconds d) && {
    delay = d;
    return std::move(*this);
  }
};

// A device's behaviour. The default of every call is that of a device that
// accepts everything and knows no control request.
class DeviceModel {
 public:
  virtual ~DeviceModel() = default;
  // A control transfer on endpoint 0, other than the standard GET_DESCRIPTOR
  // requests that the emulator answers from the description. `data` is the
  // OUT data stage (empty for IN requests). Default: stall.
  virtual Reply Control(Device &dev, const SetupPacket &setup, std::span<const uint8_t> data);
  // Data the host sent on a bulk or interrupt OUT endpoint: one call per URB,
  // so a model frames the stream by its protocol, never by call. Default: accept.
  virtual Reply Out(Device &dev, uint8_t endpoint, std::span<const uint8_t> data);
  // The host submitted a read of up to `length` bytes on IN endpoint
  // `endpoint`; the model may answer it with Device::QueueIn. Default: nothing.
  virtual void InRequested(Device &dev, uint8_t endpoint, size_t length);
  // The host claims interface `number`; false refuses it (EBUSY). Default: accept.
  virtual bool Claim(Device &dev, unsigned number);
  // The host releases interface `number`.
  virtual void Release(Device &dev, unsigned number);
  // SET_INTERFACE; false refuses the setting (EINVAL). Default: accept.
  virtual bool SetAlternate(Device &dev, unsigned number, unsigned alternate);
  // A port reset; the emulator has already dropped queued IN data and halts.
  virtual void Reset(Device &dev);
};

}  // namespace usb_emul

#endif  // TESTS_EMUL_DEVICE_MODEL_H_
