// The sleep detector: a thread that ticks every 0.5 s and compares the wall
// clock across each tick. A gap of 3 s or more (the process was suspended,
// as in a system sleep; a step backwards counts too) means the machine
// slept: it clears isNeedClearImgFirst and sets g_resumed_from_sleep.
//
// Started once per process by the first detection; stopped and joined when
// the library is unloaded (or by zq_sleep_detect_stop).
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_SLEEP_DETECT_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_SLEEP_DETECT_H_

#include <stdint.h>

#ifdef __cplusplus
#include <atomic>
extern "C" {
// 1 while the sleep detector runs; set together with the thread's creation.
extern std::atomic<int> isSleepThreadStarted;
#else
#include <stdatomic.h>
extern atomic_int isSleepThreadStarted;
#endif

// Resume gap in wall-clock seconds, and the production tick in microseconds.
#define ZQ_SLEEP_GAP_S 3
#define ZQ_SLEEP_TICK_US 500000u

// The detector's clock: wall-clock seconds (gettimeofday in production) and
// the tick between two readings.
typedef struct zq_sleep_clock {
  int64_t (*wall_seconds)(void);
  unsigned tick_us;
} zq_sleep_clock;

// Installs `clock` (read at every tick, so it applies to a running thread
// from its next tick), or restores the production clock for NULL. A NULL
// wall_seconds or a zero tick_us keeps the production value of that part.
void zq_sleep_detect_set_clock(const zq_sleep_clock *clock);

// Starts the detector unless it runs. Returns 0, or the pthread_create
// error (logged "create error!"; isSleepThreadStarted stays 0, so the next
// call tries again).
int create_sleep_thread(void);

// Stops the detector and waits for its thread; a later create_sleep_thread
// starts a new one. Does nothing when it does not run.
void zq_sleep_detect_stop(void);

// Resume transitions seen since load.
unsigned zq_sleep_detect_resumes(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_SLEEP_DETECT_H_
