// The readable description of an emulated USB device and the descriptor
// bytes built from it.
#ifndef TESTS_EMUL_DEVICE_DESC_H_
#define TESTS_EMUL_DEVICE_DESC_H_

#include <linux/usbdevice_fs.h>

#include <cstdint>
#include <string>
#include <vector>

namespace usb_emul {

// Endpoint transfer types, numbered as in bmAttributes.
enum class TransferType : uint8_t { kControl = 0, kIsochronous = 1, kBulk = 2, kInterrupt = 3 };

// Bus speeds, shown in sysfs as "1.5", "12", "480" and "5000".
enum class Speed { kLow, kFull, kHigh, kSuper };

// One endpoint: address with its direction bit (0x81 is IN 1), type, packet size.
struct EndpointDesc {
  uint8_t address = 0x81;
  TransferType type = TransferType::kBulk;
  uint16_t max_packet_size = 512;
  uint8_t interval = 0;
};

// One interface setting with its endpoints.
struct InterfaceDesc {
  uint8_t number = 0;
  uint8_t alternate = 0;
  uint8_t interface_class = 0xff;
  uint8_t interface_subclass = 0;
  uint8_t interface_protocol = 0;
  std::vector<EndpointDesc> endpoints = {};
};

// One configuration with its interfaces.
struct ConfigDesc {
  uint8_t value = 1;
  uint8_t attributes = 0x80;
  uint8_t max_power = 50;  // in units of 2 mA
  std::vector<InterfaceDesc> interfaces = {};
};

// What usbfs advertises on a modern host controller: every bulk transfer in one URB.
inline constexpr uint32_t kDefaultCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
// A controller without size limits lifted: libusb splits bulk transfers into 16 KiB URBs.
inline constexpr uint32_t kSplittingCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION;

// A whole device: identity, place on the bus, strings and configurations.
struct DeviceDesc {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t bcd_device = 0x0100;
  uint16_t bcd_usb = 0x0200;
  uint8_t device_class = 0;
  uint8_t device_subclass = 0;
  uint8_t device_protocol = 0;
  uint8_t max_packet_size0 = 64;
  uint8_t bus = 1;
  uint8_t address = 2;  // device number on the bus, 1..127
  Speed speed = Speed::kHigh;
  std::string manufacturer = {};  // string descriptors; empty means index 0
  std::string product = {};
  std::string serial = {};
  std::vector<ConfigDesc> configurations = {};
  uint32_t capabilities = kDefaultCapabilities;  // answer to USBDEVFS_GET_CAPABILITIES
};

// The 18-byte device descriptor.
std::vector<uint8_t> DeviceDescriptor(const DeviceDesc &desc);
// Configuration `index` with its interface and endpoint descriptors; empty if out of range.
std::vector<uint8_t> ConfigDescriptor(const DeviceDesc &desc, size_t index);
// String descriptor `index` (0 is the language list); empty if the string does not exist.
std::vector<uint8_t> StringDescriptor(const DeviceDesc &desc, uint8_t index);
// The sysfs "descriptors" attribute: the device descriptor, then every configuration.
std::vector<uint8_t> SysfsDescriptors(const DeviceDesc &desc);
// sysfs "speed" text of `speed`.
const char *SpeedText(Speed speed);
// The usb_device_speed number GET_SPEED reports.
int SpeedCode(Speed speed);
// "/dev/bus/usb/BBB/DDD" of the device.
std::string DevNode(const DeviceDesc &desc);
// Checks the description (addresses, unique endpoints, at least one configuration);
// returns an empty string or what is wrong.
std::string Validate(const DeviceDesc &desc);

}  // namespace usb_emul

#endif  // TESTS_EMUL_DEVICE_DESC_H_
