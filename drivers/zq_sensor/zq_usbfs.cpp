#include "drivers/zq_sensor/zq_usbfs.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/bq_log.h"

#define TAG "quorvanta:sensor"

char g_usb_dev_path[128];

namespace {

bool g_usb_dev_path_recorded = false;

// Start of the bus and device numbers in an lsusb line
// ("Bus 001 Device 002: ID 3c5d:4842 ...") and their width.
constexpr size_t kBusOffset = 4;
constexpr size_t kDeviceOffset = 15;
constexpr size_t kNumberWidth = 3;

}  // namespace

extern "C" int get_system_console_return_value(const char *command,
                                               char out[ZQ_CONSOLE_BUF_SIZE]) {
  if (command == nullptr || out == nullptr) return -1;
  char buf[ZQ_CONSOLE_BUF_SIZE] = {};
  FILE *pipe = popen(command, "r");
  if (pipe == nullptr) {
    std::memcpy(out, buf, sizeof buf);
    return -1;
  }
  int found = -1;
  size_t used = 0;
  while (fgets(buf + used, static_cast<int>(sizeof buf - used), pipe) != nullptr) {
    if (std::strstr(buf + used, "ID 3c5d") != nullptr) {
      found = static_cast<int>(used);
      break;
    }
    used += std::strlen(buf + used);
    if (used > ZQ_CONSOLE_TEXT_MAX) {
      BQ_LOG_ERROR_MSG(TAG, "buff too long ");
      break;
    }
  }
  std::memcpy(out, buf, sizeof buf);
  pclose(pipe);
  return found;
}

extern "C" int m_usb_reset(const char *node) {
  int fd = node != nullptr ? open(node, O_WRONLY | O_CLOEXEC) : -1;
  if (fd < 0) {
    BQ_LOG_ERROR_MSG(TAG, "Error opening output file,%s", node != nullptr ? node : "(null)");
    return 1;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Resetting USB device %s\n", __LINE__, node);
  int r = ioctl(fd, USBDEVFS_RESET, 0);
  close(fd);
  if (r < 0) return 1;
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:Reset successful\n", __LINE__);
  return 0;
}

extern "C" int isNeedResetUsb(void) {
  static char out[ZQ_CONSOLE_BUF_SIZE];
  int offset = get_system_console_return_value("lsusb", out);
  if (offset < 0) {
    BQ_LOG_ERROR_MSG(TAG, "quorv device not found\n");
    if (g_usb_dev_path_recorded) m_usb_reset(g_usb_dev_path);
    return 0;
  }
  if (g_usb_dev_path_recorded) return 0;
  const char *line = out + offset;
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:find quorv device ,is %s \n", __LINE__, line);
  if (strnlen(line, kDeviceOffset + kNumberWidth) < kDeviceOffset + kNumberWidth) {
    BQ_LOG_ERROR_MSG(TAG, "name =%s\n", line);
    return 0;
  }
  snprintf(g_usb_dev_path, sizeof g_usb_dev_path, "/dev/bus/usb/%.*s/%.*s",
           static_cast<int>(kNumberWidth), line + kBusOffset, static_cast<int>(kNumberWidth),
           line + kDeviceOffset);
  BQ_LOG_ERROR_MSG(TAG, "name =%s\n", g_usb_dev_path);
  g_usb_dev_path_recorded = true;
  return 0;
}
