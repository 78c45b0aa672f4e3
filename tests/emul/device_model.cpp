#include "emul/device_model.h"

namespace usb_emul {

Reply DeviceModel::Control(Device &, const SetupPacket &, std::span<const uint8_t>) {
  return Reply::Stall();
}
Reply DeviceModel::Out(Device &, uint8_t, std::span<const uint8_t>) { return Reply::Ack(); }
void DeviceModel::InRequested(Device &, uint8_t, size_t) {}
bool DeviceModel::Claim(Device &, unsigned) { return true; }
void DeviceModel::Release(Device &, unsigned) {}
bool DeviceModel::SetAlternate(Device &, unsigned, unsigned) { return true; }
void DeviceModel::Reset(Device &) {}

}  // namespace usb_emul
