#include "bridge_emul/wire.h"

#include "bridge_emul/bridge_model.h"

namespace bridge_emul {

using usb_emul::Event;
using usb_emul::LogEntry;

LogEntry VendorOut(uint8_t request, uint16_t value, uint16_t index) {
  LogEntry e;
  e.event = Event::kControl;
  e.endpoint = 0x00;
  e.setup = {0x40, request, value, index, 0};
  return e;
}

LogEntry VendorIn(uint8_t request, uint16_t index, uint16_t length, std::vector<uint8_t> reply) {
  LogEntry e;
  e.event = Event::kControl;
  e.endpoint = 0x80;
  e.setup = {0xC0, request, 0, index, length};
  e.data = std::move(reply);
  return e;
}

LogEntry BulkOut(std::vector<uint8_t> data) {
  LogEntry e;
  e.event = Event::kBulk;
  e.endpoint = kBulkOut;
  e.data = std::move(data);
  return e;
}

LogEntry BulkIn(std::vector<uint8_t> data) {
  LogEntry e;
  e.event = Event::kBulk;
  e.endpoint = kBulkIn;
  e.data = std::move(data);
  return e;
}

std::vector<LogEntry> Transfers(const std::vector<LogEntry> &log) {
  std::vector<LogEntry> out;
  for (LogEntry e : log) {
    if (e.event != Event::kControl && e.event != Event::kBulk) continue;
    e.flags = 0;
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace bridge_emul
