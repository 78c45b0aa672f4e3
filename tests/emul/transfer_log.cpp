#include "emul/transfer_log.h"

#include <cstdio>

namespace usb_emul {
namespace {

const char *EventName(Event e) {
  switch (e) {
    case Event::kControl: return "control";
    case Event::kBulk: return "bulk";
    case Event::kInterrupt: return "interrupt";
    case Event::kClaim: return "claim";
    case Event::kRelease: return "release";
    case Event::kSetInterface: return "set-interface";
    case Event::kClearHalt: return "clear-halt";
    case Event::kReset: return "reset";
  }
  return "?";
}

}  // namespace

std::ostream &operator<<(std::ostream &os, const LogEntry &e) {
  char text[64];
  os << EventName(e.event);
  switch (e.event) {
    case Event::kClaim:
    case Event::kRelease: return os << " " << e.number;
    case Event::kSetInterface: return os << " " << e.number << "/" << e.alternate;
    case Event::kReset: return os;
    case Event::kControl:
      std::snprintf(text, sizeof text, " %02x %02x %04x %04x %04x", e.setup.request_type,
                    e.setup.request, e.setup.value, e.setup.index, e.setup.length);
      os << text;
      break;
    default:
      std::snprintf(text, sizeof text, " ep %02x flags %02x", e.endpoint, e.flags);
      os << text;
  }
  if (e.event == Event::kClearHalt) return os;
  os << " status " << e.status << " [" << e.data.size() << "]";
  for (size_t k = 0; k < e.data.size() && k < 16; ++k) {
    std::snprintf(text, sizeof text, " %02x", e.data[k]);
    os << text;
  }
  if (e.data.size() > 16) os << " ...";
  return os;
}

}  // namespace usb_emul
