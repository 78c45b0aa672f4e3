#include "plugin/plugin_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "plugin/community_presence.h"

namespace plugin_test {

const char kEnabledConfig[] = "[zq4842]\nEnable=true\n";

ServiceHost::ServiceHost(const char *config, const char *library) {
  conf_ = g_key_file_new();
  if (!g_key_file_load_from_data(conf_, config, static_cast<gsize>(-1), G_KEY_FILE_NONE, nullptr))
    std::abort();
  quorvanta_library_path = library;
  configure_result_ = ops_configure(&dev_, conf_);
}

ServiceHost::~ServiceHost() {
  if (dev_.dev_priv != nullptr) community_ops_free(&dev_);
  g_key_file_free(conf_);
}

UsbDevices::UsbDevices() {
  char pattern[] = "/tmp/zq4842-usb.XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  dir_ = pattern;
  std::filesystem::create_directories(dir_ + "/sys");
  community_set_usb_devices_dir((dir_ + "/sys").c_str());
  community_set_usb_nodes_dir((dir_ + "/dev").c_str());
}

UsbDevices::~UsbDevices() {
  community_set_usb_devices_dir(nullptr);
  community_set_usb_nodes_dir(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

namespace {

// Bus and address of device "B-N".
std::pair<int, int> BusAndAddress(const std::string &name) {
  return {std::atoi(name.c_str()), std::atoi(name.c_str() + name.find('-') + 1)};
}

}  // namespace

void UsbDevices::Plug(const std::string &name, unsigned vendor, unsigned product) {
  std::string folder = dir_ + "/sys/" + name;
  std::filesystem::create_directories(folder);
  char text[16];
  std::snprintf(text, sizeof text, "%04x\n", vendor);
  std::ofstream(folder + "/idVendor") << text;
  std::snprintf(text, sizeof text, "%04x\n", product);
  std::ofstream(folder + "/idProduct") << text;
  auto [bus, address] = BusAndAddress(name);
  std::ofstream(folder + "/busnum") << bus << "\n";
  std::ofstream(folder + "/devnum") << address << "\n";
  std::filesystem::create_directories(std::filesystem::path(Node(name)).parent_path());
  std::ofstream(Node(name));
}

void UsbDevices::Unplug(const std::string &name) {
  std::error_code ignored;
  std::filesystem::remove_all(dir_ + "/sys/" + name, ignored);
  std::filesystem::remove(Node(name), ignored);
}

void UsbDevices::RemoveNode(const std::string &name) {
  std::error_code ignored;
  std::filesystem::remove(Node(name), ignored);
}

void UsbDevices::RemoveNodes() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_ + "/dev", ignored);
}

void UsbDevices::Clear() {
  std::error_code ignored;
  for (const auto &entry : std::filesystem::directory_iterator(dir_ + "/sys", ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  RemoveNodes();
}

std::string UsbDevices::Node(const std::string &name) const {
  auto [bus, address] = BusAndAddress(name);
  char text[32];
  std::snprintf(text, sizeof text, "/dev/%03d/%03d", bus, address);
  return dir_ + text;
}

std::string Captured(const std::function<void()> &action, int fd) {
  OutputCapture capture(fd);
  action();
  return capture.Text();
}

}  // namespace plugin_test
