// A virtual clock behind bq_msleep/bq_usleep/bq_timer_ms: sleeps return at
// once, advance the clock and are recorded.
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_VIRTUAL_CLOCK_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_VIRTUAL_CLOCK_H_

#include <cstdint>
#include <vector>

namespace bridge_emul {

class VirtualClock {
 public:
  // Installs the clock (starting at 0 ms, no sleeps recorded) as the base
  // library's time source.
  VirtualClock();
  // Restores the real clock.
  ~VirtualClock();
  VirtualClock(const VirtualClock &) = delete;
  VirtualClock &operator=(const VirtualClock &) = delete;

  // Every sleep so far, in microseconds, in order.
  std::vector<unsigned> Sleeps() const;
  // Forgets the recorded sleeps (the clock keeps its time).
  void ClearSleeps();
  // Virtual milliseconds since installation.
  uint64_t NowMs() const;
};

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_VIRTUAL_CLOCK_H_
