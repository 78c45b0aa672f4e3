#include "bridge_emul/virtual_clock.h"

#include <mutex>

#include "base/bq_util.h"

namespace bridge_emul {

namespace {

std::mutex g_mu;
uint64_t g_now_us = 0;
std::vector<unsigned> g_sleeps;

uint64_t MonotonicMs() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_now_us / 1000;
}

int SleepUs(unsigned us) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_now_us += us;
  g_sleeps.push_back(us);
  return 0;
}

const bq_time_source kVirtual = {MonotonicMs, SleepUs};

}  // namespace

VirtualClock::VirtualClock() {
  {
    std::lock_guard<std::mutex> lock(g_mu);
    g_now_us = 0;
    g_sleeps.clear();
  }
  bq_set_time_source(&kVirtual);
}

VirtualClock::~VirtualClock() { bq_set_time_source(nullptr); }

std::vector<unsigned> VirtualClock::Sleeps() const {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_sleeps;
}

void VirtualClock::ClearSleeps() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_sleeps.clear();
}

uint64_t VirtualClock::NowMs() const { return MonotonicMs(); }

}  // namespace bridge_emul
