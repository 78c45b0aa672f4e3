// Expected transfer-log entries of the bridge protocol, for exact wire
// assertions in driver tests.
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_WIRE_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_WIRE_H_

#include <cstdint>
#include <vector>

#include "emul/transfer_log.h"

namespace bridge_emul {

// Vendor OUT request (0x40, request, value, index, wLength 0).
usb_emul::LogEntry VendorOut(uint8_t request, uint16_t value, uint16_t index);
// Vendor IN request (0xC0, request, 0, index, length) answered with `reply`.
usb_emul::LogEntry VendorIn(uint8_t request, uint16_t index, uint16_t length,
                            std::vector<uint8_t> reply);
// Bulk OUT of `data` on the bridge's OUT endpoint.
usb_emul::LogEntry BulkOut(std::vector<uint8_t> data);
// Bulk IN delivering `data` on the bridge's IN endpoint.
usb_emul::LogEntry BulkIn(std::vector<uint8_t> data);

// The control and bulk entries of `log` (claims, resets and the like
// dropped), with their URB flags cleared.
std::vector<usb_emul::LogEntry> Transfers(const std::vector<usb_emul::LogEntry> &log);

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_WIRE_H_
