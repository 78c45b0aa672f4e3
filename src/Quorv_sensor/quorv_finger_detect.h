// Finger detection through the sensor chip's MCU.
#ifndef SRC_QUORV_SENSOR_QUORV_FINGER_DETECT_H_
#define SRC_QUORV_SENSOR_QUORV_FINGER_DETECT_H_

#ifdef __cplusplus
extern "C" {
#endif

// Finger-detection results.
enum {
  QUORV_FINGER_ON = 0,
  QUORV_FINGER_OFF = 1,
  QUORV_FINGER_MCU_BUSY = 2,    // MCU busy or no usable answer
  QUORV_FINGER_FORCE_WAKE = 3,  // FW4856 only
};

// Types 1-3: 1 ms, MCU check, auto-sensor flag, 5 ms, at most 20 status
// polls 1 ms apart (a ready answer counts on polls 1 to 19 only), then the
// auto-sensor result (1 on, 0 off, else busy). Type 7: interrupt flag 8 gives
// force wake, else finger status 1 on, 0 off, else busy. Other types: 0 at
// once. Messages at level 2.
int DetectFinger(void);

// Types 4-6, 8-12: 0 at once. MCU busy (types 0 and 13 or more always): 2.
// Else single finger scan, 5 ms, finger status: 0 gives on (0), anything
// else off (1).
int DetectFingerFactory(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_FINGER_DETECT_H_
