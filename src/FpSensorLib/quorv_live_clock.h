// Cost-time measurement of the live flows: active only when g_functimes is
// 1 and a millisecond clock is registered.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_CLOCK_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_CLOCK_H_

#include <stdint.h>

#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace quorv_live {

class Clock {
 public:
  Clock() : on_(g_functimes == 1 && quorv_fp_get_system_time != nullptr) {
    if (on_) start_ = last_ = quorv_fp_get_system_time();
  }
  bool on() const { return on_; }
  // Milliseconds since the previous mark (or the start); the mark moves.
  int Step() {
    if (!on_) return 0;
    const uint64_t now = quorv_fp_get_system_time();
    const int d = static_cast<int>(now - last_);
    last_ = now;
    return d;
  }
  // Milliseconds from the start to the last mark.
  int Total() const { return on_ ? static_cast<int>(last_ - start_) : 0; }

 private:
  bool on_;
  uint64_t start_ = 0;
  uint64_t last_ = 0;
};

}  // namespace quorv_live

// Logs "<func>...<callee> cost time = %d ms" at level 4 when timing is on.
#define QUORV_LIVE_COST(clock, callee)                                                 \
  do {                                                                                 \
    if ((clock).on()) {                                                                \
      const int cost_ms_ = (clock).Step();                                             \
      QUORV_LOGW("%s..." callee " cost time = %d ms", __func__, cost_ms_);           \
    }                                                                                  \
  } while (0)

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_CLOCK_H_
