// The action mode: which flow is running, set by the sensor library's flows
// and read by the algorithm core to tell enrolment from identification.
#ifndef SRC_ZQALG_QUORV_ACTION_MODE_H_
#define SRC_ZQALG_QUORV_ACTION_MODE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Values of gQuorvActionMode.
typedef enum quorv_action_mode {
  QUORV_ACTION_IDLE = 0,            // no flow (set at the end of every flow)
  QUORV_ACTION_ENROLL = 1,          // enrolment
  QUORV_ACTION_IDENTIFY = 2,        // first match of an identify image
  QUORV_ACTION_IDENTIFY_RETRY = 4,  // retries and third and later rescans
  QUORV_ACTION_IDENTIFY_RESCAN = 5, // second rescan of the live identify
} quorv_action_mode_t;

// Current action mode; 0 at load. Written by the sensor library's flows.
extern uint32_t gQuorvActionMode;

// True for the identify family: modes 2, 4 and 5.
static inline int quorv_IsIdentifyMode(uint32_t mode) {
  return mode == QUORV_ACTION_IDENTIFY || mode == QUORV_ACTION_IDENTIFY_RETRY ||
         mode == QUORV_ACTION_IDENTIFY_RESCAN;
}

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_QUORV_ACTION_MODE_H_
