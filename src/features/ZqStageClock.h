// Timing lines of the detectors' stages: "<func>...<stage> cost time = N ms"
// and "<func>...total cost time = N ms", at level 4, only while the timing
// switch is on and a clock is registered.
#ifndef SRC_FEATURES_ZQSTAGECLOCK_H_
#define SRC_FEATURES_ZQSTAGECLOCK_H_

#include <stdint.h>

#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace zq {

// Times the stages of one call of `func` (a string that outlives the clock).
class StageClock {
 public:
  explicit StageClock(const char *func)
      : func_(func), on_(Enabled()), last_(Now()), start_(last_) {}

  // Logs the time since the previous stage (or the start) under `stage`.
  void Stage(const char *stage) {
    if (!on_) return;
    const uint64_t now = Now();
    QUORV_LOG_IN(func_, QUORV_LOG_WARNING, "%s...%s cost time = %d ms", func_, stage,
                 static_cast<int>(now - last_));
    last_ = now;
  }

  // Logs the time since the start.
  void Total() {
    if (!on_) return;
    QUORV_LOG_IN(func_, QUORV_LOG_WARNING, "%s...total cost time = %d ms", func_,
                 static_cast<int>(Now() - start_));
  }

 private:
  static bool Enabled() { return g_functimes == 1 && quorv_fp_get_system_time != nullptr; }
  uint64_t Now() const { return on_ ? quorv_fp_get_system_time() : 0; }
  const char *func_;
  bool on_;
  uint64_t last_;
  uint64_t start_;
};

}  // namespace zq

#endif  // SRC_FEATURES_ZQSTAGECLOCK_H_
