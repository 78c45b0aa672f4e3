#include "plugin/community_presence.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

const char kSysfsUsbDevices[] = "/sys/bus/usb/devices";

std::mutex g_dir_mutex;
std::string g_dir = kSysfsUsbDevices;

std::string devices_dir() {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  return g_dir;
}

// Reads a hexadecimal id file ("3c5d\n"); -1 when it is missing or not one.
long read_id(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return -1;
  char text[16] = {};
  bool ok = std::fgets(text, sizeof text, f) != nullptr;
  std::fclose(f);
  if (!ok) return -1;
  char *end = nullptr;
  long v = std::strtol(text, &end, 16);
  if (end == text || (*end != '\0' && *end != '\n') || v < 0 || v > 0xffff) return -1;
  return v;
}

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
    if (vendor >= 0 && product >= 0 && in_table(dev->usb_info.id_table, vendor, product)) ++count;
  }
  closedir(d);
  return count;
}

void community_set_usb_devices_dir(const char *dir) {
  std::lock_guard<std::mutex> lock(g_dir_mutex);
  g_dir = dir != nullptr ? dir : kSysfsUsbDevices;
}

}  // extern "C"
