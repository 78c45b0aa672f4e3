// A device model put together from rules, for tests that need a few canned
// answers rather than a device of their own.
#ifndef TESTS_EMUL_SCRIPTED_MODEL_H_
#define TESTS_EMUL_SCRIPTED_MODEL_H_

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "emul/device_model.h"

namespace usb_emul {

class ScriptedModel : public DeviceModel {
 public:
  using ControlFn =
      std::function<Reply(Device &dev, const SetupPacket &setup, std::span<const uint8_t> data)>;
  using OutFn = std::function<Reply(Device &dev, std::span<const uint8_t> data)>;

  // Answers control requests of this bmRequestType and bRequest through `fn`.
  // The latest rule for a pair replaces earlier ones; unmatched requests stall.
  void OnControl(uint8_t request_type, uint8_t request, ControlFn fn);
  // Answers them with a fixed reply.
  void OnControl(uint8_t request_type, uint8_t request, Reply reply);
  // Answers data on OUT endpoint `endpoint` through `fn`; without a rule, data is accepted.
  void OnOut(uint8_t endpoint, OutFn fn);
  // Every byte accepted on OUT endpoint `endpoint`, joined across transfers.
  std::vector<uint8_t> Received(uint8_t endpoint) const;
  // Port resets seen so far.
  unsigned resets() const;

  Reply Control(Device &dev, const SetupPacket &setup, std::span<const uint8_t> data) override;
  Reply Out(Device &dev, uint8_t endpoint, std::span<const uint8_t> data) override;
  void Reset(Device &dev) override;

 private:
  mutable std::mutex mu_;
  std::map<std::pair<uint8_t, uint8_t>, ControlFn> controls_;
  std::map<uint8_t, OutFn> outs_;
  std::map<uint8_t, std::vector<uint8_t>> received_;
  unsigned resets_ = 0;
};

}  // namespace usb_emul

#endif  // TESTS_EMUL_SCRIPTED_MODEL_H_
