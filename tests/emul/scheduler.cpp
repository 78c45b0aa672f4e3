#include "emul/scheduler.h"

namespace usb_emul {

Scheduler::Scheduler() : thread_([this] { Run(); }) {}

Scheduler::~Scheduler() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void Scheduler::At(Clock::time_point when, std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    jobs_.emplace(when, std::move(job));
  }
  cv_.notify_all();
}

void Scheduler::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stop_) {
    if (jobs_.empty()) {
      cv_.wait(lock);
      continue;
    }
    auto first = jobs_.begin();
    if (first->first > Clock::now()) {
      cv_.wait_until(lock, first->first);
      continue;
    }
    std::function<void()> job = std::move(first->second);
    jobs_.erase(first);
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace usb_emul
