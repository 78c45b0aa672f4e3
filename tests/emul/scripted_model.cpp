#include "emul/scripted_model.h"

namespace usb_emul {

void ScriptedModel::OnControl(uint8_t request_type, uint8_t request, ControlFn fn) {
  std::lock_guard<std::mutex> lock(mu_);
  controls_[{request_type, request}] = std::move(fn);
}

void ScriptedModel::OnControl(uint8_t request_type, uint8_t request, Reply reply) {
  OnControl(request_type, request,
            [reply](Device &, const SetupPacket &, std::span<const uint8_t>) { return reply; });
}

void ScriptedModel::OnOut(uint8_t endpoint, OutFn fn) {
  std::lock_guard<std::mutex> lock(mu_);
  outs_[endpoint] = std::move(fn);
}

std::vector<uint8_t> ScriptedModel::Received(uint8_t endpoint) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = received_.find(endpoint);
  return it == received_.end() ? std::vector<uint8_t>{} : it->second;
}

unsigned ScriptedModel::resets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return resets_;
}

Reply ScriptedModel::Control(Device &dev, const SetupPacket &setup, std::span<const uint8_t> data) {
  ControlFn fn;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = controls_.find({setup.request_type, setup.request});
    if (it == controls_.end()) return Reply::Stall();
    fn = it->second;
  }
  return fn(dev, setup, data);
}

Reply ScriptedModel::Out(Device &dev, uint8_t endpoint, std::span<const uint8_t> data) {
  OutFn fn;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = outs_.find(endpoint);
    if (it != outs_.end()) fn = it->second;
  }
  Reply reply = fn ? fn(dev, data) : Reply::Ack();
  if (reply.kind == Reply::Kind::kAck) {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<uint8_t> &all = received_[endpoint];
    all.insert(all.end(), data.begin(), data.end());
  }
  return reply;
}

void ScriptedModel::Reset(Device &) {
  std::lock_guard<std::mutex> lock(mu_);
  ++resets_;
}

}  // namespace usb_emul
