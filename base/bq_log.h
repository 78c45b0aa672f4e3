// The base logger shared by the driver, the bridge protocol, the chip code
// and the maker's libraries, with the caller-side threshold conventions.
#ifndef BASE_BQ_LOG_H_
#define BASE_BQ_LOG_H_

#include <stdint.h>

#include "base/bq_error.h"

#ifdef __cplusplus
extern "C" {
#endif

// Base log levels.
enum {
  BQ_LOG_VERBOSE = 1,
  BQ_LOG_DEBUG = 2,
  BQ_LOG_INFO = 3,
  BQ_LOG_WARNING = 4,
  BQ_LOG_ERROR = 5,
  BQ_LOG_SILENT = 6,
};

// Longest log line, prefix and terminating NUL included.
#define BQ_LOG_LINE_MAX 1024

// Threshold of the driver and base code: a message of level L is written
// only when L >= g_base_log_level. 0 at load; the driver sets it at open.
extern uint32_t g_base_log_level;

// Dump switch (0 or 1), set by fp_init from LIBFPDEV_DUMP.
extern uint8_t g_libfpdev_dump;

// Writes "tag: message" as one line to standard error (cut to 1023
// characters) and, for levels other than 0 and 1 while dumping is on and the
// threshold is at most 5, a prefixed copy to the dump log. Returns the count
// that the console write reported. Callers test the threshold first.
int bq_log(int level, const char *tag, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));

// Writes the dump-log line prefix "MM-DD hh:mm:ss.mmm  pid  tid L tag: " at
// *cursor, which must have room for BQ_LOG_LINE_MAX bytes, advances *cursor
// past it and returns its length.
int bq_log_prefix(char **cursor, int level, const char *tag);

// Returns what follows the last '/' of `path`.
const char *bq_basename(const char *path);

#ifdef __cplusplus
}
#endif

// True when a message of `level` passes the base threshold.
#define BQ_LOG_ON(level) ((uint32_t)(level) >= g_base_log_level)

// Logs through bq_log when the level passes the base threshold.
#define BQ_LOG(level, tag, ...)                         \
  do {                                                  \
    if (BQ_LOG_ON(level)) bq_log((level), (tag), __VA_ARGS__); \
  } while (0)

// "[line]:'function' enter." / "leave." at verbose level.
#define BQ_LOG_ENTER(tag) BQ_LOG(BQ_LOG_VERBOSE, tag, "[%4d]:'%s' enter.", __LINE__, __func__)
#define BQ_LOG_LEAVE(tag) BQ_LOG(BQ_LOG_VERBOSE, tag, "[%4d]:'%s' leave.", __LINE__, __func__)

// "error at function[file:line]: 'text of code'." at error level.
#define BQ_LOG_ERRNO(tag, code)                                              \
  BQ_LOG(BQ_LOG_ERROR, tag, "error at %s[%s:%d]: '%s'.", __func__,          \
         bq_basename(__FILE__), __LINE__, bq_strerror(code))

// Evaluates `expr`; a nonzero result is logged as BQ_LOG_ERRNO under `tag`
// (naming the calling function) and returned from it.
#define BQ_RETURN_ON_ERROR(tag, expr) \
  do {                                \
    int r_ = (expr);                  \
    if (r_ != 0) {                    \
      BQ_LOG_ERRNO(tag, r_);          \
      return r_;                      \
    }                                 \
  } while (0)

// "error at function[file:line]: " followed by a message of the caller's own.
#define BQ_LOG_ERROR_MSG(tag, fmt, ...)                                       \
  BQ_LOG(BQ_LOG_ERROR, tag, "error at %s[%s:%d]: " fmt, __func__,           \
         bq_basename(__FILE__), __LINE__, ##__VA_ARGS__)

#endif  // BASE_BQ_LOG_H_
