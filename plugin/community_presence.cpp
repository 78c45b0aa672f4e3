#include "plugin/community_presence.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

const char kSysfsUsbDevices[] = "/sys/bus/usb/devices";
const char kUsbNodes[] = "/dev/bus/usb";

std::mutex g_dir_mutex;
std::string g_dir = kSysfsUsbDevices;
std::string g_nodes_dir = kUsbNodes;

std::string devices_dir() {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  return g_dir;
}

std::string nodes_dir() {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  return g_nodes_dir;
}

// Reads a number file in `base` ("2\n", "3c5d\n"); -1 when it is missing,
// not one, or outside [lo, hi].
long read_number(const std::string &path, int base, long lo, long hi) {
  std::FILE *f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return -1;
  char text[16] = {};
  bool ok = std::fgets(text, sizeof text, f) != nullptr;
  std::fclose(f);
  if (!ok) return -1;
  char *end = nullptr;
  long v = std::strtol(text, &end, base);
  if (end == text || (*end != '\0' && *end != '\n') || v < lo || v > hi) return -1;
  return v;
}

// True when the kernel answers "no device" for the USB device at bus/address:
// its node is gone from a bus folder that is there, or opening the node or
// asking it for its connection fails with ENODEV. The kernel answers so from
// the moment the device's transfers fail, while its sysfs entry may linger.
// A node that cannot be asked (no bus folder, no permission) says nothing.
bool answers_no_device(long bus, long address) {
  char name[24];
  std::snprintf(name, sizeof name, "/%03ld", bus);
  std::string bus_dir = nodes_dir() + name;
  std::snprintf(name, sizeof name, "/%03ld", address);
  std::string node = bus_dir + name;
  // usbfs answers ioctls on descriptors open for writing only.
  int fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    struct stat st;
    return errno == ENODEV || (errno == ENOENT && stat(bus_dir.c_str(), &st) == 0);
  }
  struct usbdevfs_connectinfo info = {};
  bool gone = ioctl(fd, USBDEVFS_CONNECTINFO, &info) < 0 && errno == ENODEV;
  close(fd);
  return gone;
}

// Reads a hexadecimal id file ("3c5d\n"); -1 when it is missing or not one.
long read_id(const std::string &path) { return read_number(path, 16, 0, 0xffff); }

bool in_table(const struct usb_id *table, long vendor, long product) {
  for (const struct usb_id *row = table; row != nullptr && row->idVendor != 0; ++row)
    if (row->idVendor == vendor && row->idProduct == product) return true;
  return false;
}

}  // namespace

extern "C" {

int community_present_devices(const bio_dev *dev) {
  std::string dir = devices_dir();
  DIR *d = opendir(dir.c_str());
  if (d == nullptr) return 0;
  int count = 0;
  while (struct dirent *entry = readdir(d)) {
    if (entry->d_name[0] == '.') continue;
    std::string base = dir + "/" + entry->d_name + "/";
    // Interfaces ("1-2:1.0") carry no ids and are skipped here.
    long vendor = read_id(base + "idVendor");
    long product = read_id(base + "idProduct");
    if (vendor < 0 || product < 0 || !in_table(dev->usb_info.id_table, vendor, product)) continue;
    // A device that went is not counted while its entry lingers.
    long bus = read_number(base + "busnum", 10, 1, 999);
    long address = read_number(base + "devnum", 10, 1, 999);
    if (bus > 0 && address > 0 && answers_no_device(bus, address)) continue;
    ++count;
  }
  closedir(d);
  return count;
}

void community_set_usb_devices_dir(const char *dir) {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  g_dir = dir != nullptr ? dir : kSysfsUsbDevices;
}

void community_set_usb_nodes_dir(const char *dir) {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  g_nodes_dir = dir != nullptr ? dir : kUsbNodes;
}

}  // extern "C"
