// Logging settings of the sensor access layer and the algorithm libraries:
// the switch, the threshold, the log callback and the one log macro that
// every statement of those libraries goes through.
#ifndef SRC_QUORV_BASE_QUORV_LOG_H_
#define SRC_QUORV_BASE_QUORV_LOG_H_

#include <stddef.h>
#include <stdint.h>

#include "base/bq_log.h"

#ifdef __cplusplus
extern "C" {
#endif

// Library log levels (same numbering as the base logger).
enum {
  QUORV_LOG_VERBOSE = 1,
  QUORV_LOG_DEBUG = 2,
  QUORV_LOG_INFO = 3,
  QUORV_LOG_WARNING = 4,
  QUORV_LOG_ERROR = 5,
};

// Tag of every library line written through bq_log.
#define QUORV_LOG_TAG "quorvanta-lib"

// printf-like log callback of logging mode 2.
typedef int (*QuorvLogFunc)(const char *format, ...);

// Logging mode: 0 none, 1 through bq_log, 2 bare message to quorv_fp_log;
// any other value writes nothing. 0 at load.
extern uint8_t g_debuginfo;

// Threshold: a message of level L is written only when g_loglevel <= L
// (unsigned). 0 at load lets everything through; 6 or more silences all.
extern uint32_t g_loglevel;

// Non-zero makes the library flows log their "cost time" lines. 0 at load.
extern uint8_t g_functimes;

// Log callback of mode 2; NULL (nothing registered) drops the message.
extern QuorvLogFunc quorv_fp_log;

// Sets g_debuginfo.
void InitFuncDebugEnable(uint8_t enable);

// Sets g_functimes.
void InitPrintFuncTime(uint8_t enable);

// Stores the low byte of level, zero-extended, into g_loglevel.
void InitLogLevel(int level);

// Registers the mode-2 log callback (NULL unregisters it).
void InitFuncSetLog(QuorvLogFunc log);

#ifdef __cplusplus
}
#endif

// True when a message of `level` passes the library threshold.
#define QUORV_LOG_ON(level) (g_loglevel <= (uint32_t)(level))

// Writes one library message of `level` (1..5). Mode 1: levels 1 to 4 as
// "[%5d]:" (source line) + message, level 5 as "error at %s(%s:%d): "
// (function, source path, line) + message, through bq_log under
// "quorvanta-lib". Mode 2: the bare message to quorv_fp_log. `fmt` must be a
// string literal.
#define QUORV_LOG(level, fmt, ...) QUORV_LOG_IN(__func__, level, fmt, ##__VA_ARGS__)

// QUORV_LOG naming `func` instead of the enclosing function (for shared
// helpers that report on behalf of their caller).
#define QUORV_LOG_IN(func, level, fmt, ...)                                         \
  do {                                                                              \
    if (g_debuginfo == 1 && QUORV_LOG_ON(level)) {                                  \
      if ((level) >= QUORV_LOG_ERROR)                                               \
        bq_log((level), QUORV_LOG_TAG, "error at %s(%s:%d): " fmt, (func),          \
               __FILE__, __LINE__, ##__VA_ARGS__);                                  \
      else                                                                          \
        bq_log((level), QUORV_LOG_TAG, "[%5d]:" fmt, __LINE__, ##__VA_ARGS__);      \
    } else if (g_debuginfo == 2 && QUORV_LOG_ON(level) && quorv_fp_log != NULL) {   \
      quorv_fp_log(fmt, ##__VA_ARGS__);                                             \
    }                                                                               \
  } while (0)

#define QUORV_LOGV(fmt, ...) QUORV_LOG(QUORV_LOG_VERBOSE, fmt, ##__VA_ARGS__)
#define QUORV_LOGD(fmt, ...) QUORV_LOG(QUORV_LOG_DEBUG, fmt, ##__VA_ARGS__)
#define QUORV_LOGI(fmt, ...) QUORV_LOG(QUORV_LOG_INFO, fmt, ##__VA_ARGS__)
#define QUORV_LOGW(fmt, ...) QUORV_LOG(QUORV_LOG_WARNING, fmt, ##__VA_ARGS__)
#define QUORV_LOGE(fmt, ...) QUORV_LOG(QUORV_LOG_ERROR, fmt, ##__VA_ARGS__)

#endif  // SRC_QUORV_BASE_QUORV_LOG_H_
