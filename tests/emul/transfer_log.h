// The record of what crossed the emulated bus, for exact wire assertions.
#ifndef TESTS_EMUL_TRANSFER_LOG_H_
#define TESTS_EMUL_TRANSFER_LOG_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "emul/device_model.h"

namespace usb_emul {

// What one log entry records.
enum class Event { kControl, kBulk, kInterrupt, kClaim, kRelease, kSetInterface, kClearHalt, kReset };

// One finished URB (in completion order) or one device request.
struct LogEntry {
  Event event = Event::kControl;
  uint8_t endpoint = 0;       // transfers and kClearHalt: endpoint address with direction bit
  SetupPacket setup;          // kControl only
  std::vector<uint8_t> data;  // OUT: the bytes sent; IN: the bytes delivered
  int status = 0;  // URB status: 0, -EPIPE stall, -ECONNRESET cancelled,
                   // -ENOENT killed by release or reset, -ENODEV unplugged, -EREMOTEIO short
  unsigned flags = 0;      // URB flags (USBDEVFS_URB_*)
  unsigned number = 0;     // kClaim, kRelease, kSetInterface: interface number
  unsigned alternate = 0;  // kSetInterface: alternate setting
  bool operator==(const LogEntry &) const = default;
};

// Readable form of an entry, used in test failure messages.
std::ostream &operator<<(std::ostream &os, const LogEntry &e);

}  // namespace usb_emul

#endif  // TESTS_EMUL_TRANSFER_LOG_H_
