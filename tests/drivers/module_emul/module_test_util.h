// Helpers of the module tests: the frames a module received and sent as the
// transfer log shows them.
#ifndef TESTS_DRIVERS_MODULE_EMUL_MODULE_TEST_UTIL_H_
#define TESTS_DRIVERS_MODULE_EMUL_MODULE_TEST_UTIL_H_

#include <cerrno>
#include <cstdint>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/bridge_model.h"
#include "emul/transfer_log.h"

namespace module_emul {

// Payloads of the successful bulk transfers on `endpoint`, in order.
inline std::vector<std::vector<uint8_t>> BulkData(bridge_emul::BridgeBench &bench,
                                                  uint8_t endpoint) {
  std::vector<std::vector<uint8_t>> out;
  for (const usb_emul::LogEntry &e : bench.device().Log()) {
    if (e.event == usb_emul::Event::kBulk && e.endpoint == endpoint && (e.status == 0 || e.status == -EREMOTEIO))
      out.push_back(e.data);
  }
  return out;
}

// Frames the host sent.
inline std::vector<std::vector<uint8_t>> SentFrames(bridge_emul::BridgeBench &bench) {
  return BulkData(bench, bridge_emul::kBulkOut);
}

}  // namespace module_emul

#endif  // TESTS_DRIVERS_MODULE_EMUL_MODULE_TEST_UTIL_H_
