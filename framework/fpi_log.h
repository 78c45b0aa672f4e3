// The framework's logger: console lines "component:level [function] message"
// and, while dumping is on, a copy of every message in the dump log.
//
// A source file sets its component before its includes with
//   #define FP_COMPONENT "poll"
// and logs with fp_dbg / fp_info / fp_warn / fp_err; without a component the
// lines read "fp".
#ifndef FRAMEWORK_FPI_LOG_H_
#define FRAMEWORK_FPI_LOG_H_

#include "base/bq_log.h"

#ifdef __cplusplus
extern "C" {
#endif

// Framework log levels.
enum fpi_log_level {
  FPI_LOG_LEVEL_ERROR = 1,
  FPI_LOG_LEVEL_WARNING = 2,
  FPI_LOG_LEVEL_INFO = 3,
  FPI_LOG_LEVEL_DEBUG = 4,
};

// Console threshold: messages of level 1..g_libfpdev_log_level are written
// (compared unsigned); 0 silences the console and the dump copy. 4 at load.
extern int g_libfpdev_log_level;

// Set when LIBFPDEV_DEBUG gave a nonzero level; fp_set_debug is then ignored.
extern int g_libfpdev_log_level_fixed;

// Logs one message. With dumping on and a log level above 0 every message is
// copied to the dump log as "<prefix> L fp:debug [function] message" (L from
// "-VDIWE" at 6 - level). On the console, unless the log level is 0 or the
// level (unsigned) exceeds it: "component:word [function] message" with the
// component "fp" when NULL and the word error/warning/info/debug/unknown;
// info lines go to standard output, the others to standard error.
void fpi_log_message(int level, const char *component, const char *function, const char *fmt,
                     ...) __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif

#ifndef FP_COMPONENT
#define FP_COMPONENT NULL
#endif

// Logs at `level` under the calling function's name and the file's component.
#define fpi_log(level, ...) fpi_log_message((level), FP_COMPONENT, __func__, __VA_ARGS__)
#define fp_dbg(...) fpi_log(FPI_LOG_LEVEL_DEBUG, __VA_ARGS__)
#define fp_info(...) fpi_log(FPI_LOG_LEVEL_INFO, __VA_ARGS__)
#define fp_warn(...) fpi_log(FPI_LOG_LEVEL_WARNING, __VA_ARGS__)
#define fp_err(...) fpi_log(FPI_LOG_LEVEL_ERROR, __VA_ARGS__)

// Misuse of the framework's rules: logs "BUG at file:line" at error level and
// lets the caller carry on.
#define BUG_ON(condition)                                                  \
  do {                                                                     \
    if (condition) fp_err("BUG at %s:%d", bq_basename(__FILE__), __LINE__); \
  } while (0)
#define BUG() BUG_ON(1)

#endif  // FRAMEWORK_FPI_LOG_H_
