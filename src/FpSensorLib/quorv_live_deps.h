// What the live flows (capture, press and slide enrolment) take from the
// library's resources, the enrol step and the slide engines V6 and V7.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_resources.h"

#ifdef __cplusplus
extern "C" {
#endif

// True when the configuration record and the work buffers exist and the
// buffers hold the configured cols x rows (the size may have grown since
// quorv_InitFpAlg); otherwise logs "input error" in `func`'s name.
int quorv_LiveReady(const char *func);

// Slide engines V6 and V7: capture one slide and enrol at most one image of
// it into sub-template enrollIndex of fingerId; out receives the enrolment's
// progress byte. 0 enrolled; -1 input or memory, -2 enrolment failure (V7
// also: nothing qualified although quality and area did), -3 low quality or
// wet, -4 small area, -5 capture failure or not a finger, -6 move the finger
// a little, -7 already enrolled, -8 too fast a slide.
int quorv_SlideEnroll_V6(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V7(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
