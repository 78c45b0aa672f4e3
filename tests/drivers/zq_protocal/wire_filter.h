// Small views of the emulated bridge's transfer log for the driver tests:
// the pauses taken, the set-ups of one request, the bulk transfers.
#ifndef TESTS_DRIVERS_ZQ_PROTOCAL_WIRE_FILTER_H_
#define TESTS_DRIVERS_ZQ_PROTOCAL_WIRE_FILTER_H_

#include <cstdint>
#include <utility>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/wire.h"

namespace zq_test {

using Bytes = std::vector<uint8_t>;

// The virtual clock's sleeps in whole milliseconds.
inline std::vector<unsigned> SleepsMs(bridge_emul::BridgeBench &bench) {
  std::vector<unsigned> ms;
  for (unsigned us : bench.clock().Sleeps()) ms.push_back(us / 1000);
  return ms;
}

// (wValue, wIndex) of every control request `request`, in order.
inline std::vector<std::pair<uint16_t, uint16_t>> Setups(bridge_emul::BridgeBench &bench,
                                                        uint8_t request) {
  std::vector<std::pair<uint16_t, uint16_t>> out;
  for (const usb_emul::LogEntry &e : bridge_emul::Transfers(bench.device().Log()))
    if (e.event == usb_emul::Event::kControl && e.setup.request == request)
      out.emplace_back(e.setup.value, e.setup.index);
  return out;
}

// Byte counts of the bulk transfers on `endpoint`, in order.
inline std::vector<size_t> BulkSizes(bridge_emul::BridgeBench &bench, uint8_t endpoint) {
  std::vector<size_t> out;
  for (const usb_emul::LogEntry &e : bridge_emul::Transfers(bench.device().Log()))
    if (e.event == usb_emul::Event::kBulk && e.endpoint == endpoint) out.push_back(e.data.size());
  return out;
}

// Number of control requests `request` in the log.
inline size_t Count(bridge_emul::BridgeBench &bench, uint8_t request) {
  return Setups(bench, request).size();
}

}  // namespace zq_test

#endif  // TESTS_DRIVERS_ZQ_PROTOCAL_WIRE_FILTER_H_
