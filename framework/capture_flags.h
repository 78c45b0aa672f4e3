// Process-wide capture-logic flags shared by the capture loop, the feature
// layer, the framework's enrolment and identify paths and the sleep detector.
// They keep their values across captures and across opens.
#ifndef FRAMEWORK_CAPTURE_FLAGS_H_
#define FRAMEWORK_CAPTURE_FLAGS_H_

#ifdef __cplusplus
#include <atomic>
extern "C" {
// Clear the sensor image before the next capture. Starts at 1.
extern std::atomic<int> isNeedClearImgFirst;
// A wall-clock gap of 3 s or more was seen (the machine slept). Starts at 1.
extern std::atomic<int> g_resumed_from_sleep;
// The last identification ended in an error. Starts at 0.
extern std::atomic<int> g_identify_error;
}
#else
#include <stdatomic.h>
extern atomic_int isNeedClearImgFirst;
extern atomic_int g_resumed_from_sleep;
extern atomic_int g_identify_error;
#endif

#endif  // FRAMEWORK_CAPTURE_FLAGS_H_
