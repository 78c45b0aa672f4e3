#include "emul/device_desc.h"

#include <linux/usb/ch9.h>

#include <cstdio>
#include <set>

namespace usb_emul {
namespace {

void Put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xff));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

uint8_t StringIndex(const std::string &text, uint8_t index) { return text.empty() ? 0 : index; }

}  // namespace

std::vector<uint8_t> DeviceDescriptor(const DeviceDesc &desc) {
  std::vector<uint8_t> d = {USB_DT_DEVICE_SIZE, USB_DT_DEVICE};
  Put16(d, desc.bcd_usb);
  d.push_back(desc.device_class);
  d.push_back(desc.device_subclass);
  d.push_back(desc.device_protocol);
  d.push_back(desc.max_packet_size0);
  Put16(d, desc.vendor_id);
  Put16(d, desc.product_id);
  Put16(d, desc.bcd_device);
  d.push_back(StringIndex(desc.manufacturer, 1));
  d.push_back(StringIndex(desc.product, 2));
  d.push_back(StringIndex(desc.serial, 3));
  d.push_back(static_cast<uint8_t>(desc.configurations.size()));
  return d;
}

std::vector<uint8_t> ConfigDescriptor(const DeviceDesc &desc, size_t index) {
  if (index >= desc.configurations.size()) return {};
  const ConfigDesc &c = desc.configurations[index];
  std::set<uint8_t> numbers;
  for (const InterfaceDesc &i : c.interfaces) numbers.insert(i.number);
  std::vector<uint8_t> d = {USB_DT_CONFIG_SIZE, USB_DT_CONFIG, 0, 0,
                            static_cast<uint8_t>(numbers.size()), c.value, 0, c.attributes,
                            c.max_power};
  for (const InterfaceDesc &i : c.interfaces) {
    d.insert(d.end(), {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, i.number, i.alternate,
                       static_cast<uint8_t>(i.endpoints.size()), i.interface_class,
                       i.interface_subclass, i.interface_protocol, 0});
    for (const EndpointDesc &e : i.endpoints) {
      d.insert(d.end(), {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, e.address,
                         static_cast<uint8_t>(e.type)});
      Put16(d, e.max_packet_size);
      d.push_back(e.interval);
    }
  }
  d[2] = static_cast<uint8_t>(d.size() & 0xff);
  d[3] = static_cast<uint8_t>(d.size() >> 8);
  return d;
}

std::vector<uint8_t> StringDescriptor(const DeviceDesc &desc, uint8_t index) {
  if (index == 0) return {4, USB_DT_STRING, 0x09, 0x04};
  const std::string *text = index == 1 ? &desc.manufacturer
                            : index == 2 ? &desc.product
                            : index == 3 ? &desc.serial
                                         : nullptr;
  if (text == nullptr || text->empty()) return {};
  size_t chars = std::min<size_t>(text->size(), 126);
  std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * chars), USB_DT_STRING};
  for (size_t k = 0; k < chars; ++k) Put16(d, static_cast<uint8_t>((*text)[k]));
  return d;
}

std::vector<uint8_t> SysfsDescriptors(const DeviceDesc &desc) {
  std::vector<uint8_t> d = DeviceDescriptor(desc);
  for (size_t k = 0; k < desc.configurations.size(); ++k) {
    std::vector<uint8_t> c = ConfigDescriptor(desc, k);
    d.insert(d.end(), c.begin(), c.end());
  }
  return d;
}

const char *SpeedText(Speed speed) {
  switch (speed) {
    case Speed::kLow: return "1.5";
    case Speed::kFull: return "12";
    case Speed::kHigh: return "480";
    case Speed::kSuper: return "5000";
  }
  return "480";
}

int SpeedCode(Speed speed) {
  switch (speed) {
    case Speed::kLow: return USB_SPEED_LOW;
    case Speed::kFull: return USB_SPEED_FULL;
    case Speed::kHigh: return USB_SPEED_HIGH;
    case Speed::kSuper: return USB_SPEED_SUPER;
  }
  return USB_SPEED_UNKNOWN;
}

std::string DevNode(const DeviceDesc &desc) {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", desc.bus, desc.address);
  return path;
}

std::string Validate(const DeviceDesc &desc) {
  if (desc.bus == 0) return "bus number 0";
  if (desc.address == 0 || desc.address > 127) return "device address outside 1..127";
  if (desc.configurations.empty()) return "no configuration";
  for (const ConfigDesc &c : desc.configurations) {
    std::set<uint8_t> addresses;
    for (const InterfaceDesc &i : c.interfaces) {
      for (const EndpointDesc &e : i.endpoints) {
        if ((e.address & 0x0f) == 0 || (e.address & 0x70) != 0)
          return "bad endpoint address " + std::to_string(e.address);
        if (e.type == TransferType::kControl) return "control endpoint in an interface";
        if (e.max_packet_size == 0) return "endpoint with max packet size 0";
        if (i.alternate == 0 && !addresses.insert(e.address).second)
          return "endpoint " + std::to_string(e.address) + " used twice";
      }
    }
  }
  return "";
}

}  // namespace usb_emul
