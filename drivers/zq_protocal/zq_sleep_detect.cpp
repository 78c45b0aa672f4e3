#include "drivers/zq_protocal/zq_sleep_detect.h"

#include <pthread.h>
#include <sys/time.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "base/bq_log.h"
#include "framework/capture_flags.h"

#define TAG "quorvanta:protocal"

std::atomic<int> isSleepThreadStarted{0};

namespace {

int64_t GettimeofdaySeconds() {
  struct timeval tv = {};
  gettimeofday(&tv, nullptr);
  return tv.tv_sec;
}

std::atomic<int64_t (*)(void)> g_wall{GettimeofdaySeconds};
std::atomic<unsigned> g_tick_us{ZQ_SLEEP_TICK_US};
std::atomic<unsigned> g_resumes{0};

// Guards the thread's start and stop; the condition variable cuts a tick
// short when the detector is stopped.
std::mutex g_mu;
std::condition_variable g_cv;
bool g_stop = false;
pthread_t g_thread;

void *SleepDetectThread(void *) {
  BQ_LOG(BQ_LOG_DEBUG, TAG, "[%4d]:pthread start!", __LINE__);
  std::unique_lock<std::mutex> lock(g_mu);
  // Each reading ends one tick and starts the next, so a clock step between
  // two ticks is never missed.
  int64_t before = g_wall.load()();
  while (!g_stop) {
    g_cv.wait_for(lock, std::chrono::microseconds(g_tick_us.load()), [] { return g_stop; });
    if (g_stop) break;
    const int64_t after = g_wall.load()();
    const int64_t gap = after - before;
    before = after;
    if (std::llabs(gap) >= ZQ_SLEEP_GAP_S) {
      BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:resume from s3/s4/s5", __LINE__);
      isNeedClearImgFirst = 0;
      g_resumed_from_sleep = 1;
      g_resumes.fetch_add(1);
    }
  }
  return nullptr;
}

// Stops the thread when the library is unloaded or the process ends.
struct StopAtUnload {
  ~StopAtUnload() { zq_sleep_detect_stop(); }
} g_stop_at_unload;

}  // namespace

extern "C" void zq_sleep_detect_set_clock(const zq_sleep_clock *clock) {
  g_wall = clock != nullptr && clock->wall_seconds != nullptr ? clock->wall_seconds
                                                              : GettimeofdaySeconds;
  g_tick_us = clock != nullptr && clock->tick_us != 0 ? clock->tick_us : ZQ_SLEEP_TICK_US;
}

extern "C" int create_sleep_thread(void) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (isSleepThreadStarted.load() != 0) return 0;
  g_stop = false;
  int r = pthread_create(&g_thread, nullptr, SleepDetectThread, nullptr);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(TAG, "create error!\n");
    return -r;
  }
  isSleepThreadStarted = 1;
  return 0;
}

extern "C" void zq_sleep_detect_stop(void) {
  {
    std::lock_guard<std::mutex> lock(g_mu);
    if (isSleepThreadStarted.load() == 0) return;
    g_stop = true;
  }
  g_cv.notify_all();
  pthread_join(g_thread, nullptr);
  std::lock_guard<std::mutex> lock(g_mu);
  isSleepThreadStarted = 0;
}

extern "C" unsigned zq_sleep_detect_resumes(void) { return g_resumes.load(); }
