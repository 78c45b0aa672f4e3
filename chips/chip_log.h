// Log threshold of the chip-level modules (the fw4846 driver and the 4847
// flash code), applied the way g_base_log_level is for the base code.
#ifndef CHIPS_CHIP_LOG_H_
#define CHIPS_CHIP_LOG_H_

#include <stdint.h>

#include "base/bq_log.h"

#ifdef __cplusplus
extern "C" {
#endif

// Chip threshold: a chip-level message of level L is written only when
// L >= g_chip_log_level. 0 at load; the driver copies its configured chip
// log level (3 by default) into it at open.
extern uint32_t g_chip_log_level;

#ifdef __cplusplus
}
#endif

// True when a message of `level` passes the chip threshold.
#define BQ_CHIP_LOG_ON(level) ((uint32_t)(level) >= g_chip_log_level)

// Logs through bq_log when the level passes the chip threshold.
#define BQ_CHIP_LOG(level, tag, ...)                                 \
  do {                                                               \
    if (BQ_CHIP_LOG_ON(level)) bq_log((level), (tag), __VA_ARGS__); \
  } while (0)

// "[line]:'function' enter." / "leave." at verbose level, chip threshold.
#define BQ_CHIP_LOG_ENTER(tag) \
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, tag, "[%4d]:'%s' enter.", __LINE__, __func__)
#define BQ_CHIP_LOG_LEAVE(tag) \
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, tag, "[%4d]:'%s' leave.", __LINE__, __func__)

// "error at function[file:line]: " and the caller's message, chip threshold.
#define BQ_CHIP_LOG_ERROR(tag, fmt, ...)                                    \
  BQ_CHIP_LOG(BQ_LOG_ERROR, tag, "error at %s[%s:%d]: " fmt, __func__,      \
              bq_basename(__FILE__), __LINE__, ##__VA_ARGS__)

#endif  // CHIPS_CHIP_LOG_H_
