// The level-1 "enter" and "leave" lines of the enhancement operations.
#ifndef SRC_ENHANCE_ZQENHANCETRACE_H_
#define SRC_ENHANCE_ZQENHANCETRACE_H_

#include "src/quorv_base/quorv_log.h"

// Logs "<function>...enter" at level 1.
#define ZQ_TRACE_ENTER() QUORV_LOGV("%s...enter", __func__)

// Logs "<function>...leave" at level 1.
#define ZQ_TRACE_LEAVE() QUORV_LOGV("%s...leave", __func__)

#endif  // SRC_ENHANCE_ZQENHANCETRACE_H_
