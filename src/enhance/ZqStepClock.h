// Step durations of the enhancement chains for their "cost time" lines.
#ifndef SRC_ENHANCE_ZQSTEPCLOCK_H_
#define SRC_ENHANCE_ZQSTEPCLOCK_H_

#include <stdint.h>

#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace zq {

// Running only while g_functimes is 1 and a clock is registered; Lap()
// gives the milliseconds since construction or the previous Lap(), Total()
// those since construction.
class StepClock {
 public:
  StepClock()
      : on_(g_functimes == 1 && quorv_fp_get_system_time != nullptr),
        start_(on_ ? quorv_fp_get_system_time() : 0),
        last_(start_) {}
  bool on() const { return on_; }
  int32_t Lap() {
    const uint64_t now = quorv_fp_get_system_time();
    const int32_t ms = static_cast<int32_t>(now - last_);
    last_ = now;
    return ms;
  }
  int32_t Total() const { return static_cast<int32_t>(quorv_fp_get_system_time() - start_); }

 private:
  bool on_;
  uint64_t start_;
  uint64_t last_;
};

}  // namespace zq

// Logs "<function>...<step> cost time = <ms> ms" at level 4 when the clock
// runs, and restarts it.
#define ZQ_LOG_STEP_TIME(clock, step)                                         \
  do {                                                                        \
    if ((clock).on()) QUORV_LOGW("%s..." step " cost time = %d ms", __func__, \
                                 (clock).Lap());                              \
  } while (0)

// The same for the time since the clock started.
#define ZQ_LOG_TOTAL_TIME(clock, step)                                           \
  do {                                                                           \
    if ((clock).on()) QUORV_LOGW("%s..." step " cost time = %d ms", __func__,    \
                                 (clock).Total());                               \
  } while (0)

// The same as ZQ_LOG_STEP_TIME with the repetition count the stage lines
// carry ("x%d").
#define ZQ_LOG_STEP_TIME_X(clock, step, times)                                         \
  do {                                                                                 \
    if ((clock).on()) QUORV_LOGW("%s..." step " x%d cost time = %d ms", __func__,      \
                                 (times), (clock).Lap());                              \
  } while (0)

#endif  // SRC_ENHANCE_ZQSTEPCLOCK_H_
