#include "emul/testbed.h"

#include <dlfcn.h>
#include <unistd.h>
#include <umockdev.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "emul/scheduler.h"

namespace usb_emul {
namespace {

std::string Hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v & 0xffff);
  return text;
}

std::string Format(const char *fmt, unsigned a, unsigned b) {
  char text[64];
  std::snprintf(text, sizeof text, fmt, a, b);
  return text;
}

// The attribute files of a device folder, all but its uevent file.
const char *const kSysfsAttributes[] = {
    "busnum",    "devnum",  "speed", "bConfigurationValue", "bNumConfigurations", "idVendor",
    "idProduct", "bcdDevice", "dev", "maxchild",            "descriptors"};

bool PreloadLoaded() {
  void *h = dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (h == nullptr) return false;
  dlclose(h);
  return true;
}

}  // namespace

std::string CheckTmpdir() {
  const char *value = std::getenv("TMPDIR");
  std::string dir = value != nullptr && *value != '\0' ? value : "/tmp";
  if (dir.size() <= kMaxTmpdirLength) return "";
  return "usb_emul: $TMPDIR is " + std::to_string(dir.size()) + " characters long (" + dir +
         "); umockdev's socket paths must fit sun_path, so it must be at most " +
         std::to_string(kMaxTmpdirLength) + " characters (for example TMPDIR=/tmp)";
}

Testbed::Testbed() {
  std::string why = CheckTmpdir();
  if (!why.empty()) throw std::runtime_error(why);
  if (!PreloadLoaded())
    throw std::runtime_error(
        "usb_emul: libumockdev-preload is not loaded; link the test binary with usb_emul, "
        "which links it with --no-as-needed");
  testbed_ = umockdev_testbed_new();
  if (testbed_ == nullptr) throw std::runtime_error("usb_emul: umockdev_testbed_new failed");
  scheduler_ = std::make_unique<Scheduler>();
}

Testbed::~Testbed() {
  scheduler_.reset();  // no late answer may run once devices go
  for (const auto &dev : devices_)
    umockdev_testbed_detach_ioctl(testbed_, dev->devnode().c_str(), nullptr);
  devices_.clear();
  g_object_unref(testbed_);
}

Device &Testbed::AddDevice(const DeviceDesc &desc, std::shared_ptr<DeviceModel> model) {
  std::string why = Validate(desc);
  if (!why.empty()) throw std::invalid_argument("usb_emul: bad device description: " + why);
  for (const auto &dev : devices_)
    if (dev->desc().bus == desc.bus && dev->desc().address == desc.address)
      throw std::invalid_argument("usb_emul: two devices at " + DevNode(desc));
  auto dev = std::make_unique<Device>(desc, std::move(model), scheduler_.get());

  // The handler must be in place before the node exists.
  GError *error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, dev->devnode().c_str(), dev->handler_, &error)) {
    std::string text = error != nullptr ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("usb_emul: cannot attach the ioctl handler: " + text);
  }

  const ConfigDesc &config = desc.configurations.front();
  unsigned minor = (desc.bus - 1u) * 128u + (desc.address - 1u);
  std::string name = Format("%u-%u", desc.bus, desc.address);
  std::string busnum = std::to_string(desc.bus), devnum = std::to_string(desc.address);
  std::string dev_attr = "189:" + std::to_string(minor);
  std::string vid = Hex4(desc.vendor_id), pid = Hex4(desc.product_id);
  std::string bcd = Hex4(desc.bcd_device), config_value = std::to_string(config.value);
  std::string num_configs = std::to_string(desc.configurations.size());
  std::string product = Format("%x/%x", desc.vendor_id, desc.product_id) + "/" +
                        Format("%x", desc.bcd_device, 0);
  std::string busnum3 = Format("%03u", desc.bus, 0), devnum3 = Format("%03u", desc.address, 0);
  std::string minor_text = std::to_string(minor);
  const char *attributes[] = {"busnum", busnum.c_str(), "devnum", devnum.c_str(), "speed",
                              SpeedText(desc.speed), "bConfigurationValue", config_value.c_str(),
                              "bNumConfigurations", num_configs.c_str(), "idVendor", vid.c_str(),
                              "idProduct", pid.c_str(), "bcdDevice", bcd.c_str(), "dev",
                              dev_attr.c_str(), "maxchild", "0", nullptr};
  const char *properties[] = {"DEVNAME", dev->devnode().c_str(), "DEVTYPE", "usb_device",
                              "BUSNUM", busnum3.c_str(), "DEVNUM", devnum3.c_str(), "MAJOR", "189",
                              "MINOR", minor_text.c_str(), "PRODUCT", product.c_str(),
                              "ID_VENDOR_ID", vid.c_str(), "ID_MODEL_ID", pid.c_str(), "ID_BUS",
                              "usb", nullptr};
  gchar *syspath = umockdev_testbed_add_devicev(testbed_, "usb", name.c_str(), nullptr,
                                                const_cast<gchar **>(attributes),
                                                const_cast<gchar **>(properties));
  if (syspath == nullptr) throw std::runtime_error("usb_emul: cannot add " + name);
  dev->syspath_ = syspath;
  g_free(syspath);
  std::vector<uint8_t> descriptors = SysfsDescriptors(desc);
  umockdev_testbed_set_attribute_binary(testbed_, dev->syspath_.c_str(), "descriptors",
                                        descriptors.data(), static_cast<gint>(descriptors.size()));
  dev->OpenReadinessFifo(root_dir() + dev->devnode());
  devices_.push_back(std::move(dev));
  return *devices_.back();
}

void Testbed::Unplug(Device &dev, std::chrono::milliseconds linger) {
  dev.Unplug();
  // The kernel's order: the device's attributes and its link in the bus's
  // device list go, then the "remove" uevent is sent, then the bare folder
  // goes. umockdev builds the uevent from the folder's uevent file and
  // subsystem link, which stay until the end.
  if (linger.count() > 0) {
    umockdev_testbed_uevent(testbed_, dev.syspath_.c_str(), "remove");
    std::this_thread::sleep_for(linger);
  }
  std::string folder = root_dir() + dev.syspath_;
  for (const char *attribute : kSysfsAttributes) unlink((folder + "/" + attribute).c_str());
  std::string name = folder.substr(folder.rfind('/') + 1);
  unlink((root_dir() + "/sys/bus/usb/devices/" + name).c_str());
  if (linger.count() == 0) umockdev_testbed_uevent(testbed_, dev.syspath_.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, dev.syspath_.c_str());
}

Device &Testbed::PlugIn(DeviceDesc desc, std::shared_ptr<DeviceModel> model) {
  for (unsigned address = desc.address;; ++address) {
    if (address > 127) throw std::runtime_error("usb_emul: no free bus address left");
    bool used = false;
    for (const auto &dev : devices_)
      used = used || (dev->desc().bus == desc.bus && dev->desc().address == address);
    if (used) continue;
    desc.address = static_cast<uint8_t>(address);
    break;
  }
  Device &dev = AddDevice(desc, std::move(model));
  umockdev_testbed_uevent(testbed_, dev.syspath_.c_str(), "add");
  return dev;
}

std::string Testbed::root_dir() const {
  gchar *dir = umockdev_testbed_get_root_dir(testbed_);
  std::string out = dir;
  g_free(dir);
  return out;
}

}  // namespace usb_emul
