// A one-thread timer that runs delayed emulator work (late answers, late IN data).
#ifndef TESTS_EMUL_SCHEDULER_H_
#define TESTS_EMUL_SCHEDULER_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace usb_emul {

// Runs each job on its own thread at the requested time, in time order.
class Scheduler {
 public:
  using Clock = std::chrono::steady_clock;
  Scheduler();
  // Stops the thread; jobs not yet due are dropped.
  ~Scheduler();
  Scheduler(const Scheduler &) = delete;
  Scheduler &operator=(const Scheduler &) = delete;

  // Runs `job` at `when` (at once if that has passed). Thread-safe.
  void At(Clock::time_point when, std::function<void()> job);

 private:
  void Run();

  std::mutex mu_;
  std::condition_variable cv_;
  std::multimap<Clock::time_point, std::function<void()>> jobs_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace usb_emul

#endif  // TESTS_EMUL_SCHEDULER_H_
